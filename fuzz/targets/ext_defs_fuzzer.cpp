// The drive definitions file "QVExtDef.txt" (read from the current directory, which is the
// fuzz root while it is read): the input is the file. Reading it changes features of existing rows only, and
// identification of any drive afterwards stays within its INQUIRY data.
#include "fuzz_root.h"

#include <drive_id.h>

#include <cstring>
#include <fcntl.h>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    qv::fuzz::writeRootFile("/QVExtDef.txt", data, size);
    ResetDriveTablesForTests();
    // Only while the file is read: libFuzzer's own paths are relative to the directory it began in.
    const int here = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (here < 0 || ::chdir(qv::fuzz::privateRoot().c_str()) != 0)
        __builtin_trap();
    ReadExternalDefs();
    if (::fchdir(here) != 0)
        __builtin_trap();
    ::close(here);

    // Drives of each kind of row: a table id, a pattern, a maker's name, a maker-labelled drive.
    static const char* const kDrives[][2] = {
        {"IBM     DDYS-T18350N    ", "S136"}, {"XYZ     DISK            ", "F3AB"},
        {"ACME    DISK            ", "ZZZZ"}, {"QV      ST39204LC       ", "QV05"},
    };
    for (const auto& drive : kDrives) {
        uint8_t inquiry[kInquiryBytes] = {};
        std::memcpy(inquiry + 8, drive[0], 24);
        std::memcpy(inquiry + 32, drive[1], 4);
        std::memcpy(inquiry + 40, "fujitsu", 7);
        DiskInfoType row{};
        DetermineDiskInfo(inquiry, sizeof inquiry, &row);
        if (row.pszFW == nullptr || std::strlen(row.pszFW) > 4)
            __builtin_trap();
    }
    ResetDriveTablesForTests();
    return 0;
}
