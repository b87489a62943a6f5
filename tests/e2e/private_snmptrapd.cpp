#include "private_snmptrapd.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace qv::e2e {

PrivateSnmptrapd::PrivateSnmptrapd(const test::TempRoot& root, const std::string& name, int port,
                                   const std::string& listenPrefix)
    : output_(root.at("/" + name + ".out")), port_(port)
{
    const std::string conf = root.at("/" + name + ".conf");
    root.writeFile("/" + name + ".conf", "disableAuthorization yes\n");
    const std::string persistent = root.at("/" + name + ".persist");
    const std::string listen = listenPrefix + std::to_string(port);
    pid_ = ::fork();
    if (pid_ == 0) {
        const int fd = ::open(output_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(fd, 1);
        ::dup2(fd, 2);
        ::setenv("SNMP_PERSISTENT_DIR", persistent.c_str(), 1);
        ::setenv("MIBS", "", 1);
        ::execl("/usr/sbin/snmptrapd", "snmptrapd", "-f", "-Lo", "-C", "-c", conf.c_str(), "-n",
                listen.c_str(), nullptr);
        ::_exit(127);
    }
}

PrivateSnmptrapd::~PrivateSnmptrapd()
{
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
}

std::string PrivateSnmptrapd::output() const { return test::readWholeFile(output_); }

bool PrivateSnmptrapd::waitFor(const std::string& text, int ms) const
{
    for (int waited = 0; waited < ms; waited += 25) {
        if (output().find(text) != std::string::npos) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    return false;
}

} // namespace qv::e2e
