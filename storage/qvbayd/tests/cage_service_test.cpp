// qvbayd's requests over its socket against a scripted cage list, the outside disk library's
// stand-in and a local web server: every command's reply, the table's compaction and refresh,
// LEDs, flashing, readiness, firmware, and the requests that get no reply.
#include "cage_service_fixture.h"

#include <vector>

namespace baydtest {
namespace {

std::string block(std::initializer_list<CageDescType> cages)
{
    std::string b;
    for (const CageDescType& c : cages) b.append(reinterpret_cast<const char*>(&c), sizeof c);
    return b;
}

// The kept cages as the service compacts them: occupied bays first, the rest zero.
CageDescType compacted(CageDescType c, std::initializer_list<BayInfoType> bays)
{
    std::memset(c.rgBays, 0, sizeof c.rgBays);
    c.nBays = 0;
    for (const BayInfoType& b : bays) c.rgBays[c.nBays++] = b;
    return c;
}

TEST_F(CageServiceTest, EveryCommandAnswersExactly)
{
    const CageDescType first = compacted(source_.cages[0], {{0, 1, 0}, {2, 1, 2}});
    const CageDescType second = compacted(source_.cages[3], {{8, 1, 0}, {10, 1, 2}});
    const std::string zero = integer(0);
    struct Case {
        std::initializer_list<int32_t> request;
        std::string reply;
    };
    const Case cases[] = {
        {{1}, integer(2)},
        {{2}, integer(144)},
        {{3}, block({first, second})},
        {{4}, zero},
        {{5}, integer(4)},
        {{6, 3}, integer(3)},
        {{7, 1}, integer(0x183)},
        {{7, 2}, integer(0x4D)},
        {{8, 1}, integer(2)},
        {{8, 3}, integer(10)},
        {{9, 0}, zero},
        {{11, 0}, zero},
        {{12, 3}, integer(1)},
        {{33, 0}, integer(1)},
        {{34, 0}, zero},
        {{35, 0}, integer(bMF3)},
        {{33, 2}, integer(0xFF)},
        {{34, 3}, integer(0xFF)},
        {{35, 3}, integer(bMF1)},
        {{13}, zero},
        {{14, 0x105}, flag(true)},
        {{13}, integer(0x105)},
        {{16, 2}, flag(true)},
        {{15}, integer(2)},
        {{18, 3}, flag(true)},
        {{17}, integer(3)},
        {{22, 9}, flag(true)},
        {{21}, integer(9)},
        {{20}, zero},
        {{25}, text("")},
        {{27}, zero},
        {{28}, zero},
        {{29}, text("")},
        {{31}, zero},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("request " + std::to_string(*c.request.begin()));
        EXPECT_EQ(ask(c.request), c.reply);
    }
    // A drive index equal to the drive count, or negative, is no drive.
    for (int32_t cmd : {6, 7, 8, 9, 11, 12, 33, 34, 35})
        for (int32_t drive : {4, -1, INT32_MIN}) {
            SCOPED_TRACE(std::to_string(cmd) + " " + std::to_string(drive));
            EXPECT_EQ(ask({cmd, drive}), zero);
        }
    EXPECT_EQ(ask({10, 4, 1}), flag(false));
    EXPECT_EQ(ask({10, -1, 0}), flag(false));
    EXPECT_EQ(journal().find("MFAdjustPowerLED"), std::string::npos);
}

TEST_F(CageServiceTest, LedLevelsLastUntilTheNextRefresh)
{
    EXPECT_EQ(ask({10, 1, 1}), flag(true));
    EXPECT_NE(journal().find("MFAdjustPowerLED 2 387 1\n"), std::string::npos) << journal();
    EXPECT_EQ(asInteger(ask({9, 1})), 1);
    root_.writeFile("/control", "result MFAdjustPowerLED 7\n");
    EXPECT_EQ(ask({10, 1, 0}), flag(false));
    EXPECT_EQ(asInteger(ask({9, 1})), 1);   // a refused level is not taken
    EXPECT_EQ(asInteger(ask({11, 1})), 7);

    const int descCalls = source_.descCalls;
    now_ += kCageRefreshPeriodS;   // not yet due
    ask({1});
    EXPECT_EQ(asInteger(ask({9, 1})), 1);
    EXPECT_EQ(source_.descCalls, descCalls);
    now_ += 1;
    ask({1});   // answered, then the table is rebuilt
    EXPECT_EQ(asInteger(ask({9, 1})), 0);
    EXPECT_EQ(asInteger(ask({11, 1})), 0);
    EXPECT_EQ(source_.descCalls, descCalls + 5);
    EXPECT_EQ(source_.discoverCalls, 1);   // the library's list is discovered once
}

TEST_F(CageServiceTest, RefreshFailuresLeaveNoCagesUntilOneSucceeds)
{
    {
        std::lock_guard<std::mutex> g(source_.lock);
        source_.descStatus[3] = 0x100801;
    }
    now_ += 31;
    ask({1});
    EXPECT_EQ(asInteger(ask({1})), 0);
    EXPECT_EQ(asInteger(ask({4})), 0x100801);
    EXPECT_EQ(asInteger(ask({5})), 0);
    EXPECT_EQ(asInteger(ask({8, 0})), 0);
    EXPECT_EQ(ask({3}), "");
    EXPECT_EQ(ask({10, 0, 1}), flag(false));
    {
        std::lock_guard<std::mutex> g(source_.lock);
        source_.descStatus.clear();
    }
    now_ += 31;
    ask({1});
    EXPECT_EQ(asInteger(ask({1})), 2);
    EXPECT_EQ(asInteger(ask({4})), 0);
}

class FailedDiscovery : public CageServiceTest {
protected:
    void prepare(FakeCageSource& s) override
    {
        defaultCages(s);
        s.discoverStatus = 0x10001B;
    }
};

TEST_F(FailedDiscovery, IsRetriedAtTheNextRefresh)
{
    EXPECT_EQ(asInteger(ask({4})), 0x10001B);
    EXPECT_EQ(asInteger(ask({2})), 0);
    {
        std::lock_guard<std::mutex> g(source_.lock);
        source_.discoverStatus = 0;
    }
    now_ += 31;
    ask({1});
    EXPECT_EQ(asInteger(ask({4})), 0);
    EXPECT_EQ(asInteger(ask({5})), 4);
    EXPECT_EQ(source_.discoverCalls, 2);
}

class ManyCages : public CageServiceTest {
protected:
    void prepare(FakeCageSource& s) override
    {
        for (int i = 0; i < 60; ++i) s.cages.push_back(FakeCageSource::cage(0x4F, 0xFF, 0xFF, bMF1, {{i % 16, 1}}));
    }
};

TEST_F(ManyCages, TheBlockIsCutTo4096BytesAndLogged)
{
    EXPECT_EQ(asInteger(ask({2})), 60 * 72);
    const std::string b = ask({3});
    ASSERT_EQ(b.size(), 4096u);
    CageDescType last{};
    std::memcpy(&last, b.data() + 55 * 72, sizeof last);
    EXPECT_EQ(last.rgBays[0].idTarget, 55 % 16);
    EXPECT_NE(log().find("GetInfoSize() too large (4320)"), std::string::npos) << log();
}

class OverlongBayCount : public CageServiceTest {
protected:
    void prepare(FakeCageSource& s) override
    {
        CageDescType c = FakeCageSource::cage(0x4B, 0xFF, 0xFF, bMF1, {});
        for (unsigned b = 0; b < kCageBaysMax; ++b) c.rgBays[b] = {uint8_t(b), 1, uint16_t(b)};
        c.nBays = 300;   // more bays than the record holds
        s.cages = {c};
    }
};

TEST_F(OverlongBayCount, OnlyTheRecordsBaysCount)
{
    EXPECT_EQ(asInteger(ask({5})), 16);
    EXPECT_EQ(asInteger(ask({8, 15})), 15);
    EXPECT_EQ(asInteger(ask({8, 16})), 0);
}

TEST_F(CageServiceTest, RequestsThatGetNoReply)
{
    EXPECT_EQ(ask({36}, nullptr, 300), "<none>");
    EXPECT_EQ(ask({0}, nullptr, 300), "<none>");
    EXPECT_EQ(ask({10, 1}, nullptr, 300), "<none>");   // the level never came
    EXPECT_NE(log().find("Unknown command: 36"), std::string::npos) << log();
    EXPECT_EQ(journal().find("MFAdjustPowerLED"), std::string::npos);
    EXPECT_EQ(asInteger(ask({5})), 4);   // the service goes on
}

TEST_F(CageServiceTest, FlashAndReadinessOfTheFlashAddress)
{
    root_.writeFile("/control", "activity_end 6\nactivity_delay_ms 300\n");
    ask({14, 0x101});
    ask({16, 2});
    ask({18, 0x203});
    ask({22, 4});
    EXPECT_EQ(ask({19, 5}), flag(true));
    EXPECT_EQ(asInteger(ask({20})), kCageFlashBusy);
    EXPECT_EQ(waitWhile({20}, kCageFlashBusy), 6);   // the callback's code
    EXPECT_NE(journal().find("FlashActivityLightAllDrives 1 2 3 5\n"), std::string::npos) << journal();

    root_.writeFile("/control", "activity_end 0\nactivity_delay_ms 1\n");
    EXPECT_EQ(ask({23, 2}), flag(true));
    EXPECT_EQ(waitWhile({20}, kCageFlashBusy), 0);
    EXPECT_NE(journal().find("FlashDriveActivityLight 1 2 3 4 2\n"), std::string::npos) << journal();
    root_.writeFile("/control", "result FlashDriveActivityLight 9\n");
    EXPECT_EQ(ask({23, 2}), flag(false));
    EXPECT_EQ(asInteger(ask({20})), 9);

    root_.writeFile("/control", "ready 1\n");
    EXPECT_EQ(asInteger(ask({24})), 1);
    EXPECT_EQ(asInteger(ask({20})), 0);
    root_.writeFile("/control", "ready 1\nresult GetDriveReadiness 4\n");
    EXPECT_EQ(asInteger(ask({24})), 1);
    EXPECT_EQ(asInteger(ask({20})), 4);
    EXPECT_NE(journal().find("GetDriveReadiness 1 2 3 4\n"), std::string::npos) << journal();
}

TEST_F(CageServiceTest, DownloadAndFirmwareUpdateThroughTheService)
{
    EXPECT_EQ(ask({30}, "http://127.0.0.1:1"), flag(true));
    EXPECT_EQ(ask({29}), text("http://127.0.0.1:1"));
    EXPECT_EQ(ask({30}, ""), flag(true));

    const std::string stall = server_.url("/stall");
    EXPECT_EQ(ask({26}, stall.c_str()), flag(true));
    EXPECT_EQ(ask({26}, server_.url("/bytes/10").c_str()), flag(false));   // one transfer at a time
    EXPECT_EQ(ask({25}), text(stall));
    EXPECT_EQ(waitWhile({28}, kFirmwareBusy, kStallLimit), CURLE_OPERATION_TIMEDOUT);
    EXPECT_EQ(asInteger(ask({27})), 3);

    const std::string url = server_.url("/bytes/5000?") + std::string(600, 'x');
    EXPECT_EQ(ask({26}, url.c_str()), flag(true));
    EXPECT_EQ(waitWhile({28}, kFirmwareBusy), 0);
    EXPECT_EQ(asInteger(ask({27})), 2);
    EXPECT_EQ(ask({25}), text(url.substr(0, 511)));

    ask({14, 1});
    ask({18, 2});
    ask({22, 5});
    EXPECT_EQ(ask({32, CFirmware::KEY + 1}), flag(false));
    EXPECT_EQ(asInteger(ask({31})), 1);
    EXPECT_EQ(journal().find("UpdateDriveFWImage"), std::string::npos);
    root_.writeFile("/control", "firmware_end 12\n");
    EXPECT_EQ(ask({32, CFirmware::KEY}), flag(true));
    EXPECT_EQ(asInteger(ask({31})), 12);
    EXPECT_NE(journal().find("UpdateDriveFWImage 1 0 2 5 5000 "), std::string::npos) << journal();
}

// Clients keep asking about the download, and try to start others, while three downloads and
// activity flashes run; a build with -fsanitize=thread runs this for data races.
TEST_F(CageServiceTest, DownloadsAndRequestsAtOnce)
{
    root_.writeFile("/control", "activity_delay_ms 1\n");
    std::atomic<bool> done{false};
    std::atomic<int> refused{0};
    auto asker = [&] {
        while (!done) {
            const int32_t size = asInteger(ask({27}));
            EXPECT_TRUE(size >= 0 && size <= 1048576) << size;
            if (ask({26}, "http://127.0.0.1:1/never") == flag(false)) ++refused;
            ask({28});
            ask({19, 1});
        }
    };
    std::thread a(asker), b(asker);
    for (int round = 0; round < 3; ++round) {
        const std::string url = server_.url("/bytes/1048576");
        // The askers may hold the download slot for a moment with their own (failing) URL.
        bool started = false;
        for (int i = 0; i < 2000 && !started; ++i) {
            started = ask({26}, url.c_str()) == flag(true) && ask({25}) == text(url);
            if (!started) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ASSERT_TRUE(started);
        waitWhile({28}, kFirmwareBusy);
    }
    done = true;
    a.join();
    b.join();
    EXPECT_GT(refused.load(), 0);
}

} // namespace
} // namespace baydtest
