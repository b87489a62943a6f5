#include "pci_revision.h"

#include <cstring>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "registry.h"
#include "sandbox_path.h"
#include "tokenizer.h"

namespace qv::inventory {

std::string findPciRevision(FILE* messages)
{
    char line[512];
    while (true) {
        std::memset(line, 0, sizeof line);
        if (std::fgets(line, sizeof line, messages) == nullptr) break;
        StringTokenizer words(line, " \n\r\t");
        // A line ending in a delimiter leaves an empty last word: that is no revision.
        if (words.getTokenCount() >= 5 && words.getToken(3) == "revision" && !words.getToken(4).empty())
            return words.getToken(4);
    }
    return "0.00";
}

unsigned storePciRevision(const std::string& revision)
{
    char stored[4] = {};
    std::memcpy(stored, revision.data(), revision.size() < sizeof stored ? revision.size() : sizeof stored);
    return SetRegData(kPciRevisionKey, stored, sizeof stored);
}

int collectPciRevision()
{
    const std::string dmesg = qv::sandboxPath("/bin/dmesg");
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return 255;
    const pid_t pid = fork();
    if (pid < 0) {
        close(fds[0]);
        close(fds[1]);
        return 255;
    }
    if (pid == 0) {
        dup2(fds[1], STDOUT_FILENO);
        const int devnull = open("/dev/null", O_WRONLY);
        if (devnull >= 0) dup2(devnull, STDERR_FILENO);
        char* const argv[] = {const_cast<char*>("dmesg"), nullptr};
        execv(dmesg.c_str(), argv);
        _exit(127);
    }
    close(fds[1]);
    FILE* output = fdopen(fds[0], "r");
    if (output == nullptr) {
        close(fds[0]);
        waitpid(pid, nullptr, 0);
        return 255;
    }
    const std::string revision = findPciRevision(output);
    std::fclose(output);   // dmesg may still be writing: closing the pipe ends it
    waitpid(pid, nullptr, 0);
    storePciRevision(revision);
    return 0;
}

} // namespace qv::inventory
