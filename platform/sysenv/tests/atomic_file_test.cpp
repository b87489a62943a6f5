#include "atomic_file.h"
#include "temp_root.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

int filesIn(const std::string& dir)
{
    int count = 0;
    DIR* d = opendir(dir.c_str());
    while (dirent* e = readdir(d)) count += e->d_name[0] != '.';
    closedir(d);
    return count;
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
