// Test switches of the component registration library's stand-in.
//
//   QV_COMPONENTS_LOG               file each call is appended to as one ComponentCall record
//   QV_COMPONENTS_REGISTER_RESULT   result of RegisterComponent (default 0; 2: already registered)
#pragma once

#include <qvcomponents.h>

inline constexpr char kComponentsLogEnv[] = "QV_COMPONENTS_LOG";
inline constexpr char kComponentsRegisterResultEnv[] = "QV_COMPONENTS_REGISTER_RESULT";

#pragma pack(push, 1)
// One recorded call: "register" or "update", then the record as passed.
struct ComponentCall {
    char szCall[12];
    EntityInfo info;
};
#pragma pack(pop)
static_assert(sizeof(ComponentCall) == 676);
