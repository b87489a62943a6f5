// The pre-failure monitor's store read from an arbitrary registry file: a stored count that
// does not fit the stored items must neither crash nor drive a large allocation, and whatever
// reads back encodes to items that decode to the same sources.
#include "fuzz_root.h"
#include "prefail_store.h"

#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    qv::fuzz::privateRoot();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    qv::fuzz::writeRootFile("/var/qvserver/registry.ini", data, size);
    const std::vector<CEventStatus> first = ReadPersistentStore();
    const std::vector<uint8_t> items = encodeStoreItems(first);
    const auto decoded = decodeStoreItems(static_cast<uint32_t>(first.size()), items.data(), items.size());
    if (!decoded) std::abort();
    const std::vector<CEventStatus> again = statusesFromItems(*decoded);
    if (again.size() != first.size()) std::abort();
    for (size_t i = 0; i < first.size(); ++i)
        if (again[i].iEvent != first[i].iEvent || again[i].eventData != first[i].eventData ||
            again[i].nEvents != first[i].nEvents || again[i].tLast != first[i].tLast)
            std::abort();
    return 0;
}
