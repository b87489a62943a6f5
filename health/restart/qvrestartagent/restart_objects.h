// The automatic server restart MIB .1.3.6.1.4.1.93071.2.23.25, read from and written to the
// registry; a change of the hardware timeout is confirmed by qvrestartd first.
#pragma once

bool loadObjects();
