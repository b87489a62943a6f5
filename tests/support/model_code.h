// Stores the model code that identifying programs read, in the registry below QV_ROOT.
#pragma once

#include "registry.h"

#include <cstdint>

namespace qv::test {

inline bool storeModelCode(uint32_t code)
{
    return SetRegData("SOFTWARE\\Quorvane\\Trivoke=SpuNum", &code, sizeof code) == 0;
}

} // namespace qv::test
