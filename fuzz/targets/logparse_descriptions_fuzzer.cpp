// The parse-log agent's description reader over any file and record: items stay inside the
// mapped file, look-ups end, and the severity copy stays within its buffer.
// Input: the 16-byte record, then the rest as evtspec.cfg.
#include "description_reader.h"
#include "fuzz_root.h"

#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string& root = qv::fuzz::privateRoot();
    qv::fuzz::InputCursor in(data, size);
    Sel record{};
    const std::string_view bytes = in.take(sizeof record);
    std::memcpy(&record, bytes.data(), bytes.size());
    const std::string_view file = in.rest();
    qv::fuzz::writeRootFile("/usr/qvserver/etc/evtspec.cfg", file.data(), file.size());
    const std::string path = root + "/usr/qvserver/etc/evtspec.cfg";

    logparse::ParseFileClass parser;
    parser.StartParse(path.c_str());
    if (parser.RestartParse() != 0) __builtin_trap();
    logparse::ParseItem item;
    size_t items = 0;
    while (parser.GetNextThing(item)) {
        if (item.name.empty() || ++items > file.size()) __builtin_trap();
    }
    char severity[16];
    logparse::CopySeverity(parser, record, severity, sizeof severity);
    if (std::strlen(severity) >= sizeof severity) __builtin_trap();
    char helper[logparse::kEventSeveritySize];
    logparse::GetEventSeverity(path.c_str(), &record, helper);
    return 0;
}
