// The version library's driver list. Input: NUL-separated /proc/sys/kernel/osrelease and
// /proc/modules; a small 2.4 and 2.2 module tree is in place.
#include "driver_modules.h"
#include "fuzz_root.h"

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
    revinfo::CDrivers& list = revinfo::driverList();
    list.LoadList();
    for (unsigned i = 0; i <= list.count(); ++i) {
        const revinfo::DriverStruct* driver = nullptr;
        if (list.GetDriver(i, &driver) != 0) continue;
        DRIVER_TYPE type;
        revinfo::GetDriverGroupType(driver->szDrvDescription.c_str(), &type);
        (void)revinfo::GetDrvDescription(driver->szDrvFilePath, driver->szDrvVersion);
    }
    return 0;
}
