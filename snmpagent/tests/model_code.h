// Stores the model code that identifying programs read, in the registry below QV_ROOT.
#pragma once

#include <cstdint>

// Declared here rather than through the registry header, whose directory would shadow the
// system <semaphore.h> for everything included after it.
unsigned SetRegData(const char* pszFullKey, const void* pData, unsigned long sData);

namespace qv::test {

inline bool storeModelCode(uint32_t code)
{
    return SetRegData("SOFTWARE\\Quorvane\\Trivoke=SpuNum", &code, sizeof code) == 0;
}

} // namespace qv::test
