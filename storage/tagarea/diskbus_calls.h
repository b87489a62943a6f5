// The SCSI and RAID library (libqvdiskbus) calls the asset-tag area and the drive self-test
// monitor use: the vendor log page 0x32 transport of the area and the self-test commands, as the
// library's public header declares them. Tests link a fake of these calls (qv_tagarea_fake).
#pragma once

#include "qvdiskbus.h"
