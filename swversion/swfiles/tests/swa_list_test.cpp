// The three readers of qvswa.cfg on one installed file, lists ended by "*" and by the file's end.
#include <gtest/gtest.h>

#include "swa_list.h"
#include "temp_root.h"

namespace {

using Names = std::vector<std::string>;

// NIC has no "*" and its last line no newline.
const std::string kSwaList =
    "# lists of the version inventory\n"
    "MNGSW\n"
    "qvrevscand  scanning service\n"
    "qvclimated\n"
    "*\n"
    "AGENTS qvrevagent\n"
    "  qvclimateagent *\n"
    "unlisted\n"
    "SCSI\n"
    "aic7xxx.o  Adaptec adapter\n"
    "\n"
    "sym53c8xx.o\n"
    "*\n"
    "DAC\n"
    "megaraid.o\n"
    "* end of disk arrays\n"
    "NIC\n"
    "e100.o\n"
    "eepro100.o";

TEST(SwaList, MembershipReadsWordsOfTheProgramLists)
{
    const struct {
        const char* name;
        bool listed;
    } cases[] = {
        {"qvrevscand", true}, {"qvclimated", true}, {"scanning", true},   // every word counts
        {"qvrevagent", true}, {"qvclimateagent", true},
        {"unlisted", false}, {"aic7xxx.o", false}, {"e100.o", false}, {"*", false}, {"MNGSW", false},
    };
    for (const auto& c : cases) EXPECT_EQ(swfiles::swaListsProgram(kSwaList, c.name), c.listed) << c.name;
    EXPECT_TRUE(swfiles::swaListsProgram("x AGENTS qva qvb", "qvb"));   // no "*": ends at the end
    EXPECT_FALSE(swfiles::swaListsProgram("", "qva"));
}

TEST(SwaList, DaemonListNeedsMarkersAloneOnTheirLines)
{
    EXPECT_EQ(swfiles::swaDaemonLines(kSwaList), (Names{"qvrevscand  scanning service", "qvclimated"}));
    EXPECT_EQ(swfiles::swaDaemonLines("MNGSW\nqva\nqvb"), (Names{"qva", "qvb"}));
    EXPECT_EQ(swfiles::swaDaemonLines(" MNGSW\nqva\n"), Names{});
    EXPECT_EQ(swfiles::swaDaemonLines("MNGSW\r\nqva\r\n"), Names{});
    EXPECT_EQ(swfiles::swaDaemonLines("MNGSW\nqva\n* \nqvb\n"), (Names{"qva", "* ", "qvb"}));
}

TEST(SwaList, DriverListsTakeFirstWordsUpToTheirEnd)
{
    EXPECT_EQ(swfiles::swaDriverNames(kSwaList, "SCSI"), (Names{"aic7xxx.o", "sym53c8xx.o"}));
    EXPECT_EQ(swfiles::swaDriverNames(kSwaList, "DAC"), (Names{"megaraid.o"}));
    EXPECT_EQ(swfiles::swaDriverNames(kSwaList, "NIC"), (Names{"e100.o", "eepro100.o"}));
    EXPECT_EQ(swfiles::swaDriverNames(kSwaList, "scsi"), Names{});
    EXPECT_EQ(swfiles::swaDriverNames(" SCSI \t\r\n a.o\r\n", "SCSI"), (Names{"a.o"}));
    EXPECT_EQ(swfiles::swaDriverNames("SCSI\n" + std::string(300, 'm') + "\n", "SCSI")[0].size(), 255u);
}

TEST(SwaList, FixedFileIsReadBelowTheRoot)
{
    qv::test::TempRoot root;
    EXPECT_FALSE(swfiles::readFixedFile("/usr/qvserver/etc/qvswa.cfg"));
    root.writeFile("/usr/qvserver/etc/qvswa.cfg", kSwaList);
    EXPECT_EQ(swfiles::readFixedFile("/usr/qvserver/etc/qvswa.cfg"), kSwaList);
}

} // namespace
