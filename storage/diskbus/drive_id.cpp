#include "drive_id.h"
#include "library_boundary.h"

#include "drive_commands.h"
#include "scsi_adapter.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

struct Row {
    char fw[5];
    const char* mfg;
    int32_t id;
    uint32_t features;
    uint32_t original;
};

const char* const kQuantum = "Quantum";
const char* const kSeagate = "Seagate";
const char* const kIbm = "IBM";
const char* const kFujitsu = "Fujitsu";
const char* const kWd = "Western Digital";
const char* const kHitachi = "HITACHI";

struct Group {
    const char* mfg;
    int32_t id;
    uint32_t features;
    std::vector<const char*> ids;
};

std::vector<Row> buildDriveTable() {
    const Group groups[] = {
        {kIbm, 3, 0x613, {"D80J", "S80J", "0008", "0110", "001A", "01A0", "01A1", "0111", "03C0", "4343", "4848",
                          "5151", "5252", "DB0A", "DC1B", "S65A", "S65C", "D80K", "S80K", "S920", "S940", "SA30",
                          "SA40", "S94C"}},
        {kIbm, 3, 0x513, {"S136", "S1A0", "D61B", "P61B"}},
        {kIbm, 3, 0x913, {"D94N", "P94N"}},
        {kFujitsu, 4, 0x405, {"5301"}},
        {kFujitsu, 4, 0x50D, {"5302", "5303", "5304", "5305", "F302", "F305", "F306", "F307", "F308", "F309",
                              "F310", "F313", "F315"}},
        {kFujitsu, 4, 0x90D, {"F510", "F511", "F610", "F611"}},
        {kSeagate, 2, 0x40D, {"0340", "0430", "0582", "0632", "0658", "0690", "0854", "1201", "1202", "1205",
                              "1207", "1208", "1212", "1218", "1221", "1226", "4220", "6324", "6331"}},
        {kSeagate, 2, 0x50D, {"8C01", "8C02"}},
        {kSeagate, 2, 0x10D, {"8C32", "8C42", "B001", "B002", "BX02", "DC33", "DC40", "DC47"}},
        {kSeagate, 2, 0x90D, {"CX02"}},
        {kSeagate, 2, 0x00D, {"8762"}},
        {kHitachi, 6, 0x10D, {"H003", "H004"}},
        {kHitachi, 6, 0x90D, {"H005"}},
        {kQuantum, 1, 0x405, {"0F0J", "1051", "1071", "3807", "5520", "5541", "L708", "L918", "LXP0", "LXY4", "LYK8"}},
        {kQuantum, 1, 0x401, {"8808", "880R", "881R", "885R", "886R", "88E8", "887R"}},
        {kWd, 5, 0x600, {"24.3"}},
    };
    std::vector<Row> rows;
    for (const auto& g : groups)
        for (const char* id : g.ids) {
            Row r{{}, g.mfg, g.id, g.features, g.features};
            std::memcpy(r.fw, id, 4);
            rows.push_back(r);
        }
    return rows;
}

std::vector<Row>& rgDisks() {
    static std::vector<Row> rows = buildDriveTable();
    return rows;
}

// Manufacturer defaults; an empty pattern is none.
Row rgMfgDflts[] = {
    {"", kIbm, 3, 0x213, 0x213},         {"SA??", kIbm, 3, 0x513, 0x513},     {"S1??", kIbm, 3, 0x513, 0x513},
    {"?84D", kIbm, 3, 0x613, 0x613},     {"D9??", kIbm, 3, 0x913, 0x913},     {"P9??", kIbm, 3, 0x913, 0x913},
    {"", kSeagate, 2, 0x00D, 0x00D},     {"F3??", kFujitsu, 4, 0x50D, 0x50D}, {"F5??", kFujitsu, 4, 0x90D, 0x90D},
    {"F6??", kFujitsu, 4, 0x90D, 0x90D}, {"53??", kFujitsu, 4, 0x00D, 0x00D}, {"H0??", kHitachi, 6, 0x00D, 0x00D},
    {"88??", kQuantum, 1, 0x405, 0x405}, {"LY??", kQuantum, 1, 0x405, 0x405}, {"LX??", kQuantum, 1, 0x405, 0x405},
    {"55??", kQuantum, 1, 0x405, 0x405},
};
Row rgMfgDefault = {"", nullptr, 0, 0x205, 0x205};

Row rgQVDflts[] = {
    {"", kIbm, 3, 0x810D, 0x810D},     {"", kSeagate, 2, 0x810D, 0x810D}, {"", kFujitsu, 4, 0x810D, 0x810D},
    {"", kHitachi, 6, 0x810D, 0x810D}, {"", kQuantum, 1, 0x810D, 0x810D},
};
Row rgQVDefault = {"", nullptr, 7, 0x800D, 0x800D};

bool fExternalKnown = false;
// The process-wide copy of the last drive id, which rows without an id of their own point to.
char szDriveId[5];

bool patternMatches(const char* pattern, const char* id) {
    if (pattern[0] == '\0')
        return false;
    for (int i = 0; i < 4; ++i)
        if (pattern[i] != '?' && pattern[i] != id[i])
            return false;
    return true;
}

bool nameAt(const uint8_t* data, size_t at, size_t length, const char* name) {
    const size_t n = std::strlen(name);
    if (at + n > length)
        return false;
    for (size_t i = 0; i < n; ++i)
        if (std::tolower(data[at + i]) != std::tolower(static_cast<unsigned char>(name[i])))
            return false;
    return true;
}

void fill(DiskInfoType* out, const Row& row, const char* fw) {
    out->pszFW = fw;
    out->pszMfg = row.mfg;
    out->idMfg = row.id;
    out->features = row.features;
}

} // namespace

void GetDriveId(const uint8_t* inquiry, size_t length, char* id) {
    std::memset(id, 0, 5);
    auto byte = [&](size_t i) { return i < length ? inquiry[i] : uint8_t(0); };
    bool empty = true;
    for (size_t i = 32; i < 36; ++i)
        empty = empty && (byte(i) == ' ' || byte(i) == 0);
    size_t from = 32;
    if (empty) {
        int n = 32;
        while (n >= 0 && (byte(size_t(n)) == ' ' || byte(size_t(n)) == 0))
            --n;
        from = n < 3 ? 0 : size_t(n - 3);
    }
    for (size_t i = 0; i < 4; ++i)
        id[i] = static_cast<char>(byte(from + i));
}

bool DetermineDiskInfo(const uint8_t* inquiry, size_t length, DiskInfoType* row) {
    ReadExternalDefs();
    GetDriveId(inquiry, length, szDriveId);
    const bool vendorQv = length > 9 && std::tolower(inquiry[8]) == 'q' && std::tolower(inquiry[9]) == 'v';
    const bool idQv = std::tolower(szDriveId[0]) == 'q' && std::tolower(szDriveId[1]) == 'v';
    if (vendorQv && idQv) {
        for (size_t at = 36; at < length; ++at)
            for (const Row& r : rgQVDflts)
                if (nameAt(inquiry, at, length, r.mfg)) {
                    fill(row, r, szDriveId);
                    return true;
                }
        fill(row, rgQVDefault, szDriveId);
        return true;
    }
    for (const Row& r : rgDisks())
        if (std::memcmp(r.fw, szDriveId, 4) == 0) {
            fill(row, r, r.fw);
            return true;
        }
    for (const Row& r : rgMfgDflts)
        if (patternMatches(r.fw, szDriveId)) {
            fill(row, r, szDriveId);
            return true;
        }
    for (size_t at = 0; at < length; ++at)
        for (const Row& r : rgMfgDflts)
            if (nameAt(inquiry, at, length, r.mfg)) {
                fill(row, r, szDriveId);
                return true;
            }
    fill(row, rgMfgDefault, szDriveId);
    return false;
}

bool ApplyExternalDefLine(const char* line) {
    size_t n = 0;
    while (line[n] != '\0' && line[n] != ' ' && line[n] != '\t' && line[n] != '\n' && line[n] != '\r')
        ++n;
    if (n == 0)
        return false;
    const char* digit = line + n;
    while (*digit != '\0' && !std::isdigit(static_cast<unsigned char>(*digit)))
        ++digit;
    const uint32_t value = static_cast<uint32_t>(std::strtoul(digit, nullptr, 0));
    for (Row& r : rgDisks())
        if (std::strncmp(r.fw, line, n) == 0) {
            r.features = value;
            return true;
        }
    char token[5] = {};
    std::memcpy(token, line, std::min<size_t>(n, 4));
    for (Row& r : rgMfgDflts)
        if (patternMatches(r.fw, token)) {
            r.features = value;
            return true;
        }
    return false;
}

void ReadExternalDefs() {
    if (fExternalKnown)
        return;
    fExternalKnown = true;
    FILE* file = std::fopen("QVExtDef.txt", "r");
    if (file == nullptr)
        return;
    char line[128];
    while (std::fgets(line, sizeof line, file) != nullptr)
        ApplyExternalDefLine(line);
    std::fclose(file);
}

void ResetDriveTablesForTests() {
    fExternalKnown = false;
    for (Row& r : rgDisks())
        r.features = r.original;
    for (Row& r : rgMfgDflts)
        r.features = r.original;
}

extern "C" {

uint32_t GetDiskMfgInfo(CScsiAdapter* adapter, unsigned channel, unsigned target, DiskInfoType* row) {
    return qv::catchAtBoundary(ERR_RESOURCE_UNAVAILABLE, [&]() -> uint32_t {
        const uint32_t status = PingDrive(*adapter, channel, target);
        if (status != 0)
            return status;
        return DetermineDiskInfo(adapter->GetpDataRet(false), kInquiryBytes, row) ? 0 : ERR_DISK_UNKNOWN;
    });
}

bool GetDfltMfgInfo(int idMfg, DiskInfoType* row) {
    for (const Row& r : rgMfgDflts)
        if (r.id == idMfg) {
            fill(row, r, r.fw);
            return true;
        }
    fill(row, rgMfgDefault, rgMfgDefault.fw);
    return false;
}

void LocateSerialNumber(const uint8_t* inquiry, int idMfg, sdType* serial) {
    serial->pb = const_cast<uint8_t*>(inquiry) + 36;
    serial->cb = idMfg == 2 ? 8 : idMfg == 3 ? 10 : 12;
}

} // extern "C"
