// The library's exported interface: the table of interface classes and the text getters over
// the driver list and the firmware component list.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "agent_list.h"
#include "library_boundary.h"
#include "driver_modules.h"
#include "firmware_components.h"
#include "qvrevinfo.h"

namespace {

using revinfo::DriverStruct;
using revinfo::SFWInfo;

// Copies `text` with its NUL when it fits in `size` bytes; else the first `size` bytes,
// unterminated, and "does not fit".
int copyOut(const std::string& text, char* buffer, unsigned size)
{
    if (buffer == nullptr) return kRevInfoNullBuffer;
    if (text.size() + 1 > size) {
        std::memcpy(buffer, text.data(), size);
        return kRevInfoBufferTooSmall;
    }
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return 0;
}

template <typename Text>
int driverText(unsigned index, char* buffer, unsigned size, Text text)
{
    const DriverStruct* driver = nullptr;
    if (const int status = revinfo::driverList().GetDriver(index, &driver); status != 0) return status;
    return copyOut(text(*driver), buffer, size);
}

template <typename Text>
int componentText(unsigned index, char* buffer, unsigned size, Text text)
{
    SFWInfo info {};
    if (const int status = revinfo::firmwareList().GetComponentInfo(index, &info); status != 0) return status;
    return copyOut(text(info), buffer, size);
}

std::string fileTime(time_t stamp, const char* format)
{
    if (stamp == 0) return "Unknown";
    tm local {};
    ::localtime_r(&stamp, &local);
    char text[128];
    return std::strftime(text, sizeof text, format, &local) > 0 ? text : "";
}

// The record's text through a getter's 128-byte buffer; false when the getter fails.
template <typename Getter>
bool fill(STRING_DATA& field, Getter getter, unsigned index)
{
    char text[128];
    if (getter(index, text, sizeof text) != 0) return false;
    field.type = EIGHT_BIT_ASCII;
    field.stringLength = static_cast<uint8_t>(std::strlen(text));
    std::memcpy(field.stringData, text, field.stringLength + 1u);
    return true;
}

void setText(STRING_DATA& field, const char* text)
{
    field.type = EIGHT_BIT_ASCII;
    field.stringLength = static_cast<uint8_t>(std::min<size_t>(std::strlen(text), 127));
    std::memcpy(field.stringData, text, field.stringLength);
    field.stringData[field.stringLength] = '\0';
}

template <typename Text>
int agentText(int index, char* buffer, unsigned size, Text text)
{
    revinfo::CAgentList& list = revinfo::agentList();
    if (const int status = list.UpdateData(); status != 0) return status;
    if (index < 0 || static_cast<size_t>(index) >= list.entries().size()) return kRevInfoIndexOutOfRange;
    return copyOut(text(list.entries()[static_cast<size_t>(index)]), buffer, size);
}

void APICleanup() {}

API_CLASS_DRIVER_VERSION DriverAPI{GetDriverCount, GetDriverVersionInfo};
API_CLASS_FIRMWARE_VERSION FirmwareAPI{GetFirmwareCount, GetFirmwareVersionInfo};
DRIVER_API_STRUCT vrgEntryPoints[2] = {{1, &DriverAPI}, {2, &FirmwareAPI}};

} // namespace

extern "C" {

int QVREVINFOCiGetApiInfo(DRIVER_API_STRUCT** table, int* count, void (**cleanup)())
{
    if (table != nullptr) *table = vrgEntryPoints;
    if (count != nullptr) *count = 2;
    if (cleanup != nullptr) *cleanup = APICleanup;
    return 0;
}

int GetDriverCount(int* count)
{
    if (count != nullptr) *count = GetTotalNumberOfDrivers();
    return 0;
}

int GetFirmwareCount(int* count)
{
    return qv::catchAtBoundary(ACCESS_ERROR, [&]() -> int {
        unsigned n = 0;
        const int status = revinfo::firmwareList().GetComponentCount(&n);
        if (count != nullptr) *count = status == 0 ? static_cast<int>(n) : 0;
        return status == 0 ? ACCESS_OK : ACCESS_ERROR;
    });
}

int GetDriverVersionInfo(unsigned index, DRIVER_VERSION_INFO* info)
{
    return qv::catchAtBoundary(ACCESS_ERROR, [&]() -> int {
        revinfo::driverList().BuildList();
        if (index == 0 || index - 1 >= revinfo::driverList().count()) return ACCESS_OUT_OF_RANGE;
        if (info == nullptr) return ACCESS_OK;
        const unsigned i = index - 1;
        if (!fill(info->driverName, GetDriverName, i) ||
            !fill(info->driverManufacturer, GetDriverInfoManufacturer, i) ||
            !fill(info->driverVersion, GetDriverInfoVersion, i) ||
            !fill(info->driverDescription, GetDriverInfoDescription, i) ||
            !fill(info->driverProduct, GetDriverInfoProduct, i) ||
            !fill(info->driverTime, GetDriverInfoDMIFileTime, i) ||
            !fill(info->driverFilePath, GetDriverFilePath, i))
            return ACCESS_ERROR;
        char size[32];
        if (GetDriverInfoFileSize(i, size, sizeof size) != 0) return ACCESS_ERROR;
        info->driverSize = static_cast<int32_t>(std::strtol(size, nullptr, 10));
        if (GetDriverInfoNumType(i, &info->driverType) != 0) return ACCESS_ERROR;
        return ACCESS_OK;
    });
}

int GetFirmwareVersionInfo(unsigned index, FW_REVISION_INFO* info)
{
    return qv::catchAtBoundary(ACCESS_ERROR, [&]() -> int {
        unsigned count = 0;
        revinfo::firmwareList().GetComponentCount(&count);
        if (index == 0 || index - 1 >= count) return ACCESS_OUT_OF_RANGE;
        if (info == nullptr) return ACCESS_OK;
        const unsigned i = index - 1;
        char idText[32];
        if (GetFWComponentName(i, idText, sizeof idText) != 0 ||
            !fill(info->firmwareManufacturer, GetFWComponentManufacturer, i) ||
            !fill(info->firmwareName, GetFWComponentProduct, i) ||
            !fill(info->firmwareRevision, GetFWComponentVersion, i))
            return ACCESS_ERROR;
        info->firmwareDescription = info->firmwareName;
        setText(info->firmwareReleaseDate, "-");
        info->firmwareType = revinfo::MapFWComponentType(idText);
        return ACCESS_OK;
    });
}

int GetDriverName(unsigned index, char* buffer, unsigned size)
{
    return qv::catchAtBoundary(kRevInfoAllocationFailed, [&] {
        return driverText(index, buffer, size, [](const DriverStruct& d) { return d.szDrvFileName; });
    });
}

int GetDriverInfoManufacturer(unsigned index, char* buffer, unsigned size)
{
    return qv::catchAtBoundary(kRevInfoAllocationFailed, [&] {
        return driverText(index, buffer, size, [](const DriverStruct& d) { return d.szDrvDescription; });
    });
}

int GetDriverInfoDescription(unsigned index, char* buffer, unsigned size)
{
    return GetDriverInfoManufacturer(index, buffer, size);
}

int GetDriverInfoProduct(unsigned index, char* buffer, unsigned size)
{
    return GetDriverInfoManufacturer(index, buffer, size);
}

int GetDriverInfoVersion(unsigned index, char* buffer, unsigned size)
{
    return qv::catchAtBoundary(kRevInfoAllocationFailed, [&] {
        return driverText(index, buffer, size, [](const DriverStruct& d) { return d.szDrvVersion; });
    });
}

int GetDriverInfoType(unsigned index, char* buffer, unsigned size)
{
    return qv::catchAtBoundary(kRevInfoAllocationFailed, [&] {
        return driverText(index, buffer, size, [](const DriverStruct& d) -> std::string {
            if (d.szDrvDescription.empty()) return "Miscellaneous Driver";
            const char* group = revinfo::GetDriverGroupType(d.szDrvDescription.c_str(), nullptr);
            return group != nullptr ? group : "";
        });
    });
}

int GetDriverFilePath(unsigned index, char* buffer, unsigned size)
{
    return qv::catchAtBoundary(kRevInfoAllocationFailed, [&] {
        return driverText(index, buffer, size, [](const DriverStruct& d) { return d.szDrvFilePath; });
    });
}

int GetDriverInfoFileStamp(unsigned index, char* buffer, unsigned size)
{
    return qv::catchAtBoundary(kRevInfoAllocationFailed, [&] {
        return driverText(index, buffer, size, [](const DriverStruct& d) { return fileTime(d.DrvTimestamp, "%x %X"); });
    });
}

int GetDriverInfoDMIFileTime(unsigned index, char* buffer, unsigned size)
{
    return qv::catchAtBoundary(kRevInfoAllocationFailed, [&] {
        return driverText(index, buffer, size, [](const DriverStruct& d) {
            return fileTime(d.DrvTimestamp, "%Y%m%d%H%M%S.000000-000");
        });
    });
}

int GetDriverInfoFileSize(unsigned index, char* buffer, unsigned size)
{
    return qv::catchAtBoundary(kRevInfoAllocationFailed, [&] {
        return driverText(index, buffer, size, [](const DriverStruct& d) { return std::to_string(d.dwFileSize); });
    });
}

int GetDriverInfoOctetFileStamp(unsigned index, char* buffer, unsigned size)
{
    return qv::catchAtBoundary(kRevInfoAllocationFailed, [&]() -> int {
        const DriverStruct* driver = nullptr;
        if (const int status = revinfo::driverList().GetDriver(index, &driver); status != 0) return status;
        if (buffer == nullptr) return kRevInfoNullBuffer;
        if (size < 6) return kRevInfoBufferTooSmall;
        tm local {};
        const time_t stamp = driver->DrvTimestamp;
        ::localtime_r(&stamp, &local);
        const int fields[6] = {local.tm_year, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
        for (int i = 0; i < 6; ++i) buffer[i] = static_cast<char>(fields[i] & 0xFF);
        return 0;
    });
}

int GetDriverInfoNumType(unsigned index, DRIVER_TYPE* type)
{
    return qv::catchAtBoundary(kRevInfoAllocationFailed, [&]() -> int {
        const DriverStruct* driver = nullptr;
        if (const int status = revinfo::driverList().GetDriver(index, &driver); status != 0) return status;
        if (type == nullptr) return kRevInfoNullBuffer;
        revinfo::GetDriverGroupType(driver->szDrvDescription.c_str(), type);
        return 0;
    });
}

int GetFWComponentName(unsigned index, char* buffer, unsigned size)
{
    return qv::catchAtBoundary(kRevInfoAllocationFailed, [&] {
        return componentText(index, buffer, size, [](const SFWInfo& c) {
            char text[16];
            std::snprintf(text, sizeof text, c.id <= 255 ? "%2.2X" : "%u", c.id);
            return std::string(text);
        });
    });
}

int GetFWComponentProduct(unsigned index, char* buffer, unsigned size)
{
    return qv::catchAtBoundary(kRevInfoAllocationFailed, [&] {
        return componentText(index, buffer, size, [](const SFWInfo& c) { return std::string(c.szProdID); });
    });
}

int GetFWComponentManufacturer(unsigned index, char* buffer, unsigned size)
{
    return qv::catchAtBoundary(kRevInfoAllocationFailed, [&] {
        return componentText(index, buffer, size, [](const SFWInfo& c) { return std::string(c.szMfg); });
    });
}

int GetFWComponentVersion(unsigned index, char* buffer, unsigned size)
{
    return qv::catchAtBoundary(kRevInfoAllocationFailed, [&] {
        return componentText(index, buffer, size, [](const SFWInfo& c) { return std::string(c.szVersion); });
    });
}

int GetFWComponentNumType(unsigned index, FIRMWARE_TYPE* type)
{
    return qv::catchAtBoundary(kRevInfoAllocationFailed, [&]() -> int {
        SFWInfo info {};
        if (const int status = revinfo::firmwareList().GetComponentInfo(index, &info); status != 0) return status;
        if (type == nullptr) return kRevInfoNullBuffer;
        *type = revinfo::MapFWComponentType(info.id);
        return 0;
    });
}

int GetTotalNumberOfDrivers()
{
    return qv::catchAtBoundary(0, [&]() -> int {
        revinfo::driverList().BuildList();
        return static_cast<int>(revinfo::driverList().count());
    });
}

int GetTotalNumberOfFirmwares()
{
    return qv::catchAtBoundary(-1, [&]() -> int {
        unsigned count = 0;
        return revinfo::firmwareList().GetComponentCount(&count) == 0 ? static_cast<int>(count) : -1;
    });
}

int GetTotalNumberOfAgents()
{
    return qv::catchAtBoundary(0, [&]() -> int {
        revinfo::agentList().UpdateData();
        return static_cast<int>(revinfo::agentList().entries().size());
    });
}

int GetAgentName(int index, char* buffer, unsigned size)
{
    return qv::catchAtBoundary(kRevInfoAllocationFailed, [&] {
        return agentText(index, buffer, size, [](const revinfo::SoftwareEntry& e) { return e.name; });
    });
}

int GetAgentSize(int index, char* buffer, unsigned size)
{
    return qv::catchAtBoundary(kRevInfoAllocationFailed, [&] {
        return agentText(index, buffer, size, [](const revinfo::SoftwareEntry& e) { return e.size; });
    });
}

int GetAgentDate(int index, char* buffer, unsigned size)
{
    return qv::catchAtBoundary(kRevInfoAllocationFailed, [&] {
        return agentText(index, buffer, size, [](const revinfo::SoftwareEntry& e) {
            char text[64];
            std::snprintf(text, sizeof text, "%02d/%02d/%02d %02d:%02d:%02d", e.date[1], e.date[2], e.date[0],
                          e.date[3], e.date[4], e.date[5]);
            return std::string(text);
        });
    });
}

int GetAgentState(int index, char* buffer, unsigned size)
{
    return qv::catchAtBoundary(kRevInfoAllocationFailed, [&] {
        return agentText(index, buffer, size, [](const revinfo::SoftwareEntry& e) { return std::to_string(e.state); });
    });
}

int GetAgentType(int index, char* buffer, unsigned size)
{
    return qv::catchAtBoundary(kRevInfoAllocationFailed, [&] {
        return agentText(index, buffer, size, [](const revinfo::SoftwareEntry& e) { return std::to_string(e.type); });
    });
}

int UpdateDriverInfo()
{
    return qv::catchAtBoundary(kRevInfoAllocationFailed, [&] { return revinfo::driverList().LoadList(); });
}
int UpdateFirmwareInfo()
{
    return qv::catchAtBoundary(kRevInfoAllocationFailed, [&] { return revinfo::firmwareList().LoadList(); });
}

} // extern "C"
