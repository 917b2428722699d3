#pragma once

#include "core/context/CKGlobals.h"
#include "core/context/CKPluginInfo.h"
#include "includes/XArray.h"
#include "render/context/rasterizer/CKRasterizer.h"

// The render library's process-wide state, kept with the engine's (deleted
// at shut-down, made again on first use).
class CKRenderGlobals : public CKGlobalExtension
{
public:
    // Set once the render classes are in the class registry.
    CKBOOL m_ClassesRegistered = FALSE;
    // The rasterizers every new render manager starts, in driver order.
    XArray<CKRasterizerStartFunction> m_Rasterizers;
    // The render engine's plug-in description.
    CKPluginInfo m_PluginInfo;
    // Id of the log source "CK2_3D".
    int m_LogSourceId = 0;
    // Set when a material's transparency changed since the render contexts
    // last sorted their objects.
    CKBOOL m_TransparencyChanged = FALSE;
    // Rises at every change of a material: a material keeps the value of
    // its last change, and what it was built from is compared against it.
    CKDWORD m_ChangeStamp = 0;
    // Set once a patch mesh with unused control points was reported.
    CKBOOL m_PatchMeshWarned = FALSE;
};

CKRenderGlobals& CKGetRenderGlobals();

// Logs one line from the render library (source "CK2_3D").
void CKRenderLog(CKDWORD level, int line, const char* file, const char* format, ...);
