// The asset-tag agent's MIB objects below .1.3.6.1.4.1.93071.2.23.32, answered by qvdisktagd.
#pragma once

bool loadObjects();
