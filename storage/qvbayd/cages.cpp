#include "cages.h"

#include <qvdiskctl.h>

#include <algorithm>
#include <new>
#include <stdexcept>

#include "cage_protocol.h"

std::atomic<int> CCages::m_nFlashStatus{0};

namespace {
constexpr uint8_t kUnknownAdapter = 0xFF;
unsigned low8(int v) { return static_cast<unsigned>(v) & 0xFF; }
} // namespace

CCages::CCages(CageSource& source, Clock clock) : m_oSource(source), m_clock(std::move(clock))
{
    SetActivityCallback(FlashCallback);
}

CCages::~CCages() { SetActivityCallback(nullptr); }

void CCages::FlashCallback(unsigned long code) { m_nFlashStatus = static_cast<int>(code); }

void CCages::Fail(int status)
{
    m_nStatus = status;
    m_nCount = 0;
    m_psDriveLed.clear();
}

bool CCages::KeepCage(const CageDescType& desc)
{
    if (desc.idAdapter == kUnknownAdapter) return true;
    int idClass = 0;
    return m_oSource.GetAdapterClass(desc.idAdapter, &idClass) == 0 && idClass != kCageHiddenAdapterClass;
}

void CCages::Refresh()
{
    m_tLastRefresh = m_clock();
    try {
        if (!m_bHaveTable) {
            unsigned discovered = 0;
            if (const ErrorType status = m_oSource.Discover(&discovered); status != 0) return Fail(static_cast<int>(status));
            m_psCages.assign(discovered, CageDescType{});
            m_nDiscovered = static_cast<int>(discovered);
            m_bHaveTable = true;
        }
        m_nCount = 0;
        std::fill(m_psCages.begin(), m_psCages.end(), CageDescType{});
        int kept = 0;
        for (int i = 0; i < m_nDiscovered; ++i) {
            CageDescType desc{};
            if (const ErrorType status = m_oSource.GetDesc(static_cast<unsigned>(i), &desc); status != 0)
                return Fail(static_cast<int>(status));
            if (!KeepCage(desc)) continue;
            // Only occupied bays count, moved to the front; a library's count above the record's
            // room is not believed.
            CageDescType& cage = m_psCages[static_cast<size_t>(kept)];
            cage = desc;
            const unsigned bays = std::min<unsigned>(desc.nBays, kCageBaysMax);
            unsigned occupied = 0;
            for (unsigned b = 0; b < bays; ++b)
                if (desc.rgBays[b].bPresent) cage.rgBays[occupied++] = desc.rgBays[b];
            std::fill(cage.rgBays + occupied, cage.rgBays + kCageBaysMax, BayInfoType{});
            cage.nBays = static_cast<uint16_t>(occupied);
            if (occupied) ++kept;
        }
        m_nCount = kept;
        m_psDriveLed.assign(static_cast<size_t>(GetDriveCount()), DriveLed{});
        m_nStatus = 0;
    } catch (const std::bad_alloc&) {
        Fail(ERR_NO_MEMORY);
    } catch (const std::length_error&) {
        Fail(ERR_NO_MEMORY);
    }
}

void CCages::RefreshIfDue()
{
    if (m_clock() - m_tLastRefresh > kCageRefreshPeriodS) Refresh();
}

int CCages::GetDriveCount() const
{
    int drives = 0;
    for (int c = 0; c < m_nCount; ++c) drives += m_psCages[static_cast<size_t>(c)].nBays;
    return drives;
}

bool CCages::Locate(int i, int* cage, int* bay) const
{
    if (i < 0) return false;
    for (int c = 0; c < m_nCount; ++c) {
        const int bays = m_psCages[static_cast<size_t>(c)].nBays;
        if (i < bays) {
            *cage = c;
            *bay = i;
            return true;
        }
        i -= bays;
    }
    return false;
}

const BayInfoType* CCages::GetBay(int i) const
{
    int cage = 0, bay = 0;
    return Locate(i, &cage, &bay) ? &m_psCages[static_cast<size_t>(cage)].rgBays[bay] : nullptr;
}

const CageDescType* CCages::GetCage(int i) const
{
    int cage = 0, bay = 0;
    return Locate(i, &cage, &bay) ? &m_psCages[static_cast<size_t>(cage)] : nullptr;
}

int CCages::GetDriveIndex(int i) const { return GetBay(i) ? i : 0; }
int CCages::GetDriveI2cAddr(int i) const { return GetCage(i) ? GetCage(i)->cageAddr : 0; }
int CCages::GetDriveScsiId(int i) const { return GetBay(i) ? GetBay(i)->idTarget : 0; }
int CCages::GetDrivePresent(int i) const { return GetBay(i) ? GetBay(i)->bPresent : 0; }
int CCages::GetDriveCageChannel(int i) const { return GetCage(i) ? GetCage(i)->idChannel : 0; }
int CCages::GetDriveCageAdapter(int i) const { return GetCage(i) ? GetCage(i)->idAdapter : 0; }
int CCages::GetDriveCageType(int i) const { return GetCage(i) ? GetCage(i)->bType : 0; }

int CCages::GetDriveLedState(int i) const
{
    return GetBay(i) ? m_psDriveLed[static_cast<size_t>(i)].level : 0;
}

int CCages::GetDriveLedSetStatus(int i) const
{
    return GetBay(i) ? m_psDriveLed[static_cast<size_t>(i)].status : 0;
}

bool CCages::SetDriveLedState(int i, int level)
{
    const BayInfoType* bay = GetBay(i);
    if (!bay) return false;
    const int result = MFAdjustPowerLED(bay->idTarget, GetCage(i)->cageAddr, level);
    DriveLed& led = m_psDriveLed[static_cast<size_t>(i)];
    led.status = result;
    if (result == 0) led.level = level;
    return result == 0;
}

bool CCages::SetFlashCount(int count)
{
    m_nFlashStatus = kCageFlashBusy;
    const int result = FlashActivityLightAllDrives(low8(m_nAdapterType), low8(m_nAdapterNum), low8(m_nChannelNum), count);
    if (result != 0) m_nFlashStatus = result;
    return result == 0;
}

bool CCages::SetFlashOneCount(int count)
{
    m_nFlashStatus = kCageFlashBusy;
    const int result = FlashDriveActivityLight(low8(m_nAdapterType), low8(m_nAdapterNum), low8(m_nChannelNum),
                                               low8(m_nTargetId), count);
    if (result != 0) m_nFlashStatus = result;
    return result == 0;
}

int CCages::GetDriveReadiness()
{
    int ready = 0;
    m_nFlashStatus = ::GetDriveReadiness(low8(m_nAdapterType), low8(m_nAdapterNum), low8(m_nChannelNum),
                                       low8(m_nTargetId), &ready);
    return ready;
}
