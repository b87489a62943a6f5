// qvbmccached as its own process on the standalone simulator, asked by real clients.
#include "service_process.h"

#include <qvbmccache.h>
#include <qvbmc.h>
#include <qvbmccached.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

using namespace qv::test;
using namespace std::chrono_literals;

// A 0.9 full sensor record of the baseboard controller with 0.9 entity code 0x6E.
nlohmann::json record09()
{
    std::vector<uint8_t> r(5 + 59, 0);
    r[0] = 0x40;          // record id 0x0040
    r[2] = 0x10;          // SDR version 0.9
    r[3] = 0x01;          // full sensor record
    r[4] = 59;
    uint8_t* body = r.data() + 5;
    body[0] = 0x20;       // owner
    body[2] = 0x30;       // sensor number
    body[8] = 0x01;       // temperature
    body[9] = 0x01;
    body[41] = 0x6E;      // 0.9 entity code
    body[42] = 0xC4;
    std::memcpy(body + 43, "Old1", 4);
    std::string hex;
    for (uint8_t b : r) {
        char two[3];
        std::snprintf(two, sizeof two, "%02x", b);
        hex += two;
    }
    return {{"kind", "raw"}, {"bytes", hex}};
}

class CacheServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        nlohmann::json scenario = defaultScenario();
        scenario["bmc"]["sdr"].push_back(record09());
        ASSERT_TRUE(startSimulator(sim, root, scenario));
        service.start(installedPath("mgmtctl/qvbmccached/qvbmccached"), {},
                      {{"QV_FOREGROUND", "1"}, {"QV_LOG_FILE", root.path() + "/qv.log"}});
        ASSERT_TRUE(eventually([&] { return root.exists(kIpmiRequestPipe); }));
        // The package scan at start may outlast one client's wait on a loaded machine.
        ASSERT_TRUE(eventually([&] { return ask(1, 0, 0, &system, sizeof system) == 0; }, 180s));
    }
    void TearDown() override {
        EXPECT_EQ(service.stop(), 0);
        EXPECT_FALSE(root.exists(kIpmiRequestPipe));
    }

    template <typename T>
    unsigned ask(unsigned op, unsigned package, unsigned unit, T* out, uint32_t size,
                 unsigned* delivered = nullptr) {
        return QvIpmiGetData(op, package, unit, nullptr,
                             {reinterpret_cast<unsigned char*>(out), size}, delivered);
    }

    TempRoot root;
    ChildProcess sim;
    ChildProcess service;
    IpmiInfoType system{};
};

TEST_F(CacheServiceTest, ConcurrentClientsEachGetTheirOwnAnswer)
{
    EXPECT_EQ(system.bVersion, 10);
    EXPECT_EQ(system.nPackages, 3u);   // baseboard, power and card controllers
    EXPECT_EQ(system.nSensors, 7u);    // baseboard: three 1.0, one 0.9; power supply: three
    EXPECT_EQ(system.nFRUs, 4u);
    std::vector<PkgInfoType> packages(system.nPackages);
    for (unsigned p = 0; p < system.nPackages; ++p)
        ASSERT_EQ(ask(2, p, 0, &packages[p], sizeof packages[p]), 0u);
    EXPECT_EQ(packages[0].bAddr, 0x20);
    EXPECT_STREQ(packages[0].szFWVersion, "B.01.23");
    EXPECT_EQ(packages[1].bAddr, 0x22);

    std::vector<pid_t> children;
    for (int child = 0; child < 6; ++child) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            int failures = 0;
            for (int round = 0; round < 5; ++round) {
                const unsigned p = static_cast<unsigned>(child + round) % system.nPackages;
                PkgInfoType info{};
                failures += ask(2, p, 0, &info, sizeof info) != 0 || info.bAddr != packages[p].bAddr ||
                            info.nSensors != packages[p].nSensors;
                IpmiInfoType sys{};
                failures += ask(1, 0, 0, &sys, sizeof sys) != 0 || sys.nSensors != system.nSensors;
                SensorReadingStruct reading{};
                unsigned got = 0;
                failures += ask(11, 0, 1, &reading, sizeof reading, &got) != 0 || got != 26 ||
                            reading.tAnalog.bRawReading != 38;
                PipeSDR sdr{};
                failures += ask(12, 0, 2, &sdr, sizeof sdr) != 0 || sdr.sensorNumber != 2 ||
                            std::string(sdr.name, 13) != "Baseboard 12V";
            }
            ::_exit(failures == 0 ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = -1;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(::access(root.at(replyPipeName(::getpid())).c_str(), F_OK), -1);
}

TEST_F(CacheServiceTest, StatusCodesAndShortBuffers)
{
    SensorReadingStruct reading{};
    unsigned got = 0;
    EXPECT_EQ(ask(11, 0, 1, &reading, 26, &got), 0u);
    EXPECT_EQ(got, 26u);
    EXPECT_EQ(ask(11, 0, 1, &reading, 20, &got), IPMI_STATUS_BUFFER_TOO_SMALL);
    EXPECT_EQ(got, 20u);
    EXPECT_EQ(reading.tAnalog.bRawReading, 38);
    PkgInfoType package{};
    EXPECT_EQ(ask(2, 5, 0, &package, sizeof package), IPMI_STATUS_NO_PACKAGE);
    EXPECT_EQ(ask(11, 0, 99, &reading, sizeof reading), IPMI_STATUS_NO_SENSOR);
    EXPECT_EQ(ask(12, 7, 0, &reading, sizeof reading), IPMI_STATUS_NO_SENSOR);
    EXPECT_EQ(ask(7, 0, 0, &reading, sizeof reading), 0u);
}

TEST_F(CacheServiceTest, RecordOf09SensorCarriesMappedEntity)
{
    PipeSDR sdr{};
    unsigned got = 0;
    ASSERT_EQ(ask(12, 0, 0, &sdr, sizeof sdr, &got), 0u);   // 0.9 sensors come first
    EXPECT_EQ(got, 41u);
    EXPECT_EQ(sdr.sdrVersion, 1);
    EXPECT_EQ(sdr.sensorNumber, 0x30);
    EXPECT_EQ(sdr.entityId, 0x04);
    EXPECT_EQ(sdr.entityInstance, 3);
    EXPECT_EQ(std::string(sdr.name, 4), "Old1");
}

TEST_F(CacheServiceTest, RepliesOnlyToItsOwnFifos)
{
    root.writeFile("/var/qvserver/pipe.ret77777", "keep");
    const std::string other = root.path() + "/other.fifo";
    ASSERT_EQ(::mkfifo(other.c_str(), 0700), 0);
    ASSERT_EQ(::symlink(other.c_str(), root.at("/var/qvserver/pipe.ret77778").c_str()), 0);
    const int watch = ::open(other.c_str(), O_RDWR | O_NONBLOCK);
    for (const char* name : {"/var/qvserver/pipe.ret77777", "/var/qvserver/pipe.ret77778",
                             "/var/qvserver/../../other.fifo"}) {
        RequestMessage message{};
        std::memcpy(message.szRetPipeName, name, std::min(std::strlen(name), sizeof message.szRetPipeName));
        message.request.opCode = 1;
        message.request.cbMaxSize = 64;
        const int in = ::open(root.at(kIpmiRequestPipe).c_str(), O_WRONLY | O_NONBLOCK);
        ASSERT_GE(in, 0);
        EXPECT_EQ(::write(in, &message, sizeof message), static_cast<ssize_t>(sizeof message));
        ::close(in);
    }
    IpmiInfoType again{};
    EXPECT_EQ(ask(1, 0, 0, &again, sizeof again), 0u);   // served after the refused ones
    EXPECT_EQ(root.readFile("/var/qvserver/pipe.ret77777"), "keep");
    char byte;
    EXPECT_EQ(::read(watch, &byte, 1), -1);
    ::close(watch);
}

// Start-up failures, without a service left running.
class CacheServiceStartTest : public ::testing::Test {
protected:
    int run(ChildProcess& service) {
        service.start(installedPath("mgmtctl/qvbmccached/qvbmccached"), {},
                      {{"QV_LOG_FILE", root.path() + "/qv.log"}}, root.path() + "/out.txt");
        return service.wait(60s);
    }
    void writeBios(int model) {
        ChildProcess bios;
        bios.start(buildPath("sim/biosimage/qvsim-bios"),
                   {"--format", "smbios21", "--model", std::to_string(model), root.at("/dev/mem")}, {});
        ASSERT_EQ(bios.wait(30s), 0);
    }
    TempRoot root;
};

TEST_F(CacheServiceStartTest, UnsupportedPlatformIsToldBeforeDetaching)
{
    for (int model : {0, 79}) {   // no BIOS image at all, then a code outside the library set
        if (model)
            writeBios(model);
        ChildProcess service;
        EXPECT_EQ(run(service), 1);
        EXPECT_EQ(readWholeFile(root.path() + "/out.txt"), kMsgNotVelkarn);
        EXPECT_FALSE(root.exists(kIpmiRequestPipe));
    }
}

TEST_F(CacheServiceStartTest, ThreeFailedSetUpsRemoveTheFifoAndExitZero)
{
    writeBios(55);   // a supported server whose controller never answers
    ChildProcess service;
    service.start(installedPath("mgmtctl/qvbmccached/qvbmccached"), {},
                  {{"QV_FOREGROUND", "1"}, {"QV_LOG_FILE", root.path() + "/qv.log"}});
    EXPECT_EQ(service.wait(60s), 0);
    EXPECT_FALSE(root.exists(kIpmiRequestPipe));
}

} // namespace
