// Error and traffic thresholds of the trap daemon, shared with the agent through one System V
// segment (a single NICParametersInfo record) and kept in the NIC settings file vknicagt.cfg.
//
// The settings file is loaded into the segment only by the first process that locks a freshly
// created segment (or on an explicit loadSettings()), so a running agent never overwrites values
// set meanwhile. In write-back mode (the agent) every successful setter writes the settings file
// under the same lock, and destruction writes it once more.
#pragma once

#include "shared_memory.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#pragma pack(push, 4)
struct NICParametersInfo {
    char _interface[128];
    int32_t _parm_sampling;
    int32_t _parm_processing;
    int32_t _tx_error_count;
    int32_t _tx_error_delta;
    float _tx_error_pct;
    int32_t _rx_error_count;
    int32_t _rx_error_delta;
    float _rx_error_pct;
    int32_t _utilization_count;
    int32_t _adapter_type;
};
#pragma pack(pop)
static_assert(sizeof(NICParametersInfo) == 168);
static_assert(sizeof(float) == 4);

class NICParameters {
public:
    explicit NICParameters(bool clear_mode);
    NICParameters(const NICParameters& other);
    NICParameters& operator=(const NICParameters& other);
    ~NICParameters();

    int getOperationStatus() const { return _error; }
    void setOperationStatus(int status) { _error = status; }
    unsigned getNICParametersCount() const { return static_cast<unsigned>(_data.size()); }
    std::string getInterfaceName(unsigned index);
    void getNICParametersInfo(unsigned index, NICParametersInfo& nic_parm);

    void updateInterfaces();
    void clearInterfaces();
    // Loads the settings file into the segment, under the lock; false when not locked.
    bool loadSettings();

    bool checkSHM();
    bool lock();
    bool unlock();

    int getSamplingThreshold();
    int getProcessingThreshold();
    int getTxErrorDeltaThreshold();
    int getRxErrorDeltaThreshold();
    float getTxErrorPctThreshold();
    float getRxErrorPctThreshold();
    unsigned getUtilizationCountThreshold();
    int getAdapterTypeThreshold();

    void setSamplingThreshold(int value);
    void setProcessingThreshold(int value);
    void setTxErrorCountThreshold(int value);
    void setTxErrorDeltaThreshold(int value);
    void setTxErrorPctThreshold(float value);
    void setRxErrorCountThreshold(int value);
    void setRxErrorDeltaThreshold(int value);
    void setRxErrorPctThreshold(float value);
    void setUtilizationCountThreshold(unsigned value);
    void setAdapterTypeThreshold(int value);

    // Reading a count threshold records every interface's current count as its delta baseline.
    int getTxErrorCountThreshold();
    int getRxErrorCountThreshold();

    int getTxErrorCount(unsigned index);
    int getRxErrorCount(unsigned index);
    int getTxErrorDelta(unsigned index);
    int getRxErrorDelta(unsigned index);
    float getTxErrorPct(unsigned index);
    float getRxErrorPct(unsigned index);
    unsigned getUtilizationCount(unsigned index);
    int getAdapterType(unsigned index);

    bool isTxErrorCountBeyondThreshold(unsigned index);
    bool isTxErrorDeltaBeyondThreshold(unsigned index);
    bool isTxErrorPctBeyondThreshold(unsigned index);
    bool isRxErrorCountBeyondThreshold(unsigned index);
    bool isRxErrorDeltaBeyondThreshold(unsigned index);
    bool isRxErrorPctBeyondThreshold(unsigned index);
    bool isUtilizationCountBeyondThreshold(unsigned index);
    bool isAdapterTypeBeyondThreshold(unsigned index);

    struct ErrorSide;

private:
    template <class T>
    T readSegment(T NICParametersInfo::*field);
    template <class T>
    void writeSegment(T NICParametersInfo::*field, T value);
    void loadSettingsLocked();
    void writeBackLocked();
    int errorCount(const ErrorSide& side, unsigned index);
    int countThreshold(const ErrorSide& side);
    int errorDelta(const ErrorSide& side, unsigned index);
    float errorPct(const ErrorSide& side, unsigned index);
    template <class T, class Read, class Holds>
    bool thresholdTest(Read readThreshold, Holds holds);
    bool countBeyond(const ErrorSide& side, unsigned index);
    bool deltaBeyond(const ErrorSide& side, unsigned index);
    bool pctBeyond(const ErrorSide& side, unsigned index);

    std::vector<NICParametersInfo> _data;
    int _error = 0;
    bool _clear;
    NICParametersInfo* _pnic_parm_info = nullptr;
    std::unique_ptr<SharedMemory> _nic_parm_shm;
    bool _segment_fresh = false;
};

namespace nic {
std::string settingsFilePath();
} // namespace nic
