// Several processes on one registry: writers serialise, readers never see it missing, and a
// writer killed at any point leaves a complete file behind.
#include "registry.h"
#include "temp_root.h"

#include <csignal>
#include <cstring>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using qv::test::TempRoot;

namespace {

template <typename Body>
pid_t spawn(Body body)
{
    pid_t pid = fork();
    if (pid == 0) _exit(body());
    return pid;
}

int exitStatus(pid_t pid)
{
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string valueKey(int writer, int slot)
{
    return "SOFTWARE\\Test\\W" + std::to_string(writer) + "=V" + std::to_string(slot);
}

std::string valueText(int writer, int slot, int round)
{
    return "w" + std::to_string(writer) + "s" + std::to_string(slot) + "r" + std::to_string(round);
}

TEST(RegistryProcesses, ConcurrentWritersAndReaders)
{
    constexpr int kWriters = 4, kSlots = 6, kRounds = 4, kReaders = 2;
    TempRoot root;
    ASSERT_EQ(SetRegData("Base=Marker", "present", 7), 0u);
    const std::string stopFile = root.at("/tmp/stop");

    std::vector<pid_t> readers;
    for (int r = 0; r < kReaders; ++r)
        readers.push_back(spawn([&] {
            int misses = 0, reads = 0;
            while (access(stopFile.c_str(), F_OK) != 0 || reads < 10) {
                char buffer[16] = {};
                if (GetRegData("Base=Marker", buffer, sizeof buffer) != 0 ||
                    std::strcmp(buffer, "present") != 0)
                    ++misses;
                ++reads;
            }
            return misses == 0 ? 0 : 1;
        }));
    std::vector<pid_t> writers;
    for (int w = 0; w < kWriters; ++w)
        writers.push_back(spawn([&, w] {
            for (int round = 0; round < kRounds; ++round)
                for (int slot = 0; slot < kSlots; ++slot) {
                    std::string text = valueText(w, slot, round);
                    if (SetRegData(valueKey(w, slot).c_str(), text.data(), text.size()) != 0) return 1;
                }
            return 0;
        }));
    for (pid_t pid : writers) EXPECT_EQ(exitStatus(pid), 0);
    root.writeFile("/tmp/stop", "");
    for (pid_t pid : readers) EXPECT_EQ(exitStatus(pid), 0) << "a reader missed the registry";

    for (int w = 0; w < kWriters; ++w)
        for (int slot = 0; slot < kSlots; ++slot) {
            char buffer[32] = {};
            EXPECT_EQ(GetRegData(valueKey(w, slot).c_str(), buffer, sizeof buffer - 1), 0u);
            EXPECT_EQ(std::string(buffer), valueText(w, slot, kRounds - 1));
        }
}

TEST(RegistryProcesses, KilledWriterLeavesCompleteFile)
{
    constexpr size_t kValueSize = 3000;
    TempRoot root;
    auto fileFor = [&](char fill) {
        return "\r\n[Crash]\r\nBig=c(" + std::to_string(kValueSize) + ")" +
               std::string(kValueSize, fill) + "\r\n";
    };
    std::string first(kValueSize, 'A');
    ASSERT_EQ(SetRegData("Crash=Big", first.data(), first.size()), 0u);

    std::mt19937 random(12345);
    for (int iteration = 0; iteration < 40; ++iteration) {
        pid_t writer = spawn([&] {
            for (int n = 0;; ++n) {
                std::string text(kValueSize, static_cast<char>('A' + n % 26));
                SetRegData("Crash=Big", text.data(), text.size());
            }
            return 0;
        });
        usleep(static_cast<useconds_t>(random() % 8000));
        kill(writer, SIGKILL);
        exitStatus(writer);

        std::string contents = root.readFile("/var/qvserver/registry.ini");
        ASSERT_EQ(contents.size(), fileFor('A').size()) << "iteration " << iteration;
        char fill = contents[contents.size() - 3];
        EXPECT_EQ(contents, fileFor(fill)) << "iteration " << iteration;
    }
    // The next writer clears what the killed ones left behind.
    ASSERT_EQ(SetRegData("Crash=Big", first.data(), first.size()), 0u);
    const auto listing = qv::test::runProgram("/bin/ls", {root.at("/var/qvserver")});
    EXPECT_EQ(listing.out.find("registry.TMP"), std::string::npos) << listing.out;
}

} // namespace
