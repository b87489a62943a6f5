// qvsim as its own process: one state shared by all clients, the control channel, and the stock
// ipmitool reading the simulated controller through its dummy interface.
#include <devsock.h>
#include <device_channel.h>
#include <mmcdev_payload.h>
#include <scsi_payload.h>
#include <sandbox_path.h>
#include <temp_root.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>

#include <csignal>
#include <functional>
#include <set>
#include <string>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

using Bytes = std::vector<uint8_t>;
namespace mmc = qv::devsock::mmcdev;

namespace {

std::string defaultScenario() { return std::string(QV_SCENARIO_DIR) + "/default.json"; }

// The simulator process of one test, stopped with SIGTERM at the end.
class QvsimProcess {
public:
    explicit QvsimProcess(const std::string& root) {
        int out[2];
        if (::pipe(out) != 0)
            return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(out[1], 1);
            std::string program = qv::test::buildPath("sim/server/qvsim");
            ::execl(program.c_str(), "qvsim", "--root", root.c_str(), "--scenario", defaultScenario().c_str(),
                    "--foreground", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(out[1]);
        char buffer[16] = {};
        ssize_t n = ::read(out[0], buffer, sizeof buffer - 1);   // blocks until "ready" or exit
        ready_ = n > 0 && std::string(buffer, static_cast<size_t>(n)).rfind("ready", 0) == 0;
        ::close(out[0]);
    }
    ~QvsimProcess() { stop(); }
    int stop() {
        if (pid_ <= 0)
            return -1;
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return status;
    }
    bool ready() const { return ready_; }

private:
    pid_t pid_ = -1;
    bool ready_ = false;
};

// A raw client of the device node.
Bytes exchange(qv::devsock::Connection& c, Bytes message) {
    qv::devsock::Reply reply;
    if (c.exchange(mmc::kSendReceive, message, 64, reply) != 0 || reply.data.size() < 5)
        return {};
    return Bytes(reply.data.begin() + 4, reply.data.end());   // completion code and data
}

std::vector<uint16_t> selIds(qv::devsock::Connection& c) {
    std::vector<uint16_t> ids;
    for (uint16_t id = 0; id != 0xFFFF && ids.size() < 1000;) {
        Bytes r = exchange(c, {0x28, 0x43, 0, 0, static_cast<uint8_t>(id), static_cast<uint8_t>(id >> 8), 0, 0xFF});
        if (r.size() < 19 || r[0] != 0)
            break;
        ids.push_back(static_cast<uint16_t>(r[3] | r[4] << 8));
        id = static_cast<uint16_t>(r[1] | r[2] << 8);
    }
    return ids;
}

std::string control(const std::string& path, const nlohmann::json& request) {
    int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    qv::makeUnixAddress(path, address);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return {};
    }
    std::string line = request.dump() + "\n";
    (void)!::write(fd, line.data(), line.size());
    std::string answer;
    char c;
    while (::read(fd, &c, 1) == 1 && c != '\n')
        answer.push_back(c);
    ::close(fd);
    return answer;
}

// One SG_IO command through a generic SCSI node: the SCSI status byte and the data in.
struct ScsiAnswer {
    int error = -1;
    uint8_t status = 0xFF;
    Bytes data;
};

ScsiAnswer scsiCommand(qv::devsock::DeviceChannel& channel, const Bytes& cdb, uint32_t length) {
    namespace sg = qv::devsock::scsi;
    sg::SgIoRequestFields fields{};
    fields.direction = length ? sg::kFromDevice : sg::kNoData;
    fields.cmdLength = static_cast<uint8_t>(cdb.size());
    fields.senseCapacity = 32;
    fields.dataLength = length;
    qv::devsock::ChannelRequest request;
    request.code = sg::kSgIo;
    const auto* p = reinterpret_cast<const uint8_t*>(&fields);
    request.dataOut.assign(p, p + sizeof fields);
    request.dataOut.insert(request.dataOut.end(), cdb.begin(), cdb.end());
    request.dataInCapacity = length;
    request.statusLength = sizeof(sg::SgIoStatusFields) + 32;
    qv::devsock::ChannelReply reply;
    ScsiAnswer answer;
    answer.error = channel.exchange(request, reply);
    if (answer.error == 0) {
        answer.status = reply.status.at(0);
        answer.data = reply.dataIn;
    }
    return answer;
}

// Runs `client(i)` for i = 0 .. count-1 in child processes at once; each must exit 0.
void runClientProcesses(int count, const std::function<int(int)>& client) {
    std::vector<pid_t> children;
    for (int i = 0; i < count; ++i) {
        pid_t pid = ::fork();
        if (pid == 0)
            ::_exit(client(i));
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
}

class QvsimProcessTest : public ::testing::Test {
protected:
    qv::test::TempRoot root;
};

TEST_F(QvsimProcessTest, ConcurrentClientsShareOneSel) {
    QvsimProcess sim(root.path());
    ASSERT_TRUE(sim.ready());
    EXPECT_TRUE(root.exists("/dev/mem"));
    constexpr int kPerClient = 15;
    runClientProcesses(2, [](int child) {
        qv::devsock::Connection c;
        if (c.open(qv::sandboxPath(mmc::kDevicePath)) != 0)
            return 1;
        for (int i = 0; i < kPerClient; ++i) {
            Bytes r = exchange(c, {0x28, 0x44, 0, 0, 0x02, 0, 0, 0, 0, 0x20, 0, 0x04, 0x01,
                                   static_cast<uint8_t>(child), 0x01, static_cast<uint8_t>(i), 0xFF, 0xFF});
            if (r.size() != 3 || r[0] != 0)
                return 2;
        }
        return 0;
    });
    qv::devsock::Connection reader;
    ASSERT_EQ(reader.open(qv::sandboxPath(mmc::kDevicePath)), 0);
    auto ids = selIds(reader);
    const size_t scenarioEntries = nlohmann::json::parse(std::ifstream(defaultScenario()))["bmc"]["sel"].size();
    EXPECT_EQ(ids.size(), scenarioEntries + 2 * kPerClient);
    EXPECT_EQ(std::set<uint16_t>(ids.begin(), ids.end()).size(), ids.size());
    reader.close();
    int status = sim.stop();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_FALSE(root.exists("/dev/mmcdev"));
    EXPECT_FALSE(root.exists("/var/qvsim/control.socket"));
}

TEST_F(QvsimProcessTest, TwoProcessesOnScsiNodesGetTheirOwnAnswers) {
    QvsimProcess sim(root.path());
    ASSERT_TRUE(sim.ready());
    EXPECT_NE(root.readFile("/proc/scsi/scsi").find("Vendor: IBM      Model: DDYS-T18350N"), std::string::npos);
    EXPECT_TRUE(root.exists("/proc/scsi/megaraid/1"));
    runClientProcesses(2, [](int sg) {
        qv::devsock::SocketChannel channel;
        if (channel.open(qv::sandboxPath("/dev/sg" + std::to_string(sg))) != 0)
            return 1;
        const std::string vendor = sg == 0 ? "SEAGATE " : "IBM     ";
        for (int i = 0; i < 100; ++i) {
            ScsiAnswer a = scsiCommand(channel, {0x12, 0, 0, 0, 36, 0}, 36);
            if (a.error != 0 || a.status != 0 || a.data.size() != 36 ||
                std::string(a.data.begin() + 8, a.data.begin() + 16) != vendor)
                return 2;
        }
        return 0;
    });
}

TEST_F(QvsimProcessTest, ControlChannelCommandsTheScsiTargets) {
    QvsimProcess sim(root.path());
    ASSERT_TRUE(sim.ready());
    const std::string channelPath = root.at("/var/qvsim/control.socket");
    EXPECT_EQ(control(channelPath, {{"op", "scsiCheckCondition"}, {"sg", 4}, {"key", 2}, {"asc", 4}, {"count", 1}}),
              R"({"ok":true})");
    qv::devsock::SocketChannel channel;
    ASSERT_EQ(channel.open(qv::sandboxPath("/dev/sg4")), 0);
    EXPECT_EQ(scsiCommand(channel, {0, 0, 0, 0, 0, 0}, 0).status, 2);
    EXPECT_EQ(scsiCommand(channel, {0x03, 0, 0, 0, 18, 0}, 18).data.at(12), 4);
    auto journal = nlohmann::json::parse(control(channelPath, {{"op", "scsiJournal"}}));
    ASSERT_EQ(journal["journal"].size(), 2u);
    EXPECT_EQ(journal["journal"][0]["cdb"], nlohmann::json::array({0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(journal["journal"][0]["status"], 2);
    EXPECT_EQ(control(channelPath, {{"op", "scsiNodeFaults"}, {"sg", 5}, {"openErrno", ENOENT}}), R"({"ok":true})");
    qv::devsock::SocketChannel refused;
    EXPECT_EQ(refused.open(qv::sandboxPath("/dev/sg5")), ENOENT);
    EXPECT_NE(control(channelPath, {{"op", "scsiReset"}, {"sg", 40}}).find(R"("ok":false)"), std::string::npos);
}

TEST_F(QvsimProcessTest, ControlChannelInjectsFaultsAndReadsJournal) {
    QvsimProcess sim(root.path());
    ASSERT_TRUE(sim.ready());
    std::string channel = root.at("/var/qvsim/control.socket");
    EXPECT_EQ(control(channel, {{"op", "completionCode"}, {"netfn", 10}, {"cmd", 0x42}, {"code", 0xC5}}), R"({"ok":true})");
    qv::devsock::Connection c;
    ASSERT_EQ(c.open(qv::sandboxPath(mmc::kDevicePath)), 0);
    EXPECT_EQ(exchange(c, {0x28, 0x42}), (Bytes{0xC5}));
    EXPECT_EQ(exchange(c, {0x28, 0x42}).size(), 3u);
    auto journal = nlohmann::json::parse(control(channel, {{"op", "journal"}}));
    EXPECT_EQ(journal["journal"].size(), 2u);
    EXPECT_EQ(control(channel, {{"op", "failOpens"}, {"errno", ENODEV}}), R"({"ok":true})");
    qv::devsock::Connection refused;
    EXPECT_EQ(refused.open(qv::sandboxPath(mmc::kDevicePath)), ENODEV);
    EXPECT_NE(control(channel, {{"op", "nonsense"}}).find(R"("ok":false)"), std::string::npos);
}

TEST_F(QvsimProcessTest, ControlChannelShowsAndPresetsTheWatchdog) {
    QvsimProcess sim(root.path());
    ASSERT_TRUE(sim.ready());
    std::string channel = root.at("/var/qvsim/control.socket");
    EXPECT_EQ(control(channel, {{"op", "setWatchdogFlags"}, {"flags", 16}}), R"({"ok":true})");
    qv::devsock::Connection c;
    ASSERT_EQ(c.open(qv::sandboxPath(mmc::kDevicePath)), 0);
    EXPECT_EQ(exchange(c, {0x18, 0x24, 0x04, 0x01, 0x00, 0x00, 10, 0}), (Bytes{0x00}));   // reset after 1 s
    EXPECT_EQ(exchange(c, {0x18, 0x22}), (Bytes{0x00}));
    EXPECT_EQ(control(channel, {{"op", "advanceClock"}, {"ms", 1500}}), R"({"ok":true})");
    auto w = nlohmann::json::parse(control(channel, {{"op", "watchdog"}}));
    EXPECT_EQ(w["expirationFlags"], 16);
    EXPECT_EQ(w["actions"], 1);
    EXPECT_EQ(w["initialCountdown"], 10);
    EXPECT_EQ(w["running"], false);
    ASSERT_EQ(w["taken"].size(), 1u);
    EXPECT_EQ(w["taken"][0]["action"], 1);
}

TEST_F(QvsimProcessTest, IpmitoolDummyInterfaceListsTheScenario) {
    const std::string ipmitool = "/usr/bin/ipmitool";
    if (::access(ipmitool.c_str(), X_OK) != 0)
        GTEST_SKIP() << "ipmitool is not installed";
    QvsimProcess sim(root.path());
    ASSERT_TRUE(sim.ready());
    std::map<std::string, std::string> env{{"IPMI_DUMMY_SOCK", root.at("/var/qvsim/ipmi_dummy.socket")}};
    struct Case { std::vector<std::string> args; std::vector<std::string> expected; };
    const std::vector<Case> cases{
        {{"sdr", "elist"}, {"Baseboard Temp", "Baseboard 12V", "CPU Fan", "38 degrees C"}},
        {{"sel", "elist"}, {"Temperature", "Fan", "System Event"}},
        {{"fru", "print"}, {"Velkarn Baseboard", "QVB0005678", "Velkarn 5500", "QV99120047", "QV-CH-5500"}},
        {{"mc", "watchdog", "get"}, {"SMS/OS", "Hard Reset", "Stopped", "60.0 sec"}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{"-I", "dummy"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        auto result = qv::test::runProgram(ipmitool, args, env);
        for (const auto& text : c.expected)
            EXPECT_NE(result.out.find(text), std::string::npos) << c.args[0] << ": " << text << "\n" << result.out << result.err;
    }
}

} // namespace
