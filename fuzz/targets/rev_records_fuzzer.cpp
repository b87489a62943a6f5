// The records of the version files over arbitrary text: a managed software cache entry, a
// revision history or BIOS record and a baseline record. Input: which column (byte), then the
// record.
#include "fuzz_root.h"
#include "rev_fields.h"
#include "rev_records.h"
#include "tokenizer.h"

#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    qv::fuzz::InputCursor in(data, size);
    const unsigned column = in.u8() % 10;
    const std::string record(in.rest());
    try {   // a missing field or a short date ends the agent's request through its handler
        cacheField(record, column);
        cacheDateOctets(cacheField(record, 2));
    } catch (const TokenizerError&) {
    }
    const std::string field = commaField(record, column);
    if (field.size() > 255) __builtin_trap();
    try {
        historyDateOctets(field);
    } catch (const TokenizerError&) {
    }
    DriverStruct driver{};
    if (parseBaselineRecord(record, driver)) {
        if (std::strlen(driver.szDrvName) >= sizeof driver.szDrvName) __builtin_trap();
        if (std::strlen(driver.szDrvVersion) >= sizeof driver.szDrvVersion) __builtin_trap();
        formatBaselineRecord(driver);
        formatDriverChangeEntry(driver, "1/2/2003 04:05");
    }
    return 0;
}
