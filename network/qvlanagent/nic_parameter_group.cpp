// Group 7: the trap daemon's thresholds and periods in the shared NIC parameter segment, and the
// adapter-family parameters this platform has no use for (placeholders that accept any SET).
#include "nic_groups.h"
#include "nic_parameters.h"
#include "nic_row_collections.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <span>

namespace {

std::unique_ptr<NICParameters> parameters;
// Built like every other collection of the agent; no callback reads them.
std::unique_ptr<NICPelmoraParameters> pelmoraParameters;
std::unique_ptr<NICZorinParameters> zorinParameters;
std::unique_ptr<NICBusmasterParameters> busmasterParameters;
std::unique_ptr<NICQuilletParameters> quilletParameters;

// Accessors of one segment field, seen as int (the utilisation threshold is unsigned there).
struct IntParameter {
    int (*read)(NICParameters&);
    void (*write)(NICParameters&, int);
};
struct PctParameter {
    float (*read)(NICParameters&);
    void (*write)(NICParameters&, float);
};

#define NIC_PARAMETER(Type, Field)                                                          \
    Type                                                                                    \
    {                                                                                       \
        [](NICParameters& p) { return static_cast<decltype(Type::read(p))>(                \
                                   p.get##Field##Threshold()); },                           \
            [](NICParameters& p, decltype(Type::read(p)) v) { p.set##Field##Threshold(v); } \
    }

constexpr IntParameter kSampling = NIC_PARAMETER(IntParameter, Sampling);
constexpr IntParameter kProcessing = NIC_PARAMETER(IntParameter, Processing);
constexpr IntParameter kRxErrCount = NIC_PARAMETER(IntParameter, RxErrorCount);
constexpr IntParameter kRxErrDelta = NIC_PARAMETER(IntParameter, RxErrorDelta);
constexpr IntParameter kTxErrCount = NIC_PARAMETER(IntParameter, TxErrorCount);
constexpr IntParameter kTxErrDelta = NIC_PARAMETER(IntParameter, TxErrorDelta);
constexpr IntParameter kUtilizationCount = NIC_PARAMETER(IntParameter, UtilizationCount);
constexpr IntParameter kAdapterType = NIC_PARAMETER(IntParameter, AdapterType);
constexpr PctParameter kRxErrPct = NIC_PARAMETER(PctParameter, RxErrorPct);
constexpr PctParameter kTxErrPct = NIC_PARAMETER(PctParameter, TxErrorPct);

#undef NIC_PARAMETER

// Each access reports through the collection's status, so start every one from 0.
NICParameters& fresh()
{
    parameters->setOperationStatus(0);
    return *parameters;
}
bool succeeded() { return parameters->getOperationStatus() == 0; }

template <const IntParameter& P>
bool getInt(int index, SnmpValue* v, const SnmpOid&)
{
    if (index != 0) return false;
    const int value = P.read(fresh());
    return succeeded() && v->setValue(value);
}

template <const IntParameter& P>
bool setInt(int index, const SnmpValue& v, const SnmpOid&)
{
    if (index != 0) return false;
    P.write(fresh(), v.asInteger());
    return succeeded();
}

// A segment that cannot be read still answers, as 0.00.
template <const PctParameter& P>
bool getPct(int index, SnmpValue* v, const SnmpOid&)
{
    if (index != 0) return false;
    char text[128];
    std::snprintf(text, sizeof text, "%-1.2f", static_cast<double>(P.read(fresh())));
    return v->setValue(text, 0);
}

// The text's leading integer ("12.75" stores 12, a leading letter stores 0).
template <const PctParameter& P>
bool setPct(int index, const SnmpValue& v, const SnmpOid&)
{
    if (index != 0) return false;
    P.write(fresh(), static_cast<float>(std::strtol(v.asString(), nullptr, 10)));
    return succeeded();
}

bool getNicParmPlaceholder(int index, SnmpValue* v, const SnmpOid& oid)
{
    return index == 0 && getNicPlaceholder(index, v, oid);
}
bool setNicParmPlaceholder(int index, const SnmpValue&, const SnmpOid&) { return index == 0; }

enum class Kind { Real, CountDeltaPct, CountDelta };

struct ParameterEntry {
    const char* name;
    Kind kind;
    SNMP_TYPE type = SNMP_INTEGER;
    SNMP_GET_FUNC get = nullptr;
    SNMP_SET_FUNC set = nullptr;
};

constexpr Kind F3 = Kind::CountDeltaPct;
constexpr Kind F2 = Kind::CountDelta;

const ParameterEntry kGeneral[] = {
    {"Sampling", Kind::Real, SNMP_INTEGER, getInt<kSampling>, setInt<kSampling>},
    {"Processing", Kind::Real, SNMP_INTEGER, getInt<kProcessing>, setInt<kProcessing>},
    {"RxErrCount", Kind::Real, SNMP_INTEGER, getInt<kRxErrCount>, setInt<kRxErrCount>},
    {"RxErrDelta", Kind::Real, SNMP_INTEGER, getInt<kRxErrDelta>, setInt<kRxErrDelta>},
    {"RxErrPct", Kind::Real, SNMP_STRING, getPct<kRxErrPct>, setPct<kRxErrPct>},
    {"TxErrCount", Kind::Real, SNMP_INTEGER, getInt<kTxErrCount>, setInt<kTxErrCount>},
    {"TxErrDelta", Kind::Real, SNMP_INTEGER, getInt<kTxErrDelta>, setInt<kTxErrDelta>},
    {"TxErrPct", Kind::Real, SNMP_STRING, getPct<kTxErrPct>, setPct<kTxErrPct>},
    {"AdapterReset", F3}, {"Alignment", F3}, {"FrameTooLong", F3}, {"HWMismatch", F3},
    {"LateCollision", F3}, {"ExcessiveCollision", F3}, {"CarrierSense", F3}, {"Deferral", F3},
    {"NoECB", F3}, {"RxOverflow", F3},
    {"UtilizationCount", Kind::Real, SNMP_INTEGER, getInt<kUtilizationCount>,
     setInt<kUtilizationCount>},
    {"AdapterType", Kind::Real, SNMP_INTEGER, getInt<kAdapterType>, setInt<kAdapterType>},
    {"LineErr", F3}, {"LostFrames", F3}, {"BurstErr", F3}, {"ACErr", F3},
    {"AbortDelimiters", F3}, {"FrameCopiedErr", F3}, {"FrequencyErr", F3}, {"TokenErr", F3},
    {"InternalErr", F3},
    {"AftFailOverErr", F2}, {"AftRecoveryErr", F2}, {"AftStandByErr", F2},
    {"AftGroupFailErr", F2},
};
const ParameterEntry kPelmora[] = {
    {"TxFifo", F3}, {"TxTimeOut", F3}, {"RxFifo", F3}, {"RxFalseInterrupt", F3},
    {"RxPagingErr", F3},
};
const ParameterEntry kZorin[] = {
    {"TxFifo", F3}, {"TxTimeOut", F3}, {"RxFifo", F3}, {"RxFalseInterrupt", F3},
    {"RxPagingErr", F3}, {"DMATimeOut", F3},
};
const ParameterEntry kBusmaster[] = {
    {"TxNoResources", F3}, {"TxExcessiveFrags", F3}, {"RxLow", F3}, {"RxEmpty", F3},
};
const ParameterEntry kQuillet[] = {{"TxNoResources", F3}};

struct Branch {
    const char* oid;
    std::span<const ParameterEntry> entries;
};
const Branch kBranches[] = {
    {".7.1", kGeneral}, {".7.2", kPelmora}, {".7.3", kZorin}, {".7.4", kBusmaster},
    {".7.5", kQuillet},
};

} // namespace

void buildParameterGroup()
{
    parameters = std::make_unique<NICParameters>(true);
    pelmoraParameters = std::make_unique<NICPelmoraParameters>();
    zorinParameters = std::make_unique<NICZorinParameters>();
    busmasterParameters = std::make_unique<NICBusmasterParameters>();
    quilletParameters = std::make_unique<NICQuilletParameters>();
}

void releaseParameterGroup() { parameters.reset(); }

std::vector<NicScalar> parameterScalars()
{
    std::vector<NicScalar> scalars;
    for (const Branch& branch : kBranches) {
        int n = 0;
        auto add = [&](SNMP_TYPE type, SNMP_GET_FUNC get, SNMP_SET_FUNC set) {
            scalars.push_back({std::string(branch.oid) + "." + std::to_string(++n), type, get, set});
        };
        for (const ParameterEntry& e : branch.entries) {
            if (e.kind == Kind::Real) {
                add(e.type, e.get, e.set);
                continue;
            }
            add(SNMP_INTEGER, getNicParmPlaceholder, setNicParmPlaceholder);   // Count
            add(SNMP_INTEGER, getNicParmPlaceholder, setNicParmPlaceholder);   // Delta
            if (e.kind == Kind::CountDeltaPct)
                add(SNMP_STRING, getNicParmPlaceholder, setNicParmPlaceholder);
        }
    }
    return scalars;
}
