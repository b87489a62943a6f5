#include <gtest/gtest.h>

#include <string>
#include <fcntl.h>
#include <sys/stat.h>

#include "profile.h"
#include "temp_root.h"

namespace {

class ProfileTest : public ::testing::Test {
protected:
    std::string path() const { return root.at("/usr/qvserver/etc/test.ini"); }
    void write(const std::string& text) { root.writeFile("/usr/qvserver/etc/test.ini", text); }
    std::string read() const { return root.readFile("/usr/qvserver/etc/test.ini"); }
    std::string get(const char* section, const char* entry)
    {
        char buffer[64];
        GetPrivateProfileString(section, entry, "dflt", buffer, sizeof buffer, path().c_str());
        return buffer;
    }

    qv::test::TempRoot root;
};

// A file and one entry of it.
struct EntryCase {
    const char* file;
    const char* section;
    const char* entry;
    const char* value;
};

TEST_F(ProfileTest, ReadsEntriesTable)
{
    const EntryCase cases[] = {
        {"[A]\nPoll=5\n", "A", "Poll", "5"},
        {"[A]\n  Poll=5\n", "A", "Poll", "5"},
        {"[A]\nPoll = 5\n", "A", "Poll", "dflt"},
        {"[A]\nPollx=5\n", "A", "Poll", "dflt"},
        {"[A] ; note\nx=1\n", "A", "x", "1"},
        {"x[A]\nx=1\n", "A", "x", "dflt"},
        {"[A]\nx=\"abc\"\n", "A", "x", "abc"},
        {"[A]\r\nx=1\r\n", "A", "x", "1\r"},
        {"[A]\nx=\n", "A", "x", "dflt"},
        {"[a]\nx=1\n", "A", "x", "dflt"},
        {"[A]\ny=1\n[B]\nx=2\n", "A", "x", "dflt"},
        {"[B]\nx=2\n[A]\n\nx=3", "A", "x", "3"},
        {"[A]", "A", "x", "dflt"},
    };
    for (const auto& c : cases) {
        write(c.file);
        EXPECT_EQ(get(c.section, c.entry), c.value) << c.file;
    }
}

TEST_F(ProfileTest, ReadBoundsAndIntegers)
{
    write("[A]\nlong=0123456789012345678901234567890123456789\nhex=0x10\nmix=12abc\nw=abc\n");
    char small[8];
    EXPECT_EQ(GetPrivateProfileString("A", "long", "", small, sizeof small, path().c_str()), 7);
    EXPECT_STREQ(small, "0123456");
    EXPECT_EQ(GetPrivateProfileInt("A", "hex", 9, path().c_str()), 0);
    EXPECT_EQ(GetPrivateProfileInt("A", "mix", 9, path().c_str()), 12);
    EXPECT_EQ(GetPrivateProfileInt("A", "w", 9, path().c_str()), 0);
    EXPECT_EQ(GetPrivateProfileInt("A", "none", 9, path().c_str()), 9);
    char buffer[16];
    EXPECT_EQ(GetPrivateProfileString("A", "x", "dflt", buffer, sizeof buffer,
                                      root.at("/missing.ini").c_str()), 0);
    EXPECT_STREQ(buffer, "dflt");
}

TEST_F(ProfileTest, WritesTable)
{
    const struct {
        const char* before;
        const char* section;
        const char* entry;
        const char* value;
        const char* after;
    } cases[] = {
        {"[A]\nx=1\n\n[B]\n", "A", "y", "2", "[A]\nx=1\n\ny=2\n[B]\n"},
        {"[A]\nx=1\n\n[B]\n", "A", "x", "100", "[A]\nx=100\n\n[B]\n"},
        {"[A]\nx=1\n\n[B]\n", "S", "z", "3", "[A]\nx=1\n\n[B]\n[S]\nz=3\n"},
        {"[A]\r\nx=1\r\n", "A", "x", "2", "[A]\r\nx=2\r\n"},
        {"", "S", "z", "3", "[S]\nz=3\n"},
        // Files without a final line end: nothing is glued onto their last line.
        {"[A]\nx=1", "A", "y", "2", "[A]\nx=1\ny=2\n"},
        {"[A]\nx=1", "S", "z", "3", "[A]\nx=1\n[S]\nz=3\n"},
        {"[A]", "A", "y", "2", "[A]\ny=2\n"},
        // A lone '\r' is inside the value readers see: all of it is replaced.
        {"[A]\nx=1 \r\x8fx=2\n", "A", "x", "on", "[A]\nx=on\n"},
        {"[A]\nx=1\rjunk", "A", "x", "on", "[A]\nx=on"},
    };
    for (const auto& c : cases) {
        write(c.before);
        EXPECT_EQ(WritePrivateProfileString(c.section, c.entry, c.value, path().c_str()), 1) << c.before;
        EXPECT_EQ(read(), c.after) << c.before;
        const bool crlf = std::string(c.before).find("\r\n") != std::string::npos;
        EXPECT_EQ(get(c.section, c.entry), std::string(c.value) + (crlf ? "\r" : "")) << c.before;
    }
}

TEST_F(ProfileTest, WriteCreatesReplacesWholeAndReportsFailure)
{
    EXPECT_EQ(WritePrivateProfileString("A", "x", "1", path().c_str()), 1);
    EXPECT_EQ(read(), "[A]\nx=1\n");
    chmod(path().c_str(), 0640);
    struct stat before{};
    stat(path().c_str(), &before);
    EXPECT_EQ(WritePrivateProfileString("A", "x", "2", path().c_str()), 1);
    struct stat after{};
    stat(path().c_str(), &after);
    EXPECT_NE(before.st_ino, after.st_ino);      // replaced by rename, never cut in place
    EXPECT_EQ(after.st_mode & 0777, 0640u);      // and keeps its permissions

    EXPECT_EQ(WritePrivateProfileString(nullptr, "x", "1", path().c_str()), 0);
    EXPECT_EQ(WritePrivateProfileString("A", nullptr, "1", path().c_str()), 0);
    EXPECT_EQ(WritePrivateProfileString("A", "x", "1", root.at("/no/such/dir/f.ini").c_str()), 0);
    if (geteuid() != 0) {
        chmod(root.at("/usr/qvserver/etc").c_str(), 0555);
        EXPECT_EQ(WritePrivateProfileString("A", "x", "3", path().c_str()), 0);
        chmod(root.at("/usr/qvserver/etc").c_str(), 0755);
        EXPECT_EQ(read(), "[A]\nx=2\n");
    }
}

// NUL bytes (a power loss can leave them) end the text readers see: a write must land where they
// look, and writing again must not grow the file.
TEST_F(ProfileTest, WriteAfterNulBytesIsReadBackAndKeepsTheFileSmall)
{
    using namespace std::string_literals;
    const struct {
        std::string before;
        std::string after;
    } cases[] = {
        {"\0\0\0\0\0\0\0\0"s, "[A]\nx=3\n"},
        {"[A\0]\nx=1\n"s, "[A\n[A]\nx=3\n"},
        {"[A]\nx=1\n\0\0\0\0"s, "[A]\nx=3\n"},
        {"[A]\nx=\0\n[B]\ny=1\n"s, "[A]\nx=3"},
    };
    for (const auto& c : cases) {
        write(c.before);
        EXPECT_EQ(WritePrivateProfileString("A", "x", "2", path().c_str()), 1);
        EXPECT_EQ(get("A", "x"), "2");
        EXPECT_EQ(WritePrivateProfileString("A", "x", "3", path().c_str()), 1);
        EXPECT_EQ(get("A", "x"), "3");
        EXPECT_EQ(read(), c.after);
    }
}

TEST_F(ProfileTest, ReplaceMakesTheFileOneSection)
{
    write("garbage\x01\x02[A]\nx=1\n[B]\ny=2\n");
    EXPECT_EQ(ReplacePrivateProfile("A", {{"x", "5"}, {"z", "6"}}, path().c_str()), 1);
    EXPECT_EQ(read(), "[A]\nx=5\nz=6\n");
    EXPECT_EQ(ReplacePrivateProfile("A", {{"x", "5"}}, root.at("/no/such/dir/f.ini").c_str()), 0);
}

TEST_F(ProfileTest, WriteOfTheValueAlreadyThereLeavesTheFileAlone)
{
    const EntryCase cases[] = {
        {"[A]\nx=1\n", "A", "x", "1"},
        {"[A]\r\nx=1\r\n[B]\r\ny=2\r\n", "B", "y", "2"},
        {"[A]\nx=1", "A", "x", "1"},
        {"; note\n[Threshold]\nTxError=0 0 0.00\n", "Threshold", "TxError", "0 0 0.00"},
    };
    for (const auto& c : cases) {
        write(c.file);
        const timespec past[2] = {{1000000000, 0}, {1000000000, 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, path().c_str(), past, 0), 0);
        struct stat before{};
        stat(path().c_str(), &before);
        EXPECT_EQ(WritePrivateProfileString(c.section, c.entry, c.value, path().c_str()), 1) << c.file;
        struct stat after{};
        stat(path().c_str(), &after);
        EXPECT_EQ(after.st_ino, before.st_ino) << c.file;
        EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec) << c.file;
        EXPECT_EQ(read(), c.file);
    }
    // An empty file still gets the entry, and a missing one is still created.
    write("");
    EXPECT_EQ(WritePrivateProfileString("A", "x", "", path().c_str()), 1);
    EXPECT_EQ(read(), "[A]\nx=\n");
    const std::string missing = root.at("/usr/qvserver/etc/new.ini");
    EXPECT_EQ(WritePrivateProfileString("A", "x", "1", missing.c_str()), 1);
    EXPECT_EQ(root.readFile("/usr/qvserver/etc/new.ini"), "[A]\nx=1\n");
}

} // namespace
