#include "trap_config_objects.h"

#include <fcntl.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "agent_frontend.h"
#include "agent_info.h"
#include "file_locker.h"
#include "sandbox_path.h"
#include "snmp_log.h"
#include "trap_host.h"
#include "trap_destination_file.h"

using namespace qv::inventory;

namespace {

bool setText(SnmpValue* value, const std::string& text)
{
    return value->setValue(text.data(), static_cast<unsigned>(text.size()));
}

bool getOne(int, SnmpValue* v, const SnmpOid&) { return v->setValue(1); }
bool getZero(int, SnmpValue* v, const SnmpOid&) { return v->setValue(0); }
bool getAgentName(int, SnmpValue* v, const SnmpOid&)
{
    return setText(v, "QV Velkarn Trap Configuration SNMP Agent");
}
bool getAgentVersion(int, SnmpValue* v, const SnmpOid&)
{
    return setText(v, readRegistryText("SOFTWARE\\Quorvane\\Trivoke=Version", 37));
}
bool getAgentDate(int, SnmpValue* v, const SnmpOid&)
{
    const auto date = programFileDate(qv::sandboxPath("/usr/qvserver/bin/qvalertcfgagent"), 7);
    return date && v->setValue(reinterpret_cast<const char*>(date->data()), 7);
}
// The two writable objects read as an empty text with its NUL.
bool getEmptyText(int, SnmpValue* v, const SnmpOid&) { return v->setValue("", 0); }
int oneRow(int, const SnmpOid&) { return 1; }

// The host as the manager sent it: the value's bytes without the terminating NUL.
std::string hostOf(const SnmpValue& value)
{
    std::string host = value.bytes();
    if (!host.empty() && host.back() == '\0') host.pop_back();
    return host;
}

bool changeDestinations(const SnmpValue& value, int (*change)(const std::string&), const char* what)
{
    const std::string host = hostOf(value);
    if (!trapsend::isTrapHost(host)) {
        log(LOG_WARNING, "Refused trap destination host name");
        return false;
    }
    try {
        FileLocker locker(qv::sandboxPath(kTrapDestinationFile), qv::sandboxPath(kTrapDestinationLock));
        locker.lock();
        if (change(host) != 0) throw Error(std::string(what) + " error");
        signalTrapDaemons();
        locker.unlock();
        return true;
    } catch (const Error& e) {
        log(LOG_WARNING, "%s", e.getErrorMessage().c_str());
        return false;
    }
}

bool setRemove(int, const SnmpValue& v, const SnmpOid&)
{
    return changeDestinations(v, removeHostEntry, "removeHostEntry()");
}
bool setAdd(int, const SnmpValue& v, const SnmpOid&)
{
    return changeDestinations(v, addHostEntry, "addHostEntry()");
}

const SnmpObjectRow kObjects[] = {
    {SNMP_SCALAR, SNMP_INTEGER, SNMP_READONLY, ".1.3.6.1.4.1.93071.2.23.13.1.1.0", getOne, nullptr},
    {SNMP_SCALAR, SNMP_INTEGER, SNMP_READONLY, ".1.3.6.1.4.1.93071.2.23.13.1.2.0", getZero, nullptr},
    {SNMP_TABULAR, SNMP_INTEGER, SNMP_READONLY, ".1.3.6.1.4.1.93071.2.23.13.2.1.1.1.0", getZero, nullptr, oneRow, 1},
    {SNMP_TABULAR, SNMP_STRING, SNMP_READONLY, ".1.3.6.1.4.1.93071.2.23.13.2.1.1.2.0", getAgentName, nullptr, oneRow, 1},
    {SNMP_TABULAR, SNMP_STRING, SNMP_READONLY, ".1.3.6.1.4.1.93071.2.23.13.2.1.1.3.0", getAgentVersion, nullptr, oneRow, 1},
    {SNMP_TABULAR, SNMP_OCTET_STRING, SNMP_READONLY, ".1.3.6.1.4.1.93071.2.23.13.2.1.1.4.0", getAgentDate, nullptr, oneRow, 1},
    {SNMP_SCALAR, SNMP_STRING, SNMP_READWRITE, ".1.3.6.1.4.1.93071.2.23.13.3.1.0", getEmptyText, setRemove},
    {SNMP_SCALAR, SNMP_STRING, SNMP_READWRITE, ".1.3.6.1.4.1.93071.2.23.13.3.2.0", getEmptyText, setAdd},
    {SNMP_SCALAR, SNMP_INTEGER, SNMP_READONLY, ".1.3.6.1.4.1.93071.2.23.13.3.3.0", getOne, nullptr},
};

} // namespace

void signalTrapDaemons()
{
    const std::string killall = qv::sandboxPath("/usr/bin/killall");
    const pid_t pid = fork();
    if (pid < 0) return;
    if (pid == 0) {
        const int devnull = open("/dev/null", O_RDWR);
        if (devnull >= 0) {
            dup2(devnull, STDIN_FILENO);
            dup2(devnull, STDOUT_FILENO);
            dup2(devnull, STDERR_FILENO);
        }
        char* const argv[] = {const_cast<char*>("killall"), const_cast<char*>("-HUP"),
                              const_cast<char*>("qveventalertd"), const_cast<char*>("qvlanalertd"),
                              nullptr};
        execv(killall.c_str(), argv);
        _exit(127);
    }
    waitpid(pid, nullptr, 0);
}

bool loadTrapConfigObjects()
{
    return addObjectRows(objects, kObjects);
}
