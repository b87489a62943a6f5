#include "trap_translate.h"

#include "log_print.h"
#include "obj_id.h"
#include "profile.h"
#include "sandbox_path.h"

#include <syslog.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr char kEnterprise[] = "1.3.6.1.4.1.93071.2.23";
constexpr char kForeignTrap[] = "1.3.6.1.4.1.32.1.0";
constexpr char kNotAvailable[] = "Not available";
constexpr int kPiecesMax = 16;
constexpr size_t kNumberDigitsMax = 7;   // numbers in a reference fit an 8-byte buffer

// ASN.1 and SNMP value types a binding may carry.
enum : unsigned char {
    kInteger = 0x02, kOctetString = 0x04, kObjectId = 0x06, kIpAddress = 0x40, kCounter32 = 0x41,
    kGauge32 = 0x42, kTimeTicks = 0x43, kOpaque = 0x44, kCounter64 = 0x46, kUnsigned32 = 0x47,
};

std::string sectionFile() { return qv::sandboxPath(kTrapSectionFile); }

// Appends to a bounded buffer: at most len - 1 characters in all, always terminated.
void appendBounded(char* buf, unsigned len, const char* text, size_t n)
{
    const size_t used = std::strlen(buf);
    if (used + 1 >= len) return;
    const size_t room = len - 1 - used;
    std::memcpy(buf + used, text, std::min(n, room));
    buf[used + std::min(n, room)] = '\0';
}

void appendText(char* buf, unsigned len, const std::string& text) { appendBounded(buf, len, text.data(), text.size()); }

std::string withoutBlanks(const std::string& text)
{
    std::string out;
    for (char c : text)
        if (c != ' ' && c != '\t') out += c;
    return out;
}

std::vector<std::string> pieces(const std::string& text)
{
    std::vector<std::string> out;
    size_t start = 0;
    while (true) {
        const size_t comma = text.find(',', start);
        out.push_back(withoutBlanks(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start)));
        if (comma == std::string::npos) return out;
        start = comma + 1;
    }
}

// A decimal number of at most seven digits.
bool readNumber(const std::string& digits, int& value)
{
    if (digits.empty() || digits.size() > kNumberDigitsMax) return false;
    for (char c : digits)
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    value = std::atoi(digits.c_str());
    return true;
}

bool GetVarbindInfo(const std::string& piece, _vbInfo& info)
{
    if (piece.empty() || (piece[0] != 'v' && piece[0] != 'V')) return false;
    const size_t colon = piece.find(':');
    if (!readNumber(piece.substr(1, colon == std::string::npos ? std::string::npos : colon - 1), info.vbno))
        return false;
    info.noOfBits = 8;
    return colon == std::string::npos || readNumber(piece.substr(colon + 1), info.noOfBits);
}

bool ParseSELEventData(netsnmp_pdu* pdu, const char* text, uint8_t& value)
{
    value = 0;
    const std::vector<std::string> list = pieces(text);
    if (list.size() > kPiecesMax) return false;
    std::vector<_vbInfo> infos;
    int bits = 0;
    for (const std::string& piece : list) {
        _vbInfo info{};
        if (!GetVarbindInfo(piece, info)) return false;
        bits += info.noOfBits;
        infos.push_back(info);
    }
    if (bits > 8) return false;
    unsigned long long sum = 0;
    int used = 0;
    for (const _vbInfo& info : infos) {
        char name[128], valueText[128];
        if (!SnmpGetVb(pdu, info.vbno + 2, name, sizeof name, valueText, sizeof valueText)) return false;
        used += info.noOfBits;
        // Values are not masked to their bit counts; only the byte they land in is kept.
        sum |= static_cast<unsigned long long>(std::strtoul(valueText, nullptr, 10) & 0xFFFFFFFFu) << (8 - used);
    }
    value = static_cast<uint8_t>(sum);
    return true;
}

// One byte of the record from a plain numeric key; 255 means missing or refused.
bool readByteKey(const char* section, const char* key, uint8_t& byte)
{
    byte = static_cast<uint8_t>(GetPrivateProfileInt(section, key, 255, sectionFile().c_str()));
    return byte != 255;
}

bool readEventData(netsnmp_pdu* pdu, const char* section, const char* key, uint8_t& byte)
{
    char text[kTrapTextMax + 1];
    GetPrivateProfileString(section, key, kNotAvailable, text, sizeof text, sectionFile().c_str());
    if (std::strcmp(text, kNotAvailable) == 0) return false;
    if (std::strpbrk(text, "vV")) return ParseSELEventData(pdu, text, byte);
    byte = static_cast<uint8_t>(GetPrivateProfileInt(section, key, 0, sectionFile().c_str()));
    return byte != 0;
}

// The "!"-joined values of the bindings the key names; false when the key is missing.
bool GetSELAddInfo(netsnmp_pdu* pdu, const char* section, char* info)
{
    char text[kTrapTextMax + 1];
    GetPrivateProfileString(section, "AdditionalInfo", kNotAvailable, text, sizeof text, sectionFile().c_str());
    if (std::strcmp(text, kNotAvailable) == 0) return false;
    const std::vector<std::string> list = pieces(text);
    for (size_t i = 0; i < list.size(); ++i) {
        int n = 0;
        if (list[i].size() < 2 || (list[i][0] != 'v' && list[i][0] != 'V') || !readNumber(list[i].substr(1), n)) continue;
        char value[kTrapTextMax + 1];
        if (!SnmpGetVb(pdu, n, nullptr, 0, value, sizeof value)) continue;
        appendText(info, kTrapTextMax + 1, value);
        if (i + 1 < list.size()) appendText(info, kTrapTextMax + 1, "!");
    }
    return true;
}

struct KeyCheck {
    const char* key;
    uint8_t Sel::*field;
    const char* refusal;
};

} // namespace

netsnmp_variable_list* GetVar(netsnmp_pdu* pdu, int n)
{
    netsnmp_variable_list* v = pdu ? pdu->variables : nullptr;
    for (int i = 1; v && i < n; ++i) v = v->next_variable;
    return n >= 1 ? v : nullptr;
}

int SnmpCountVbl(netsnmp_pdu* pdu)
{
    int count = 0;
    for (netsnmp_variable_list* v = pdu ? pdu->variables : nullptr; v; v = v->next_variable) ++count;
    return count;
}

bool SnmpGetVb(netsnmp_pdu* pdu, int n, char* nameBuf, unsigned nameLen, char* valueBuf, unsigned valueLen)
{
    netsnmp_variable_list* v = GetVar(pdu, n);
    if (!v) return false;
    if (nameBuf && nameLen > 0) {
        std::memset(nameBuf, 0, nameLen);
        std::string name;
        for (size_t i = 0; i < v->name_length; ++i) name += std::to_string(v->name[i]) + ".";
        if (!name.empty()) name.pop_back();
        appendText(nameBuf, nameLen, name);
    }
    if (!valueBuf || valueLen == 0) return true;
    std::memset(valueBuf, 0, valueLen);
    std::string text;
    switch (v->type) {
    case kInteger:
    case kCounter32:
    case kGauge32:
    case kTimeTicks:
    case kUnsigned32:
        if (v->val.integer) text = std::to_string(static_cast<long>(*v->val.integer));
        break;
    case kCounter64:
        if (v->val.counter64) text = std::to_string(static_cast<long>(v->val.counter64->high));
        break;
    case kOctetString:
    case kOpaque:
        if (v->val.string) text.assign(reinterpret_cast<const char*>(v->val.string), v->val_len);
        break;
    case kObjectId:
        for (size_t i = 0; v->val.objid && i < v->val_len / sizeof(oid); ++i)
            text += (i ? "." : "") + std::to_string(v->val.objid[i]);
        break;
    case kIpAddress:
        if (v->val.string && v->val_len >= 4) {
            char ip[16];
            std::snprintf(ip, sizeof ip, "%d.%d.%d.%d", v->val.string[0], v->val.string[1], v->val.string[2],
                          v->val.string[3]);
            text = ip;
        }
        break;
    default:
        LogPrint(LOG_DAEMON | LOG_WARNING, "SnmpGetVb: Unknown type (%d)", v->type);
        return false;
    }
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    appendText(valueBuf, valueLen, text);
    return true;
}

bool GetVbTrapOid(netsnmp_pdu* pdu, char* buf, unsigned len)
{
    const int count = SnmpCountVbl(pdu);
    return count > 0 && SnmpGetVb(pdu, count, buf, len, nullptr, 0);
}

bool GetVbTrapType(netsnmp_pdu* pdu, unsigned long* number)
{
    char value[128];
    if (!SnmpGetVb(pdu, 2, nullptr, 0, value, sizeof value)) return false;
    const char* dot = std::strrchr(value, '.');
    if (!dot || !std::isdigit(static_cast<unsigned char>(dot[1]))) return false;
    *number = std::strtoul(dot + 1, nullptr, 10);
    return true;
}

int ConvertTVKTrapId(CObjId& trapId, int trapNumber)
{
    CObjId enterprise, foreign;
    enterprise.fromStr(kEnterprise);
    foreign.fromStr(kForeignTrap);
    if (!(trapId == enterprise) && ((enterprise ^ trapId) || trapId == foreign)) trapId = enterprise;
    trapId.append(static_cast<unsigned long>(trapNumber));
    return 0;
}

bool ProcessTrap(_TData* data, netsnmp_pdu* pdu, void*)
{
    char oidText[128];
    unsigned long number = 0;
    // A trap without the bindings that name it cannot be looked up: it is dropped.
    if (!GetVbTrapOid(pdu, oidText, sizeof oidText) || !GetVbTrapType(pdu, &number)) return false;
    CObjId trapId;
    trapId.fromStr(oidText);
    ConvertTVKTrapId(trapId, static_cast<int>(number));
    std::memset(data, 0, sizeof *data);
    trapId.genStr();
    const std::string section = trapId.str();
    const char* s = section.c_str();

    Sel& r = data->SELdata;
    if (!readByteKey(s, "RecordType", r.recordType)) return false;
    static const KeyCheck kKeys[] = {
        {"SELVersion", &Sel::eventVersion, "Bad SEL Version, TRAP NOT ACCEPTED! trap=%s"},
        {"GeneratorID", &Sel::generatorId, "Bad Generator Id, TRAP NOT ACCEPTED! trap=%s"},
        {"GeneratorLun", &Sel::generatorLun, "Bad Generator Lun, TRAP NOT ACCEPTED! trap=%s"},
        {"SensorType", &Sel::sensorType, "Bad Sensor Type, TRAP NOT ACCEPTED! trap=%s"},
        {"SensorNumber", &Sel::sensorNumber, "Bad Sensor Number, TRAP NOT ACCEPTED! trap=%s"},
        {"EventTrigger", &Sel::eventTrigger, "Bad Event Trigger, TRAP NOT ACCEPTED! trap=%s"},
        {"EventData1", &Sel::eventData1, "Bad Event Data1, TRAP NOT ACCEPTED! trap=%s"},
    };
    for (const KeyCheck& k : kKeys)
        if (!readByteKey(s, k.key, r.*k.field)) {
            LogPrint(LOG_DAEMON | LOG_WARNING, k.refusal, s);
            return false;
        }
    if (!readEventData(pdu, s, "EventData2", r.eventData2)) {
        LogPrint(LOG_DAEMON | LOG_WARNING, "Bad Event Data2, TRAP NOT ACCEPTED! trap=%s", s);
        return false;
    }
    if (!readEventData(pdu, s, "EventData3", r.eventData3)) {
        LogPrint(LOG_DAEMON | LOG_WARNING, "Bad Event Data3, TRAP NOT ACCEPTED! trap=%s", s);
        return false;
    }
    if (!GetSELAddInfo(pdu, s, data->additionalInfo))
        LogPrint(LOG_DAEMON | LOG_WARNING, "No Addtional Info for the trap=%s", s);
    LogPrint(LOG_DAEMON | LOG_INFO, "TRAP ACCEPTED! trap=%s", s);
    return true;
}
