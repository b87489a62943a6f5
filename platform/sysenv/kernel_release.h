// The running kernel's release string (what uname reports). Below a sandbox root the stand-in file
// $QV_ROOT/var/qvsim/uname (first line) answers instead, so tests can pose as any kernel.
#pragma once

#include <string>

namespace qv {

// False when neither the stand-in nor uname gives a release.
bool kernelRelease(std::string& release);

// The release begins "2.2" (the kernels with the older SCSI generic interface).
bool isKernel22();

} // namespace qv
