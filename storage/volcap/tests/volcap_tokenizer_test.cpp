// The volume capacity library's tokenizers: the framework's core without exceptions, reading a
// file only when asked.
#include "tokenizer.h"

#include <gtest/gtest.h>

#include "temp_root.h"

namespace {

TEST(VolcapTokenizer, StringTokens)
{
    StringTk tk("  a\tb", " \t");
    ASSERT_EQ(tk.getTokenCount(), 2u);
    EXPECT_EQ(tk.getToken(0), "a");
    EXPECT_EQ(tk.getToken(1), "b");
    EXPECT_EQ(tk.getToken(2), "");   // past the end: empty, no throw
    tk.tokenizer("a b ", " ");
    ASSERT_EQ(tk.getTokenCount(), 3u);
    EXPECT_EQ(tk.getToken(2), "");
    EXPECT_EQ(tk.getDelimitersString(), " ");
    EXPECT_TRUE(tk.isDelimiter(' '));
    EXPECT_FALSE(tk.isDelimiter('a'));
    EXPECT_EQ(StringTk("", " ").getTokenCount(), 0u);
    StringTk copy = tk;
    EXPECT_EQ(copy.getInputString(), "a b ");
}

TEST(VolcapTokenizer, FileIsReadOnlyByOpenWhichAppends)
{
    qv::test::TempRoot root;
    root.writeFile("/f", "one 1\ntwo\nthree\nfour");
    FileTk file(root.at("/f"), " ");
    EXPECT_EQ(file.getLinesCount(), 0u);
    ASSERT_TRUE(file.open());
    EXPECT_EQ(file.getLinesCount(), 3u);   // the last line has no newline
    EXPECT_EQ(file.getLine(0).getToken(1), "1");
    EXPECT_EQ(file.getLine(7).getTokenCount(), 0u);
    EXPECT_FALSE(file.open(root.at("/missing")));
    EXPECT_EQ(file.getLinesCount(), 3u);
    ASSERT_TRUE(file.open(root.at("/f")));
    EXPECT_EQ(file.getLinesCount(), 6u);
    EXPECT_EQ(file.close().getLinesCount(), 0u);
    FileTk missing(root.at("/missing"), " ");
    EXPECT_FALSE(missing.open());
}

} // namespace
