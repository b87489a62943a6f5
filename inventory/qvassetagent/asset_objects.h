// The entity subtree .1.3.6.1.4.1.93071.2.36.1.1: URLs, identity texts, the serial number, the
// contact telephone and the component table of /usr/qvserver/etc/qvassetagent.ini.
#pragma once

bool loadAssetObjects();
