#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "cstring.h"

namespace {

bool pointsAtNil(const CString& s) { return static_cast<const char*>(s) == _afxChNil; }

TEST(CStringTest, EmptyTextsShareTheNilBuffer)
{
    const CString fromNull(static_cast<const char*>(nullptr));
    const CString fromEmpty("");
    const CString fromZeroLength("abc", 0);
    const CString copyOfEmpty(fromEmpty);
    for (const CString* s : {&fromNull, &fromEmpty, &fromZeroLength, &copyOfEmpty}) {
        EXPECT_TRUE(pointsAtNil(*s));
        EXPECT_EQ(s->GetLength(), 0);
        EXPECT_TRUE(s->IsEmpty());
        EXPECT_EQ(s->GetAllocLength(), 0);
    }
    EXPECT_EQ(CString().getStatus(), 2);
    CString s("hello");
    s.Empty();
    EXPECT_TRUE(pointsAtNil(s));
}

TEST(CStringTest, ConstructorsCopyExactly)
{
    const CString partial("abcdef", 3);
    EXPECT_STREQ(partial, "abc");
    EXPECT_EQ(partial.GetAllocLength(), 3);
    const CString copy(partial);
    EXPECT_STREQ(copy, "abc");
    EXPECT_NE(static_cast<const char*>(copy), static_cast<const char*>(partial));
}

TEST(CStringTest, Searches)
{
    const CString s("hello world");
    EXPECT_EQ(s.Find('o'), 4);
    EXPECT_EQ(s.ReverseFind('o'), 7);
    EXPECT_EQ(s.Find('x'), -1);
    EXPECT_EQ(s.FindOneOf("wr"), 6);
    EXPECT_EQ(s.FindOneOf("xyz"), -1);
    EXPECT_EQ(s.Find("world"), 6);
    EXPECT_EQ(s.Find("wordy"), -1);
    EXPECT_EQ(s.Find("o w"), 4);
    EXPECT_EQ(s.Find(""), s.GetLength());
    EXPECT_EQ(CString().Find('x'), -1);
    EXPECT_EQ(CString("aab").Find("ab"), 1);
}

TEST(CStringTest, ExtractionsCutAtTheEnds)
{
    const CString s("abcdefghijkl");   // 12 characters
    struct Case { CString got; const char* want; } cases[] = {
        {s.Mid(10, 5), "kl"}, {s.Mid(13, 1), ""}, {s.Mid(12, 1), ""}, {s.Mid(2, 3), "cde"},
        {s.Mid(9), "jkl"}, {s.Mid(12), ""}, {s.Left(100), "abcdefghijkl"}, {s.Left(0), ""},
        {s.Left(2), "ab"}, {s.Right(100), "abcdefghijkl"}, {s.Right(3), "jkl"},
        {CString("aabbc").SpanIncluding("ab"), "aabb"}, {CString("aabbc").SpanExcluding("c"), "aabb"},
        {CString("xyz").SpanIncluding("ab"), ""},
    };
    for (const Case& c : cases) {
        EXPECT_STREQ(c.got, c.want);
        EXPECT_EQ(c.got.GetAllocLength(), c.got.GetLength());   // exact growth
    }
    EXPECT_TRUE(pointsAtNil(s.Mid(13, 1)));
}

TEST(CStringTest, IndexingAndPreconditions)
{
    CString s("abc");
    EXPECT_EQ(s.GetAt(2), 'c');
    EXPECT_EQ(s[3], 0);
    s.SetAt(1, 'X');
    EXPECT_STREQ(s, "aXc");
    EXPECT_DEATH(s.GetAt(3), "cstring:.*i >= 0 && i < m_nDataLength");
    EXPECT_DEATH(s.SetAt(0, 0), "cstring:.*ch != 0");
    EXPECT_DEATH(s.Mid(-1, 2), "cstring:");
    EXPECT_DEATH(s.Left(-1), "cstring:");
    EXPECT_DEATH(s.ReleaseBuffer(4), "cstring:");
    EXPECT_DEATH(s.GetBuffer(40000), "cstring:.*length <= kMaxBufferLength");
}

TEST(CStringTest, AssignmentReusesALargeEnoughBuffer)
{
    CString s("0123456789");
    const char* buffer = s;
    s = "abc";
    EXPECT_STREQ(s, "abc");
    EXPECT_EQ(s.GetAllocLength(), 10);
    EXPECT_EQ(static_cast<const char*>(s), buffer);
    s = static_cast<const char*>(nullptr);
    EXPECT_STREQ(s, "");
    s = 'z';
    EXPECT_STREQ(s, "z");
    s = "a longer text than ten";
    EXPECT_EQ(s.GetAllocLength(), s.GetLength());
    s = static_cast<const char*>(s) + 2;   // source inside the string's own buffer
    EXPECT_STREQ(s, "longer text than ten");
    CString t;
    t = s;
    EXPECT_STREQ(t, "longer text than ten");
}

TEST(CStringTest, ConcatenationGrowsExactlyOrAppendsInPlace)
{
    CString s("0123456789");
    s = "ab";
    s += "cd";
    EXPECT_EQ(s.GetAllocLength(), 10);   // fitted in place
    s += CString("efghijk");
    EXPECT_STREQ(s, "abcdefghijk");
    EXPECT_EQ(s.GetAllocLength(), 11);
    s += '!';
    s += static_cast<const char*>(nullptr);
    EXPECT_STREQ(s, "abcdefghijk!");
    s += s;
    EXPECT_STREQ(s, "abcdefghijk!abcdefghijk!");

    const CString a("ab");
    EXPECT_STREQ(a + CString("cd"), "abcd");
    EXPECT_STREQ(a + "x", "abx");
    EXPECT_STREQ("x" + a, "xab");
    EXPECT_STREQ(a + 'c', "abc");
    EXPECT_STREQ('c' + a, "cab");
    EXPECT_STREQ(a + static_cast<const char*>(nullptr), "ab");
    EXPECT_EQ((a + "x").GetAllocLength(), 3);
}

TEST(CStringTest, BufferAccess)
{
    CString s("ab");
    char* b = s.GetBuffer(10);
    EXPECT_EQ(s.GetAllocLength(), 10);
    EXPECT_STREQ(b, "ab");
    std::strcpy(b, "abcdef");
    s.ReleaseBuffer();
    EXPECT_EQ(s.GetLength(), 6);
    s.ReleaseBuffer(3);
    EXPECT_STREQ(s, "abc");
    EXPECT_EQ(s.GetBuffer(2), static_cast<const char*>(s));
    char* c = s.GetBufferSetLength(5);
    c[3] = 'x';
    c[4] = 'y';
    EXPECT_STREQ(s, "abcxy");
    CString empty;
    EXPECT_EQ(empty.GetBufferSetLength(0), _afxChNil);   // never written
    CString full;
    std::memset(full.GetBuffer(4), 'q', 5);   // the terminator overwritten too
    full.ReleaseBuffer();
    EXPECT_EQ(full.GetLength(), 4);
}

TEST(CStringTest, CaseAndNumbers)
{
    CString s("MiXed 1");
    s.MakeUpper();
    EXPECT_STREQ(s, "MIXED 1");
    s.MakeLower();
    EXPECT_STREQ(s, "mixed 1");
    struct { const char* text; int value; } numbers[] = {
        {"  -42abc", -42}, {"+7", 7}, {"abc", 0}, {"", 0}, {"99999999999", 2147483647},
    };
    for (auto n : numbers) EXPECT_EQ(CString(n.text).AsInt(), n.value) << n.text;
}

TEST(CStringTest, Comparisons)
{
    const CString abd("abd");
    EXPECT_TRUE("abc" < abd);
    EXPECT_TRUE(abd > "abc");
    EXPECT_FALSE(abd < "abc");
    EXPECT_TRUE(abd == "abd");
    EXPECT_TRUE("abd" == abd);
    EXPECT_TRUE(abd != CString("abc"));
    EXPECT_TRUE(abd <= "abd");
    EXPECT_TRUE(abd >= "abd");
    EXPECT_TRUE("abe" >= abd);
    EXPECT_TRUE("abc" <= abd);
    EXPECT_EQ(abd.Compare("abz"), -1);
    EXPECT_EQ(abd.Compare("ab"), 1);
    EXPECT_EQ(abd.Compare(nullptr), 1);
    EXPECT_EQ(abd.CompareNoCase("ABD"), 0);
    EXPECT_STREQ(abd, "abd");   // CompareNoCase works on copies
}

} // namespace
