// Platform identification from a BIOS image built from the input (see bios_image.h).
#include "bios_image.h"
#include "fuzz_root.h"
#include "identify.h"

#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static qv::fuzz::BiosImage image;
    image.build(data, size);
    image.write();
    unsigned long code = 0;
    (void)IdentifyVelkarn(&code);
    (void)IsVelkarnId();
    return 0;
}
