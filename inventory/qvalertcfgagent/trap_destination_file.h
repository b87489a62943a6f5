// Adding and removing hosts in the trap destination file /usr/qvserver/etc/qvtraps.cfg.
#pragma once

#include <optional>
#include <string>

namespace qv::inventory {

inline constexpr char kTrapDestinationFile[] = "/usr/qvserver/etc/qvtraps.cfg";
inline constexpr char kTrapDestinationLock[] = "/var/qvserver/qvtraps.lck";

// The new file contents. Adding keeps every line and appends "HOST mantle 162" unless a line
// already starts with the host. Removing drops the host's lines and lines of blanks only, and
// gives nothing when no line named the host.
std::string withHostAdded(const std::string& contents, const std::string& host);
std::optional<std::string> withHostRemoved(const std::string& contents, const std::string& host);

// Rewrite the destination file (below the sandbox root) through a temporary file in its
// directory and a rename; 0 or -1. The caller holds the lock.
int addHostEntry(const std::string& _host);
int removeHostEntry(const std::string& _host);

} // namespace qv::inventory
