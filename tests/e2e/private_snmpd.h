// A private snmpd for end-to-end tests: its own config, port, persistent dir and pass lines,
// real net-snmp clients against it, stopped again when the object goes away.
#pragma once

#include <sys/socket.h>

#include <string>
#include <sys/types.h>
#include <vector>

#include "temp_root.h"

namespace qv::e2e {

struct PassLine {
    std::string subtree;   // ".1.3.6.1.4.1.93071.2.99"
    std::string program;   // absolute path of the agent
};

// A UDP port on the loopback address of the family (127.0.0.1 or ::1) that was free a moment
// ago; throws when the family has no loopback address here.
int freeUdpPort(int family = AF_INET);

// Where the daemon listens and whom it answers; the defaults suit tests on a shared machine.
struct SnmpdEndpoint {
    int port = 0;                      // 0: a free port
    std::string community = "public";  // read-write from 127.0.0.1
    // snmpd answers the system group itself unless its module is left out ("-I
    // -system_mib,sysORTable"), as a pass line for the group needs.
    bool systemGroupByPass = false;
};

class PrivateSnmpd {
public:
    // Starts `snmpd -f -Lo -C -c CONF udp:127.0.0.1:PORT` with its files in `workDir`
    // (created if missing) and waits until it answers. The pass agents inherit this process's
    // environment, so QV_ROOT reaches them. Throws std::runtime_error when it never answers.
    PrivateSnmpd(const std::string& workDir, const std::vector<PassLine>& passes,
                 const SnmpdEndpoint& endpoint = {});
    ~PrivateSnmpd();
    PrivateSnmpd(const PrivateSnmpd&) = delete;
    PrivateSnmpd& operator=(const PrivateSnmpd&) = delete;

    int port() const { return port_; }
    std::string target() const;   // "udp:127.0.0.1:PORT"

    // Ends the daemon (it is also ended when the object goes away).
    void stop();

    // net-snmp clients, SNMPv2c, the endpoint's community, numeric OIDs ("-On -Oe"):
    // lines like ".1.3.6.1.4.1.93071.2.99.2.0 = INTEGER: 42".
    test::ProgramResult get(const std::vector<std::string>& oids) const;
    test::ProgramResult getNext(const std::string& oid) const;
    test::ProgramResult walk(const std::string& oid) const;
    // `type` is snmpset's type letter (i, u, s, x, a, ...).
    test::ProgramResult set(const std::string& oid, const std::string& type,
                            const std::string& value) const;
    // Any net-snmp client ("snmpbulkwalk", ...): common options, `options`, target, operands.
    test::ProgramResult client(const std::string& tool, const std::vector<std::string>& operands,
                               const std::vector<std::string>& options = {}) const;

    // What snmpd wrote to its log so far.
    std::string log() const;

private:
    bool start(const std::vector<PassLine>& passes);
    bool answers() const;

    std::string dir_;
    SnmpdEndpoint endpoint_;
    int port_ = 0;
    pid_t pid_ = -1;
};

} // namespace qv::e2e
