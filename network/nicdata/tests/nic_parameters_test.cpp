#include "nic_lock.h"
#include "nic_parameters.h"
#include "temp_root.h"

#include <sys/ipc.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <memory>
#include <string>

namespace {

const char* const kDev =
    "Inter-|   Receive\n"
    " face |bytes packets errs\n"
    "    lo: 1 1 0 0 0 0 0 0 1 1 0 0 0 0 0 0\n"
    "  eth0: 100 30 7 0 0 0 0 0 200 40 7 0 0 0 0 0\n"
    "  eth1: 100 4294967295 25 0 0 0 0 0 200 2 12 0 0 0 0 0\n";

// A private segment per test: its own key, created fresh and removed at the end.
class NicSegment : public ::testing::Test {
protected:
    NicSegment()
        : key(std::to_string(0x10000000 | ((::getpid() & 0xFFFFF) << 7) | nextCase++)),
          keyEnv("QV_NIC_SHM_KEY", key.c_str()),
          logEnv("QV_LOG_FILE", root.at("/log.txt").c_str())
    {
        root.writeFile("/proc/net/dev", kDev);
    }
    ~NicSegment() override
    {
        if (segment) segment->destroy();
    }
    void createSegment() { segment = std::make_unique<SharedMemory>(168, IPC_CREAT | 0600); }
    std::string settings() const { return root.readFile("/usr/qvserver/etc/vknicagt.cfg"); }
    std::string logText() const
    {
        return root.exists("/log.txt") ? root.readFile("/log.txt") : std::string();
    }

    static inline std::atomic<int> nextCase{0};
    qv::test::TempRoot root;
    std::string key;
    qv::test::ScopedEnv keyEnv;
    qv::test::ScopedEnv logEnv;
    std::unique_ptr<SharedMemory> segment;
};

TEST_F(NicSegment, SettingsLoadIntoANewSegmentAndWriteBackWithTwoDecimals)
{
    root.writeFile("/usr/qvserver/etc/vknicagt.cfg",
                   "[PollTime]\nTrapPollTime=7\n[Threshold]\nTxError=10 3 2.5\nRxError=4\n");
    createSegment();
    ASSERT_EQ(segment->getOperationStatus(), 0);
    {
        NICParameters parms(true);
        ASSERT_EQ(parms.getOperationStatus(), 0);
        EXPECT_EQ(parms.getNICParametersCount(), 2u);
        EXPECT_EQ(parms.getSamplingThreshold(), 7);
        EXPECT_EQ(parms.getProcessingThreshold(), 1);
        EXPECT_EQ(parms.getTxErrorDeltaThreshold(), 3);
        EXPECT_FLOAT_EQ(parms.getTxErrorPctThreshold(), 2.5f);
        EXPECT_EQ(parms.getRxErrorDeltaThreshold(), 0);
        EXPECT_EQ(parms.getUtilizationCountThreshold(), 0u);
        EXPECT_EQ(parms.getTxErrorCountThreshold(), 10);
        EXPECT_EQ(parms.getRxErrorCountThreshold(), 4);
        EXPECT_EQ(parms.getOperationStatus(), 0);
    }
    const std::string text = settings();
    EXPECT_NE(text.find("TxError=10 3 2.50\n"), std::string::npos) << text;
    EXPECT_NE(text.find("RxError=4 0 0.00\n"), std::string::npos) << text;
    EXPECT_NE(text.find("TrapProcTime=1\n"), std::string::npos) << text;
    EXPECT_NE(text.find("TxErrorCount/eth1=12\n"), std::string::npos) << text;
    EXPECT_NE(text.find("RxErrorCount/eth0=7\n"), std::string::npos) << text;
}

TEST_F(NicSegment, ARunningAgentNeverOverwritesAFreshSet)
{
    root.writeFile("/usr/qvserver/etc/vknicagt.cfg", "[Utilization]\nUtilCount=5\n");
    createSegment();
    NICParameters firstRun(true);
    NICParameters secondRun(true);
    secondRun.setUtilizationCountThreshold(900);
    // Written back under the lock at once.
    EXPECT_NE(settings().find("UtilCount=900\n"), std::string::npos);
    NICParameters thirdRun(true);
    EXPECT_EQ(thirdRun.getUtilizationCountThreshold(), 900u);
    EXPECT_EQ(firstRun.getUtilizationCountThreshold(), 900u);

    // The daemon (no write-back) changes only the segment until it reloads explicitly.
    NICParameters daemon(false);
    daemon.setSamplingThreshold(11);
    EXPECT_EQ(settings().find("TrapPollTime=11"), std::string::npos);
    EXPECT_TRUE(daemon.loadSettings());
    EXPECT_EQ(daemon.getSamplingThreshold(), 5);
    EXPECT_EQ(daemon.getUtilizationCountThreshold(), 900u);
}

TEST_F(NicSegment, ThresholdTests)
{
    createSegment();
    NICParameters parms(false);
    parms.setTxErrorCountThreshold(10);
    EXPECT_FALSE(parms.isTxErrorCountBeyondThreshold(0));   // 7 errors
    EXPECT_TRUE(parms.isTxErrorCountBeyondThreshold(1));    // 12 errors
    EXPECT_FLOAT_EQ(parms.getTxErrorPct(0), 70.0f);
    parms.setTxErrorPctThreshold(50.0f);
    EXPECT_TRUE(parms.isTxErrorPctBeyondThreshold(0));
    EXPECT_EQ(parms.getOperationStatus(), 0);

    parms.setRxErrorCountThreshold(50);
    EXPECT_FLOAT_EQ(parms.getRxErrorPct(1), 50.0f);          // 25 of 50

    // Baselines were just recorded, so the delta is 0 until the counts move.
    parms.setTxErrorDeltaThreshold(1);
    EXPECT_EQ(parms.getTxErrorDelta(1), 0);
    EXPECT_FALSE(parms.isTxErrorDeltaBeyondThreshold(1));
    root.writeFile("/proc/net/dev", std::string(kDev).replace(std::string(kDev).find("200 2 12"),
                                                              8, "200 2 15"));
    EXPECT_EQ(parms.getTxErrorDelta(1), 3);
    EXPECT_TRUE(parms.isTxErrorDeltaBeyondThreshold(1));

    // A count threshold of 0 disables the count test and fails the percentage.
    parms.setRxErrorCountThreshold(0);
    EXPECT_FALSE(parms.isRxErrorCountBeyondThreshold(1));
    parms.setRxErrorPctThreshold(1.0f);
    EXPECT_FALSE(parms.isRxErrorPctBeyondThreshold(1));
    EXPECT_EQ(parms.getOperationStatus(), -1);

    // Traffic: disabled at 0; eth1's packet sum wraps past 32 bits.
    EXPECT_FALSE(parms.isUtilizationCountBeyondThreshold(0));
    EXPECT_EQ(parms.getUtilizationCount(1), 1u);
    parms.setUtilizationCountThreshold(70);
    EXPECT_TRUE(parms.isUtilizationCountBeyondThreshold(0));
    EXPECT_FALSE(parms.isUtilizationCountBeyondThreshold(1));

    EXPECT_FALSE(parms.isAdapterTypeBeyondThreshold(0));
    parms.setAdapterTypeThreshold(3);
    EXPECT_EQ(parms.getAdapterTypeThreshold(), 3);
    EXPECT_TRUE(parms.isAdapterTypeBeyondThreshold(0));
    EXPECT_TRUE(parms.isAdapterTypeBeyondThreshold(1));

    EXPECT_EQ(parms.getTxErrorCount(2), -1);
    EXPECT_EQ(parms.getOperationStatus(), -1);
}

TEST_F(NicSegment, MissingSegmentFailsEveryAccessAndLogs)
{
    NICParameters parms(false);
    EXPECT_EQ(parms.getSamplingThreshold(), 0);
    EXPECT_EQ(parms.getOperationStatus(), -1);
    parms.setSamplingThreshold(9);
    EXPECT_EQ(parms.getOperationStatus(), -1);
    EXPECT_NE(logText().find("SHM mechanism failed (NICParameter::checkSHM())."),
              std::string::npos);
}

TEST_F(NicSegment, TooShortDevFileLeavesTheSettingsUnloaded)
{
    root.writeFile("/usr/qvserver/etc/vknicagt.cfg", "[PollTime]\nTrapPollTime=7\n");
    root.writeFile("/proc/net/dev", "a\nb\n");
    createSegment();
    NICParameters parms(false);
    EXPECT_EQ(parms.getOperationStatus(), -1);
    EXPECT_EQ(parms.getSamplingThreshold(), 0);
}

TEST(NicSegmentKey, NeverTheAllOnesKey)
{
    qv::test::TempRoot root;
    qv::test::ScopedEnv noOverride("QV_NIC_SHM_KEY", nullptr);
    int key = 0;
    EXPECT_FALSE(nic::segmentKey(key));   // the start script is missing
    SharedMemory missing(168, 0600);
    EXPECT_EQ(missing.getOperationStatus(), -1);
    EXPECT_EQ(missing.getSegmentID(), -1);

    root.writeFile("/etc/rc.d/init.d/qvlanalertd", "#!/bin/sh\n");
    ASSERT_TRUE(nic::segmentKey(key));
    EXPECT_NE(key, -1);
    for (const char* bad : {"-1", "0", "12x", "0x80000000"}) {
        qv::test::ScopedEnv override("QV_NIC_SHM_KEY", bad);
        EXPECT_FALSE(nic::segmentKey(key)) << bad;
    }
    qv::test::ScopedEnv override("QV_NIC_SHM_KEY", "0x1234");
    ASSERT_TRUE(nic::segmentKey(key));
    EXPECT_EQ(key, 0x1234);
}

TEST(NicLock, TimesOutWhileAnotherProcessHoldsIt)
{
    qv::test::TempRoot root;
    int ready[2];
    int release[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(release), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(release[1]);
        int h = 0;
        const char ok = nic::AcquireSemaphore("qvnic_test_lock", &h, 0) == 0 ? '1' : '0';
        (void)!::write(ready[1], &ok, 1);
        char c;
        (void)!::read(release[0], &c, 1);
        ::_exit(0);
    }
    ::close(release[0]);
    ::close(ready[1]); // a child that dies early then gives EOF instead of a hang
    char ok = 0;
    ASSERT_EQ(::read(ready[0], &ok, 1), 1);
    EXPECT_EQ(ok, '1');

    int handle = 0;
    EXPECT_EQ(nic::AcquireSemaphore("qvnic_test_lock", &handle, 50), ETIMEDOUT);
    ::close(release[1]);
    int status = 0;
    ::waitpid(child, &status, 0);
    ::close(ready[0]);

    ASSERT_EQ(nic::AcquireSemaphore("qvnic_test_lock", &handle, 50), 0);
    int nested = 0;
    EXPECT_EQ(nic::AcquireSemaphore("qvnic_test_lock", &nested, 0), 0);
    EXPECT_EQ(nested, handle);
    EXPECT_EQ(nic::ReleaseSemaphore(nested), 0);
    EXPECT_EQ(nic::ReleaseSemaphore(handle), 0);
    EXPECT_EQ(nic::ReleaseSemaphore(handle), EINVAL);
    EXPECT_EQ(nic::AcquireSemaphore(nullptr, &handle, 0), EINVAL);
}

} // namespace
