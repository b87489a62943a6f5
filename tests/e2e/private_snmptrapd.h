// A private snmptrapd in the foreground on a free port, its output in a file below the root,
// stopped and reaped when the object goes away.
#pragma once

#include "temp_root.h"

#include <string>
#include <sys/types.h>

namespace qv::e2e {

class PrivateSnmptrapd {
public:
    // Listens on LISTEN_PREFIX + PORT (udp:127.0.0.1:PORT unless told otherwise, such as
    // "udp6:[::1]:"); its files are NAME.conf, NAME.out and NAME.persist in the root. Call
    // ready() before sending.
    PrivateSnmptrapd(const test::TempRoot& root, const std::string& name, int port,
                     const std::string& listenPrefix = "udp:127.0.0.1:");
    ~PrivateSnmptrapd();
    PrivateSnmptrapd(const PrivateSnmptrapd&) = delete;
    PrivateSnmptrapd& operator=(const PrivateSnmptrapd&) = delete;

    int port() const { return port_; }
    std::string output() const;
    // True once `text` is in the output, false after `ms` without it.
    bool waitFor(const std::string& text, int ms = 10000) const;
    bool ready() const { return waitFor("NET-SNMP version"); }

private:
    std::string output_;
    int port_;
    pid_t pid_ = -1;
};

} // namespace qv::e2e
