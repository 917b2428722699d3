#include "core/context/CKGlobals.h"

#include "core/context/CKPluginManager.h"

CKGlobalState* g_CKGlobalState = nullptr;

CKGlobalState::CKGlobalState()
{
    for (CKDependencies& d : m_DefaultDependencies)
        d.m_Flags = CK_DEPENDENCIES_NONE;
}

CKGlobalState::~CKGlobalState()
{
    delete m_RenderGlobals;
    delete m_PluginManager;
}

CKGlobalState& CKMakeGlobals()
{
    if (!g_CKGlobalState)
        g_CKGlobalState = new CKGlobalState;
    return *g_CKGlobalState;
}

void CKResetGlobals()
{
    delete g_CKGlobalState;
    g_CKGlobalState = nullptr;
}
