#include "self_test_monitor.h"

#include <qvdiskctl.h>

#include <chrono>
#include <climits>
#include <cstdlib>
#include <system_error>

#include "diskbus_calls.h"
#include "dst_records.h"

std::vector<dst_info_t> SelfTestMonitor::m_pDrivesInfo;
int SelfTestMonitor::m_nDrivesInfo = 0;
int SelfTestMonitor::m_nReferences = 0;
std::thread SelfTestMonitor::m_sThreadId;
std::mutex SelfTestMonitor::m_sThreadLock;
std::condition_variable SelfTestMonitor::m_sThreadWake;
bool SelfTestMonitor::m_fThreadStarted = false;
bool SelfTestMonitor::m_fThreadAlive = false;
unsigned SelfTestMonitor::m_nTableGeneration = 0;

std::mutex& diskbusLock()
{
    static std::mutex lock;
    return lock;
}

namespace {

constexpr int kPassPauseMs = 5000;
constexpr int kResultPauseMs = 500;
constexpr int kRetryPauseMs = 1500;
constexpr int kResultTries = 4;
constexpr int kMaxFailedQueries = 10;

std::chrono::milliseconds pause(int ms)
{
    const char* text = std::getenv(kSelfTestWaitDivisorEnv);
    const long divisor = text ? std::strtol(text, nullptr, 10) : 1;
    return std::chrono::milliseconds(divisor > 1 ? ms / divisor : ms);
}

// Runs one libqvdiskbus call (or a function made of them) under the process-wide lock.
template <class F>
auto onBus(F call)
{
    std::lock_guard<std::mutex> g(diskbusLock());
    return call();
}

unsigned addr(char part) { return static_cast<unsigned char>(part); }

// A drive's row as its asset-tag area and its self-test support give it.
dst_info_t rowOf(const DriveConfigInfo& drive)
{
    dst_info_t row;
    row.dst_adapter = static_cast<char>(drive.adapterID & 0xFF);
    row.dst_channel = static_cast<char>(drive.channelID & 0xFF);
    row.dst_target = static_cast<char>(drive.targetID & 0xFF);
    const int a = addr(row.dst_adapter), c = addr(row.dst_channel), t = addr(row.dst_target);
    onBus([&] {
        row.dst_result = ReadDstTattooResult(a, c, t);
        if (row.dst_result != kDstResultUnknown) row.dst_percent = 100;
        row.dst_start_time = ReadDstTattooTime(a, c, t, kDstStartRecord);
        row.dst_end_time = ReadDstTattooTime(a, c, t, kDstEndRecord);
        if (ScsiIsDstAvail(a, c, t) == 0) {
            row.dst_is_avail = true;
            int seconds = 0;
            if (ScsiGetCompletionTime(a, c, t, &seconds) == 0) row.dst_completion_time = seconds;
        }
        return 0;
    });
    return row;
}

// One turn of a followed row in a pass: the drive is asked outside the monitor lock and only
// the copy `row` is changed.
void followRow(dst_info_t& row)
{
    const unsigned a = addr(row.dst_adapter), c = addr(row.dst_channel), t = addr(row.dst_target);
    int percent = 0;
    const uint32_t status = onBus([&] { return ScsiCheckDSTsense(a, c, t, &percent); });
    if (status == 0) {
        row.dst_error_count = 0;
        if (percent > 100) return;
        if (percent == 100) {
            row.dst_percent = 100;
        } else if (percent > row.dst_percent) {
            row.dst_percent = percent;
        } else {
            // No progress: the drive's newest log entry tells whether the test still runs.
            std::this_thread::sleep_for(pause(kResultPauseMs));
            int result = kDstRunning;
            onBus([&] { return ScsiGetDstResults(a, c, t, 0, &result); });
            if (result != kDstRunning) row.dst_percent = 100;
        }
    } else if (status == 5 || status == 15) {
        return;
    } else if (++row.dst_error_count > kMaxFailedQueries) {
        row.dst_percent = static_cast<int>(std::min<long long>(100LL + status, INT_MAX));
    }

    if (row.dst_percent > 100) {
        row.dst_result = kDstResultUnknown;
        row.dst_in_progress = 0;
    } else if (row.dst_percent == 100) {
        int result = 0;
        bool known = false;
        for (int attempt = 0; attempt < kResultTries && !known; ++attempt) {
            if (attempt > 0) std::this_thread::sleep_for(pause(kRetryPauseMs));
            known = onBus([&] { return ScsiGetDstResults(a, c, t, 0, &result); }) == 0;
        }
        row.dst_result = known ? result : kDstResultUnknown;
        row.dst_end_time = onBus([&] { return TattooDstTime(a, c, t, kDstEndRecord); });
        if (row.dst_in_progress == 1)
            onBus([&] {
                TattooDstResult(a, c, t, static_cast<Byte>(row.dst_result & 0xFF));
                return 0;
            });
        row.dst_in_progress = 0;
    }
}

} // namespace

SelfTestMonitor::SelfTestMonitor(int nDriveIndex, int nAdapter, int nChannel, int nTarget)
{
    SetData(nDriveIndex, nAdapter, nChannel, nTarget);
    {
        std::lock_guard<std::mutex> g(m_sThreadLock);
        ++m_nReferences;
    }
    EnsureRows(nDriveIndex);
}

SelfTestMonitor::~SelfTestMonitor()
{
    std::thread ending;
    {
        std::lock_guard<std::mutex> g(m_sThreadLock);
        if (--m_nReferences > 0) return;
        m_pDrivesInfo.clear();
        m_nDrivesInfo = 0;
        ++m_nTableGeneration;
        ending = std::move(m_sThreadId);
    }
    // The thread sees the freed table as soon as it wakes or ends its pass, and never touches it.
    m_sThreadWake.notify_all();
    if (ending.joinable()) ending.join();
}

void SelfTestMonitor::SetData(int nDriveIndex, int nAdapter, int nChannel, int nTarget)
{
    m_nDriveIndex = nDriveIndex;
    m_nAdapter = static_cast<char>(nAdapter & 0xFF);
    m_nChannel = static_cast<char>(nChannel & 0xFF);
    m_nTarget = static_cast<char>(nTarget & 0xFF);
}

void SelfTestMonitor::EnsureRows(int index)
{
    int have = 0;
    {
        std::lock_guard<std::mutex> g(m_sThreadLock);
        if (index < m_nDrivesInfo) return;
        have = m_nDrivesInfo;
    }
    int drives = 0, adapters = 0;
    if (CountAdapterUnits(&drives, &adapters) != 0 || adapters == 0 || drives <= 0 || index >= drives) return;
    std::vector<DriveConfigInfo> list(drives);
    std::vector<dst_info_t> rows(drives);
    if (GetAllDiskConfigInfo(list.data(), drives) == 0)
        for (int i = have; i < drives; ++i) rows[i] = rowOf(list[i]);
    std::lock_guard<std::mutex> g(m_sThreadLock);
    if (m_nDrivesInfo >= drives) return;   // another refresh got there first
    m_pDrivesInfo.insert(m_pDrivesInfo.end(), rows.begin() + m_nDrivesInfo, rows.end());
    m_nDrivesInfo = drives;
}

dst_info_t SelfTestMonitor::Info() const
{
    std::lock_guard<std::mutex> g(m_sThreadLock);
    return m_nDriveIndex >= 0 && m_nDriveIndex < m_nDrivesInfo ? m_pDrivesInfo[m_nDriveIndex] : dst_info_t{};
}

int SelfTestMonitor::SetOperation(int nOperation)
{
    bool followed = false;
    {
        std::lock_guard<std::mutex> g(m_sThreadLock);
        // A drive the library's inventory did not list has no row to follow a test in.
        if (m_nDriveIndex < 0 || m_nDriveIndex >= m_nDrivesInfo) return 1;
        followed = m_pDrivesInfo[m_nDriveIndex].dst_in_progress != 0;
    }
    const bool start = nOperation == kDstShort || nOperation == kDstExtended;
    if (followed && start) return 0;
    if (!followed && nOperation == kDstAbort) return 0;
    if (start || nOperation == kDstAbort) {
        const unsigned a = addr(m_nAdapter), c = addr(m_nChannel), t = addr(m_nTarget);
        if (onBus([&] { return ScsiStartDST(a, c, t, static_cast<unsigned>(nOperation)); }) != 0) {
            // Refused: accepted all the same when the drive already runs a test.
            int result = 0;
            const uint32_t status = onBus([&] { return ScsiGetDstResults(a, c, t, 0, &result); });
            if (status != 0 || result != kDstRunning) return 1;
        }
    }
    if (start) {
        const int started = StartMonitor(1);
        if (started != 0) return started;
    }
    m_nCurrentOp = nOperation;
    return 0;
}

int SelfTestMonitor::StartMonitor(int nPerc)
{
    std::lock_guard<std::mutex> g(m_sThreadLock);
    if (m_nDriveIndex < 0 || m_nDriveIndex >= m_nDrivesInfo) return 1;
    if (!m_fThreadStarted) {
        m_fThreadStarted = true;
        // A thread that a stop request reached mid-wait goes on; one that ended is replaced (it
        // had nothing left to do but return).
        if (!m_fThreadAlive) {
            if (m_sThreadId.joinable()) m_sThreadId.join();
            try {
                m_sThreadId = std::thread(MonitorThread);
            } catch (const std::system_error& e) {
                m_fThreadStarted = false;
                return e.code().value() ? e.code().value() : 1;
            }
            m_fThreadAlive = true;
        }
    }
    dst_info_t& row = m_pDrivesInfo[m_nDriveIndex];
    row.dst_result = kDstResultUnknown;
    row.dst_in_progress = 1;
    row.dst_percent = nPerc;
    const unsigned a = addr(m_nAdapter), c = addr(m_nChannel), t = addr(m_nTarget);
    row.dst_start_time = onBus([&] { return TattooDstTime(a, c, t, kDstStartRecord); });
    return 0;
}

int SelfTestMonitor::StopMonitor()
{
    std::lock_guard<std::mutex> g(m_sThreadLock);
    m_fThreadStarted = false;
    return 0;
}

void SelfTestMonitor::MonitorThread()
{
    std::unique_lock<std::mutex> l(m_sThreadLock);
    while (m_fThreadStarted) {
        const unsigned generation = m_nTableGeneration;
        m_sThreadWake.wait_for(l, pause(kPassPauseMs), [&] { return generation != m_nTableGeneration; });
        if (generation != m_nTableGeneration) {
            m_fThreadStarted = false;
            break;
        }
        l.unlock();
        Pass();
        l.lock();
        bool any = false;
        for (const dst_info_t& row : m_pDrivesInfo) any = any || row.dst_in_progress != 0;
        m_fThreadStarted = any;
    }
    m_fThreadAlive = false;
}

void SelfTestMonitor::Pass()
{
    for (int i = 0;; ++i) {
        dst_info_t row;
        unsigned generation = 0;
        {
            std::lock_guard<std::mutex> g(m_sThreadLock);
            if (i >= m_nDrivesInfo) return;
            row = m_pDrivesInfo[i];
            generation = m_nTableGeneration;
        }
        if (row.dst_in_progress == 0) continue;
        followRow(row);
        std::lock_guard<std::mutex> g(m_sThreadLock);
        // A followed row changes only here (a start on it sends nothing, an abort keeps it
        // followed), so the copy is the row's new state, unless the table was freed meanwhile.
        if (generation != m_nTableGeneration || i >= m_nDrivesInfo) return;
        m_pDrivesInfo[i] = row;
    }
}
