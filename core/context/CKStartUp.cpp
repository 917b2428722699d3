#include "core/context/CKStartUp.h"

#include <cstdlib>
#include <cstring>
#include <ctime>

#include "core/behavior/CKObjectDeclaration.h"
#include "core/context/CKContext.h"
#include "core/context/CKGlobals.h"
#include "core/context/CKPluginManager.h"
#include "core/context/CKRandom.h"
#include "core/object/CKClassRegistry.h"
#include "core/object/CKCoreClasses.h"
#include "system/io/CKPathSplitter.h"
#include "system/io/QxPaths.h"
#include "system/log/QxLogManager.h"
#include "system/runtime/QxStartUp.h"

namespace {

void InitStartPaths(CKGlobalState& g)
{
    char module[CKPathSplitter::kMaxPath] = {};
    if (!QxGetModuleFileName(nullptr, module, (int) sizeof(module)))
        return;
    CKPathSplitter splitter(module);
    XString folder(splitter.GetDrive());
    folder += splitter.GetDir();
    while (folder.Length() > 1 && (folder[folder.Length() - 1] == '/' || folder[folder.Length() - 1] == '\\'))
        folder.Assign(XString(folder).CStr(), folder.Length() - 1);
    g.m_StartPath = folder;
    // Started again in the same process: the folder is already in front.
    const char* path = std::getenv("PATH");
    size_t n = (size_t) folder.Length();
    if (!path || std::strncmp(path, folder.CStr(), n) != 0 || (path[n] != ':' && path[n] != 0))
        QxAddDirectoryToPath(folder.CStr());
    char plugins[CKPathSplitter::kMaxPath * 2] = {};
    if (QxConcatPath(plugins, sizeof(plugins), folder.CStr(), "Plugins"))
        g.m_PluginPath = plugins;
}

} // namespace

CKERROR CKStartUp()
{
    QxStartUp();
    CKGlobalState& g = CKGetGlobals();
    InitStartPaths(g);
    CKSrand((CKDWORD) std::time(nullptr));
    QxLogManager* log = QxGetLogManager();
    g.m_LogSourceId = log->RegisterSource("CK2");
    log->CreateListener(QXLOG_OUTPUTDEBUG_LISTENER_GUID, "OUTPUTDEBUG LISTENER", g.m_LogSourceId);
    g.m_ClassDescs.Reserve(59);
    if (!g.m_PluginManager)
        g.m_PluginManager = new CKPluginManager;
    static const char* const kCategories[] = {"Bitmap Readers", "Sound Readers",  "Model Readers", "Managers",
                                              "BuildingBlocks", "Render Engines", "Movie Readers", "Extensions"};
    for (const char* name : kCategories)
        g.m_PluginManager->AddCategory(name);
    CKRegisterCoreClasses();
    CKBuildClassHierarchyTable();
    return CKErr::Ok;
}

CKERROR CKShutdown()
{
    CKGlobalState& g = CKGetGlobals();
    CKRemoveAllObjectDeclarations();
    if (g.m_PluginManager)
        g.m_PluginManager->ReleaseAllPlugins();
    g.m_StartPath = "";
    g.m_PluginPath = "";
    g.m_ClassDescs.Clear();
    g.m_Contexts.Free();
    g.m_Declarations.Clear();
    CKResetGlobals();
    QxShutDown();
    return CKErr::Ok;
}

CKERROR CKCreateContext(CKContext** context, void* mainWindow, const char* settingsFile)
{
    if (!context)
        return CKErr::InvalidParameter;
    CKContext* ctx = new CKContext(mainWindow, settingsFile);
    CKGlobalState& g = CKGetGlobals();
    g.m_Contexts.PushBack(ctx);
    if (g.m_PluginManager)
        g.m_PluginManager->InitializePlugins(ctx);
    ctx->SetInitialized(TRUE);
    ctx->ExecuteManagersOnCKInit();
    *context = ctx;
    return CKErr::Ok;
}

CKERROR CKCloseContext(CKContext* context)
{
    if (!context)
        return CKErr::InvalidParameter;
    CKGlobalState& g = CKGetGlobals();
    g.m_Contexts.Remove(context);
    CKERROR result = context->ClearAll();
    context->ExecuteManagersOnCKEnd();
    if (g.m_PluginManager)
        g.m_PluginManager->ExitPlugins(context);
    delete context;
    return result;
}

CKPluginManager* CKGetPluginManager()
{
    return CKGetGlobals().m_PluginManager;
}

const char* CKGetStartPath()
{
    return CKGetGlobals().m_StartPath.CStr();
}

const char* CKGetPluginsPath()
{
    return CKGetGlobals().m_PluginPath.CStr();
}

int CKGetLogSourceId()
{
    return CKGetGlobals().m_LogSourceId;
}

int CKGetContextCount()
{
    return CKGetGlobals().m_Contexts.Size();
}

CKContext* CKGetContext(int index)
{
    XArray<CKContext*>& contexts = CKGetGlobals().m_Contexts;
    return index >= 0 && index < contexts.Size() ? contexts[index] : nullptr;
}
