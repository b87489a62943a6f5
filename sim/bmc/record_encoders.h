// Scenario records described in JSON, encoded as the IPMI platform management standard lays them
// out: SDRs (full sensor, FRU locator, controller locator, or raw bytes) and the FRU inventory
// (common header, chassis, board and product areas with their checksums).
#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <vector>

namespace qv::sim {

// Bytes from a number, a hex string ("01 ab ff" or "01abff") or an array of numbers.
std::vector<uint8_t> bytesFromJson(const nlohmann::json& value);
uint32_t numberFromJson(const nlohmann::json& value);   // 12 or "0x0c"

std::vector<uint8_t> encodeSdr(const nlohmann::json& record, uint8_t sdrVersion);
std::vector<uint8_t> encodeFru(const nlohmann::json& fru);
std::vector<uint8_t> encodeSelEntry(const nlohmann::json& entry);

} // namespace qv::sim
