#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "floppy_info.h"
#include "sandbox_path.h"

namespace qv::host {

namespace {

// The kernel ring buffer is far smaller; anything beyond is not boot messages.
constexpr std::size_t kMaxOutput = 16u << 20;

} // namespace

bool readKernelMessages(std::string& output)
{
    output.clear();
    const std::string program = qv::sandboxPath("/bin/dmesg");
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return false;
    const pid_t pid = fork();
    if (pid < 0) {
        close(fds[0]);
        close(fds[1]);
        return false;
    }
    if (pid == 0) {
        // Standard error must stay clean: an agent's stderr reaches the SNMP daemon.
        const int devNull = open("/dev/null", O_RDWR);
        if (devNull >= 0) {
            dup2(devNull, STDIN_FILENO);
            dup2(devNull, STDERR_FILENO);
        }
        dup2(fds[1], STDOUT_FILENO);
        char* const argv[] = {const_cast<char*>(program.c_str()), nullptr};
        execv(program.c_str(), argv);
        _exit(127);
    }
    close(fds[1]);
    char chunk[4096];
    for (;;) {
        const ssize_t got = read(fds[0], chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        if (output.size() < kMaxOutput) output.append(chunk, std::size_t(got));
    }
    close(fds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace qv::host
