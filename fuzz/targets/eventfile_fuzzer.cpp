// The event file library's description reader and text translation over any description file
// and records: items, header numbers, the section index and the expanded texts stay within their
// buffers, and every slice of a description lies inside the reader's buffer.
// Input: three 16-byte records, one 41-byte sensor record the cache answers with, an add string
// ended by '\n', and the rest as evtspec.cfg.
#include "event_text.h"
#include "fuzz_root.h"

#include <cstring>
#include <string>

namespace {

// The cache client's slice and records as the client library declares them.
struct CacheSlice {
    unsigned char* pb;
    uint32_t cb;
};

unsigned char sensorRecord[41];

} // namespace

// One package holding the one sensor record of the input.
extern "C" unsigned int QvIpmiGetData(unsigned int opCode, unsigned int iPackage, unsigned int iUnit, void*,
                                      CacheSlice data, unsigned int* got)
{
    uint32_t reply[8] = {};
    const void* bytes = reply;
    unsigned size = 0;
    if (opCode == 1) {
        reply[1] = 1;   // packages
        reply[2] = 1;   // sensors
        size = 16;
    } else if (opCode == 2 && iPackage == 0) {
        reply[0] = 1;
        size = 32;
    } else if (opCode == 12 && iPackage == 0 && iUnit == 0) {
        bytes = sensorRecord;
        size = sizeof sensorRecord;
    } else {
        return 0x100201;
    }
    *got = size < data.cb ? size : data.cb;
    std::memcpy(data.pb, bytes, *got);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    qv::fuzz::privateRoot();
    qv::fuzz::InputCursor in(data, size);
    EvtStruct events[3] = {};
    for (auto& event : events) {
        const std::string_view record = in.take(sizeof event.selEntry);
        std::memcpy(&event.selEntry, record.data(), record.size());
    }
    const std::string_view sdr = in.take(sizeof sensorRecord);
    std::memset(sensorRecord, 0, sizeof sensorRecord);
    std::memcpy(sensorRecord, sdr.data(), sdr.size());
    const std::string_view add = in.until('\n');
    const std::string_view descriptions = in.rest();
    qv::fuzz::writeRootFile("/evtspec.cfg", descriptions.data(), descriptions.size());

    CParseFile parser;
    if (parser.StartParse((qv::fuzz::privateRoot() + "/evtspec.cfg").c_str()) != 0) return 0;
    for (auto& event : events) {
        std::memcpy(event.szAddString, add.data(), std::min(add.size(), sizeof event.szAddString - 1));
        EventDescType desc;
        if (GetEventDesc(parser, event.selEntry, &desc) != 0) __builtin_trap();
        const sdType slices[] = {desc.sdDesc, desc.sdSeverity, desc.sdTrapId, desc.sdID, desc.sdHelpHtml,
                                 desc.sdHelpTag};
        for (const sdType& s : slices)
            if (s.cb > CParseFile::cbDataMax) __builtin_trap();
        if (desc.nVarBinds > 10) __builtin_trap();
        char text[96];
        const unsigned length = BuildEventText({text, sizeof text}, event, desc);
        if (length >= sizeof text || text[length] != '\0') __builtin_trap();
        DecodeSeverity(desc.sdSeverity);
        ComputeEventCode(event);
    }
    return 0;
}
