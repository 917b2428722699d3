#pragma once

#include "core/context/CKPluginInfo.h"

// The building-block plug-in "Mesh Modification building blocks".
constexpr CKGUID LOD_BEHAVIORS_PLUGIN_GUID(0x68CA037D, 0x6BEF5E1A);
// Types the building-block plug-in registers: the enumeration "RGB
// Component" and two flags types without a name (left out of the list of
// type names), which say which manager settings "LOD Manager Options" and
// which record fields "Set LOD Attribute" change.
constexpr CKGUID LOD_RGB_COMPONENT_GUID(0x39D40DF7, 0x48433312);
constexpr CKGUID LOD_MANAGER_FLAGS_GUID(0x3C5302CC, 0x2A611067);
constexpr CKGUID LOD_ATTRIBUTE_FLAGS_GUID(0x7E4417E1, 0x5D0D45B3);

// The plug-in descriptions: 0 the building blocks, 1 the level-of-detail
// manager (the manager's GUID); null for any other index. The record is
// refilled on every call.
CKPluginInfo* CKGetLodPluginInfo(int index);

// The manager plug-in's initialisation: makes the context's LODManager,
// which registers itself. -6 when it cannot be allocated.
CKERROR CKCreateLodManager(CKContext* context);
// The building-block plug-in's initialisation and exit: register the three
// types above; unregister "RGB Component" (the flags types stay, as files
// and the exporter's own registration may share them).
CKERROR CKInitLodParameterTypes(CKContext* context);
CKERROR CKExitLodParameterTypes(CKContext* context);
