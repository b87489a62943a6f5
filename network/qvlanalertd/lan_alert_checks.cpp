// The cycle work: settings kept in step with the segment, and the threshold checks.
#include "lan_alert_daemon.h"

#include "nic_baselines.h"
#include "trap_sender.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

const char* const kEnterprise = ".1.3.6.1.4.1.93071.2.23";
constexpr int kTrapValue = 21;

// The error-count baselines as they stood when the pass began. Each count check records the
// counts anew, so a delta taken against the file would always be ~0 within the same pass.
struct PassBaselines {
    uint32_t tx = 0;
    uint32_t rx = 0;
};

struct ErrorSide {
    int specific;
    const char* baselinePrefix;
    uint32_t PassBaselines::*baseline;
    bool (NICParameters::*countBeyond)(unsigned);
    int (NICParameters::*countThreshold)();
    int (NICParameters::*count)(unsigned);
    int (NICParameters::*deltaThreshold)();
    bool (NICParameters::*pctBeyond)(unsigned);
    float (NICParameters::*pctThreshold)();
    float (NICParameters::*pct)(unsigned);
};

const ErrorSide kTx{16386, "TxErrorCount/", &PassBaselines::tx,
                    &NICParameters::isTxErrorCountBeyondThreshold,
                    &NICParameters::getTxErrorCountThreshold, &NICParameters::getTxErrorCount,
                    &NICParameters::getTxErrorDeltaThreshold,
                    &NICParameters::isTxErrorPctBeyondThreshold,
                    &NICParameters::getTxErrorPctThreshold, &NICParameters::getTxErrorPct};
const ErrorSide kRx{16385, "RxErrorCount/", &PassBaselines::rx,
                    &NICParameters::isRxErrorCountBeyondThreshold,
                    &NICParameters::getRxErrorCountThreshold, &NICParameters::getRxErrorCount,
                    &NICParameters::getRxErrorDeltaThreshold,
                    &NICParameters::isRxErrorPctBeyondThreshold,
                    &NICParameters::getRxErrorPctThreshold, &NICParameters::getRxErrorPct};
constexpr int kTrafficTrap = 16397;

// Sends one trap; false when SIGTERM ended the program first.
bool sendTrap(int specific, const char* text, int& status)
{
    // A re-read asked for during the pass takes effect before this trap.
    if (serviceSignals(status)) return false;
    std::string copy(text);
    CAttrValue values[2];
    values[0].setType(ASN_TAG_INTEGER);
    values[0].setInt32(kTrapValue);
    values[1].setType(ASN_TAG_OCTET_STRING);
    values[1].setStr(static_cast<int>(copy.size()), reinterpret_cast<unsigned char*>(copy.data()));
    send_trap(kEnterprise, kEnterprise, 6, specific, 2, values);
    return true;
}

// The delta against the pass's baseline, modulo 2^32; false when a value is not available.
bool deltaBeyond(NICParameters& p, const ErrorSide& side, unsigned row, uint32_t baseline,
                 int& delta, int& threshold)
{
    p.setOperationStatus(0);
    threshold = (p.*side.deltaThreshold)();
    if (p.getOperationStatus() != 0 || threshold <= 0) return false;
    const int count = (p.*side.count)(row);
    if (p.getOperationStatus() != 0) return false;
    delta = static_cast<int>(static_cast<uint32_t>(count) - baseline);
    return delta >= threshold;
}

bool checkSide(NICParameters& p, const ErrorSide& side, unsigned row,
               const PassBaselines& before, int& status)
{
    char text[256];
    if ((p.*side.countBeyond)(row)) {
        const int threshold = (p.*side.countThreshold)();
        const int count = (p.*side.count)(row);
        std::snprintf(text, sizeof text,
                      "Adapter %d current absolute value is %d when threshold is %d",
                      static_cast<int>(row), count, threshold);
        if (!sendTrap(side.specific, text, status)) return false;
    }
    int delta = 0;
    int threshold = 0;
    if (deltaBeyond(p, side, row, before.*side.baseline, delta, threshold)) {
        std::snprintf(text, sizeof text, "Adapter %d current delta value is %d when threshold is %d",
                      static_cast<int>(row), delta, threshold);
        if (!sendTrap(side.specific, text, status)) return false;
    }
    if ((p.*side.pctBeyond)(row)) {
        const double limit = (p.*side.pctThreshold)();
        const double pct = (p.*side.pct)(row);
        std::snprintf(text, sizeof text,
                      "Adapter %d current percentage is %-1.2f when threshold is %-1.2f",
                      static_cast<int>(row), pct, limit);
        if (!sendTrap(side.specific, text, status)) return false;
    }
    return true;
}

bool checkTraffic(NICParameters& p, unsigned row, int& status)
{
    if (!p.isUtilizationCountBeyondThreshold(row)) return true;
    const unsigned threshold = p.getUtilizationCountThreshold();
    const unsigned traffic = p.getUtilizationCount(row);
    char text[256];
    std::snprintf(text, sizeof text, "Adapter %d current alarm value is %d when threshold is %d",
                  static_cast<int>(row), static_cast<int>(traffic), static_cast<int>(threshold));
    return sendTrap(kTrafficTrap, text, status);
}

std::vector<PassBaselines> readPassBaselines(NICParameters& p)
{
    std::vector<PassBaselines> rows(p.getNICParametersCount());
    for (unsigned i = 0; i < rows.size(); ++i) {
        const std::string name = p.getInterfaceName(i);
        rows[i].tx = nicbaseline::read(kTx.baselinePrefix + name);
        rows[i].rx = nicbaseline::read(kRx.baselinePrefix + name);
    }
    return rows;
}

} // namespace

bool processingNICParametersGroup(int proc_rate, int proc_time, NICParameters& nic_parm,
                                  int& status)
{
    nic_parm.clearInterfaces();
    nic_parm.updateInterfaces();
    if (proc_time < proc_rate) return true;

    const std::vector<PassBaselines> before = readPassBaselines(nic_parm);
    for (unsigned i = 0; i < nic_parm.getNICParametersCount() && i < before.size(); ++i) {
        if (!checkSide(nic_parm, kTx, i, before[i], status) ||
            !checkSide(nic_parm, kRx, i, before[i], status) ||
            !checkTraffic(nic_parm, i, status))
            return false;
    }
    return true;
}
