// The drive-cage agent's MIB objects below .1.3.6.1.4.1.93071.2.23.28, answered by qvbayd.
#pragma once

bool loadObjects();
