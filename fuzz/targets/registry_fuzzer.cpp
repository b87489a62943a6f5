// The registry reader over arbitrary file contents. Input: buffer size byte, "KEY=Value" name,
// NUL, data to store, NUL, then the registry file.
#include "fuzz_root.h"
#include "registry.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    qv::fuzz::privateRoot();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    qv::fuzz::InputCursor in(data, size);
    const unsigned bufferSize = in.u8();
    const std::string name(in.until('\0'));
    const std::string stored(in.until('\0'));
    const auto contents = in.rest();
    qv::fuzz::writeRootFile("/var/qvserver/registry.ini", contents.data(), contents.size());

    // Exactly sized, so a byte written past the caller's size is caught.
    std::vector<unsigned char> buffer(bufferSize ? bufferSize : 1);
    (void)GetRegData(name.c_str(), bufferSize ? buffer.data() : nullptr, bufferSize);
    (void)GetRegData("SOFTWARE\\Quorvane\\Trivoke=SpuNum", buffer.data(), bufferSize);

    // Whatever the file held, a value written to it reads back unchanged.
    if (SetRegData(name.c_str(), stored.data(), stored.size()) == 0) {
        std::vector<unsigned char> back(stored.size() + 1, 0xAA);
        if (GetRegData(name.c_str(), back.data(), unsigned(stored.size())) != 0 ||
            std::memcmp(back.data(), stored.data(), stored.size()) != 0)
            std::abort();
    }
    return 0;
}
