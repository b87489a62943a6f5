// The environment MIB .1.3.6.1.4.1.93071.2.23.26, every value asked of qvclimated.
#pragma once

bool loadObjects();
