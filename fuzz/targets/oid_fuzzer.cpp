// Object identifiers as snmpd passes them: parse, print, compare.
#include "snmp_oid.h"

#include <cstdlib>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const size_t split = text.find('\n');
    const std::string first = text.substr(0, split);
    const std::string second = split == std::string::npos ? "" : text.substr(split + 1);

    SnmpOid a, b;
    const bool okA = a.parse(first.c_str());
    b.parse(second.c_str());
    if (!okA && a.idSize() != 0) std::abort();   // a refused id must be empty

    const char* printed = a.asString();
    if (std::strlen(printed) > 254) std::abort();
    // What fits in the printed form reads back as the same id.
    if (okA && a.idSize() > 0 && std::strlen(printed) < 200) {
        const std::string copy = printed;
        SnmpOid again;
        if (!again.parse(copy.c_str()) || !(again == a)) std::abort();
    }
    for (int count = -1; count <= a.idSize() + 1; ++count) {
        if (std::strlen(a.asString(count)) > 254) std::abort();
        (void)a.samePrefix(b, count);
    }
    // A strict weak order: never both a < b and b < a, and equal ids are not less.
    if ((a < b) && (b < a)) std::abort();
    if (a == b && (a < b)) std::abort();
    return 0;
}
