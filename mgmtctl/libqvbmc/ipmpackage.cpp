#include "ipmpackage.h"

#include "fru.h"
#include "ipmbasecontroller.h"
#include "ipmcontroller.h"
#include "ipmsystem.h"
#include "sensor.h"

#include <algorithm>
#include <cstring>

namespace qv::bmc {

namespace {

constexpr size_t kNameBytes = 16;
constexpr UINT8 kMaxBody = 59;

template <class Layout>
void deriveShared(Sdr& sdr, Layout& r, int i)
{
    const UINT8 first = r.sensorRecordSharing & 0xFF, second = r.sensorRecordSharing >> 8;
    r.sensorNumber = static_cast<UINT8>(r.sensorNumber + i);
    if (second & 0x80) r.entityId = static_cast<UINT8>(r.entityId + i);
    const int n = i + (second & 0x7F);
    // Lengths above 16 come from damaged records: the name holds 16 characters at most.
    size_t length = std::min<size_t>(r.nameTypeLength & 0x1F, kNameBytes);
    const size_t pos = length < kNameBytes ? length : kNameBytes - 1;
    size_t grow = 0;
    if (first & 0x10) {
        if (n > 25) return;
        r.name[pos] = static_cast<UINT8>('A' + n);
    } else if (n < 10) {
        r.name[pos] = static_cast<UINT8>('0' + n);
    } else {
        const size_t at = std::min<size_t>(pos, kNameBytes - 2);
        r.name[at] = static_cast<UINT8>('0' + n / 10 % 10);
        r.name[at + 1] = static_cast<UINT8>('0' + n % 10);
        if (length <= kNameBytes - 2) ++grow;
    }
    if (length <= kNameBytes - 1) ++grow;
    length = std::min(length + grow, kNameBytes);
    r.nameTypeLength = static_cast<UINT8>((r.nameTypeLength & 0xE0) | length);
    sdr.recordLength = static_cast<UINT8>(std::min<int>(sdr.recordLength + grow, kMaxBody));
}

} // namespace

int shareCount(const Sdr& sdr)
{
    if (sdr.recordType != 2) return 1;
    UINT16 sharing = 0;
    if (isRecord10(sdr)) sharing = sdr.body.t10_02.sensorRecordSharing;
    else if (isRecord09(sdr)) sharing = sdr.body.t09_02.sensorRecordSharing;
    else return 1;
    const int count = sharing & 0x0F;
    return count > 1 ? count : 1;
}

Sdr sharedRecord(const Sdr& compact, int i)
{
    Sdr out = compact;
    if (isRecord10(out)) deriveShared(out, out.body.t10_02, i);
    else if (isRecord09(out)) deriveShared(out, out.body.t09_02, i);
    return out;
}

} // namespace qv::bmc

using namespace qv::bmc;

namespace {

constexpr UINT8 kBaseboardAddress = 0x20;
constexpr UINT8 kFruInventorySupport = 0x08;

bool isLocator09(const Sdr& s) { return isRecord09(s) && s.recordType == 0x10; }

UINT8 ownerOf(const Sdr& s)
{
    // Full and compact records of both versions begin with the owner id.
    return s.body.t10_01.sensorOwnerId;
}

} // namespace

CIPMController* CIPMPackage::probe(unsigned char bAddress, unsigned char bLun, int nUseGetDeviceId)
{
    auto* controller = new CIPMController(
        bAddress, bLun, static_cast<CIPMBaseController*>(m_pSystem->GetBaseController()),
        nUseGetDeviceId);
    if (controller->GetRealController()) return controller;
    delete controller;
    return nullptr;
}

CIPMPackage::CIPMPackage(unsigned char bAddress, unsigned char bLun, CIPMSystem* pSystem)
    : m_pSystem(pSystem)
{
    if (!m_pSystem) {
        m_pSystem = new CIPMSystem;
        m_nIsSystemMine = 1;
    }
    try {
        if (m_pSystem->GetSdrCount() == 0) m_pSystem->RebuildSdrRepository(0);
        if (m_pSystem->GetBaseController()) {
            m_pController = probe(bAddress, bLun, 0);
            for (int i = 0; !m_pController && i < m_pSystem->GetSdrCount(); ++i) {
                const Sdr& s = *m_pSystem->GetSdr(i);
                const bool locator =
                    (isRecord10(s) && s.recordType == 0x12 && s.body.t10_12.deviceSlaveAddress == bAddress) ||
                    (isLocator09(s) && s.body.t09_10.deviceLocation == 0 &&
                     s.body.t09_10.deviceSlaveAddress == bAddress);
                if (locator) {
                    m_pController = probe(bAddress, bLun, 1);
                    break;
                }
            }
        }
        RebuildSensorList();
        RebuildFruList();
    } catch (...) {
        deleteSensors();
        deleteFrus();
        delete m_pController;
        if (m_nIsSystemMine) delete m_pSystem;
        throw;
    }
}

CIPMPackage::~CIPMPackage()
{
    deleteSensors();
    deleteFrus();
    if (m_nIsSystemMine) delete m_pSystem;
    delete m_pController;
}

void CIPMPackage::deleteSensors()
{
    if (m_pSensorList)
        for (CSensor* s : *m_pSensorList) delete s;
    delete m_pSensorList;
    m_pSensorList = nullptr;
}

void CIPMPackage::deleteFrus()
{
    if (m_pFruList)
        for (CFru* f : *m_pFruList) delete f;
    delete m_pFruList;
    m_pFruList = nullptr;
}

void CIPMPackage::RebuildSensorList()
{
    deleteSensors();
    m_pSensorList = new std::vector<CSensor*>;
    if (!m_pSystem || !m_pController) return;
    const UINT8 address = m_pController->GetAddress();
    // 0.9 sensors first, then 1.0 sensors, each in cache order.
    for (const bool want09 : {true, false}) {
        for (int i = 0; i < m_pSystem->GetSdrCount(); ++i) {
            const Sdr& s = *m_pSystem->GetSdr(i);
            if ((want09 ? !isRecord09(s) : !isRecord10(s)) || (s.recordType != 1 && s.recordType != 2))
                continue;
            if ((ownerOf(s) & 1) || ownerOf(s) != address) continue;
            const int count = shareCount(s);
            for (int k = 0; k < count; ++k) {
                const Sdr record = count > 1 ? sharedRecord(s, k) : s;
                m_pSensorList->push_back(new CSensor(&record, m_pController));
            }
        }
    }
}

bool CIPMPackage::selectsFru(const Sdr& s)
{
    const UINT8 address = m_pController->GetAddress();
    const UINT8 support = m_pController->m_pDeviceId ? m_pController->m_pDeviceId->Ver10.ipmDeviceSupport : 0;
    if (isRecord10(s) && s.recordType == 0x11) {
        const auto& r = s.body.t10_11;
        const UINT8 access = r.deviceAccessAddress & 0xFE;
        // The logical-device flag sits in bit 7 of the access byte, where the reader looks too.
        if (r.accessIdBusLun & 0x80) return access == address;
        if ((r.deviceAccessAddress == 0 || r.deviceAccessAddress == 1) && address == kBaseboardAddress) return true;
        return (r.accessIdBusLun & 0x07) != 0 && access == address;
    }
    if (isRecord10(s) && s.recordType == 0x12)
        return s.body.t10_12.deviceSlaveAddress == address &&
               (s.body.t10_12.deviceCapabilities & kFruInventorySupport) && (support & kFruInventorySupport);
    if (isLocator09(s)) {
        const auto& r = s.body.t09_10;
        if (r.deviceLocation != 0)
            return (r.deviceSlaveAddress & 0xFE) == address ||
                   (r.deviceSlaveAddress == 1 && address == kBaseboardAddress);
        return r.deviceSlaveAddress == address && ((r.deviceType & 0x80) || (support & kFruInventorySupport));
    }
    return false;
}

void CIPMPackage::RebuildFruList()
{
    deleteFrus();
    m_pFruList = new std::vector<CFru*>;
    if (!m_pSystem || !m_pController) return;
    for (const bool want09 : {true, false})
        for (int i = 0; i < m_pSystem->GetSdrCount(); ++i) {
            const Sdr& s = *m_pSystem->GetSdr(i);
            if ((want09 ? isRecord09(s) : isRecord10(s)) && selectsFru(s))
                m_pFruList->push_back(new CFru(&s, m_pController));
        }
}

int CIPMPackage::GetSensorCount() { return m_pSensorList ? static_cast<int>(m_pSensorList->size()) : 0; }
int CIPMPackage::GetFruCount() { return m_pFruList ? static_cast<int>(m_pFruList->size()) : 0; }
CIPMControllerExport* CIPMPackage::GetController() { return m_pController; }

CSensorExport* CIPMPackage::GetSensor(int i)
{
    return i >= 0 && i < GetSensorCount() ? (*m_pSensorList)[static_cast<size_t>(i)] : nullptr;
}

CFruExport* CIPMPackage::GetFru(int i)
{
    return i >= 0 && i < GetFruCount() ? (*m_pFruList)[static_cast<size_t>(i)] : nullptr;
}
