// Drive self-tests: a state row per drive of the inventory, the start and abort rules, and one
// thread that follows every running test, then stores its end time and result in the drive's
// asset-tag area.
//
// Environment (tests only):
//   QV_SELFTEST_WAIT_DIVISOR=N   divides the thread's waits (5 s between passes, 0.5 s before a
//                                result query, 1.5 s between result retries) by N
#pragma once

#include <condition_variable>
#include <ctime>
#include <mutex>
#include <thread>
#include <vector>

inline constexpr char kSelfTestWaitDivisorEnv[] = "QV_SELFTEST_WAIT_DIVISOR";

// Operations of SetOperation.
inline constexpr int kDstShort = 1;
inline constexpr int kDstExtended = 2;
inline constexpr int kDstAbort = 4;
// Result code a drive's self-test log shows while a test runs.
inline constexpr int kDstRunning = 15;
inline constexpr int kDstResultUnknown = 255;

// The state row of one drive.
struct dst_info_t {
    bool dst_is_avail = false;
    int dst_in_progress = 0;      // 1 while a test started here is followed
    int dst_percent = 0;          // 100 at the end; 100 + error code when following gave up
    int dst_result = 0;           // 255 when unknown
    int dst_error_count = 0;      // failed progress queries in a row
    int dst_completion_time = 0;  // seconds of an extended test
    time_t dst_start_time = 0;
    time_t dst_end_time = 0;
    char dst_adapter = 0;
    char dst_channel = 0;
    char dst_target = 0;
};

class SelfTestMonitor {
public:
    SelfTestMonitor(int nDriveIndex, int nAdapter, int nChannel, int nTarget);
    ~SelfTestMonitor();
    SelfTestMonitor(const SelfTestMonitor&) = delete;
    SelfTestMonitor& operator=(const SelfTestMonitor&) = delete;

    void SetData(int nDriveIndex, int nAdapter, int nChannel, int nTarget);
    // 1 short test, 2 extended test, 4 abort: 0 accepted, 1 refused by the drive, or the error
    // of the thread's creation.
    int SetOperation(int nOperation);
    // Follows this drive's new test from `nPerc` percent; 0 or the thread's creation error.
    int StartMonitor(int nPerc);
    int StopMonitor();

    // A copy of this drive's row taken under the monitor lock (a zero row when it has none).
    dst_info_t Info() const;

private:
    static void MonitorThread();
    static void Pass();
    // Gives every drive of the library's inventory up to `index` a row; rows that exist keep
    // their state.
    static void EnsureRows(int index);

    char m_nAdapter = 0;
    char m_nChannel = 0;
    char m_nTarget = 0;
    int m_nCurrentOp = 0;
    int m_nDriveIndex = 0;

    static std::vector<dst_info_t> m_pDrivesInfo;
    static int m_nDrivesInfo;
    static int m_nReferences;
    static std::thread m_sThreadId;
    static std::mutex m_sThreadLock;
    static std::condition_variable m_sThreadWake;   // ends a wait when the table is freed
    static bool m_fThreadStarted;
    static bool m_fThreadAlive;                     // the thread runs (until it clears this)
    static unsigned m_nTableGeneration;             // changes whenever the table is freed
};

// The one lock around every call into libqvdiskbus in this process: the library is not
// thread-safe, and the request, refresh and monitor threads all call it.
std::mutex& diskbusLock();
