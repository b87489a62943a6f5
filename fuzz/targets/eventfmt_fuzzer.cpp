// The event formatter over any description file, record, add string, template and token: the
// key reader, the token language and both template walks stay within their buffers.
// Input: the 16-byte record, a capacity byte, then token, add string and template each ended
// by '\n', and the rest as evtspec.cfg.
#include "event_format_varbind.h"
#include "fuzz_root.h"
#include "pause_hook.h"

#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    qv::fuzz::privateRoot();
    qv::mgmtctl::setPauseHookForTests([](int) {});
    qv::fuzz::InputCursor in(data, size);
    EvtStruct event{};
    const std::string_view record = in.take(sizeof event.selEntry);
    std::memcpy(&event.selEntry, record.data(), record.size());
    const int capacity = 1 + in.u8() % 9;
    const std::string token(in.until('\n'));
    const std::string_view add = in.until('\n');
    const std::string_view templ = in.until('\n');
    std::memcpy(event.szAddString, add.data(), std::min(add.size(), sizeof event.szAddString - 1));
    std::memcpy(event.szEventString, templ.data(),
                std::min(templ.size(), sizeof event.szEventString - 1));
    const std::string_view descriptions = in.take(size);
    qv::fuzz::writeRootFile("/usr/qvserver/etc/evtspec.cfg", descriptions.data(), descriptions.size());

    char text[QVELFMT_TOKEN_TEXT_SIZE];
    QVELFMT_GetToken(GetTokenString, token.c_str(), &event, text);
    CAttrValue one;
    QVELFMT_GetToken(GetTokenVarbind, token.c_str(), &event, &one);

    char out[64] = "";
    QVELFMT_FormatEventToString(&event, out, sizeof out);
    CAttrValue vars[9];
    int count = 0;
    QVELFMT_FormatEventToVarbind(&event, vars, capacity, &count);
    if (count > capacity) __builtin_trap();
    return 0;
}
