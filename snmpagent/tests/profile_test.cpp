#include <gtest/gtest.h>

#include <string>
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

TEST_F(ProfileTest, ReadsEntriesTable)
{
    const struct {
        const char* file;
        const char* section;
        const char* entry;
        const char* value;
    } cases[] = {
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

} // namespace
