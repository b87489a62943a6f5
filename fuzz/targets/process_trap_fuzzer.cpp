// Trap translation over any section file and any trap: identifiers, keys, variable references
// and the additional text stay within their buffers.
// Input: the section file up to a NUL byte, then bindings until the end, each: type byte, name
// length byte, that many sub-identifier bytes, value length byte, that many value bytes.
#include "fuzz_root.h"
#include "trap_translate.h"

#include <cstring>
#include <list>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    qv::fuzz::privateRoot();
    qv::fuzz::InputCursor in(data, size);
    const std::string_view section = in.until('\0');
    qv::fuzz::writeRootFile(kTrapSectionFile, section.data(), section.size());

    std::list<std::vector<oid>> names;
    std::list<std::vector<uint8_t>> values;
    std::list<long> numbers;
    std::list<counter64> counters;
    std::list<std::vector<oid>> objids;
    std::list<netsnmp_variable_list> bindings;
    netsnmp_pdu pdu{};
    pdu.command = kSnmpV1TrapPdu;
    netsnmp_variable_list** link = &pdu.variables;
    while (in.remaining() > 0 && bindings.size() < 32) {
        netsnmp_variable_list& v = bindings.emplace_back();
        v.type = in.u8();
        auto& name = names.emplace_back(in.u8() % 24);
        for (oid& o : name) o = in.u8();
        v.name = name.data();
        v.name_length = name.size();
        const std::string_view raw = in.take(in.u8());
        auto& bytes = values.emplace_back(raw.begin(), raw.end());
        if (v.type == 0x02 || v.type == 0x41 || v.type == 0x42 || v.type == 0x43 || v.type == 0x47) {
            long& n = numbers.emplace_back(0);
            if (!bytes.empty()) std::memcpy(&n, bytes.data(), std::min(bytes.size(), sizeof n));
            v.val.integer = &n;
            v.val_len = sizeof n;
        } else if (v.type == 0x46) {
            counter64& c = counters.emplace_back();
            if (!bytes.empty()) std::memcpy(&c, bytes.data(), std::min(bytes.size(), sizeof c));
            v.val.counter64 = &c;
            v.val_len = sizeof c;
        } else if (v.type == 0x06) {
            auto& ids = objids.emplace_back(bytes.size() / sizeof(oid));
            if (!ids.empty()) std::memcpy(ids.data(), bytes.data(), ids.size() * sizeof(oid));
            v.val.objid = ids.data();
            v.val_len = ids.size() * sizeof(oid);
        } else {
            v.val.string = bytes.data();
            v.val_len = bytes.size();
        }
        *link = &v;
        link = &v.next_variable;
    }
    _TData trap{};
    ProcessTrap(&trap, &pdu, nullptr);
    if (std::strlen(trap.additionalInfo) > kTrapTextMax) __builtin_trap();
    return 0;
}
