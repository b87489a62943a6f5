// The trap destination configuration subtree .1.3.6.1.4.1.93071.2.23.13.
#pragma once

bool loadTrapConfigObjects();

// Asks both trap daemons to re-read the destination file (killall -HUP, result ignored).
void signalTrapDaemons();
