#include <ipmipipe_protocol.h>

#include <gtest/gtest.h>

#include <cstring>
#include <set>

TEST(ReplyPipeNameTest, DecimalBelowOneHundredThousandLetterFormAbove)
{
    const struct { pid_t pid; const char* name; } cases[] = {
        {1, "/var/qvserver/pipe.ret00001"},
        {99999, "/var/qvserver/pipe.ret99999"},
        {100000, "/var/qvserver/pipe.reta255s"},
        {4194304, "/var/qvserver/pipe.retchwcg"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(replyPipeName(c.pid), c.name) << c.pid;
    for (pid_t pid : {100000, 1679616, 4194304}) {
        const std::string name = replyPipeName(pid);
        ASSERT_EQ(name.size(), 27u) << pid;
        EXPECT_TRUE(name[22] >= 'a' && name[22] <= 'z') << name;
        EXPECT_TRUE(isReplyPipeName(name.c_str(), kReplyNameField)) << name;
    }
    EXPECT_TRUE(replyPipeName(-1).empty());
    EXPECT_TRUE(replyPipeName(26 * 36 * 36 * 36 * 36).empty());
}

TEST(ReplyPipeNameTest, NamesNeverCollideAcrossTheRangeOfProcessIds)
{
    std::set<std::string> seen;
    for (pid_t pid = 0; pid <= 4194304; pid += (pid < 200000 ? 1 : 7)) {
        const std::string name = replyPipeName(pid);
        ASSERT_EQ(name.size(), 27u);
        ASSERT_TRUE(seen.insert(name).second) << pid << " " << name;
    }
}

TEST(ReplyPipeNameTest, ServiceAcceptsOnlyItsOwnReplyNames)
{
    const struct { const char* name; bool ok; } cases[] = {
        {"/var/qvserver/pipe.ret00042", true},
        {"/var/qvserver/pipe.retb0z9a", true},
        {"/etc/passwd", false},
        {"/var/qvserver/pipe.ret../x", false},
        {"/var/qvserver/pipe.ret0004", false},
        {"/var/qvserver/pipe.in", false},
        {"/var/qvserver/pipe.retAB/12", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(isReplyPipeName(c.name, kReplyNameField), c.ok) << c.name;
    char unterminated[kReplyNameField];
    std::memset(unterminated, '1', sizeof unterminated);
    EXPECT_FALSE(isReplyPipeName(unterminated, sizeof unterminated));
}
