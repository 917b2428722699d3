#pragma once

#include <bit>

#include "core/behavior/CKBehaviorContext.h"
#include "core/context/CKDefines.h"
#include "includes/XArray.h"
#include "includes/XHashTable.h"
#include "includes/XString.h"
#include "system/runtime/QxMutex.h"

class CKObject;
class CKBaseManager;
class CKObjectManager;
class CKVariableManager;
class CKParameterManager;
class CKParameterIn;
class CKParameterOut;
class CKAttributeManager;
class CKTimeManager;
class CKMessageManager;
class CKBehaviorManager;
class CKPathManager;
class CKRenderContext;
class CKRenderManager;
class CKDependenciesContext;
class CKScene;
class CKLevel;
class CKFile;
class CKStreamWriter;
struct CKBitmapProperties;
struct CKDependencies;
class QxMemoryManager;

// One message to the host. The parameters are wide enough for pointers
// (message 3 carries the console text in Param2).
struct CKUICallbackStruct
{
    CKDWORD Reason = 0;
    uintptr_t Param1 = 0;
    uintptr_t Param2 = 0;
    uintptr_t Param3 = 0;
};
// The host's interface callback; data is the user word given with it.
typedef CKERROR (*CKUICALLBACKFCT)(CKUICallbackStruct& message, void* data);

enum CKUI_MESSAGE
{
    CKUIM_LOADSAVEPROGRESS = 1,
    CKUIM_OUTTOCONSOLE = 3,
    CKUIM_SCRIPTSWITHOUTINTERFACE = 9,
    CKUIM_LOADSAVENAMECLASH = 16,
};

// Kinds of the file code's name-clash policies (CKContext::GetNameClashPolicy).
enum
{
    CK_NAMECLASH_ALL = 0,
    CK_NAMECLASH_3DENTITIES = 1,
    CK_NAMECLASH_MESHES = 2,
    CK_NAMECLASH_MATERIALS = 3,
};

// Number of profiling counters kept per frame.
constexpr int CK_PROFILE_COUNTERS = 22;
// Counters of a frame that closing it reads and writes: the other time is
// what the total leaves after the two measured parts.
enum : int
{
    CK_PROFILE_TOTAL = 0,
    CK_PROFILE_PROCESS = 1,
    CK_PROFILE_RENDER = 2,
    CK_PROFILE_OTHER = 3,
};

// The root of one engine instance: owns the managers, the objects (through
// the object manager) and the settings bound to variables. Made by
// CKCreateContext and closed by CKCloseContext.
class CKContext
{
public:
    // settingsFile may be null; its variables are read before the managers
    // after the variable manager are made.
    CKContext(void* mainWindow, const char* settingsFile);
    ~CKContext();
    CKContext(const CKContext&) = delete;
    CKContext& operator=(const CKContext&) = delete;

    // Objects.

    // Creates an object of the class (which must be in the registry). options:
    // CK_OBJECTCREATION_ values; result (may be null) receives CKLOAD_ values.
    // Null when the class has no creation function.
    CKObject* CreateObject(CK_CLASSID cid, const char* name = nullptr, CKDWORD options = 0, CKDWORD* result = nullptr);
    // The recursive lock CreateObject takes; a caller creating many objects
    // in a row may hold it around them (QxMutexBatch).
    QxMutex& GetCreationMutex() { return m_CreationMutex; }
    // -1 for a null object, an id without object or an object being deleted.
    CKERROR DestroyObject(CKObject* object, CKDWORD flags = 0, CKDependencies* dependencies = nullptr);
    CKERROR DestroyObjectByID(CK_ID id, CKDWORD flags = 0, CKDependencies* dependencies = nullptr);
    // Destroys the objects (and what they drag along); 0.
    CKERROR DestroyObjects(CK_ID* ids, int count, CKDWORD flags = 0, CKDependencies* dependencies = nullptr);
    // Null for an id without object.
    CKObject* GetObject(CK_ID id);
    // Copies the object and what it depends on (the record's options, or
    // the copy defaults for null); copies of behavioural objects are named
    // with the suffix appendName (see CKObject::MakeCopyName). flags are
    // the creation options of the copies. The copy of the object; null for
    // a null object.
    CKObject* CopyObjects(CKObject* object, CKDependencies* dependencies = nullptr, const char* appendName = nullptr,
                          CKDWORD flags = 0);
    // Search by name (case-sensitive), continuing after previous when given.
    CKObject* GetObjectByNameAndClass(const char* name, CK_CLASSID cid, CKObject* previous = nullptr);
    CKObject* GetObjectByNameAndParentClass(const char* name, CK_CLASSID cid, CKObject* previous = nullptr);
    int GetObjectsCountByClassID(CK_CLASSID cid);
    CK_ID* GetObjectsListByClassID(CK_CLASSID cid);
    // Fills the context's scratch array with the objects of the class (and of
    // derived classes) and returns it; valid until the next call.
    const XArray<CKObject*>& GetObjectListByType(CK_CLASSID cid, CKBOOL derived);
    // The name CreateObject gives in rename mode: name + "%03d" of the largest
    // number after name among objects of exactly the class, plus 1.
    XString GetNumberedName(const char* name, CK_CLASSID cid);
    // The unique name for copies built from name within the class.
    XString GetUniqueCopyName(const char* name, CK_CLASSID cid);

    // Parameters of a type (an index, or a GUID through the parameter
    // manager), dynamic when asked. An input of a type that is not
    // registered is not made (null); an output is made without type.
    CKParameterIn* CreateCKParameterIn(const char* name, int type, CKBOOL dynamic = FALSE);
    CKParameterIn* CreateCKParameterIn(const char* name, CKGUID type, CKBOOL dynamic = FALSE);
    CKParameterOut* CreateCKParameterOut(const char* name, int type, CKBOOL dynamic = FALSE);
    CKParameterOut* CreateCKParameterOut(const char* name, CKGUID type, CKBOOL dynamic = FALSE);

    // A new file bound to this context; DeleteCKFile destroys one (-1 for null).
    CKFile* CreateCKFile();
    CKERROR DeleteCKFile(CKFile* file);
    // The writer the file saver writes through; owned by the context.
    CKStreamWriter* GetFileStreamWriter() const { return m_FileStreamWriter; }
    // The file code's name-clash policies (-1 ask, else 0 to 3 as the
    // creation results): for all objects, 3D entities, meshes, materials and
    // textures (CK_NAMECLASH_...).
    int GetNameClashPolicy(int kind) const { return kind >= 0 && kind < 4 ? m_FileWords[kind] : -1; }
    void SetNameClashPolicy(int kind, int policy)
    {
        if (kind >= 0 && kind < 4)
            m_FileWords[kind] = policy;
    }
    void ResetNameClashPolicies() { m_FileWords[0] = m_FileWords[1] = m_FileWords[2] = m_FileWords[3] = -1; }
    // Written into the files this context saves.
    CKDWORD GetProductVersion() const { return m_ProductVersion; }
    CKDWORD GetProductBuild() const { return m_ProductBuild; }

    // The level of the stored id; null when it names no level.
    CKLevel* GetCurrentLevel();
    void SetCurrentLevel(CKLevel* level);
    // The current level's current scene; null without a level.
    CKScene* GetCurrentScene();
    CK_ID GetCurrentLevelID() const { return m_CurrentLevel; }

    // Managers.

    // -1 for null; -17 when the GUID is taken (the manager goes to the
    // inactive list); 0 otherwise. In an initialised context the manager's
    // OnCKInit runs at once.
    CKERROR RegisterNewManager(CKBaseManager* manager);
    void ActivateManager(CKBaseManager* manager, CKBOOL activate);
    CKBaseManager* GetManagerByGuid(CKGUID guid);
    // Case-insensitive; active managers first, then inactive ones.
    CKBaseManager* GetManagerByName(const char* name);
    int GetManagerCount();
    CKBaseManager* GetManager(int index);
    int GetInactiveManagerCount();
    CKBaseManager* GetInactiveManager(int index);
    CKBOOL IsManagerInactive(CKBaseManager* manager);
    void BuildManagerCallbackLists();
    // The managers that take one callback, in call order.
    const XArray<CKBaseManager*>& GetManagerCallbackList(CKMANAGER_FUNCTIONS function) const
    {
        return m_ManagerCallbacks[std::countr_zero((CKDWORD) function)];
    }
    // The manager whose callback is running, or null.
    CKBaseManager* GetCurrentManager() const { return m_CurrentManager; }

    CKObjectManager* GetObjectManager() const { return m_ObjectManager; }
    CKVariableManager* GetVariableManager() const { return m_VariableManager; }
    CKParameterManager* GetParameterManager() const { return m_ParameterManager; }
    CKAttributeManager* GetAttributeManager() const { return m_AttributeManager; }
    CKTimeManager* GetTimeManager() const { return m_TimeManager; }
    CKMessageManager* GetMessageManager() const { return m_MessageManager; }
    CKBehaviorManager* GetBehaviorManager() const { return m_BehaviorManager; }
    CKPathManager* GetPathManager() const { return m_PathManager; }
    // Looked up by GUID on first use; null while no render manager exists.
    CKRenderManager* GetRenderManager();

    // Guarded dispatch of each callback bit.
    void ExecuteManagersOnCKInit();
    void ExecuteManagersOnCKEnd();
    void ExecuteManagersPreClearAll();
    void ExecuteManagersPostClearAll();
    void ExecuteManagersOnObjectsDeleted(CK_ID* ids, int count);
    void ExecuteManagersOnObjectsToBeDeleted(CK_ID* ids, int count);
    void ExecuteManagersPreProcess();
    void ExecuteManagersPostProcess();
    void ExecuteManagersOnCKReset();
    void ExecuteManagersOnCKPostReset();
    void ExecuteManagersOnCKPause();
    void ExecuteManagersOnCKPlay();
    void ExecuteManagersPreLoad();
    void ExecuteManagersPostLoad();
    void ExecuteManagersPreSave();
    void ExecuteManagersPostSave();
    void ExecuteManagersOnObjectsAddedToScene(CKScene* scene, CK_ID* ids, int count);
    void ExecuteManagersOnObjectsRemovedFromScene(CKScene* scene, CK_ID* ids, int count);
    void ExecuteManagersOnPreCopy(CKDependenciesContext& context);
    void ExecuteManagersOnPostCopy(CKDependenciesContext& context);
    void ExecuteManagersOnPreRender(CKRenderContext* dev);
    void ExecuteManagersOnPostRender(CKRenderContext* dev);
    void ExecuteManagersOnPreSpriteRender(CKRenderContext* dev);
    void ExecuteManagersOnPostSpriteRender(CKRenderContext* dev);
    void ExecuteManagersOnPreBackToFront(CKRenderContext* dev);
    void ExecuteManagersOnPostBackToFront(CKRenderContext* dev);
    void ExecuteManagersOnPreFullScreen(CKBOOL goingToFullScreen, CKRenderContext* dev);
    void ExecuteManagersOnPostFullScreen(CKBOOL goingToFullScreen, CKRenderContext* dev);
    void ExecuteManagersOnRasterizerEvent(CKDWORD event, CKDWORD param);

    // Host interface.

    void SetInterfaceMode(CKBOOL mode, CKUICALLBACKFCT callback, void* data);
    CKBOOL IsInInterfaceMode() const { return m_InterfaceMode; }
    // -16 without a callback, else the callback's result.
    CKERROR SendInterfaceMessage(CKDWORD reason, uintptr_t param1, uintptr_t param2, uintptr_t param3);
    CKERROR OutputToConsole(const char* text, CKBOOL beep = FALSE);
    // printf-style into a 256-byte buffer (longer text is cut).
    CKERROR OutputToConsoleEx(const char* format, ...) __attribute__((format(printf, 2, 3)));
    CKERROR OutputToConsoleExBeep(const char* format, ...) __attribute__((format(printf, 2, 3)));

    // Settings and state.

    CKBOOL IsProfilingEnabled() const { return m_ProfilingEnabled; }
    void EnableProfiling(CKBOOL enable) { m_ProfilingEnabled = enable; }
    int GetGlobalImagesSaveOptions() const { return m_GlobalImagesSaveOptions; }
    // Refuses 3.
    void SetGlobalImagesSaveOptions(int options);
    // The images save format of bitmaps that save in the global format: the
    // extension "bmp" and nothing else at construction. Never null.
    CKBitmapProperties* GetGlobalImagesSaveFormat() const { return m_GlobalImagesSaveFormat; }
    // Keeps a copy of the record; null is ignored.
    void SetGlobalImagesSaveFormat(const CKBitmapProperties* format);
    int GetGlobalSoundsSaveOptions() const { return m_GlobalSoundsSaveOptions; }
    void SetGlobalSoundsSaveOptions(int options) { m_GlobalSoundsSaveOptions = options; }
    int GetFileWriteMode() const { return m_FileWriteMode; }
    void SetFileWriteMode(int mode) { m_FileWriteMode = mode; }
    int GetCompressionLevel() const { return m_CompressionLevel; }
    // Accepts 1 to 9 only.
    void SetCompressionLevel(int level);
    CKBOOL GetSaveThumbnail() const { return m_SaveThumbnail; }
    CKBOOL GetUpdateTexturePropertiesOnLoad() const { return m_UpdateTexturePropertiesOnLoad; }
    CKBOOL GetKeepStartingActivity() const { return m_KeepStartingActivity; }
    int GetFocusLostBehavior() const { return m_FocusLostBehavior; }
    int GetStartOptions() const { return m_StartingFlags; }
    // Index of the render engine whose plug-in is initialised (0).
    int GetRenderEngineIndex() const { return m_RenderEngineIndex; }

    CKBOOL IsInLoad() const { return m_InLoad; }
    CKBOOL IsInSave() const { return m_InSave; }
    CKBOOL IsInClearAll() const { return m_InClearAll; }
    void SetInLoad(CKBOOL v) { m_InLoad = v; }
    void SetInSave(CKBOOL v) { m_InSave = v; }
    void SetInClearAll(CKBOOL v) { m_InClearAll = v; }
    // The file whose object is running its Load, so that an object refusing
    // what it was given can say why (CKNoteLoadRefusal); null otherwise.
    CKFile* GetLoadingFile() const { return m_LoadingFile; }
    void SetLoadingFile(CKFile* file) { m_LoadingFile = file; }
    CKBOOL IsPlaying() const { return m_Playing; }
    CKBOOL IsReset() const { return m_Reset; }
    CKBOOL IsInitialized() const { return m_Initialized; }
    void SetInitialized(CKBOOL v) { m_Initialized = v; }
    CKBOOL IsInDestruction() const { return m_InDestruction; }
    // 1 while a creation function runs for a dynamic object.
    CKBOOL IsCreatingDynamic() const { return m_CreatingDynamic; }
    // While a creation function runs, the name the object is to get once
    // constructed (null otherwise): objects that name what they make at
    // construction read it.
    const char* GetCreatingName() const { return m_CreatingName; }
    // Deferred mode: DestroyObjects queues ids for the object manager's PostProcess.
    CKBOOL GetDeferredDestroyMode() const { return m_DeferredDestroy; }
    void SetDeferredDestroyMode(CKBOOL mode) { m_DeferredDestroy = mode; }
    void* GetMainWindow() const { return m_MainWindow; }
    CKRenderContext* GetMainRenderContext() const { return m_MainRenderContext; }
    void SetMainRenderContext(CKRenderContext* dev) { m_MainRenderContext = dev; }

    void AddProfileTime(int counter, float ms);
    void GetProfileStats(float* counters) const; // CK_PROFILE_COUNTERS floats of the last frame
    // Ends the measured frame: its other time is set, it becomes the last
    // frame and the counters start again from 0.
    void CloseProfileFrame();

    // Behaviours.

    // The record filled before each behaviour callback.
    CKBehaviorContext& GetBehaviorContext() { return m_BehaviorContext; }
    // The callback of every behaviour of exactly class 8 that has an owner
    // gets the message, in object-list order.
    void CallBehaviorCallbacks(CKDWORD message);

    // A GUID that no object declaration, parameter type, parameter operation
    // or registered manager uses; drawn from the engine's random generator.
    CKGUID GenerateGuid();
    // Records a loaded composition (".qbx" / ".qfx") and its folder.
    void RememberLoadedComposition(const char* fileName);
    const char* GetLastCompositionLoaded() const { return m_LastCompositionLoaded.CStr(); }
    const char* GetLastCompositionFolder() const { return m_LastCompositionFolder.CStr(); }
    void SetLastSavedFile(const char* text) { m_LastSavedFile = text; }
    const char* GetLastSavedFile() const { return m_LastSavedFile.CStr(); }

    // Destroys every object not flagged 0x2000, with the managers' pre and
    // post callbacks, and reactivates inactive managers. 0.
    CKERROR ClearAll();

    QxMemoryManager* GetMemoryManager() const { return m_MemoryManager; }

private:
    friend class CKBaseManager;
    void RemoveManager(CKBaseManager* manager);
    void RegisterContextVariables();
    void UnregisterContextVariables();
    template <class F>
    void Dispatch(CKMANAGER_FUNCTIONS function, const char* what, F&& call);
    template <class F>
    void DispatchTimed(CKMANAGER_FUNCTIONS function, const char* what, F&& call);

    QxMemoryManager* m_MemoryManager = nullptr;
    XHashTable<CKBaseManager*, CKGUID> m_ManagerTable;
    XArray<CKBaseManager*> m_InactiveManagers;
    XArray<CKBaseManager*> m_ManagerCallbacks[32];

    CKVariableManager* m_VariableManager = nullptr;
    CKObjectManager* m_ObjectManager = nullptr;
    CKParameterManager* m_ParameterManager = nullptr;
    CKAttributeManager* m_AttributeManager = nullptr;
    CKTimeManager* m_TimeManager = nullptr;
    CKMessageManager* m_MessageManager = nullptr;
    CKBehaviorManager* m_BehaviorManager = nullptr;
    CKPathManager* m_PathManager = nullptr;
    CKRenderManager* m_RenderManager = nullptr;
    CKBOOL m_RenderManagerLooked = FALSE;
    CKRenderContext* m_MainRenderContext = nullptr;

    float m_ProfileCurrent[CK_PROFILE_COUNTERS] = {};
    float m_ProfileLast[CK_PROFILE_COUNTERS] = {};
    float m_ProfileTimeBase[2] = {};

    void* m_MainWindow = nullptr;
    CKBOOL m_InterfaceMode = FALSE;
    CKUICALLBACKFCT m_InterfaceCallback = nullptr;
    void* m_InterfaceData = nullptr;

    CKBOOL m_InLoad = FALSE;
    CKBOOL m_InSave = FALSE;
    CKBOOL m_InClearAll = FALSE;
    CKFile* m_LoadingFile = nullptr;
    CKBOOL m_AfterClearAll = FALSE;
    CKBOOL m_DeferredDestroy = FALSE;
    CKBOOL m_CreatingDynamic = FALSE;
    const char* m_CreatingName = nullptr;
    CKBOOL m_Playing = FALSE;
    CKBOOL m_Reset = TRUE;
    CKBOOL m_Initialized = FALSE;
    CKBOOL m_InDestruction = FALSE;
    CK_ID m_CurrentLevel = 0;
    CKBaseManager* m_CurrentManager = nullptr;
    int m_RenderEngineIndex = 0;

    // Settings bound to the context variables.
    int m_ProfilingEnabled = 0;
    int m_GlobalImagesSaveOptions = 0;
    int m_GlobalSoundsSaveOptions = 0;
    CKBitmapProperties* m_GlobalImagesSaveFormat = nullptr; // owned
    int m_FileWriteMode = 8;
    int m_SaveThumbnail = 1;
    int m_CompressionLevel = 5;
    int m_UpdateTexturePropertiesOnLoad = 1;
    int m_KeepStartingActivity = 0;
    int m_FocusLostBehavior = 0;
    int m_StartingFlags = 0;
    // Words the file code keeps in the context.
    int m_FileWords[4] = {-1, -1, -1, -1};
    CKStreamWriter* m_FileStreamWriter = nullptr;
    CKDWORD m_ProductVersion = 0;
    CKDWORD m_ProductBuild = 0x04001000;

    XString m_StartingPath;
    XString m_PluginPath;
    XString m_LastCompositionLoaded;
    XString m_LastCompositionFolder;
    XString m_LastSavedFile;
    XString m_ExtraText;

    // Objects being destroyed by the destruction in progress, and its flags.
    XArray<CK_ID> m_DeletionIds;
    CKBOOL m_DeletionInProgress = FALSE;
    CKDWORD m_PendingDeletionFlags = 0;

    XArray<CKObject*> m_ScratchObjects;
    QxMutex m_CreationMutex;
    CKBehaviorContext m_BehaviorContext;
};
