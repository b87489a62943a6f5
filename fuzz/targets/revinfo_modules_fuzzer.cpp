// The version library's driver list. Input: NUL-separated /proc/sys/kernel/osrelease and
// /proc/modules; a small 2.4 module tree is in place.
#include "fuzz_root.h"
#include "qvrevinfo.h"

#include <string>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    for (const char* file : {"/lib/modules/2.4.2/kernel/drivers/scsi/aic7xxx/aic7xxx.o",
                             "/lib/modules/2.4.2/kernel/drivers/net/e100.o",
                             "/lib/modules/2.2.14/scsi/aic7xxx.o"})
        qv::fuzz::writeRootFile(file, "x", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    qv::fuzz::InputCursor in(data, size);
    for (const char* path : {"/proc/sys/kernel/osrelease", "/proc/modules"}) {
        const auto contents = in.until('\0');
        qv::fuzz::writeRootFile(path, contents.data(), contents.size());
    }
    UpdateDriverInfo();
    const int count = GetTotalNumberOfDrivers();
    using Getter = int (*)(unsigned, char*, unsigned);
    for (int i = 0; i <= count; ++i) {
        for (Getter get : {GetDriverName, GetDriverInfoManufacturer, GetDriverInfoVersion, GetDriverInfoType,
                           GetDriverFilePath, GetDriverInfoFileStamp, GetDriverInfoDMIFileTime,
                           GetDriverInfoFileSize, GetDriverInfoOctetFileStamp}) {
            char text[300];
            get(static_cast<unsigned>(i), text, sizeof text);
            get(static_cast<unsigned>(i), text, 6);
        }
        DRIVER_VERSION_INFO info;
        GetDriverVersionInfo(static_cast<unsigned>(i) + 1, &info);
    }
    return 0;
}
