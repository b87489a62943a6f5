// CTattoo: the asset-tag service's inventory of the outside disk library's adapters and drives,
// with one self-test monitor per drive, and one operation per request of the drive tag service
// protocol. One instance per process; every member is shared.
#pragma once

#include <qvdiskctl.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <pthread.h>
#include <vector>

#include "self_test_monitor.h"

class CTattoo {
public:
    CTattoo();   // a second instance ends the process
    ~CTattoo();  // waits for refreshes still running
    CTattoo(const CTattoo&) = delete;
    CTattoo& operator=(const CTattoo&) = delete;

    int GetAdapterCount();
    int GetAdapterPort(int index);
    bool GetAdapterName(int index, char* szBuffer, int* pcbBuffer);
    bool GetAdapterMfg(int index, char* szBuffer, int* pcbBuffer);
    bool GetAdapterVersion(int index, char* szBuffer, int* pcbBuffer);
    int GetAdapterClass(int index);

    int GetDriveCount();
    int GetDriveAdapter(int index);
    int GetDriveChannel(int index);
    int GetDriveTargetId(int index);
    bool GetDriveVersion(int index, char* szBuffer, int* pcbBuffer);
    bool GetDriveProductRevision(int index, char* szBuffer, int* pcbBuffer);   // vendor name
    bool GetDriveDateCode(int index, char* szBuffer, int* pcbBuffer);
    bool GetDriveSerial(int index, char* szBuffer, int* pcbBuffer);
    bool GetDriveQVProductId(int index, char* szBuffer, int* pcbBuffer);
    int GetDriveLetters(int index);
    int GetDriveRaidLevel(int index);
    int GetDriveWasLocated(int index);
    bool SetDriveWasLocated(int index);

    int GetDriveRefresh();
    bool SetDriveRefresh(int nValue, bool fSync);
    int GetDriveRefreshStatus();

    int GetDriveDstAvail(int index);
    int GetDriveDstPercent(int index);
    int GetDriveDstStart(int index);
    int SetDriveDstStart(int index, int operation);
    int GetDriveDstResults(int index);
    int GetDriveDstCompletionTime(int index);
    // The stored time as a ctime() text, or "NA"; the buffer is zeroed first and always ends in
    // a NUL. False for an index out of range.
    bool GetDriveDstStartTime(int index, char* szBuffer, int cbBuffer);
    bool GetDriveDstEndTime(int index, char* szBuffer, int cbBuffer);

private:
    using Monitors = std::vector<std::unique_ptr<SelfTestMonitor>>;
    static void DriveRefreshThread();
    template <class F> static auto WithDrive(int index, F read) -> decltype(read(DriveConfigInfo{}));
    template <class F> static auto WithMonitor(int index, F read) -> decltype(read(dst_info_t{}));
    static bool CopyDriveText(int index, const char* (*field)(const DriveConfigInfo&, int&), char* szBuffer,
                              int* pcbBuffer);
    static bool CopyAdapterText(int index, const char* (*field)(const adapterInfo&, int&), char* szBuffer,
                                int* pcbBuffer);
    static bool TimeText(int index, bool start, char* szBuffer, int cbBuffer);

    static std::atomic<int> m_nAdapterCount;
    static std::vector<adapterInfo> m_pAdapters;
    static std::atomic<int> m_nDriveCount;
    static std::vector<DriveConfigInfo> m_pDrives;
    static std::unique_ptr<Monitors> m_pSelfTest;
    static std::atomic<int> m_nDriveRefresh;
    static std::atomic<int> m_nDriveRefreshStatus;
    static pthread_mutex_t m_sDriveLock;
    static CTattoo* m_pThis;

    static std::mutex m_sRefreshesLock;   // counts refresh threads still running
    static std::condition_variable m_sRefreshesDone;
    static int m_nRefreshes;
};
