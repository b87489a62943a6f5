#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "temp_root.h"
#include "tokenizer.h"

namespace {

std::vector<std::string> tokensOf(StringTokenizer& t)
{
    std::vector<std::string> out;
    for (unsigned i = 0; i < t.getTokenCount(); ++i) out.push_back(t.getToken(i));
    return out;
}

TEST(StringTokenizerTest, SplitsTable)
{
    using V = std::vector<std::string>;
    const struct {
        const char* input;
        const char* delim;
        V tokens;
    } cases[] = {
        {"a  b", " ", {"a", "b"}},
        {" a", " ", {"a"}},
        {"a b ", " ", {"a", "b", ""}},
        {"   ", " ", {""}},
        {"", " ", {}},
        {"host\tmantle 162", " \t", {"host", "mantle", "162"}},
        {"a\r", " ", {"a\r"}},
    };
    for (const auto& c : cases) {
        StringTokenizer t(c.input, c.delim);
        EXPECT_EQ(tokensOf(t), c.tokens) << '"' << c.input << '"';
    }
}

TEST(StringTokenizerTest, RetokenizesAndReportsBadIndex)
{
    StringTokenizer t("x y", " ");
    t.tokenizer("1,2,3", ",");
    EXPECT_EQ(t.getTokenCount(), 3u);
    EXPECT_EQ(t.getInputString(), "1,2,3");
    EXPECT_EQ(t.getDelimitersString(), ",");
    StringTokenizer copy = t;
    EXPECT_EQ(copy.getToken(2), "3");
    try {
        t.getToken(3);
        FAIL() << "no error thrown";
    } catch (const StringTokenizerError& e) {
        EXPECT_EQ(e.getMessage(), "index out of bounds");
    }
    StatusStringTokenizer status("a b", " ");
    EXPECT_THROW(status.getToken(2), int);
    try {
        status.getToken(2);
    } catch (int code) {
        EXPECT_EQ(code, 0x100010);
    }
}

TEST(FileTokenizerTest, ReadsTerminatedLinesOnly)
{
    qv::test::TempRoot root;
    root.writeFile("/etc/f.txt", "x y\n\nz");
    FileTokenizer file(root.at("/etc/f.txt"), " ");
    ASSERT_EQ(file.getLinesCount(), 2u);
    EXPECT_EQ(tokensOf(file.getLine(0)), (std::vector<std::string>{"x", "y"}));
    EXPECT_EQ(file.getLine(1).getTokenCount(), 0u);
    EXPECT_THROW(file.getLine(2), FileTokenizerError);

    file.open(root.at("/etc/f.txt"));   // lines of an earlier open stay
    EXPECT_EQ(file.getLinesCount(), 4u);
    file.close();
    EXPECT_EQ(file.getLinesCount(), 0u);
}

TEST(FileTokenizerTest, MissingFileThrowsInBothModes)
{
    try {
        FileTokenizer file("/nonexistent/qv/file", " ");
        FAIL() << "no error thrown";
    } catch (const TokenizerError& e) {
        EXPECT_EQ(e.getMessage(), "file not found");
    }
    try {
        StatusFileTokenizer file("/nonexistent/qv/file", " ");
        FAIL() << "no error thrown";
    } catch (int code) {
        EXPECT_EQ(code, 0x100019);
    }
    FileTokenizer none("", " ");
    EXPECT_EQ(none.getLinesCount(), 0u);
}

} // namespace
