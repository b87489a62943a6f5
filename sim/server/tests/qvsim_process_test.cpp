// qvsim as its own process: one state shared by all clients, the control channel, and the stock
// ipmitool reading the simulated controller through its dummy interface.
#include <devsock.h>
#include <mmcdev_payload.h>
#include <sandbox_path.h>
#include <temp_root.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>

#include <csignal>
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

class QvsimProcessTest : public ::testing::Test {
protected:
    qv::test::TempRoot root;
};

TEST_F(QvsimProcessTest, ConcurrentClientsShareOneSel) {
    QvsimProcess sim(root.path());
    ASSERT_TRUE(sim.ready());
    EXPECT_TRUE(root.exists("/dev/mem"));
    constexpr int kPerClient = 15;
    std::vector<pid_t> children;
    for (int child = 0; child < 2; ++child) {
        pid_t pid = ::fork();
        if (pid == 0) {
            qv::devsock::Connection c;
            if (c.open(qv::sandboxPath(mmc::kDevicePath)) != 0)
                ::_exit(1);
            for (int i = 0; i < kPerClient; ++i) {
                Bytes r = exchange(c, {0x28, 0x44, 0, 0, 0x02, 0, 0, 0, 0, 0x20, 0, 0x04, 0x01,
                                       static_cast<uint8_t>(child), 0x01, static_cast<uint8_t>(i), 0xFF, 0xFF});
                if (r.size() != 3 || r[0] != 0)
                    ::_exit(2);
            }
            ::_exit(0);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
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
