// The event log MIB .1.3.6.1.4.1.93071.2.23.19: scalars from the event log library, table
// columns from the event cache service.
#pragma once

bool loadObjects();
