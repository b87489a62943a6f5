// libqvdiskbus.so is the disk bus library's objects, linked whole; its interface is qvdiskbus.h.
#include "qvdiskbus.h"
