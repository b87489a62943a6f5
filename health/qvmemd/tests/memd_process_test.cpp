// qvmemd as a process: start-up without a DMI table, and the request road with bad input.
#include "bios_fixture.h"
#include "bios_image.h"
#include "memd_protocol.h"
#include "model_code.h"
#include "sandbox_path.h"
#include "service_process.h"
#include "service_socket.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

using namespace std::chrono_literals;

class MemdProcess : public ::testing::Test, protected qv::test::BiosImageTest {
protected:
    void SetUp() override { ASSERT_TRUE(qv::test::storeModelCode(80)); }

    std::string program() const { return qv::test::installedPath("health/qvmemd/qvmemd"); }

    // Sends a raw datagram; the reply, or nothing within a short wait.
    std::optional<int32_t> ask(const void* bytes, int length) {
        CSocket client;
        EXPECT_TRUE(client.CreateAnonymous());
        client.SetTimeout(300);
        sockaddr_un server{};
        EXPECT_TRUE(qv::makeUnixAddress(qv::sandboxPath(kMemdSocketPath).c_str(), server));
        if (!client.Write(static_cast<const char*>(bytes), length,
                          reinterpret_cast<sockaddr*>(&server), sizeof server))
            return std::nullopt;
        int32_t reply = 0;
        int room = sizeof reply;
        if (!client.Read(reinterpret_cast<char*>(&reply), &room, nullptr, nullptr) ||
            room != static_cast<int>(sizeof reply))
            return std::nullopt;
        return reply;
    }
};

TEST_F(MemdProcess, WithoutDmiTableDoesNotStart) {
    writeImage(qv::test::blankBiosImage());
    const qv::test::ProgramResult r = qv::test::runProgram(program(), {}, {{"QV_FOREGROUND", "1"}});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_FALSE(root.exists(kMemdSocketPath));
}

TEST_F(MemdProcess, AnswersRequestsAndIgnoresBadOnes) {
    qv::sim::BiosInventory inventory;
    for (const char* socket : {"DIMM1", "DIMM2", "DIMM3", "DIMM4"})
        inventory.memoryModules.push_back({.socket = socket, .installedSize = 0x07});
    writeImage(qv::sim::renderBiosImage(inventory, qv::sim::DmiFormat::Smbios21));
    qv::test::ChildProcess memd;
    memd.start(program(), {}, {{"QV_FOREGROUND", "1"}});
    ASSERT_TRUE(qv::test::eventually([&] { return root.exists(kMemdSocketPath); }, 5000ms));

    struct Case {
        const char* name;
        std::vector<int32_t> words;
        int length;
        std::optional<int32_t> reply;
    };
    const Case cases[] = {
        {"severity of module 0", {1, 0}, 8, 1},
        {"most severe event of module 3", {5, 3}, 8, -1},
        {"index at the count", {1, 4}, 8, 1},
        {"negative index", {2, -1}, 8, 0},
        {"overall severity", {6, 99}, 8, 1},
        {"unknown command", {7, 0}, 8, std::nullopt},
        {"short datagram", {1, 0}, 4, std::nullopt},
        {"long datagram", {1, 0, 0}, 12, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ask(c.words.data(), c.length), c.reply);
    }
    memd.signal(SIGTERM);
    EXPECT_EQ(memd.wait(5000ms), 0);
    EXPECT_FALSE(root.exists(kMemdSocketPath));
}

}  // namespace
