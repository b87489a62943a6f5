#include "tattoo.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <syslog.h>
#include <thread>

#include "log_print.h"
#include "tattoo_protocol.h"

std::atomic<int> CTattoo::m_nAdapterCount{0};
std::vector<adapterInfo> CTattoo::m_pAdapters;
std::atomic<int> CTattoo::m_nDriveCount{0};
std::vector<DriveConfigInfo> CTattoo::m_pDrives;
std::unique_ptr<CTattoo::Monitors> CTattoo::m_pSelfTest;
std::atomic<int> CTattoo::m_nDriveRefresh{0};
std::atomic<int> CTattoo::m_nDriveRefreshStatus{0};
pthread_mutex_t CTattoo::m_sDriveLock = PTHREAD_MUTEX_INITIALIZER;
CTattoo* CTattoo::m_pThis = nullptr;
std::mutex CTattoo::m_sRefreshesLock;
std::condition_variable CTattoo::m_sRefreshesDone;
int CTattoo::m_nRefreshes = 0;

namespace {

// The inventory mutex; a failure to take or release it ends the process.
class DriveLock {
public:
    explicit DriveLock(pthread_mutex_t& m) : m_(m)
    {
        if (pthread_mutex_lock(&m_) != 0) LogPrint(LOG_CRIT, "pthread_mutex_lock() failed");
    }
    ~DriveLock()
    {
        if (pthread_mutex_unlock(&m_) != 0) LogPrint(LOG_CRIT, "pthread_mutex_unlock() failed");
    }
    DriveLock(const DriveLock&) = delete;
    DriveLock& operator=(const DriveLock&) = delete;

private:
    pthread_mutex_t& m_;
};

// A text field of the outside library's records may fill its array without a NUL.
template <size_t N>
const char* field(const char (&text)[N], int& length)
{
    length = static_cast<int>(strnlen(text, N));
    return text;
}

const char* vendorName(int id)
{
    static const char* const names[] = {"???", "Quantum", "Seagate", "IBM", "Fujitsu"};
    return id >= 0 && id < 5 ? names[id] : "Offline";
}

// Copies `length` bytes of text and a NUL into the caller's buffer of *pcbBuffer bytes (at
// most that many), then reports the text's length plus one.
bool putText(const char* text, int length, char* szBuffer, int* pcbBuffer)
{
    const int room = std::max(*pcbBuffer, 0);
    const int copied = std::min(length, room);
    std::memcpy(szBuffer, text, static_cast<size_t>(copied));
    if (copied < room) szBuffer[copied] = '\0';
    *pcbBuffer = length + 1;
    return true;
}

} // namespace

CTattoo::CTattoo()
{
    if (m_pThis) {
        std::fputs("This class must be instantiated only once!!!\n", stderr);
        std::exit(1);
    }
    m_pThis = this;
}

CTattoo::~CTattoo()
{
    {
        std::unique_lock<std::mutex> l(m_sRefreshesLock);
        m_sRefreshesDone.wait(l, [] { return m_nRefreshes == 0; });
    }
    DriveLock g(m_sDriveLock);
    m_pSelfTest.reset();
    m_pAdapters.clear();
    m_pDrives.clear();
    m_nAdapterCount = 0;
    m_nDriveCount = 0;
    m_nDriveRefresh = 0;
    m_nDriveRefreshStatus = 0;
    m_pThis = nullptr;
}

template <class F>
auto CTattoo::WithDrive(int index, F read) -> decltype(read(DriveConfigInfo{}))
{
    DriveLock g(m_sDriveLock);
    if (index < 0 || index >= m_nDriveCount) return decltype(read(DriveConfigInfo{})){};
    return read(m_pDrives[static_cast<size_t>(index)]);
}

template <class F>
auto CTattoo::WithMonitor(int index, F read) -> decltype(read(dst_info_t{}))
{
    DriveLock g(m_sDriveLock);
    if (index < 0 || index >= m_nDriveCount || !m_pSelfTest) return decltype(read(dst_info_t{})){};
    return read((*m_pSelfTest)[static_cast<size_t>(index)]->Info());
}

bool CTattoo::CopyDriveText(int index, const char* (*get)(const DriveConfigInfo&, int&), char* szBuffer,
                            int* pcbBuffer)
{
    DriveLock g(m_sDriveLock);
    if (index < 0 || index >= m_nDriveCount) return false;
    int length = 0;
    const char* text = get(m_pDrives[static_cast<size_t>(index)], length);
    return putText(text, length, szBuffer, pcbBuffer);
}

bool CTattoo::CopyAdapterText(int index, const char* (*get)(const adapterInfo&, int&), char* szBuffer,
                              int* pcbBuffer)
{
    DriveLock g(m_sDriveLock);
    if (index < 0 || index >= m_nAdapterCount) return false;
    int length = 0;
    const char* text = get(m_pAdapters[static_cast<size_t>(index)], length);
    return putText(text, length, szBuffer, pcbBuffer);
}

int CTattoo::GetAdapterCount() { return m_nAdapterCount; }

int CTattoo::GetAdapterPort(int index)
{
    DriveLock g(m_sDriveLock);
    return index >= 0 && index < m_nAdapterCount ? static_cast<int>(m_pAdapters[size_t(index)].nPort) : 0;
}

int CTattoo::GetAdapterClass(int index)
{
    DriveLock g(m_sDriveLock);
    return index >= 0 && index < m_nAdapterCount ? static_cast<int>(m_pAdapters[size_t(index)].nClass) : 0;
}

bool CTattoo::GetAdapterName(int index, char* b, int* n)
{
    return CopyAdapterText(index, [](const adapterInfo& a, int& l) { return field(a.pName, l); }, b, n);
}
bool CTattoo::GetAdapterMfg(int index, char* b, int* n)
{
    return CopyAdapterText(index, [](const adapterInfo& a, int& l) { return field(a.pMfg, l); }, b, n);
}
bool CTattoo::GetAdapterVersion(int index, char* b, int* n)
{
    return CopyAdapterText(index, [](const adapterInfo& a, int& l) { return field(a.pDriverVersion, l); }, b, n);
}

int CTattoo::GetDriveCount() { return m_nDriveCount; }
int CTattoo::GetDriveAdapter(int index)
{
    return WithDrive(index, [](const DriveConfigInfo& d) { return static_cast<int>(d.adapterID); });
}
int CTattoo::GetDriveChannel(int index)
{
    return WithDrive(index, [](const DriveConfigInfo& d) { return static_cast<int>(d.channelID); });
}
int CTattoo::GetDriveTargetId(int index)
{
    return WithDrive(index, [](const DriveConfigInfo& d) { return static_cast<int>(d.targetID); });
}
int CTattoo::GetDriveLetters(int) { return 0; }
int CTattoo::GetDriveRaidLevel(int index)
{
    return WithDrive(index, [](const DriveConfigInfo& d) { return static_cast<int>(d.bRaidLevel); });
}
int CTattoo::GetDriveWasLocated(int index)
{
    return WithDrive(index, [](const DriveConfigInfo& d) { return static_cast<int>(d.dwLocator); });
}

bool CTattoo::SetDriveWasLocated(int index)
{
    DriveLock g(m_sDriveLock);
    if (index < 0 || index >= m_nDriveCount) return false;
    m_pDrives[static_cast<size_t>(index)].dwLocator = 1;
    return true;
}

bool CTattoo::GetDriveVersion(int index, char* b, int* n)
{
    return CopyDriveText(index, [](const DriveConfigInfo& d, int& l) { return field(d.pProductRev, l); }, b, n);
}
bool CTattoo::GetDriveProductRevision(int index, char* b, int* n)
{
    return CopyDriveText(
        index,
        [](const DriveConfigInfo& d, int& l) {
            const char* name = vendorName(d.nVendorNameID);
            l = static_cast<int>(std::strlen(name));
            return name;
        },
        b, n);
}
bool CTattoo::GetDriveDateCode(int index, char* b, int* n)
{
    return CopyDriveText(index, [](const DriveConfigInfo& d, int& l) { return field(d.pDateCode, l); }, b, n);
}
bool CTattoo::GetDriveSerial(int index, char* b, int* n)
{
    return CopyDriveText(index, [](const DriveConfigInfo& d, int& l) { return field(d.pSerialNum, l); }, b, n);
}
bool CTattoo::GetDriveQVProductId(int index, char* b, int* n)
{
    return CopyDriveText(index, [](const DriveConfigInfo& d, int& l) { return field(d.pProductID, l); }, b, n);
}

int CTattoo::GetDriveRefresh() { return m_nDriveRefresh; }
int CTattoo::GetDriveRefreshStatus() { return m_nDriveRefreshStatus; }

bool CTattoo::SetDriveRefresh(int nValue, bool fSync)
{
    m_nDriveRefresh = nValue;
    m_nDriveRefreshStatus = kTattooBusy;
    if (fSync) {
        DriveRefreshThread();
        return true;
    }
    {
        std::lock_guard<std::mutex> g(m_sRefreshesLock);
        ++m_nRefreshes;
    }
    try {
        std::thread([] {
            DriveRefreshThread();
            std::lock_guard<std::mutex> g(m_sRefreshesLock);
            --m_nRefreshes;
            m_sRefreshesDone.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        // No thread: refresh here rather than leave the status busy for ever.
        {
            std::lock_guard<std::mutex> g(m_sRefreshesLock);
            --m_nRefreshes;
        }
        DriveRefreshThread();
    }
    return true;
}

void CTattoo::DriveRefreshThread()
{
    int drives = 0, adapters = 0;
    std::vector<adapterInfo> adapterTable;
    std::vector<DriveConfigInfo> driveTable;
    std::unique_ptr<Monitors> monitors;
    // A count is published only with a table that was filled.
    if (CountAdapterUnits(&drives, &adapters) == 0 && adapters > 0) {
        adapterTable.assign(static_cast<size_t>(adapters), adapterInfo{});
        if (GetAllAdapterInfo(adapterTable.data()) != 0) {
            adapterTable.clear();
        } else if (drives > 0) {
            driveTable.assign(static_cast<size_t>(drives), DriveConfigInfo{});
            if (GetAllDiskConfigInfo(driveTable.data(), drives) != 0) {
                driveTable.clear();
            } else {
                monitors = std::make_unique<Monitors>();
                for (int i = 0; i < drives; ++i) {
                    const DriveConfigInfo& d = driveTable[static_cast<size_t>(i)];
                    monitors->push_back(std::make_unique<SelfTestMonitor>(
                        i, static_cast<int>(d.adapterID), static_cast<int>(d.channelID),
                        static_cast<int>(d.targetID)));
                }
            }
        }
    }

    DriveLock g(m_sDriveLock);
    m_pAdapters = std::move(adapterTable);
    m_nAdapterCount = static_cast<int>(m_pAdapters.size());
    m_pDrives = std::move(driveTable);
    m_nDriveCount = static_cast<int>(m_pDrives.size());
    m_nDriveRefreshStatus = 0;
    if (m_pSelfTest && !m_pSelfTest->empty()) m_pSelfTest->front()->StopMonitor();
    m_pSelfTest = std::move(monitors);
}

int CTattoo::GetDriveDstAvail(int index)
{
    return WithMonitor(index, [](const dst_info_t& r) { return r.dst_is_avail ? 1 : 0; });
}
int CTattoo::GetDriveDstPercent(int index)
{
    return WithMonitor(index, [](const dst_info_t& r) { return r.dst_percent; });
}
int CTattoo::GetDriveDstStart(int index)
{
    return WithMonitor(index, [](const dst_info_t& r) { return r.dst_in_progress; });
}
int CTattoo::GetDriveDstResults(int index)
{
    return WithMonitor(index, [](const dst_info_t& r) { return r.dst_result; });
}
int CTattoo::GetDriveDstCompletionTime(int index)
{
    return WithMonitor(index, [](const dst_info_t& r) { return r.dst_completion_time; });
}

int CTattoo::SetDriveDstStart(int index, int operation)
{
    DriveLock g(m_sDriveLock);
    if (index < 0 || index >= m_nDriveCount || !m_pSelfTest) return 0;
    return (*m_pSelfTest)[static_cast<size_t>(index)]->SetOperation(operation);
}

bool CTattoo::TimeText(int index, bool start, char* szBuffer, int cbBuffer)
{
    if (cbBuffer <= 0) return false;
    std::memset(szBuffer, 0, static_cast<size_t>(cbBuffer));
    bool found = false;
    const time_t stored = WithMonitor(index, [&](const dst_info_t& r) {
        found = true;
        return start ? r.dst_start_time : r.dst_end_time;
    });
    if (!found) return false;
    char text[32] = "NA";
    if (stored != 0 && !ctime_r(&stored, text)) std::strcpy(text, "NA");
    std::strncpy(szBuffer, text, static_cast<size_t>(cbBuffer));
    szBuffer[cbBuffer - 1] = '\0';
    return true;
}

bool CTattoo::GetDriveDstStartTime(int index, char* b, int n) { return TimeText(index, true, b, n); }
bool CTattoo::GetDriveDstEndTime(int index, char* b, int n) { return TimeText(index, false, b, n); }
