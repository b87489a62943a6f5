// The PCI agent on a /proc/bus/pci fixture and a BIOS image carrying a "$PIR" table.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <vector>

#include "pci_fixture.h"
#include "pci_slot_info.h"
#include "registry.h"
#include "temp_root.h"

namespace {

constexpr char kTable[] = ".1.3.6.1.4.1.93071.2.23.10.4.1.1";

std::string configSpace(uint16_t vendor, uint16_t device, uint8_t progIf, uint8_t subclass, uint8_t base)
{
    return qv::test::configSpace({0, 0, 0, vendor, device, base, subclass, progIf});
}

// A $PIR table of the given entries {bus, device, slot}; `breakChecksum` spoils its sum.
std::vector<uint8_t> pirTable(const std::vector<std::array<uint8_t, 3>>& entries, bool breakChecksum = false)
{
    std::vector<uint8_t> t(sizeof(PirHeader) + entries.size() * sizeof(PirSlotEntry), 0);
    std::memcpy(t.data(), "$PIR", 4);
    t[4] = 0, t[5] = 1;
    t[6] = uint8_t(t.size() & 0xFF), t[7] = uint8_t(t.size() >> 8);
    for (size_t i = 0; i < entries.size(); ++i) {
        uint8_t* e = t.data() + sizeof(PirHeader) + i * sizeof(PirSlotEntry);
        e[0] = entries[i][0], e[1] = uint8_t(entries[i][1] << 3), e[14] = entries[i][2];
    }
    uint8_t sum = 0;
    for (uint8_t b : t) sum = uint8_t(sum + b);
    t[31] = uint8_t(-sum + (breakChecksum ? 1 : 0));
    return t;
}

TEST(PirTableTest, EntriesOnlyFromAWholeValidTable)
{
    std::vector<uint8_t> segment(0x10000, 0);
    const std::vector<uint8_t> good = pirTable({{0, 15, 3}, {1, 0, 0xFF}});
    std::copy(good.begin(), good.end(), segment.begin() + 0x130);
    std::vector<PCI_SLOT_INFO> slots = parsePirTable(segment.data(), segment.size());
    ASSERT_EQ(slots.size(), 2u);
    EXPECT_EQ(slots[0].BusNum, 0);
    EXPECT_EQ(slots[0].DeviceNum, 15);
    EXPECT_EQ(slots[0].SlotNum, 3);
    EXPECT_EQ(slots[1].SlotNum, -1);   // a signed byte

    const std::vector<uint8_t> bad = pirTable({{0, 15, 3}}, true);
    std::copy(bad.begin(), bad.end(), segment.begin() + 0x130);
    EXPECT_TRUE(parsePirTable(segment.data(), segment.size()).empty());

    // A size word that runs past the segment is refused instead of read beyond it.
    std::vector<uint8_t> tail(0x10000, 0);
    std::copy(good.begin(), good.end(), tail.end() - 64);
    tail[tail.size() - 64 + 6] = 0xFF;
    EXPECT_TRUE(parsePirTable(tail.data(), tail.size()).empty());
}

TEST(PirTableTest, AnInvalidCandidateDoesNotHideTheTableAfterIt)
{
    std::vector<uint8_t> segment(0x10000, 0);
    const std::vector<uint8_t> good = pirTable({{1, 3, 4}});
    std::copy(good.begin(), good.end(), segment.begin() + 0x1000);
    const std::vector<uint8_t> bad = pirTable({{0, 15, 3}}, true);
    std::copy(bad.begin(), bad.end(), segment.begin() + 0x200);
    std::memcpy(segment.data() + 0x123, "$PIR\x00\x01\xFF\xFF", 8);   // size beyond the segment
    std::memcpy(segment.data() + 0x345, "$PIR", 4);                     // size 0: sums to 0 trivially
    const std::vector<PCI_SLOT_INFO> slots = parsePirTable(segment.data(), segment.size());
    ASSERT_EQ(slots.size(), 1u);
    EXPECT_EQ(slots[0].BusNum, 1);
    EXPECT_EQ(slots[0].SlotNum, 4);
}

class PciAgent : public ::testing::Test {
protected:
    void SetUp() override
    {
        const uint32_t model = 55;
        ASSERT_EQ(SetRegData("SOFTWARE\\Quorvane\\Trivoke=SpuNum", &model, sizeof model), 0u);
        // Written in descending order: the agent must not depend on directory order.
        root.writeFile("/proc/bus/pci/01/00.0", configSpace(0x10DE, 0x0001, 0, 0, 3));
        root.writeFile("/proc/bus/pci/00/0f.0", configSpace(0x8086, 0x7112, 0x10, 0x03, 0x0C));
        root.writeFile("/proc/bus/pci/00/00.0", configSpace(0x8086, 0x1237, 0, 0, 6).substr(0, 48));
        root.writeFile("/proc/bus/pci/devices", "0000\t80861237\t0\n0078\t80867112\t0\n0100\t10de0001\t0\n");
    }
    void writeBiosImage(const std::vector<uint8_t>& table)
    {
        std::string image(0x100000, '\0');
        std::copy(table.begin(), table.end(), image.begin() + 0xF0000 + 0x4A0);
        root.writeFile("/dev/mem", image);
    }
    qv::test::ProgramResult agent(const char* op, const std::string& oid)
    {
        return qv::test::runProgram(qv::test::installedPath("inventory/qvslotagent/qvslotagent"), {op, oid});
    }
    // The value line of a GET, empty when there is no such instance.
    std::string get(const std::string& oid)
    {
        const qv::test::ProgramResult r = agent("-g", oid);
        const size_t last = r.out.rfind('\n', r.out.size() - 2);
        return r.exitCode == 0 && last != std::string::npos ? r.out.substr(last + 1) : "";
    }
    std::string nextOid(const std::string& oid)
    {
        const qv::test::ProgramResult r = agent("-n", oid);
        return r.exitCode == 0 ? r.out.substr(0, r.out.find('\n')) : "";
    }
    qv::test::TempRoot root;
};

TEST_F(PciAgent, GetNextWalksEachColumnInAscendingDeviceOrder)
{
    const std::string t = kTable;
    const std::vector<std::string> expected = {
        t + ".1.0.0.0", t + ".1.0.15.0", t + ".1.1.0.0", t + ".2.0.0.0", t + ".2.0.15.0",
    };
    std::string at = t;
    for (const std::string& want : expected) {
        at = nextOid(at);
        EXPECT_EQ(at, want);
    }
    EXPECT_EQ(nextOid(t + ".21.1.0.0"), "");
    EXPECT_EQ(nextOid(".1.3.6.1.4.1.93071.2.23.10.3.3.0"), t + ".1.0.0.0");
}

TEST_F(PciAgent, ColumnsReadTheConfigurationHeader)
{
    const std::string t = kTable;
    const struct {
        std::string oid;
        std::string value;
    } cases[] = {
        {t + ".2.0.15.0", "15\n"},
        {t + ".4.0.15.0", "32902\n"},             // 0x8086
        {t + ".5.0.0.0", "4663\n"},               // 0x1237
        {t + ".6.1.0.0", "2\n"},
        {t + ".8.0.15.0", " 0C 03 10\n"},         // base class, subclass, interface
        {t + ".8.0.0.0", " 06 00 00\n"},
        {t + ".14.0.15.0", "11\n"},
        {t + ".15.0.15.0", "1\n"},
        {t + ".4.0.1.0", ""},                     // no such function
    };
    for (const auto& c : cases) EXPECT_EQ(get(c.oid), c.value) << c.oid;

    // 256 bytes from offset 48: 208 of the configuration space, then zeros.
    const std::string rom = get(t + ".19.0.15.0");
    EXPECT_EQ(rom.size(), 256u * 3 + 1);
    EXPECT_EQ(rom.substr(207 * 3, 6), " EE 00");
    // A short configuration file reads as zeros past its end.
    EXPECT_EQ(get(t + ".14.0.0.0"), "0\n");
}

TEST_F(PciAgent, SlotNumbersComeFromAValidPirTableOnly)
{
    const std::string t = kTable;
    EXPECT_EQ(get(t + ".21.0.15.0"), "0\n");   // no /dev/mem
    writeBiosImage(pirTable({{0, 15, 3}, {1, 0, 7}}));
    EXPECT_EQ(get(t + ".21.0.15.0"), "3\n");
    EXPECT_EQ(get(t + ".21.1.0.0"), "7\n");
    EXPECT_EQ(get(t + ".21.0.0.0"), "0\n");
    writeBiosImage(pirTable({{0, 15, 3}}, true));
    EXPECT_EQ(get(t + ".21.0.15.0"), "0\n");
}

TEST_F(PciAgent, BiosVersionFromTheCollectorsRevision)
{
    const std::string version = ".1.3.6.1.4.1.93071.2.23.10.3.2.0";
    EXPECT_EQ(get(version), "0\n");
    const struct {
        const char* stored;
        const char* value;
    } cases[] = {{"2.10", "522\n"}, {"1", "0\n"}, {"2.1", "513\n"}, {"1.", "0\n"}};
    for (const auto& c : cases) {
        ASSERT_EQ(SetRegData("SOFTWARE\\Quorvane\\Trivoke\\PCIRevision=Revision", c.stored, strlen(c.stored) + 1), 0u);
        EXPECT_EQ(get(version), c.value) << c.stored;
    }
    EXPECT_EQ(get(".1.3.6.1.4.1.93071.2.23.10.3.1.0"), "1\n");
    EXPECT_EQ(get(".1.3.6.1.4.1.93071.2.23.10.2.1.1.2.0"), "QV PCI SNMP Agent\n");
}

TEST_F(PciAgent, WithoutProcBusPciTheAgentStillAnswers)
{
    qv::test::removeTree(root.at("/proc/bus/pci"));
    EXPECT_EQ(get(".1.3.6.1.4.1.93071.2.23.10.3.1.0"), "0\n");
    EXPECT_EQ(nextOid(".1.3.6.1.4.1.93071.2.23.10.3.3.0"), "");
    EXPECT_EQ(get(".1.3.6.1.4.1.93071.2.23.10.1.1.0"), "1\n");
}

} // namespace
