// The readiness test of a drive, in stages: answers INQUIRY, unit ready, data readable, holds
// mounted volumes, a test file on its first volume can be read or written.
#pragma once

#include <cstdint>

class CScsiAdapter;

// The file test on the lowest volume of `mask`: 0 or an errno. A link at the test file's place
// fails the test and is left alone.
uint32_t DoFileIO(uint32_t mask);

extern "C" {
uint32_t BasicSCSITest(CScsiAdapter* adapter, unsigned channel, unsigned target, unsigned* stage);
uint32_t GetDriveStatus(unsigned adapter, unsigned channel, unsigned target, int* stage);
}
