// The revision rules of the collector, on texts and through the tool with a stand-in dmesg.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <sys/stat.h>

#include "pci_revision.h"
#include "registry.h"
#include "temp_root.h"

namespace {

std::string revisionOf(const std::string& messages)
{
    FILE* in = fmemopen(const_cast<char*>(messages.data()), messages.size(), "r");
    const std::string revision = qv::inventory::findPciRevision(in);
    std::fclose(in);
    return revision;
}

TEST(PciRevisionTest, FirstLineWhoseFourthWordIsRevisionGivesTheFifth)
{
    const struct {
        const char* messages;
        const char* revision;
    } cases[] = {
        {"Linux version 6.1\nPCI: PCI BIOS revision 2.10 entry at 0xfd8a1, last bus=1\n", "2.10"},
        {"PCI: PCI BIOS revision 2.10 entry\nPCI: PCI BIOS revision 3.00 entry\n", "2.10"},
        {"PCI: PCI BIOS Revision 2.10 entry\n", "0.00"},
        {"PCI: PCI BIOS revision\n", "0.00"},   // no fifth word
        {"nothing here\n", "0.00"},
        {"", "0.00"},
        {"\ta  b\tc revision 2.1\r\n", "2.1"},
    };
    for (const auto& c : cases) EXPECT_EQ(revisionOf(c.messages), c.revision) << c.messages;
}

TEST(PciRevisionTest, OverlongLinesAreReadInPiecesOf511)
{
    // The match sits at the start of the second piece of a 600-character line.
    std::string line(511, 'x');
    line += "PCI: PCI BIOS revision 1.05 tail\n";
    EXPECT_EQ(revisionOf(line), "1.05");
}

class CollectorRun : public ::testing::Test {
protected:
    std::string stored()
    {
        char value[8] = {};
        EXPECT_EQ(GetRegData(qv::inventory::kPciRevisionKey, value, 7), 0u);
        return std::string(value, 4);
    }
    void standInDmesg(const std::string& output)
    {
        root.writeFile("/bin/dmesg.txt", output);
        root.writeFile("/bin/dmesg", "#!/bin/sh\ncat '" + root.at("/bin/dmesg.txt") + "'\n");
        chmod(root.at("/bin/dmesg").c_str(), 0755);
    }
    int runTool()
    {
        return qv::test::runProgram(qv::test::installedPath("inventory/qvslotcollect/qvslotcollect"), {}).exitCode;
    }
    qv::test::TempRoot root;
};

TEST_F(CollectorRun, StoresExactlyFourBytesOfTheRevision)
{
    const struct {
        const char* word;
        std::string bytes;
    } cases[] = {
        {"2.10", std::string("2.10", 4)},
        {"2.1", std::string("2.1\0", 4)},
        {"12.345", std::string("12.3", 4)},
    };
    for (const auto& c : cases) {
        standInDmesg(std::string("PCI: PCI BIOS revision ") + c.word + " entry at 0xf0000\n");
        ASSERT_EQ(runTool(), 0);
        EXPECT_EQ(stored(), c.bytes) << c.word;
    }
}

TEST_F(CollectorRun, NoMatchOrNoDmesgStoresTheDefault)
{
    standInDmesg("Linux version 6.1\n");
    ASSERT_EQ(runTool(), 0);
    EXPECT_EQ(stored(), "0.00");
}

} // namespace
