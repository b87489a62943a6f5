#include "kernel_release.h"

#include "sandbox_path.h"

#include <sys/utsname.h>

#include <fstream>

namespace qv {

bool kernelRelease(std::string& release) {
    if (!sandboxRoot().empty()) {
        std::ifstream in(sandboxPath("/var/qvsim/uname"));
        if (in && std::getline(in, release))
            return true;
    }
    utsname names;
    if (::uname(&names) != 0)
        return false;
    release = names.release;
    return true;
}

bool isKernel22() {
    std::string release;
    return kernelRelease(release) && release.rfind("2.2", 0) == 0;
}

} // namespace qv
