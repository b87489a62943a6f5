// Per-interface counter baselines in section [Utilization] of the NIC settings file. Every
// access holds the NIC lock file, like every other writer of that file.
#pragma once

#include <cstdint>
#include <string>

namespace nicbaseline {

// The stored counter as an unsigned 32-bit number (deltas are taken modulo 2^32); 0 when the
// key is absent.
uint32_t read(const std::string& key);

// Stores the counter as "%u"; false when the lock was not obtained.
bool write(const std::string& key, uint32_t counter);

} // namespace nicbaseline
