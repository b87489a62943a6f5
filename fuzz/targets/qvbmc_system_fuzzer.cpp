// The IPMI object library discovering a system through a controller that answers with the fuzz
// bytes: SDR repository, SEL, packages, sensors and FRU devices. Input: the device's reply
// script (see scripted_devsock.h).
#include "fuzz_root.h"
#include "mgmtctl.h"
#include "pause_hook.h"
#include "qvbmc.h"
#include "scripted_devsock.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    qv::mgmtctl::setPauseHookForTests([](int) {});
    qv::fuzz::privateRoot();
    qv::fuzz::makeRootDirectory("/var/qvserver");   // the library's lock files
    return 0;
}

namespace {

void walkPackage(CIPMPackageExport* package)
{
    package->RebuildSensorList();
    package->RebuildFruList();
    for (int i = 0; i < package->GetSensorCount(); ++i) {
        CSensorExport* sensor = package->GetSensor(i);
        SensorReadingStruct reading{};
        (void)sensor->GetReading(&reading);
    }
    for (int i = 0; i < package->GetFruCount(); ++i) {
        CFruExport* fru = package->GetFru(i);
        if (fru->ReadFruData() != 0) continue;
        (void)fru->GetStructuredFruData();
        (void)fru->GetFormattedFruData();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    qv::fuzz::scriptDeviceReplies(data, size);
    CIPMSystemExport* system = CreateIPMSystem();
    if (!system) return 0;
    // Exceptions are how the library reports a controller that misbehaves.
    try {
        system->Initialize();
        system->RebuildSdrRepository(0);
        system->RebuildSystemEventLog(0);
        for (int i = 0; i < system->GetSdrCount(); ++i) (void)system->GetSdr(i);
        for (int i = 0; i < system->GetSelEntryCount(); ++i) (void)system->GetSelEntry(i);
        if (system->RebuildPackageList() == 0)
            for (int i = 0; i < system->GetPackageCount(); ++i) walkPackage(system->GetPackage(i));
    } catch (...) {
    }
    DestroyIPMSystem(system);
    return 0;
}
