// The PCI agent checked against independent readers of the same fixtures: lspci reading the
// /proc/bus/pci tree, and biosdecode reading the "$PIR" table of the BIOS image.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <unistd.h>
#include <vector>

#include "bios_image.h"
#include "pci_fixture.h"
#include "registry.h"
#include "temp_root.h"

namespace {

const std::string kTable = ".1.3.6.1.4.1.93071.2.23.10.4.1.1";

std::string findTool(const char* name)
{
    for (const char* dir : {"/usr/bin/", "/usr/sbin/", "/bin/", "/sbin/"}) {
        const std::string path = std::string(dir) + name;
        if (::access(path.c_str(), X_OK) == 0) return path;
    }
    return "";
}

using Function = std::tuple<unsigned, unsigned, unsigned>;   // bus, device, function

class PciCrossCheck : public ::testing::Test {
protected:
    void SetUp() override
    {
        const uint32_t model = 55;
        ASSERT_EQ(SetRegData("SOFTWARE\\Quorvane\\Trivoke=SpuNum", &model, sizeof model), 0u);
    }

    // The agent's answer to one request: instance and value line, empty when it has none.
    std::pair<std::string, std::string> ask(const char* op, const std::string& oid)
    {
        const auto r = qv::test::runProgram(qv::test::installedPath("inventory/qvslotagent/qvslotagent"), {op, oid});
        std::istringstream lines(r.out);
        std::string instance, type, value;
        if (r.exitCode != 0 || !std::getline(lines, instance) || !std::getline(lines, type) ||
            !std::getline(lines, value))
            return {};
        return {instance, value};
    }
    std::string get(const std::string& oid) { return ask("-g", oid).second; }

    // Walks one column with GETNEXT as snmpwalk does: each row's function and value.
    std::vector<std::pair<Function, std::string>> walkColumn(int column)
    {
        const std::string prefix = kTable + "." + std::to_string(column) + ".";
        std::vector<std::pair<Function, std::string>> rows;
        std::string at = prefix.substr(0, prefix.size() - 1);
        for (;;) {
            const auto [instance, value] = ask("-n", at);
            if (instance.compare(0, prefix.size(), prefix) != 0) break;
            unsigned bus = 0, device = 0, function = 0;
            EXPECT_EQ(std::sscanf(instance.c_str() + prefix.size(), "%u.%u.%u", &bus, &device, &function), 3)
                << instance;
            rows.push_back({{bus, device, function}, value});
            at = instance;
            if (rows.size() > 300) break;   // a walk that does not advance
        }
        return rows;
    }

    qv::test::TempRoot root;
};

// One function as "BB:DD.F VVVV:DDDD class CCSSPP rev RR".
std::string describe(unsigned bus, unsigned dev, unsigned fn, unsigned vendor, unsigned device,
                     unsigned classWord, unsigned progIf, unsigned revision)
{
    char text[80];
    std::snprintf(text, sizeof text, "%02x:%02x.%x %04x:%04x class %04x%02x rev %02x", bus, dev, fn, vendor,
                  device, classWord, progIf, revision);
    return text;
}

// lspci -nmm lines: BB:DD.F "CCSS" "VVVV" "DDDD" [-rRR] [-pPP] "SVVV" "SDDD"
std::vector<std::string> parseLspci(const std::string& out)
{
    std::vector<std::string> functions;
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        unsigned bus, dev, fn, classWord, vendor, device, revision = 0, progIf = 0;
        if (std::sscanf(line.c_str(), "%x:%x.%x \"%x\" \"%x\" \"%x\"", &bus, &dev, &fn, &classWord, &vendor,
                        &device) != 6) {
            ADD_FAILURE() << "unexpected lspci line: " << line;
            continue;
        }
        if (const size_t r = line.find(" -r"); r != std::string::npos) std::sscanf(line.c_str() + r + 3, "%x", &revision);
        if (const size_t p = line.find(" -p"); p != std::string::npos) std::sscanf(line.c_str() + p + 3, "%x", &progIf);
        functions.push_back(describe(bus, dev, fn, vendor, device, classWord, progIf, revision));
    }
    return functions;
}

TEST_F(PciCrossCheck, TableMatchesWhatLspciReadsFromTheSameTree)
{
    const std::string lspci = findTool("lspci");
    if (lspci.empty()) GTEST_SKIP() << "lspci is not installed";

    // Written out of order, with a multi-function device, a high bus and device, revision 0.
    qv::test::writeProcBusPci(root, {
        {0x0a, 0x1f, 7, 0x1000, 0x0030, 0x01, 0x00, 0x00, 0x01},
        {0x00, 0x00, 0, 0x8086, 0x1237, 0x06, 0x00, 0x00},
        {0x00, 0x07, 3, 0x8086, 0x7113, 0x06, 0x80, 0x00, 0x00},
        {0x00, 0x07, 0, 0x8086, 0x7110, 0x06, 0x01, 0x00},
        {0x00, 0x07, 1, 0x8086, 0x7111, 0x01, 0x01, 0x80, 0x01},
        {0x00, 0x0f, 0, 0x8086, 0x7112, 0x0c, 0x03, 0x10},
        {0x01, 0x00, 0, 0x10de, 0x0001, 0x03, 0x00, 0x00, 0xa1},
    });

    const auto listed = qv::test::runProgram(
        lspci, {"-A", "linux-proc", "-O", "proc.path=" + root.at("/proc/bus/pci"), "-nmm"});
    ASSERT_EQ(listed.exitCode, 0) << listed.err;
    const std::vector<std::string> expected = parseLspci(listed.out);
    ASSERT_EQ(expected.size(), 7u) << listed.out;

    std::vector<std::string> served;
    for (const auto& [fn, busValue] : walkColumn(1)) {
        const auto [bus, dev, func] = fn;
        char instance[32];
        std::snprintf(instance, sizeof instance, ".%u.%u.%u", bus, dev, func);
        auto number = [&](int column) { return std::stoul(get(kTable + "." + std::to_string(column) + instance)); };
        // Row numbers from the instance must agree with the row's own bus, device and function.
        EXPECT_EQ(std::stoul(busValue), bus);
        EXPECT_EQ(number(2), dev);
        EXPECT_EQ(number(3), func);
        unsigned base = 0, sub = 0, progIf = 0;
        const std::string classCode = get(kTable + ".8" + instance);
        EXPECT_EQ(std::sscanf(classCode.c_str(), "%x %x %x", &base, &sub, &progIf), 3) << classCode;
        served.push_back(describe(bus, dev, func, number(4), number(5), (base << 8) | sub, progIf, number(6)));
    }
    EXPECT_EQ(served, expected);
}

// biosdecode's "$PIR" lines: "Device: BB:DD, slot N" or "Device: BB:DD, on-board".
std::map<std::pair<unsigned, unsigned>, int> parseBiosdecodePir(const std::string& out)
{
    std::map<std::pair<unsigned, unsigned>, int> slots;
    std::istringstream lines(out);
    std::string line;
    bool inPir = false;
    while (std::getline(lines, line)) {
        if (!line.empty() && line[0] != '\t') inPir = line.find("PCI Interrupt Routing") != std::string::npos;
        unsigned bus, dev;
        char rest[32] = {};
        if (!inPir || std::sscanf(line.c_str(), "\tDevice: %x:%x, %31[^\n]", &bus, &dev, rest) != 3) continue;
        int slot = 0;
        if (std::strcmp(rest, "on-board") != 0 && std::sscanf(rest, "slot %d", &slot) != 1)
            ADD_FAILURE() << "unexpected biosdecode line: " << line;
        slots.emplace(std::make_pair(bus, dev), slot);   // the first entry of a device counts
    }
    return slots;
}

TEST_F(PciCrossCheck, SlotColumnMatchesBiosdecodesRoutingTable)
{
    const std::string biosdecode = findTool("biosdecode");
    if (biosdecode.empty()) GTEST_SKIP() << "biosdecode is not installed";

    qv::test::writeProcBusPci(root, {
        {0x00, 0x00, 0, 0x8086, 0x1237, 0x06, 0x00, 0x00},   // no routing entry
        {0x00, 0x07, 0, 0x8086, 0x7110, 0x06, 0x01, 0x00},
        {0x00, 0x07, 2, 0x8086, 0x7112, 0x0c, 0x03, 0x00},
        {0x00, 0x0f, 0, 0x9004, 0x7178, 0x01, 0x00, 0x00},
        {0x01, 0x03, 0, 0x8086, 0x1229, 0x02, 0x00, 0x00},
        {0x0a, 0x1f, 0, 0x10de, 0x0001, 0x03, 0x00, 0x00},
    });
    qv::sim::BiosInventory inventory;
    inventory.modelCode = 55;
    qv::sim::PirTable pir;
    pir.compatibleRouter = 0x71108086;
    pir.entries = {{0, 7, 0, {0x60, 0x61, 0x62, 0x63}, 0xDEB8}, {0, 15, 1, {0x61, 0, 0, 0}, 0xDEB8},
                   {1, 3, 4, {0x62, 0x63, 0, 0}, 0x0C00}, {10, 31, 127, {0x63, 0, 0, 0}, 0x0C00}};
    inventory.pir = pir;
    std::vector<uint8_t> image = qv::sim::renderBiosImage(inventory, qv::sim::DmiFormat::Smbios21);

    const auto check = [&](const char* label) {
        ASSERT_TRUE(qv::sim::writeBiosImage(root.at("/dev/mem"), image)) << label;
        const auto decoded = qv::test::runProgram(biosdecode, {"-d", root.at("/dev/mem")});
        ASSERT_EQ(decoded.exitCode, 0) << decoded.err;
        const auto slots = parseBiosdecodePir(decoded.out);
        ASSERT_EQ(slots.size(), 4u) << label << "\n" << decoded.out;

        const auto rows = walkColumn(21);
        ASSERT_EQ(rows.size(), 6u) << label;
        size_t routed = 0;
        for (const auto& [fn, value] : rows) {
            const auto [bus, dev, func] = fn;
            const auto entry = slots.find({bus, dev});
            routed += entry != slots.end();
            EXPECT_EQ(value, std::to_string(entry == slots.end() ? 0 : entry->second))
                << label << " " << bus << ":" << dev << "." << func;
        }
        EXPECT_EQ(routed, 5u) << label;
    };
    check("table alone");

    // The signature text elsewhere in the BIOS segment (code, strings), off the 16-byte grid the
    // table sits on, must not hide the real table: here with a size word of 0, then one that
    // does not sum to 0.
    std::memcpy(image.data() + 0xF0123, "$PIR", 4);
    check("stray signature with size 0");
    std::memcpy(image.data() + 0xF0123, "$PIR\x00\x01\x40\x00", 8);
    check("stray signature with a bad sum");
}

} // namespace
