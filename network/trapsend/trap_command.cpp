// Running an outside command without a shell, with a bounded wait.
#include "trap_sender_internal.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace trapsend {

int runCommand(const std::string& path, const std::vector<std::string>& argv, unsigned timeoutMs)
{
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);

    const pid_t child = ::fork();
    if (child < 0) return -1;
    if (child == 0) {
        ::execv(path.c_str(), args.data());
        ::_exit(127);
    }
    int status = 0;
    for (unsigned waited = 0;; waited += 10) {
        const pid_t done = ::waitpid(child, &status, WNOHANG);
        if (done == child) return status;
        if (done < 0 && errno != EINTR) return -1;
        if (waited >= timeoutMs) break;
        ::usleep(10000);
    }
    ::kill(child, SIGKILL);
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return -1;
}

} // namespace trapsend
