#include "legacy_objects.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

#include "agent_frontend.h"
#include "atomic_file.h"
#include "registry.h"
#include "sandbox_path.h"

namespace {

constexpr char kAgentKey[] = "SYSTEM\\CurrentControlSet\\Services\\SNMP\\Parameters\\RFC1156Agent=";

std::string keyOf(const char* valueName) { return std::string(kAgentKey) + valueName; }

bool setText(SnmpValue* value, const std::string& text)
{
    return value->setValue(text.data(), static_cast<unsigned>(text.size()));
}

// A registry text of at most 254 characters, or `fallback` when it cannot be read.
std::string registryTextOr(const char* valueName, const char* fallback)
{
    char buffer[255] = {};
    if (GetRegData(keyOf(valueName).c_str(), buffer, sizeof buffer - 1) != 0) return fallback;
    return buffer;
}

// The text a SET carries, without the terminating NUL.
std::string textOf(const SnmpValue& value)
{
    std::string text = value.bytes();
    if (!text.empty() && text.back() == '\0') text.pop_back();
    return text;
}

bool getObjectId(int, SnmpValue* v, const SnmpOid&)
{
    return v->setValue(registryTextOr("sysObjectID", ".1.3.6.1.4.1.311.1.1.3.1.2").c_str(), 0);
}
bool getContact(int, SnmpValue* v, const SnmpOid&) { return setText(v, registryTextOr("sysContact", "<Undefined>")); }
bool getLocation(int, SnmpValue* v, const SnmpOid&) { return setText(v, registryTextOr("sysLocation", "<Undefined>")); }

bool storeText(const char* valueName, const SnmpValue& v)
{
    const std::string text = textOf(v);
    return SetRegData(keyOf(valueName).c_str(), text.data(), text.size()) == 0;
}
bool setContact(int, const SnmpValue& v, const SnmpOid&) { return storeText("sysContact", v); }
bool setLocation(int, const SnmpValue& v, const SnmpOid&) { return storeText("sysLocation", v); }

bool getServices(int, SnmpValue* v, const SnmpOid&)
{
    uint32_t services = 0;
    if (GetRegData(keyOf("sysServices").c_str(), &services, sizeof services) != 0) services = 76;
    return v->setValue(static_cast<int>(services));
}

bool currentHostName(std::string& name)
{
    char buffer[256] = {};
    if (gethostname(buffer, sizeof buffer - 1) != 0) return false;
    name = buffer;
    return true;
}

bool getName(int, SnmpValue* v, const SnmpOid&)
{
    std::string name;
    return currentHostName(name) && setText(v, name);
}

bool setName(int, const SnmpValue& v, const SnmpOid&)
{
    const std::string name = textOf(v);
    std::string current;
    if (currentHostName(current) && current == name) return true;
    return MySetHostName(name) == 0;
}

bool getZero(int, SnmpValue* v, const SnmpOid&) { return v->setValue(0); }

int interfaceCount(int, const SnmpOid&)
{
    std::ifstream in(qv::sandboxPath("/proc/net/dev"));
    int lines = 0;
    for (std::string line; std::getline(in, line);) ++lines;
    return lines > 2 ? lines - 2 : 0;
}

// The network file with every line naming HOSTNAME replaced, written through a temporary file
// that keeps the old file's mode.
bool rewriteNetworkFile(const std::string& name)
{
    const std::string path = qv::sandboxPath("/etc/sysconfig/network");
    std::ifstream in(path);
    struct stat st {};
    if (!in || stat(path.c_str(), &st) != 0) return false;
    std::string contents;
    for (std::string line; std::getline(in, line);)
        contents += line.find("HOSTNAME") != std::string::npos ? "HOSTNAME=\"" + name + "\"\n" : line + '\n';
    if (in.bad()) return false;

    return qv::replaceFileContents(path, contents, st.st_mode & 07777) == 0;
}

const SnmpObjectRow kObjects[] = {
    {SNMP_SCALAR, SNMP_OBJID, SNMP_READONLY, ".1.3.6.1.2.1.1.2.0", getObjectId, nullptr},
    {SNMP_SCALAR, SNMP_STRING, SNMP_READWRITE, ".1.3.6.1.2.1.1.4.0", getContact, setContact},
    {SNMP_SCALAR, SNMP_STRING, SNMP_READWRITE, ".1.3.6.1.2.1.1.5.0", getName, setName},
    {SNMP_SCALAR, SNMP_STRING, SNMP_READWRITE, ".1.3.6.1.2.1.1.6.0", getLocation, setLocation},
    {SNMP_SCALAR, SNMP_INTEGER, SNMP_READONLY, ".1.3.6.1.2.1.1.7.0", getServices, nullptr},
    {SNMP_TABULAR, SNMP_INTEGER, SNMP_READONLY, ".1.3.6.1.2.1.2.2.1.12.1", getZero, nullptr, interfaceCount, 1, 1},
    {SNMP_TABULAR, SNMP_INTEGER, SNMP_READONLY, ".1.3.6.1.2.1.2.2.1.13.1", getZero, nullptr, interfaceCount, 1, 1},
    {SNMP_TABULAR, SNMP_INTEGER, SNMP_READONLY, ".1.3.6.1.2.1.2.2.1.15.1", getZero, nullptr, interfaceCount, 1, 1},
    {SNMP_TABULAR, SNMP_INTEGER, SNMP_READONLY, ".1.3.6.1.2.1.2.2.1.18.1", getZero, nullptr, interfaceCount, 1, 1},
};

} // namespace

bool IsValidHostName(const std::string& name)
{
    if (name.empty()) return false;
    for (char c : name)
        if (!(c == '-' || c == '.' || c == '_' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
              (c >= 'a' && c <= 'z')))
            return false;
    return true;
}

int MySetHostName(const std::string& name)
{
    if (!IsValidHostName(name)) return -1;
    std::string previous;
    const bool havePrevious = currentHostName(previous);
    if (sethostname(name.data(), name.size()) != 0) return -1;
    if (!rewriteNetworkFile(name)) {
        if (havePrevious) sethostname(previous.data(), previous.size());
        return -1;
    }
    std::ofstream(qv::sandboxPath("/etc/HOSTNAME"), std::ios::trunc) << name << '\n';
    return 0;
}

bool loadLegacyObjects()
{
    return addObjectRows(objects, kObjects);
}
