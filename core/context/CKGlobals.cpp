#include "core/context/CKGlobals.h"

#include "core/context/CKPluginManager.h"

namespace {
CKGlobalState* g_State = nullptr;
}

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

CKGlobalState& CKGetGlobals()
{
    if (!g_State)
        g_State = new CKGlobalState;
    return *g_State;
}

void CKResetGlobals()
{
    delete g_State;
    g_State = nullptr;
}
