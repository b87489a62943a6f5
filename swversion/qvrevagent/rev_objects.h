// qvrevagent's MIB .1.3.6.1.4.1.93071.2.23.24: managed software, drivers, BIOS and firmware,
// revision history, agent version and the scanning service's four controls.
#pragma once

// Checks (and when stale rebuilds) the managed software cache once, then registers the objects.
bool loadObjects();
