// Several processes on the standalone simulator: writers, cursor readers, an outside eraser and
// writer (the stock ipmitool on the same controller), and processes killed at random points.
#include "service_process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <random>
#include <cctype>
#include <set>
#include <sstream>

namespace {

using qv::test::ChildProcess;

using qv::test::kIpmitool;

struct Delivered {
    unsigned id;
    std::string addString;
    bool operator==(const Delivered&) const = default;
};

std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    std::stringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// "ID ADD" lines of a follower, or the soft log's lines in the same form.
std::vector<Delivered> followerOutput(const std::string& text)
{
    std::vector<Delivered> out;
    for (const auto& line : linesOf(text)) {
        const size_t blank = line.find(' ');
        out.push_back({static_cast<unsigned>(std::stoul(line.substr(0, blank))),
                       blank == std::string::npos ? "" : line.substr(blank + 1)});
    }
    return out;
}

std::vector<Delivered> softLogRecords(const std::string& text)
{
    std::vector<Delivered> out;
    for (const auto& line : linesOf(text)) {
        const unsigned id = static_cast<unsigned>(std::stoul(line.substr(0, 2), nullptr, 16) |
                                                  std::stoul(line.substr(3, 2), nullptr, 16) << 8);
        out.push_back({id, line.size() > 48 ? line.substr(48) : ""});
    }
    return out;
}

class EventLogProcesses : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (::access(kIpmitool, X_OK) != 0) GTEST_SKIP() << "ipmitool is not installed";
        ASSERT_TRUE(qv::test::startSimulator(sim_, root_, qv::test::defaultScenario()));
    }
    void TearDown() override { sim_.stop(); }

    std::string ipmitool(const std::vector<std::string>& command)
    {
        const auto result = qv::test::runIpmitool(root_, command);
        EXPECT_EQ(result.exitCode, 0) << result.err;
        return result.out;
    }
    static std::string worker() { return qv::test::buildPath("health/eventlog/eventlog_worker"); }
    std::string file(const std::string& name) const
    {
        const std::string path = "/usr/qvserver/etc/" + name;
        return root_.exists(path) ? root_.readFile(path) : "";
    }

    // Two writers and three followers at once; the followers' outputs.
    std::vector<std::vector<Delivered>> writeAndFollow(const std::string& tagA, const std::string& tagB,
                                                       int each, int expected)
    {
        ChildProcess readers[3], writers[2];
        for (int i = 0; i < 3; ++i)
            readers[i].start(worker(), {"follow", "cursor" + std::to_string(i) + ".cfg", std::to_string(expected)},
                             {}, root_.path() + "/follow" + std::to_string(i) + ".out");
        writers[0].start(worker(), {"write", std::to_string(each), tagA}, {});
        writers[1].start(worker(), {"write", std::to_string(each), tagB}, {});
        for (auto& w : writers) EXPECT_EQ(w.wait(std::chrono::seconds(120)), 0);
        std::vector<std::vector<Delivered>> outputs;
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(readers[i].wait(std::chrono::seconds(120)), 0) << "follower " << i;
            outputs.push_back(followerOutput(qv::test::readWholeFile(root_.path() + "/follow" + std::to_string(i) + ".out")));
        }
        return outputs;
    }

    qv::test::TempRoot root_;
    ChildProcess sim_;
};

void expectEachTagOnce(const std::vector<Delivered>& records, const std::string& tag, int count)
{
    for (int i = 1; i <= count; ++i) {
        const std::string add = tag + "!" + std::to_string(i);
        EXPECT_EQ(std::count_if(records.begin(), records.end(), [&](const Delivered& d) { return d.addString == add; }), 1)
            << add;
    }
}

TEST_F(EventLogProcesses, EveryRecordReachesEachCursorOnceAcrossAnOutsideClear)
{
    const int scenarioEntries = 7;
    auto outputs = writeAndFollow("A", "B", 20, scenarioEntries + 40);
    const auto before = softLogRecords(file("evtlog.dat"));
    ASSERT_EQ(before.size(), scenarioEntries + 40u);
    for (const auto& out : outputs) EXPECT_EQ(out, before);   // soft-log order, once each
    expectEachTagOnce(before, "A", 20);
    expectEachTagOnce(before, "B", 20);
    for (size_t i = 2; i < before.size(); ++i) EXPECT_LT(before[i - 1].id, before[i].id);   // SEL order
    const std::string preErase = file("evtlog.dat");

    ipmitool({"sel", "clear"});
    // An outside writer adds one entry; the next write mirrors it first.
    ipmitool({"raw", "0x0a", "0x44", "0", "0", "2", "0", "0", "0", "0", "0x20", "0", "3", "1", "1", "1", "0x57",
              "0x42", "0x37"});
    outputs = writeAndFollow("C", "D", 10, 21);
    const auto after = softLogRecords(file("evtlog.dat"));
    ASSERT_EQ(after.size(), 21u);
    for (const auto& out : outputs) EXPECT_EQ(out, after);
    EXPECT_EQ(after[0].addString, "");
    expectEachTagOnce(after, "C", 10);
    expectEachTagOnce(after, "D", 10);
    EXPECT_EQ(file("evtlog.bak"), preErase);   // the pre-erase lines with their add strings

    // What the library wrote is what ipmitool reads from the controller.
    std::vector<unsigned> listed;
    for (const auto& line : linesOf(ipmitool({"sel", "list"})))
        listed.push_back(static_cast<unsigned>(std::stoul(line.substr(0, line.find('|')), nullptr, 16)));
    ASSERT_EQ(listed.size(), after.size());
    for (size_t i = 1; i < after.size(); ++i) EXPECT_EQ(listed[i], after[i].id);
    const std::string last = ipmitool({"sel", "get", std::to_string(after.back().id)});
    char number[8];
    std::snprintf(number, sizeof number, "%02x", std::stoi(after.back().addString.substr(2)));
    EXPECT_NE(last.find("Sensor Number         : " + std::string(number)), std::string::npos) << last;
    EXPECT_NE(last.find("Memory"), std::string::npos) << last;
}

bool isRecordLine(const std::string& line)
{
    if (line.size() < 48) return false;
    for (size_t i = 0; i < 48; i += 3)
        if (!std::isxdigit(static_cast<unsigned char>(line[i])) ||
            !std::isxdigit(static_cast<unsigned char>(line[i + 1])) || line[i + 2] != ' ')
            return false;
    return true;
}

bool wholeRecordLines(const std::string& text)
{
    if (!text.empty() && text.back() != '\n') return false;
    const auto lines = linesOf(text);
    return std::all_of(lines.begin(), lines.end(), isRecordLine);
}

TEST_F(EventLogProcesses, KilledWritersClearsAndSyncsLeaveWholeLines)
{
    std::mt19937 random(20261210);
    std::uniform_int_distribution<int> pause(20, 250);
    for (int round = 0; round < 25; ++round) {
        {
            ChildProcess workers[5];
            workers[0].start(worker(), {"churn", "write"}, {});
            workers[1].start(worker(), {"churn", "write"}, {});
            workers[2].start(worker(), {"churn", "sync"}, {});
            workers[3].start(worker(), {"churn", "clear"}, {});
            workers[4].start(worker(), {"churn", "follow", "churn.cfg"}, {});
            std::this_thread::sleep_for(std::chrono::milliseconds(pause(random)));
            for (auto& w : workers) w.signal(SIGKILL);
            for (auto& w : workers) w.wait(std::chrono::seconds(10));
        }
        SCOPED_TRACE("round " + std::to_string(round));
        ASSERT_TRUE(wholeRecordLines(file("evtlog.dat"))) << file("evtlog.dat");
        ASSERT_TRUE(wholeRecordLines(file("evtlog.bak"))) << file("evtlog.bak");
        for (const char* name : {"churn.cfg", "qveventlog.cfg"}) {
            const std::string text = file(name);
            ASSERT_TRUE(text.empty() || (text.rfind("[qvevtlog]\n", 0) == 0 && text.back() == '\n')) << text;
        }
        const std::string cursor = file("churn.cfg");
        if (!cursor.empty()) {
            EXPECT_NE(cursor.find("LastEraseTime="), std::string::npos);
            EXPECT_NE(cursor.find("LastReadEvent="), std::string::npos);
        }
    }
}

} // namespace
