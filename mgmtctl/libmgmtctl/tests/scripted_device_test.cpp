// Answers the simulator will not give (a driver name without its terminator, a controller that
// claims more FRU bytes than were asked), from a stand-in that replays canned driver replies; and
// a device node that is no socket, reached through the driver ioctls.
#include "mgmtctl.h"
#include "pause_hook.h"

#include "devsock.h"
#include "mmcdev_payload.h"
#include "sandbox_path.h"
#include "temp_root.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <thread>

namespace qv::mgmtctl::test {
namespace {

using Bytes = std::vector<uint8_t>;
using Script = std::function<devsock::Reply(const devsock::Request&)>;

// Serves one connection on /dev/mmcdev: opens succeed, every ioctl is answered by the script.
class ScriptedDevice {
public:
    explicit ScriptedDevice(Script script) : script_(std::move(script))
    {
        sockaddr_un address;
        std::string path = qv::sandboxPath(devsock::mmcdev::kDevicePath);
        EXPECT_TRUE(qv::makeUnixAddress(path, address));
        listener_ = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
        EXPECT_EQ(bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        EXPECT_EQ(listen(listener_, 1), 0);
        thread_ = std::thread([this] { serve(); });
    }
    ~ScriptedDevice()
    {
        // Wakes the server whether it waits for the client or for its next request.
        stopping_ = true;
        shutdown(listener_, SHUT_RDWR);
        if (int connection = connection_.load(); connection >= 0) shutdown(connection, SHUT_RDWR);
        thread_.join();
        close(listener_);
    }

private:
    void serve()
    {
        int connection = accept(listener_, nullptr, nullptr);
        if (connection < 0) return;
        connection_ = connection;
        std::vector<uint8_t> buffer(devsock::kMaxMessage);
        while (!stopping_) {
            ssize_t length = recv(connection, buffer.data(), buffer.size(), 0);
            devsock::Request request;
            if (length <= 0 || !devsock::decodeRequest(buffer.data(), length, request)) break;
            devsock::Reply reply = request.op == devsock::kOpen ? devsock::Reply{} : script_(request);
            Bytes message = devsock::encodeReply(reply);
            send(connection, message.data(), message.size(), MSG_NOSIGNAL);
        }
        connection_ = -1;
        close(connection);
    }

    Script script_;
    int listener_ = -1;
    std::atomic<int> connection_{-1};
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

devsock::Reply answerFrame(const devsock::Request& request, const Bytes& completionAndData)
{
    devsock::Reply reply;
    reply.data = {0, 0, static_cast<uint8_t>(request.data[0] | 0x04), request.data[1]};
    reply.data.insert(reply.data.end(), completionAndData.begin(), completionAndData.end());
    return reply;
}

class ScriptedDeviceTest : public ::testing::Test {
protected:
    void TearDown() override { MMC_CloseDevice(); }
    qv::test::TempRoot root_;
};

TEST_F(ScriptedDeviceTest, DriverNameWithoutTerminatorIsCutToSixCharacters)
{
    ScriptedDevice device([](const devsock::Request&) {
        devsock::Reply reply;
        reply.data = {0, 0, 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'L', 7, 8};
        return reply;
    });
    ASSERT_EQ(MMC_OpenDevice(), 0);
    char name[8];
    std::memset(name, 0x7F, sizeof name);
    char letter = 0;
    unsigned char major = 0, minor = 0;
    EXPECT_EQ(MMC_GetKernelDriverVersion(name, &letter, &major, &minor), 0);
    EXPECT_STREQ(name, "ABCDEF");
    EXPECT_EQ(name[7], 0x7F);
    EXPECT_EQ(letter, 'L');
    EXPECT_EQ(minor, 8);
}

TEST_F(ScriptedDeviceTest, CountsFromTheControllerNeverOverrunTheCaller)
{
    // Every answer claims 20 FRU bytes and brings 30 data bytes.
    ScriptedDevice device([](const devsock::Request& request) {
        Bytes answer{0x00, 20};
        answer.resize(31, 0x5A);
        return answerFrame(request, answer);
    });
    ASSERT_EQ(MMC_OpenDevice(), 0);
    unsigned char data[8];
    std::memset(data, 0xAB, sizeof data);
    unsigned char count = 0xEE;
    EXPECT_EQ(MMC_ReadFRUInventoryData(0, 8, &count, data), 262);
    EXPECT_EQ(count, 0xEE);
    EXPECT_EQ(data[0], 0xAB);

    unsigned char all[30];
    EXPECT_EQ(MMC_ReadFRUInventoryData(0, 30, &count, all), 0);
    EXPECT_EQ(count, 20);
}

TEST_F(ScriptedDeviceTest, ShortAnswersCopyOnlyWhatArrived)
{
    // Completion code and the next record id only: no record bytes at all.
    ScriptedDevice device([](const devsock::Request& request) {
        return answerFrame(request, {0x00, 0x34, 0x12});
    });
    ASSERT_EQ(MMC_OpenDevice(), 0);
    unsigned char record[16];
    std::memset(record, 0xAB, sizeof record);
    unsigned short next = 0;
    EXPECT_EQ(MMC_GetSELEntry(0, 0xFFFF, 0, 16, &next, record), 0);
    EXPECT_EQ(next, 0x1234);
    EXPECT_EQ(record[0], 0xAB);

    unsigned char sdr[MMC_SDR_RECORD_SIZE];
    std::memset(sdr, 0xAB, sizeof sdr);
    EXPECT_EQ(MMC_GetSDR(0, 0, 0, 255, &next, reinterpret_cast<SDR*>(sdr)), 0);
    EXPECT_EQ(sdr[0], 0xAB);

    unsigned char message[32];
    unsigned char length = sizeof message;
    EXPECT_EQ(MMC_ReadSMSMessageBuffer(message, &length), 0);
    EXPECT_EQ(length, 2);
}

TEST_F(ScriptedDeviceTest, NodeThatIsNoSocketIsDrivenThroughIoctls)
{
    // A FIFO opens like the node but answers no driver request.
    ASSERT_EQ(mkfifo(root_.at(devsock::mmcdev::kDevicePath).c_str(), 0600), 0);
    std::vector<int> pauses;
    static std::vector<int>* recorded = &pauses;
    setPauseHookForTests([](int ms) { recorded->push_back(ms); });
    ASSERT_EQ(MMC_OpenDevice(), 0);
    unsigned char answer[8];
    int length = sizeof answer;
    EXPECT_EQ(MMC_SendRcvMesg(0x18, 0x01, nullptr, 0, answer, &length), 256);
    EXPECT_EQ(pauses.size(), 30u);
    unsigned char byte = 0;
    EXPECT_EQ(MMC_ReadPort(1, &byte), 256);
    EXPECT_EQ(MMC_WritePort(1, 1), 256);
    EXPECT_EQ(MMC_CloseDevice(), 0);
    setPauseHookForTests(nullptr);
}

} // namespace
} // namespace qv::mgmtctl::test
