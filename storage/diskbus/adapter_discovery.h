// Discovery of the SCSI host adapters from /proc/scsi and the driver table that classifies them.
#pragma once

#include "diskbus_types.h"

#include <cstdint>
#include <string>

// One row of the driver table.
struct MfgData {
    const char* name;       // driver name; '?' matches any character
    const char* brand;      // nullptr: none
    uint32_t id;            // adapter class
    uint32_t nChannels;
};

struct MfgType {
    uint32_t id = 0;
    uint32_t nChannels = 0;
    const MfgData* mfgInfo = nullptr;
};

// The driver table; its last row applies to every driver the others do not name.
extern const MfgData vMfgData[];
extern const unsigned kMfgDataRows;

// Whole names equal without regard to case, at most 16 characters compared, '?' in the row
// name matching any one character.
bool MatchDriverName(const char* rowName, const char* driverName);
// The first row that matches, else the last row.
const MfgData& FindMfgData(const char* driverName);

constexpr unsigned kMaxDiscoveredAdapters = 10;

// The discovered adapters, one entry per SCSI host number.
class CScsiMfg {
public:
    // Reads /proc/scsi once while no adapter is known. 0; an unreadable /proc/scsi leaves none.
    uint32_t DetermineMfgs();
    bool GetAdapterMfg(unsigned n, MfgType* mfg) const;
    // For an n beyond the entries: class 4 and "???".
    void GetAdapterInfo(unsigned n, MfgSpecType* spec) const;
    // The driver name of host n ("Unknown" for a driver not in the table), "???" beyond.
    const char* GetMfgName(unsigned n) const;
    // The driver module of host n when the file exists (copied to at most length - 1 characters).
    bool GetAdapterDriver(unsigned n, char* path, unsigned length) const;
    uint32_t nAdapters = 0;
    uint32_t nChannels = 0;   // always 0

private:
    struct Entry {
        MfgType mfg;
        std::string pszMfg;   // the stored name of a driver not in the table
        int32_t idHbaNos = -1;
    };
    Entry rgAdapter[kMaxDiscoveredAdapters];
};
