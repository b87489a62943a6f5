// The drive-cage road end to end: the real snmpd runs qvbayagent, which asks qvbayd, which finds
// the default server's cages through libqvbayswap on the standalone simulator and drives bay
// LEDs and firmware through the outside disk library's stand-in. Firmware images come from a
// web server of the test's own on 127.0.0.1.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "adapter_list.h"
#include "cage_list.h"
#include "cage_protocol.h"
#include "firmware_download.h"
#include "local_web_server.h"
#include "model_code.h"
#include "private_snmpd.h"
#include "qvbayswap.h"
#include "qvdiskctl_standin.h"
#include "scsi_lookup.h"
#include "service_process.h"
#include "temp_root.h"

namespace baydtest {
namespace {

constexpr char kSubtree[] = ".1.3.6.1.4.1.93071.2.23.28";

std::string oid(const std::string& suffix) { return kSubtree + suffix; }

// The cages the service keeps, as the library describes them: cages with a drive in some bay,
// the occupied bays moved to the front. Adapter classes are not looked at here: the default
// server has no adapter of the hidden class.
std::string keptCageBytes()
{
    unsigned discovered = 0;
    EXPECT_EQ(DiscoverHSCages(&discovered), 0u);
    std::string block;
    for (unsigned i = 0; i < discovered; ++i) {
        CageDescType desc{};
        EXPECT_EQ(HSCageGetDesc(i, &desc), 0u);
        CageDescType kept = desc;
        std::fill(std::begin(kept.rgBays), std::end(kept.rgBays), BayInfoType{});
        uint16_t occupied = 0;
        for (unsigned b = 0; b < std::min<unsigned>(desc.nBays, kCageBaysMax); ++b)
            if (desc.rgBays[b].bPresent) kept.rgBays[occupied++] = desc.rgBays[b];
        kept.nBays = occupied;
        if (occupied) block.append(reinterpret_cast<const char*>(&kept), sizeof kept);
    }
    return block;
}

// The bytes of snmpd's "Hex-STRING: 86 00 ..." (any line breaks); "<not hex>" otherwise.
std::string hexBytes(const std::string& value)
{
    const std::string head = "Hex-STRING: ";
    if (value.rfind(head, 0) != 0) return "<not hex>";
    std::istringstream in(value.substr(head.size()));
    std::string out, pair;
    while (in >> pair) out += static_cast<char>(std::stoi(pair, nullptr, 16));
    return out;
}

// A walk's lines as (object, value); a value spread over several lines is kept whole.
std::vector<std::pair<std::string, std::string>> walkEntries(const std::string& text)
{
    std::vector<std::pair<std::string, std::string>> entries;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        const size_t sep = line.find(" = ");
        if (line.rfind(kSubtree, 0) == 0 && sep != std::string::npos)
            entries.emplace_back(line.substr(0, sep), line.substr(sep + 3));
        else if (!entries.empty())
            entries.back().second += "\n" + line;
    }
    return entries;
}

class BayE2E : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (::access("/usr/sbin/snmpd", X_OK) != 0) {
            GTEST_SKIP() << "snmpd is not installed";
        }
        ASSERT_TRUE(qv::test::storeModelCode(55));
        root_.writeFile("/var/qvsim/uname", "2.4.20\n");
        ASSERT_TRUE(qv::test::startSimulator(simulator_, root_, qv::test::defaultScenario()));
        service_.start(qv::test::installedPath("storage/qvbayd/qvbayd"), {},
                       {{"QV_FOREGROUND", "1"}, {"QV_LOG_FILE", root_.at("/qvbayd.log")},
                        {kDiskctlJournalEnv, root_.at("/journal")}, {kDiskctlControlEnv, root_.at("/control")},
                        {kFirmwareConnectTimeoutEnv, "2"}, {kFirmwareLowSpeedTimeEnv, "1"}});
        ASSERT_TRUE(qv::test::eventually([this] { return root_.exists(kCageSocketPath); })) << serviceLog();
        snmpd_ = std::make_unique<qv::e2e::PrivateSnmpd>(
            root_.at("/snmpd"),
            std::vector<qv::e2e::PassLine>{{kSubtree, qv::test::installedPath("storage/qvbayagent/qvbayagent")}});
    }
    void TearDown() override
    {
        snmpd_.reset();
        if (service_.pid() > 0) {
            EXPECT_EQ(service_.stop(), 0) << "qvbayd did not end cleanly on SIGTERM";
        }
        // The next test's simulator is another machine: the libraries discover it afresh.
        ResetBayswapStateForTests();
        ResetDiskbusStateForTests();
        ResetScsiListsForTests();
    }

    std::string serviceLog() const { return root_.exists("/qvbayd.log") ? root_.readFile("/qvbayd.log") : ""; }
    std::string journal() const { return root_.exists("/journal") ? root_.readFile("/journal") : ""; }
    // The value part of one GET ("INTEGER: 1"), or the whole output when it failed. snmpd keeps
    // the output of an agent command line for a while when the next command is the same, so the
    // object is asked after another one: every answer is the service's answer of the moment.
    std::string get(const std::string& suffix) const
    {
        const qv::test::ProgramResult r = snmpd_->get({oid(".1.0"), oid(suffix)});
        const std::string head = oid(".1.0") + " = INTEGER: 1\n" + oid(suffix) + " = ";
        if (r.exitCode != 0 || r.out.rfind(head, 0) != 0) return r.out + r.err;
        std::string value = r.out.substr(head.size());
        if (!value.empty() && value.back() == '\n') value.pop_back();
        return value;
    }

    qv::test::ScopedEnv noMibs_{"MIBS", ""};
    qv::test::TempRoot root_;
    qv::test::ChildProcess simulator_;
    LocalWebServer server_;
    qv::test::ChildProcess service_;
    std::unique_ptr<qv::e2e::PrivateSnmpd> snmpd_;
};

TEST_F(BayE2E, WalkShowsTheKeptCagesOfTheDefaultServer)
{
    const std::string cages = keptCageBytes();
    ASSERT_FALSE(cages.empty()) << "the default server has occupied cages";
    ASSERT_EQ(cages.size() % sizeof(CageDescType), 0u);
    std::vector<CageDescType> kept(cages.size() / sizeof(CageDescType));
    std::memcpy(kept.data(), cages.data(), cages.size());
    // The drives of the table, in order: (cage, bay).
    std::vector<std::pair<const CageDescType*, const BayInfoType*>> drives;
    for (const CageDescType& c : kept)
        for (unsigned b = 0; b < c.nBays; ++b) drives.emplace_back(&c, &c.rgBays[b]);

    const qv::test::ProgramResult r = snmpd_->walk(kSubtree);
    ASSERT_EQ(r.exitCode, 0) << r.err << serviceLog();
    const auto entries = walkEntries(r.out);

    const auto integer = [](long v) { return "INTEGER: " + std::to_string(v); };
    std::vector<std::pair<std::string, std::string>> expected = {
        {".1.0", integer(1)}, {".2.0", integer(5)}, {".3.0", integer(1)}, {".4.0", integer(2)},
        {".5.0", integer(long(kept.size()))}, {".6.0", integer(long(cages.size()))}, {".7.0", "<block>"},
        {".8.0", integer(0)}, {".9.0", integer(0)}, {".10.0", integer(0)}, {".11.0", integer(0)},
        {".13.0", integer(0)}, {".14.0", integer(long(drives.size()))},
    };
    for (int column = 1; column <= 9; ++column)
        for (size_t d = 0; d < drives.size(); ++d) {
            const CageDescType& cage = *drives[d].first;
            const BayInfoType& bay = *drives[d].second;
            const long values[] = {long(d), cage.cageAddr, bay.idTarget, 0, 0, bay.bPresent,
                                   cage.idChannel, cage.idAdapter, cage.bType};
            expected.push_back({".15.1." + std::to_string(column) + "." + std::to_string(d + 1),
                                integer(values[column - 1])});
        }
    for (const auto& [suffix, value] : std::vector<std::pair<std::string, std::string>>{
             {".16.0", integer(0)}, {".18.0", integer(0)}, {".20.0", integer(1)}, {".21.0", "\"\""},
             {".22.0", integer(0)}, {".23.0", integer(0)}, {".24.0", "\"\""}, {".26.0", integer(0)}})
        expected.push_back({suffix, value});

    ASSERT_EQ(entries.size(), expected.size()) << r.out;
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(expected[i].first);
        EXPECT_EQ(entries[i].first, oid(expected[i].first));
        if (expected[i].second == "<block>")
            EXPECT_EQ(hexBytes(entries[i].second), cages) << entries[i].second;
        else
            EXPECT_EQ(entries[i].second, expected[i].second);
    }
    EXPECT_EQ(hexBytes(get(".7.0")), cages);
}

TEST_F(BayE2E, LedAndFirmwareSetsReachTheOutsideLibrary)
{
    const std::string cages = keptCageBytes();
    ASSERT_GE(cages.size(), sizeof(CageDescType));
    CageDescType first{};
    std::memcpy(&first, cages.data(), sizeof first);
    ASSERT_GE(first.nBays, 1);
    const std::string ledCall = "MFAdjustPowerLED " + std::to_string(first.rgBays[0].idTarget) + " " +
                                std::to_string(first.cageAddr);

    // Level 2 is no level a bay shows: refused in the agent, nothing reaches the library.
    const qv::test::ProgramResult refused = snmpd_->set(oid(".15.1.4.1"), "i", "2");
    EXPECT_NE(refused.exitCode, 0) << refused.out;
    EXPECT_NE(refused.err.find("wrongValue"), std::string::npos) << refused.err;
    EXPECT_EQ(journal().find("MFAdjustPowerLED"), std::string::npos) << journal();
    EXPECT_EQ(get(".15.1.4.1"), "INTEGER: 0");
    const qv::test::ProgramResult lit = snmpd_->set(oid(".15.1.4.1"), "i", "1");
    ASSERT_EQ(lit.exitCode, 0) << lit.err << serviceLog();
    EXPECT_NE(journal().find(ledCall + " 1\n"), std::string::npos) << journal();
    EXPECT_EQ(get(".15.1.4.1"), "INTEGER: 1");

    // A download from the local server, then an update of target 5 with the image.
    constexpr size_t kImage = 3000;
    const qv::test::ProgramResult url = snmpd_->set(oid(".21.0"), "s", server_.url("/bytes/3000"));
    ASSERT_EQ(url.exitCode, 0) << url.err << serviceLog();
    EXPECT_TRUE(qv::test::eventually([&] { return get(".22.0") == "INTEGER: 2"; }, std::chrono::seconds(10)))
        << get(".22.0");
    EXPECT_EQ(get(".23.0"), "INTEGER: 0");
    EXPECT_EQ(get(".21.0"), "STRING: \"" + server_.url("/bytes/3000") + "\"");

    ASSERT_EQ(snmpd_->set(oid(".16.0"), "i", "5").exitCode, 0);
    const qv::test::ProgramResult wrongKey = snmpd_->set(oid(".19.0"), "i", "1");
    EXPECT_NE(wrongKey.exitCode, 0) << wrongKey.out;
    EXPECT_NE(wrongKey.err.find("wrongValue"), std::string::npos) << wrongKey.err;
    EXPECT_EQ(get(".18.0"), "INTEGER: 1");
    EXPECT_EQ(journal().find("UpdateDriveFWImage"), std::string::npos) << journal();

    const qv::test::ProgramResult update = snmpd_->set(oid(".19.0"), "i", std::to_string(CFirmware::KEY));
    ASSERT_EQ(update.exitCode, 0) << update.err << serviceLog();
    EXPECT_NE(journal().find("UpdateDriveFWImage 0 0 0 5 " + std::to_string(kImage) + " " +
                             std::to_string(LocalWebServer::patternChecksum(kImage)) + "\n"),
              std::string::npos)
        << journal();
    EXPECT_EQ(get(".18.0"), "INTEGER: 0");
}

} // namespace
} // namespace baydtest
