#include "service_request.h"
#include "service_client.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "sandbox_path.h"
#include "temp_root.h"

namespace {

class ServiceRequestTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server_.Create(root_.at("/var/qvserver/r.socket").c_str()));
        server_.SetTimeout(200);
    }
    qv::test::TempRoot root_;
    CSocket server_;
    CServiceRequestReader reader_{server_};
};

TEST_F(ServiceRequestTest, FieldsComeOnlyFromTheSenderOfTheCommand)
{
    CServiceClient a("/var/qvserver/r.socket"), b("/var/qvserver/r.socket");
    ASSERT_TRUE(a.SendFields({10}));
    ASSERT_TRUE(b.SendFields({20, 21}));
    ASSERT_TRUE(a.SendFields({11}));
    int32_t v = 0;
    ASSERT_TRUE(reader_.ReadCommand(&v));
    EXPECT_EQ(v, 10);
    ASSERT_TRUE(reader_.ReadField(&v));
    EXPECT_EQ(v, 11);   // b's datagrams were set aside, not mixed in
    EXPECT_FALSE(reader_.ReadField(&v));
    const int32_t answer = 1;
    ASSERT_TRUE(reader_.Reply(&answer, 4));
    int32_t got = 0;
    ASSERT_TRUE(a.ReadReply(&got, 4));

    ASSERT_TRUE(reader_.ReadCommand(&v));
    EXPECT_EQ(v, 20);
    ASSERT_TRUE(reader_.ReadField(&v));
    EXPECT_EQ(v, 21);
}

TEST_F(ServiceRequestTest, LeftoversOfARefusedRequestAreDropped)
{
    CServiceClient a("/var/qvserver/r.socket"), b("/var/qvserver/r.socket");
    ASSERT_TRUE(a.SendFields({26, 3, 0, 26}));
    int32_t v = 0;
    ASSERT_TRUE(reader_.ReadCommand(&v));
    ASSERT_TRUE(reader_.ReadField(&v));
    EXPECT_EQ(v, 3);
    reader_.DiscardRest();
    ASSERT_TRUE(a.SendFields({2}));   // still on its way when refused
    ASSERT_TRUE(b.SendFields({5}));
    ASSERT_TRUE(reader_.ReadCommand(&v));
    EXPECT_EQ(v, 5);
    EXPECT_FALSE(reader_.ReadCommand(&v));
}

TEST_F(ServiceRequestTest, FieldsOfAnotherSizeAreNotFields)
{
    CServiceClient a("/var/qvserver/r.socket");
    ASSERT_TRUE(a.SendFields({1}));
    sockaddr_un to{};
    ASSERT_TRUE(qv::makeUnixAddress(root_.at("/var/qvserver/r.socket"), to));
    ASSERT_TRUE(a.Socket().Write("xy", 2, reinterpret_cast<sockaddr*>(&to), sizeof to));
    int32_t v = 0;
    ASSERT_TRUE(reader_.ReadCommand(&v));
    EXPECT_FALSE(reader_.ReadField(&v));
}

TEST_F(ServiceRequestTest, TextFieldsAreTerminatedAndCutTo511Characters)
{
    CServiceClient a("/var/qvserver/r.socket");
    sockaddr_un to{};
    ASSERT_TRUE(qv::makeUnixAddress(root_.at("/var/qvserver/r.socket"), to));
    auto raw = [&](const std::string& bytes) {
        return a.Socket().Write(bytes.data(), static_cast<int>(bytes.size()), reinterpret_cast<sockaddr*>(&to),
                                sizeof to);
    };
    const std::string long600(600, 'u');
    ASSERT_TRUE(a.SendFields({26}));
    ASSERT_TRUE(a.SendText("http://h/x"));
    ASSERT_TRUE(raw(std::string(512, 'a')));     // no terminator in the whole field
    ASSERT_TRUE(raw(long600));                    // an overlong datagram
    ASSERT_TRUE(raw(std::string("ab\0cd", 5)));   // bytes after the NUL are not text
    ASSERT_TRUE(a.SendText(long600.c_str()));     // the client cuts before sending
    ASSERT_TRUE(raw(""));
    int32_t v = 0;
    ASSERT_TRUE(reader_.ReadCommand(&v));
    char text[kServiceTextFieldMax];
    const std::string expected[] = {"http://h/x", std::string(511, 'a'), std::string(511, 'u'), "ab",
                                    std::string(511, 'u'), ""};
    for (const std::string& e : expected) {
        std::memset(text, 'z', sizeof text);
        ASSERT_TRUE(reader_.ReadTextField(text));
        EXPECT_EQ(std::string(text), e);
    }
    EXPECT_FALSE(reader_.ReadTextField(text));   // nothing more came within the time-out
}

} // namespace
