#include "dmi_globals.h"

namespace {

// Internal on purpose: exported objects would be interposed by a program's own globals of the
// same names and then constructed and destroyed twice.
CQVDMIDriver G_DmiDriver;
CQVDMIBIOS G_DmiBios(&G_DmiDriver);
CQVDMIDriver* g_pDmiDriver = &G_DmiDriver;
CQVDMIBIOS* g_pDmiBios = &G_DmiBios;
int g_initialized = 0;

} // namespace

CQVDMIDriver* GetDmiDriver() { return g_pDmiDriver; }
CQVDMIBIOS* GetDmiBios() { return g_pDmiBios; }

void SetDmiObjects(CQVDMIDriver* driver, CQVDMIBIOS* bios)
{
    g_pDmiDriver = driver ? driver : &G_DmiDriver;
    g_pDmiBios = bios ? bios : &G_DmiBios;
}

void InitializeDll()
{
    if (g_initialized) return;
    g_initialized = 1;
    g_pDmiDriver->LoadDriver();
    g_pDmiBios->InitializeDMIBIOS();
    g_pDmiDriver->InitDriver();
}

void CloseDll()
{
    if (g_initialized) g_pDmiDriver->CloseDriver();
}
