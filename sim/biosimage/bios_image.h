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

// An option ROM's BIOS: one more type 0 structure whose byte 16 tells its kind (SMBIOS, DMI 2.0);
// in DMI 1.0 its version goes to the "ELOG" area, cut to 8 characters.
enum class AddOnBiosKind : uint8_t { Scsi = 1, Video = 2 };

struct AddOnBios {
    AddOnBiosKind kind = AddOnBiosKind::Video;
    std::string vendor;
    std::string version;
    std::string releaseDate;
};

// Type 4 (DMI 1.0: type 3).
struct ProcessorInfo {
    std::string socket = "CPU1";
    uint8_t type = 3;                // central processor
    uint8_t family = 0x11;           // Pentium III
    std::string manufacturer = "Intel";
    uint64_t id = 0;                 // stepping in the low four bits
    std::string version;
    uint8_t voltage = 0x94;          // 2.0 V
    uint16_t externalClock = 100;    // MHz
    uint16_t maxSpeed = 0;
    uint16_t currentSpeed = 0;
    uint8_t status = 0x41;           // populated, enabled
    uint8_t upgrade = 4;             // ZIF socket
};

// Type 5: one controller for all modules; its slot handles name the type 6 structures.
struct MemoryControllerInfo {
    uint8_t errorDetection = 3;      // none
    uint8_t eccCapabilities = 0x04;  // none
    uint8_t supportedInterleave = 3; // one-way
    uint8_t currentInterleave = 3;
    uint8_t maxModuleSizeExponent = 10;   // 2^10 MB
    uint16_t supportedSpeeds = 0x0004;    // 60 ns
    uint16_t supportedTypes = 0x0100;     // DIMM
    uint8_t voltages = 0x01;              // 5 V
    uint8_t enabledEcc = 0x04;
};

// Type 6 (DMI 1.0: type 4). Sizes are powers of two in MB; 0x7F is an empty slot.
struct MemoryModuleInfo {
    std::string socket;
    uint8_t bankConnections = 0xFF;
    uint8_t speedNs = 0;
    uint16_t type = 0x0100;          // DIMM
    uint8_t installedSize = 0x7F;
    uint8_t enabledSize = 0x7F;
    uint8_t errorStatus = 0;
};

// Type 9 (DMI 1.0: type 7).
struct SystemSlotInfo {
    std::string designation;
    uint8_t type = 6;                // PCI
    uint8_t width = 5;               // 32 bit
    uint8_t usage = 3;               // available
    uint8_t length = 4;              // long
    uint16_t id = 0;
};

enum class PortKind { Serial, Parallel };

// Type 8 connector (DMI 1.0: type 6), counted in DMI 1.0 type 129, and an OEM string of the
// maker's layout: keyword, number, IRQ as one hex digit at 14 (0: no port), base at 15 to 17.
struct PortInfo {
    PortKind kind = PortKind::Serial;
    std::string designation;
    uint8_t connectorType = 0;       // from the port kind when 0
    uint8_t portType = 0;            // from the port kind when 0 (serial 6 to 9, parallel 1 to 5)
    uint8_t irq = 0;                 // 0 to 15
    uint16_t baseAddress = 0;        // 0 to 0xFFF
};

// The maker's OEM data: the BIOS flags string and free further strings (SMBIOS/DMI 2.0 type 11).
struct OemInfo {
    std::optional<uint8_t> flags;
    std::vector<std::string> extraStrings;
};

// PCI interrupt routing: one "$PIR" entry per device.
struct PirEntry {
    uint8_t bus = 0;
    uint8_t device = 0;              // 0 to 31
    uint8_t slot = 0;
    uint8_t links[4] = {};
    uint16_t irqBitmap = 0xDEB8;
};

struct PirTable {
    uint8_t routerBus = 0;
    uint8_t routerDevFn = 0x38;      // device 7, function 0
    uint16_t exclusiveIrqs = 0;
    uint32_t compatibleRouter = 0;   // vendor and device of the router
    std::vector<PirEntry> entries;
};

// Floppy types of CMOS byte 16: 0 none, 1 360 KB, 2 1.2 MB, 3 720 KB, 4 1.44 MB.
struct CmosInfo {
    uint8_t floppy0Type = 4;
    uint8_t floppy1Type = 0;
};

struct BiosInventory {
    DmiFormat format = DmiFormat::Smbios21;   // what a scenario asks for; callers may override
    std::optional<uint8_t> modelCode;         // no maker record when empty
    std::optional<BiosInfo> biosInfo = BiosInfo{};
    std::optional<SystemInfo> systemInfo = SystemInfo{};
    std::vector<AddOnBios> addOnBioses;
    std::vector<ProcessorInfo> processors;
    std::optional<MemoryControllerInfo> memoryController;
    std::vector<MemoryModuleInfo> memoryModules;
    std::vector<SystemSlotInfo> slots;
    std::vector<PortInfo> ports;
    std::optional<OemInfo> oem;
    std::optional<PirTable> pir;
    std::optional<CmosInfo> cmos;
    std::vector<DmiStructure> structures;     // rendered after the ones above, in order
};

// The whole 1 MiB image. Throws std::invalid_argument for a structure the format cannot carry
// (too long, a string that is empty or holds a NUL, too many strings) and std::length_error when
// the tables outgrow their area.
std::vector<uint8_t> renderBiosImage(const BiosInventory& inventory, DmiFormat format);

// Replaces `path` as a whole (temporary file, fsync, rename); creates missing parent directories.
// Writes the CMOS image (/dev/nvram) as well.
bool writeBiosImage(const std::string& path, const std::vector<uint8_t>& image);

// The CMOS bytes from index 14 on, as /dev/nvram numbers them (index 14 at offset 0), with the
// standard checksum of indexes 16 to 45 at 46 and 47; nothing when the inventory has no CMOS.
inline constexpr std::size_t kNvramFirstIndex = 14;
inline constexpr std::size_t kNvramSize = 128 - kNvramFirstIndex;
std::optional<std::vector<uint8_t>> renderNvramImage(const BiosInventory& inventory);

// The maker's OEM strings of the inventory, in table order (the flags string, then one per port,
// then the extra strings). Throws std::invalid_argument on an IRQ or base address out of range.
std::vector<std::string> composeOemStrings(const BiosInventory& inventory);

// The "bios" section of a scenario file. Missing keys keep the defaults above; a null
// "biosInfo"/"systemInfo" leaves that structure out. Throws std::invalid_argument on bad values.
BiosInventory parseBiosInventory(const nlohmann::json& section);

} // namespace qv::sim
