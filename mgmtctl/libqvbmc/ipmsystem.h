// The root object: the baseboard controller, the packages found on the IPMB, and process-local
// copies of the SDR repository and the system event log.
#pragma once

#include "ipmobjectsexport.h"

#include <vector>

class CIPMBaseController;
class CIPMPackage;

class CIPMSystem : public CIPMSystemExport {
public:
    CIPMSystem();
    CIPMSystem(const CIPMSystem&) = delete;
    CIPMSystem& operator=(const CIPMSystem&) = delete;

    void Initialize() override;
    ErrorType RebuildPackageList() override;
    void RebuildSdrRepository(unsigned short wStartingRecordId) override;
    void RebuildSystemEventLog(unsigned short wStartingRecordId) override;
    void RefreshSdrRepository() override;
    void RefreshSystemEventLog() override;
    int GetPackageCount() override;
    int GetSdrCount() override;
    int GetSelEntryCount() override;
    CIPMBaseControllerExport* GetBaseController() override;
    CIPMPackageExport* GetPackage(int nIndex) override;
    Sdr* GetSdr(int nIndex) override;
    Sel* GetSelEntry(int nIndex) override;
    virtual ~CIPMSystem();
    virtual void DeletePackageList();
    virtual void DeleteSdrRepository();
    virtual void DeleteSystemEventLog();

private:
    void readSdrRecords(unsigned short id, unsigned count);
    unsigned short sdrNextId(unsigned short id);
    unsigned short selNextId(unsigned short id);

    CIPMBaseController* m_pBaseController = nullptr;
    std::vector<CIPMPackage*>* m_pPackageList = nullptr;
    std::vector<Sdr*>* m_pSdrRepository = nullptr;
    std::vector<Sel*>* m_pSystemEventLog = nullptr;
    UINT32 m_dwLastSdrRepositoryAddTime = 0;
    UINT32 m_dwLastSdrRepositoryEraseTime = 0;
    UINT32 m_dwLastSelAddTime = 0;
    UINT32 m_dwLastSelEraseTime = 0;
    UINT16 m_wLastSdrRecordId = 0;
    UINT16 m_wLastSelEntryRecordId = 0;
};
