// The pass command line of an agent: NUL-separated words after a selector byte for the
// front-end variant. Every type word and value goes through parse and print.
#include "agent_frontend.h"
#include "fuzz_root.h"

#include <string>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    qv::fuzz::privateRoot();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const ArgsVariant kVariants[] = {ArgsVariant::Standard, ArgsVariant::WarningLevel,
                                            ArgsVariant::SilentOneWord, ArgsVariant::SilentJoined};
    qv::fuzz::InputCursor in(data, size);
    const uint8_t selector = in.u8();
    AgentConfig config{"fuzzagent", "Fuzz agent"};
    config.variant = kVariants[selector % 4];
    config.openLog = false;
    config.logMalformedValue = (selector & 4) != 0;

    std::vector<std::string> words{"fuzzagent"};
    while (in.remaining() > 0 && words.size() < 12) words.emplace_back(in.until('\0'));
    std::vector<char*> argv;
    for (auto& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);

    SnmpCommand cmd;
    SnmpOid oid;
    SnmpValue value(SNMP_READWRITE, SNMP_TYPE_UNDEF);
    if (parseArgs(config, int(words.size()), argv.data(), &cmd, &oid, &value)) {
        (void)oid.asString();
        (void)value.typeAsString();
        (void)value.asString();
        (void)value.asInteger();
        const std::string& bytes = value.bytes();
        (void)bin2asc(reinterpret_cast<const unsigned char*>(bytes.data()),
                      static_cast<unsigned>(bytes.size()));
    }
    return 0;
}
