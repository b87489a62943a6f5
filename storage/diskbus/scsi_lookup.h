// How the exported functions find the adapter object of an adapter number.
#pragma once

#include <cstdint>

class CScsiAdapter;

// Builds the adapter list first (its failure is returned), then looks the adapter up (which
// opens it): 0 or ERR_ADAPTER_NOT_FOUND.
uint32_t LookupAdapter(unsigned number, CScsiAdapter** adapter);
// The same on the current list, without building it.
uint32_t LookupListedAdapter(unsigned number, CScsiAdapter** adapter);
// Forgets the target and logical drive lists (tests that change the simulated machine).
void ResetScsiListsForTests();
