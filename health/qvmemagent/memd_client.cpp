#include "memd_client.h"

#include "sandbox_path.h"

namespace {

// Built before main (binding its socket) and closed at exit.
local_client oClient(kMemdSocketPath);
MemdRequest sCmd;

int ask(int32_t command, int module, int failureValue)
{
    sCmd = {command, module};
    int32_t reply = 0;
    return getValue(oClient, sCmd, reply) ? reply : failureValue;
}

} // namespace

// The socket logs nothing: with qvmemd away every column of a walk would leave a line, and each
// still answers its failure value.
local_client::local_client(const char* szServerPath) : m_oClient(szServerPath, /*logFailures=*/false)
{
    m_bAddressValid = qv::makeUnixAddress(qv::sandboxPath(szServerPath), m_sServerAddr);
}

bool local_client::Write(const char* data, int len)
{
    return m_bAddressValid &&
           m_oClient.Socket().Write(data, len, reinterpret_cast<const sockaddr*>(&m_sServerAddr),
                                    sizeof m_sServerAddr);
}

bool local_client::Read(char* buffer, int* len)
{
    if (*len <= 0 || !m_oClient.ReadReply(buffer, *len)) return false;
    return true;
}

int getSoftwareSeverityStatus(int module) { return ask(MEMD_SEVERITY, module, 0); }
int getSingleBitEventCounter(int module) { return ask(MEMD_SINGLE_BIT, module, 0); }
int getPredictiveEventCounter(int module) { return ask(MEMD_PREDICTIVE, module, 0); }
int getDoubleBitEventCounter(int module) { return ask(MEMD_DOUBLE_BIT, module, 0); }
int getMostSevereEventID(int module) { return ask(MEMD_MOST_SEVERE_EVENT, module, -1); }
int getOverallStatusSeverity(int module) { return ask(MEMD_OVERALL_SEVERITY, module, 1); }
