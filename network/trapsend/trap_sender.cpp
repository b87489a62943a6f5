// Building and sending one trap per destination.
#include "trap_sender.h"
#include "trap_host.h"
#include "trap_sender_internal.h"

#include "sandbox_path.h"
#include "snmp_log.h"

#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace trapsend {
namespace {
TrapSenderProfile& mutableProfile()
{
    static TrapSenderProfile current;
    return current;
}
} // namespace

const TrapSenderProfile& profile() { return mutableProfile(); }

} // namespace trapsend

void setTrapSenderProfile(const TrapSenderProfile& profile)
{
    trapsend::mutableProfile() = profile;
}

unsigned uptime()
{
    double seconds = -1;
    std::ifstream in(qv::sandboxPath("/proc/uptime"));
    if (!(in && in >> seconds) || seconds < 0) {
        timespec now{};
        ::clock_gettime(CLOCK_BOOTTIME, &now);
        seconds = static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
    }
    const unsigned long long hundredths = static_cast<unsigned long long>(seconds * 100.0);
    return static_cast<unsigned>(hundredths & 0xFFFFFFFFULL);
}

char convert_asntype_to_char(int asnType)
{
    switch (asnType) {
    case ASN_TAG_INTEGER: case ASN_TAG_SEQUENCE: case ASN_TAG_COUNTER: case ASN_TAG_GAUGE:
        return 'i';
    case ASN_TAG_BIT_STRING: case ASN_TAG_OCTET_STRING:
        return 's';
    default:
        if (trapsend::profile().unknownTypeToStderr)
            std::fputs("convert_asntype_to_char(): Unknown ASN.1 type!\n", stderr);
        else
            log(LOG_WARNING, "convert_asntype_to_char(): Unknown ASN.1 type");
        std::exit(1);
    }
}

bool build_snmptrap_argv(const NotifyEntry& destination, const char* oid, const char* argOid,
                         int trapType, int specificType, int argCount, const CAttrValue* args,
                         std::vector<std::string>& argv)
{
    char hostName[256] = {};
    if (::gethostname(hostName, sizeof hostName - 1) != 0) {
        log(LOG_WARNING, "gethostname() failed (%d)", errno);
        return false;
    }
    argv = {"snmptrap", "-v", "1", "-c", destination.community, "--",
            trapsend::snmptrapAddress(destination.host, destination.port), oid ? oid : "", hostName,
            std::to_string(trapType), std::to_string(specificType), std::to_string(uptime())};
    for (int i = 0; args && i < argCount; ++i) {
        const CAttrValue& value = args[i];
        if (!value.getVal()) continue;
        const char letter = convert_asntype_to_char(value.asnType());
        argv.push_back(argOid ? argOid : "");
        argv.push_back(std::string(1, letter));
        if (letter == 'i') {
            argv.push_back(std::to_string(value.getInt32()));
        } else {
            const char* bytes = static_cast<const char*>(value.getVal());
            argv.push_back(std::string(bytes, static_cast<size_t>(value.getLen())));
        }
    }
    return true;
}

bool run_snmptrap(const char* port, const char* host, const char* community, const char* oid,
                  const char* argOid, int trapType, int specificType, int argCount,
                  const CAttrValue* args)
{
    const NotifyEntry destination{host ? host : "", community ? community : "",
                                  port ? port : ""};
    std::vector<std::string> argv;
    if (!build_snmptrap_argv(destination, oid, argOid, trapType, specificType, argCount, args,
                             argv))
        return false;
    const int status = trapsend::runCommand(qv::sandboxPath("/usr/bin/snmptrap"), argv,
                                            trapsend::profile().commandTimeoutMs);
    if (status != 0) {
        log(LOG_WARNING, "system() failed (%d)", status);
        return false;
    }
    return true;
}

void send_trap(const char* oid, const char* argOid, int trapType, int specificType, int argCount,
               const CAttrValue* args)
{
    notifyListInUse = 1;
    for (const NotifyEntry& entry : notifies) {
        if (!run_snmptrap(entry.port.c_str(), entry.host.c_str(), entry.community.c_str(), oid,
                          argOid, trapType, specificType, argCount, args) &&
            trapsend::profile().logFailedDestination)
            log(LOG_WARNING, "send_trap() failed: %s %s", entry.host.c_str(),
                entry.community.c_str());
    }
    notifyListInUse = 0;
    if (notifyListNeedUpdate) {
        notifyListNeedUpdate = 0;
        parse_trap_notification_file();
    }
}
