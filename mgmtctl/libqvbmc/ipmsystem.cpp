#include "ipmsystem.h"

#include "ipmbasecontroller.h"
#include "ipmexception.h"
#include "ipmpackage.h"
#include "qvbmc_semaphore.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

constexpr UINT16 kLastRecord = 0xFFFF;
constexpr UINT8 kSdrHeaderBytes = 5;
constexpr UINT8 kSdrPieceBytes = 16;
constexpr UINT8 kSdrBodyBytes = sizeof(Sdr::body);
constexpr UINT8 kBaseboardAddress = 0x20;
constexpr int kLastSlaveAddress = 238;

// The interprocess semaphore for one scope: released on every path, exceptions included.
class InterprocessLock {
public:
    InterprocessLock()
        : result_(AcquireSemaphore(const_cast<char*>(qv::bmc::kInterprocessSemaphore), &handle_,
                                   qv::bmc::kSemaphoreTimeoutMs))
    {
        if (result_) handle_ = nullptr;
    }
    ~InterprocessLock() { release(); }
    InterprocessLock(const InterprocessLock&) = delete;
    InterprocessLock& operator=(const InterprocessLock&) = delete;
    ErrorType acquired() const { return result_; }
    ErrorType release()
    {
        ErrorType r = handle_ ? ReleaseSemaphore(handle_) : 0;
        handle_ = nullptr;
        return r;
    }

private:
    void* handle_ = nullptr;
    ErrorType result_;
};

template <class T>
void deleteList(std::vector<T*>*& list)
{
    if (list)
        for (T* item : *list) delete item;
    delete list;
    list = nullptr;
}

template <class T>
T* entry(std::vector<T*>* list, int i)
{
    return list && i >= 0 && i < static_cast<int>(list->size()) ? (*list)[static_cast<size_t>(i)] : nullptr;
}

template <class T>
int countOf(std::vector<T*>* list)
{
    return list ? static_cast<int>(list->size()) : 0;
}

} // namespace

CIPMSystem::CIPMSystem()
{
    m_pBaseController = new CIPMBaseController(5, 500, 50, 3, 10);
    if (!m_pBaseController->GetRealBaseController()) {
        delete m_pBaseController;
        m_pBaseController = nullptr;
    }
}

CIPMSystem::~CIPMSystem()
{
    DeletePackageList();
    DeleteSdrRepository();
    DeleteSystemEventLog();
    delete m_pBaseController;
}

void CIPMSystem::DeletePackageList() { deleteList(m_pPackageList); }
void CIPMSystem::DeleteSdrRepository() { deleteList(m_pSdrRepository); }
void CIPMSystem::DeleteSystemEventLog() { deleteList(m_pSystemEventLog); }

void CIPMSystem::Initialize()
{
    if (!m_pSdrRepository) RebuildSdrRepository(0);
    if (!m_pSystemEventLog) RebuildSystemEventLog(0);
    if (!m_pPackageList) RebuildPackageList();
}

ErrorType CIPMSystem::RebuildPackageList()
{
    DeletePackageList();
    m_pPackageList = new std::vector<CIPMPackage*>;
    InterprocessLock lock;
    if (ErrorType e = lock.acquired()) {
        DeletePackageList();
        return e;
    }
    for (int address = 2; address <= kLastSlaveAddress; address += 2) {
        std::unique_ptr<CIPMPackage> package(
            new CIPMPackage(static_cast<unsigned char>(address), 0, this));
        if (!package->GetController()) continue;
        if (address == kBaseboardAddress)
            m_pPackageList->insert(m_pPackageList->begin(), package.release());
        else
            m_pPackageList->push_back(package.release());
    }
    return lock.release();
}

void CIPMSystem::RebuildSdrRepository(unsigned short wStartingRecordId)
{
    if (wStartingRecordId == 0) DeleteSdrRepository();
    if (!m_pBaseController) return;
    SdrrGetSdrRepositoryInfoResponse info;
    try {
        info = m_pBaseController->GetSdrRepositoryInfo();
    } catch (CIPMExceptionExport*) {
        return;
    }
    m_dwLastSdrRepositoryAddTime = info.Ver10.mostRecentAdditionTimestamp;
    m_dwLastSdrRepositoryEraseTime = info.Ver10.mostRecentEraseTimestamp;
    const unsigned count = info.Ver10.recordCount;
    if (count == 0) return;
    if (!m_pSdrRepository) m_pSdrRepository = new std::vector<Sdr*>;
    InterprocessLock lock;
    if (lock.acquired()) {
        DeleteSdrRepository();
        return;
    }
    try {
        readSdrRecords(wStartingRecordId, count);
    } catch (CIPMExceptionExport*) {
        DeleteSdrRepository();
        return;
    }
    if (!m_pSdrRepository->empty()) m_wLastSdrRecordId = m_pSdrRepository->back()->recordId;
}

// Each piece is read under a fresh reservation, so a change between pieces cancels the read.
void CIPMSystem::readSdrRecords(unsigned short id, unsigned count)
{
    for (unsigned read = 0; id != kLastRecord && read < count; ++read) {
        auto* sdr = new Sdr;
        memset(sdr, 0, sizeof *sdr);
        m_pSdrRepository->push_back(sdr);
        SdrrGetSdrRequest request{};
        request.bVersion = 10;
        request.Ver10.reservationId = m_pBaseController->ReserveSdrRepository().Ver10.reservationId;
        request.Ver10.recordId = id;
        request.Ver10.offset = 0;
        request.Ver10.bytes = kSdrHeaderBytes;
        SdrrGetSdrResponse header = m_pBaseController->GetSdr(request);
        const int headerBytes = std::clamp(header.bResponseLength - 3, 0, static_cast<int>(kSdrHeaderBytes));
        memcpy(sdr, header.Ver10.sdrData, static_cast<size_t>(headerBytes));
        id = header.Ver10.nextRecordId;
        // The cache entry holds 59 body bytes: a longer record is cut there.
        sdr->recordLength = std::min(sdr->recordLength, kSdrBodyBytes);
        for (UINT8 done = 0; done < sdr->recordLength;) {
            request.Ver10.reservationId = m_pBaseController->ReserveSdrRepository().Ver10.reservationId;
            request.Ver10.offset = static_cast<UINT8>(kSdrHeaderBytes + done);
            request.Ver10.bytes = std::min<UINT8>(kSdrPieceBytes, static_cast<UINT8>(sdr->recordLength - done));
            SdrrGetSdrResponse piece = m_pBaseController->GetSdr(request);
            const int bytes = std::min(piece.bResponseLength - 3, static_cast<int>(request.Ver10.bytes));
            if (bytes < 1) break;
            memcpy(reinterpret_cast<UINT8*>(&sdr->body) + done, piece.Ver10.sdrData, static_cast<size_t>(bytes));
            done = static_cast<UINT8>(done + bytes);
        }
    }
}

void CIPMSystem::RebuildSystemEventLog(unsigned short wStartingRecordId)
{
    if (wStartingRecordId == 0) DeleteSystemEventLog();
    if (!m_pBaseController) return;
    SelGetSelInfoResponse info;
    try {
        info = m_pBaseController->GetSelInfo();
    } catch (CIPMExceptionExport*) {
        return;
    }
    m_dwLastSelAddTime = info.Ver10.mostRecentAdditionTimestamp;
    m_dwLastSelEraseTime = info.Ver10.mostRecentEraseTimestamp;
    const unsigned count = info.Ver10.recordCount;
    if (count == 0) return;
    if (!m_pSystemEventLog) m_pSystemEventLog = new std::vector<Sel*>;
    try {
        unsigned short id = wStartingRecordId;
        for (unsigned read = 0; id != kLastRecord && read < count; ++read) {
            auto* sel = new Sel;
            memset(sel, 0, sizeof *sel);
            m_pSystemEventLog->push_back(sel);
            SelGetSelEntryRequest request{};
            request.bVersion = 10;
            request.Ver10.recordId = id;
            request.Ver10.bytes = sizeof(Sel);
            const SelGetSelEntryResponse answer = m_pBaseController->GetSelEntry(request);
            memcpy(sel, answer.Ver10.selData, sizeof *sel);
            id = answer.Ver10.nextRecordId;
        }
    } catch (CIPMExceptionExport*) {
        DeleteSystemEventLog();
        return;
    }
    if (!m_pSystemEventLog->empty()) m_wLastSelEntryRecordId = m_pSystemEventLog->back()->recordId;
}

unsigned short CIPMSystem::sdrNextId(unsigned short id)
{
    SdrrGetSdrRequest request{};
    request.bVersion = 10;
    request.Ver10.reservationId = m_pBaseController->ReserveSdrRepository().Ver10.reservationId;
    request.Ver10.recordId = id;
    request.Ver10.bytes = kSdrHeaderBytes;
    return m_pBaseController->GetSdr(request).Ver10.nextRecordId;
}

unsigned short CIPMSystem::selNextId(unsigned short id)
{
    SelGetSelEntryRequest request{};
    request.bVersion = 10;
    request.Ver10.recordId = id;
    request.Ver10.bytes = sizeof(Sel);
    return m_pBaseController->GetSelEntry(request).Ver10.nextRecordId;
}

// A record added in the same second as the last look leaves the timestamp unchanged, so the
// record count is compared as well.
void CIPMSystem::RefreshSdrRepository()
{
    if (!m_pSdrRepository) return RebuildSdrRepository(0);
    if (!m_pBaseController) return;
    try {
        const SdrrGetSdrRepositoryInfoResponse info = m_pBaseController->GetSdrRepositoryInfo();
        if (info.Ver10.mostRecentEraseTimestamp > m_dwLastSdrRepositoryEraseTime ||
            info.Ver10.recordCount < m_pSdrRepository->size())
            return RebuildSdrRepository(0);
        if (info.Ver10.mostRecentAdditionTimestamp <= m_dwLastSdrRepositoryAddTime &&
            info.Ver10.recordCount == m_pSdrRepository->size())
            return;
        unsigned short next = 0;
        {
            InterprocessLock lock;
            if (lock.acquired()) return;
            next = sdrNextId(m_wLastSdrRecordId);
        }
        if (next == kLastRecord) {
            m_dwLastSdrRepositoryAddTime = info.Ver10.mostRecentAdditionTimestamp;
            return;
        }
        RebuildSdrRepository(next);
    } catch (CIPMExceptionExport*) {
    }
}

void CIPMSystem::RefreshSystemEventLog()
{
    if (!m_pSystemEventLog) return RebuildSystemEventLog(0);
    if (!m_pBaseController) return;
    try {
        const SelGetSelInfoResponse info = m_pBaseController->GetSelInfo();
        if (info.Ver10.mostRecentEraseTimestamp > m_dwLastSelEraseTime ||
            info.Ver10.recordCount < m_pSystemEventLog->size())
            return RebuildSystemEventLog(0);
        if (info.Ver10.mostRecentAdditionTimestamp <= m_dwLastSelAddTime &&
            info.Ver10.recordCount == m_pSystemEventLog->size())
            return;
        const unsigned short next = selNextId(m_wLastSelEntryRecordId);
        if (next == kLastRecord) {
            m_dwLastSelAddTime = info.Ver10.mostRecentAdditionTimestamp;
            return;
        }
        RebuildSystemEventLog(next);
    } catch (CIPMExceptionExport*) {
    }
}

int CIPMSystem::GetPackageCount() { return countOf(m_pPackageList); }
int CIPMSystem::GetSdrCount() { return countOf(m_pSdrRepository); }
int CIPMSystem::GetSelEntryCount() { return countOf(m_pSystemEventLog); }
CIPMBaseControllerExport* CIPMSystem::GetBaseController() { return m_pBaseController; }

CIPMPackageExport* CIPMSystem::GetPackage(int i)
{
    return entry(m_pPackageList, i);
}

Sdr* CIPMSystem::GetSdr(int i) { return entry(m_pSdrRepository, i); }
Sel* CIPMSystem::GetSelEntry(int i) { return entry(m_pSystemEventLog, i); }
