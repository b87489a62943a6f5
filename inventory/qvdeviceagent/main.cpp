// qvdeviceagent: the device entity table .1.3.6.1.4.1.93071.2.36.1.1.5, served from the store.
#include "agent_frontend.h"
#include "device_objects.h"
#include "dmi_globals.h"

// The program's own reader objects, handed to the table library before any SMBAPI call.
CQVDMIDriver G_DmiDriver;
CQVDMIBIOS G_DmiBios(&G_DmiDriver);

int main(int argc, char** argv)
{
    SetDmiObjects(&G_DmiDriver, &G_DmiBios);
    const int status = runAgent(*findAgentConfig("qvdeviceagent"), loadDeviceObjects, argc, argv);
    CloseDll();
    SetDmiObjects(nullptr, nullptr);
    return status;
}
