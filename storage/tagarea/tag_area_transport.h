// How the asset-tag area moves between a drive and memory: the SCSI and RAID library's vendor
// log page 0x32 calls (libqvdiskbus).
#pragma once

#include <cstdint>

extern "C" {
uint32_t ScsiReadLogPage32h(unsigned adapter, unsigned channel, unsigned target, void* buffer, unsigned length);
uint32_t ScsiWriteLogPage32h(unsigned adapter, unsigned channel, unsigned target, const void* data,
                             unsigned length);
}
