#include "fru.h"

#include "ipmexception.h"
#include "sensor.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <vector>

namespace qv::bmc {

namespace {

constexpr size_t kHeaderBytes = 8;
constexpr UINT8 kEndOfFields = 0xC1;
constexpr time_t kMfgTimeBase = 820497600;   // 1996-01-01 12:00:00 UTC

struct ChassisType {
    UINT8 code;
    char meaning[30];
};
const ChassisType g_ChassisTypeTable[23] = {
    {0x01, "Other"}, {0x02, "Unknown"}, {0x03, "Desktop"}, {0x04, "Low Profile Desktop"},
    {0x05, "Pizza Box"}, {0x06, "Mini Tower"}, {0x07, "Tower"}, {0x08, "Portable"},
    {0x09, "Laptop"}, {0x0A, "Notebook"}, {0x0B, "Hand Held"}, {0x0C, "Docking Station"},
    {0x0D, "All in One"}, {0x0E, "Sub Notebook"}, {0x0F, "Space-saving"}, {0x10, "Lunch Box"},
    {0x11, "Main Server Chassis"}, {0x12, "Expansion Chassis"}, {0x13, "Sub Chassis"},
    {0x14, "Bus Expansion Chassis"}, {0x15, "Peripheral Chassis"}, {0x16, "RAID Chassis"},
    {0x17, "Rack Mount Chassis"}};

// Reads the typed fields of one area in order; a missing end marker ends at the area's end.
class AreaReader {
public:
    AreaReader(const UINT8* data, size_t dataLength, size_t start, size_t areaLength)
        : data_(data), pos_(start), end_(std::min(dataLength, start + areaLength)) {}
    bool fixed(size_t count, const UINT8** bytes)
    {
        if (pos_ + count > end_) return false;
        *bytes = data_ + pos_;
        pos_ += count;
        return true;
    }
    // false when the field reaches beyond the area or the data.
    bool field(FruField* out)
    {
        *out = FruField{0, 0, nullptr};
        if (done_ || pos_ >= end_) return true;
        const UINT8 typeLength = data_[pos_];
        if (typeLength == kEndOfFields) {
            done_ = true;
            return true;
        }
        const size_t length = typeLength & 0x3F;
        if (pos_ + 1 + length > end_) return false;
        out->bType = static_cast<UINT8>(typeLength >> 6);
        out->bLength = static_cast<UINT8>(length);
        if (length) {
            out->pbData = new UINT8[length];
            memcpy(out->pbData, data_ + pos_ + 1, length);
        }
        pos_ += 1 + length;
        return true;
    }

private:
    const UINT8* data_;
    size_t pos_, end_;
    bool done_ = false;
};

bool readFields(AreaReader& reader, std::initializer_list<FruField*> fields)
{
    for (FruField* f : fields)
        if (!reader.field(f)) return false;
    return true;
}

UINT8 areaChecksum(const UINT8* data, size_t length, size_t offset, size_t areaBytes)
{
    return offset + areaBytes <= length && areaBytes ? data[offset + areaBytes - 1] : 0;
}

bool sumsToZero(const UINT8* data, size_t length, size_t from, size_t count)
{
    UINT8 sum = 0;
    for (size_t i = from; i < from + count && i < length; ++i) sum = static_cast<UINT8>(sum + data[i]);
    return sum == 0;
}

char* copyText(const std::string& text)
{
    if (text.empty()) return nullptr;
    char* out = new char[text.size() + 1];
    memcpy(out, text.c_str(), text.size() + 1);
    return out;
}

char* textOf(const FruField& f, UINT32* programmed)
{
    char* text = copyText(fieldText(f.bType, f.bLength, f.pbData));
    if (text) *programmed = 1;
    return text;
}

void freeField(FruField& f)
{
    delete[] f.pbData;
    f = FruField{0, 0, nullptr};
}

} // namespace

std::string fieldText(UINT8 type, UINT8 length, const UINT8* data)
{
    if (length == 0 || !data) return {};
    std::string out;
    switch (type & 3) {
    case 0: {
        static const char hex[] = "0123456789abcdef";
        for (size_t i = 0; i < length; ++i) {
            out += hex[data[i] >> 4];
            out += hex[data[i] & 0x0F];
        }
        return out;
    }
    case 1: {
        static const char bcdPlus[] = "0123456789 -.???";
        for (size_t i = 0; i < length; ++i) {
            out += bcdPlus[data[i] >> 4];
            out += bcdPlus[data[i] & 0x0F];
        }
        return out;
    }
    case 2: return {};
    default:
        if (length < 2) return {};
        // Stops at an embedded zero byte, as a C text would.
        return std::string(reinterpret_cast<const char*>(data), strnlen(reinterpret_cast<const char*>(data), length));
    }
}

std::string manufacturingTime(UINT32 minutes)
{
    const time_t when = kMfgTimeBase + static_cast<time_t>(minutes) * 60;
    struct tm tm {};
    if (!gmtime_r(&when, &tm)) return {};
    char text[64];
    strftime(text, sizeof text, "%a %b %e %H:%M:%S %Y", &tm);
    return text;
}

const char* chassisTypeText(UINT8 code)
{
    for (const auto& row : g_ChassisTypeTable)
        if (row.code == code) return row.meaning;
    return nullptr;
}

ErrorType structureFruData(const UINT8* data, size_t length, FruDataStruct* s)
{
    memset(s, 0, sizeof *s);
    if (!data || length < kHeaderBytes) return IPMAPI_ERROR_FRU_HEADER;
    memcpy(&s->CommonHeader, data, kHeaderBytes);
    const auto areaAt = [&](UINT8 offset, size_t fixedBytes, const UINT8** head,
                            UINT8* areaLength) -> ErrorType {
        const size_t start = offset * 8u;
        if (start + 2 + fixedBytes > length) return IPMAPI_ERROR_FRU_STRUCTURE;
        *head = data + start;
        *areaLength = data[start + 1];
        return 0;
    };
    const UINT8* head = nullptr;
    if (UINT8 off = s->CommonHeader.bChassisInfoAreaOffset) {
        auto& a = s->ChassisInfoArea;
        if (ErrorType e = areaAt(off, 1, &head, &a.bLength)) return e;
        a.bFormatVersion = head[0];
        a.bType = head[2];
        AreaReader reader(data, length, off * 8u + 3, a.bLength * 8u - std::min<size_t>(3, a.bLength * 8u));
        if (!readFields(reader, {&a.PartNumber, &a.SerialNumber})) return IPMAPI_ERROR_FRU_STRUCTURE;
        a.bChecksum = areaChecksum(data, length, off * 8u, a.bLength * 8u);
    }
    if (UINT8 off = s->CommonHeader.bBoardInfoAreaOffset) {
        auto& a = s->BoardInfoArea;
        if (ErrorType e = areaAt(off, 4, &head, &a.bLength)) return e;
        a.bFormatVersion = head[0];
        a.bLanguage = head[2];
        a.dwMfgDateTime = static_cast<UINT32>(head[3] | head[4] << 8 | head[5] << 16);
        AreaReader reader(data, length, off * 8u + 6, a.bLength * 8u - std::min<size_t>(6, a.bLength * 8u));
        if (!readFields(reader, {&a.Manufacturer, &a.ProductName, &a.SerialNumber, &a.PartNumber,
                                 &a.FruFileId}))
            return IPMAPI_ERROR_FRU_STRUCTURE;
        a.bChecksum = areaChecksum(data, length, off * 8u, a.bLength * 8u);
    }
    if (UINT8 off = s->CommonHeader.bProductInfoAreaOffset) {
        auto& a = s->ProductInfoArea;
        if (ErrorType e = areaAt(off, 1, &head, &a.bLength)) return e;
        a.bFormatVersion = head[0];
        a.bLanguage = head[2];
        AreaReader reader(data, length, off * 8u + 3, a.bLength * 8u - std::min<size_t>(3, a.bLength * 8u));
        if (!readFields(reader, {&a.Manufacturer, &a.ProductName, &a.PartNumber, &a.Version,
                                 &a.SerialNumber, &a.AssetTag, &a.FruFileId}))
            return IPMAPI_ERROR_FRU_STRUCTURE;
        a.bChecksum = areaChecksum(data, length, off * 8u, a.bLength * 8u);
    }
    return 0;
}

ErrorType checkFruSums(const UINT8* data, size_t length, const FruDataStruct& s)
{
    if (!sumsToZero(data, length, 0, kHeaderBytes)) return IPMAPI_ERROR_FRU_CHECKSUM;
    const std::pair<UINT8, UINT8> areas[] = {
        {s.CommonHeader.bChassisInfoAreaOffset, s.ChassisInfoArea.bLength},
        {s.CommonHeader.bBoardInfoAreaOffset, s.BoardInfoArea.bLength},
        {s.CommonHeader.bProductInfoAreaOffset, s.ProductInfoArea.bLength}};
    for (const auto& [offset, units] : areas)
        if (offset && !sumsToZero(data, length, offset * 8u, units * 8u)) return IPMAPI_ERROR_FRU_CHECKSUM;
    return 0;
}

void formatFruData(const FruDataStruct& s, FormattedFruDataStruct* f)
{
    memset(f, 0, sizeof *f);
    const auto& c = s.ChassisInfoArea;
    if (s.CommonHeader.bChassisInfoAreaOffset) {
        f->ChassisInfoArea.pszType = copyText(chassisTypeText(c.bType) ? chassisTypeText(c.bType) : "");
        if (f->ChassisInfoArea.pszType) f->fChassisInfoAreaIsProgrammed = 1;
        f->ChassisInfoArea.pszPartNumber = textOf(c.PartNumber, &f->fChassisInfoAreaIsProgrammed);
        f->ChassisInfoArea.pszSerialNumber = textOf(c.SerialNumber, &f->fChassisInfoAreaIsProgrammed);
    }
    const auto& b = s.BoardInfoArea;
    auto& fb = f->BoardInfoArea;
    if (b.bLength) {
        fb.pszMfgDateTime = copyText(manufacturingTime(b.dwMfgDateTime));
        if (fb.pszMfgDateTime) f->fBoardInfoAreaIsProgrammed = 1;
    }
    UINT32* board = &f->fBoardInfoAreaIsProgrammed;
    fb.pszManufacturerName = textOf(b.Manufacturer, board);
    fb.pszProductName = textOf(b.ProductName, board);
    fb.pszSerialNumber = textOf(b.SerialNumber, board);
    fb.pszPartNumber = textOf(b.PartNumber, board);
    const auto& p = s.ProductInfoArea;
    auto& fp = f->ProductInfoArea;
    UINT32* product = &f->fProductInfoAreaIsProgrammed;
    fp.pszManufacturerName = textOf(p.Manufacturer, product);
    fp.pszProductName = textOf(p.ProductName, product);
    fp.pszPartNumber = textOf(p.PartNumber, product);
    fp.pszVersion = textOf(p.Version, product);
    fp.pszSerialNumber = textOf(p.SerialNumber, product);
    fp.pszAssetTag = textOf(p.AssetTag, product);
}

void freeFruData(FruDataStruct* s)
{
    if (!s) return;
    for (FruField* f : {&s->ChassisInfoArea.PartNumber, &s->ChassisInfoArea.SerialNumber,
                        &s->BoardInfoArea.Manufacturer, &s->BoardInfoArea.ProductName,
                        &s->BoardInfoArea.SerialNumber, &s->BoardInfoArea.PartNumber,
                        &s->BoardInfoArea.FruFileId, &s->ProductInfoArea.Manufacturer,
                        &s->ProductInfoArea.ProductName, &s->ProductInfoArea.PartNumber,
                        &s->ProductInfoArea.Version, &s->ProductInfoArea.SerialNumber,
                        &s->ProductInfoArea.AssetTag, &s->ProductInfoArea.FruFileId})
        freeField(*f);
}

void freeFormattedFruData(FormattedFruDataStruct* f)
{
    if (!f) return;
    for (char* text :
         {f->ChassisInfoArea.pszType, f->ChassisInfoArea.pszPartNumber,
          f->ChassisInfoArea.pszSerialNumber, f->BoardInfoArea.pszMfgDateTime,
          f->BoardInfoArea.pszManufacturerName, f->BoardInfoArea.pszProductName,
          f->BoardInfoArea.pszSerialNumber, f->BoardInfoArea.pszPartNumber,
          f->ProductInfoArea.pszManufacturerName, f->ProductInfoArea.pszProductName,
          f->ProductInfoArea.pszPartNumber, f->ProductInfoArea.pszVersion,
          f->ProductInfoArea.pszSerialNumber, f->ProductInfoArea.pszAssetTag})
        delete[] text;
    memset(f, 0, sizeof *f);
}

} // namespace qv::bmc

using namespace qv::bmc;

namespace {

constexpr size_t kPieceBytes = 16;
constexpr UINT8 kInventoryDevice = 0x10;
constexpr UINT8 kFruInventorySupport = 0x08;

// Serial EEPROMs 0x08..0x0C hold 128 << (type - 8) bytes.
size_t eepromSize(UINT8 type) { return type >= 0x08 && type <= 0x0C ? 128u << (type - 0x08) : 0; }

// Only as many address bits as the part has 256-byte blocks select the block; the bits above
// them are the part's strapped address and stay as the locator gives them.
UINT8 eepromSlaveAddress(UINT8 slaveAddress, size_t size, size_t offset)
{
    const unsigned blockBits = size > 256 ? ((size / 256 - 1) << 1) & 0x0E : 0;
    return static_cast<UINT8>((slaveAddress & 0xFE & ~blockBits) | ((offset >> 8) << 1 & blockBits));
}

// Sets the controller's LUN for the reading and puts it back on every path.
class LunForReading {
public:
    LunForReading(CIPMControllerExport* c, UINT8 lun) : c_(c), saved_(c->GetLun()) { c->SetLun(lun); }
    ~LunForReading() { c_->SetLun(saved_); }
    LunForReading(const LunForReading&) = delete;
    LunForReading& operator=(const LunForReading&) = delete;

private:
    CIPMControllerExport* c_;
    UINT8 saved_;
};

} // namespace

CFru::CFru(const Sdr* pSdr, CIPMControllerExport* pController) : m_pController(pController)
{
    if (pSdr) {
        m_pSdr = new Sdr;
        memcpy(m_pSdr, pSdr, sizeof *m_pSdr);
    }
}

CFru::~CFru()
{
    dropDerived();
    delete[] m_pbFruData;
    delete m_pSdr;
}

void CFru::dropDerived()
{
    freeFruData(m_pStructuredFruData);
    delete m_pStructuredFruData;
    m_pStructuredFruData = nullptr;
    freeFormattedFruData(m_pFormattedFruData);
    delete m_pFormattedFruData;
    m_pFormattedFruData = nullptr;
}

Sdr* CFru::GetSdr() { return m_pSdr; }
CIPMControllerExport* CFru::GetController() { return m_pController; }
unsigned char* CFru::GetFruData() { return m_pbFruData; }
unsigned short CFru::GetFruDataLength() { return m_wFruDataLength; }
FruDataStruct* CFru::GetStructuredFruData() { return m_pStructuredFruData; }
FormattedFruDataStruct* CFru::GetFormattedFruData() { return m_pFormattedFruData; }

ErrorType CFru::WriteFruData(unsigned char*, unsigned short) { return IPMAPI_ERROR_NOT_SUPPORTED; }

ErrorType CFru::ReadFruData()
{
    if (!m_pSdr || !m_pController) return IPMAPI_ERROR_NO_PATH;
    dropDerived();
    ErrorType e = 0;
    try {
        e = readRaw();
    } catch (CIPMExceptionExport* x) {
        e = x->GetErrorCode();
    }
    if (e || !m_pbFruData) return e;
    m_pStructuredFruData = new FruDataStruct;
    e = structureFruData(m_pbFruData, m_wFruDataLength, m_pStructuredFruData);
    if (!e) e = checkFruSums(m_pbFruData, m_wFruDataLength, *m_pStructuredFruData);
    if (e) {
        dropDerived();
        return e;
    }
    m_pFormattedFruData = new FormattedFruDataStruct;
    formatFruData(*m_pStructuredFruData, m_pFormattedFruData);
    return 0;
}

ErrorType CFru::readRaw()
{
    if (isRecord10(*m_pSdr)) {
        if (m_pSdr->recordType == 0x11) {
            const auto& r = m_pSdr->body.t10_11;
            if (eepromSize(r.deviceType))
                return readEeprom(r.deviceType, r.accessIdBusLun & 0x07, r.fruDeviceIdSlaveAddress);
            if (r.deviceType != kInventoryDevice) return IPMAPI_ERROR_NOT_SUPPORTED;
            if (!(r.accessIdBusLun & 0x80)) return 0;
            LunForReading lun(m_pController, static_cast<UINT8>((r.accessIdBusLun >> 3) & 3));
            return readInventory(r.fruDeviceIdSlaveAddress);
        }
        if (m_pSdr->recordType == 0x12) {
            if (!(m_pSdr->body.t10_12.deviceCapabilities & kFruInventorySupport))
                return IPMAPI_ERROR_NO_PATH;
            return readInventory(0);
        }
        return IPMAPI_ERROR_RECORD_TYPE;
    }
    if (isRecord09(*m_pSdr) && m_pSdr->recordType == 0x10) {
        const auto& r = m_pSdr->body.t09_10;
        if (r.deviceType == 0) return readInventory(0);
        if (eepromSize(r.deviceType)) return readEeprom(r.deviceType, r.imbBusId & 0x07, r.deviceSlaveAddress);
        return IPMAPI_ERROR_NOT_SUPPORTED;
    }
    return isRecord09(*m_pSdr) ? IPMAPI_ERROR_RECORD_TYPE : IPMAPI_ERROR_WRONG_VERSION;
}

ErrorType CFru::readInventory(UINT8 deviceId)
{
    delete[] m_pbFruData;
    m_pbFruData = nullptr;
    m_wFruDataLength = 0;
    FruGetFruInventoryInfoRequest info{};
    info.bVersion = 10;
    info.bRequestLength = 1;
    info.Ver10.deviceId = deviceId;
    const FruGetFruInventoryInfoResponse area = m_pController->GetFruInventoryInfo(info);
    const int version = area.bVersion;
    if (version != 9 && version != 10) return IPMAPI_ERROR_WRONG_VERSION;
    const size_t size = area.Ver10.fruInventoryAreaSize;
    const size_t unit = area.Ver10.fruAccessSize & 1 ? 2 : 1;
    std::vector<UINT8> data;
    data.reserve(size);
    while (data.size() < size) {
        FruReadFruInventoryDataRequest read{};
        read.bVersion = static_cast<UINT8>(version);
        const UINT16 offset = static_cast<UINT16>(data.size() / unit);
        const UINT8 count = static_cast<UINT8>(kPieceBytes / unit);
        if (version == 10) {
            read.Ver10 = {deviceId, offset, count};
        } else {
            read.Ver09 = {offset, count};
        }
        const FruReadFruInventoryDataResponse piece = m_pController->ReadFruInventoryData(read);
        if (piece.bVersion != version) return IPMAPI_ERROR_WRONG_VERSION;
        // What the answer carries beyond its completion code and count, bounded by the area.
        const size_t carried = piece.bResponseLength > 2 ? piece.bResponseLength - 2u : 0;
        size_t bytes = std::min<size_t>(piece.Ver10.readActualCount * unit, carried);
        bytes = std::min({bytes, sizeof piece.Ver10.inventoryData, size - data.size()});
        if (bytes == 0) return IPMAPI_ERROR_FRU_INCOMPLETE;
        data.insert(data.end(), piece.Ver10.inventoryData, piece.Ver10.inventoryData + bytes);
    }
    if (data.size() < size || size == 0) return IPMAPI_ERROR_FRU_INCOMPLETE;
    m_pbFruData = new unsigned char[size];
    memcpy(m_pbFruData, data.data(), size);
    m_wFruDataLength = static_cast<UINT16>(size);
    return 0;
}

// 24C0x parts: one word-address byte; the larger ones take the 256-byte block from the low
// slave address bits. Read 16 bytes at a time over the base controller's master write-read.
ErrorType CFru::readEeprom(UINT8 deviceType, UINT8 bus, UINT8 slaveAddress)
{
    delete[] m_pbFruData;
    m_pbFruData = nullptr;
    m_wFruDataLength = 0;
    CIPMBaseControllerExport* base = m_pController->GetBaseController();
    if (!base) return IPMAPI_ERROR_NO_PATH;
    const size_t size = eepromSize(deviceType);
    std::vector<UINT8> data;
    while (data.size() < size) {
        const size_t offset = data.size();
        MMC_MASTER_WRITE_READ_I2C_REQUEST request{};
        request.bVersion = 10;
        request.bRequestLength = 4;
        request.Ver10.busId = static_cast<UINT8>(bus ? (bus << 1) | 1 : 0);
        request.Ver10.slaveAddress = eepromSlaveAddress(slaveAddress, size, offset);
        request.Ver10.numberOfBytesToRead = kPieceBytes;
        request.Ver10.writeData[0] = static_cast<UINT8>(offset & 0xFF);
        MMC_MASTER_WRITE_READ_I2C_RESPONSE piece;
        try {
            piece = base->MasterWriteReadI2C(request);
        } catch (CIPMExceptionExport*) {
            return IPMAPI_ERROR_FRU_INCOMPLETE;
        }
        const size_t carried = piece.bResponseLength > 1 ? piece.bResponseLength - 1u : 0;
        if (piece.Ver10.completionCode != 0) return IPMAPI_ERROR_FRU_INCOMPLETE;
        if (carried < kPieceBytes) return IPMAPI_ERROR_SHORT_RESPONSE;
        data.insert(data.end(), piece.Ver10.readData, piece.Ver10.readData + kPieceBytes);
    }
    m_pbFruData = new unsigned char[size];
    memcpy(m_pbFruData, data.data(), size);
    m_wFruDataLength = static_cast<UINT16>(size);
    return 0;
}
