// The three readers of the version inventory's list file over arbitrary contents. Input: the
// name looked up, NUL, then the file.
#include "fuzz_root.h"
#include "swa_list.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    qv::fuzz::InputCursor in(data, size);
    const std::string name(in.until('\0'));
    const std::string text(in.rest());
    swfiles::swaListsProgram(text, name);
    swfiles::swaDaemonLines(text);
    for (const char* marker : {"SCSI", "DAC", "NIC"})
        for (const std::string& driver : swfiles::swaDriverNames(text, marker))
            if (driver.size() > 255) __builtin_trap();
    return 0;
}
