#pragma once

#include "core/context/CKPluginInfo.h"
#include "includes/XArray.h"
#include "includes/XClassArray.h"
#include "includes/XString.h"

class CKContext;
class CKDataReader;
class CKFile;

// Reader side of a plug-in entry (categories 0, 1, 2 and 6).
struct CKPluginEntryReadersData
{
    CKGUID m_OptionsGuid; // the options parameter type, 0,0 until made
    int m_OptionCount = 0;
    CKDWORD m_ReaderFlags = 0;
    CKReaderGetReaderFunction m_GetReaderFct = nullptr;
};

// Building-block side of a plug-in entry (category 4).
struct CKPluginEntryBehaviorsData
{
    XArray<CKGUID> m_BehaviorsGUID; // GUIDs of the declarations the component added
};

// One registered component.
struct CKPluginEntry
{
    int m_PluginDllIndex = 0;
    int m_PositionInDll = 0;
    CKPluginInfo m_PluginInfo;
    CKPluginEntryReadersData* m_ReadersInfo = nullptr;     // owned; null when not a reader
    CKPluginEntryBehaviorsData* m_BehaviorsInfo = nullptr; // owned; null when not building blocks
    CKBOOL m_Active = FALSE;
    int m_IndexInCategory = 0;
    CKBOOL m_NeededByFile = FALSE;

    CKPluginEntry() = default;
    CKPluginEntry(const CKPluginEntry&) = delete;
    CKPluginEntry& operator=(const CKPluginEntry&) = delete;
    ~CKPluginEntry();
};

struct CKPluginCategory
{
    XString m_Name;
    XArray<CKPluginEntry*> m_Entries; // owned, registration order
};

struct CKPluginDll
{
    XString m_DllFileName;
    void* m_DllInstance = nullptr; // null for components built into the program
    int m_PluginInfoCount = 0;
};

// The process-wide registry of components (CKGetPluginManager).
class CKPluginManager
{
public:
    CKPluginManager();
    virtual ~CKPluginManager();
    CKPluginManager(const CKPluginManager&) = delete;
    CKPluginManager& operator=(const CKPluginManager&) = delete;

    // -1 for a null or empty name; the index of an existing category of that
    // name; else the new category's index.
    int AddCategory(const char* name);
    int GetCategoryIndex(const char* name);
    int GetCategoryCount() const { return m_Categories.Size(); }
    const char* GetCategoryName(int category);

    // Registers a component built into the program, taking the index the next
    // AddStaticDll record will have. listFct lists building-block
    // declarations, getReaderFct makes readers; either may be null. Nothing
    // for a null info.
    void RegisterPlugin(int indexInDll, CKPluginInfo* info, CKDeclarationListFunction listFct,
                        CKReaderGetReaderFunction getReaderFct);
    // Appends a DLL record without a module.
    void AddStaticDll(const char* name, int componentCount);
    int GetPluginDllCount() const { return m_Dlls.Size(); }
    CKPluginDll* GetPluginDllInfo(int index);

    int GetPluginCount(int category);
    // Null for a bad category or index.
    CKPluginEntry* GetPluginEntry(int category, int index);
    // The entry of that GUID in the category (every category when negative);
    // null when none.
    CKPluginEntry* FindComponent(CKGUID guid, int category = -1);
    // The plug-in entry whose initialisation is running, or null.
    static CKPluginEntry* GetEntryBeingInitialized();

    // Reader lookup by GUID, then by extension (without case), then "*". The
    // caller releases the reader. Null when none.
    CKDataReader* GetBitmapReader(const char* extension, const CKGUID* guid = nullptr);
    CKDataReader* GetSoundReader(const char* extension, const CKGUID* guid = nullptr);
    CKDataReader* GetMovieReader(const char* extension, const CKGUID* guid = nullptr);
    CKPluginEntry* FindComponentByExtension(const char* extension, int category);

    void InitializePlugins(CKContext* context);
    void ExitPlugins(CKContext* context);
    void InitializePlugin(CKPluginEntry* entry, CKContext* context);
    void ExitPlugin(CKPluginEntry* entry, CKContext* context);

    // Marks the components a file being saved needs and fills the file's
    // plug-in dependency list (one record per category that needs any).
    void ComputeFileDependencies(CKFile* file);

    // Frees every entry, category content and DLL record (shut-down).
    void ReleaseAllPlugins();

private:
    CKDataReader* GetReader(int category, const char* extension, const CKGUID* guid);

    XClassArray<CKPluginCategory> m_Categories;
    XClassArray<CKPluginDll> m_Dlls;
};
