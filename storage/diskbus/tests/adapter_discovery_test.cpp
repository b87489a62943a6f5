#include "adapter_discovery.h"

#include <temp_root.h>

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(DriverTable, NamesMatchWholeWithoutCaseAndWithWildcards) {
    struct Case {
        const char* row;
        const char* name;
        bool match;
    };
    const Case cases[] = {
        {"aic7xxx", "AIC7XXX", true},
        {"aic7xxx", "aic7xx", false},
        {"aic7xxx", "aic7xxxx", false},
        {"sym53c8?x", "sym53c8Zx", true},
        {"sym53c8?x", "sym53c8x", false},
        {"abcdefghijklmnop", "ABCDEFGHIJKLMNOPqrs", true},   // only 16 characters compared
        {"abcdefghijklmnoq", "abcdefghijklmnop", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MatchDriverName(c.row, c.name), c.match) << c.row << " / " << c.name;
    EXPECT_STREQ(FindMfgData("MegaRAID").brand, "AMI");
    EXPECT_EQ(FindMfgData("MegaRAID").nChannels, 2u);
    EXPECT_EQ(FindMfgData("ide-scsi").id, kAdapterClassIdeScsi);
    EXPECT_EQ(&FindMfgData("qlogicfc"), &vMfgData[kMfgDataRows - 1]);
    EXPECT_EQ(FindMfgData("qlogicfc").id, kAdapterClassScsi);
}

TEST(AdapterDiscovery, HostsOfProcScsiGetTheirDriverRow) {
    qv::test::TempRoot root;
    root.writeFile("/proc/scsi/AIC7XXX/0", "");
    root.writeFile("/proc/scsi/megaraid/1", "");
    root.writeFile("/proc/scsi/qlogicfc/2", "");
    root.writeFile("/proc/scsi/sym53c8xx/10", "");   // host numbers of two digits are ignored
    root.writeFile("/proc/scsi/sym53c8xx/3a", "");
    root.writeFile("/proc/scsi/scsi", "Attached devices:\n");   // a file, no driver

    CScsiMfg mfgs;
    ASSERT_EQ(mfgs.DetermineMfgs(), 0u);
    EXPECT_EQ(mfgs.nAdapters, 3u);

    MfgType mfg;
    ASSERT_TRUE(mfgs.GetAdapterMfg(1, &mfg));
    EXPECT_EQ(mfg.id, kAdapterClassMegaRaid);
    EXPECT_EQ(mfg.nChannels, 2u);
    EXPECT_FALSE(mfgs.GetAdapterMfg(3, &mfg));

    struct Expected {
        unsigned host;
        int32_t id;
        const char* name;
        const char* brand;
    };
    for (const auto& e : {Expected{0, 4, "aic7xxx", "Adaptec"}, Expected{1, 1, "megaraid", "AMI"},
                          Expected{2, 4, "Unknown", "???"}, Expected{7, 4, "???", "???"},
                          Expected{12, 4, "???", "???"}}) {
        MfgSpecType spec;
        std::memset(&spec, 0x55, sizeof spec);
        mfgs.GetAdapterInfo(e.host, &spec);
        EXPECT_EQ(spec.id, e.id) << e.host;
        EXPECT_STREQ(spec.szMfg, e.name);
        EXPECT_STREQ(spec.szBrand, e.brand);
    }

    // Discovery runs once while adapters are known.
    root.writeFile("/proc/scsi/aic7xxx/3", "");
    EXPECT_EQ(mfgs.DetermineMfgs(), 0u);
    EXPECT_EQ(mfgs.nAdapters, 3u);
}

TEST(AdapterDiscovery, NoProcScsiMeansNoAdapters) {
    qv::test::TempRoot root;
    CScsiMfg mfgs;
    EXPECT_EQ(mfgs.DetermineMfgs(), 0u);
    EXPECT_EQ(mfgs.nAdapters, 0u);
    EXPECT_FALSE(mfgs.GetAdapterMfg(0, nullptr));
}

} // namespace
