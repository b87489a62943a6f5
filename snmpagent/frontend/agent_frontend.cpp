#include "agent_frontend.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "agent_identification.h"
#include "log_sink.h"
#include "snmp_log.h"

SnmpObjects& objects = *new SnmpObjects;

namespace {

constexpr size_t kValueTextMax = 1023;

bool isSilent(ArgsVariant v)
{
    return v == ArgsVariant::SilentOneWord || v == ArgsVariant::SilentJoined;
}

// Argument errors: logged at the variant's level, or not at all by the silent variants.
void argError(const AgentConfig& config, const char* fmt, const char* arg = nullptr)
{
    if (isSilent(config.variant)) return;
    const int level = config.variant == ArgsVariant::WarningLevel ? LOG_WARNING : LOG_INFO;
    if (arg != nullptr) log(level, fmt, arg);
    else log(level, "%s", fmt);
}

// argv[first] ... joined by single blanks, at most 1023 characters.
std::string joinWords(int argc, char** argv, int first)
{
    std::string joined;
    for (int i = first; i < argc && joined.size() < kValueTextMax; ++i) {
        if (i > first) joined += ' ';
        joined += argv[i];
    }
    if (joined.size() > kValueTextMax) joined.resize(kValueTextMax);
    return joined;
}

bool argcShowsBanner(const AgentConfig& config, int argc)
{
    if (config.variant == ArgsVariant::SilentOneWord) return argc < 3 || argc > 5;
    return argc <= 2;
}

void printAnswer(SnmpObject& object)
{
    const SnmpValue& value = object.getValue();
    std::puts(object.getOid().asString());
    std::puts(value.typeAsString());
    if (value.getType() == SNMP_OCTET_STRING)
        std::puts(bin2asc(reinterpret_cast<const unsigned char*>(value.bytes().data()),
                          value.getLength()));
    else
        std::puts(value.asString());
}

int answer(const SnmpCommand& cmd, const SnmpOid& oid, const SnmpValue& value)
{
    SnmpObject* object = cmd == SNMP_GETNEXT ? objects.findNext(oid) : objects.find(oid);
    if (object == nullptr) {
        // snmpd takes anything but an error word as success, so a SET must name its failure.
        if (cmd == SNMP_SET) std::puts("no-creation");
        return 1;
    }
    if (cmd == SNMP_SET) {
        if (!object->setValue(value))
            std::puts(object->getError().empty() ? "wrong-value" : object->getError().c_str());
        return 0;
    }
    printAnswer(*object);
    return 0;
}

} // namespace

const char* bin2asc(const unsigned char* data, unsigned int len)
{
    static char buffer[4096];
    size_t used = 0;
    buffer[0] = '\0';
    for (unsigned i = 0; data != nullptr && i < len && used + 3 < sizeof buffer; ++i)
        used += static_cast<size_t>(
            std::snprintf(buffer + used, sizeof buffer - used, " %02X", data[i]));
    return buffer;
}

void printUsage(const AgentConfig& config)
{
    // The same lines in every agent; some agents lay them out with tabs, the others with blanks.
    const char* const body =
        config.bannerWhere ? config.bannerWhere
        : config.bannerTabs
            ? "Where:\n"
              "\t<cmd>:\tThe SNMP command\n"
              "\t\t-g:\tSNMP GET command\n"
              "\t\t-n:\tSNMP GETNEXT command\n"
              "\t\t-s:\tSNMP SET command (<type> and <value> must be supplied)\n"
              "\t<oid>:\tThe object identifier\n"
              "\t<type>:\tThe type of value (integer, counter, gauge, timeticks,\n"
              "\t\tipaddress, objid or string)\n"
              "\t<value>:\tThe new value\n"
            : "Where:\n"
              "           <cmd>:   The SNMP command\n"
              "                    -g: SNMP GET command\n"
              "                    -n: SNMP GETNEXT command\n"
              "                    -s: SNMP SET command (<type> and <value> must be supplied)\n"
              "           <oid>:   The object identifier\n"
              "           <type>:  The type of value (integer, counter, gauge, timeticks,\n"
              "                    ipaddress, objid or string)\n"
              "           <value>: The new value\n";
    std::fprintf(stderr, "%s\n\nUsage: %s <cmd> <oid> [ <type> <value> ]\n\n%s", config.title,
                 config.programName, body);
}

bool parseArgs(const AgentConfig& config, int argc, char** argv, SnmpCommand* cmd, SnmpOid* oid,
               SnmpValue* value)
{
    if (argcShowsBanner(config, argc)) {
        printUsage(config);
        return false;
    }
    if (!cmd->parse(argv[1])) {
        argError(config, "Unknown command: %s\n", argv[1]);
        return false;
    }
    if (!oid->parse(argv[2])) {
        argError(config, "Malformed oid: %s\n", argv[2]);
        return false;
    }
    if (!(*cmd == SNMP_SET)) {
        if (argc >= 4) {
            argError(config, "Too many arguments\n");
            return false;
        }
        return true;
    }
    const int minimum = config.variant == ArgsVariant::SilentJoined ? 4 : 5;
    if (argc < minimum) {
        argError(config, "Too few arguments\n");
        return false;
    }
    if (!value->parseType(argv[3])) {
        argError(config, "Unknown type: %s\n", argv[3]);
        return false;
    }
    const std::string text = config.variant == ArgsVariant::SilentOneWord
                                 ? joinWords(5, argv, 4)
                                 : joinWords(argc, argv, 4);
    if (!value->parseValue(text.c_str())) {
        if (config.logMalformedValue) argError(config, "Malformed value: %s\n", argv[4]);
        // A SET that reached us must never look like success to snmpd.
        std::puts("wrong-value");
        return false;
    }
    return true;
}

int runAgent(const AgentConfig& config, bool (*loadObjects)(), int argc, char** argv,
             const LookupGuard* guard)
{
    if (config.identify && !identifySupportedPlatform()) return 1;

    SnmpCommand cmd;
    SnmpOid oid("");
    SnmpValue value(SNMP_ACCESS_UNDEF, SNMP_TYPE_UNDEF);

    if (config.openLog && !isSilent(config.variant)) qv::logOpen(config.programName, LOG_USER);
    if (!loadObjects()) return 1;
    if (!parseArgs(config, argc, argv, &cmd, &oid, &value)) return 1;

    if (guard != nullptr && !guard->enter()) return 1;
    struct Leave {
        const LookupGuard* guard;
        ~Leave()
        {
            if (guard != nullptr) guard->leave();
        }
    } leave{guard};
    if (!config.catchAll) return answer(cmd, oid, value);
    try {
        return answer(cmd, oid, value);
    } catch (...) {
        const char* message = config.describeException ? config.describeException() : nullptr;
        log(LOG_INFO, "%s", message ? message : "An unknow exception was handled\n");
        return 1;
    }
}
