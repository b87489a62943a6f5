// qvrevagent's objects in-process: getters over the shared files, GETNEXT order, and the SETs
// that control the scanning service (signals go to a recorder, never to a process).
#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

#include "agent_frontend.h"
#include "tokenizer.h"
#include "process_lock.h"
#include "registry.h"
#include "rev_fields.h"
#include "rev_objects.h"
#include "sandbox_path.h"
#include "scan_service_signal.h"
#include "sw_files.h"
#include "temp_root.h"

namespace {

const std::string kRev = ".1.3.6.1.4.1.93071.2.23.24";

struct Signal {
    pid_t pid;
    int signo;
};
std::vector<Signal> g_signals;
bool recordSignal(pid_t pid, int signo)
{
    g_signals.push_back({pid, signo});
    return true;
}

class RevObjects : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        qv::test::TempRoot bootRoot;   // the cache check at load time runs in a throw-away root
        ASSERT_TRUE(loadObjects());
    }

    void SetUp() override
    {
        setScanServiceSignaller(recordSignal);
        g_signals.clear();
        root.writeFile("/var/qvserver/.keep", "");
    }
    void TearDown() override { setScanServiceSignaller(nullptr); }

    // The three answer lines of a GET or GETNEXT, joined by '\n'; "" when there is no object.
    static std::string answer(SnmpObject* object)
    {
        if (object == nullptr) return "";
        SnmpValue& value = object->getValue();
        std::string text = value.asString();
        if (value.getType() == SNMP_OCTET_STRING)
            text = bin2asc(reinterpret_cast<const unsigned char*>(value.bytes().data()),
                           static_cast<unsigned>(value.bytes().size()));
        return std::string(object->getOid().asString()) + "\n" + value.typeAsString() + "\n" + text;
    }
    static SnmpOid oidOf(const std::string& suffix)
    {
        SnmpOid oid;
        EXPECT_TRUE(oid.parse((kRev + suffix).c_str()));
        return oid;
    }
    static std::string get(const std::string& suffix) { return answer(objects.find(oidOf(suffix))); }
    static std::string next(const std::string& suffix) { return answer(objects.findNext(oidOf(suffix))); }
    // "" when accepted, else the object's error text ("" too when its setter refused: "refused").
    static std::string set(const std::string& suffix, int number)
    {
        SnmpObject* object = objects.find(oidOf(suffix));
        if (object == nullptr) return "no object";
        SnmpValue value(SNMP_ACCESS_UNDEF, SNMP_INTEGER);
        value.setValue(number);
        if (object->setValue(value)) return "";
        return object->getError().empty() ? "refused" : object->getError();
    }

    qv::test::TempRoot root;
};

TEST_F(RevObjects, ManagedSoftwareFieldsAndDates)
{
    root.writeFile(swfiles::kCacheFile,
                   "[Software]\ntotal=2\n"
                   "0=qvrevagent;52410;101 3 14 17 2 300;4;1;A.01.02;Agent;\n"
                   "1=qvx;;101 3 14;4;2;A.01;Daemon;\n");
    EXPECT_EQ(get(".2.1.1.1.0"), kRev + ".2.1.1.1.0\ninteger\n0");
    EXPECT_EQ(get(".2.1.1.2.0"), kRev + ".2.1.1.2.0\nstring\nqvrevagent");
    EXPECT_EQ(get(".2.1.1.3.0"), kRev + ".2.1.1.3.0\nstring\n52410");
    EXPECT_EQ(get(".2.1.1.4.0"), kRev + ".2.1.1.4.0\noctet\n 65 03 0E 11 02 2C 00");
    EXPECT_EQ(get(".2.1.1.5.0"), kRev + ".2.1.1.5.0\ninteger\n4");
    EXPECT_EQ(get(".2.1.1.6.0"), kRev + ".2.1.1.6.0\ninteger\n1");
    EXPECT_EQ(get(".2.1.1.7.0"), kRev + ".2.1.1.7.0\nstring\nA.01.02");
    EXPECT_EQ(get(".2.1.1.8.0"), kRev + ".2.1.1.8.0\nstring\nAgent");
    // The empty size moves the later fields one column left; the final ';' adds an empty one.
    EXPECT_EQ(get(".2.1.1.3.1"), kRev + ".2.1.1.3.1\nstring\n101 3 14");
    EXPECT_EQ(get(".2.1.1.5.1"), kRev + ".2.1.1.5.1\ninteger\n2");
    EXPECT_EQ(get(".2.1.1.8.1"), kRev + ".2.1.1.8.1\nstring\n");
    EXPECT_THROW(get(".2.1.1.4.1"), TokenizerError);   // "4" is no date: the handler ends it
    EXPECT_EQ(get(".2.1.1.2.2"), "");
}

TEST_F(RevObjects, HistoryAndBiosRowsFromTheirFiles)
{
    root.writeFile(swfiles::kHistoryFile,
                   "[RHLog]\nCount=2\n"
                   "0=QV Velkarn SNMP Agents,,,,1,A.01.02,3/14/2001 17:02,1\n"
                   "1=aic7xxx.o,1234,9/9/2001 01:46,4,2,1234 9/9/2001 01:46,3/15/2001 08:05,3\n");
    root.writeFile(swfiles::kBiosFile, "[BIOSInfo]\nCount=1\n0=System BIOS,1,1.00.07,System BIOS\n");
    const struct {
        const char* suffix;
        const char* type;
        const char* value;
    } cases[] = {
        {".5.1.1.1.0", "integer", "0"}, {".5.1.1.2.0", "string", "QV Velkarn SNMP Agents"},
        {".5.1.1.3.0", "string", ""}, {".5.1.1.4.0", "octet", " 00 00 00 00 00 00"},
        {".5.1.1.5.0", "integer", "0"}, {".5.1.1.6.0", "integer", "1"},
        {".5.1.1.7.0", "integer", "1"}, {".5.1.1.8.0", "string", "A.01.02"},
        {".5.1.1.9.0", "octet", " 65 03 0E 11 02 00"},
        {".5.1.1.3.1", "string", "1234"}, {".5.1.1.4.1", "octet", " 65 09 09 01 2E 00"},
        {".5.1.1.6.1", "integer", "3"}, {".5.1.1.8.1", "string", "1234 9/9/2001 01:46"},
        {".4.1.1.2.0", "string", "System BIOS"}, {".4.1.1.3.0", "integer", "1"},
        {".4.1.1.4.0", "string", "1.00.07"}, {".4.1.1.5.0", "string", "System BIOS"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(get(c.suffix), kRev + c.suffix + "\n" + c.type + "\n" + c.value);
    EXPECT_EQ(get(".5.1.1.2.2"), "");
    EXPECT_EQ(commaField("a,b", 5), "");
    EXPECT_EQ(commaField("a," + std::string(300, 'x'), 1).size(), 255u);
}

TEST_F(RevObjects, GetNextWalksRowsFromZeroAcrossColumnsAndTables)
{
    root.writeFile(swfiles::kCacheFile, "[Software]\ntotal=2\n0=a;1;1 1 1 1 1 1;4;1;v;Agent;\n"
                                        "1=b;2;1 1 1 1 1 1;4;1;v;Agent;\n");
    root.writeFile(swfiles::kHistoryFile, "[RHLog]\nCount=1\n0=n,1,,4,2,v,,3\n");
    ASSERT_EQ(SetRegData(swfiles::kVersionRegKey, "A.01.03", 7), 0u);
    EXPECT_EQ(next(""), kRev + ".1.1.0\ninteger\n1");
    EXPECT_EQ(next(".1.1.0"), kRev + ".1.2.0\ninteger\n0");
    EXPECT_EQ(next(".1.2.0"), kRev + ".2.1.1.1.0\ninteger\n0");
    EXPECT_EQ(next(".2.1.1.1.0"), kRev + ".2.1.1.1.1\ninteger\n1");
    EXPECT_EQ(next(".2.1.1.1.1"), kRev + ".2.1.1.2.0\nstring\na");
    // No drivers and no BIOS rows: the last software row leads to the history table.
    EXPECT_EQ(next(".2.1.1.8.1"), kRev + ".5.1.1.1.0\ninteger\n0");
    EXPECT_EQ(next(".5.1.1.9.0"), kRev + ".6.0\nstring\nA.01.03");
    EXPECT_EQ(next(".6.0"), kRev + ".7.0\ninteger\n1");
    EXPECT_EQ(next(".8.0"), kRev + ".9.0\ninteger\n0");
    EXPECT_EQ(next(".10.0"), "");
}

TEST_F(RevObjects, SetsWriteSettingsAndSignalTheRecordedService)
{
    qv::test::ScopedEnv logFile("QV_LOG_FILE", root.at("/agent.log").c_str());
    EXPECT_EQ(set(".7.0", 0), "");   // no PID recorded: written, nobody signalled
    EXPECT_TRUE(g_signals.empty());
    root.writeFile(swfiles::kConfigFile, "[Polling]\nState=0\nPID=4242\n");
    EXPECT_EQ(set(".8.0", 3), "");
    EXPECT_EQ(set(".7.0", 2), "");
    EXPECT_EQ(get(".7.0"), kRev + ".7.0\ninteger\n2");
    EXPECT_EQ(get(".8.0"), kRev + ".8.0\ninteger\n3");
    EXPECT_EQ(set(".9.0", 9913), "");
    EXPECT_EQ(set(".10.0", 9913), "");
    EXPECT_EQ(set(".9.0", 1), "refused");
    EXPECT_EQ(set(".10.0", 9912), "refused");
    EXPECT_EQ(set(".1.1.0", 1), "not-writable");
    ASSERT_EQ(g_signals.size(), 4u);
    const int expected[] = {SIGHUP, SIGHUP, SIGUSR2, SIGUSR1};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(g_signals[i].pid, 4242);
        EXPECT_EQ(g_signals[i].signo, expected[i]);
    }
    EXPECT_EQ(get(".9.0"), kRev + ".9.0\ninteger\n0");
    EXPECT_EQ(root.readFile("/agent.log"),
              "SET operation in " + kRev + ".9.0 attribute failed. Correct value is 9913 to force "
              "manual polling.\nSET operation in " + kRev + ".10.0 attribute failed. Correct value "
              "is 9913 to erase log file.\n");
}

TEST_F(RevObjects, BusyLockGivesDefaultsAndSetsStillSucceed)
{
    qv::test::ScopedEnv shortLocks("QV_SWA_LOCK_TIMEOUT_MS", "100");
    root.writeFile(swfiles::kConfigFile, "[Polling]\nState=0\nTime=3\nPID=4242\n");
    root.writeFile(swfiles::kHistoryFile, "[RHLog]\nCount=1\n0=n,1,,4,2,v,,3\n");
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t holder = ::fork();
    if (holder == 0) {
        qv::lockFileAcquire(qv::sandboxPath(swfiles::kAgentLock), 1000);
        (void)!::write(ready[1], "x", 1);
        for (;;) ::pause();
    }
    char c;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    EXPECT_EQ(get(".7.0"), kRev + ".7.0\ninteger\n1");
    EXPECT_EQ(get(".8.0"), kRev + ".8.0\ninteger\n17");
    EXPECT_EQ(get(".5.1.1.1.0"), "");
    EXPECT_EQ(set(".7.0", 5), "");
    EXPECT_EQ(set(".9.0", 9913), "");
    EXPECT_TRUE(g_signals.empty());
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    ::close(ready[0]);
    ::close(ready[1]);
    EXPECT_EQ(get(".7.0"), kRev + ".7.0\ninteger\n0");
}

TEST(ScanServiceSignal, OnlyARunningScanServiceIsSignalled)
{
    const pid_t child = ::fork();
    if (child == 0) {
        ::execl("/bin/sleep", "sleep", "30", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    EXPECT_FALSE(processIsScanService(child));
    EXPECT_FALSE(signalScanService(child, SIGTERM));
    EXPECT_FALSE(signalScanService(0, SIGTERM));
    EXPECT_FALSE(signalScanService(-1, SIGTERM));
    EXPECT_FALSE(signalScanService(::getpid(), SIGTERM));
    EXPECT_EQ(::waitpid(child, nullptr, WNOHANG), 0);   // still running
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
}

} // namespace
