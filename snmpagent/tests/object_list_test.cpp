#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "snmp_object.h"

namespace {

// Fixture objects (registration order = GETNEXT order):
//   .9.1.0            scalar integer
//   .9.2.1            column, 3 rows, base 1
//   .9.3.1            column, rows from `emptyRows` (0 by default), base 1
//   .9.4.1.1          two-level table, 2 x 2 rows, base 1
//   .9.5.0.0          walker: .9.5.3.1, .9.5.3.4294967295, .9.5.4000000000.0
//   .9.6.0            write-only scalar
//   .9.7.0            read-write string scalar whose setter accepts only "ok"
int emptyRows = 0;
int threeRows(int, const SnmpOid&) { return 3; }
int variableRows(int, const SnmpOid&) { return emptyRows; }
int twoRows(int, const SnmpOid&) { return 2; }
bool getIndex(int index, SnmpValue* value, const SnmpOid&) { return value->setValue(index); }
bool getText(int, SnmpValue* value, const SnmpOid&) { return value->setValue("v", 1); }
bool setOnlyOk(int, const SnmpValue& value, const SnmpOid&) { return value.bytes() == "ok"; }

const uint32_t kWalk[][2] = {{3, 1}, {3, 4294967295u}, {4000000000u, 0}};
bool walk(bool first, SnmpOid& oid)
{
    static size_t next = 0;
    if (first) next = 0;
    if (next >= std::size(kWalk)) return false;
    oid.parse(".9.5");
    oid.idPushBack(kWalk[next][0]);
    oid.idPushBack(kWalk[next][1]);
    ++next;
    return true;
}

class ObjectListTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        emptyRows = 0;
        add(new SnmpObject(SNMP_SCALAR, SNMP_INTEGER, SNMP_READONLY, ".9.1.0", getIndex));
        add(new SnmpObject(SNMP_TABULAR, SNMP_INTEGER, SNMP_READONLY, ".9.2.1", getIndex, nullptr,
                           threeRows, 1, 1));
        add(new SnmpObject(SNMP_TABULAR, SNMP_INTEGER, SNMP_READONLY, ".9.3.1", getIndex, nullptr,
                           variableRows, 1, 1));
        add(new SnmpObject(SNMP_TABULAR, SNMP_INTEGER, SNMP_READONLY, ".9.4.1.1", getIndex,
                           nullptr, twoRows, 2, 1));
        add(new SnmpObject(SNMP_RAW_TABULAR, SNMP_INTEGER, SNMP_READONLY, ".9.5.0.0", getIndex,
                           nullptr, nullptr, 2, 0, walk));
        add(new SnmpObject(SNMP_SCALAR, SNMP_INTEGER, SNMP_WRITEONLY, ".9.6.0", nullptr,
                           [](int, const SnmpValue&, const SnmpOid&) { return true; }));
        add(new SnmpObject(SNMP_SCALAR, SNMP_STRING, SNMP_READWRITE, ".9.7.0", getText,
                           setOnlyOk));
    }

    void add(SnmpObject* object)
    {
        owned.emplace_back(object);
        list.addObject(object);
    }

    std::string next(const char* request)
    {
        SnmpObject* found = list.findNext(SnmpOid(request));
        return found ? found->getOid().asString() : "none";
    }

    bool get(const char* request) { return list.find(SnmpOid(request)) != nullptr; }

    std::vector<std::unique_ptr<SnmpObject>> owned;
    SnmpObjects list;
};

TEST_F(ObjectListTest, GetMatchesOnlyExistingInstances)
{
    const std::pair<const char*, bool> cases[] = {
        {".9.1.0", true},      {".9.1", false},        {".9.1.0.0", false},
        {".9.2.0", false},     {".9.2.1", true},       {".9.2.3", true},
        {".9.2.4", false},     {".9.2.4294967295", false}, {".9.2", false},
        {".9.2.1.1", false},   {".9.3.1", false},      {".9.4.2.2", true},
        {".9.4.3.1", false},   {".9.4.1.0", false},    {".9.5.3.4294967295", true},
        {".9.5.3.2", false},   {".9.5.4000000000.0", true}, {".9.6.0", true},
        {".9.8.0", false},
    };
    for (const auto& [request, found] : cases) EXPECT_EQ(get(request), found) << request;
}

TEST_F(ObjectListTest, GetNextWalksEveryInstanceInOrderAndEnds)
{
    const char* expected[] = {".9.1.0",   ".9.2.1",   ".9.2.2",   ".9.2.3",
                              ".9.4.1.1", ".9.4.1.2", ".9.4.2.1", ".9.4.2.2",
                              ".9.5.3.1", ".9.5.3.4294967295", ".9.5.4000000000.0", ".9.7.0"};
    std::string at = "";
    for (const char* want : expected) {
        at = next(at.c_str());
        EXPECT_EQ(at, want);
    }
    EXPECT_EQ(next(at.c_str()), "none");
}

TEST_F(ObjectListTest, GetNextBoundaries)
{
    const std::pair<const char*, const char*> cases[] = {
        {".9.1", ".9.1.0"},          {".9.1.0", ".9.2.1"},      {".9.2", ".9.2.1"},
        {".9.2.0", ".9.2.1"},        {".9.2.2", ".9.2.3"},      {".9.2.3", ".9.4.1.1"},
        {".9.2.2.7", ".9.4.1.1"},    // longer than the column's instances: falls through
        {".9.2.99", ".9.4.1.1"},
        {".9.4.1.2", ".9.4.2.1"},    {".9.4.2.2", ".9.5.3.1"},  {".9.5.3.1", ".9.5.3.4294967295"},
        {".9.5.3.2147483648", ".9.5.3.4294967295"},
        {".9.5.5", ".9.5.4000000000.0"}, {".9.6", ".9.7.0"},    {".8", ".9.1.0"},
        {".9.7.0", "none"},          {".10", "none"},
    };
    for (const auto& [request, want] : cases) EXPECT_EQ(next(request), want) << request;
}

TEST_F(ObjectListTest, EmptyColumnIsSkippedAndRowsAppearWhenCounted)
{
    EXPECT_EQ(next(".9.2.3"), ".9.4.1.1");
    emptyRows = 2;
    EXPECT_EQ(next(".9.2.3"), ".9.3.1");
    EXPECT_EQ(next(".9.3.1"), ".9.3.2");
}

TEST_F(ObjectListTest, SetRulesAndErrorWords)
{
    SnmpValue text(SNMP_ACCESS_UNDEF, SNMP_STRING);
    text.parseValue("ok");
    SnmpValue number(SNMP_ACCESS_UNDEF, SNMP_INTEGER);
    number.parseValue("3");

    SnmpObject* readOnly = list.find(SnmpOid(".9.1.0"));
    ASSERT_NE(readOnly, nullptr);
    EXPECT_FALSE(readOnly->setValue(number));
    EXPECT_EQ(readOnly->getError(), "not-writable");

    SnmpObject* writable = list.find(SnmpOid(".9.7.0"));
    ASSERT_NE(writable, nullptr);
    EXPECT_FALSE(writable->setValue(number));
    EXPECT_EQ(writable->getError(), "wrong-type");
    EXPECT_TRUE(writable->setValue(text));
    EXPECT_EQ(writable->getError(), "");
    EXPECT_STREQ(writable->getValue().asString(), "ok");

    SnmpValue refused(SNMP_ACCESS_UNDEF, SNMP_STRING);
    refused.parseValue("no");
    EXPECT_FALSE(writable->setValue(refused));
    EXPECT_EQ(writable->getError(), "");   // the callback's refusal has no word of its own

    // A non-printable string arrives from snmpd as "octet" hex pairs.
    SnmpValue octets(SNMP_ACCESS_UNDEF, SNMP_OCTET_STRING);
    octets.parseValue("6f 6b");
    EXPECT_TRUE(writable->setValue(octets));
    EXPECT_EQ(writable->getValue().getType(), SNMP_STRING);
}

TEST_F(ObjectListTest, WriteOnlyIsFoundByGetButNeverByGetNext)
{
    SnmpObject* writeOnly = list.find(SnmpOid(".9.6.0"));
    ASSERT_NE(writeOnly, nullptr);
    EXPECT_FALSE(writeOnly->fetchValue());
    EXPECT_EQ(next(".9.5.4000000000.0"), ".9.7.0");
}

// A text is answered on one line of the pass protocol: a value holding a line feed is refused
// before the set callback runs; a carriage return, and any byte of an octet value, are kept.
int g_storeCalls = 0;
bool countingStore(int, const SnmpValue&, const SnmpOid&) { return ++g_storeCalls > 0; }

TEST(TextSetTest, LineFeedIsRefusedBeforeTheSetterRuns)
{
    SnmpObject text(SNMP_SCALAR, SNMP_STRING, SNMP_READWRITE, ".9.1.0", getText, countingStore);
    SnmpObject octets(SNMP_SCALAR, SNMP_OCTET_STRING, SNMP_READWRITE, ".9.2.0", getText, countingStore);
    const struct {
        SNMP_TYPE sent;   // snmpd sends a string with a control byte as octet hex pairs
        const char* value;
        bool textAccepts;
    } cases[] = {
        {SNMP_OCTET_STRING, "31 32 0A 5B 65 76 69 6C 5D 0A 6B 3D 76", false},
        {SNMP_OCTET_STRING, "6F 6B 0A", false},
        {SNMP_OCTET_STRING, "0A", false},
        {SNMP_STRING, "a\nb", false},
        {SNMP_OCTET_STRING, "31 32 0D 33", true},
        {SNMP_STRING, "Rack 12", true},
        {SNMP_STRING, "", true},
    };
    for (const auto& c : cases) {
        SnmpValue request(SNMP_ACCESS_UNDEF, c.sent);
        ASSERT_TRUE(request.parseValue(c.value));
        g_storeCalls = 0;
        EXPECT_EQ(text.setValue(request), c.textAccepts) << c.value;
        EXPECT_EQ(text.getError(), c.textAccepts ? "" : "wrong-value") << c.value;
        EXPECT_EQ(g_storeCalls, c.textAccepts ? 1 : 0) << c.value;
        if (c.textAccepts) {
            EXPECT_EQ(text.getValue().bytes(), request.bytes()) << c.value;
        }

        EXPECT_TRUE(octets.setValue(request)) << c.value;
        EXPECT_EQ(octets.getValue().bytes(), request.bytes()) << c.value;
    }
}

} // namespace

namespace {

// As in an agent, lists and their objects stay reachable until the process ends.
SnmpObjects& freshList()
{
    static auto* lists = new std::vector<SnmpObjects*>;
    return *lists->emplace_back(new SnmpObjects);
}

SnmpObjectRow scalarRow(const char* oid) { return {SNMP_SCALAR, SNMP_INTEGER, SNMP_READONLY, oid, getIndex}; }
SnmpObjectRow columnRow(const char* oid, int levels)
{
    return {SNMP_TABULAR, SNMP_INTEGER, SNMP_READONLY, oid, getIndex, nullptr, threeRows, levels, 1};
}

// Registration tables are checked as a whole: a walk must never meet an object whose instances
// lie before (or among) those of the object registered ahead of it.
TEST(ObjectRowsTest, RegistrationOutOfGetNextOrderIsRejectedWhole)
{
    struct Case {
        const char* what;
        std::vector<SnmpObjectRow> rows;
        bool accepted;
    };
    const Case cases[] = {
        {"ascending mix", {scalarRow(".9.1.0"), columnRow(".9.2.1", 1), columnRow(".9.3.1.1", 2),
                           scalarRow(".9.4")}, true},
        {"scalar, then an object below it", {scalarRow(".9.1"), scalarRow(".9.1.0")}, true},
        {"same scalar twice", {scalarRow(".9.1.0"), scalarRow(".9.1.0")}, false},
        {"descending", {scalarRow(".9.2.0"), scalarRow(".9.1.0")}, false},
        {"scalar among a column's rows", {columnRow(".9.2.1", 1), scalarRow(".9.2.5")}, false},
        {"column around an earlier scalar", {scalarRow(".9.2.5"), columnRow(".9.2.1", 1)}, false},
        {"two two-level tables", {columnRow(".9.4.1.1", 2), columnRow(".9.5.1.1", 2)}, true},
        {"column among a two-level table's rows", {columnRow(".9.4.1.1", 2), columnRow(".9.4.3.1", 1)}, false},
    };
    for (const Case& c : cases) {
        SnmpObjects& list = freshList();
        EXPECT_EQ(addObjectRows(list, c.rows), c.accepted) << c.what;
        EXPECT_EQ(list.last() != nullptr, c.accepted) << c.what << ": a refused table adds nothing";
    }

    // A later table continues the order of the objects already in the list.
    SnmpObjects& list = freshList();
    const SnmpObjectRow first[] = {scalarRow(".9.5.0")};
    const SnmpObjectRow before[] = {scalarRow(".9.6.0"), scalarRow(".9.1.0")};
    const SnmpObjectRow after[] = {scalarRow(".9.6.0")};
    ASSERT_TRUE(addObjectRows(list, first));
    EXPECT_FALSE(addObjectRows(list, before));
    EXPECT_EQ(list.findNext(SnmpOid(".9.5.0")), nullptr);
    EXPECT_TRUE(addObjectRows(list, after));
}

} // namespace
