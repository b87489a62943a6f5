#include "private_snmpd.h"

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char** environ;

namespace qv::e2e {
namespace {

void sleepMs(long ms)
{
    timespec ts{ms / 1000, (ms % 1000) * 1000000L};
    nanosleep(&ts, nullptr);
}

bool waitExited(pid_t pid, long timeoutMs)
{
    for (long waited = 0; waited <= timeoutMs; waited += 20) {
        if (waitpid(pid, nullptr, WNOHANG) == pid) return true;
        sleepMs(20);
    }
    return false;
}

// Agents answer within a second; a lost datagram is retried once.
const std::vector<std::string> kTimeouts = {"-t", "5", "-r", "1"};

} // namespace

int freeUdpPort(int family)
{
    int fd = socket(family, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) throw std::runtime_error("socket failed");
    sockaddr_storage storage{};
    socklen_t length;
    if (family == AF_INET6) {
        auto* address = reinterpret_cast<sockaddr_in6*>(&storage);
        address->sin6_family = AF_INET6;
        address->sin6_addr = in6addr_loopback;
        length = sizeof *address;
    } else {
        auto* address = reinterpret_cast<sockaddr_in*>(&storage);
        address->sin_family = AF_INET;
        address->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        length = sizeof *address;
    }
    if (bind(fd, reinterpret_cast<sockaddr*>(&storage), length) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&storage), &length) != 0) {
        close(fd);
        throw std::runtime_error("cannot find a free UDP port");
    }
    close(fd);
    return ntohs(family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&storage)->sin6_port
                                    : reinterpret_cast<sockaddr_in*>(&storage)->sin_port);
}

PrivateSnmpd::PrivateSnmpd(const std::string& workDir, const std::vector<PassLine>& passes,
                           const SnmpdEndpoint& endpoint)
    : dir_(workDir), endpoint_(endpoint)
{
    test::makeDirectories(dir_ + "/persist");
    // Another process may take the port between probing and binding: try a few.
    for (int attempt = 0; attempt < 5; ++attempt)
        if (start(passes)) return;
    throw std::runtime_error("private snmpd did not answer; log:\n" + log());
}

PrivateSnmpd::~PrivateSnmpd() { stop(); }

std::string PrivateSnmpd::target() const { return "udp:127.0.0.1:" + std::to_string(port_); }

bool PrivateSnmpd::start(const std::vector<PassLine>& passes)
{
    stop();
    port_ = endpoint_.port != 0 ? endpoint_.port : freeUdpPort();
    const std::string conf = dir_ + "/snmpd.conf";
    {
        std::ofstream out(conf);
        out << "rwcommunity " << endpoint_.community << " 127.0.0.1\n";
        for (const PassLine& p : passes) out << "pass " << p.subtree << " " << p.program << "\n";
    }
    const std::string logPath = dir_ + "/snmpd.log";
    const std::string persist = dir_ + "/persist";

    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        int fd = open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        int null = open("/dev/null", O_RDONLY);
        if (fd >= 0) {
            dup2(fd, 1);
            dup2(fd, 2);
        }
        if (null >= 0) dup2(null, 0);
        setenv("SNMP_PERSISTENT_DIR", persist.c_str(), 1);
        setenv("SNMPCONFPATH", dir_.c_str(), 1);
        setenv("MIBS", "", 1);
        const std::string address = "udp:127.0.0.1:" + std::to_string(port_);
        const std::string pidFile = dir_ + "/snmpd.pid";
        std::vector<const char*> argv = {"/usr/sbin/snmpd", "-f", "-Lo", "-C", "-c", conf.c_str(),
                                         "-p", pidFile.c_str()};
        if (endpoint_.systemGroupByPass) argv.insert(argv.end(), {"-I", "-system_mib,sysORTable"});
        argv.insert(argv.end(), {address.c_str(), nullptr});
        execv(argv[0], const_cast<char**>(argv.data()));
        _exit(127);
    }
    for (int tries = 0; tries < 100; ++tries) {
        if (waitpid(pid_, nullptr, WNOHANG) == pid_) {   // died: port taken or bad config
            pid_ = -1;
            return false;
        }
        if (answers()) return true;
        sleepMs(100);
    }
    stop();
    return false;
}

bool PrivateSnmpd::answers() const
{
    // snmpEngineTime: snmpd's own, whichever of its modules the pass lines replace.
    test::ProgramResult r = client("snmpget", {".1.3.6.1.6.3.10.2.1.3.0"}, {"-t", "0.3", "-r", "0"});
    return r.exitCode == 0 && r.out.find("INTEGER") != std::string::npos;
}

void PrivateSnmpd::stop()
{
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    if (!waitExited(pid_, 5000)) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    pid_ = -1;
}

test::ProgramResult PrivateSnmpd::client(const std::string& tool,
                                         const std::vector<std::string>& operands,
                                         const std::vector<std::string>& options) const
{
    std::vector<std::string> argv = {"-v2c", "-c", endpoint_.community, "-On", "-Oe"};
    argv.insert(argv.end(), options.begin(), options.end());
    argv.push_back(target());
    argv.insert(argv.end(), operands.begin(), operands.end());
    // POSIXLY_CORRECT: a negative value after the target is an operand, not an option.
    return test::runProgram("/usr/bin/" + tool, argv,
                            {{"MIBS", ""}, {"SNMPCONFPATH", dir_}, {"POSIXLY_CORRECT", "1"},
                             {"SNMP_PERSISTENT_DIR", dir_ + "/persist"}});
}

test::ProgramResult PrivateSnmpd::get(const std::vector<std::string>& oids) const
{
    return client("snmpget", oids, kTimeouts);
}

test::ProgramResult PrivateSnmpd::getNext(const std::string& oid) const
{
    return client("snmpgetnext", {oid}, kTimeouts);
}

test::ProgramResult PrivateSnmpd::walk(const std::string& oid) const
{
    return client("snmpwalk", {oid}, kTimeouts);
}

test::ProgramResult PrivateSnmpd::set(const std::string& oid, const std::string& type,
                                      const std::string& value) const
{
    return client("snmpset", {oid, type, value}, kTimeouts);
}

std::string PrivateSnmpd::log() const { return test::readWholeFile(dir_ + "/snmpd.log"); }

} // namespace qv::e2e
