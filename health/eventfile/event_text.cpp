#include "event_text.h"

#include "sensor_records.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; }

// A number needs more than 10 characters of room; "%Xh" in hexadecimal.
int writeNumber(sdType out, unsigned value, bool hex)
{
    if (out.cb <= 10) return 0;
    const int length = std::snprintf(out.pb, out.cb, hex ? "%Xh" : "%u", value);
    return std::min(length, static_cast<int>(out.cb) - 1);
}

int writeText(sdType out, const char* text, unsigned length)
{
    if (length + 1 > out.cb) return 0;
    if (length > 0) std::memcpy(out.pb, text, length);
    out.pb[length] = '\0';
    return static_cast<int>(length);
}

// "m" and a mask in binary: trailing '0's shift the value down, the '1's before them keep bits.
unsigned applyMask(unsigned value, const char* mask, unsigned length)
{
    unsigned end = length, shift = 0, ones = 0;
    while (end > 0 && mask[end - 1] == '0') --end, ++shift;
    while (end > 0 && mask[end - 1] == '1') --end, ++ones;
    value = shift >= 32 ? 0 : value >> shift;
    return ones >= 32 ? value : value & ((1u << ones) - 1);
}

int writeByteToken(sdType out, unsigned value, sdType spec)
{
    bool hex = false;
    if (spec.cb > 2 && lower(spec.pb[2]) == 'm')
        value = applyMask(value, spec.pb + 3, spec.cb - 3);
    else if (spec.cb > 2)
        hex = lower(spec.pb[spec.cb - 1]) == 'x';
    return writeNumber(out, value, hex);
}

} // namespace

int EncodeVarBind(sdType out, EvtStruct& event, sdType spec)
{
    if (spec.cb == 0 || out.cb == 0) return 0;
    const Sel& record = event.selEntry;
    const char first = lower(spec.pb[0]);
    const char second = spec.cb > 1 ? lower(spec.pb[1]) : '\0';
    if (first == 'l' && second == 's') {
        PipeSDR* sdr = nullptr;
        if (LookUpSDR(record, &sdr) == 0)
            return writeText(out, sdr->name, std::min<unsigned>(sdr->nameTypeLength & 0x0F, sizeof sdr->name));
        return writeNumber(out, record.sensorNumber, false);
    }
    if (first == 's' && second == 'n') return writeNumber(out, record.sensorNumber, false);
    if (first == 'b' && second == '3') return writeByteToken(out, record.eventData3, spec);
    if (first == 'b' && second == '2') return writeByteToken(out, record.eventData2, spec);
    if (first == 'b' && second == '1') return writeByteToken(out, record.eventData1, spec);
    if (first == 's' && second >= '0' && second <= '9') {
        const sdType field = ExtractString(event.szAddString, static_cast<unsigned>(second - '1'));
        return writeText(out, field.pb, field.cb);
    }
    return writeByteToken(out, 0, spec);
}

sdType ExtractString(char* addString, unsigned n)
{
    const size_t length = strnlen(addString, sizeof(EvtStruct::szAddString));
    char* const end = addString + length;
    char* field = addString;
    for (; n > 0; --n) {
        char* separator = std::find(field, end, '!');
        if (separator == end) break;
        field = separator + 1;
    }
    return {field, static_cast<unsigned>(std::find(field, end, '!') - field)};
}

int EncodeRawData(sdType out, void* record)
{
    char form[82];
    const auto* bytes = static_cast<const unsigned char*>(record);
    int length = 0;
    for (int i = 0; i < 16; ++i) length += std::snprintf(form + length, sizeof form - length, "| %02X ", bytes[i]);
    length += std::snprintf(form + length, sizeof form - length, "|");
    if (out.cb == 0) return 0;
    const unsigned kept = std::min<unsigned>(static_cast<unsigned>(length), out.cb - 1);
    std::memcpy(out.pb, form, kept);
    out.pb[kept] = '\0';
    return static_cast<int>(kept);
}

unsigned BuildEventText(sdType out, EvtStruct& event, EventDescType& desc)
{
    if (desc.sdDesc.cb == 0) return static_cast<unsigned>(EncodeRawData(out, &event.selEntry));
    if (out.cb == 0) return 0;
    unsigned written = 0;
    const sdType& form = desc.sdDesc;
    for (unsigned i = 0; i < form.cb; ++i) {
        if (form.pb[i] != '%') {
            // The terminator keeps its byte.
            if (written + 1 >= out.cb) break;
            out.pb[written++] = form.pb[i];
            continue;
        }
        if (i + 1 >= form.cb) break;
        const int n = form.pb[++i] - '1';
        if (n >= 0 && static_cast<unsigned>(n) < desc.nVarBinds && n < 10)
            written += EncodeVarBind({out.pb + written, out.cb - written}, event, desc.rgsdVar[n]);
    }
    out.pb[written] = '\0';
    return written;
}

unsigned ComputeEventCode(EvtStruct& event)
{
    const Sel& record = event.selEntry;
    const unsigned code = record.sensorType * 100u;
    PipeSDR* sdr = nullptr;
    if (LookUpSDR(record, &sdr) == 0 && sdr->oem != 0) return code + sdr->oem;
    unsigned offset = record.eventData1 & 0x0F;
    if (record.eventTrigger >= 0x70) offset += (record.eventTrigger - 0x6Fu) * 16;
    return code + offset;
}

unsigned DecodeSeverity(sdType text)
{
    if (text.cb == 0) return QVEF_SEV_UNKNOWN;
    if (text.pb[0] >= '0' && text.pb[0] <= '9') {
        char digits[16];
        const unsigned length = std::min<unsigned>(text.cb, sizeof digits - 1);
        std::memcpy(digits, text.pb, length);
        digits[length] = '\0';
        return static_cast<unsigned>(std::atoi(digits));
    }
    static constexpr struct {
        const char* name;
        unsigned severity;
    } rgSevMap[] = {{"Warning", QVEF_SEV_WARNING}, {"Error", QVEF_SEV_CRITICAL}, {"Informational", QVEF_SEV_INFORMATION}};
    for (const auto& entry : rgSevMap)
        if (FSameStr(entry.name, text)) return entry.severity;
    return QVEF_SEV_UNKNOWN;
}

int EncodeValue(unsigned value, sdType out, int hex)
{
    char text[16];
    const unsigned length = static_cast<unsigned>(std::snprintf(text, sizeof text, hex ? "0x%X" : "%u", value));
    const unsigned kept = std::min(length, out.cb);
    if (kept > 0) std::memcpy(out.pb, text, kept);
    if (length >= out.cb) return QVEF_TOO_SMALL;
    out.pb[length] = '\0';
    return 0;
}

int CopyString(sdType out, sdType text)
{
    const unsigned kept = std::min(text.cb, out.cb);
    if (kept > 0) std::memcpy(out.pb, text.pb, kept);
    if (text.cb >= out.cb) return QVEF_TOO_SMALL;
    out.pb[text.cb] = '\0';
    return 0;
}

unsigned CopyDataMember(sdType* slice, sdType text, char* at)
{
    if (text.cb > 0) std::memmove(at, text.pb, text.cb);
    at[text.cb] = '\0';
    *slice = {at, text.cb};
    return text.cb + 1;
}

int ConstructCfgSpec(char** path)
{
    // The event log library names the description file, below the sandbox root.
    *path = strdup(GetEventSpecFile());
    if (*path != nullptr) return 1;
    static char fixed[] = "/usr/qvserver/etc/evtspec.cfg";
    *path = fixed;
    return 0;
}
