// The parse-log MIB .1.3.6.1.4.1.93071.2.23.29: version scalars, the filtered log table and
// the criterion of the next run.
#pragma once

// Registers the objects. The table itself is read on first use, inside the front end's
// exception handler.
bool loadObjects();
