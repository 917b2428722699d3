#include "core/context/CKPluginManager.h"

#include <cstring>
#include <strings.h>

#include "core/behavior/CKObjectDeclaration.h"
#include "core/bitmap/CKDataReader.h"
#include "core/context/CKContext.h"
#include "core/context/CKGlobals.h"
#include "core/parameter/CKParameterManager.h"

namespace {

// Builds the reader's options parameter type: a structure with one member per
// option. An option is described as kind ":" member name ":" values; kinds
// "Flags" and "Enum" declare a new hidden type of those values, any other
// kind names an existing type.
void RegisterReaderOptions(CKContext* context, CKPluginEntry* entry, CKDataReader* reader, int count)
{
    CKParameterManager* pm = context->GetParameterManager();
    if (!pm)
        return;
    XArray<CKGUID> members;
    XString names;
    for (int i = 0; i < count; ++i) {
        const char* text = reader->GetOptionDescription(i);
        if (!text)
            text = "";
        const char* first = std::strchr(text, ':');
        XString kind;
        kind.Assign(text, first ? (int) (first - text) : (int) std::strlen(text));
        XString name;
        const char* values = "";
        if (first) {
            const char* second = std::strchr(first + 1, ':');
            name.Assign(first + 1, second ? (int) (second - first - 1) : (int) std::strlen(first + 1));
            if (second)
                values = second + 1;
        }
        bool flags = strcasecmp(kind.CStr(), "Flags") == 0;
        CKGUID guid;
        if (flags || strcasecmp(kind.CStr(), "Enum") == 0) {
            guid = context->GenerateGuid();
            CKERROR err = flags ? pm->RegisterNewFlags(guid, name.CStr(), values)
                                : pm->RegisterNewEnum(guid, name.CStr(), values);
            if (err == CKErr::Ok)
                pm->GetParameterTypeDescription(guid)->Flags |= CKPARAMETERTYPE_HIDDEN;
        } else {
            guid = pm->ParameterNameToGuid(kind.CStr());
        }
        members.PushBack(guid);
        names += name;
        names += ",";
    }
    names.Cut(names.Length() - 1, 1);
    XString structName = entry->m_PluginInfo.m_Description + " Options Parameter";
    CKGUID guid = context->GenerateGuid();
    entry->m_ReadersInfo->m_OptionsGuid = guid;
    if (pm->RegisterNewStructure(guid, structName.CStr(), names.CStr(), members) == CKErr::Ok)
        pm->GetParameterTypeDescription(guid)->Flags |= CKPARAMETERTYPE_HIDDEN;
}

// Removes the options type and the member types made for it.
void UnRegisterReaderOptions(CKContext* context, CKGUID guid)
{
    CKParameterManager* pm = context->GetParameterManager();
    CKStructDesc* record = pm ? pm->GetStructDescByType(pm->ParameterGuidToType(guid)) : nullptr;
    if (!record)
        return;
    XArray<CKGUID> members;
    for (int i = 0; i < record->NbData; ++i)
        members.PushBack(record->Guids[i]);
    pm->UnRegisterParameterType(guid);
    for (CKGUID member : members) {
        // Only the hidden enumerations and flags made with the options: an
        // option may name a built-in enumeration, which must stay.
        CKParameterTypeDesc* desc = pm->GetParameterTypeDescription(member);
        if (desc && (desc->Flags & (CKPARAMETERTYPE_FLAGS | CKPARAMETERTYPE_ENUMS)) &&
            (desc->Flags & CKPARAMETERTYPE_HIDDEN))
            pm->UnRegisterParameterType(member);
    }
}

} // namespace

CKPluginEntry::~CKPluginEntry()
{
    delete m_ReadersInfo;
    delete m_BehaviorsInfo;
}

CKPluginManager::CKPluginManager() = default;

CKPluginManager::~CKPluginManager()
{
    ReleaseAllPlugins();
}

int CKPluginManager::AddCategory(const char* name)
{
    if (!name || !*name)
        return -1;
    int existing = GetCategoryIndex(name);
    if (existing >= 0)
        return existing;
    CKPluginCategory category;
    category.m_Name = name;
    m_Categories.PushBack(category);
    return m_Categories.Size() - 1;
}

int CKPluginManager::GetCategoryIndex(const char* name)
{
    if (!name)
        return -1;
    for (int i = 0; i < m_Categories.Size(); ++i)
        if (m_Categories[i].m_Name == name)
            return i;
    return -1;
}

const char* CKPluginManager::GetCategoryName(int category)
{
    return category >= 0 && category < m_Categories.Size() ? m_Categories[category].m_Name.CStr() : nullptr;
}

void CKPluginManager::RegisterPlugin(int indexInDll, CKPluginInfo* info, CKDeclarationListFunction listFct,
                                     CKReaderGetReaderFunction getReaderFct)
{
    if (!info)
        return;
    int category = (int) info->m_Type;
    if (category < 0 || category >= m_Categories.Size())
        return;
    CKPluginEntry* entry = new CKPluginEntry;
    entry->m_PluginDllIndex = m_Dlls.Size();
    entry->m_PositionInDll = indexInDll;
    entry->m_PluginInfo = *info;
    entry->m_IndexInCategory = m_Categories[category].m_Entries.Size();
    switch (category) {
    case CKPLUGIN_BITMAP_READER:
    case CKPLUGIN_SOUND_READER:
    case CKPLUGIN_MODEL_READER:
    case CKPLUGIN_MOVIE_READER:
        entry->m_ReadersInfo = new CKPluginEntryReadersData;
        entry->m_ReadersInfo->m_GetReaderFct = getReaderFct;
        break;
    case CKPLUGIN_BEHAVIOR_DLL:
        entry->m_BehaviorsInfo = new CKPluginEntryBehaviorsData;
        CKRegisterObjectDeclarations(entry, listFct);
        break;
    default: break;
    }
    m_Categories[category].m_Entries.PushBack(entry);
}

void CKPluginManager::AddStaticDll(const char* name, int componentCount)
{
    CKPluginDll dll;
    dll.m_DllFileName = name;
    dll.m_PluginInfoCount = componentCount;
    m_Dlls.PushBack(dll);
}

CKPluginDll* CKPluginManager::GetPluginDllInfo(int index)
{
    return index >= 0 && index < m_Dlls.Size() ? &m_Dlls[index] : nullptr;
}

int CKPluginManager::GetPluginCount(int category)
{
    return category >= 0 && category < m_Categories.Size() ? m_Categories[category].m_Entries.Size() : 0;
}

CKPluginEntry* CKPluginManager::GetPluginEntry(int category, int index)
{
    if (category < 0 || category >= m_Categories.Size())
        return nullptr;
    XArray<CKPluginEntry*>& entries = m_Categories[category].m_Entries;
    return index >= 0 && index < entries.Size() ? entries[index] : nullptr;
}

CKPluginEntry* CKPluginManager::FindComponent(CKGUID guid, int category)
{
    for (int c = 0; c < m_Categories.Size(); ++c) {
        if (category >= 0 && c != category)
            continue;
        for (CKPluginEntry* e : m_Categories[c].m_Entries)
            if (e->m_PluginInfo.m_GUID == guid)
                return e;
    }
    if (category == CKPLUGIN_BEHAVIOR_DLL && category < m_Categories.Size()) {
        for (CKPluginEntry* e : m_Categories[category].m_Entries)
            if (e->m_BehaviorsInfo && e->m_BehaviorsInfo->m_BehaviorsGUID.IsHere(guid))
                return e;
    }
    return nullptr;
}

CKPluginEntry* CKPluginManager::GetEntryBeingInitialized()
{
    return CKGetGlobals().m_EntryBeingInitialized;
}

CKPluginEntry* CKPluginManager::FindComponentByExtension(const char* extension, int category)
{
    if (category < 0 || category >= m_Categories.Size())
        return nullptr;
    XArray<CKPluginEntry*>& entries = m_Categories[category].m_Entries;
    if (extension)
        for (CKPluginEntry* e : entries)
            if (strcasecmp(e->m_PluginInfo.m_Extension, extension) == 0)
                return e;
    for (CKPluginEntry* e : entries)
        if (std::strcmp(e->m_PluginInfo.m_Extension, "*") == 0)
            return e;
    return nullptr;
}

CKDataReader* CKPluginManager::GetReader(int category, const char* extension, const CKGUID* guid)
{
    if (category < 0 || category >= m_Categories.Size())
        return nullptr;
    // A GUID only finds readers of plug-ins loaded from disk; built-in
    // components have no module and are found by extension.
    (void) guid;
    XArray<CKPluginEntry*>& entries = m_Categories[category].m_Entries;
    auto byExtension = [&](const char* ext) -> CKPluginEntry* {
        for (CKPluginEntry* e : entries)
            if (strcasecmp(e->m_PluginInfo.m_Extension, ext) == 0 && e->m_ReadersInfo &&
                e->m_ReadersInfo->m_GetReaderFct)
                return e;
        return nullptr;
    };
    CKPluginEntry* e = extension ? byExtension(extension) : nullptr;
    if (!e)
        e = byExtension("*");
    return e ? e->m_ReadersInfo->m_GetReaderFct(e->m_PositionInDll) : nullptr;
}

CKDataReader* CKPluginManager::GetBitmapReader(const char* extension, const CKGUID* guid)
{
    return GetReader(CKPLUGIN_BITMAP_READER, extension, guid);
}

CKDataReader* CKPluginManager::GetSoundReader(const char* extension, const CKGUID* guid)
{
    return GetReader(CKPLUGIN_SOUND_READER, extension, guid);
}

CKDataReader* CKPluginManager::GetMovieReader(const char* extension, const CKGUID* guid)
{
    return GetReader(CKPLUGIN_MOVIE_READER, extension, guid);
}

void CKPluginManager::InitializePlugins(CKContext* context)
{
    for (int c = 0; c < m_Categories.Size(); ++c)
        for (int i = 0; i < m_Categories[c].m_Entries.Size(); ++i)
            InitializePlugin(m_Categories[c].m_Entries[i], context);
}

void CKPluginManager::ExitPlugins(CKContext* context)
{
    for (int c = 0; c < m_Categories.Size(); ++c)
        for (int i = 0; i < m_Categories[c].m_Entries.Size(); ++i)
            ExitPlugin(m_Categories[c].m_Entries[i], context);
}

void CKPluginManager::InitializePlugin(CKPluginEntry* entry, CKContext* context)
{
    if (!entry || !context)
        return;
    const CKPluginInfo& info = entry->m_PluginInfo;
    if ((context->GetStartOptions() & 2) && info.m_GUID == INPUT_MANAGER_GUID)
        return;
    CKGlobalState& g = CKGetGlobals();
    g.m_EntryBeingInitialized = entry;
    int managersBefore = context->GetManagerCount();
    bool isRenderEngine = info.m_Type == CKPLUGIN_RENDERENGINE_DLL;
    bool selectedEngine = entry->m_IndexInCategory == context->GetRenderEngineIndex();
    if (info.m_InitInstanceFct && (!isRenderEngine || selectedEngine))
        info.m_InitInstanceFct(context);
    if (info.m_Type == CKPLUGIN_MANAGER_DLL)
        entry->m_Active = context->GetManagerCount() != managersBefore;
    else if (isRenderEngine)
        entry->m_Active = selectedEngine;
    else
        entry->m_Active = TRUE;
    if (entry->m_ReadersInfo && entry->m_ReadersInfo->m_GetReaderFct) {
        CKDataReader* reader = entry->m_ReadersInfo->m_GetReaderFct(entry->m_PositionInDll);
        if (reader) {
            entry->m_ReadersInfo->m_OptionCount = reader->GetOptionsCount();
            entry->m_ReadersInfo->m_ReaderFlags = reader->GetFlags();
            if (entry->m_ReadersInfo->m_OptionCount > 0)
                RegisterReaderOptions(context, entry, reader, entry->m_ReadersInfo->m_OptionCount);
            reader->Release();
        }
    }
    g.m_EntryBeingInitialized = nullptr;
}

void CKPluginManager::ExitPlugin(CKPluginEntry* entry, CKContext* context)
{
    if (!entry || !context)
        return;
    if (entry->m_PluginInfo.m_ExitInstanceFct)
        entry->m_PluginInfo.m_ExitInstanceFct(context);
    if (entry->m_ReadersInfo && entry->m_ReadersInfo->m_OptionsGuid.IsValid())
        UnRegisterReaderOptions(context, entry->m_ReadersInfo->m_OptionsGuid);
}

void CKPluginManager::ReleaseAllPlugins()
{
    for (CKPluginCategory& c : m_Categories) {
        for (CKPluginEntry* e : c.m_Entries)
            delete e;
        c.m_Entries.Clear();
    }
    m_Dlls.Clear();
}
