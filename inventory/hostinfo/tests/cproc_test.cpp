#include <string>

#include <gtest/gtest.h>

#include "cproc.h"
#include "temp_root.h"

namespace {

std::string nullOr(const char* s) { return s ? std::string("\"") + s + "\"" : "null"; }

// Names of a zero-terminated list ended by an empty name, joined by ','.
std::string namesOf(const char* list)
{
    if (!list) return "null";
    std::string out;
    for (const char* p = list; *p; p += std::string(p).size() + 1) out += std::string(p) + ",";
    return out;
}

class CprocTest : public ::testing::Test {
protected:
    CPROC reader(const std::string& text, int title = 0)
    {
        root.writeFile("/proc/fixture", text);
        return CPROC(root.at("/proc/fixture").c_str(), ':', title);
    }
    qv::test::TempRoot root;
};

constexpr char kBoot[] =
    "Linux version 2.2.14\n"
    "Floppy drive(s): fd0 is 1.44M, fd1 is 1.2M\n"
    "FloppyX: not a match\n"
    "eth0: link up\n";

TEST_F(CprocTest, FindTokenPicksWordsAroundTheFirstWholeKey)
{
    CPROC r = reader(kBoot);
    struct Case { const char* key; int n; int direction; const char* want; } cases[] = {
        {"Floppy", 1, 0, "drive(s)"}, {"Floppy", 2, 0, "fd0"}, {"Floppy", 4, 0, "1.44M,"},
        {"Floppy", 5, 0, "fd1"}, {"Floppy", 8, 0, nullptr}, {"Floppy", 0, 0, "drive(s): fd0 is 1.44M, fd1 is 1.2M"},
        {"fd1", 1, 1, "1.44M,"}, {"fd1", 2, 1, "is"}, {"Linux", 1, 1, nullptr}, {"up", 1, 0, ""},
        {"up", 2, 0, nullptr}, {"link", 1, 1, "eth0"}, {"Flop", 1, 0, nullptr}, {"absent", 1, 0, nullptr},
    };
    for (const Case& c : cases)
        EXPECT_EQ(nullOr(r.findToken(c.key, c.n, c.direction)), nullOr(c.want)) << c.key << " " << c.n;
}

TEST_F(CprocTest, FindTokenDoesNotMatchAKeyFollowedByALetter)
{
    CPROC r = reader("FloppyX: fd9\n");
    EXPECT_EQ(r.findToken("Floppy", 1, 0), nullptr);
}

TEST_F(CprocTest, ValuesAndSubKeys)
{
    CPROC r = reader("  model name :  Pentium   III\t Xeon  \n"
                     "cache : size: 512 ways: 4 line: 32\n"
                     "model name : second\n");
    EXPECT_EQ(nullOr(r.getValue("model name")), nullOr("model name : Pentium III Xeon"));
    EXPECT_EQ(nullOr(r.getValue("cache", "ways")), nullOr("4"));
    EXPECT_EQ(nullOr(r.getValue("cache", "li")), nullOr("32"));
    EXPECT_EQ(nullOr(r.getValue("cache", "colour")), "null");
    EXPECT_EQ(nullOr(r.getValue("absent")), "null");
    EXPECT_EQ(namesOf(r.getAllKeys()), "cache,");   // "model name" is two words, no key
    EXPECT_EQ(namesOf(r.getAllSubKeys("cache")), "size,ways,line,");
    EXPECT_EQ(namesOf(r.getAllSubKeys("absent")), "null");
}

TEST_F(CprocTest, LinesTitlesAndMissingFiles)
{
    CPROC titled = reader("Title line\nfirst : 1\n", 1);
    EXPECT_EQ(nullOr(titled.getLine(1)), nullOr("Title line"));
    EXPECT_EQ(namesOf(titled.getAllKeys()), "first,");
    EXPECT_EQ(nullOr(titled.getLine(3)), "null");

    CPROC missing(root.at("/proc/none").c_str(), ':', 0);
    EXPECT_EQ(missing.getLine(1), nullptr);
    EXPECT_EQ(missing.findToken("x", 1, 0), nullptr);
    EXPECT_EQ(missing.getValue("x"), nullptr);
    EXPECT_EQ(missing.getAllKeys(), nullptr);

    const std::string tooLong(300, 'a');
    CPROC longName(tooLong.c_str(), ':', 0);
    EXPECT_EQ(longName.getLine(1), nullptr);
}

TEST_F(CprocTest, LongLinesAndKeyListsStayInsideTheirBuffers)
{
    std::string text = std::string(400, 'x') + " : tail\n";
    for (int i = 0; i < 60; ++i) text += "key" + std::to_string(i) + " : v\n";
    CPROC r = reader(text);
    EXPECT_EQ(std::string(r.getLine(1)).size(), size_t(CPROC::kLineLength));
    EXPECT_EQ(nullOr(r.getLine(2)), nullOr("key0 : v"));   // the rest of the long line was skipped
    const char* keys = r.getAllKeys();
    ASSERT_NE(keys, nullptr);
    std::size_t used = 0;
    while (keys[used]) used += std::string(keys + used).size() + 1;
    EXPECT_LE(used, 256u);
}

TEST_F(CprocTest, ReadsCapturedText)
{
    CPROC r(CPROC::Text{}, kBoot, ':', 0);
    EXPECT_EQ(nullOr(r.findToken("Floppy", 2, 0)), nullOr("fd0"));
    CPROC empty(CPROC::Text{}, "", ':', 0);
    EXPECT_EQ(empty.findToken("Floppy", 1, 0), nullptr);
}

} // namespace
