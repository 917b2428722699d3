#pragma once

#include "includes/CKTypes.h"

// Class ids of the engine. Ids 0, 7, 14, 17, 44, 54 and 57 have no class; a
// class without a fixed id gets CKCID_FIRSTFREE or the next free id
// (CKAllocateClassID). Each class also keeps its id in a static m_ClassID
// variable, which is what registration reads.
enum : CK_CLASSID
{
    CKCID_OBJECT = 1,
    CKCID_PARAMETERIN = 2,
    CKCID_PARAMETEROUT = 3,
    CKCID_PARAMETEROPERATION = 4,
    CKCID_STATE = 5,
    CKCID_BEHAVIORLINK = 6,
    CKCID_BEHAVIOR = 8,
    CKCID_BEHAVIORIO = 9,
    CKCID_SCENE = 10,
    CKCID_SCENEOBJECT = 11,
    CKCID_RENDERCONTEXT = 12,
    CKCID_KINEMATICCHAIN = 13,
    CKCID_OBJECTANIMATION = 15,
    CKCID_ANIMATION = 16,
    CKCID_KEYEDANIMATION = 18,
    CKCID_BEOBJECT = 19,
    CKCID_SYNCHRO = 20,
    CKCID_LEVEL = 21,
    CKCID_PLACE = 22,
    CKCID_GROUP = 23,
    CKCID_SOUND = 24,
    CKCID_WAVESOUND = 25,
    CKCID_MIDISOUND = 26,
    CKCID_2DENTITY = 27,
    CKCID_SPRITE = 28,
    CKCID_SPRITETEXT = 29,
    CKCID_MATERIAL = 30,
    CKCID_TEXTURE = 31,
    CKCID_MESH = 32,
    CKCID_3DENTITY = 33,
    CKCID_CAMERA = 34,
    CKCID_TARGETCAMERA = 35,
    CKCID_CURVEPOINT = 36,
    CKCID_SPRITE3D = 37,
    CKCID_LIGHT = 38,
    CKCID_TARGETLIGHT = 39,
    CKCID_CHARACTER = 40,
    CKCID_3DOBJECT = 41,
    CKCID_BODYPART = 42,
    CKCID_CURVE = 43,
    CKCID_PARAMETERLOCAL = 45,
    CKCID_PARAMETER = 46,
    CKCID_RENDEROBJECT = 47,
    CKCID_INTERFACEOBJECTMANAGER = 48,
    CKCID_CRITICALSECTION = 49,
    CKCID_GRID = 50,
    CKCID_LAYER = 51,
    CKCID_DATAARRAY = 52,
    CKCID_PATCHMESH = 53,
    CKCID_PARAMETERVARIABLE = 55,
    CKCID_3DPOINTCLOUD = 56,

    // The global class count at start and the first id handed out.
    CKCID_FIRSTFREE = 58,
};

// Result codes of engine operations (CKERROR): 0 success, failures negative.
// CKErrorToString gives each one's sentence.
namespace CKErr {
enum : CKERROR
{
    Ok = 0,
    InvalidParameter = -1,
    InvalidParameterType = -2,
    InvalidSize = -3,
    InvalidOperation = -4,
    OperationNotImplemented = -5,
    OutOfMemory = -6,
    NotImplemented = -7,
    NotFound = -11,
    NoLevel = -13,
    CannotCreateRenderContext = -14,
    NotificationNotHandled = -16,
    AlreadyPresent = -17,
    InvalidRenderContext = -18,
    RenderContextInactive = -19,
    NoLoadPlugins = -20,
    NoSavePlugins = -21,
    InvalidFile = -22,
    InvalidPlugin = -23,
    NotInitialized = -24,
    InvalidMessage = -25,
    InvalidPrototype = -28,
    NoDLLFound = -29,
    AlreadyRegisteredDLL = -30,
    InvalidDLL = -31,
    InvalidObject = -34,
    InvalidConsoleWindow = -35,
    InvalidKinematicChain = -36,
    NoKeyboard = -37,
    NoMouse = -38,
    NoJoystick = -39,
    IncompatibleParameters = -40,
    NoRenderEngine = -44,
    NoCurrentLevel = -45,
    SoundDisabled = -46,
    DirectInputDisabled = -47,
    InvalidGUID = -48,
    NotEnoughDiskPlace = -49,
    CannotWriteToFile = -50,
    BehaviorAddDenied = -51,
    IncompatibleClassID = -52,
    ManagerAlreadyExists = -53,
    Paused = -54,
    PluginsMissing = -55,
    ObsoleteKeltrane = -56,
    FileCRCError = -57,
    AlreadyFullscreen = -58,
    Canceled = -59,
    NoAnimationKey = -121,
    InvalidIndex = -122,
    IndexAnimation = -123,
};
} // namespace CKErr

// Object flags (CKObject::GetObjectFlags).
enum : CKDWORD
{
    CK_OBJECT_FREEID = 0x8,       // the id goes back to the free list on destruction
    CK_OBJECT_TOBEDELETED = 0x10, // being deleted
    CK_OBJECT_NOTTOBESAVED = 0x20,
    CK_OBJECT_VISIBLE = 0x40,
    CK_OBJECT_NAMESHARED = 0x80, // the name pointer is not owned
    CK_OBJECT_DYNAMICMARK = 0x100,
    CK_OBJECT_DYNAMIC = 0x108, // both bits: created with CK_OBJECTCREATION_DYNAMIC
    CK_OBJECT_HIERACHICALHIDE = 0x200,
    CK_OBJECT_UPTODATE = 0x400,   // free for derived classes
    CK_OBJECT_TEMPMARKER = 0x800, // free for derived classes
    CK_OBJECT_ONLYFORFILEREFERENCE = 0x1000,
    CK_OBJECT_NOTTOBEDELETED = 0x2000, // kept by CKContext::ClearAll
    CK_OBJECT_APPDATA = 0x4000,
    CK_OBJECT_HASOBJECTDATA = 0x8000,
    CK_OBJECT_OBJECTDATALOADED = 0x20000,
    CK_OBJECT_REUSEDMARK = 0x50000, // ORed in by CreateObject when it reuses an object (mode 1)
};

// Options of CKContext::CreateObject. The low 4 bits say what happens when an
// object of the same name and class exists.
enum : CKDWORD
{
    CK_OBJECTCREATION_NONAMECHECK = 0, // create anyway
    CK_OBJECTCREATION_REPLACE = 1,     // reuse it and mark it
    CK_OBJECTCREATION_RENAME = 2,      // create under a numbered name
    CK_OBJECTCREATION_USECURRENT = 3,  // reuse it
    CK_OBJECTCREATION_ASK = 4,
    CK_OBJECTCREATION_FLAGSMASK = 0xF,
    CK_OBJECTCREATION_DYNAMIC = 16,
    CK_OBJECTCREATION_ACTIVATE = 0x20,
    CK_OBJECTCREATION_NONAMECOPY = 64, // the object takes the name pointer itself
};

// What CKContext::CreateObject did (its out result).
enum : CKDWORD
{
    CKLOAD_OK = 0,     // created
    CKLOAD_REUSED = 1, // reused and marked
    CKLOAD_RENAME = 2, // created under a new name
    CKLOAD_USECURRENT = 3,
};

// Class creation flags (CKClassSetCreationFlags).
enum : CKDWORD
{
    CK_GENERALOPTIONS_NODUPLICATENAMECHECK = 1, // CreateObject ignores the name-collision options
    CK_GENERALOPTIONS_CANUSECURRENTOBJECT = 4,  // a named creation reuses an existing object
};

// Dependency operation modes.
enum CK_DEPENDENCIES_OPMODE
{
    CK_DEPENDENCIES_COPY = 1,
    CK_DEPENDENCIES_DELETE = 2,
    CK_DEPENDENCIES_REPLACE = 3,
    CK_DEPENDENCIES_SAVE = 4,
    CK_DEPENDENCIES_BUILD = 5, // served by the copy defaults
};

// Flags word of a CKDependencies record.
enum CK_DEPENDENCIES_FLAGS
{
    CK_DEPENDENCIES_CUSTOM = 0, // the per-class words apply
    CK_DEPENDENCIES_NONE = 1,
    CK_DEPENDENCIES_ALL = 2,
};

// Per-class dependency option words: bit i is the class's i-th option.
enum : CKDWORD
{
    CK_DEPENDENCIES_OBJECT_NAME = 1,
    CK_DEPENDENCIES_OBJECT_UNIQUENAME = 2,
    CK_DEPENDENCIES_SCENEOBJECT_SCENES = 1,
    CK_DEPENDENCIES_BEOBJECT_SCRIPTS = 1,
    CK_DEPENDENCIES_BEOBJECT_ATTRIBUTES = 2,
    CK_DEPENDENCIES_BEOBJECT_GROUPS = 4,
    CK_DEPENDENCIES_GROUP_OBJECTS = 1,
};

// Options of CKObjectManager::DeleteObjects.
enum : CKDWORD
{
    CK_DESTROY_FREEID = 1,        // mark 0x18 so that the ids are reused
    CK_DESTROY_NOCLASSNOTIFY = 2, // no CheckPreDeletion / CheckPostDeletion
};

// CKObject::Show options.
enum : CKDWORD
{
    CKHIDE = 0,
    CKSHOW = 1,
    CKHIERARCHICALHIDE = 2,
};

// Manager callback bits (CKBaseManager::GetValidFunctionsMask): bit i is the
// list that CKContext walks for the event.
enum CKMANAGER_FUNCTIONS : CKDWORD
{
    CKMANAGER_FUNC_OnObjectsToBeDeleted = 1u << 0,
    CKMANAGER_FUNC_OnObjectsDeleted = 1u << 1,
    CKMANAGER_FUNC_PreProcess = 1u << 2,
    CKMANAGER_FUNC_PostProcess = 1u << 3,
    CKMANAGER_FUNC_PreClearAll = 1u << 4,
    CKMANAGER_FUNC_PostClearAll = 1u << 5,
    CKMANAGER_FUNC_OnCKInit = 1u << 6,
    CKMANAGER_FUNC_OnCKEnd = 1u << 7,
    CKMANAGER_FUNC_OnCKPlay = 1u << 8,
    CKMANAGER_FUNC_OnCKPause = 1u << 9,
    CKMANAGER_FUNC_PreLoad = 1u << 10,
    CKMANAGER_FUNC_PreSave = 1u << 11,
    CKMANAGER_FUNC_PreLaunchScene = 1u << 12,
    CKMANAGER_FUNC_PostLaunchScene = 1u << 13,
    CKMANAGER_FUNC_OnCKReset = 1u << 14,
    CKMANAGER_FUNC_PostLoad = 1u << 15,
    CKMANAGER_FUNC_PostSave = 1u << 16,
    CKMANAGER_FUNC_OnCKPostReset = 1u << 17,
    CKMANAGER_FUNC_OnObjectsAddedToScene = 1u << 18,
    CKMANAGER_FUNC_OnObjectsRemovedFromScene = 1u << 19,
    CKMANAGER_FUNC_OnPreCopy = 1u << 20,
    CKMANAGER_FUNC_OnPostCopy = 1u << 21,
    CKMANAGER_FUNC_OnPreRender = 1u << 22,
    CKMANAGER_FUNC_OnPostRender = 1u << 23,
    CKMANAGER_FUNC_OnPostSpriteRender = 1u << 24,
    CKMANAGER_FUNC_OnPreBackToFront = 1u << 25,
    CKMANAGER_FUNC_OnPostBackToFront = 1u << 26,
    CKMANAGER_FUNC_OnPreFullScreen = 1u << 27,
    CKMANAGER_FUNC_OnPostFullScreen = 1u << 28,
    CKMANAGER_FUNC_OnRasterizerEvent = 1u << 29,
    CKMANAGER_FUNC_OnPreSpriteRender = 1u << 30,
};

// Manager GUIDs.
constexpr CKGUID OBJECT_MANAGER_GUID(0x7CBB3B91, 0);
constexpr CKGUID VARIABLE_MANAGER_GUID(0x98CC3CC9, 0);
constexpr CKGUID PARAMETER_MANAGER_GUID(0x9CE57AB6, 0);
constexpr CKGUID ATTRIBUTE_MANAGER_GUID(0x3D242466, 0);
constexpr CKGUID TIME_MANAGER_GUID(0x89CE7B32, 0);
constexpr CKGUID MESSAGE_MANAGER_GUID(0x466A0FAC, 0);
constexpr CKGUID BEHAVIOR_MANAGER_GUID(0x58D621AE, 0);
constexpr CKGUID PATH_MANAGER_GUID(0x15FD54B9, 0);
constexpr CKGUID HIDECONTENT_MANAGER_GUID(0xD6B354D7, 0x9B751CA5);
constexpr CKGUID RENDER_MANAGER_GUID(0xA213C8D5, 0);
constexpr CKGUID SOUND_MANAGER_GUID(0xDCE135F6, 0);
constexpr CKGUID MIDI_MANAGER_GUID(0x594154A6, 0);
constexpr CKGUID GRID_MANAGER_GUID(0x7F004791, 0);
constexpr CKGUID INPUT_MANAGER_GUID(0xF787C904, 0);
