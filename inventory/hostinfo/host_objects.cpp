#include "host_objects.h"

namespace {

// Internal on purpose: see host_objects.h.
struct LibraryDmi {
    CQVDMIDriver driver;
    CQVDMIBIOS bios{&driver};
    LibraryDmi()
    {
        driver.LoadDriver();
        bios.InitializeDMIBIOS();
        driver.InitDriver();
    }
    ~LibraryDmi() { driver.CloseDriver(); }
};

LibraryDmi& libraryDmi()
{
    static LibraryDmi dmi;
    return dmi;
}

CLinuxFloppyInfo& libraryFloppy()
{
    static CLinuxFloppyInfo floppy;
    return floppy;
}

CQVDMIDriver* g_driver = nullptr;
CQVDMIBIOS* g_bios = nullptr;
CLinuxFloppyInfo* g_floppy = nullptr;

} // namespace

CQVDMIDriver* HostDmiDriver() { return g_driver ? g_driver : &libraryDmi().driver; }
CQVDMIBIOS* HostDmiBios() { return g_bios ? g_bios : &libraryDmi().bios; }

NosInfo* HostNosInfo()
{
    static NosInfo nos;
    return &nos;
}

CLinuxFloppyInfo* HostFloppyInfo() { return g_floppy ? g_floppy : &libraryFloppy(); }

void SetHostDmiObjects(CQVDMIDriver* driver, CQVDMIBIOS* bios)
{
    g_driver = driver;
    g_bios = bios;
}

void SetHostFloppyInfo(CLinuxFloppyInfo* floppy) { g_floppy = floppy; }
