// qvslotagent: the PCI subtree .1.3.6.1.4.1.93071.2.23.10.
#include "agent_frontend.h"
#include "pci_devices.h"
#include "pci_objects.h"

int main(int argc, char** argv)
{
    try {
        initPciAgent(argc > 0 ? argv[0] : "");
    } catch (const PCIException&) {
        return 1;
    }
    return runAgent(*findAgentConfig("qvslotagent"), loadPciObjects, argc, argv);
}
