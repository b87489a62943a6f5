// The trap destination file as arbitrary text, and the snmptrap argument vector of every
// destination it yields (built, never run).
#include "fuzz_root.h"
#include "trap_sender.h"

#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    qv::fuzz::privateRoot();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    qv::fuzz::writeRootFile("/usr/qvserver/etc/qvtraps.cfg", data, size);
    parse_trap_notification_file();
    for (const NotifyEntry& destination : notifies) {
        // What reaches the command line is one word each.
        if (destination.host.empty() || destination.host.find_first_of(" \t\r\n") != std::string::npos ||
            destination.community.find_first_of(" \t\r\n") != std::string::npos)
            std::abort();
        std::vector<std::string> argv;
        (void)build_snmptrap_argv(destination, ".1.3.6.1.4.1.1", ".1.3.6.1.4.1.1.1", 6, 1, 0,
                                  nullptr, argv);
    }
    return 0;
}
