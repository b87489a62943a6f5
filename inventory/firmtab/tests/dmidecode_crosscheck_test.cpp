// What the SMBAPI functions read from a full SMBIOS image agrees with what an independent decoder
// prints for the same fields; values the functions compose are derived from the decoder's fields.
#include <unistd.h>

#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "bios_fixture.h"
#include "bios_image.h"
#include "dmi_globals.h"
#include "smbapi.h"

namespace {

const char* const kDmidecode = "/usr/sbin/dmidecode";
const char* const kBiosdecode = "/usr/sbin/biosdecode";

using Record = std::map<std::string, std::string>;

qv::sim::BiosInventory fullInventory()
{
    using namespace qv::sim;
    BiosInventory inv;
    inv.modelCode = 66;
    inv.systemInfo = SystemInfo{"Quorvane", "Velkarn 5500", "B2", "QV00031337"};
    inv.addOnBioses = {{AddOnBiosKind::Video, "Quorvane", "VGA 3.10", "11/02/1998"},
                       {AddOnBiosKind::Scsi, "Quorvane", "SCSI2.01", "01/12/1999"}};
    ProcessorInfo cpu;
    cpu.id = 0x0383F9FF00000683;
    cpu.version = "Pentium III";
    cpu.maxSpeed = 1000;
    cpu.currentSpeed = 550;
    ProcessorInfo blank = cpu;   // a blank version and a disabled processor
    blank.socket = "CPU2";
    blank.version = "   ";
    blank.id = 0x0383F9FF00000672;
    blank.currentSpeed = 500;
    blank.status = 0x42;
    inv.processors = {cpu, blank};
    inv.memoryController = MemoryControllerInfo{};
    inv.memoryModules = {{"DIMM1", 0x01, 60, 0x0100, 7, 7, 0},
                         {"DIMM2", 0x2F, 70, 0x0100, 8, 6, 0},
                         {"DIMM3", 0xFF, 0, 0x0100, 0x7F, 0x7F, 0},
                         {"DIMM4", 0x45, 60, 0x0100, 5, 5, 0}};
    inv.slots = {{"PCI1", 6, 5, 4, 4, 1}};
    inv.ports = {{PortKind::Serial, "COM1", 0, 0, 4, 0x3F8}, {PortKind::Parallel, "LPT1", 0, 0, 7, 0x378}};
    inv.oem = OemInfo{0x11, {}};
    PirTable pir;
    pir.entries = {{0, 15, 1, {0x60, 0x61, 0x62, 0x63}, 0xDEB8}, {0, 16, 2, {0x61, 0, 0, 0}, 0xDEB8}};
    inv.pir = pir;
    return inv;
}

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

int leadingNumber(const std::string& text) { return std::stoi(text); }

class SmbapiAgreesWithDmidecode : public ::testing::Test, protected qv::test::BiosImageTest {
protected:
    void SetUp() override
    {
        if (::access(kDmidecode, X_OK) != 0) GTEST_SKIP() << "dmidecode is not installed";
        writeImage(qv::sim::renderBiosImage(fullInventory(), qv::sim::DmiFormat::Smbios21));
        bios_ = std::make_unique<qv::test::OpenBios>();
        SetDmiObjects(&bios_->driver, &bios_->bios);
    }
    void TearDown() override { SetDmiObjects(nullptr, nullptr); }

    std::string decode(std::vector<std::string> args)
    {
        args.insert(args.begin(), {"--no-sysfs", "-d", root.at("/dev/mem")});
        const auto run = qv::test::runProgram(kDmidecode, args);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        return run.out;
    }

    // "-s KEYWORD": one line per structure holding the field.
    std::vector<std::string> keyword(const std::string& name) { return lines(decode({"-s", name})); }

    // The "Key: Value" lines of each structure of a type, in table order.
    std::vector<Record> records(int type)
    {
        std::vector<Record> out;
        for (const auto& line : lines(decode({"-t", std::to_string(type)}))) {
            if (line.rfind("Handle ", 0) == 0) out.emplace_back();
            if (out.empty() || line.size() < 2 || line[0] != '\t' || line[1] == '\t') continue;
            const auto colon = line.find(':');
            if (colon == std::string::npos) continue;
            out.back()[line.substr(1, colon - 1)] = colon + 2 <= line.size() ? line.substr(colon + 2) : "";
        }
        return out;
    }

    // The formatted area of each structure of a type, as the decoder dumps it.
    std::vector<std::vector<uint8_t>> dumps(int type)
    {
        std::vector<std::vector<uint8_t>> out;
        bool inData = false;
        for (const auto& line : lines(decode({"-u", "-t", std::to_string(type)}))) {
            if (line == "\tHeader and Data:") {
                out.emplace_back();
                inData = true;
            } else if (inData && line.rfind("\t\t", 0) == 0) {
                std::istringstream hex(line);
                for (unsigned byte; hex >> std::hex >> byte;) out.back().push_back(static_cast<uint8_t>(byte));
            } else {
                inData = false;
            }
        }
        return out;
    }

    std::unique_ptr<qv::test::OpenBios> bios_;
};

template <typename Call>
std::string text(Call call)
{
    char buffer[256] = {};
    EXPECT_EQ(call(buffer, int(sizeof buffer)), 0);
    return buffer;
}

std::string indexed(int (*call)(int, char*, int), int index)
{
    return text([&](char* b, int l) { return call(index, b, l); });
}

TEST_F(SmbapiAgreesWithDmidecode, BiosAndSystemTexts)
{
    // One type 0 structure per BIOS; its byte 16 tells which: 0 system, 1 SCSI, 2 video.
    const auto versions = keyword("bios-version");
    const auto kinds = dumps(0);
    ASSERT_EQ(versions.size(), kinds.size());
    auto versionOfKind = [&](uint8_t kind) -> std::string {
        for (std::size_t i = 0; i < kinds.size(); ++i)
            if (kinds[i].size() > 16 && kinds[i][16] == kind) return versions[i];
        return "Unknown";
    };
    EXPECT_EQ(text(SMBAPI_GetBiosVersion), versionOfKind(0));
    EXPECT_EQ(text(SMBAPI_GetSCSIBiosVersion), versionOfKind(1));
    EXPECT_EQ(text(SMBAPI_GetVideoBiosVersion), versionOfKind(2));

    EXPECT_EQ(text(SMBAPI_GetComputerName), keyword("system-manufacturer").at(0));
    EXPECT_EQ(text(SMBAPI_GetSystemModel),
              keyword("system-product-name").at(0) + " " + keyword("system-version").at(0));
    std::string serial = keyword("system-serial-number").at(0);
    if (serial == "1234567890") serial = "Unknown";   // the placeholder BIOSes ship with
    EXPECT_EQ(text(SMBAPI_GetQVSerialNumber), serial);
    EXPECT_EQ(text(SMBAPI_GetSerialNumber), serial);
}

TEST_F(SmbapiAgreesWithDmidecode, Processors)
{
    const auto cpus = records(4);
    const auto raw = dumps(4);
    ASSERT_EQ(cpus.size(), 2u);
    ASSERT_EQ(raw.size(), cpus.size());
    int enabled = 0;
    for (int i = 0; i < int(cpus.size()); ++i) {
        const Record& cpu = cpus[i];
        SCOPED_TRACE(cpu.at("Socket Designation"));
        EXPECT_EQ(indexed(SMBAPI_GetProcessorSpeed, i), std::to_string(leadingNumber(cpu.at("Current Speed"))));
        // A version of blanks only reads as the generic name.
        const std::string version = cpu.at("Version");
        const bool blank = version.find_first_not_of(' ') == std::string::npos;
        EXPECT_EQ(indexed(SMBAPI_GetProcessorVersion, i), blank ? "Pentium class" : version);
        // The stepping is the low four bits of the identification's first byte.
        EXPECT_EQ(indexed(SMBAPI_GetProcessorStepping, i),
                  std::to_string(std::stoi(cpu.at("ID").substr(0, 2), nullptr, 16) & 0xF));
        enabled += cpu.at("Status") == "Populated, Enabled";
    }
    EXPECT_EQ(SMBAPI_GetTotalNumberOfProcessors(), enabled);
    EXPECT_EQ(text(SMBAPI_GetProcessorType), std::to_string(raw[0].at(6)));   // the family byte
}

// "0 1" is two banks; "None" is the byte 0xFF, which reads as bank 15 alone.
std::string bankText(const std::string& banks)
{
    std::istringstream in(banks == "None" ? "15" : banks);
    std::string out;
    for (std::string bank; in >> bank;) out += (out.empty() ? "RAS# " : "& RAS# ") + bank + " ";
    return out;
}

// "128 MB (Single-bank Connection)"; an empty slot reads as "0".
std::string sizeText(const std::string& size)
{
    return size == "Not Installed" ? "0" : std::to_string(leadingNumber(size)) + " MB\t";
}

TEST_F(SmbapiAgreesWithDmidecode, MemoryModules)
{
    const auto modules = records(6);
    ASSERT_EQ(SMBAPI_GetNumberOfMemMod(), int(modules.size()));
    ASSERT_EQ(modules.size(), 4u);
    int totalMb = 0;
    for (int i = 0; i < int(modules.size()); ++i) {
        const Record& m = modules[i];
        SCOPED_TRACE(m.at("Socket Designation"));
        const bool installed = m.at("Installed Size") != "Not Installed";
        EXPECT_EQ(indexed(SMBAPI_GetMemModSocket, i), m.at("Socket Designation"));
        EXPECT_EQ(indexed(SMBAPI_GetModBankConnect, i), installed ? bankText(m.at("Bank Connections")) : "-");
        EXPECT_EQ(indexed(SMBAPI_GetModSpeed, i),
                  installed ? std::to_string(leadingNumber(m.at("Current Speed"))) : "0");
        EXPECT_EQ(indexed(SMBAPI_GetModInstalledSize, i), sizeText(m.at("Installed Size")));
        EXPECT_EQ(indexed(SMBAPI_GetModEnabledSize, i), sizeText(m.at("Enabled Size")));
        if (installed) totalMb += leadingNumber(m.at("Installed Size"));
    }
    EXPECT_EQ(text(SMBAPI_GetTotalMemSize), std::to_string(totalMb) + " MB");

    const auto controllers = records(5);
    ASSERT_EQ(controllers.size(), 1u);
    EXPECT_EQ(text(SMBAPI_GetMaxModSize), controllers[0].at("Maximum Memory Module Size"));
    EXPECT_EQ(text(SMBAPI_GetMemNumSlots), controllers[0].at("Associated Memory Slots"));
}

TEST(BiosdecodeSeesRoutingTable, EveryEntryWithItsSlot)
{
    if (::access(kBiosdecode, X_OK) != 0) GTEST_SKIP() << "biosdecode is not installed";
    qv::test::TempRoot root;
    qv::test::writeBinary(root.at("/dev/mem"), qv::sim::renderBiosImage(fullInventory(), qv::sim::DmiFormat::Smbios21));
    const auto run = qv::test::runProgram(kBiosdecode, {"-d", root.at("/dev/mem")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("PCI Interrupt Routing 1.0 present."), std::string::npos) << run.out;
    for (const char* device : {"Device: 00:0f, slot 1", "Device: 00:10, slot 2"})
        EXPECT_NE(run.out.find(device), std::string::npos) << device << "\n" << run.out;
}

} // namespace
