// qveventalertd as a process on the simulated controller: events written through the event log
// library leave as traps, first through a stand-in snmptrap below the root that records its
// argument vector, then through the real snmptrap to a private snmptrapd.
#include "model_code.h"
#include "mgmtctl.h"
#include "private_snmpd.h"
#include "private_snmptrapd.h"
#include "qveventlog.h"
#include "event_log_simulator.h"
#include "service_process.h"
#include "small_filesystem.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <sstream>

namespace {

using qv::test::ChildProcess;
using qv::test::eventually;

constexpr char kDescriptions[] =
    "[SensorType 0x04]\n[EvtTrigger 0x01]\n"
    "[Offset 0x02]\nString=Fan %1 failed\nTrapID=1.3.6.1.4.1.93071.2.23.5\nVarbind1=sn\n"
    "[Offset 0x03]\nString=Leading dot\nTrapID=.1.3.6.1.4.1.93071.2.23.9\n"
    "[Offset 0x04]\nString=No trap\nSnmpTrap=0\nTrapID=1.3.6.1.4.1.93071.2.23.10\n"
    "[Offset 0x05]\nString=No dot\nTrapID=nodot\n"
    "[Offset 0x06]\nString=Not a number\nTrapID=1.3.6.1.4.1.93071.2.23.x\n"
    "[Offset 0x07]\nString=No identifier\n"
    "[Offset 0x08]\nTrapID=1.3.6.1.4.1.93071.2.23.11\n"
    "[Offset 0x09]\nString=Disk %1 at %2 percent\nTrapID=1.3.6.1.4.1.93071.2.23.12\n"
    "Varbind1=s1\nVarbind2=b2\n"
    "[Offset 0x0A]\nString=Trailing blank\nTrapID=1.3.6.1.4.1.93071.2.23.258 \n";

// Records each run as one line of its arguments, each followed by '|'; sleeps a while after
// recording when the file "slow" exists in the root.
constexpr char kStandIn[] =
    "#!/bin/sh\n"
    "root=\"$(dirname \"$0\")/../..\"\n"
    "{ for a in \"$@\"; do printf '%s|' \"$a\"; done; echo; } >> \"$root/snmptrap.calls\"\n"
    "if [ -e \"$root/slow\" ]; then sleep 1; fi\n";

std::vector<std::string> split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    std::stringstream in(text);
    for (std::string part; std::getline(in, part, separator);) parts.push_back(part);
    return parts;
}

std::string hostName()
{
    char name[256] = {};
    ::gethostname(name, sizeof name - 1);
    return name;
}

constexpr char kCursor[] = "/usr/qvserver/etc/eventlog-qveventalertd.cfg";

// The cursor file as the library writes it: one section, both keys.
bool oneCursorSection(const std::string& file)
{
    const auto number = [](const std::string& line, const std::string& key) {
        return line.starts_with(key) && line.size() > key.size() &&
               line.find_first_not_of("0123456789", key.size()) == std::string::npos;
    };
    const std::vector<std::string> lines = split(file, '\n');
    return file.ends_with('\n') && lines.size() == 3 && lines[0] == "[qvevtlog]" &&
           number(lines[1], "LastEraseTime=") && number(lines[2], "LastReadEvent=");
}

class EventAlertDaemon : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(qv::test::startEmptyLogSimulator(sim_, root_));
        root_.writeFile("/usr/qvserver/etc/evtspec.cfg", kDescriptions);
        root_.writeFile("/usr/bin/snmptrap", kStandIn);
        ::chmod(root_.at("/usr/bin/snmptrap").c_str(), 0755);
    }
    void TearDown() override
    {
        daemon_.stop();
        sim_.stop();
    }

    void startDaemon(const std::string& periodMs = "100")
    {
        daemon_.start(qv::test::installedPath("health/qveventalertd/qveventalertd"), {},
                      {{"QV_FOREGROUND", "1"}, {"QV_EVENTALERTD_PERIOD_MS", periodMs}});
    }
    static Sel fanRecord(uint8_t offset, uint8_t sensorNumber, uint8_t data2 = 0)
    {
        Sel r{};
        r.recordType = 2;
        r.generatorId = 0x41;
        r.eventVersion = 3;
        r.sensorType = 0x04;
        r.sensorNumber = sensorNumber;
        r.eventTrigger = 0x01;
        r.eventData1 = offset;
        r.eventData2 = data2;
        r.eventData3 = 0xFF;
        return r;
    }
    void write(uint8_t offset, uint8_t sensorNumber = 7, const char* add = "", uint8_t data2 = 0)
    {
        Sel r = fanRecord(offset, sensorNumber, data2);
        std::string text = add;
        ASSERT_EQ(QVEL_WriteEvent(&r, text.data()), 0);
    }
    // Add SEL Entry straight to the controller, as the controller logs its own events.
    void addToController(uint8_t sensorNumber)
    {
        Sel r = fanRecord(0x02, sensorNumber);
        r.generatorId = 0x20;
        unsigned short id = 0;
        ASSERT_EQ(RetryMMC_OpenDevice(), 0);
        EXPECT_EQ(MMC_AddSELEntry(&r, &id), 0);
        RetryMMC_CloseDevice();
    }
    std::vector<std::vector<std::string>> calls() const
    {
        std::vector<std::vector<std::string>> out;
        const std::string path = "/snmptrap.calls";
        if (!root_.exists(path)) return out;
        for (const std::string& line : split(root_.readFile(path), '\n')) out.push_back(split(line, '|'));
        return out;
    }
    bool callsReach(size_t count)
    {
        return eventually([&] { return calls().size() >= count; }, std::chrono::seconds(20));
    }
    std::string log() const { return root_.exists("/log") ? root_.readFile("/log") : ""; }
    // The sensor number of each trap of a "Fan %1 failed" record, in the order sent.
    std::vector<int> trappedSensors() const
    {
        std::vector<int> sensors;
        for (const auto& argv : calls())
            if (argv.size() > 13 && argv[12] == "i") sensors.push_back(std::stoi(argv[13]));
        return sensors;
    }
    size_t trapsOf(int sensor) const
    {
        const auto sensors = trappedSensors();
        return static_cast<size_t>(std::count(sensors.begin(), sensors.end(), sensor));
    }
    bool trapped(int sensor)
    {
        return eventually([&] { return trapsOf(sensor) > 0; }, std::chrono::seconds(20));
    }

    qv::test::TempRoot root_;
    qv::test::ScopedEnv log_{"QV_LOG_FILE", root_.at("/log").c_str()};
    ChildProcess sim_;
    ChildProcess daemon_;
};

TEST_F(EventAlertDaemon, OneTrapPerDestinationWithDefaultsAndNoHostileLineRun)
{
    root_.writeFile("/usr/qvserver/etc/qvtraps.cfg",
                    "# destinations\n"
                    "hostonly\n"
                    "host2 public\n"
                    "   \n"
                    "host3 private 1162\n"
                    "evil;touch${IFS}/tmp/qv-evtrap-owned mantle\n"
                    "$(touch) mantle\n");
    startDaemon();
    write(0x02);
    ASSERT_TRUE(callsReach(3)) << log();
    const std::string enterprise = ".1.3.6.1.4.1.93071.2.23";
    const std::pair<std::string, std::string> expected[] = {
        {"mantle", "hostonly:162"}, {"public", "host2:162"}, {"private", "host3:1162"}};
    const auto got = calls();
    ASSERT_EQ(got.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        const std::vector<std::string>& argv = got[i];
        ASSERT_EQ(argv.size(), 17u) << i;
        const std::vector<std::string> head{"-v", "1", "-c", expected[i].first, "--",
                                            expected[i].second, enterprise, hostName(), "6", "5"};
        EXPECT_EQ(std::vector<std::string>(argv.begin(), argv.begin() + 10), head);
        EXPECT_EQ(argv[10].find_first_not_of("0123456789"), std::string::npos) << argv[10];
        const std::vector<std::string> vars{enterprise, "i", "7", enterprise, "s", "Fan %1 failed"};
        EXPECT_EQ(std::vector<std::string>(argv.begin() + 11, argv.end()), vars);
    }
    EXPECT_NE(log().find("Parsing trap notification file"), std::string::npos);
    EXPECT_NE(log().find("Parser error in configuration file (line 4)"), std::string::npos) << log();
    EXPECT_EQ(::access("/tmp/qv-evtrap-owned", F_OK), -1);
    EXPECT_EQ(daemon_.stop(), 0) << log();
}

TEST_F(EventAlertDaemon, TrapIdentifierRulesAndEventsWithoutTraps)
{
    root_.writeFile("/usr/qvserver/etc/qvtraps.cfg", "receiver\n");
    startDaemon();
    for (uint8_t offset : {0x03, 0x04, 0x05, 0x06, 0x07, 0x0A}) write(offset);
    write(0x09, 7, "/var!x", 91);
    ASSERT_TRUE(callsReach(4)) << log();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto got = calls();
    ASSERT_EQ(got.size(), 4u) << log();
    // The dot is always put in front, even before one that is there.
    EXPECT_EQ(got[0][6], "..1.3.6.1.4.1.93071.2.23");
    EXPECT_EQ(got[0][9], "9");
    EXPECT_EQ(std::vector<std::string>(got[0].begin() + 11, got[0].end()),
              (std::vector<std::string>{"..1.3.6.1.4.1.93071.2.23", "s", "Leading dot"}));
    // The number is the decimal number after the last dot, as far as it goes: none gives 0, a
    // blank left behind by an editor ends it.
    const std::pair<std::string, std::string> numbers[] = {{"0", "Not a number"}, {"258", "Trailing blank"}};
    for (size_t i = 0; i < std::size(numbers); ++i) {
        const std::vector<std::string>& argv = got[1 + i];
        ASSERT_GE(argv.size(), 10u);
        EXPECT_EQ(argv[6], ".1.3.6.1.4.1.93071.2.23") << i;
        EXPECT_EQ(argv[9], numbers[i].first) << i;
        EXPECT_EQ(argv.back(), numbers[i].second) << i;
    }
    EXPECT_EQ(got[3][9], "12");
    EXPECT_EQ(std::vector<std::string>(got[3].begin() + 12, got[3].end()),
              (std::vector<std::string>{"s", "/var", ".1.3.6.1.4.1.93071.2.23", "i", "91",
                                        ".1.3.6.1.4.1.93071.2.23", "s", "Disk %1 at %2 percent"}));
    EXPECT_NE(log().find("Malformed TrapID (nodot)"), std::string::npos) << log();
    EXPECT_EQ(log().find("Malformed TrapID (1.3"), std::string::npos) << log();
}

TEST_F(EventAlertDaemon, RecordWithoutStringEndsTheBatchAndIsConsumed)
{
    root_.writeFile("/usr/qvserver/etc/qvtraps.cfg", "receiver\n");
    write(0x08);
    write(0x02);
    startDaemon("1500");
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    EXPECT_TRUE(calls().empty()) << "the batch ended at the record without String";
    ASSERT_TRUE(callsReach(1)) << log();
    std::this_thread::sleep_for(std::chrono::milliseconds(2000));
    const auto got = calls();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0][9], "5");
}

TEST_F(EventAlertDaemon, SighupDuringSendingActsAfterTheTrapReachedEveryDestination)
{
    root_.writeFile("/usr/qvserver/etc/qvtraps.cfg", "first\nsecond\n");
    root_.writeFile("/slow", "");
    startDaemon();
    write(0x02);
    write(0x02, 8);
    ASSERT_TRUE(callsReach(1)) << log();
    root_.writeFile("/usr/qvserver/etc/qvtraps.cfg", "third\n");
    daemon_.signal(SIGHUP);
    ASSERT_TRUE(callsReach(3)) << log();
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    const auto got = calls();
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0][5], "first:162");
    EXPECT_EQ(got[1][5], "second:162");
    EXPECT_EQ(got[1][13], "7");
    EXPECT_EQ(got[2][5], "third:162");
    EXPECT_EQ(got[2][13], "8");
    EXPECT_NE(log().find("Signal 1 received"), std::string::npos) << log();
}

TEST_F(EventAlertDaemon, MissingDestinationFileIsLoggedAndNothingIsSent)
{
    startDaemon();
    write(0x02);
    ASSERT_TRUE(eventually([&] {
        return log().find("Error opening /usr/qvserver/etc/qvtraps.cfg (2)") != std::string::npos;
    })) << log();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_TRUE(calls().empty());
    EXPECT_EQ(daemon_.stop(), 0);
}

TEST_F(EventAlertDaemon, EventsTheControllerLogsItselfAreTrappedInLogOrderOnce)
{
    root_.writeFile("/usr/qvserver/etc/qvtraps.cfg", "receiver\n");
    startDaemon();
    write(0x02, 1);
    ASSERT_TRUE(trapped(1)) << log();
    addToController(2);
    addToController(3);
    ASSERT_TRUE(trapped(3)) << log();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(trappedSensors(), (std::vector<int>{1, 2, 3}));
}

// What a power loss can leave of the cursor file: the daemon starts over from the first record
// once, and the file is back to its one section.
TEST_F(EventAlertDaemon, DamagedCursorFileIsReplacedAndEachRecordSentOnceMoreAtMost)
{
    using namespace std::string_literals;
    std::mt19937 random(40);
    std::string noise(96, ' ');
    for (char& c : noise) c = static_cast<char>(1 + random() % 255);
    const std::string damages[] = {"[qv\0evtlog]\nLastEraseTime=0\nLastReadEvent=1\n"s, std::string(64, '\0'), noise};
    root_.writeFile("/usr/qvserver/etc/qvtraps.cfg", "receiver\n");
    int sensor = 1;
    for (const std::string& damage : damages) {
        startDaemon();
        write(0x02, static_cast<uint8_t>(sensor));
        ASSERT_TRUE(trapped(sensor)) << log();
        ASSERT_EQ(daemon_.stop(), 0);
        root_.writeFile(kCursor, damage);
        ::unlink(root_.at("/snmptrap.calls").c_str());

        startDaemon();
        write(0x02, static_cast<uint8_t>(++sensor));
        ASSERT_TRUE(trapped(sensor)) << sensor << log();
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        ASSERT_EQ(daemon_.stop(), 0);
        for (int s = 1; s <= sensor; ++s) EXPECT_LE(trapsOf(s), 1u) << "sensor " << s << " after damage " << sensor;
        EXPECT_EQ(trapsOf(sensor), 1u);
        EXPECT_TRUE(oneCursorSection(root_.readFile(kCursor))) << "after damage " << sensor << ": "
                                                                << root_.readFile(kCursor);
        ++sensor;
    }
}

// A full disk: the cursor cannot be saved, so the record it would have passed comes back.
TEST_F(EventAlertDaemon, UnsavedCursorSendsItsRecordAtMostOncePerPeriod)
{
    qv::test::SmallFileSystem disk(root_.at("/usr/qvserver/etc"), 256);
    if (!disk.mounted()) GTEST_SKIP() << disk.why();
    root_.writeFile("/usr/qvserver/etc/qvtraps.cfg", "receiver\n");
    write(0x02, 1);
    write(0x02, 2);
    ASSERT_TRUE(disk.fill());
    const auto period = std::chrono::milliseconds(200);
    const auto started = std::chrono::steady_clock::now();
    startDaemon(std::to_string(period.count()));
    ASSERT_TRUE(trapped(1)) << log();
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    const auto periodsSince = [&] {
        return static_cast<size_t>((std::chrono::steady_clock::now() - started) / period) + 1;
    };
    const std::vector<int> whileFull = trappedSensors();
    EXPECT_LE(whileFull.size(), periodsSince());
    EXPECT_EQ(whileFull, std::vector<int>(whileFull.size(), 1)) << "nothing after the record held back";

    const size_t fullPeriods = periodsSince();
    disk.release();
    ASSERT_TRUE(trapped(2)) << log();
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    EXPECT_LE(trapsOf(1), fullPeriods + 1);
    EXPECT_EQ(trapsOf(2), 1u);
    const std::string text = log();
    const std::string warning = "Cannot save the event cursor eventlog-qveventalertd.cfg";
    const size_t first = text.find(warning);
    EXPECT_NE(first, std::string::npos) << text;
    EXPECT_EQ(text.find(warning, first + 1), std::string::npos) << "logged once";
    EXPECT_EQ(daemon_.stop(), 0);
}

// The event road for a while: events the controller logs and events written through the library,
// a stretch of full disk, and a cursor file a power loss left as NUL bytes. Every event reaches
// the soft log once, in log order, and is trapped once (the record held back by the full disk
// at most once more a period); no service dies and nothing is left behind.
TEST_F(EventAlertDaemon, SoakOfTheEventRoad)
{
    qv::test::SmallFileSystem disk(root_.at("/usr/qvserver/etc"), 256);
    if (!disk.mounted()) GTEST_SKIP() << "no full disk to be had here: " << disk.why();
    root_.writeFile("/usr/qvserver/etc/qvtraps.cfg", "receiver\n");
    root_.writeFile(kCursor, std::string(64, '\0'));
    const auto period = std::chrono::milliseconds(250);
    startDaemon(std::to_string(period.count()));
    ChildProcess cache;
    cache.start(qv::test::installedPath("health/qveventcached/qveventcached"), {}, {{"QV_FOREGROUND", "1"}});

    constexpr int kEvents = 60;
    std::vector<int> all;
    auto fullSince = std::chrono::steady_clock::now();
    size_t fullPeriods = 0;
    for (int n = 1; n <= kEvents; ++n) {
        if (n == 21) {
            ASSERT_TRUE(disk.fill());
            fullSince = std::chrono::steady_clock::now();
        }
        if (n == 41) {
            fullPeriods = static_cast<size_t>((std::chrono::steady_clock::now() - fullSince) / period) + 1;
            disk.release();
        }
        if (n % 2 == 1) {
            addToController(static_cast<uint8_t>(n));
        } else {
            Sel r = fanRecord(0x02, static_cast<uint8_t>(n));
            const int result = QVEL_WriteEvent(&r, nullptr);
            EXPECT_TRUE(result == 0 || result == QVEL_ERR_FAILED) << result;   // the soft log may be full
        }
        all.push_back(n);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_TRUE(eventually([&] {
        for (int n : all)
            if (trapsOf(n) == 0) return false;
        return true;
    })) << log();
    std::this_thread::sleep_for(3 * period);

    std::vector<int> softLog;
    for (const std::string& line : split(root_.readFile("/usr/qvserver/etc/evtlog.dat"), '\n'))
        softLog.push_back(std::stoi(line.substr(33, 2), nullptr, 16));
    EXPECT_EQ(softLog, all);
    std::vector<int> firstTraps;
    for (int sensor : trappedSensors())
        if (std::find(firstTraps.begin(), firstTraps.end(), sensor) == firstTraps.end()) firstTraps.push_back(sensor);
    EXPECT_EQ(firstTraps, all);
    EXPECT_LE(trappedSensors().size(), all.size() + fullPeriods + 1);

    EXPECT_EQ(daemon_.stop(), 0) << log();
    EXPECT_EQ(cache.stop(), 0) << log();
    EXPECT_TRUE(oneCursorSection(root_.readFile(kCursor))) << root_.readFile(kCursor);
    size_t temporaries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(root_.at("/usr/qvserver/etc")))
        temporaries += entry.path().filename().string().find(".tmp.") != std::string::npos;
    EXPECT_EQ(temporaries, 0u);
}

// The road out: the real snmptrap delivers the event to a private snmptrapd.
TEST_F(EventAlertDaemon, EventReachesAPrivateSnmptrapdAsVersion1Trap)
{
    for (const char* tool : {"/usr/sbin/snmptrapd", "/usr/bin/snmptrap"})
        if (::access(tool, X_OK) != 0) GTEST_SKIP() << tool << " is not installed";
    qv::test::ScopedEnv persistent("SNMP_PERSISTENT_DIR", root_.at("/persist").c_str());
    qv::test::ScopedEnv noMibs("MIBS", "");
    ::unlink(root_.at("/usr/bin/snmptrap").c_str());
    ASSERT_EQ(::symlink("/usr/bin/snmptrap", root_.at("/usr/bin/snmptrap").c_str()), 0);
    const int port = qv::e2e::freeUdpPort();
    qv::e2e::PrivateSnmptrapd receiver(root_, "traps", port);
    ASSERT_TRUE(receiver.ready()) << receiver.output();
    root_.writeFile("/usr/qvserver/etc/qvtraps.cfg", "127.0.0.1 mantle " + std::to_string(port) + "\n");
    startDaemon();
    write(0x09, 7, "/var!x", 91);
    ASSERT_TRUE(receiver.waitFor("Disk %1 at %2 percent", 20000)) << receiver.output() << log();
    const std::string out = receiver.output();
    EXPECT_NE(out.find("iso.3.6.1.4.1.93071.2.23"), std::string::npos) << out;
    EXPECT_NE(out.find("Enterprise Specific Trap (12)"), std::string::npos) << out;
    EXPECT_NE(out.find("STRING: \"/var\""), std::string::npos) << out;
    EXPECT_NE(out.find("INTEGER: 91"), std::string::npos) << out;
}

TEST(EventAlertDaemonStart, UnsupportedModelIsRefused)
{
    qv::test::TempRoot root;
    const qv::test::ProgramResult r = qv::test::runProgram(
        qv::test::installedPath("health/qveventalertd/qveventalertd"), {}, {{"QV_FOREGROUND", "1"}});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "This system is not an QV system.\n");
}

} // namespace
