// One management controller on the IPMB with the sensors and FRU devices the system's SDR
// repository assigns to it.
#pragma once

#include "ipmobjectsexport.h"

#include <vector>

class CIPMSystem;
class CIPMController;
class CSensor;
class CFru;

namespace qv::bmc {
// The record of shared instance i of a compact record (the name never grows past 16 characters).
Sdr sharedRecord(const Sdr& compact, int i);
// Share count of a compact record (1 for any other).
int shareCount(const Sdr& sdr);
} // namespace qv::bmc

class CIPMPackage : public CIPMPackageExport {
public:
    CIPMPackage(unsigned char bAddress, unsigned char bLun, CIPMSystem* pSystem);
    CIPMPackage(const CIPMPackage&) = delete;
    CIPMPackage& operator=(const CIPMPackage&) = delete;

    void RebuildSensorList() override;
    void RebuildFruList() override;
    int GetSensorCount() override;
    int GetFruCount() override;
    CIPMControllerExport* GetController() override;
    CSensorExport* GetSensor(int nIndex) override;
    CFruExport* GetFru(int nIndex) override;
    virtual ~CIPMPackage();

private:
    void deleteSensors();
    void deleteFrus();
    bool selectsFru(const Sdr& sdr);
    CIPMController* probe(unsigned char bAddress, unsigned char bLun, int nUseGetDeviceId);

    CIPMSystem* m_pSystem = nullptr;
    int m_nIsSystemMine = 0;
    CIPMController* m_pController = nullptr;
    std::vector<CSensor*>* m_pSensorList = nullptr;
    std::vector<CFru*>* m_pFruList = nullptr;
};
