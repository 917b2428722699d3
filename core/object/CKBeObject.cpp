#include "core/object/CKBeObject.h"

#include <cstring>
#include <new>

#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/context/CKFunctions.h"
#include "core/context/CKGlobals.h"
#include "core/file/CKFile.h"
#include "core/object/CKBeObjectLinks.h"
#include "core/object/CKClassRegistry.h"
#include "core/object/CKDependenciesContext.h"
#include "core/object/CKObjectManager.h"
#include "core/parameter/CKParameterOut.h"

namespace {

// Object flag of an object that a load reuses instead of creating it.
constexpr CKDWORD kReusedByLoad = 0x10000;

const CKBeObjectLinks& Links()
{
    return CKGetBeObjectLinks();
}

CKDWORD BehaviorFlags(CKObject* behavior)
{
    return Links().GetBehaviorFlags ? Links().GetBehaviorFlags(behavior) : 0;
}

CKDWORD AttributeFlags(CKContext* context, int type)
{
    return Links().GetAttributeFlags ? Links().GetAttributeFlags(context, type) : 0;
}

// Higher priority first; equal priorities keep their order.
void SortScripts(XObjectPointerArray& scripts)
{
    if (!Links().GetBehaviorPriority)
        return;
    for (int i = 1; i < scripts.Size(); ++i) {
        CKObject* s = scripts[i];
        int p = Links().GetBehaviorPriority(s);
        int j = i;
        for (; j > 0 && Links().GetBehaviorPriority(scripts[j - 1]) < p; --j)
            scripts[j] = scripts[j - 1];
        scripts[j] = s;
    }
}

} // namespace

CKBeObject::CKBeObject(CKContext* context, const char* name) : CKClass(context, name) {}

CKBeObject::~CKBeObject()
{
    delete m_ScriptArray;
    if (m_LastFrameMessages) {
        if (Links().ReleaseMessage)
            for (CKMessage* message : *m_LastFrameMessages)
                Links().ReleaseMessage(message);
        delete m_LastFrameMessages;
    }
    delete m_Attributes;
}

// Scripts.

CKERROR CKBeObject::AddScript(CKObject* behavior)
{
    if (!behavior)
        return CKErr::InvalidParameter;
    if (m_ScriptArray && m_ScriptArray->IsHere(behavior))
        return CKErr::AlreadyPresent;
    if (!CKIsChildClassOfObject(behavior, CKCID_BEHAVIOR))
        return CKErr::IncompatibleClassID;
    if (Links().GetBehaviorCompatibleClassID &&
        !CKIsChildClassOf(GetClassID(), Links().GetBehaviorCompatibleClassID(behavior)))
        return CKErr::IncompatibleClassID;
    if (!m_ScriptArray) {
        m_ScriptArray = new (std::nothrow) XObjectPointerArray;
        if (!m_ScriptArray)
            return CKErr::OutOfMemory;
    }
    if (Links().SetBehaviorOwner) {
        CKBeObject* previous = Links().GetBehaviorOwner ? Links().GetBehaviorOwner(behavior) : nullptr;
        CKERROR error = Links().SetBehaviorOwner(behavior, this, TRUE);
        if (error != CKErr::Ok) {
            Links().SetBehaviorOwner(behavior, previous, FALSE);
            return error;
        }
    }
    m_ScriptArray->PushBack(behavior);
    SortScripts(*m_ScriptArray);
    if (Links().GetSceneByIndex)
        for (int n = 0; n < GetSceneInCount(); ++n)
            if (CKScene* scene = Links().GetSceneByIndex(m_Context, GetSceneInIndex(n)))
                static_cast<CKSceneObject*>(behavior)->AddToScene(scene, TRUE);
    return CKErr::Ok;
}

void CKBeObject::RemoveAllScripts()
{
    if (!m_ScriptArray)
        return;
    if (Links().GetSceneByIndex)
        for (CKObject* script : *m_ScriptArray)
            if (script && IsScriptFlags(BehaviorFlags(script)))
                for (int n = 0; n < GetSceneInCount(); ++n)
                    if (CKScene* scene = Links().GetSceneByIndex(m_Context, GetSceneInIndex(n)))
                        static_cast<CKSceneObject*>(script)->RemoveFromScene(scene, TRUE);
    delete m_ScriptArray;
    m_ScriptArray = nullptr;
}

void CKBeObject::AddObjectToOwnScenes(CKObject* object)
{
    if (!object || !m_Context || !Links().GetSceneByIndex || !CKIsChildClassOfObject(object, CKCID_SCENEOBJECT))
        return;
    for (int n = 0; n < GetSceneInCount(); ++n)
        if (CKScene* scene = Links().GetSceneByIndex(m_Context, GetSceneInIndex(n)))
            static_cast<CKSceneObject*>(object)->AddToScene(scene, TRUE);
}

void CKBeObject::RemoveObjectFromOwnScenes(CKObject* object)
{
    if (!object || !m_Context || !Links().GetSceneByIndex || !CKIsChildClassOfObject(object, CKCID_SCENEOBJECT))
        return;
    for (int n = 0; n < GetSceneInCount(); ++n)
        if (CKScene* scene = Links().GetSceneByIndex(m_Context, GetSceneInIndex(n)))
            static_cast<CKSceneObject*>(object)->RemoveFromScene(scene, TRUE);
}

void CKBeObject::ApplyOwner()
{
    if (m_ScriptArray && Links().SetBehaviorOwner)
        for (CKObject* script : *m_ScriptArray)
            if (script)
                Links().SetBehaviorOwner(script, this, FALSE);
    if (m_Attributes)
        for (CK_ID id : *m_Attributes)
            if (CKParameter* parameter = AttributeParameterObject(id))
                parameter->SetOwner(this);
}

void CKBeObject::AddToScene(CKScene* scene, CKBOOL dependencies)
{
    CKSceneObject::AddToScene(scene, dependencies);
    if (m_ScriptArray)
        for (CKObject* script : *m_ScriptArray)
            if (script && IsScriptFlags(BehaviorFlags(script)))
                static_cast<CKSceneObject*>(script)->AddToScene(scene, dependencies);
}

void CKBeObject::RemoveFromScene(CKScene* scene, CKBOOL dependencies)
{
    if (m_ScriptArray)
        for (CKObject* script : *m_ScriptArray)
            if (script && IsScriptFlags(BehaviorFlags(script)))
                static_cast<CKSceneObject*>(script)->RemoveFromScene(scene, dependencies);
    CKSceneObject::RemoveFromScene(scene, dependencies);
}

// Priority.

void CKBeObject::SetPriority(int priority)
{
    if (priority < MinPriority)
        priority = MinPriority;
    if (priority > MaxPriority)
        priority = MaxPriority;
    m_Priority = (short) priority;
    if (Links().GetCurrentScene && Links().SceneHoldsObject && Links().SortObjects)
        if (CKScene* scene = Links().GetCurrentScene(m_Context))
            if (Links().SceneHoldsObject(scene, this))
                Links().SortObjects(m_Context);
}

// Attributes.

CKParameter* CKBeObject::AttributeParameterObject(CK_ID id) const
{
    CKObject* object = id && m_Context ? m_Context->GetObject(id) : nullptr;
    return object && CKIsChildClassOfObject(object, CKCID_PARAMETER) ? static_cast<CKParameter*>(object) : nullptr;
}

CKBOOL CKBeObject::SetAttribute(int type, CK_ID parameter)
{
    if (type < 0 || HasAttribute(type))
        return FALSE;
    if (Links().GetAttributeCompatibleClassID &&
        !CKIsChildClassOf(GetClassID(), Links().GetAttributeCompatibleClassID(m_Context, type)))
        return FALSE;
    CK_ID stored = 0;
    CKGUID parameterType =
        Links().GetAttributeParameterGuid ? Links().GetAttributeParameterGuid(m_Context, type) : CKGUID();
    if (parameterType.IsValid()) {
        if (AttributeParameterObject(parameter)) {
            stored = parameter;
        } else if (m_Context) {
            CKParameterOut* created = m_Context->CreateCKParameterOut(nullptr, parameterType, IsDynamic());
            if (created) {
                const char* value =
                    Links().GetAttributeDefaultValue ? Links().GetAttributeDefaultValue(m_Context, type) : nullptr;
                if (value)
                    created->SetStringValue(value);
                created->SetOwner(this);
                stored = created->GetID();
            }
        }
    }
    if (!m_Attributes) {
        m_Attributes = new (std::nothrow) XHashTable<CK_ID, int>(4);
        if (!m_Attributes)
            return FALSE;
    }
    m_Attributes->Insert(type, stored);
    if (Links().AttributeAddedToObject)
        Links().AttributeAddedToObject(m_Context, type, this);
    return TRUE;
}

CKBOOL CKBeObject::RemoveAttribute(int type)
{
    if (!HasAttribute(type))
        return FALSE;
    if (Links().RemoveAttributeFromObject)
        Links().RemoveAttributeFromObject(m_Context, type, this);
    CK_ID parameter = *m_Attributes->FindPtr(type);
    m_Attributes->Remove(type);
    if (parameter && m_Context)
        m_Context->DestroyObjectByID(parameter);
    return TRUE;
}

void CKBeObject::RemoveAllAttributes()
{
    while (GetAttributeCount() > 0)
        RemoveAttribute(GetAttributeType(0));
}

CKParameter* CKBeObject::GetAttributeParameter(int type) const
{
    const CK_ID* id = m_Attributes ? m_Attributes->FindPtr(type) : nullptr;
    return id ? AttributeParameterObject(*id) : nullptr;
}

int CKBeObject::GetAttributeType(int index) const
{
    if (!m_Attributes || index < 0 || index >= m_Attributes->Size())
        return -1;
    auto it = m_Attributes->Begin();
    for (int i = 0; i < index; ++i)
        ++it;
    return it.GetKey();
}

void CKBeObject::GetAttributeList(XArray<CKAttributeVal>& out) const
{
    out.Clear();
    if (!m_Attributes)
        return;
    for (auto it = m_Attributes->Begin(); it != m_Attributes->End(); ++it)
        out.PushBack(CKAttributeVal{it.GetKey(), *it});
}

void CKBeObject::GetSavedAttributes(XArray<CKAttributeVal>& out) const
{
    GetAttributeList(out);
    int kept = 0;
    for (int i = 0; i < out.Size(); ++i)
        if (!(AttributeFlags(m_Context, out[i].AttribType) & CK_ATTRIBUTE_DONOTSAVE))
            out[kept++] = out[i];
    out.Resize(kept);
}

// Groups and messages.

CKBOOL CKBeObject::IsInGroup(CKObject* group) const
{
    if (!group || !Links().GetGroupIndex)
        return FALSE;
    return m_Groups.IsSet(Links().GetGroupIndex(group));
}

CKERROR CKBeObject::AddReceivedMessage(CKMessage* message)
{
    if (!message)
        return CKErr::InvalidParameter;
    if (!m_LastFrameMessages) {
        m_LastFrameMessages = new (std::nothrow) XArray<CKMessage*>;
        if (!m_LastFrameMessages)
            return CKErr::OutOfMemory;
    }
    if (m_LastFrameMessages->AddIfNotHere(message) && Links().AddMessageReference)
        Links().AddMessageReference(message);
    return CKErr::Ok;
}

void CKBeObject::RemoveAllReceivedMessages()
{
    if (!m_LastFrameMessages)
        return;
    if (Links().ReleaseMessage)
        for (CKMessage* message : *m_LastFrameMessages)
            Links().ReleaseMessage(message);
    m_LastFrameMessages->Clear();
}

// Object operations.

void CKBeObject::PreSave(CKFile* file, CKDWORD flags)
{
    CKSceneObject::PreSave(file, flags);
    if (!file)
        return;
    if ((flags & 0x800) && m_ScriptArray)
        for (CKObject* script : *m_ScriptArray)
            file->SaveObject(script, flags);
    if (flags & 0x10) {
        XArray<CKAttributeVal> saved;
        GetSavedAttributes(saved);
        for (const CKAttributeVal& a : saved)
            file->SaveObject(AttributeParameterObject(a.Parameter), flags);
    }
}

CKStateChunk* CKBeObject::Save(CKFile* file, CKDWORD flags)
{
    CKStateChunk* base = CKSceneObject::Save(file, flags);
    if (!file && !(flags & 0xFF0))
        return base;
    CKStateChunk* chunk = CKCreateStateChunk(CKCID_BEOBJECT, file);
    chunk->StartWrite();
    chunk->AddChunkAndDelete(base);

    if (file) {
        if (GetScriptCount() > 0) {
            chunk->WriteIdentifier(CK_STATESAVE_SCRIPTS);
            m_ScriptArray->Save(chunk);
        }
        if (m_Priority != 0) {
            chunk->WriteIdentifier(CK_STATESAVE_PRIORITY);
            chunk->WriteDword(CK_BEOBJECT_PRIORITYFOLLOWS);
            chunk->WriteInt(m_Priority);
        }
    }

    XArray<CKAttributeVal> saved;
    GetSavedAttributes(saved);
    if (saved.Size() > 0) {
        chunk->WriteIdentifier(CK_STATESAVE_ATTRIBUTES);
        chunk->StartObjectIDSequence(saved.Size());
        for (const CKAttributeVal& a : saved)
            chunk->WriteObjectSequenceItem(AttributeParameterObject(a.Parameter));
        if (!file) {
            chunk->StartSubChunkSequence(saved.Size());
            for (const CKAttributeVal& a : saved) {
                CKObject* parameter = AttributeParameterObject(a.Parameter);
                CKStateChunk* state = parameter ? CKSaveObjectState(parameter, flags) : nullptr;
                chunk->WriteSubChunkSequenceItem(state);
                CKDeleteStateChunk(state);
            }
        }
        chunk->StartManagerSequence(ATTRIBUTE_MANAGER_GUID, saved.Size());
        for (const CKAttributeVal& a : saved)
            chunk->WriteInt(a.AttribType);
    }

    if (file && !file->m_SceneSaved && Links().GetCurrentScene && Links().SceneHoldsObject &&
        Links().GetObjectSceneSaveFlags)
        if (CKScene* scene = Links().GetCurrentScene(m_Context))
            if (Links().SceneHoldsObject(scene, this)) {
                chunk->WriteIdentifier(CK_STATESAVE_SCENEFLAGS);
                chunk->WriteDword(Links().GetObjectSceneSaveFlags(scene, this));
            }

    if (GetClassID() == CKCID_BEOBJECT)
        chunk->CloseChunk();
    else
        chunk->UpdateDataSize();
    return chunk;
}

void CKBeObject::LoadScripts(CKStateChunk* chunk, CKFile* file, CKDWORD identifier)
{
    (void) file;
    if (!chunk->SeekIdentifier(identifier))
        return;
    XObjectPointerArray loaded = chunk->ReadXObjectPointerArray(m_Context);
    for (CKObject* script : loaded) {
        // Only behaviours may be scripts, whatever the file says.
        if (!CKIsChildClassOfObject(script, CKCID_BEHAVIOR))
            continue;
        if (!m_ScriptArray)
            m_ScriptArray = new (std::nothrow) XObjectPointerArray;
        if (m_ScriptArray && !m_ScriptArray->IsHere(script))
            m_ScriptArray->PushBack(script);
    }
}

void CKBeObject::LoadAttributes(CKStateChunk* chunk, CKFile* file)
{
    bool convert = chunk->GetChunkVersion() < CHUNK_VERSION_PACKED && !(chunk->GetChunkOptions() & CHNK_OPTION_MAN) &&
                   Links().ConvertOldAttributeType;
    if (file)
        RemoveAllAttributes();
    XObjectArray parameters = chunk->ReadXObjectArray();
    int n = parameters.Size();
    XArray<CKStateChunk*> states;
    if (!file && n > 0) {
        chunk->ReadInt(); // the count of the sub-chunk sequence
        for (int i = 0; i < n && chunk->GetReadError() == 0; ++i)
            states.PushBack(chunk->ReadSubChunk());
    }
    CKGUID manager;
    int count = chunk->ReadManagerIntSequenceStart(&manager);
    if (count != n || manager != ATTRIBUTE_MANAGER_GUID || chunk->GetReadError() != 0) {
        if (m_Context)
            m_Context->OutputToConsoleEx("Load:%s :Invalid Attribute Data", GetName() ? GetName() : "");
    } else {
        for (int i = 0; i < n; ++i) {
            int type = chunk->ReadInt();
            if (convert)
                type = Links().ConvertOldAttributeType(m_Context, type);
            CK_ID id = AttributeParameterObject(parameters[i]) ? parameters[i] : 0;
            if (!SetAttribute(type, id))
                continue;
            if (file || i >= states.Size() || !states[i])
                continue;
            CKDWORD flags = AttributeFlags(m_Context, type);
            if ((flags & (CK_ATTRIBUTE_FLAG4 | CK_ATTRIBUTE_KEEPONCLEAR)) ==
                (CK_ATTRIBUTE_FLAG4 | CK_ATTRIBUTE_KEEPONCLEAR))
                continue;
            if (CKParameter* parameter = GetAttributeParameter(type)) {
                parameter->Load(states[i], nullptr);
                if (Links().GetAttributeParameterGuid) {
                    CKGUID wanted = Links().GetAttributeParameterGuid(m_Context, type);
                    if (parameter->GetGUID() != wanted)
                        parameter->SetGUID(wanted);
                }
            }
        }
    }
    for (CKStateChunk* state : states)
        CKDeleteStateChunk(state);
}

void CKBeObject::LoadOldAttributes(CKStateChunk* chunk, CKFile* file)
{
    // A first look tells whether each attribute starts with a class word:
    // then the first two words are a class id and the length of a name.
    bool classWords = true;
    if (chunk->ReadInt() > 0) {
        int first = chunk->ReadInt();
        int second = chunk->ReadInt();
        if (first < 0 || first >= 54 || second < 1 || second >= 66) {
            classWords = false;
            CKGetGlobals().m_LoadedFileObsolete = TRUE;
        }
    }
    chunk->SeekIdentifier(CK_STATESAVE_ATTRIBUTES_OLD);
    if (file)
        RemoveAllAttributes();
    int n = chunk->ReadInt();
    int read = 0;
    for (; read < n && chunk->GetReadError() == 0; ++read) {
        CK_CLASSID cid = classWords ? chunk->ReadInt() : CKCID_BEOBJECT;
        if (!CKIsChildClassOf(cid, CKCID_OBJECT))
            break;
        XString name, category;
        chunk->ReadStringInto(name);
        if (name.IsEmpty())
            break;
        chunk->ReadStringInto(category);
        CKGUID guid = chunk->ReadGuid();
        int type = Links().RegisterAttributeType
                       ? Links().RegisterAttributeType(m_Context, name.CStr(), guid, cid, category.CStr())
                       : -1;
        SetAttribute(type, 0);
        CK_ID stored = chunk->ReadObjectID();
        CKObject* given = AttributeParameterObject(stored);
        if (given && HasAttribute(type)) {
            CK_ID* slot = m_Attributes->FindPtr(type);
            if (*slot && *slot != stored && m_Context)
                m_Context->DestroyObjectByID(*slot);
            *slot = stored;
        }
        if (!file) {
            CKStateChunk* state = chunk->ReadSubChunk();
            CKParameter* parameter = GetAttributeParameter(type);
            if (parameter && state)
                parameter->Load(state, nullptr);
            CKDeleteStateChunk(state);
        }
    }
    if (read < n && m_Context)
        m_Context->OutputToConsoleEx("Load:%s :Invalid Attribute Data", GetName() ? GetName() : "");
}

CKERROR CKBeObject::Load(CKStateChunk* chunk, CKFile* file)
{
    if (!chunk)
        return CKErr::InvalidParameter;
    CKSceneObject::Load(chunk, file);

    if (file && (m_ObjectFlags & kReusedByLoad)) {
        // A reused object: only the scripts are merged, and only when asked.
        if (!(file->m_LoadFlags & 0x200))
            return CKErr::Ok;
        XObjectPointerArray replaced;
        if (chunk->SeekIdentifier(CK_STATESAVE_SCRIPTS)) {
            XObjectPointerArray loaded = chunk->ReadXObjectPointerArray(m_Context);
            for (CKObject* script : loaded) {
                if (!CKIsChildClassOfObject(script, CKCID_BEHAVIOR))
                    continue;
                for (int i = 0; i < GetScriptCount(); ++i) {
                    CKObject* present = m_ScriptArray->GetObject(i);
                    if (present && present != script && script->GetName() && present->GetName() &&
                        std::strcmp(script->GetName(), present->GetName()) == 0) {
                        m_ScriptArray->RemoveAt(i);
                        replaced.PushBack(present);
                        break;
                    }
                }
                if (!m_ScriptArray)
                    m_ScriptArray = new (std::nothrow) XObjectPointerArray;
                if (m_ScriptArray)
                    m_ScriptArray->AddIfNotHere(script);
            }
        }
        for (CKObject* present : replaced)
            m_Context->DestroyObject(present);
        return CKErr::Ok;
    }

    if (file) {
        delete m_ScriptArray;
        m_ScriptArray = nullptr;
        if (chunk->GetDataVersion() < 5)
            LoadScripts(chunk, file, CK_STATESAVE_SCRIPTS_OLD);
        LoadScripts(chunk, file, CK_STATESAVE_SCRIPTS);
    }

    if (chunk->SeekIdentifier(CK_STATESAVE_PRIORITY)) {
        CKDWORD word = chunk->ReadDword();
        if (file) {
            int priority = 0;
            if (chunk->GetDataVersion() < 5) {
                chunk->Skip(3);
                priority = chunk->ReadInt();
            } else if (word & CK_BEOBJECT_PRIORITYFOLLOWS) {
                priority = chunk->ReadInt();
            }
            m_Priority = (short) (priority < MinPriority   ? MinPriority
                                  : priority > MaxPriority ? MaxPriority
                                                           : priority);
            m_WaitForMessages = 0;
        }
    }

    if (chunk->SeekIdentifier(CK_STATESAVE_ATTRIBUTES))
        LoadAttributes(chunk, file);
    else if (chunk->SeekIdentifier(CK_STATESAVE_ATTRIBUTES_OLD))
        LoadOldAttributes(chunk, file);

    if (chunk->SeekIdentifier(CK_STATESAVE_SCENEFLAGS)) {
        CKDWORD value = chunk->ReadDword();
        if (value != 0 && m_Context && m_Context->GetObjectManager())
            m_Context->GetObjectManager()->SetObjectData(this, value);
    }
    return CKErr::Ok;
}

void CKBeObject::PreDelete()
{
    CKSceneObject::PreDelete();
    if (!m_Attributes)
        return;
    if (Links().RemoveAttributeFromObject)
        for (auto it = m_Attributes->Begin(); it != m_Attributes->End(); ++it)
            Links().RemoveAttributeFromObject(m_Context, it.GetKey(), this);
    m_Attributes->Clear();
}

int CKBeObject::GetMemoryOccupation()
{
    int size = CKSceneObject::GetMemoryOccupation() + 28;
    if (m_Attributes)
        size += 12 * m_Attributes->Size() + 20 + 8;
    if (m_ScriptArray)
        size += 12 + 4 * m_ScriptArray->Capacity();
    if (m_LastFrameMessages)
        size += 12 + 4 * m_LastFrameMessages->Capacity();
    return size;
}

CKBOOL CKBeObject::IsObjectUsed(CKObject* object, CK_CLASSID cid)
{
    if (cid == CKCID_BEHAVIOR && m_ScriptArray && m_ScriptArray->IsHere(object))
        return TRUE;
    return CKSceneObject::IsObjectUsed(object, cid);
}

CKERROR CKBeObject::PrepareDependencies(CKDependenciesContext& context, CKBOOL caller)
{
    CKDependenciesContext::Scope scope = context.EnterDependencyScope(this, caller);
    CKERROR error = CKSceneObject::PrepareDependencies(context, FALSE);
    if (error != CKErr::Ok)
        return error;
    CKDWORD options = context.GetClassDependencies(CKCID_BEOBJECT);
    CKDWORD mode = context.GetOperationMode();
    if ((options & CK_DEPENDENCIES_BEOBJECT_SCRIPTS) || mode == CK_DEPENDENCIES_DELETE) {
        if (m_ScriptArray)
            for (CKObject* script : *m_ScriptArray) {
                if (!script)
                    continue;
                if (mode == CK_DEPENDENCIES_COPY && (BehaviorFlags(script) & CKBEHAVIOR_INHERITFROMPROTOTYPE))
                    continue;
                script->PrepareDependencies(context, TRUE);
            }
    }
    if (m_Attributes && (mode == CK_DEPENDENCIES_DELETE || (options & CK_DEPENDENCIES_BEOBJECT_ATTRIBUTES)))
        for (auto it = m_Attributes->Begin(); it != m_Attributes->End(); ++it) {
            if (AttributeFlags(m_Context, it.GetKey()) & CK_ATTRIBUTE_DONOTCOPY)
                continue;
            if (CKObject* parameter = AttributeParameterObject(*it))
                parameter->PrepareDependencies(context, TRUE);
        }
    return CKErr::Ok;
}

CKERROR CKBeObject::RemapDependencies(CKDependenciesContext& context)
{
    CKERROR error = CKSceneObject::RemapDependencies(context);
    if (error != CKErr::Ok)
        return error;
    CKDWORD options = context.GetClassDependencies(CKCID_BEOBJECT);
    if ((options & CK_DEPENDENCIES_BEOBJECT_SCRIPTS) && m_ScriptArray)
        m_ScriptArray->Remap(context);
    if ((options & CK_DEPENDENCIES_BEOBJECT_ATTRIBUTES) && m_Attributes)
        for (CK_ID& id : *m_Attributes)
            id = context.RemapID(id);
    return CKErr::Ok;
}

CKERROR CKBeObject::Copy(CKObject& source, CKDependenciesContext& context)
{
    CKERROR error = CKSceneObject::Copy(source, context);
    if (error != CKErr::Ok)
        return error;
    if (!CKIsChildClassOfObject(&source, CKCID_BEOBJECT))
        return CKErr::Ok;
    CKBeObject& from = static_cast<CKBeObject&>(source);
    CKDWORD options = context.GetClassDependencies(CKCID_BEOBJECT);

    if (options & CK_DEPENDENCIES_BEOBJECT_SCRIPTS) {
        RemoveAllScripts();
        if (from.GetScriptCount() > 0) {
            m_ScriptArray = new (std::nothrow) XObjectPointerArray;
            if (m_ScriptArray)
                for (CKObject* script : *from.m_ScriptArray)
                    if (script && !(BehaviorFlags(script) & CKBEHAVIOR_INHERITFROMPROTOTYPE))
                        m_ScriptArray->PushBack(script);
        }
    }
    if ((options & CK_DEPENDENCIES_BEOBJECT_ATTRIBUTES) && from.m_Attributes)
        for (auto it = from.m_Attributes->Begin(); it != from.m_Attributes->End(); ++it)
            if (!(AttributeFlags(m_Context, it.GetKey()) & CK_ATTRIBUTE_DONOTCOPY))
                SetAttribute(it.GetKey(), *it);
    if ((options & CK_DEPENDENCIES_BEOBJECT_GROUPS) && m_Context && Links().AddObjectToGroup) {
        XArray<CKObject*> groups = m_Context->GetObjectListByType(CKCID_GROUP, TRUE);
        for (CKObject* group : groups)
            if (from.IsInGroup(group))
                Links().AddObjectToGroup(group, this);
    }
    SetPriority(from.m_Priority);
    return CKErr::Ok;
}

void CKBeObject::PatchAfterLoad(int count, CKFileObjectRecord* records)
{
    (void) count;
    (void) records;
    if (!m_ScriptArray || !Links().GetBehaviorFlags)
        return;
    bool removed = false;
    for (int i = m_ScriptArray->Size() - 1; i >= 0; --i) {
        CKObject* script = m_ScriptArray->GetObject(i);
        if (!script || !(BehaviorFlags(script) & CKBEHAVIOR_SCRIPT)) {
            m_ScriptArray->RemoveAt(i);
            removed = true;
        }
    }
    if (removed)
        CKGetGlobals().m_LoadedFileObsolete = TRUE;
}

// Class registration.

void CKBeObject::Register()
{
    CKClassSetParameterGuid(m_ClassID, CKGUID(0x71D80779, 0x402F42F3));
    CKClassRegisterDefaultDependencies(
        m_ClassID, CK_DEPENDENCIES_BEOBJECT_SCRIPTS | CK_DEPENDENCIES_BEOBJECT_ATTRIBUTES, CK_DEPENDENCIES_COPY);
}

const char* CKBeObject::GetClassName()
{
    return "Behavioral Object";
}

const char* CKBeObject::GetDependencies(int index, int mode)
{
    static const char* const names[] = {"Scripts", "Attributes", "Groups Belonging"};
    if ((mode != CK_DEPENDENCIES_COPY && mode != CK_DEPENDENCIES_SAVE) || index < 0 || index >= 3)
        return nullptr;
    return names[index];
}

int CKBeObject::GetDependenciesCount(int mode)
{
    return mode == CK_DEPENDENCIES_COPY || mode == CK_DEPENDENCIES_SAVE ? 3 : 0;
}
