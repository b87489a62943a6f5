// qvdisktagd's requests over its socket, against the outside disk library's stand-in and
// in-memory drives: every request's exact reply, refresh, the locate mark, dropped requests,
// and concurrent clients while self-tests run.
#include "tattoo_service.h"

#include "tattoo_service_fixture.h"

#include <chrono>
#include <ctime>

namespace {

TEST_F(TattooServiceTest, EveryRequestAnswersExactly)
{
    const std::string zero = integer(0), empty(1, '\0');
    struct Case {
        std::initializer_list<int32_t> request;
        std::string reply;
    };
    const Case cases[] = {
        {{1}, integer(2)},
        {{2, 1}, integer(2)},
        {{3, 0}, text("sym53c8xx")},
        {{4, 1}, text("Symbios")},
        {{5, 0}, text("1.7.3c")},
        {{6, 1}, integer(4)},
        {{3, 2}, empty},
        {{6, -1}, zero},
        {{7}, integer(3)},
        {{8, 2}, integer(2)},
        {{9, 2}, integer(1)},
        {{10, 1}, integer(5)},
        {{11, 1}, text("0C0C")},
        {{12, 0}, text("Seagate")},
        {{12, 1}, text("Offline")},
        {{12, 2}, text("???")},
        {{13, 1}, text("0208")},
        {{14, 1}, text("SN0002")},
        {{15, 1}, text("MAN3184MC")},
        {{15, 3}, empty},
        {{16, 0}, zero},
        {{17, 0}, zero},
        {{18, 0}, zero},
        {{10, 3}, zero},
        {{20}, zero},
        {{22}, zero},
        {{23, 0}, integer(1)},
        {{23, 1}, zero},
        {{24, 0}, zero},
        {{25, 0}, zero},
        {{27, 0}, integer(255)},
        {{28, 0}, integer(1200)},
        {{29, 0}, "NA"},
        {{30, 0}, "NA"},
        {{29, 3}, empty},
        {{26, 3, 1}, zero},
        {{19, 3}, std::string(1, '\0')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("request " + std::to_string(*c.request.begin()));
        EXPECT_EQ(ask(c.request), c.reply);
    }
}

TEST_F(TattooServiceTest, SelfTestThroughTheService)
{
    EXPECT_EQ(asInteger(ask({26, 0, 1})), 0);
    std::string end;
    for (int i = 0; i < 3000 && asInteger(ask({25, 0})) != 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(asInteger(ask({24, 0})), 100);
    EXPECT_EQ(asInteger(ask({27, 0})), 0);
    const std::string start = ask({29, 0});
    end = ask({30, 0});
    ASSERT_EQ(start.size(), 25u);
    ASSERT_EQ(end.size(), 25u);
    EXPECT_EQ(start.back(), '\n');
    const time_t now = std::time(nullptr);
    char expected[32];
    // The end was taken moments ago: the text is that of a time within the last minute.
    bool recent = false;
    for (time_t t = now; t > now - 60 && !recent; --t) recent = end == ctime_r(&t, expected);
    EXPECT_TRUE(recent) << end;
}

TEST_F(TattooServiceTest, RefreshStatusAndTheLocateMark)
{
    EXPECT_EQ(ask({19, 1}), std::string(1, '\1'));
    EXPECT_EQ(asInteger(ask({18, 1})), 1);
    // A refresh that finds a fourth drive reads its area; while the drives are held it runs on.
    selftesttest::writeInventory(root_, {Drive{1, 0, 3}, Drive{1, 0, 5}, Drive{2, 1, 9}, Drive{2, 1, 11}}, 2);
    {
        std::unique_lock<std::mutex> held(tagtest::drives().lock);
        EXPECT_EQ(ask({21, 42}), std::string(1, '\1'));
        EXPECT_EQ(asInteger(ask({22})), 99999999);
        EXPECT_EQ(asInteger(ask({20})), 42);
    }
    for (int i = 0; i < 3000 && asInteger(ask({22})) != 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(asInteger(ask({7})), 4);
    EXPECT_EQ(asInteger(ask({18, 1})), 0) << "the mark lives only until the next refresh";
    EXPECT_EQ(asInteger(ask({10, 3})), 11);
}

TEST_F(TattooServiceTest, RequestWithoutItsArgumentIsDropped)
{
    CServiceClient c(kTattooSocketPath);
    c.Socket().SetTimeout(400);
    ASSERT_TRUE(c.SendFields({2}));
    char reply[64];
    EXPECT_EQ(c.ReadVariableReply(reply, sizeof reply), -1);
    EXPECT_EQ(asInteger(ask({7})), 3) << "the service reads the next datagram as a new command";
    EXPECT_EQ(ask({99}, 300), "<none>") << "an unknown command gets no reply";
    EXPECT_NE(root_.readFile("/log").find("Unknown command: 99"), std::string::npos);
}

TEST_F(TattooServiceTest, ConcurrentClientsWhileTestsRunAndRefreshesReplace)
{
    {
        std::lock_guard<std::mutex> g(tagtest::drives().lock);
        tagtest::drives().dst[{1, 0, 3}].lastProgress = {5, 0};   // stays running
    }
    std::vector<std::thread> clients;
    std::atomic<int> wrong{0};
    for (int k = 0; k < 4; ++k)
        clients.emplace_back([&, k] {
            for (int i = 0; i < 40; ++i) {
                switch ((i + k) % 5) {
                case 0: if (ask({26, i % 3, 1}).size() != 4) ++wrong; break;
                case 1: if (ask({21, i}).size() != 1) ++wrong; break;
                case 2: if (ask({24, i % 3}).size() != 4) ++wrong; break;
                case 3: if (ask({29, i % 3}).empty()) ++wrong; break;
                default: if (ask({12, i % 3}).empty()) ++wrong; break;
                }
            }
        });
    for (std::thread& t : clients) t.join();
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(tagtest::drives().overlaps, 0) << "library calls overlapped";
}

TEST(TattooInstanceTest, SecondInstanceEndsTheProcess)
{
    EXPECT_EXIT(
        {
            CTattoo first;
            CTattoo second;
        },
        ::testing::ExitedWithCode(1), "This class must be instantiated only once!!!");
}

} // namespace
