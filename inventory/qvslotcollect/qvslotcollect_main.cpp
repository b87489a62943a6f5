// qvslotcollect: stores the PCI BIOS revision from the boot messages in the registry.
#include "pci_revision.h"

int main() { return qv::inventory::collectPciRevision(); }
