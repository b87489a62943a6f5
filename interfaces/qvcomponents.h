// The component registration library (libqvcomponents, outside the suite) as the card service
// calls it. Programs link the library by its soname; sim/components carries a stand-in.
#pragma once

#include <cstdint>

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
#pragma pack(pop)
static_assert(sizeof(EntityInfo) == 664);

extern "C" {
int RegisterComponent(EntityInfo info);
int UpdateComponent(EntityInfo info);
}
