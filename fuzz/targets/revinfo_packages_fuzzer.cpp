// The version library's firmware list over IPMI cache answers of any length. Input: the system
// answer (a length byte, then its bytes), then per package a length byte and its bytes; the
// client reports the length it was given, the buffer holds what fits.
#include "firmware_components.h"
#include "fuzz_root.h"
#include "qvrevinfo.h"

#include <algorithm>
#include <cstring>

namespace {

qv::fuzz::InputCursor* g_in = nullptr;

unsigned scriptedAnswer(unsigned, unsigned, unsigned, ParamsType*, sdType data, unsigned* received)
{
    const uint8_t length = g_in->u8();
    if (length == 0xFF) return 1;
    const auto bytes = g_in->take(length);
    std::memcpy(data.pb, bytes.data(), std::min<size_t>(bytes.size(), data.cb));
    *received = static_cast<unsigned>(bytes.size());
    return bytes.size() > data.cb ? 0x100012u : 0u;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    qv::fuzz::InputCursor in(data, size);
    g_in = &in;
    revinfo::ipmiGetData() = scriptedAnswer;
    UpdateFirmwareInfo();
    const int count = GetTotalNumberOfFirmwares();
    using Getter = int (*)(unsigned, char*, unsigned);
    for (int i = 0; i <= count; ++i) {
        for (Getter get : {GetFWComponentName, GetFWComponentProduct, GetFWComponentManufacturer,
                           GetFWComponentVersion}) {
            char text[200];
            get(static_cast<unsigned>(i), text, sizeof text);
        }
        FW_REVISION_INFO info;
        GetFirmwareVersionInfo(static_cast<unsigned>(i) + 1, &info);
    }
    return 0;
}
