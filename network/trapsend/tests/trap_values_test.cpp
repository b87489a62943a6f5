#include "attr_value.h"
#include "obj_id.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>

namespace {

std::string print(const CAttrValue& value)
{
    std::ostringstream out;
    out << value;
    return out.str();
}

TEST(CAttrValue, NewValueIsNullAndSettersPickTheirTypes)
{
    CAttrValue v;
    EXPECT_EQ(v.asnType(), ASN_TAG_NULL);
    EXPECT_EQ(v.getVal(), nullptr);
    EXPECT_EQ(print(v), "???");

    v.setInt32(21);
    EXPECT_EQ(v.asnType(), ASN_TAG_INTEGER);
    EXPECT_EQ(v.getInt32(), 21);
    EXPECT_EQ(v.getLen(), 4);
    EXPECT_EQ(print(v), "21");

    CAttrValue s;
    unsigned char text[] = "Adapter 0";
    s.setStr(9, text);
    EXPECT_EQ(s.asnType(), ASN_TAG_OCTET_STRING);
    EXPECT_EQ(s.getLen(), 9);
    EXPECT_EQ(std::memcmp(s.getVal(), "Adapter 0", 9), 0);
    EXPECT_EQ(print(s), "Adapter 0");
    s.setStr(0, text);
    EXPECT_EQ(s.getVal(), nullptr);

    CAttrValue copy(v);
    copy = s;
    EXPECT_EQ(copy.asnType(), ASN_TAG_OCTET_STRING);
    CAttrValue zeroed;
    zeroed.setStr(3, text);
    EXPECT_EQ((zeroed = 0), 0);
    EXPECT_EQ(zeroed.getLen(), 1024);
}

TEST(CAttrValue, PrintedForms)
{
    struct Case {
        int tag;
        long value;
        const char* printed;
    } cases[] = {
        {ASN_TAG_COUNTER, -1, "-1"},
        {ASN_TAG_TIMETICKS, 500, "500"},
        {ASN_TAG_IPADDRESS, 0x0100007F, "127.0.0.1"},
        {ASN_TAG_OPAQUE, 0, "???"},
    };
    for (const Case& c : cases) {
        CAttrValue v;
        v.setType(c.tag);
        v.setInt32(c.value);
        EXPECT_EQ(print(v), c.printed) << c.tag;
    }
    CAttrValue oid;
    oid.setType(ASN_TAG_OBJECT_ID);
    uint32_t ids[] = {1, 3, 6};
    oid.setStr(sizeof ids, reinterpret_cast<unsigned char*>(ids));
    EXPECT_EQ(print(oid), "1.3.6");
}

TEST(CObjId, FromStrConsumesAndRenders)
{
    struct Case {
        const char* text;
        int consumed;
        const char* rendered;
    } cases[] = {
        {"1.3.6.1", 7, "1.3.6.1"},   {"1 3 6", 5, "1.3.6"},   {"1..3", 2, "1"},
        {"  .1", 0, "NULL"},          {"", 0, "NULL"},          {"  7.", 4, "7"},
        {"4294967296.1", 12, "4294967295.1"},
    };
    for (const Case& c : cases) {
        CObjId id;
        EXPECT_EQ(id.fromStr(c.text), c.consumed) << c.text;
        EXPECT_STREQ(id.str(), c.rendered) << c.text;
    }
}

TEST(CObjId, LongIdentifiersStayInsideTheTextBuffer)
{
    std::string text;
    for (int i = 0; i < 600; ++i) text += "4294967295.";
    CObjId id;
    id.fromStr(text.c_str());
    EXPECT_EQ(id.length(), CObjId::kMaxParsed);
    for (int i = 0; i < 100; ++i) id.append(123456789);
    const std::string rendered = id.str();
    EXPECT_LT(rendered.size(), static_cast<size_t>(CObjId::kTextSize));
    EXPECT_EQ(rendered.compare(0, 11, "4294967295."), 0);
    EXPECT_NE(rendered.back(), '.');
}

TEST(CObjId, ComparisonsAndAccess)
{
    const unsigned long a[] = {1, 3, 6};
    const unsigned long b[] = {1, 3, 6, 1};
    CObjId x(a, 3);
    CObjId y(b, 4);
    CObjId empty;
    EXPECT_TRUE(x ^ y);
    EXPECT_FALSE(y ^ x);
    EXPECT_TRUE(empty ^ y);
    EXPECT_FALSE(x ^ empty);
    EXPECT_TRUE(x < y);
    EXPECT_FALSE(y < x);
    EXPECT_FALSE(x < x);
    EXPECT_TRUE((x + 1) == y);
    EXPECT_TRUE(empty == 0);
    EXPECT_FALSE(x == 0);
    EXPECT_EQ(x[2], 6u);
    EXPECT_EQ(x[3], 4294967295u);
    EXPECT_EQ(x[-1], 4294967295u);
    const unsigned long big[] = {4294967295UL};
    EXPECT_TRUE(CObjId(a, 1) < CObjId(big, 1));
    x = x;
    EXPECT_STREQ(x.str(), "1.3.6");
}

} // namespace
