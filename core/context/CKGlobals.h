#pragma once

#include "core/object/CKBeObjectLinks.h"
#include "core/object/CKClassDesc.h"
#include "core/object/CKDependencies.h"
#include "core/parameter/CKParameterLinks.h"
#include "includes/XArray.h"
#include "includes/XClassArray.h"
#include "includes/XHashTable.h"
#include "includes/XString.h"

class CKContext;
class CKPluginManager;
class CKObjectDeclaration;
struct CKPluginEntry;

// Process-wide state of a library above the core (the render library keeps
// its class registration and rasterizer table in one): owned by the global
// state and deleted with it.
class CKGlobalExtension
{
public:
    virtual ~CKGlobalExtension() = default;
};

// What the data-array comparators and search tests read (process-wide, as
// the sort and search operations set them before a pass).
struct CKArrayCompareSettings
{
    int SortColumn = 0;
    CKBOOL SortDirection = TRUE;
    int SearchColumn = 0;
    int SearchOperator = 1;
    const void* Reference = nullptr; // borrowed
    int ReferenceSize = 0;
};

// Every process-wide state of the engine core, in one place: CKShutdown
// deletes it and the next use makes a fresh one, so the engine can be started
// and stopped several times in one process.
struct CKGlobalState
{
    XClassArray<CKClassDesc> m_ClassDescs;
    int m_GlobalClassCount = 58;
    CKDependencies m_DefaultDependencies[4];    // modes 1 to 4
    CKPluginManager* m_PluginManager = nullptr; // owned
    XArray<CKContext*> m_Contexts;
    XString m_StartPath;
    XString m_PluginPath;
    // Object declarations by GUID; filled by building-block registration.
    XHashTable<CKObjectDeclaration*, CKGUID> m_Declarations;
    int m_LogSourceId = 0;
    CKPluginEntry* m_EntryBeingInitialized = nullptr;
    CKDWORD m_RandomSeed = 1;
    // Entries installed by the behaviour, attribute, scene and group classes.
    CKBeObjectLinks m_BeObjectLinks;
    // Entries installed by the message and attribute managers, which
    // parameters reach.
    CKParameterLinks m_ParameterLinks;
    CKArrayCompareSettings m_ArraySettings;
    // Set while loading when the file turns out to need re-saving.
    CKBOOL m_LoadedFileObsolete = FALSE;
    // Value of "File Options/Protect Content Password".
    XString m_ProtectContentPassword;

    // The file last loaded: its file version, engine version and save
    // options (CKGetLoadedFile...).
    CKDWORD m_LoadedFileVersion = 0;
    CKDWORD m_LoadedFileEngineVersion = 0;
    CKDWORD m_LoadedFileWriteMode = 0;

    // The render library's state (null until its plug-in is first fetched).
    CKGlobalExtension* m_RenderGlobals = nullptr;

    CKGlobalState();
    ~CKGlobalState();
    CKGlobalState(const CKGlobalState&) = delete;
    CKGlobalState& operator=(const CKGlobalState&) = delete;
};

// Made by the first CKGetGlobals; null again after CKResetGlobals.
extern CKGlobalState* g_CKGlobalState;
CKGlobalState& CKMakeGlobals();

// The state, made on first use. Inline: class lookups ask for it several
// times per object loaded or created.
inline CKGlobalState& CKGetGlobals()
{
    return g_CKGlobalState ? *g_CKGlobalState : CKMakeGlobals();
}
// Deletes the state (shut-down).
void CKResetGlobals();
