// The SCSI and RAID library (libqvdiskbus) calls the asset-tag area and the drive self-test
// monitor use: the vendor log page 0x32 transport of the area and the self-test commands.
// Every call returns the library's unsigned 32-bit status, 0 for success; addresses are handed
// over as unsigned numbers of which the library uses the low 8 bits.
#pragma once

#include <cstdint>

extern "C" {
uint32_t ScsiReadLogPage32h(unsigned adapter, unsigned channel, unsigned target, void* buffer, unsigned length);
uint32_t ScsiWriteLogPage32h(unsigned adapter, unsigned channel, unsigned target, const void* data,
                             unsigned length);

// 0 when the drive offers the self-test results log page.
uint32_t ScsiIsDstAvail(unsigned adapter, unsigned channel, unsigned target);
// Starts a self-test (1 short, 2 extended) or aborts the running one (4).
uint32_t ScsiStartDST(unsigned adapter, unsigned channel, unsigned target, unsigned code);
// Progress of the running self-test in percent.
uint32_t ScsiCheckDSTsense(unsigned adapter, unsigned channel, unsigned target, int* percent);
// Result code of one entry of the drive's self-test log (15: a test is running).
uint32_t ScsiGetDstResults(unsigned adapter, unsigned channel, unsigned target, unsigned entry, int* result);
// The drive's stated duration of the extended self-test, in seconds.
uint32_t ScsiGetCompletionTime(unsigned adapter, unsigned channel, unsigned target, int* seconds);
}
