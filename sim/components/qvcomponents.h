// The component registration library's interface as the card service calls it (an outside
// library; this folder carries our stand-in for tests and the demo).
//
// Stand-in environment (tests):
//   QV_COMPONENTS_LOG               file each call is appended to as one ComponentCall record
//   QV_COMPONENTS_REGISTER_RESULT   result of RegisterComponent (default 0; 2: already registered)
#pragma once

#include <cstdint>

inline constexpr char kComponentsLogEnv[] = "QV_COMPONENTS_LOG";
inline constexpr char kComponentsRegisterResultEnv[] = "QV_COMPONENTS_REGISTER_RESULT";
// RegisterComponent's answer that asks for UpdateComponent with the same record.
inline constexpr int kComponentAlreadyRegistered = 2;

#pragma pack(push, 1)
struct EntityInfo {
    char szSysObjID[64];
    int32_t szRelationshipType;
    char szUniqueID[64];
    char szURL[256];
    char szLabelLink[256];
    char szIPAddress[20];
};

// One recorded call of the stand-in: "register" or "update", then the record as passed.
struct ComponentCall {
    char szCall[12];
    EntityInfo info;
};
#pragma pack(pop)
static_assert(sizeof(EntityInfo) == 664);
static_assert(sizeof(ComponentCall) == 676);

extern "C" {
int RegisterComponent(EntityInfo info);
int UpdateComponent(EntityInfo info);
}
