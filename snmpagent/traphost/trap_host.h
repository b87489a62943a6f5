// The hosts a trap destination may name. The configuration agent writes only these into the
// destination file and the trap daemons send only to these, so both read the file alike; a host
// ends up in snmptrap's argument vector, so nothing else gets through.
#pragma once

#include <string>

namespace trapsend {

// A host name or IPv4 address (letters, digits, '.', '-', '_', not starting with '-' or '.'), or
// an IPv6 literal; 1 to 255 characters.
bool isTrapHost(const std::string& host);

// snmptrap's destination argument: HOST:PORT, or udp6:[ADDRESS]:PORT for an IPv6 literal (whose
// own colons would otherwise be read as the port separator).
std::string snmptrapAddress(const std::string& host, const std::string& port);

} // namespace trapsend
