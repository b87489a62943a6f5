// The PCI agent's MIB objects (.1.3.6.1.4.1.93071.2.23.10) and its device table walker.
#pragma once

#include <string>

// Reads /proc/bus/pci below the sandbox root and remembers the program file for the agent
// date. Throws PCIException when the tree cannot be read.
void initPciAgent(const std::string& programPath);

bool loadPciObjects();
