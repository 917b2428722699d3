#include "core/context/CKContext.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <strings.h>

#include "core/attribute/CKAttributeManager.h"
#include "core/behavior/CKBehavior.h"
#include "core/behavior/CKBehaviorManager.h"
#include "core/behavior/CKMessageManager.h"
#include "core/behavior/CKTimeManager.h"
#include "core/bitmap/CKBitmapProperties.h"
#include "core/context/CKBaseManager.h"
#include "core/context/CKGlobals.h"
#include "core/context/CKPathManager.h"
#include "core/context/CKRandom.h"
#include "core/context/CKRenderManager.h"
#include "core/context/CKVariableManager.h"
#include "core/file/CKFileStreamWriter.h"
#include "core/object/CKClassRegistry.h"
#include "core/object/CKDependenciesContext.h"
#include "core/object/CKObject.h"
#include "core/object/CKObjectManager.h"
#include "core/parameter/CKParameterManager.h"
#include "core/scene/CKHideContentManager.h"
#include "core/scene/CKLevel.h"
#include "core/scene/CKScene.h"
#include "system/memory/QxMemoryManager.h"
#include "system/runtime/QxTimeProfiler.h"

namespace {

// The decimal number that text holds as a whole, or -1 when it holds
// anything else or a number too large for an int.
int WholeNumber(const char* text)
{
    if (!text || !*text)
        return -1;
    long long v = 0;
    for (const char* p = text; *p; ++p) {
        if (*p < '0' || *p > '9')
            return -1;
        v = v * 10 + (*p - '0');
        if (v > 0x7FFFFFFF)
            return -1;
    }
    return (int) v;
}

// atoi of what follows a name prefix, without overflow: a leading number too
// large for an int counts as no number.
int NumberAfter(const char* text)
{
    char* end = nullptr;
    long long v = std::strtoll(text, &end, 10);
    if (end == text || v > 0x7FFFFFFF || v < -0x7FFFFFFF)
        return 0;
    return (int) v;
}

struct ContextVariable
{
    const char* name;
    const char* representation; // null: plain int; "": string
    int defaultValue;
    CKDWORD flags;
    const char* description;
};

} // namespace

CKContext::CKContext(void* mainWindow, const char* settingsFile) : m_ManagerTable(16), m_MainWindow(mainWindow)
{
    m_MemoryManager = QxGetMemoryManager();
    m_BehaviorContext.Context = this;
    m_GlobalImagesSaveFormat = new CKBitmapProperties;
    m_GlobalImagesSaveFormat->m_Ext.Set("bmp");
    m_FileStreamWriter = new CKFileStreamWriter;
    m_VariableManager = new CKVariableManager(this);
    new CKHideContentManager(this);
    RegisterContextVariables();
    m_ProfilingEnabled = 0;
    m_GlobalImagesSaveOptions = 0;
    m_GlobalSoundsSaveOptions = 0;
    m_FileWriteMode = 8;
    m_CompressionLevel = 4;
    if (settingsFile && *settingsFile)
        m_VariableManager->SetConfigFile(settingsFile);
    m_ObjectManager = new CKObjectManager(this);
    m_ParameterManager = new CKParameterManager(this);
    m_AttributeManager = new CKAttributeManager(this);
    m_TimeManager = new CKTimeManager(this);
    m_MessageManager = new CKMessageManager(this);
    m_BehaviorManager = new CKBehaviorManager(this);
    m_PathManager = new CKPathManager(this);
}

CKContext::~CKContext()
{
    delete m_FileStreamWriter;
    m_FileStreamWriter = nullptr;
    m_InDestruction = TRUE;
    CKDeleteBitmapProperties(m_GlobalImagesSaveFormat);
    m_GlobalImagesSaveFormat = nullptr;
    // Render contexts go first, while the objects they show still exist.
    if (CKRenderManager* renderManager = GetRenderManager())
        while (renderManager->GetRenderContextCount() > 0)
            renderManager->DestroyRenderContext(renderManager->GetRenderContext(0));
    m_ObjectManager->ReleaseAllObjects();

    // Managers in table order, the variable manager last.
    XArray<CKBaseManager*> managers;
    for (auto it = m_ManagerTable.Begin(); it != m_ManagerTable.End(); ++it)
        managers.PushBack(*it);
    for (CKBaseManager* m : managers)
        if (m != m_VariableManager)
            delete m;
    for (CKBaseManager* m : m_InactiveManagers)
        if (m != m_VariableManager)
            delete m;
    m_InactiveManagers.Clear();
    m_ObjectManager = nullptr;
    UnregisterContextVariables();
    delete m_VariableManager;
    m_VariableManager = nullptr;
}

void CKContext::SetGlobalImagesSaveFormat(const CKBitmapProperties* format)
{
    if (!format)
        return;
    *m_GlobalImagesSaveFormat = *format;
    // A record carries no pixels of its own.
    m_GlobalImagesSaveFormat->m_Data = nullptr;
    m_GlobalImagesSaveFormat->m_Format.Image = nullptr;
    m_GlobalImagesSaveFormat->m_Format.ColorMap = nullptr;
}

void CKContext::RegisterContextVariables()
{
    static const ContextVariable kInts[] = {
        {"Profiling/ProfileEnabled", "bool:", 0, 0, "Enables the profiling of the Behavioral Engine's processing"},
        {"File Options/Textures,Sprites",
         "enum:0=Raw Data;2=Global Format;1=References Original Files;4=Includes Original Files", 0, 12,
         "Saving options of bitmaps used in Textures and Sprites. Image files (used for Textures and Sprites) use "
         "the default save settings selected here, unless you choose a specific save setting in an individual "
         "Texture or Sprite Setup."},
        {"File Options/Sounds", "enum:0=References Original Files;1=Includes Original Files", 0, 12,
         "Sound saving options used. Sound files use the default save settings selected here, unless you choose a "
         "specific save setting in an individual Sound Setup."},
        {"File Options/Compression", "enum:0=Uncompressed;8=Compressed", 8, 12,
         "This compresses files (QBX/QFX composition, QDX object, and QHX script files) when saving, using the "
         "loss-less zlib compression algorithm. The higher the compression level, the smaller the resulting file "
         "size. Note that compressed files take longer to save and load then uncompressed files."},
        {"File Options/Compression Level", nullptr, 4, 12,
         "This is the compresssion level of the whole file. Ranges from 1(Min) to 9(Max). The higher the "
         "compression level, the smaller the resulting file size. Note that compressed files take longer to save "
         "and load then uncompressed files."},
        {"File Options/Update Texture Bitmap Properties On Load", "bool:", 1, 12,
         "If set, when a Texture slot is reloaded, the File Format used while saving the QBX will be updated with "
         "the loaded File Format."},
        {"Compatibility/KeepSAS", nullptr, 0, 2,
         "Keep Starting Activity Status of objects loaded from a .qdx even after they are added to a scene\n"},
    };
    int* intTargets[] = {&m_ProfilingEnabled,    &m_GlobalImagesSaveOptions, &m_GlobalSoundsSaveOptions,
                         &m_FileWriteMode,       &m_CompressionLevel,        &m_UpdateTexturePropertiesOnLoad,
                         &m_KeepStartingActivity};
    CKVariableManager* vm = m_VariableManager;
    for (int i = 0; i < 7; ++i) {
        const ContextVariable& v = kInts[i];
        if (v.representation)
            vm->BindIntWithRepresentation(v.name, intTargets[i], v.defaultValue, v.flags, v.representation,
                                          v.description);
        else
            vm->BindInt(v.name, intTargets[i], v.defaultValue, v.flags, v.description);
    }
    CKGlobalState& g = CKGetGlobals();
    vm->BindString("Globals/StartingPath", &g.m_StartPath, "", 1, "Absolute path of the main executable");
    vm->BindString("Globals/LastQbxLoaded", &m_LastCompositionLoaded, "", 1,
                   "Absolute path of the last composition loaded");
    vm->BindString("Globals/LastQbxLoadedPath", &m_LastCompositionFolder, "", 1,
                   "Absolute folder path of the last composition loaded");
    vm->BindString("Globals/PluginPath", &g.m_PluginPath, "", 1, "Absolute path of the plugins directory");
    vm->BindIntWithRepresentation(
        "Globals/StartingFlags", &m_StartingFlags, 0, 0, "flag:1=Disable Sound;2=Disable Input;4=Do Warn",
        "Starting options of CK2. With these, you can disable the SoundManager, the InputManager and choose if you "
        "want dialog box to pop on errors.");
    vm->BindIntWithRepresentation(
        "Player/Focus Lost Behavior", &m_FocusLostBehavior, 0, 12,
        "enum:0=None;1=Pause Input Manager (Main Window);2=Pause Input Manager (Player Window);3=Pause "
        "Composition;4=Pause Input Manager when cursor is out of 3D View",
        "Web/QN Player's behavior when it loses focus");
    vm->BindIntWithRepresentation("File Options/Save Thumbnail", &m_SaveThumbnail, 1, 0,
                                  "bool:", "Allow to save an Explorer thumbnail in the Keltrane File");
}

void CKContext::UnregisterContextVariables()
{
    static const char* const kNames[] = {
        "Profiling/ProfileEnabled",
        "File Options/Textures,Sprites",
        "File Options/Sounds",
        "File Options/Compression",
        "File Options/Compression Level",
        "File Options/Update Texture Bitmap Properties On Load",
        "Compatibility/KeepSAS",
        "Globals/StartingPath",
        "Globals/LastQbxLoaded",
        "Globals/LastQbxLoadedPath",
        "Globals/PluginPath",
        "Globals/StartingFlags",
        "Player/Focus Lost Behavior",
        "File Options/Save Thumbnail",
    };
    for (const char* name : kNames)
        m_VariableManager->UnBind(name);
}

// Objects.

CKObject* CKContext::CreateObject(CK_CLASSID cid, const char* name, CKDWORD options, CKDWORD* result)
{
    CKClassDesc* desc = CKGetClassDesc(cid);
    if (!PLATFORM_CHECK(desc != nullptr))
        return nullptr;
    QxMutexLocker lock(m_CreationMutex);
    CKDWORD res = CKLOAD_OK;
    CKDWORD mode = options & CK_OBJECTCREATION_FLAGSMASK;
    if (desc->m_CreationFlags & CK_GENERALOPTIONS_NODUPLICATENAMECHECK)
        mode = CK_OBJECTCREATION_NONAMECHECK;
    XString numbered;
    if (name) {
        if (desc->m_CreationFlags & CK_GENERALOPTIONS_CANUSECURRENTOBJECT)
            mode = CK_OBJECTCREATION_USECURRENT;
        if (mode == CK_OBJECTCREATION_REPLACE || mode == CK_OBJECTCREATION_RENAME ||
            mode == CK_OBJECTCREATION_USECURRENT) {
            CKObject* existing = GetObjectByNameAndClass(name, cid);
            if (existing) {
                if (mode == CK_OBJECTCREATION_REPLACE) {
                    existing->ModifyObjectFlags(CK_OBJECT_REUSEDMARK, 0);
                    if (result)
                        *result = CKLOAD_REUSED;
                    return existing;
                }
                if (mode == CK_OBJECTCREATION_USECURRENT) {
                    if (result)
                        *result = CKLOAD_USECURRENT;
                    return existing;
                }
                numbered = GetNumberedName(name, cid);
                res = CKLOAD_RENAME;
            }
        }
    }
    if (!desc->m_CreationFct)
        return nullptr;
    m_CreatingDynamic = (options >> 4) & 1;
    m_CreatingName = res == CKLOAD_RENAME ? numbered.CStr() : name;
    CKObject* object = desc->m_CreationFct(this);
    m_CreatingDynamic = FALSE;
    m_CreatingName = nullptr;
    if (!object)
        return nullptr;
    if (options & CK_OBJECTCREATION_DYNAMIC)
        object->ModifyObjectFlags(CK_OBJECT_DYNAMIC, 0);
    m_ObjectManager->AddObjectToLists(object);
    if (res == CKLOAD_RENAME)
        object->SetName(numbered.CStr());
    else if (options & CK_OBJECTCREATION_NONAMECOPY)
        object->SetName(name, TRUE);
    else
        object->SetName(name);
    if (options & CK_OBJECTCREATION_NONAMECOPY && res != CKLOAD_RENAME)
        // The object owns the handed pointer: it frees it like a copy.
        object->ModifyObjectFlags(0, CK_OBJECT_NAMESHARED);
    if (result)
        *result = res;
    return object;
}

XString CKContext::GetNumberedName(const char* name, CK_CLASSID cid)
{
    size_t length = std::strlen(name);
    int largest = -1;
    int count = m_ObjectManager->GetObjectsCountByClassID(cid);
    CK_ID* ids = m_ObjectManager->GetObjectsListByClassID(cid);
    for (int i = 0; i < count; ++i) {
        CKObject* o = m_ObjectManager->GetObject(ids[i]);
        const char* other = o ? o->GetName() : nullptr;
        if (!other || std::strncmp(other, name, length) != 0 || other[length] == 0)
            continue;
        int n = NumberAfter(other + length);
        if (n > largest)
            largest = n;
    }
    XString result;
    result.Format("%s%03d", name, largest + 1);
    return result;
}

CKObject* CKContext::CopyObjects(CKObject* object, CKDependencies* dependencies, const char* appendName, CKDWORD flags)
{
    if (!object)
        return nullptr;
    CKDependenciesContext context(this);
    context.SetOperationMode(CK_DEPENDENCIES_COPY);
    context.SetCreationMode(flags);
    context.StartDependencies(dependencies);
    CK_ID id = object->GetID();
    context.AddObjects(&id, 1);
    context.Copy(appendName);
    context.StopDependencies();
    return context.Remap(object);
}

XString CKContext::GetUniqueCopyName(const char* name, CK_CLASSID cid)
{
    XString base(name ? name : "");
    int value = -1;
    int length = base.Length();
    if (length > 3) {
        int n = WholeNumber(base.CStr() + length - 3);
        if (n >= 0) {
            value = n;
            base.Assign(XString(base).CStr(), length - 3);
        }
    }
    size_t baseLength = (size_t) base.Length();
    int count = m_ObjectManager->GetObjectsCountByClassID(cid);
    CK_ID* ids = m_ObjectManager->GetObjectsListByClassID(cid);
    for (int i = 0; i < count; ++i) {
        CKObject* o = m_ObjectManager->GetObject(ids[i]);
        const char* other = o ? o->GetName() : nullptr;
        if (!other || std::strncmp(other, base.CStr(), baseLength) != 0)
            continue;
        if (other[baseLength]) {
            int n = NumberAfter(other + baseLength);
            if (n > value)
                value = n;
        } else if (value < 0) {
            value = 0;
        }
    }
    XString result(base);
    if (value != -1) {
        XString digits;
        digits.Format("%03d", value + 1);
        result += digits;
    }
    return result;
}

CKERROR CKContext::DestroyObject(CKObject* object, CKDWORD flags, CKDependencies* dependencies)
{
    if (!object || (object->GetObjectFlags() & CK_OBJECT_TOBEDELETED))
        return CKErr::InvalidParameter;
    CK_ID id = object->GetID();
    return DestroyObjects(&id, 1, flags, dependencies);
}

CKERROR CKContext::DestroyObjectByID(CK_ID id, CKDWORD flags, CKDependencies* dependencies)
{
    return DestroyObject(GetObject(id), flags, dependencies);
}

CKERROR CKContext::DestroyObjects(CK_ID* ids, int count, CKDWORD flags, CKDependencies* dependencies)
{
    if (count <= 0 || !ids)
        return CKErr::Ok;
    if (m_DeferredDestroy) {
        CKDeferredDeletion* record = m_ObjectManager->FindDeferredRecord(dependencies, flags);
        if (!record)
            record = m_ObjectManager->CreateDeferredRecord(dependencies, flags);
        if (record)
            for (int i = 0; i < count; ++i)
                record->m_Ids.PushBack(ids[i]);
        return CKErr::Ok;
    }
    // Collect the objects (a nested destruction adds to the one in
    // progress). Objects drag their dependencies along once the dependencies
    // context collects them.
    CKBOOL inProgress = m_DeletionInProgress;
    if (inProgress)
        m_PendingDeletionFlags &= flags;
    else
        m_PendingDeletionFlags = flags;
    (void) dependencies;
    for (int i = 0; i < count; ++i) {
        CKObject* o = GetObject(ids[i]);
        if (!o || (o->GetObjectFlags() & CK_OBJECT_TOBEDELETED))
            continue;
        // A behaviour hears of its deletion first, as in the deletion pass of
        // its dependencies: "Detach" when it has an owner, then "Delete"
        // (what it made or changed for its owner is undone there). It may
        // destroy objects of its own meanwhile.
        if (CKIsChildClassOf(o->GetClassID(), CKCID_BEHAVIOR)) {
            auto* behavior = static_cast<CKBehavior*>(o);
            if (behavior->GetOwner())
                behavior->CallCallbackFunction(CKM_BEHAVIORDETACH);
            behavior->CallCallbackFunction(CKM_BEHAVIORDELETE);
            o = GetObject(ids[i]);
            if (!o || (o->GetObjectFlags() & CK_OBJECT_TOBEDELETED))
                continue;
        }
        m_DeletionIds.PushBack(ids[i]);
    }
    if (!inProgress) {
        m_DeletionInProgress = TRUE;
        XArray<CK_ID> batch;
        while (!m_DeletionIds.IsEmpty()) {
            batch.Clear();
            batch.Swap(m_DeletionIds);
            m_ObjectManager->DeleteObjects(batch.Begin(), batch.Size(), m_PendingDeletionFlags, 0);
        }
        // The next call collects into the room this one used.
        batch.Clear();
        m_DeletionIds.Swap(batch);
        m_DeletionInProgress = FALSE;
    }
    return CKErr::Ok;
}

CKObject* CKContext::GetObject(CK_ID id)
{
    return m_ObjectManager ? m_ObjectManager->GetObject(id) : nullptr;
}

CKObject* CKContext::GetObjectByNameAndClass(const char* name, CK_CLASSID cid, CKObject* previous)
{
    return m_ObjectManager->GetObjectByNameAndClass(name, cid, previous);
}

CKObject* CKContext::GetObjectByNameAndParentClass(const char* name, CK_CLASSID cid, CKObject* previous)
{
    return m_ObjectManager->GetObjectByNameAndParentClass(name, cid, previous);
}

int CKContext::GetObjectsCountByClassID(CK_CLASSID cid)
{
    return m_ObjectManager->GetObjectsCountByClassID(cid);
}

CK_ID* CKContext::GetObjectsListByClassID(CK_CLASSID cid)
{
    return m_ObjectManager->GetObjectsListByClassID(cid);
}

const XArray<CKObject*>& CKContext::GetObjectListByType(CK_CLASSID cid, CKBOOL derived)
{
    m_ScratchObjects.Clear();
    m_ObjectManager->GetObjectsListByClass(cid, derived, m_ScratchObjects);
    return m_ScratchObjects;
}

CKLevel* CKContext::GetCurrentLevel()
{
    CKObject* level = GetObject(m_CurrentLevel);
    if (!level)
        return nullptr;
    const CK_CLASSID cid = level->GetClassID();
    return cid == CKCID_LEVEL || CKIsChildClassOf(cid, CKCID_LEVEL) ? static_cast<CKLevel*>(level) : nullptr;
}

void CKContext::SetCurrentLevel(CKLevel* level)
{
    m_CurrentLevel = level ? level->GetID() : 0;
}

CKScene* CKContext::GetCurrentScene()
{
    CKLevel* level = GetCurrentLevel();
    return level ? level->GetCurrentScene() : nullptr;
}

// Managers.

CKERROR CKContext::RegisterNewManager(CKBaseManager* manager)
{
    if (!manager)
        return CKErr::InvalidParameter;
    if (m_ManagerTable.IsHere(manager->GetGuid())) {
        m_InactiveManagers.PushBack(manager);
        return CKErr::AlreadyPresent;
    }
    m_ManagerTable.Insert(manager->GetGuid(), manager);
    BuildManagerCallbackLists();
    if (m_Initialized)
        manager->OnCKInit();
    return CKErr::Ok;
}

void CKContext::RemoveManager(CKBaseManager* manager)
{
    if (!m_InactiveManagers.Remove(manager)) {
        CKBaseManager** current = m_ManagerTable.FindPtr(manager->GetGuid());
        if (current && *current == manager)
            m_ManagerTable.Remove(manager->GetGuid());
    }
    if (m_RenderManager && static_cast<CKBaseManager*>(m_RenderManager) == manager) {
        m_RenderManager = nullptr;
        m_RenderManagerLooked = FALSE;
    }
    BuildManagerCallbackLists();
}

void CKContext::ActivateManager(CKBaseManager* manager, CKBOOL activate)
{
    if (!manager)
        return;
    CKBaseManager** slot = m_ManagerTable.FindPtr(manager->GetGuid());
    CKBaseManager* current = slot ? *slot : nullptr;
    if (activate) {
        if (current == manager)
            return;
        if (current) {
            current->OnCKEnd();
            m_ManagerTable.Remove(manager->GetGuid());
            m_InactiveManagers.PushBack(current);
        }
        m_ManagerTable.Insert(manager->GetGuid(), manager);
        m_InactiveManagers.Remove(manager);
        manager->OnCKInit();
    } else {
        if (current != manager)
            return;
        manager->OnCKEnd();
        m_ManagerTable.Remove(manager->GetGuid());
        m_InactiveManagers.PushBack(manager);
    }
    BuildManagerCallbackLists();
}

CKBaseManager* CKContext::GetManagerByGuid(CKGUID guid)
{
    CKBaseManager** m = m_ManagerTable.FindPtr(guid);
    return m ? *m : nullptr;
}

CKBaseManager* CKContext::GetManagerByName(const char* name)
{
    if (!name)
        return nullptr;
    for (auto it = m_ManagerTable.Begin(); it != m_ManagerTable.End(); ++it)
        if (strcasecmp((*it)->GetName(), name) == 0)
            return *it;
    for (CKBaseManager* m : m_InactiveManagers)
        if (strcasecmp(m->GetName(), name) == 0)
            return m;
    return nullptr;
}

int CKContext::GetManagerCount()
{
    return m_ManagerTable.Size();
}

CKBaseManager* CKContext::GetManager(int index)
{
    if (index < 0 || index >= m_ManagerTable.Size())
        return nullptr;
    auto it = m_ManagerTable.Begin();
    for (int i = 0; i < index; ++i)
        ++it;
    return *it;
}

int CKContext::GetInactiveManagerCount()
{
    return m_InactiveManagers.Size();
}

CKBaseManager* CKContext::GetInactiveManager(int index)
{
    return index >= 0 && index < m_InactiveManagers.Size() ? m_InactiveManagers[index] : nullptr;
}

CKBOOL CKContext::IsManagerInactive(CKBaseManager* manager)
{
    if (!manager)
        return FALSE;
    for (CKBaseManager* m : m_InactiveManagers)
        if (m->GetGuid() == manager->GetGuid())
            return TRUE;
    return FALSE;
}

CKRenderManager* CKContext::GetRenderManager()
{
    if (!m_RenderManagerLooked) {
        CKBaseManager* m = GetManagerByGuid(RENDER_MANAGER_GUID);
        if (m) {
            m_RenderManager = static_cast<CKRenderManager*>(m);
            m_RenderManagerLooked = TRUE;
        }
    }
    return m_RenderManager;
}

void CKContext::BuildManagerCallbackLists()
{
    for (XArray<CKBaseManager*>& list : m_ManagerCallbacks)
        list.Clear();
    for (auto it = m_ManagerTable.Begin(); it != m_ManagerTable.End(); ++it) {
        CKBaseManager* manager = *it;
        CKDWORD mask = manager->GetValidFunctionsMask();
        for (int bit = 0; bit < 32; ++bit) {
            CKDWORD value = 1u << bit;
            if (!(mask & value))
                continue;
            XArray<CKBaseManager*>& list = m_ManagerCallbacks[bit];
            int priority = manager->GetFunctionPriority(value);
            int pos = 0;
            while (pos < list.Size() && list[pos]->GetFunctionPriority(value) >= priority)
                ++pos;
            list.Insert(pos, manager);
        }
    }
}

template <class F>
void CKContext::Dispatch(CKMANAGER_FUNCTIONS function, const char* what, F&& call)
{
    // A copy: a callback may register or remove managers. Short lists are
    // copied on the stack: scenes dispatch once for every object added.
    constexpr int kOnStack = 16;
    const XArray<CKBaseManager*>& live = GetManagerCallbackList(function);
    const int count = live.Size();
    CKBaseManager* onStack[kOnStack];
    XArray<CKBaseManager*> onHeap;
    CKBaseManager** list = onStack;
    if (count > kOnStack) {
        onHeap = live;
        list = onHeap.Begin();
    } else {
        for (int i = 0; i < count; ++i)
            onStack[i] = live[i];
    }
    for (int i = 0; i < count; ++i) {
        CKBaseManager* m = list[i];
        m_CurrentManager = m;
        try {
            call(m);
        } catch (...) {
            OutputToConsoleEx("[%s] Error : %s", m->GetName(), what);
        }
    }
    m_CurrentManager = nullptr;
}

template <class F>
void CKContext::DispatchTimed(CKMANAGER_FUNCTIONS function, const char* what, F&& call)
{
    Dispatch(function, what, [&](CKBaseManager* m) {
        m->GetProfiler().Reset();
        call(m);
        m->AddProcessingTime(m->GetProfiler().Current());
    });
}

void CKContext::ExecuteManagersOnCKInit()
{
    Dispatch(CKMANAGER_FUNC_OnCKInit, "CKInit", [](CKBaseManager* m) { m->OnCKInit(); });
}
void CKContext::ExecuteManagersOnCKEnd()
{
    Dispatch(CKMANAGER_FUNC_OnCKEnd, "CKEnd", [](CKBaseManager* m) { m->OnCKEnd(); });
}
void CKContext::ExecuteManagersPreClearAll()
{
    Dispatch(CKMANAGER_FUNC_PreClearAll, "PreClearAll", [](CKBaseManager* m) { m->PreClearAll(); });
}
void CKContext::ExecuteManagersPostClearAll()
{
    Dispatch(CKMANAGER_FUNC_PostClearAll, "PostClearAll", [](CKBaseManager* m) { m->PostClearAll(); });
}
void CKContext::ExecuteManagersOnObjectsDeleted(CK_ID* ids, int count)
{
    Dispatch(CKMANAGER_FUNC_OnObjectsDeleted, "Object Deleted",
             [&](CKBaseManager* m) { m->OnObjectsDeleted(ids, count); });
}
void CKContext::ExecuteManagersOnObjectsToBeDeleted(CK_ID* ids, int count)
{
    Dispatch(CKMANAGER_FUNC_OnObjectsToBeDeleted, "Object To Be Deleted",
             [&](CKBaseManager* m) { m->OnObjectsToBeDeleted(ids, count); });
}
void CKContext::ExecuteManagersPreProcess()
{
    Dispatch(CKMANAGER_FUNC_PreProcess, "PreProcess", [](CKBaseManager* m) { m->PreProcess(); });
}
void CKContext::ExecuteManagersPostProcess()
{
    Dispatch(CKMANAGER_FUNC_PostProcess, "PostProcess", [](CKBaseManager* m) { m->PostProcess(); });
}
void CKContext::ExecuteManagersOnCKReset()
{
    Dispatch(CKMANAGER_FUNC_OnCKReset, "Reset", [](CKBaseManager* m) { m->OnCKReset(); });
}
void CKContext::ExecuteManagersOnCKPostReset()
{
    Dispatch(CKMANAGER_FUNC_OnCKPostReset, "Post Reset", [](CKBaseManager* m) { m->OnCKPostReset(); });
}
void CKContext::ExecuteManagersOnCKPause()
{
    Dispatch(CKMANAGER_FUNC_OnCKPause, "Pause", [](CKBaseManager* m) { m->OnCKPause(); });
}
void CKContext::ExecuteManagersOnCKPlay()
{
    Dispatch(CKMANAGER_FUNC_OnCKPlay, "Play", [](CKBaseManager* m) { m->OnCKPlay(); });
}
void CKContext::ExecuteManagersPreLoad()
{
    Dispatch(CKMANAGER_FUNC_PreLoad, "Pre Load", [](CKBaseManager* m) { m->PreLoad(); });
}
void CKContext::ExecuteManagersPostLoad()
{
    Dispatch(CKMANAGER_FUNC_PostLoad, "Post Load", [](CKBaseManager* m) { m->PostLoad(); });
}
void CKContext::ExecuteManagersPreSave()
{
    Dispatch(CKMANAGER_FUNC_PreSave, "Pre Save", [](CKBaseManager* m) { m->PreSave(); });
}
void CKContext::ExecuteManagersPostSave()
{
    Dispatch(CKMANAGER_FUNC_PostSave, "Post Save", [](CKBaseManager* m) { m->PostSave(); });
}
void CKContext::ExecuteManagersOnObjectsAddedToScene(CKScene* scene, CK_ID* ids, int count)
{
    Dispatch(CKMANAGER_FUNC_OnObjectsAddedToScene, "Objects Added To Scene",
             [&](CKBaseManager* m) { m->OnObjectsAddedToScene(scene, ids, count); });
}
void CKContext::ExecuteManagersOnObjectsRemovedFromScene(CKScene* scene, CK_ID* ids, int count)
{
    Dispatch(CKMANAGER_FUNC_OnObjectsRemovedFromScene, "Objects Removed From Scene",
             [&](CKBaseManager* m) { m->OnObjectsRemovedFromScene(scene, ids, count); });
}
void CKContext::ExecuteManagersOnPreCopy(CKDependenciesContext& context)
{
    Dispatch(CKMANAGER_FUNC_OnPreCopy, "Pre Copy", [&](CKBaseManager* m) { m->OnPreCopy(context); });
}
void CKContext::ExecuteManagersOnPostCopy(CKDependenciesContext& context)
{
    Dispatch(CKMANAGER_FUNC_OnPostCopy, "Post Copy", [&](CKBaseManager* m) { m->OnPostCopy(context); });
}
void CKContext::ExecuteManagersOnPreRender(CKRenderContext* dev)
{
    DispatchTimed(CKMANAGER_FUNC_OnPreRender, "Pre Render", [&](CKBaseManager* m) { m->OnPreRender(dev); });
}
void CKContext::ExecuteManagersOnPostRender(CKRenderContext* dev)
{
    DispatchTimed(CKMANAGER_FUNC_OnPostRender, "Post Render", [&](CKBaseManager* m) { m->OnPostRender(dev); });
}
void CKContext::ExecuteManagersOnPreSpriteRender(CKRenderContext* dev)
{
    DispatchTimed(CKMANAGER_FUNC_OnPreSpriteRender, "PreSprite Render",
                  [&](CKBaseManager* m) { m->OnPreSpriteRender(dev); });
}
void CKContext::ExecuteManagersOnPostSpriteRender(CKRenderContext* dev)
{
    DispatchTimed(CKMANAGER_FUNC_OnPostSpriteRender, "PostSprite Render",
                  [&](CKBaseManager* m) { m->OnPostSpriteRender(dev); });
}
void CKContext::ExecuteManagersOnPreBackToFront(CKRenderContext* dev)
{
    DispatchTimed(CKMANAGER_FUNC_OnPreBackToFront, "Pre Back To Front",
                  [&](CKBaseManager* m) { m->OnPreBackToFront(dev); });
}
void CKContext::ExecuteManagersOnPostBackToFront(CKRenderContext* dev)
{
    DispatchTimed(CKMANAGER_FUNC_OnPostBackToFront, "Post Back To Front",
                  [&](CKBaseManager* m) { m->OnPostBackToFront(dev); });
}
void CKContext::ExecuteManagersOnPreFullScreen(CKBOOL goingToFullScreen, CKRenderContext* dev)
{
    DispatchTimed(CKMANAGER_FUNC_OnPreFullScreen, "Pre Fullscreen",
                  [&](CKBaseManager* m) { m->OnPreFullScreen(goingToFullScreen, dev); });
}
void CKContext::ExecuteManagersOnPostFullScreen(CKBOOL goingToFullScreen, CKRenderContext* dev)
{
    DispatchTimed(CKMANAGER_FUNC_OnPostFullScreen, "Post fullscreen",
                  [&](CKBaseManager* m) { m->OnPostFullScreen(goingToFullScreen, dev); });
}
void CKContext::ExecuteManagersOnRasterizerEvent(CKDWORD event, CKDWORD param)
{
    DispatchTimed(CKMANAGER_FUNC_OnRasterizerEvent, "OnRasterizerEvent",
                  [&](CKBaseManager* m) { m->OnRasterizerEvent(event, param); });
}

// Host interface.

void CKContext::SetInterfaceMode(CKBOOL mode, CKUICALLBACKFCT callback, void* data)
{
    m_InterfaceMode = mode;
    m_InterfaceCallback = callback;
    m_InterfaceData = data;
}

CKERROR CKContext::SendInterfaceMessage(CKDWORD reason, uintptr_t param1, uintptr_t param2, uintptr_t param3)
{
    if (!m_InterfaceCallback)
        return CKErr::NotificationNotHandled;
    CKUICallbackStruct message;
    message.Reason = reason;
    message.Param1 = param1;
    message.Param2 = param2;
    message.Param3 = param3;
    return m_InterfaceCallback(message, m_InterfaceData);
}

CKERROR CKContext::OutputToConsole(const char* text, CKBOOL beep)
{
    return SendInterfaceMessage(CKUIM_OUTTOCONSOLE, (uintptr_t) beep, (uintptr_t) text, 0);
}

CKERROR CKContext::OutputToConsoleEx(const char* format, ...)
{
    char* buffer = static_cast<char*>(m_MemoryManager->Allocate(256));
    if (!buffer)
        return CKErr::OutOfMemory;
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, 256, format, args);
    va_end(args);
    CKERROR result = OutputToConsole(buffer, FALSE);
    m_MemoryManager->Free(buffer);
    return result;
}

CKERROR CKContext::OutputToConsoleExBeep(const char* format, ...)
{
    char* buffer = static_cast<char*>(m_MemoryManager->Allocate(256));
    if (!buffer)
        return CKErr::OutOfMemory;
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, 256, format, args);
    va_end(args);
    CKERROR result = OutputToConsole(buffer, TRUE);
    m_MemoryManager->Free(buffer);
    return result;
}

// Settings and state.

void CKContext::SetGlobalImagesSaveOptions(int options)
{
    if (options != 3)
        m_GlobalImagesSaveOptions = options;
}

void CKContext::SetCompressionLevel(int level)
{
    if (level >= 1 && level <= 9)
        m_CompressionLevel = level;
}

void CKContext::AddProfileTime(int counter, float ms)
{
    if (counter >= 0 && counter < CK_PROFILE_COUNTERS)
        m_ProfileCurrent[counter] += ms;
}

void CKContext::GetProfileStats(float* counters) const
{
    if (counters)
        std::memcpy(counters, m_ProfileLast, sizeof(m_ProfileLast));
}

void CKContext::CloseProfileFrame()
{
    float other = m_ProfileCurrent[CK_PROFILE_TOTAL] -
                  (m_ProfileCurrent[CK_PROFILE_PROCESS] + m_ProfileCurrent[CK_PROFILE_RENDER]);
    m_ProfileCurrent[CK_PROFILE_OTHER] = other < 0.0f ? 0.0f : other;
    std::memcpy(m_ProfileLast, m_ProfileCurrent, sizeof(m_ProfileLast));
    std::memset(m_ProfileCurrent, 0, sizeof(m_ProfileCurrent));
}

void CKContext::CallBehaviorCallbacks(CKDWORD message)
{
    // Callbacks may create or destroy objects: the ids are taken first.
    XArray<CK_ID> ids;
    const int count = GetObjectsCountByClassID(CKCID_BEHAVIOR);
    if (const CK_ID* list = GetObjectsListByClassID(CKCID_BEHAVIOR))
        for (int i = 0; i < count; ++i)
            ids.PushBack(list[i]);
    for (CK_ID id : ids) {
        CKObject* object = GetObject(id);
        if (!object || object->GetClassID() != CKCID_BEHAVIOR)
            continue;
        auto* behavior = static_cast<CKBehavior*>(object);
        if (behavior->GetOwner())
            behavior->CallCallbackFunction(message);
    }
}

CKGUID CKContext::GenerateGuid()
{
    for (;;) {
        CKDWORD w0 = (CKDWORD) CKRand();
        CKDWORD w1 = (CKDWORD) CKRand();
        CKDWORD w2 = (CKDWORD) CKRand();
        CKDWORD w3 = (CKDWORD) CKRand();
        CKGUID guid(w0 | (w1 << 16), w2 | (w3 << 16));
        CKParameterManager* pm = m_ParameterManager;
        bool parameterUse = pm && (pm->ParameterGuidToType(guid) >= 0 || pm->OperationGuidToCode(guid) >= 0);
        if (!GetManagerByGuid(guid) && !CKGetGlobals().m_Declarations.IsHere(guid) && !parameterUse)
            return guid;
    }
}

void CKContext::RememberLoadedComposition(const char* fileName)
{
    const char* name = fileName ? fileName : "";
    size_t length = std::strlen(name);
    bool composition = length == 0;
    if (length >= 4) {
        const char* ext = name + length - 4;
        composition = strcasecmp(ext, ".qbx") == 0 || strcasecmp(ext, ".qfx") == 0;
    }
    if (!composition)
        return;
    m_LastCompositionLoaded = name;
    m_LastCompositionFolder = m_LastCompositionLoaded;
    int slash = m_LastCompositionFolder.RFind('\\');
    int forward = m_LastCompositionFolder.RFind('/');
    if (forward > slash)
        slash = forward;
    if (slash >= 0)
        m_LastCompositionFolder.Assign(XString(m_LastCompositionLoaded).CStr(), slash + 1);
}

CKERROR CKContext::ClearAll()
{
    m_InClearAll = TRUE;
    m_AfterClearAll = FALSE;
    ExecuteManagersPreClearAll();
    m_ObjectManager->DestroyAllObjects();
    m_CurrentLevel = 0;
    m_ProfileTimeBase[1] = m_ProfileTimeBase[0];
    ExecuteManagersPostClearAll();
    XArray<CKBaseManager*> inactive = m_InactiveManagers;
    for (CKBaseManager* m : inactive)
        ActivateManager(m, TRUE);
    return CKErr::Ok;
}
