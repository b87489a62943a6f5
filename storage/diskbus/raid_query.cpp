#include "raid_query.h"

uint32_t ReleaseDACList() { return 0; }
