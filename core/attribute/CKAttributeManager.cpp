#include "core/attribute/CKAttributeManager.h"

#include <cstring>

#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/context/CKStartUp.h"
#include "core/file/CKFile.h"
#include "core/object/CKBeObject.h"
#include "core/object/CKClassRegistry.h"
#include "core/parameter/CKParameterLinks.h"
#include "core/parameter/CKParameterManager.h"
#include "core/scene/CKScene.h"
#include "system/log/QxLogManager.h"

namespace {

// Names of recent lookups kept in front of the full search.
constexpr int kRecentNames = 10;

// Types that no longer carry the file writer's mark when written: the mark
// only says that this save needs them.
constexpr CKDWORD kTransientFlags = CK_ATTRIBUTE_SAVEDWITHFILE;

CKAttributeManager* Manager(CKContext* context)
{
    return context ? context->GetAttributeManager() : nullptr;
}

bool InCurrentScene(CKContext* context, CKObject* object)
{
    CKScene* scene = context->GetCurrentScene();
    return scene && scene->IsObjectHere(object);
}

} // namespace

CKAttributeManager::CKAttributeManager(CKContext* context)
    : CKBaseManager(context, ATTRIBUTE_MANAGER_GUID, "Attribute Manager")
{
    m_Context->RegisterNewManager(this);
}

CKAttributeManager::~CKAttributeManager()
{
    for (AttributeType* type : m_Types)
        delete type;
    for (Category* category : m_Categories)
        delete category;
}

// Registration and lookup.

int CKAttributeManager::RegisterNewAttributeType(const char* name, CKGUID parameterType, CK_CLASSID compatibleCid,
                                                 CKDWORD flags)
{
    if (!name)
        return -1;
    int free = -1;
    for (int i = 0; i < m_Types.Size(); ++i) {
        if (!m_Types[i]) {
            if (free < 0)
                free = i;
            continue;
        }
        if (std::strcmp(m_Types[i]->Name.CStr(), name) == 0)
            return i;
    }
    AttributeType* record = new AttributeType;
    record->Name = name;
    record->ParameterType = parameterType;
    record->CompatibleCid = compatibleCid;
    const CKDWORD kept = (CKDWORD) CK_ATTRIBUTE_KEEPUNUSED | (CKDWORD) CK_ATTRIBUTE_KEEPONCLEAR;
    record->Flags = (flags & kept) ? flags : flags | CK_ATTRIBUTE_KEEPUNUSED;
    record->Objects.Reserve(20);
    record->SceneObjects.Reserve(20);
    if (free < 0) {
        free = m_Types.Size();
        m_Types.PushBack(record);
    } else {
        m_Types[free] = record;
    }
    return free;
}

int CKAttributeManager::GetAttributeTypeByName(const char* name)
{
    if (!name)
        return -1;
    for (int i = 0; i < m_RecentNames.Size(); ++i) {
        if (std::strcmp(m_RecentNames[i].Name.CStr(), name) != 0)
            continue;
        RecentName hit = m_RecentNames[i];
        m_RecentNames.RemoveAt(i);
        m_RecentNames.Insert(0, hit);
        return hit.Type;
    }
    for (int i = 0; i < m_Types.Size(); ++i) {
        if (!m_Types[i] || std::strcmp(m_Types[i]->Name.CStr(), name) != 0)
            continue;
        if (m_RecentNames.Size() >= kRecentNames)
            m_RecentNames.Resize(kRecentNames - 1);
        RecentName hit;
        hit.Name = name;
        hit.Type = i;
        m_RecentNames.Insert(0, hit);
        return i;
    }
    return -1;
}

CKBOOL CKAttributeManager::IsAttributeTypeValid(int type) const
{
    return type >= 0 && type < m_Types.Size() && m_Types[type] != nullptr;
}

const char* CKAttributeManager::GetAttributeNameByType(int type) const
{
    AttributeType* record = Type(type);
    return record ? record->Name.CStr() : nullptr;
}

CKGUID CKAttributeManager::GetAttributeParameterGUID(int type) const
{
    AttributeType* record = Type(type);
    return record ? record->ParameterType : CKGUID();
}

int CKAttributeManager::GetAttributeParameterType(int type) const
{
    AttributeType* record = Type(type);
    CKParameterManager* parameters = m_Context->GetParameterManager();
    return record && parameters ? parameters->ParameterGuidToType(record->ParameterType) : -1;
}

CK_CLASSID CKAttributeManager::GetAttributeCompatibleClassId(int type) const
{
    AttributeType* record = Type(type);
    return record ? record->CompatibleCid : (CK_CLASSID) 0xFFFFFFFF;
}

CKDWORD CKAttributeManager::GetAttributeFlags(int type) const
{
    AttributeType* record = Type(type);
    return record ? record->Flags : 0;
}

const char* CKAttributeManager::GetAttributeDefaultValue(int type) const
{
    AttributeType* record = Type(type);
    return record && record->HasDefaultValue ? record->DefaultValue.CStr() : nullptr;
}

int CKAttributeManager::GetAttributeCategoryIndex(int type) const
{
    AttributeType* record = Type(type);
    return record ? record->Category : 0;
}

CKPluginEntry* CKAttributeManager::GetAttributeCreatorDll(int type) const
{
    AttributeType* record = Type(type);
    return record ? record->CreatorDll : nullptr;
}

const XObjectPointerArray& CKAttributeManager::GetAttributeObjectList(int type) const
{
    AttributeType* record = Type(type);
    return record ? record->Objects : m_EmptyList;
}

const XObjectPointerArray& CKAttributeManager::GetAttributeSceneObjectList(int type) const
{
    AttributeType* record = Type(type);
    return record ? record->SceneObjects : m_EmptyList;
}

void CKAttributeManager::SetAttributeCallbackFunction(int type, CKATTRIBUTECALLBACK callback, void* argument)
{
    if (AttributeType* record = Type(type)) {
        record->Callback = callback;
        record->Argument = argument;
    }
}

void CKAttributeManager::ModifyAttributeFlags(int type, CKDWORD add, CKDWORD remove)
{
    if (AttributeType* record = Type(type))
        record->Flags = (record->Flags | add) & ~remove;
}

void CKAttributeManager::SetAttributeDefaultValue(int type, const char* text)
{
    if (AttributeType* record = Type(type)) {
        record->HasDefaultValue = text != nullptr;
        record->DefaultValue = text ? text : "";
    }
}

// Categories.

int CKAttributeManager::AddCategory(const char* name, CKDWORD flags)
{
    if (!name)
        return -1;
    int existing = GetCategoryByName(name);
    if (existing >= 0)
        return existing;
    Category* category = new Category;
    category->Name = name;
    category->Flags = flags;
    m_Categories.PushBack(category);
    return m_Categories.Size() - 1;
}

void CKAttributeManager::RemoveCategory(const char* name)
{
    int index = GetCategoryByName(name);
    if (index < 0)
        return;
    for (AttributeType* type : m_Types) {
        if (!type)
            continue;
        if (type->Category == index)
            type->Category = -1;
        else if (type->Category > index)
            --type->Category;
    }
    delete m_Categories[index];
    m_Categories.RemoveAt(index);
}

int CKAttributeManager::GetCategoryByName(const char* name) const
{
    if (!name)
        return -1;
    for (int i = 0; i < m_Categories.Size(); ++i)
        if (std::strcmp(m_Categories[i]->Name.CStr(), name) == 0)
            return i;
    return -1;
}

const char* CKAttributeManager::GetCategoryName(int index) const
{
    return index >= 0 && index < m_Categories.Size() ? m_Categories[index]->Name.CStr() : nullptr;
}

CKDWORD CKAttributeManager::GetCategoryFlags(int index) const
{
    return index >= 0 && index < m_Categories.Size() ? m_Categories[index]->Flags : 0;
}

int CKAttributeManager::SetAttributeCategory(int type, const char* category)
{
    AttributeType* record = Type(type);
    if (!record)
        return 0;
    record->Category = AddCategory(category, 0);
    return record->Category;
}

void CKAttributeManager::RemoveUnusedCategories()
{
    for (int i = 0; i < m_Categories.Size();) {
        bool used = (m_Categories[i]->Flags & CK_ATTRIBUTE_KEEPUNUSED) != 0;
        for (int t = 0; t < m_Types.Size() && !used; ++t)
            used = m_Types[t] && m_Types[t]->Category == i;
        if (used) {
            ++i;
            continue;
        }
        // The category that moves into this place is examined next.
        XString name = m_Categories[i]->Name;
        RemoveCategory(name.CStr());
    }
}

// Objects.

void CKAttributeManager::CallCallback(AttributeType* record, int type, CKBOOL set, CKBeObject* object,
                                      const char* failure)
{
    try {
        record->Callback(type, set, object, record->Argument);
    } catch (...) {
        m_Context->OutputToConsoleEx(failure, object->GetName() ? object->GetName() : "Unnamed");
    }
}

void CKAttributeManager::AddAttributeToObject(int type, CKBeObject* object)
{
    AttributeType* record = Type(type);
    if (!record || !object)
        return;
    if (InCurrentScene(m_Context, object) || (object->GetObjectFlags() & 0x2))
        record->SceneObjects.AddIfNotHere(object);
    if (record->Objects.AddIfNotHere(object) && record->Callback)
        CallCallback(record, type, TRUE, object, "Error Add Attribute Cbk on %s");
}

void CKAttributeManager::RemoveAttributeFromObject(int type, CKBeObject* object)
{
    AttributeType* record = Type(type);
    if (!record || !object)
        return;
    record->SceneObjects.Remove(object);
    if (record->Objects.Remove(object) && record->Callback)
        CallCallback(record, type, FALSE, object, "Error Remove Attribute Cbk on %s");
}

void CKAttributeManager::EnterScene(CKBeObject* object, bool enter)
{
    if (object->GetAttributeCount() == 0)
        return;
    XArray<CKAttributeVal> attributes;
    object->GetAttributeList(attributes);
    for (const CKAttributeVal& attribute : attributes)
        if (AttributeType* record = Type(attribute.AttribType)) {
            if (enter)
                record->SceneObjects.AddIfNotHere(object);
            else
                record->SceneObjects.Remove(object);
        }
}

void CKAttributeManager::ObjectEnteredScene(CKScene* scene, CKBeObject* object)
{
    if (object && object->GetAttributeCount() > 0 && scene && scene == m_Context->GetCurrentScene())
        EnterScene(object, true);
}

int CKAttributeManager::ConvertLoadedType(int stored) const
{
    if (m_ConversionTable.Size() == 0)
        return stored;
    return stored >= 0 && stored < m_ConversionTable.Size() ? m_ConversionTable[stored] : -1;
}

// Manager callbacks.

void CKAttributeManager::EnterScene(CKScene* scene, CK_ID* ids, int count, bool enter)
{
    // Most objects carry no attribute: the current scene is asked only for
    // those that do.
    int current = -1;
    for (int i = 0; i < count; ++i) {
        CKObject* object = m_Context->GetObject(ids[i]);
        if (!object || !CKIsChildClassOfObject(object, CKCID_BEOBJECT) ||
            static_cast<CKBeObject*>(object)->GetAttributeCount() == 0)
            continue;
        if (current < 0)
            current = scene && scene == m_Context->GetCurrentScene() ? 1 : 0;
        if (current == 0)
            return;
        EnterScene(static_cast<CKBeObject*>(object), enter);
    }
}

CKERROR CKAttributeManager::OnObjectsAddedToScene(CKScene* scene, CK_ID* ids, int count)
{
    EnterScene(scene, ids, count, true);
    return CKErr::Ok;
}

CKERROR CKAttributeManager::OnObjectsRemovedFromScene(CKScene* scene, CK_ID* ids, int count)
{
    EnterScene(scene, ids, count, false);
    return CKErr::Ok;
}

CKERROR CKAttributeManager::PreClearAll()
{
    m_ConversionTable.Clear();
    m_RecentNames.Clear();
    for (int t = 0; t < m_Types.Size(); ++t) {
        AttributeType* record = m_Types[t];
        if (!record)
            continue;
        if (record->Callback) {
            // A callback may touch the list: walk a copy.
            XObjectPointerArray carriers = record->Objects;
            for (CKObject* object : carriers)
                CallCallback(record, t, FALSE, static_cast<CKBeObject*>(object), "Error Remove Attribute Cbk on %s");
        }
        record->Objects.Clear();
        record->SceneObjects.Clear();
        if (!(record->Flags & CK_ATTRIBUTE_KEEPONCLEAR)) {
            delete record;
            m_Types[t] = nullptr;
        }
    }
    RemoveUnusedCategories();
    return CKErr::Ok;
}

CKERROR CKAttributeManager::PostLoad()
{
    RemoveUnusedCategories();
    return CKErr::Ok;
}

// Files.

CKStateChunk* CKAttributeManager::SaveData(CKFile* file)
{
    CKStateChunk* chunk = CKCreateStateChunk(ChunkClassID, file);
    chunk->StartWrite();
    chunk->WriteIdentifier((CKDWORD) ChunkClassID);
    chunk->WriteInt(m_Categories.Size());
    chunk->WriteInt(m_Types.Size());

    // A type is worth saving when something may need it: always-saved and
    // marked types, types in use, and (unless only used ones are asked)
    // types kept when unused. Their categories go with them.
    XBitArray types;
    XBitArray categories;
    for (int t = 0; t < m_Types.Size(); ++t) {
        const AttributeType* record = m_Types[t];
        if (!record || (record->Flags & CK_ATTRIBUTE_DONOTSAVE))
            continue;
        if (!(record->Flags & (CK_ATTRIBUTE_ALWAYSSAVE | CK_ATTRIBUTE_SAVEDWITHFILE)) && record->Objects.Size() == 0 &&
            (m_SaveOnlyUsed || !(record->Flags & CK_ATTRIBUTE_KEEPUNUSED)))
            continue;
        types.Set(t);
        if (record->Category >= 0)
            categories.Set(record->Category);
    }
    for (int c = 0; c < m_Categories.Size(); ++c) {
        const Category* category = m_Categories[c];
        if (!categories.IsSet(c) || (category->Flags & CK_ATTRIBUTE_DONOTSAVE)) {
            chunk->WriteInt(0);
            continue;
        }
        chunk->WriteInt(1);
        chunk->WriteString(category->Name.CStr());
        chunk->WriteDword(category->Flags);
    }
    for (int t = 0; t < m_Types.Size(); ++t) {
        if (!types.IsSet(t)) {
            chunk->WriteInt(0);
            continue;
        }
        const AttributeType* record = m_Types[t];
        chunk->WriteInt(1);
        chunk->WriteString(record->Name.CStr());
        chunk->WriteGuid(record->ParameterType);
        chunk->WriteInt(record->Category);
        chunk->WriteInt(record->CompatibleCid);
        chunk->WriteDword(record->Flags & ~kTransientFlags);
    }
    m_SavedTypes = types;
    chunk->CloseChunk();
    return chunk;
}

CKERROR CKAttributeManager::LoadData(CKStateChunk* chunk, CKFile* file)
{
    if (!chunk)
        return CKErr::InvalidParameter;
    chunk->StartRead();
    if (!chunk->SeekIdentifier((CKDWORD) ChunkClassID))
        return CKErr::Ok;
    const int categoryCount = chunk->ReadInt();
    const int typeCount = chunk->ReadInt();
    // Each stored entry takes a word at least.
    const int64_t remaining = chunk->GetDataSize() / 4 - chunk->GetCurrentPos();
    if (chunk->GetReadError() != 0 || categoryCount < 0 || typeCount < 0 ||
        (int64_t) categoryCount + typeCount > remaining) {
        QxGetLogManager()
            ->SetContext(CKGetLogSourceId(), QXLOG_ERROR, __LINE__, "CKAttributeManager")
            ->Log("Attribute data: %d categories and %d types do not fit in %lld words", categoryCount, typeCount,
                  (long long) remaining);
        m_ConversionTable.Clear();
        return CKErr::Ok;
    }

    XArray<int> categories;
    categories.Resize(categoryCount);
    for (int c = 0; c < categoryCount; ++c) {
        categories[c] = -1;
        if (chunk->ReadInt() == 0)
            continue;
        XString name = chunk->ReadXString();
        CKDWORD flags = chunk->ReadDword();
        if (chunk->GetReadError() != 0)
            break;
        if (GetCategoryByName(name.CStr()) < 0)
            flags = (flags & ~CK_ATTRIBUTE_KEEPONCLEAR) | CK_ATTRIBUTE_FROMFILE;
        categories[c] = AddCategory(name.CStr(), flags);
    }

    m_ConversionTable.Resize(typeCount);
    for (int t = 0; t < typeCount; ++t) {
        m_ConversionTable[t] = -1;
        if (chunk->GetReadError() != 0 || chunk->ReadInt() == 0)
            continue;
        XString name = chunk->ReadXString();
        CKGUID guid = chunk->ReadGuid();
        int storedCategory = chunk->ReadInt();
        CK_CLASSID cid = chunk->ReadInt();
        CKDWORD flags = chunk->ReadDword();
        if (chunk->GetReadError() != 0)
            continue;
        int category = storedCategory >= 0 && storedCategory < categoryCount ? categories[storedCategory] : -1;
        const bool known = [&] {
            for (AttributeType* record : m_Types)
                if (record && record->Name.Compare(name) == 0)
                    return true;
            return false;
        }();
        if (!known)
            flags = (flags & ~CK_ATTRIBUTE_KEEPONCLEAR) | CK_ATTRIBUTE_FROMFILE;
        int type = RegisterNewAttributeType(name.CStr(), guid, cid, flags);
        m_ConversionTable[t] = type;
        if (AttributeType* record = Type(type))
            if (!(record->Flags & CK_ATTRIBUTE_KEEPONCLEAR))
                record->Category = category;
    }

    if (file && typeCount > 0)
        file->RemapManagerInt(ATTRIBUTE_MANAGER_GUID, m_ConversionTable.Begin(), m_ConversionTable.Size());
    return CKErr::Ok;
}

// What behavioural objects reach of attribute types.

void CKAttributeManager::InstallLinks()
{
    CKBeObjectLinks links = CKGetBeObjectLinks();
    links.GetAttributeFlags = [](CKContext* context, int type) -> CKDWORD {
        CKAttributeManager* manager = Manager(context);
        return manager ? manager->GetAttributeFlags(type) : 0;
    };
    links.GetAttributeCompatibleClassID = [](CKContext* context, int type) -> CK_CLASSID {
        CKAttributeManager* manager = Manager(context);
        return manager ? manager->GetAttributeCompatibleClassId(type) : (CK_CLASSID) 0xFFFFFFFF;
    };
    links.GetAttributeParameterGuid = [](CKContext* context, int type) {
        CKAttributeManager* manager = Manager(context);
        return manager ? manager->GetAttributeParameterGUID(type) : CKGUID();
    };
    links.AttributeAddedToObject = [](CKContext* context, int type, CKBeObject* object) {
        if (CKAttributeManager* manager = Manager(context))
            manager->AddAttributeToObject(type, object);
    };
    links.RemoveAttributeFromObject = [](CKContext* context, int type, CKBeObject* object) {
        if (CKAttributeManager* manager = Manager(context))
            manager->RemoveAttributeFromObject(type, object);
    };
    links.ConvertOldAttributeType = [](CKContext* context, int type) {
        CKAttributeManager* manager = Manager(context);
        return manager ? manager->ConvertLoadedType(type) : type;
    };
    links.RegisterAttributeType = [](CKContext* context, const char* name, CKGUID parameterType, CK_CLASSID cid,
                                     const char* category) {
        CKAttributeManager* manager = Manager(context);
        if (!manager)
            return -1;
        int type = manager->RegisterNewAttributeType(name, parameterType, cid);
        if (type >= 0 && category && *category)
            manager->SetAttributeCategory(type, category);
        return type;
    };
    links.GetAttributeDefaultValue = [](CKContext* context, int type) -> const char* {
        CKAttributeManager* manager = Manager(context);
        return manager ? manager->GetAttributeDefaultValue(type) : nullptr;
    };
    CKSetBeObjectLinks(links);

    // What "Attribute" parameter values reach of the types they name.
    CKParameterLinks parameters = CKGetParameterLinks();
    parameters.GetAttributeName = [](CKContext* context, int type, XString& name) -> CKBOOL {
        CKAttributeManager* manager = Manager(context);
        const char* text = manager ? manager->GetAttributeNameByType(type) : nullptr;
        if (!text)
            return FALSE;
        name = text;
        return TRUE;
    };
    parameters.GetAttributeTypeByName = [](CKContext* context, const char* name) {
        CKAttributeManager* manager = Manager(context);
        return manager ? manager->GetAttributeTypeByName(name) : -1;
    };
    CKSetParameterLinks(parameters);
}
