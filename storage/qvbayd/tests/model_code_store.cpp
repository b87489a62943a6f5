#include "model_code.h"

bool storeSupportedModelCode() { return qv::test::storeModelCode(55); }
