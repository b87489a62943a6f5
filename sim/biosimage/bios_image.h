// BIOS memory image of the simulated server: a 1 MiB file in which offset = physical address,
// carrying the SMBIOS 2.1, DMI 2.0 or DMI 1.0 tables that describe the server's inventory.
// Written from the table standards and the maker's documented records, independently of the
// product's readers, so a reading fault shows up as a failing test.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json_fwd.hpp>

namespace qv::sim {

enum class DmiFormat { Smbios21, Dmi20, Dmi10 };

inline constexpr std::size_t kBiosImageSize = 0x100000;

// "smbios21", "dmi20", "dmi10"; empty for any other name.
std::optional<DmiFormat> dmiFormatFromName(std::string_view name);

// Type 0 (DMI 1.0: type 1 and the BIOS version of type 132).
struct BiosInfo {
    std::string vendor = "Quorvane";
    std::string version = "QV.10.01.0007";
    std::string releaseDate = "03/15/1999";
    // ISA, PCI, PnP, upgradeable, shadowing. Byte 6 (table byte 16) stays 0: the maker's readers
    // take it as the BIOS kind, 0 being the system BIOS.
    uint64_t characteristics = 0x1A90;
};

// Type 1 (DMI 1.0: type 2 system component).
struct SystemInfo {
    std::string manufacturer = "Quorvane";
    std::string product = "Velkarn";
    std::string version = "1";
    std::string serial = "QV99120047";
};

// A structure given as raw bytes. `data` is the formatted area after the header (SMBIOS and
// DMI 2.0: type, length, handle; DMI 1.0: type, length). `strings` are numbered from 1 as the
// SMBIOS-style tables number them; DMI 1.0 records address strings by pointer, so they are not
// rendered there.
struct DmiStructure {
    uint8_t type = 0;
    std::vector<uint8_t> data;
    std::vector<std::string> strings;
};

struct BiosInventory {
    DmiFormat format = DmiFormat::Smbios21;   // what a scenario asks for; callers may override
    std::optional<uint8_t> modelCode;         // no maker record when empty
    std::optional<BiosInfo> biosInfo = BiosInfo{};
    std::optional<SystemInfo> systemInfo = SystemInfo{};
    std::vector<DmiStructure> structures;     // rendered after the ones above, in order
};

// The whole 1 MiB image. Throws std::invalid_argument for a structure the format cannot carry
// (too long, a string that is empty or holds a NUL, too many strings) and std::length_error when
// the tables outgrow their area.
std::vector<uint8_t> renderBiosImage(const BiosInventory& inventory, DmiFormat format);

// Replaces `path` as a whole (temporary file, fsync, rename); creates missing parent directories.
bool writeBiosImage(const std::string& path, const std::vector<uint8_t>& image);

// The "bios" section of a scenario file. Missing keys keep the defaults above; a null
// "biosInfo"/"systemInfo" leaves that structure out. Throws std::invalid_argument on bad values.
BiosInventory parseBiosInventory(const nlohmann::json& section);

} // namespace qv::sim
