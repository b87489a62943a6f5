#include "registry.h"
#include "tvk_semaphore.h"
#include "temp_root.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <dirent.h>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using qv::test::TempRoot;

namespace {

const std::string kRegistry = "/var/qvserver/registry.ini";

std::string bytes(const void* data, size_t size)
{
    return std::string(static_cast<const char*>(data), size);
}

std::vector<std::string> registryDirectory(const TempRoot& root)
{
    std::vector<std::string> names;
    DIR* dir = opendir(root.at("/var/qvserver").c_str());
    while (dirent* entry = readdir(dir))
        if (entry->d_name[0] != '.') names.push_back(entry->d_name);
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

class RegistryTest : public ::testing::Test {
protected:
    unsigned set(const std::string& fullKey, const std::string& data)
    {
        return SetRegData(fullKey.c_str(), data.data(), data.size());
    }
    std::string file() const { return root.readFile(kRegistry); }

    TempRoot root;
};

TEST_F(RegistryTest, WritesTheDocumentedFileFromNothing)
{
    char buffer[8];
    EXPECT_EQ(GetRegData("SOFTWARE\\Quorvane\\Trivoke=SpuNum", buffer, sizeof buffer),
              ERR_REG_KEY_NOT_FOUND);
    uint32_t code = 55;
    ASSERT_EQ(SetRegData("SOFTWARE\\Quorvane\\Trivoke=SpuNum", &code, sizeof code), 0u);
    const std::string first = "\r\n[SOFTWARE\\Quorvane\\Trivoke]\r\nSpuNum=b(4)37000000\r\n";
    EXPECT_EQ(file(), first);
    ASSERT_EQ(SetRegData("SOFTWARE\\Quorvane\\Trivoke\\PCIRevision=Revision", "0.00", 5), 0u);
    EXPECT_EQ(file(), first + "\r\n[SOFTWARE\\Quorvane\\Trivoke\\PCIRevision]\r\nRevision=c(4)0.00\r\n");
    EXPECT_EQ(root.readFile("/var/qvserver/registry.BAK"), first);
    EXPECT_EQ(registryDirectory(root),
              (std::vector<std::string>{"registry.BAK", "registry.ini", "registry_SEM"}));

    uint32_t readBack = 0;
    ASSERT_EQ(GetRegData("SOFTWARE\\Quorvane\\Trivoke=SpuNum", &readBack, sizeof readBack), 0u);
    EXPECT_EQ(readBack, 55u);
}

TEST_F(RegistryTest, ChoosesTextOrHexByTheBytes)
{
    struct Case { std::string data, field; };
    const Case cases[] = {
        {std::string("\x37\0\0\0", 4), "b(4)37000000"},
        {std::string("0.00\0", 5), "c(4)0.00"},
        {std::string("\0", 1), "c(0)"},
        {"", "b(0)"},
        {"DCBA", "c(4)DCBA"},
        {"AB\x01", "b(3)414201"},
        {std::string("A\0B", 3), "b(3)410042"},
        {"x\x7f", "b(2)787F"},
        {"a b~", "c(4)a b~"},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(set("K=V", c.data), 0u);
        EXPECT_EQ(file(), "\r\n[K]\r\nV=" + c.field + "\r\n") << c.field;
        char buffer[16];
        std::memset(buffer, 0x55, sizeof buffer);
        ASSERT_EQ(GetRegData("K=V", buffer, sizeof buffer), 0u);
        size_t stored = (!c.data.empty() && c.field[0] == 'c' && c.data.back() == '\0')
                            ? c.data.size() - 1 : c.data.size();
        EXPECT_EQ(bytes(buffer, stored + 1), c.data.substr(0, stored) + std::string(1, '\0'));
    }
}

TEST_F(RegistryTest, ShortBufferGetsPrefixWithoutTerminator)
{
    ASSERT_EQ(set("K=V", std::string("0.00\0", 5)), 0u);
    char buffer[6] = "#####";
    ASSERT_EQ(GetRegData("K=V", buffer, 4), 0u);
    EXPECT_EQ(bytes(buffer, 5), "0.00#");
    std::strcpy(buffer, "#####");
    ASSERT_EQ(GetRegData("K=V", buffer, 2), 0u);
    EXPECT_EQ(bytes(buffer, 5), "0.###");
}

TEST_F(RegistryTest, ReadsHandWrittenFiles)
{
    struct Case { const char* name; std::string contents; const char* key; unsigned status; std::string data; };
    const Case cases[] = {
        {"lower-case hex reads as zero nibbles", "[K]\r\nV=b(2)ab1F\r\n", "K=V", 0, std::string("\x00\x1F\x00", 3)},
        {"section names are case sensitive", "[software\\x]\r\nV=c(1)a\r\n", "SOFTWARE\\x=V", ERR_REG_KEY_NOT_FOUND, ""},
        {"leading blank is no section line", " [K]\r\nV=c(1)a\r\n", "K=V", ERR_REG_KEY_NOT_FOUND, ""},
        {"value names match exactly", "[K]\r\nVx=c(1)a\r\nV=c(1)b\r\n", "K=V", 0, std::string("b\0", 2)},
        {"value missing from last section", "[K]\r\nW=c(1)a\r\n", "K=V", ERR_REG_KEY_NOT_FOUND, ""},
        {"value missing from earlier section", "[K]\r\nW=c(1)a\r\n[L]\r\nV=c(1)b\r\n", "K=V", ERR_REG_VALUE_NOT_FOUND, ""},
        {"first of two equal sections", "[K]\r\nV=c(1)a\r\n[K]\r\nV=c(1)b\r\n", "K=V", 0, std::string("a\0", 2)},
        {"field without parenthesis", "[K]\r\nV=c4)abcd\r\n", "K=V", ERR_REG_VALUE_NOT_FOUND, ""},
        {"file ends inside the value", "[K]\r\nV=c(10)abc", "K=V", ERR_REG_END_OF_FILE, ""},
        {"hex field ends half-way", "[K]\r\nV=b(2)41", "K=V", ERR_REG_END_OF_FILE, ""},
        {"unknown kind reads as text", "[K]\r\nV=x(2)hi\r\n", "K=V", 0, std::string("hi\0", 3)},
        {"LF-only lines", "\n[K]\nV=c(2)hi\n", "K=V", 0, std::string("hi\0", 3)},
        {"line without '=' does not hide the next section", "[K]\r\njunk\r\n[L]\r\nV=c(1)b\r\n", "K=V", ERR_REG_VALUE_NOT_FOUND, ""},
        {"value name only, no '='", "[K]\r\nV\r\n", "K=V", ERR_REG_KEY_NOT_FOUND, ""},
        {"key without value name", "[K]\r\n=c(1)z\r\n", "K", 0, std::string("z\0", 2)},
    };
    for (const Case& c : cases) {
        root.writeFile(kRegistry, c.contents);
        char buffer[8];
        std::memset(buffer, '#', sizeof buffer);
        EXPECT_EQ(GetRegData(c.key, buffer, sizeof buffer), c.status) << c.name;
        std::string expected = c.status == 0 ? c.data : "";
        expected += std::string(sizeof buffer - expected.size(), '#');
        EXPECT_EQ(bytes(buffer, sizeof buffer), expected) << c.name;
    }
}

TEST_F(RegistryTest, WritesKeepEveryOtherByte)
{
    const std::string base =
        "; hand-made\r\n[A]\r\nOne=c(1)1\r\nTwo=b(2)0102\r\nThree=c(1)3\r\n\r\n[B]\r\nX=c(1)x\r\n[A]\r\nTwo=c(1)z\r\n";
    struct Case { const char* name; const char* key; std::string data; std::string expected; };
    const Case cases[] = {
        {"replace in place", "A=Two", "hello",
         "; hand-made\r\n[A]\r\nOne=c(1)1\r\nTwo=c(5)hello\r\nThree=c(1)3\r\n\r\n[B]\r\nX=c(1)x\r\n[A]\r\nTwo=c(1)z\r\n"},
        {"new value first in its section", "B=New", "n",
         "; hand-made\r\n[A]\r\nOne=c(1)1\r\nTwo=b(2)0102\r\nThree=c(1)3\r\n\r\n[B]\r\nNew=c(1)n\r\nX=c(1)x\r\n[A]\r\nTwo=c(1)z\r\n"},
        {"new section appended", "C=V", "v", base + "\r\n[C]\r\nV=c(1)v\r\n"},
        {"replace last value of first section", "A=Three", std::string("\0\0", 2),
         "; hand-made\r\n[A]\r\nOne=c(1)1\r\nTwo=b(2)0102\r\nThree=b(2)0000\r\n\r\n[B]\r\nX=c(1)x\r\n[A]\r\nTwo=c(1)z\r\n"},
    };
    for (const Case& c : cases) {
        root.writeFile(kRegistry, base);
        ASSERT_EQ(set(c.key, c.data), 0u) << c.name;
        EXPECT_EQ(file(), c.expected) << c.name;
        EXPECT_EQ(root.readFile("/var/qvserver/registry.BAK"), base) << c.name;
    }
}

TEST_F(RegistryTest, RefusesOverlongKeyAndValueName)
{
    const std::string key79(79, 'k');
    EXPECT_EQ(set(key79 + "=V", "a"), 0u);
    const std::string tooLong[] = {std::string(80, 'k') + "=V", std::string(300, 'k'),
                                   "K=" + std::string(128, 'v')};
    for (const std::string& fullKey : tooLong) {
        std::string before = file();
        char buffer[4] = "##";
        EXPECT_EQ(set(fullKey, "a"), ERR_BAD_ARGUMENT);
        EXPECT_EQ(GetRegData(fullKey.c_str(), buffer, sizeof buffer), ERR_BAD_ARGUMENT);
        EXPECT_EQ(file(), before);
    }
    EXPECT_EQ(set("K=" + std::string(127, 'v'), "b"), 0u);
}

TEST_F(RegistryTest, RefusesNamesThatWouldBreakTheirLine)
{
    ASSERT_EQ(set("K=V", "a"), 0u);
    const std::string before = file();
    const std::string unwritable[] = {"K\\Sub\r\n=Name", "K]\r\nSpuNum=b(4)37000000", "K=V\r\nW",
                                      "K=V=W", "K\n=V", "K=[V"};
    for (const std::string& fullKey : unwritable) {
        EXPECT_EQ(set(fullKey, "x"), ERR_BAD_ARGUMENT) << fullKey;
        EXPECT_EQ(file(), before) << fullKey;
    }
}

TEST_F(RegistryTest, ValueWrittenBehindAnUnterminatedLastLineReadsBack)
{
    const std::string files[] = {"[K]\r\x7f\x7f$", "[K]", "[K]\r\nW=c(1)a", "[L]\r\nW=c(1)a"};
    for (const std::string& contents : files) {
        root.writeFile(kRegistry, contents);
        ASSERT_EQ(set("K=V", "text"), 0u) << contents;
        char buffer[5] = {};
        EXPECT_EQ(GetRegData("K=V", buffer, 4), 0u) << contents;
        EXPECT_EQ(std::string(buffer), "text") << contents;
    }
}

TEST_F(RegistryTest, DamagedValueIsNotOverwrittenBlindly)
{
    const std::string damaged = "[K]\r\nV=c(9)ab\r\n";
    root.writeFile(kRegistry, damaged);
    EXPECT_EQ(set("K=V", "x"), ERR_REG_END_OF_FILE);
    EXPECT_EQ(file(), damaged);
}

TEST_F(RegistryTest, FailedCommitLeavesRegistryAndNoTemporary)
{
    const std::string before = "\r\n[K]\r\nV=c(1)a\r\n";
    root.writeFile(kRegistry, before);
    // A backup that cannot be removed stops the commit before anything is moved.
    root.writeFile("/var/qvserver/registry.BAK/blocker", "x");
    EXPECT_NE(set("K=V", "b"), 0u);
    EXPECT_EQ(file(), before);
    EXPECT_EQ(registryDirectory(root),
              (std::vector<std::string>{"registry.BAK", "registry.ini", "registry_SEM"}));
}

TEST_F(RegistryTest, LockFileIsPrivateAndNeverFollowsALink)
{
    ASSERT_EQ(set("K=V", "a"), 0u);
    struct stat st {};
    ASSERT_EQ(stat(root.at("/var/qvserver/registry_SEM").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_FALSE(root.exists("/tmp/registry_SEM"));

    TempRoot other;
    ASSERT_EQ(symlink(other.at("/tmp/target").c_str(), other.at("/var/qvserver/registry_SEM").c_str()), 0);
    EXPECT_EQ(SetRegData("K=V", "a", 1), static_cast<unsigned>(ELOOP));
    EXPECT_FALSE(other.exists("/tmp/target"));
    EXPECT_FALSE(other.exists(kRegistry));
}

TEST_F(RegistryTest, WriterWithoutTheLockChangesNothing)
{
    ASSERT_EQ(set("K=V", "a"), 0u);
    const std::string before = file();
    int ready[2], release[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(release), 0);
    pid_t child = fork();
    if (child == 0) {
        int handle = 0;
        std::string lock = root.at("/var/qvserver/registry_SEM");
        int ok = TvkAccessSemaphore(lock.c_str(), &handle) == 0 && TvkAcquireSemaphore(handle, 0) == 0;
        char byte = ok ? '1' : '0';
        (void)!write(ready[1], &byte, 1);
        (void)!read(release[0], &byte, 1);
        _exit(0);
    }
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    ASSERT_EQ(byte, '1');
    EXPECT_EQ(set("K=V", "b"), ERR_REG_LOCK_TIMEOUT);
    EXPECT_EQ(file(), before);
    (void)!write(release[1], "x", 1);
    waitpid(child, nullptr, 0);
    for (int fd : {ready[0], ready[1], release[0], release[1]}) close(fd);
    EXPECT_EQ(set("K=V", "b"), 0u);
}

} // namespace
