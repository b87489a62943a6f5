#include "nic_parameters.h"

#include "nic_counters.h"
#include "nic_interfaces.h"
#include "profile.h"
#include "sandbox_path.h"
#include "snmp_log.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace nic {
std::string settingsFilePath() { return qv::sandboxPath("/usr/qvserver/etc/vknicagt.cfg"); }
} // namespace nic

// The transmit and receive halves of the thresholds, so each rule is written once.
struct NICParameters::ErrorSide {
    int32_t NICParametersInfo::*count;
    int32_t NICParametersInfo::*delta;
    float NICParametersInfo::*pct;
    nic::CounterReader reader;
    const char* thresholdKey;
    const char* baselinePrefix;
};

namespace {

const NICParameters::ErrorSide kTx{&NICParametersInfo::_tx_error_count,
                                   &NICParametersInfo::_tx_error_delta,
                                   &NICParametersInfo::_tx_error_pct,
                                   nic::_getTxErrorCount,
                                   "TxError",
                                   "TxErrorCount/"};
const NICParameters::ErrorSide kRx{&NICParametersInfo::_rx_error_count,
                                   &NICParametersInfo::_rx_error_delta,
                                   &NICParametersInfo::_rx_error_pct,
                                   nic::_getRxErrorCount,
                                   "RxError",
                                   "RxErrorCount/"};

constexpr int kSegmentSize = sizeof(NICParametersInfo);

int readSettingInt(const char* section, const char* key, int fallback)
{
    return GetPrivateProfileInt(section, key, fallback, nic::settingsFilePath().c_str());
}

void writeSetting(const char* section, const std::string& key, const char* value)
{
    WritePrivateProfileString(section, key.c_str(), value, nic::settingsFilePath().c_str());
}

// "count delta pct"; fields the text does not hold keep their values.
void scanThreshold(const NICParameters::ErrorSide& side, NICParametersInfo& info)
{
    char text[256] = {};
    GetPrivateProfileString("Threshold", side.thresholdKey, "0 0 0.0", text, sizeof text,
                            nic::settingsFilePath().c_str());
    int count = info.*side.count;
    int delta = info.*side.delta;
    float pct = info.*side.pct;
    const int n = std::sscanf(text, "%d %d %f", &count, &delta, &pct);
    if (n >= 1) info.*side.count = count;
    if (n >= 2) info.*side.delta = delta;
    if (n >= 3) info.*side.pct = pct;
}

} // namespace

NICParameters::NICParameters(bool clear_mode) : _clear(clear_mode) { updateInterfaces(); }

NICParameters::NICParameters(const NICParameters& other)
    : _data(other._data), _error(other._error), _clear(other._clear),
      _nic_parm_shm(other._nic_parm_shm ? std::make_unique<SharedMemory>(*other._nic_parm_shm)
                                        : nullptr)
{
}

NICParameters& NICParameters::operator=(const NICParameters& other)
{
    if (this != &other) {
        _data = other._data;
        _error = other._error;
        _clear = other._clear;
        _nic_parm_shm = other._nic_parm_shm
                            ? std::make_unique<SharedMemory>(*other._nic_parm_shm)
                            : nullptr;
    }
    return *this;
}

NICParameters::~NICParameters()
{
    if (_clear) clearInterfaces();
}

void NICParameters::updateInterfaces()
{
    _error = 0;
    _pnic_parm_info = nullptr;
    _nic_parm_shm = std::make_unique<SharedMemory>(kSegmentSize, 0600);
    std::vector<std::string> names;
    if (!nic::readEthInterfaces(names)) {
        _error = -1;
        return;
    }
    for (const std::string& name : names) {
        NICParametersInfo info{};
        std::memcpy(info._interface, name.data(), std::min(name.size(), sizeof info._interface));
        _data.push_back(info);
    }
    if (lock() && _segment_fresh) loadSettingsLocked();
    unlock();
}

bool NICParameters::loadSettings()
{
    const bool locked = lock();
    if (locked) loadSettingsLocked();
    return unlock() && locked;
}

void NICParameters::loadSettingsLocked()
{
    NICParametersInfo& seg = *_pnic_parm_info;
    seg._parm_sampling = readSettingInt("PollTime", "TrapPollTime", 5);
    seg._parm_processing = readSettingInt("PollTime", "TrapProcTime", 1);
    scanThreshold(kTx, seg);
    scanThreshold(kRx, seg);
    seg._utilization_count = readSettingInt("Utilization", "UtilCount", 0);
}

void NICParameters::writeBackLocked()
{
    const NICParametersInfo& seg = *_pnic_parm_info;
    char text[80];
    std::snprintf(text, sizeof text, "%d", seg._parm_sampling);
    writeSetting("PollTime", "TrapPollTime", text);
    std::snprintf(text, sizeof text, "%d", seg._parm_processing);
    writeSetting("PollTime", "TrapProcTime", text);
    for (const ErrorSide* side : {&kTx, &kRx}) {
        std::snprintf(text, sizeof text, "%d %d %-1.2f", seg.*side->count, seg.*side->delta,
                      static_cast<double>(seg.*side->pct));
        writeSetting("Threshold", side->thresholdKey, text);
    }
    std::snprintf(text, sizeof text, "%d", seg._utilization_count);
    writeSetting("Utilization", "UtilCount", text);
}

void NICParameters::clearInterfaces()
{
    if (lock()) writeBackLocked();
    unlock();
    _nic_parm_shm.reset();
    _data.clear();
}

std::string NICParameters::getInterfaceName(unsigned index)
{
    _error = index < _data.size() ? 0 : -1;
    if (_error != 0) return "";
    const char* name = _data[index]._interface;
    return std::string(name, strnlen(name, sizeof _data[index]._interface));
}

void NICParameters::getNICParametersInfo(unsigned index, NICParametersInfo& nic_parm)
{
    nic_parm = NICParametersInfo{};
    _error = index < _data.size() ? 0 : -1;
    if (_error == 0) nic_parm = _data[index];
}

bool NICParameters::checkSHM()
{
    if (!_nic_parm_shm || _nic_parm_shm->getOperationStatus() == 0) return false;
    log(LOG_WARNING, "SHM mechanism failed (NICParameter::checkSHM()).\n");
    _nic_parm_shm->setOperationStatus(0);
    return true;
}

bool NICParameters::lock()
{
    _segment_fresh = false;
    if (!_nic_parm_shm) return false;
    if (!_nic_parm_shm->lock()) {
        checkSHM();
        return false;
    }
    // Only the first locker of a new segment sees it never attached.
    _segment_fresh = _nic_parm_shm->neverAttached();
    _nic_parm_shm->attach();
    if (_nic_parm_shm->getOperationStatus() != 0) {
        checkSHM();
        return false;
    }
    _pnic_parm_info = static_cast<NICParametersInfo*>(_nic_parm_shm->getBuffer());
    return true;
}

bool NICParameters::unlock()
{
    _pnic_parm_info = nullptr;
    if (!_nic_parm_shm) return false;
    _nic_parm_shm->detach();
    bool failed = checkSHM();
    _nic_parm_shm->unlock();
    failed = checkSHM() || failed;
    return !failed;
}

template <class T>
T NICParameters::readSegment(T NICParametersInfo::*field)
{
    T value{};
    const bool locked = lock();
    if (locked) value = _pnic_parm_info->*field;
    if (!unlock() || !locked) {
        _error = -1;
        return T{};
    }
    return value;
}

template <class T>
void NICParameters::writeSegment(T NICParametersInfo::*field, T value)
{
    const bool locked = lock();
    if (locked) {
        _pnic_parm_info->*field = value;
        if (_clear) writeBackLocked();
    }
    if (!unlock() || !locked) _error = -1;
}

int NICParameters::getSamplingThreshold() { return readSegment(&NICParametersInfo::_parm_sampling); }
int NICParameters::getProcessingThreshold()
{
    return readSegment(&NICParametersInfo::_parm_processing);
}
int NICParameters::getTxErrorDeltaThreshold() { return readSegment(kTx.delta); }
int NICParameters::getRxErrorDeltaThreshold() { return readSegment(kRx.delta); }
float NICParameters::getTxErrorPctThreshold() { return readSegment(kTx.pct); }
float NICParameters::getRxErrorPctThreshold() { return readSegment(kRx.pct); }
unsigned NICParameters::getUtilizationCountThreshold()
{
    return static_cast<unsigned>(readSegment(&NICParametersInfo::_utilization_count));
}
int NICParameters::getAdapterTypeThreshold()
{
    return readSegment(&NICParametersInfo::_adapter_type);
}

void NICParameters::setSamplingThreshold(int value)
{
    _error = 0;
    writeSegment(&NICParametersInfo::_parm_sampling, value);
}
void NICParameters::setProcessingThreshold(int value)
{
    _error = 0;
    writeSegment(&NICParametersInfo::_parm_processing, value);
}
void NICParameters::setTxErrorCountThreshold(int value) { writeSegment(kTx.count, value); }
void NICParameters::setTxErrorDeltaThreshold(int value) { writeSegment(kTx.delta, value); }
void NICParameters::setTxErrorPctThreshold(float value) { writeSegment(kTx.pct, value); }
void NICParameters::setRxErrorCountThreshold(int value) { writeSegment(kRx.count, value); }
void NICParameters::setRxErrorDeltaThreshold(int value) { writeSegment(kRx.delta, value); }
void NICParameters::setRxErrorPctThreshold(float value) { writeSegment(kRx.pct, value); }
void NICParameters::setUtilizationCountThreshold(unsigned value)
{
    writeSegment(&NICParametersInfo::_utilization_count, static_cast<int32_t>(value));
}
void NICParameters::setAdapterTypeThreshold(int value)
{
    writeSegment(&NICParametersInfo::_adapter_type, value);
}

int NICParameters::errorCount(const ErrorSide& side, unsigned index)
{
    _error = index < _data.size() ? 0 : -1;
    if (_error != 0) return -1;
    unsigned count = 0;
    _error = side.reader(getInterfaceName(index), count);
    if (_error != 0) return -1;
    _data[index].*side.count = static_cast<int32_t>(count);
    return static_cast<int>(count);
}

int NICParameters::countThreshold(const ErrorSide& side)
{
    int threshold = 0;
    const bool locked = lock();
    if (locked) {
        threshold = _pnic_parm_info->*side.count;
        for (const NICParametersInfo& row : _data) {
            const std::string name(row._interface, strnlen(row._interface, sizeof row._interface));
            unsigned count = 0;
            _error = side.reader(name, count);
            char text[80];
            std::snprintf(text, sizeof text, "%u", _error == 0 ? count : 0U);
            writeSetting("Utilization", side.baselinePrefix + name, text);
        }
    }
    if (!unlock() || !locked) {
        _error = -1;
        return 0;
    }
    return threshold;
}

int NICParameters::errorDelta(const ErrorSide& side, unsigned index)
{
    if (index >= _data.size()) {
        _error = -1;
        return 0;
    }
    const int baseline = readSettingInt("Utilization",
                                        (side.baselinePrefix + getInterfaceName(index)).c_str(), 0);
    const int count = errorCount(side, index);
    if (_error != 0) {
        _error = -1;
        return 0;
    }
    return static_cast<int>(static_cast<int64_t>(count) - baseline);
}

float NICParameters::errorPct(const ErrorSide& side, unsigned index)
{
    const int count = errorCount(side, index);
    const bool countFailed = _error != 0;
    const float threshold = static_cast<float>(countThreshold(side));
    if (threshold == 0.0f || countFailed) {
        _error = -1;
        return 0.0f;
    }
    return static_cast<float>(count) * 100.0f / threshold;
}

int NICParameters::getTxErrorCount(unsigned index) { return errorCount(kTx, index); }
int NICParameters::getRxErrorCount(unsigned index) { return errorCount(kRx, index); }
int NICParameters::getTxErrorCountThreshold() { return countThreshold(kTx); }
int NICParameters::getRxErrorCountThreshold() { return countThreshold(kRx); }
int NICParameters::getTxErrorDelta(unsigned index) { return errorDelta(kTx, index); }
int NICParameters::getRxErrorDelta(unsigned index) { return errorDelta(kRx, index); }
float NICParameters::getTxErrorPct(unsigned index) { return errorPct(kTx, index); }
float NICParameters::getRxErrorPct(unsigned index) { return errorPct(kRx, index); }

unsigned NICParameters::getUtilizationCount(unsigned index)
{
    if (index >= _data.size()) {
        _error = -1;
        return 0;
    }
    const std::string name = getInterfaceName(index);
    unsigned sent = 0;
    unsigned received = 0;
    if (nic::_getTotalTxPackets(name, sent) != 0 || nic::_getTotalRxPackets(name, received) != 0) {
        _error = -1;
        return 0;
    }
    return sent + received;
}

int NICParameters::getAdapterType(unsigned index)
{
    _error = index < _data.size() ? 0 : -1;
    return 0;
}

// A threshold test: enabled by a threshold above 0, beyond when `holds(threshold)`. Reports -1
// when any inner read failed, and is then never beyond.
template <class T, class Read, class Holds>
bool NICParameters::thresholdTest(Read readThreshold, Holds holds)
{
    _error = 0;
    const T threshold = readThreshold();
    bool failed = _error != 0;
    _error = 0;
    bool beyond = false;
    if (!failed && threshold > T{}) {
        beyond = holds(threshold);
        failed = _error != 0;
    }
    _error = failed ? -1 : 0;
    return beyond && !failed;
}

bool NICParameters::countBeyond(const ErrorSide& side, unsigned index)
{
    return thresholdTest<int>([&] { return countThreshold(side); },
                              [&](int) {
                                  const int count = errorCount(side, index);
                                  const bool failed = _error != 0;
                                  // Read again, as the check always did: baselines move twice.
                                  const bool beyond = count >= countThreshold(side);
                                  if (failed) _error = -1;
                                  return beyond;
                              });
}

bool NICParameters::deltaBeyond(const ErrorSide& side, unsigned index)
{
    return thresholdTest<int>([&] { return readSegment(side.delta); },
                              [&](int threshold) { return errorDelta(side, index) >= threshold; });
}

bool NICParameters::pctBeyond(const ErrorSide& side, unsigned index)
{
    return thresholdTest<float>([&] { return readSegment(side.pct); },
                                [&](float threshold) { return errorPct(side, index) >= threshold; });
}

bool NICParameters::isTxErrorCountBeyondThreshold(unsigned i) { return countBeyond(kTx, i); }
bool NICParameters::isTxErrorDeltaBeyondThreshold(unsigned i) { return deltaBeyond(kTx, i); }
bool NICParameters::isTxErrorPctBeyondThreshold(unsigned i) { return pctBeyond(kTx, i); }
bool NICParameters::isRxErrorCountBeyondThreshold(unsigned i) { return countBeyond(kRx, i); }
bool NICParameters::isRxErrorDeltaBeyondThreshold(unsigned i) { return deltaBeyond(kRx, i); }
bool NICParameters::isRxErrorPctBeyondThreshold(unsigned i) { return pctBeyond(kRx, i); }

bool NICParameters::isUtilizationCountBeyondThreshold(unsigned index)
{
    return thresholdTest<unsigned>([&] { return getUtilizationCountThreshold(); },
                                   [&](unsigned threshold) {
                                       return getUtilizationCount(index) >= threshold;
                                   });
}

bool NICParameters::isAdapterTypeBeyondThreshold(unsigned index)
{
    _error = 0;
    const int stored = getAdapterTypeThreshold();
    bool failed = _error != 0;
    const bool beyond = getAdapterType(index) != stored;
    failed = failed || _error != 0;
    _error = failed ? -1 : 0;
    return beyond && !failed;
}
