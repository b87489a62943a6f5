#include "atomic_file.h"
#include "temp_root.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <thread>

namespace {

int filesIn(const std::string& dir)
{
    int count = 0;
    DIR* d = opendir(dir.c_str());
    while (dirent* e = readdir(d)) count += e->d_name[0] != '.';
    closedir(d);
    return count;
}

int temporariesIn(const std::string& dir)
{
    int count = 0;
    DIR* d = opendir(dir.c_str());
    while (dirent* e = readdir(d)) count += std::string(e->d_name).find(".tmp.") != std::string::npos;
    closedir(d);
    return count;
}

// A process rewriting `path` (with a backup) `times` times, or until it is killed (times < 0).
// Its exit status is 1 when a rewrite failed.
pid_t startRewriter(const std::string& path, const std::string& backup, int times)
{
    const pid_t pid = fork();
    if (pid == 0) {
        const std::string contents(256 * 1024, 'x');
        for (int i = 0; times < 0 || i < times; ++i)
            if (qv::replaceFileContents(path, contents, {}, backup) != 0) _exit(1);
        _exit(0);
    }
    return pid;
}

int waitFor(pid_t pid)
{
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

mode_t modeOf(const std::string& path)
{
    struct stat st {};
    stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

} // namespace

TEST(AtomicFile, ReplacesKeepsModeWithoutWorldWriteAndLeavesNoTemporary)
{
    qv::test::TempRoot root;
    const std::string path = root.at("/etc/data.cfg");
    EXPECT_EQ(qv::replaceFileContents(path, "first\n"), 0);
    EXPECT_EQ(modeOf(path), 0644u);
    chmod(path.c_str(), 0666);
    EXPECT_EQ(qv::replaceFileContents(path, "second\n"), 0);
    EXPECT_EQ(qv::test::readWholeFile(path), "second\n");
    EXPECT_EQ(modeOf(path), 0664u);
    EXPECT_EQ(qv::replaceFileContents(path, "third\n", 0600), 0);
    EXPECT_EQ(modeOf(path), 0600u);
    EXPECT_EQ(filesIn(root.at("/etc")), 1);
}

TEST(AtomicFile, BackupHoldsThePreviousContents)
{
    qv::test::TempRoot root;
    const std::string path = root.at("/var/qvserver/store.dat");
    const std::string backup = root.at("/var/qvserver/store.BAK");
    EXPECT_EQ(qv::replaceFileContents(path, "one", {}, backup), 0); // no old file: no backup yet
    EXPECT_FALSE(root.exists("/var/qvserver/store.BAK"));
    EXPECT_EQ(qv::replaceFileContents(path, "two", {}, backup), 0);
    EXPECT_EQ(qv::replaceFileContents(path, "three", {}, backup), 0);
    EXPECT_EQ(qv::test::readWholeFile(path), "three");
    EXPECT_EQ(qv::test::readWholeFile(backup), "two");
}

TEST(AtomicFile, FailureLeavesTheTargetUntouched)
{
    qv::test::TempRoot root;
    EXPECT_EQ(qv::replaceFileContents(root.at("/missing/dir/file"), "x"), ENOENT);
    const std::string path = root.at("/etc/keep");
    root.writeFile("/etc/keep", "old");
    root.writeFile("/etc/keep.BAK/inside", "a directory in the backup's way");
    EXPECT_NE(qv::replaceFileContents(path, "new", {}, root.at("/etc/keep.BAK")), 0);
    EXPECT_EQ(qv::test::readWholeFile(path), "old");
    EXPECT_EQ(filesIn(root.at("/etc")), 2);
}

TEST(AtomicFile, RewriteAfterKilledWritersLeavesNoTemporaryAndNeverTakesALiveOne)
{
    qv::test::TempRoot root;
    const std::string dir = root.at("/etc");
    const std::string path = dir + "/data.cfg", backup = dir + "/data.BAK";
    std::mt19937 random(4040);
    auto killAtRandom = [&] {
        const pid_t victim = startRewriter(path, backup, -1);
        std::this_thread::sleep_for(std::chrono::microseconds(2000 + random() % 20000));
        kill(victim, SIGKILL);
        return waitFor(victim) == 128 + SIGKILL;
    };
    // Writers killed at any moment, until some left their temporaries behind.
    int killsThatLeftSome = 0;
    for (int round = 0; round < 300 && killsThatLeftSome < 3; ++round) {
        ASSERT_TRUE(killAtRandom());
        killsThatLeftSome += temporariesIn(dir) > 0;
    }
    ASSERT_EQ(killsThatLeftSome, 3) << "no kill came during a rewrite";
    EXPECT_EQ(qv::replaceFileContents(path, "after", {}, backup), 0);
    EXPECT_EQ(temporariesIn(dir), 0);
    EXPECT_EQ(filesIn(dir), 2);

    // Writers that live are never robbed of their temporaries by the others' rewrites.
    const pid_t first = startRewriter(path, backup, 60), second = startRewriter(path, backup, 60);
    for (int round = 0; round < 10; ++round) ASSERT_TRUE(killAtRandom());
    EXPECT_EQ(waitFor(first), 0);
    EXPECT_EQ(waitFor(second), 0);
    EXPECT_EQ(qv::replaceFileContents(path, "last", {}, backup), 0);
    EXPECT_EQ(temporariesIn(dir), 0);
    EXPECT_EQ(qv::test::readWholeFile(backup), std::string(256 * 1024, 'x'));
}
