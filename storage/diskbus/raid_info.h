// The RAID configuration of one adapter: its logical drives with their levels, states, sizes and
// member disks. A MegaRAID controller's is read from the controller (cached 15 s); every other
// adapter has one pseudo logical drive that stands for all its disks.
#pragma once

#include "diskbus_types.h"

#include <cstdint>
#include <ctime>

class CScsiAdapter;

constexpr unsigned kMaxLDDisks = 40;

struct LDConfigType {
    LDInfoType info;
    uint8_t nDisks;                       // at most kMaxLDDisks
    SCSIAddressType addr;                 // the logical drive as the operating system sees it
    SCSIAddressType rgDisks[kMaxLDDisks];
};

class IRaidInfo {
public:
    explicit IRaidInfo(uint32_t bufferSize) { sdBuffer.cb = bufferSize; }
    virtual ~IRaidInfo();
    IRaidInfo(const IRaidInfo&) = delete;
    IRaidInfo& operator=(const IRaidInfo&) = delete;

    virtual uint32_t RefreshConfig() = 0;
    virtual uint32_t FindLogicalDrive(SCSIAddressType address, unsigned* index);

    // Sets the adapter, then refreshes the configuration (its status).
    uint32_t SetAdapter(CScsiAdapter* adapter);
    CScsiAdapter* GetAdapter() const { return pHBA; }
    // After a refresh; its failure is returned.
    uint32_t GetAdapterVer(char** firmware, char** bios);
    uint32_t GetLDList(unsigned index, void** disks, unsigned* count);
    uint32_t GetLDList(SCSIAddressType address, void** disks, unsigned* count);
    uint32_t GetLDInfo(unsigned index, LDInfoType* info);
    uint32_t GetLDInfo(SCSIAddressType address, LDInfoType* info);
    // The address of logical drive index % count; zero without logical drives.
    SCSIAddressType GetLDAddr(unsigned index) const;
    uint8_t* AllocBuffer();
    void ReleaseBuffer();
    // Every drive: level 0xFFFF, status LDOnLine, 0 blocks, no disks.
    uint32_t AllocLogicalDrives(unsigned count);
    void ReleaseLogicalDrives();
    // A disk already listed is not added again; at most kMaxLDDisks.
    uint32_t AddDiskToList(unsigned index, SCSIAddressType disk);

    uint32_t nLogicalDrives = 0;
    uint32_t sDramInMB = 0;
    uint32_t nDriveSlots = 0;
    CScsiAdapter* pHBA = nullptr;
    sdType sdBuffer = {nullptr, 0};
    time_t timeLast = 0;
    LDConfigType* prgLDs = nullptr;
    char szBiosVer[16] = {};
    char szFWVer[16] = {};
};

// Level 1 or 6 halves the size; level 3 or 5 gives one member's share to parity.
void AdjustLDSize(LDInfoType* info, unsigned nDisks);

// Every adapter that is not a MegaRAID controller.
class CRaidInfo : public IRaidInfo {
public:
    CRaidInfo() : IRaidInfo(256) {}
    uint32_t RefreshConfig() override;
    uint32_t FindLogicalDrive(SCSIAddressType address, unsigned* index) override;
};

enum CardClass : uint32_t { unknown = 0, LD8Capable = 1, LD40Capable = 2 };

// A MegaRAID controller (adapter class 1).
class CAMIRaidInfo : public IRaidInfo {
public:
    CAMIRaidInfo();
    uint32_t RefreshConfig() override;

    // Product information, else the enquiry: card class, memory, board, versions.
    uint32_t GetCardInfo();
    // One management command: its reply data at Data(); 0 or the failure.
    uint32_t Command(uint8_t command, uint8_t parameter, bool hasParameter);
    uint8_t* Data() const { return sdBuffer.pb ? sdBuffer.pb + cbHeader : nullptr; }
    uint32_t DataLength() const { return sdBuffer.cb - cbHeader; }

    // Fills the logical drives from the configuration reply in the data area, laid out for the
    // card's class; every count the reply gives is bounded by that layout.
    uint32_t ReadConfigReply();

    bool fKernel22;
    CardClass card = unknown;
    // Header in front of the data area: 8 on 2.2 kernels, 110 otherwise.
    static uint32_t cbHeader;
};

// The controller's logical drive status as an LDState.
LDState MapLDStatus(uint8_t status);
// The product name of an 8-logical-drive controller by its board id.
const char* ProductName8(uint8_t boardId);
// The board id of 4 firmware version bytes: the first upper-case letter, else the first byte.
uint8_t BoardId8(const uint8_t firmware[4]);
// "%c%c.%2.2d.%2.2X" of bytes 3, 2, 1, 0.
void FormatRaidVersion(const uint8_t bytes[4], char text[16]);
