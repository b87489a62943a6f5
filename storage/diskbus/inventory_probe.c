/* Loads libqvdiskbus.so the way an outside C caller does (dlopen, names looked up one by one) and
   runs the inventory calls the version library makes: the unit count, every drive record and
   each adapter's record at level 2. The library finds the machine below QV_ROOT as usual.

   Usage: qvdiskbus_inventory LIBRARY [ROUNDS]
   ROUNDS (default 1) repeats the whole inventory in the same process; the rounds after the first
   are answered from the library's caches. The records of the last round are printed. */
#include "qvdiskbus.h"

#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>

typedef uint32_t (*CountFn)(int*, int*);
typedef uint32_t (*DrivesFn)(DriveInfoType*, unsigned);
typedef uint32_t (*AdapterFn)(unsigned, unsigned, HBAInfoType*);
typedef uint32_t (*ShutdownFn)(void);

enum { kMaxDrives = 128, kMaxAdapters = 16 };

struct Interface {
    CountFn count;
    DrivesFn drives;
    AdapterFn adapter;
    ShutdownFn shutdown;
};

static void* lookup(void* library, const char* name, int* missing) {
    void* symbol = dlsym(library, name);
    if (symbol == NULL) {
        fprintf(stderr, "missing %s\n", name);
        *missing = 1;
    }
    return symbol;
}

/* One inventory; prints it when `print`. Returns the first failing status, or 0. */
static uint32_t inventory(const struct Interface* api, int print) {
    static DriveInfoType drives[kMaxDrives];
    int adapters = 0, count = 0;
    uint32_t status = api->count(&adapters, &count);
    if (status != 0)
        return status;
    if (count > kMaxDrives)
        count = kMaxDrives;
    status = api->drives(drives, (unsigned)count);
    if (status != 0)
        return status;
    if (print)
        printf("adapters %d drives %d\n", adapters, count);
    for (int a = 0; a < adapters && a < kMaxAdapters; ++a) {
        HBAInfoType info = {0};
        status = api->adapter((unsigned)a, 2, &info);
        if (status != 0)
            return status;
        if (print)
            printf("adapter %d class %d channels %d name \"%s\" brand \"%s\" bios \"%s\" dram %d board %d product \"%s\"\n",
                   info.idAdapter, info.idClass, info.nChannels, info.szName, info.szBrand, info.szBIOSVersion,
                   info.sDramInMB, info.idBoard, info.szProduct);
    }
    for (int i = 0; print && i < count; ++i) {
        const DriveInfoType* d = &drives[i];
        printf("drive %u:%u:%u type %u vendor %d rev \"%s\" product \"%s\" serial \"%s\" mb %u mask %u raid %d state %d\n",
               d->addr.idAdapter, d->addr.idChannel, d->addr.idTarget, d->disk.deviceType, d->disk.idVendor,
               d->disk.szFWRev, d->disk.szProductID, d->disk.szSerialNum, d->disk.sDriveInMB, d->disk.maskVolumes,
               d->disk.iRaidLevel, d->disk.iRaidState);
    }
    return 0;
}

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        fprintf(stderr, "usage: %s LIBRARY [ROUNDS]\n", argv[0]);
        return 2;
    }
    const int rounds = argc == 3 ? atoi(argv[2]) : 1;
    if (rounds < 1) {
        fprintf(stderr, "ROUNDS must be 1 or more\n");
        return 2;
    }
    void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (library == NULL) {
        fprintf(stderr, "%s\n", dlerror());
        return 1;
    }
    int missing = 0;
    struct Interface api;
    api.count = (CountFn)lookup(library, "ScsiCountAllUnits", &missing);
    api.drives = (DrivesFn)lookup(library, "ScsiGetAllDrives", &missing);
    api.adapter = (AdapterFn)lookup(library, "ScsiGetAdapterInfo", &missing);
    api.shutdown = (ShutdownFn)lookup(library, "LibraryShutdown", &missing);
    int result = missing;
    for (int r = 0; result == 0 && r < rounds; ++r) {
        const uint32_t status = inventory(&api, r + 1 == rounds);
        if (status != 0) {
            fprintf(stderr, "inventory failed with status 0x%x\n", status);
            result = 1;
        }
    }
    if (api.shutdown != NULL)
        api.shutdown();
    dlclose(library);
    return result;
}
