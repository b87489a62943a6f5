// The event cache: rows formatted from the soft log and the description file, and the service
// answering them over its socket.
#include "event_cache_protocol.h"
#include "event_log_cache.h"

#include "model_code.h"
#include "sandbox_path.h"
#include "service_client.h"
#include "event_log_simulator.h"
#include "service_process.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>

namespace {

using qv::test::ChildProcess;

// One reply of at most `length` bytes; `length` becomes its size.
bool readUpTo(CServiceClient& client, char* reply, int& length)
{
    const int received = client.ReadVariableReply(reply, length);
    if (received < 0 || received > length) return false;
    length = received;
    return true;
}

void writeSoftLog(const std::string& lines)
{
    std::ofstream(GetSoftLogFile(), std::ios::binary | std::ios::trunc) << lines;
}

constexpr char kDescriptions[] =
    "[SensorType 0x04]\n[EvtTrigger 0x01]\n"
    "[Offset 0x02]\nString=Fan %1 failed\nTrapID=1.3.6.1.4.1.93071.2.23.5\nVarbind1=sn\nVarbind2=b2\n"
    "[Offset 0x03]\nTrapID=1.3.6.1.4.1.93071.2.23.9\nVarbind2=\n";

class EventCache : public ::testing::Test {
protected:
    void SetUp() override
    {
        nlohmann::json scenario = qv::test::defaultScenario();
        scenario["bmc"]["clock"] = 946782245;   // 2000-01-02 03:04:05 UTC
        ASSERT_TRUE(qv::test::startEmptyLogSimulator(sim_, root_, scenario));
        root_.writeFile("/usr/qvserver/etc/evtspec.cfg", kDescriptions);
        write(0x02, 0x41);
        write(0x03, 0x00);
    }
    void write(uint8_t offset, uint8_t data2)
    {
        Sel r{};
        r.recordType = 2;
        r.generatorId = 0x41;
        r.eventVersion = 3;
        r.sensorType = 0x04;
        r.sensorNumber = 7;
        r.eventTrigger = 0x01;
        r.eventData1 = offset;
        r.eventData2 = data2;
        r.eventData3 = 0xFF;
        ASSERT_EQ(QVEL_WriteEvent(&r, nullptr), 0);
    }
    // The installed service, answering once its socket is there.
    bool startService(ChildProcess& service)
    {
        service.start(qv::test::installedPath("health/qveventcached/qveventcached"), {}, {{"QV_FOREGROUND", "1"}});
        const std::string socketPath = root_.at(kEventCacheSocketPath);
        return qv::test::eventually([&] { struct stat st{}; return ::stat(socketPath.c_str(), &st) == 0; },
                                    std::chrono::seconds(20));
    }
    std::string text(bool (CEventLogCache::*get)(int, char*, int*), int row)
    {
        char buffer[256];
        int length = sizeof buffer;
        if (!(cache_.*get)(row, buffer, &length)) return "<none>";
        return std::string(buffer, static_cast<size_t>(length));
    }

    qv::test::TempRoot root_;
    qv::test::ScopedEnv log_{"QV_LOG_FILE", root_.at("/log").c_str()};
    qv::test::ScopedEnv tz_{"TZ", "UTC"};
    ChildProcess sim_;
    CEventLogCache cache_;
};

TEST_F(EventCache, RowsCarryTheDescriptionKeysAndTheirFallBacks)
{
    EXPECT_EQ(cache_.GetCount(), 2);
    char date[6];
    int length = sizeof date;
    ASSERT_TRUE(cache_.GetDate(0, date, &length));
    EXPECT_EQ(std::string(date, 6), std::string("\x64\x01\x02\x03\x04\x05", 6));
    EXPECT_EQ(text(&CEventLogCache::GetDescription, 0), std::string("Fan %1 failed", 14));
    EXPECT_EQ(text(&CEventLogCache::GetTrapId, 0), std::string("1.3.6.1.4.1.93071.2.23.5", 25));
    char varbind[256];
    length = sizeof varbind;
    ASSERT_TRUE(cache_.GetVarbind(2, 0, varbind, &length));
    EXPECT_STREQ(varbind, "65");
    length = sizeof varbind;
    ASSERT_TRUE(cache_.GetVarbind(3, 0, varbind, &length));
    EXPECT_STREQ(varbind, "[No Varbind]");
    EXPECT_EQ(text(&CEventLogCache::GetDescription, 1), std::string("[No String]", 12));
    for (int row : {-1, 2, 0xFFFF}) EXPECT_EQ(text(&CEventLogCache::GetTrapId, row), "<none>") << row;
    EXPECT_EQ(cache_.HeldRow(), 1);   // a row that cannot be read leaves the one held
}

TEST_F(EventCache, ARowIsReadOnceAndTheLastColumnFetchesTheNext)
{
    char date[6];
    int length = sizeof date;
    ASSERT_TRUE(cache_.GetDate(0, date, &length));
    // Columns 3 to 12 of the row held come from the same reading, whatever the description file
    // and the soft log say meanwhile.
    const std::string lines = qv::test::readWholeFile(GetSoftLogFile());
    root_.writeFile("/usr/qvserver/etc/evtspec.cfg", "");
    writeSoftLog("");
    EXPECT_EQ(text(&CEventLogCache::GetDescription, 0), std::string("Fan %1 failed", 14));
    EXPECT_EQ(text(&CEventLogCache::GetTrapId, 0), std::string("1.3.6.1.4.1.93071.2.23.5", 25));
    for (int n = 1; n <= 8; ++n) {
        char varbind[256];
        length = sizeof varbind;
        ASSERT_TRUE(cache_.GetVarbind(n, 0, varbind, &length)) << n;
        EXPECT_STREQ(varbind, n == 1 ? "7" : n == 2 ? "65" : "[No Varbind]") << n;
    }
    writeSoftLog(lines);
    EXPECT_EQ(text(&CEventLogCache::GetTrapId, 1), std::string("[No TrapID]", 12));
}

TEST_F(EventCache, EmptyMissingAndDamagedLogs)
{
    const std::string lines = qv::test::readWholeFile(GetSoftLogFile());
    // Damaged lines around the records: the records still answer as the rows they are.
    writeSoftLog("garbage\n" + lines + "14 00\n\x01\xff not a record at all, but long enough to pass for one\n");
    const int count = cache_.GetCount();
    EXPECT_GE(count, 2);
    bool fan = false;
    for (int row = 0; row < count; ++row) fan = fan || text(&CEventLogCache::GetDescription, row) == std::string("Fan %1 failed", 14);
    EXPECT_TRUE(fan);
    EXPECT_EQ(text(&CEventLogCache::GetDescription, count), "<none>");

    writeSoftLog("");
    EXPECT_EQ(cache_.GetCount(), 0);
    ASSERT_EQ(::unlink(GetSoftLogFile()), 0);
    EXPECT_EQ(cache_.GetCount(), 0);
    EXPECT_EQ(text(&CEventLogCache::GetDate, 5), "<none>");
}

TEST_F(EventCache, ServiceAnswersOnlyWhatItIsAskedAndStopsCleanly)
{
    ChildProcess service;
    const std::string socketPath = root_.at(kEventCacheSocketPath);
    ASSERT_TRUE(startService(service));
    CServiceClient client(kEventCacheSocketPath), other(kEventCacheSocketPath);
    client.Socket().SetTimeout(3000);
    other.Socket().SetTimeout(3000);
    int32_t count = 0;
    ASSERT_TRUE(client.SendFields({kEventCacheCount}));
    ASSERT_TRUE(client.ReadReply(&count, sizeof count));
    EXPECT_EQ(count, 2);

    // Two clients interleaving their datagrams each get their own row.
    ASSERT_TRUE(client.SendFields({kEventCacheTrapId}));
    ASSERT_TRUE(other.SendFields({kEventCacheTrapId, 1}));
    ASSERT_TRUE(client.SendFields({0}));
    char reply[256];
    int length = sizeof reply;
    ASSERT_TRUE(readUpTo(other, reply, length));
    EXPECT_EQ(std::string(reply, static_cast<size_t>(length)), std::string("1.3.6.1.4.1.93071.2.23.9", 25));
    length = sizeof reply;
    ASSERT_TRUE(readUpTo(client, reply, length));
    EXPECT_EQ(std::string(reply, static_cast<size_t>(length)), std::string("1.3.6.1.4.1.93071.2.23.5", 25));

    // The last column of row 1 (as a walk asks it) fetches row 2 at once: its texts are those of
    // the description file before it changed.
    ASSERT_TRUE(client.SendFields({kEventCacheVarbind8, 0}));
    length = sizeof reply;
    ASSERT_TRUE(readUpTo(client, reply, length));
    EXPECT_EQ(std::string(reply, static_cast<size_t>(length)), std::string("[No Varbind]", 13));
    ASSERT_TRUE(client.SendFields({kEventCacheCount}));   // answered once the prefetch is done
    ASSERT_TRUE(client.ReadReply(&count, sizeof count));
    root_.writeFile("/usr/qvserver/etc/evtspec.cfg", "");
    ASSERT_TRUE(client.SendFields({kEventCacheTrapId, 1}));
    length = sizeof reply;
    ASSERT_TRUE(readUpTo(client, reply, length));
    EXPECT_EQ(std::string(reply, static_cast<size_t>(length)), std::string("1.3.6.1.4.1.93071.2.23.9", 25));

    // A row past the log gets an empty answer; an unknown command gets none.
    ASSERT_TRUE(client.SendFields({kEventCacheDescription, 2}));
    length = sizeof reply;
    ASSERT_TRUE(readUpTo(client, reply, length));
    EXPECT_EQ(length, 0);
    client.Socket().SetTimeout(300);
    ASSERT_TRUE(client.SendFields({13}));
    length = sizeof reply;
    EXPECT_FALSE(readUpTo(client, reply, length));
    EXPECT_NE(root_.readFile("/log").find("Unknown command: 13"), std::string::npos);

    // A command without its row, or a datagram of the wrong size, gets nothing; the service goes on.
    ASSERT_TRUE(client.SendFields({kEventCacheDescription}));
    length = sizeof reply;
    EXPECT_FALSE(readUpTo(client, reply, length));
    const char shortDatagram[2] = {1, 0};
    sockaddr_un service_address{};
    ASSERT_TRUE(qv::makeUnixAddress(socketPath, service_address));
    ASSERT_TRUE(client.Socket().Write(shortDatagram, 2, reinterpret_cast<sockaddr*>(&service_address),
                                      sizeof service_address));
    length = sizeof reply;
    EXPECT_FALSE(readUpTo(client, reply, length));
    ASSERT_TRUE(other.SendFields({kEventCacheCount}));
    ASSERT_TRUE(other.ReadReply(&count, sizeof count));
    EXPECT_EQ(count, 2);

    service.signal(SIGTERM);
    EXPECT_EQ(service.wait(std::chrono::seconds(20)), 0);
    struct stat st{};
    EXPECT_NE(::stat(socketPath.c_str(), &st), 0);
}

// A key written without a value is an empty token, which writes nothing; only a key that is not
// there at all is marked.
TEST_F(EventCache, OnlyAMissingVarbindIsMarkedAnEmptyOneReadsEmpty)
{
    ChildProcess service;
    ASSERT_TRUE(startService(service));
    CServiceClient client(kEventCacheSocketPath);
    client.Socket().SetTimeout(3000);
    const std::pair<int32_t, std::string> columns[] = {
        {kEventCacheVarbind1, "[No Varbind]"}, {kEventCacheVarbind1 + 1, ""}, {kEventCacheVarbind1 + 2, "[No Varbind]"}};
    for (const auto& [command, text] : columns) {
        ASSERT_TRUE(client.SendFields({command, 1}));
        char reply[256];
        int length = sizeof reply;
        ASSERT_TRUE(readUpTo(client, reply, length)) << command;
        EXPECT_EQ(std::string(reply, static_cast<size_t>(length)), std::string(text.c_str(), text.size() + 1)) << command;
    }
}

} // namespace
