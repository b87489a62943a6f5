// Performance figures through the sysinfo seam, and the revision from the registry.
#include <gtest/gtest.h>

#include <cstring>

#include "agent_frontend.h"
#include "load_objects.h"
#include "registry.h"
#include "temp_root.h"

namespace {

struct sysinfo fake;
int fakeSysinfo(struct sysinfo* info) { *info = fake; return 0; }
int failingSysinfo(struct sysinfo*) { return -1; }

class LoadObjects : public ::testing::Test {
protected:
    static void SetUpTestSuite() { loadPerformanceObjects(); }
    void SetUp() override
    {
        fake = {};
        setSysinfoSource(fakeSysinfo);
    }
    void TearDown() override { setSysinfoSource(nullptr); }

    // The value as the agent would print it, or "none" for no such instance.
    static std::string value(const char* oid)
    {
        SnmpObject* object = objects.find(SnmpOid(oid));
        return object ? object->getValue().asString() : "none";
    }
    qv::test::TempRoot root;
};

constexpr char kAvailable[] = ".1.3.6.1.4.1.944.2.1.10.1.0";
constexpr char kLimit[] = ".1.3.6.1.4.1.944.2.1.10.5.0";
constexpr char kCommitted[] = ".1.3.6.1.4.1.944.2.1.10.6.0";
constexpr char kPhysical[] = ".1.3.6.1.4.1.944.2.2.4.6.0";
constexpr char kLoad[] = ".1.3.6.1.4.1.944.2.2.5.1.0";
constexpr char kRevision[] = ".1.3.6.1.4.1.944.2.2.6.1.0";

TEST_F(LoadObjects, MemoryFiguresInBytesClampedTo32Bits)
{
    fake.mem_unit = 1;
    fake.totalram = 256u << 20;
    fake.freeram = 100u << 20;
    EXPECT_EQ(value(kAvailable), std::to_string(100u << 20));
    EXPECT_EQ(value(kLimit), std::to_string(256u << 20));
    EXPECT_EQ(value(kCommitted), std::to_string(156u << 20));
    EXPECT_EQ(value(kPhysical), std::to_string(256u << 20));

    // Pages of 4096 bytes: 2 GiB free of 8 GiB, 1 GiB swap of which half in use.
    fake.mem_unit = 4096;
    fake.totalram = 2u << 20;
    fake.freeram = 1u << 19;
    fake.totalswap = 1u << 18;
    fake.freeswap = 1u << 17;
    EXPECT_EQ(value(kAvailable), "2147483648");
    EXPECT_EQ(value(kPhysical), "4294967295");
    EXPECT_EQ(value(kLimit), "4294967295");
    EXPECT_EQ(value(kCommitted), "4294967295");   // 6.5 GiB
}

TEST_F(LoadObjects, LoadIsOneMinuteAverageTimesHundred)
{
    fake.loads[0] = 98304;   // 1.50
    EXPECT_EQ(value(kLoad), "150");
    fake.loads[0] = 65535;
    EXPECT_EQ(value(kLoad), "99");
    setSysinfoSource(failingSysinfo);
    EXPECT_EQ(value(kLoad), "none");
    EXPECT_EQ(value(kPhysical), "none");
}

TEST_F(LoadObjects, RevisionIsTheFirstWordOfTheVersion)
{
    EXPECT_EQ(value(kRevision), "none");
    const struct {
        const char* version;
        const char* revision;
    } cases[] = {{"3", "3"}, {".5", "5"}, {"2.10", "2"}, {"A.01.00", "0"}, {" . ", "none"}};
    for (const auto& c : cases) {
        ASSERT_EQ(SetRegData("SOFTWARE\\Quorvane\\Trivoke=Version", c.version, std::strlen(c.version) + 1), 0u);
        EXPECT_EQ(value(kRevision), c.revision) << c.version;
    }
}

TEST_F(LoadObjects, GetNextFollowsRegistrationOrder)
{
    SnmpObject* next = objects.findNext(SnmpOid(kAvailable));
    ASSERT_NE(next, nullptr);
    EXPECT_STREQ(next->getOid().asString(), kLimit);
}

} // namespace
