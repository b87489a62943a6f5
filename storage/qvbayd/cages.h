// The drive-cage service's table: the cages that hold drives, their occupied bays as one flat
// drive list (cage 0's bays first), the LED levels set through the service, and the drive
// address that flash, readiness and firmware requests act on.
#pragma once

#include <atomic>
#include <ctime>
#include <functional>
#include <vector>

#include "cage_source.h"
#include "cage_types.h"

// Status of a refresh that could not allocate its tables.
inline constexpr int ERR_NO_MEMORY = 0x100011;
// Seconds between two refreshes of the table.
inline constexpr time_t kCageRefreshPeriodS = 30;
// An adapter of this class holds no cages the service shows.
inline constexpr int kCageHiddenAdapterClass = 3;

class CCages {
public:
    using Clock = std::function<time_t()>;

    // Registers FlashCallback with the outside disk library. The clock gives seconds.
    explicit CCages(CageSource& source, Clock clock = [] { return std::time(nullptr); });
    ~CCages();
    CCages(const CCages&) = delete;
    CCages& operator=(const CCages&) = delete;

    int GetCount() const { return m_nCount; }
    int GetInfoSize() const { return m_nCount * static_cast<int>(sizeof(CageDescType)); }
    const CageDescType* GetInfo() const { return m_psCages.data(); }
    int GetStatus() const { return m_nStatus; }

    // Per-drive getters give 0 for a drive that does not exist (negative or too large).
    int GetDriveCount() const;
    int GetDriveIndex(int i) const;
    int GetDriveI2cAddr(int i) const;
    int GetDriveScsiId(int i) const;
    int GetDriveLedState(int i) const;
    // MFAdjustPowerLED for the drive; the level is kept only when that succeeded.
    bool SetDriveLedState(int i, int level);
    int GetDriveLedSetStatus(int i) const;
    int GetDrivePresent(int i) const;
    int GetDriveCageChannel(int i) const;
    int GetDriveCageAdapter(int i) const;
    int GetDriveCageType(int i) const;

    int GetFlashAdapterType() const { return m_nAdapterType; }
    void SetFlashAdapterType(int v) { m_nAdapterType = v; }
    int GetFlashAdapterNum() const { return m_nAdapterNum; }
    void SetFlashAdapterNum(int v) { m_nAdapterNum = v; }
    int GetFlashChannelNum() const { return m_nChannelNum; }
    void SetFlashChannelNum(int v) { m_nChannelNum = v; }
    int GetFlashTargetId() const { return m_nTargetId; }
    void SetFlashTargetId(int v) { m_nTargetId = v; }

    // Flash the activity lights of every drive on the flash channel, or of the flash target;
    // the outcome arrives later through FlashCallback.
    bool SetFlashCount(int count);
    bool SetFlashOneCount(int count);
    int GetFlashStatus() const { return m_nFlashStatus; }
    // The flash target's readiness; the library's result becomes the flash status.
    int GetDriveReadiness();

    // Rebuilds the table from the cage source.
    void Refresh();
    // Refreshes when more than kCageRefreshPeriodS seconds passed since the last refresh.
    void RefreshIfDue();

    // The bay and the cage of drive i; null when i is not a drive.
    const BayInfoType* GetBay(int i) const;
    const CageDescType* GetCage(int i) const;

    static void FlashCallback(unsigned long code);

private:
    struct DriveLed {
        int level = 0;
        int status = 0;
    };
    // Cage and bay position of drive i; false when there is no such drive.
    bool Locate(int i, int* cage, int* bay) const;
    void Fail(int status);
    bool KeepCage(const CageDescType& desc);

    CageSource& m_oSource;
    Clock m_clock;
    time_t m_tLastRefresh = 0;
    bool m_bHaveTable = false;

    std::vector<CageDescType> m_psCages;
    int m_nCount = 0;
    int m_nStatus = 0;
    std::vector<DriveLed> m_psDriveLed;
    int m_nAdapterType = 0;
    int m_nAdapterNum = 0;
    int m_nChannelNum = 0;
    int m_nTargetId = 0;
    int m_nDiscovered = 0;

    // Written by the library's callback thread too.
    static std::atomic<int> m_nFlashStatus;
};
