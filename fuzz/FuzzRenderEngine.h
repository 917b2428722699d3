#pragma once

#include "core/context/CKPluginManager.h"
#include "core/context/CKStartUp.h"
#include "render/context/CKRenderEngine.h"

// Starts the engine once per process with the render engine registered, so
// that each input gets a context with its render manager.
inline void FuzzStartRenderEngine()
{
    static const bool started = [] {
        CKStartUp();
        CKGetPluginManager()->RegisterPlugin(0, CKGetRenderEnginePluginInfo(0), nullptr, nullptr);
        CKGetPluginManager()->AddStaticDll("Render Engine", 1);
        return true;
    }();
    (void) started;
}
