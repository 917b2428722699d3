#include "core/scene/CKScene.h"

#include "core/attribute/CKAttributeManager.h"
#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/context/CKFunctions.h"
#include "core/context/CKGlobals.h"
#include "core/file/CKFile.h"
#include "core/object/CKBeObjectLinks.h"
#include "core/object/CKClassRegistry.h"
#include "core/object/CKDependenciesContext.h"
#include "core/object/CKObjectManager.h"
#include "core/scene/CKLevel.h"

namespace {

// Behaviour callback messages a scene sends to scripts.
constexpr CKDWORD kMessageActivateScript = 16;
constexpr CKDWORD kMessageDeactivateScript = 17;
// Behaviour flags a scene sets and clears.
constexpr CKDWORD kBehaviorActivateReset = 0x10800000;
constexpr CKDWORD kBehaviorActivate = 0x10000000;
constexpr CKDWORD kBehaviorDeactivated = 0x400000;
// Object flag of objects that stay out of saved scenes.
constexpr CKDWORD kObjectNotInSavedScene = 0x2;

const CKBeObjectLinks& Links()
{
    return CKGetBeObjectLinks();
}

CKBeObject* BehaviorOwner(CKObject* behavior)
{
    return Links().GetBehaviorOwner ? Links().GetBehaviorOwner(behavior) : nullptr;
}

bool IsLevel(CKObject* object)
{
    return object && CKIsChildClassOfObject(object, CKCID_LEVEL);
}

void CallScripts(CKBeObject* object, CKDWORD message)
{
    if (!Links().CallBehaviorCallback)
        return;
    for (int i = 0; i < object->GetScriptCount(); ++i)
        if (CKObject* script = object->GetScript(i))
            Links().CallBehaviorCallback(script, message);
}

void ChangeActive(CKContext* context, CKBeObject* object, CKBOOL activate)
{
    if (Links().ChangeActiveObject)
        Links().ChangeActiveObject(context, object, activate);
}

// Old chunks of behavioural objects kept their attribute types unconverted.
void HookOldAttributes(CKContext* context, CKStateChunk* chunk)
{
    if (!chunk || !context || !context->GetAttributeManager())
        return;
    if (!CKIsChildClassOf(chunk->GetChunkClassID(), CKCID_BEOBJECT) || chunk->GetDataVersion() >= 6 ||
        (chunk->GetChunkOptions() & CHNK_OPTION_MAN))
        return;
    chunk->StartRead();
    if (chunk->SeekIdentifier(CK_STATESAVE_ATTRIBUTES))
        context->GetAttributeManager()->RemapAttributeTypes(chunk);
}

} // namespace

int CKGetBehaviorType(CKObject* behavior)
{
    CKDWORD flags = behavior && Links().GetBehaviorFlags ? Links().GetBehaviorFlags(behavior) : 0;
    if (flags & CKBEHAVIOR_BUILDINGBLOCK)
        return 0;
    return (flags & CKBEHAVIOR_SCRIPT) ? 1 : 4;
}

CKScene* CKGetSceneByIndex(CKContext* context, int index)
{
    if (!context || index < 0)
        return nullptr;
    XArray<CKObject*> scenes;
    context->GetObjectManager()->GetObjectsListByClass(CKCID_SCENE, TRUE, scenes);
    for (CKObject* scene : scenes)
        if (static_cast<CKScene*>(scene)->GetSceneIndex() == index)
            return static_cast<CKScene*>(scene);
    return nullptr;
}

CKScene::CKScene(CKContext* context, const char* name) : CKClass(context, name)
{
    m_Priority = 30000;
    if (m_Context && m_Context->GetObjectManager()) {
        m_SceneIndex = m_Context->GetObjectManager()->GetFreeSceneIndex();
        AddSceneInIndex(m_SceneIndex);
    }
}

CKScene::~CKScene()
{
    ClearDescriptors(false);
    if (m_Context && m_Context->GetObjectManager() && m_SceneIndex >= 0)
        m_Context->GetObjectManager()->ReleaseSceneIndex(m_SceneIndex);
}

// Membership.

void CKScene::AddObject(CKSceneObject* object, CKBOOL dependencies)
{
    if (!object)
        return;
    if (CKIsChildClassOfObject(object, CKCID_BEOBJECT))
        object->AddToScene(this, dependencies);
    else
        AddObjectToScene(object);
}

bool CKScene::PrepareObjectDesc(CKSceneObject* object, bool behavior, CKSceneObjectDesc& desc)
{
    bool levelScript = false;
    if (behavior) {
        CKBeObject* owner = BehaviorOwner(object);
        if (CKGetBehaviorType(object) != 1 || !owner)
            return false;
        levelScript = IsLevel(owner);
    }
    desc.Init(object->GetID());
    if (levelScript) {
        // The level's scripts restart with their state only in the level scene.
        CKLevel* level = m_Context->GetCurrentLevel();
        if (!level || level->GetLevelScene() != this)
            desc.m_Flags &= ~CK_SCENEOBJECT_START_RESET;
    }
    return true;
}

CKSceneObjectDesc* CKScene::AddObjectDesc(CKSceneObject* object)
{
    CKSceneObjectDesc desc;
    if (!object || !PrepareObjectDesc(object, CKIsChildClassOfObject(object, CKCID_BEHAVIOR), desc))
        return nullptr;
    CKSceneObjectDesc* stored = &*m_Descriptors.Insert(object->GetID(), desc);
    object->AddSceneIn(this);
    return stored;
}

void CKScene::AddObjectToScene(CKSceneObject* object)
{
    if (!object)
        return;
    // One look at the class answers both questions.
    const CKClassDesc* cls = CKGetClassDesc(object->GetClassID());
    if (!cls || cls->m_Parents.IsSet(CKCID_SCENE))
        return;
    CKSceneObjectDesc fresh;
    if (!PrepareObjectDesc(object, cls->m_Parents.IsSet(CKCID_BEHAVIOR), fresh))
        return;
    CKBOOL created = FALSE;
    CKSceneObjectDesc* desc = &*m_Descriptors.FindOrInsert(object->GetID(), fresh, &created);
    if (!created)
        return;
    object->AddSceneIn(this);
    CKObjectManager* objects = m_Context->GetObjectManager();
    CKDWORD waiting = 0;
    if ((object->GetObjectFlags() & CK_OBJECT_HASOBJECTDATA) && objects->GetObjectData(object, &waiting)) {
        // Scene flags a loaded object brought: taken out and applied once.
        object->ModifyObjectFlags(0, CK_OBJECT_OBJECTDATALOADED);
        objects->RemoveObjectData(object);
        if (waiting & CK_SCENEOBJECT_INTERNAL_IC) {
            waiting &= ~CK_SCENEOBJECT_INTERNAL_IC;
            CKStateChunk* state = CKSaveObjectState(object, 0xFFFFFFFF);
            // The save may not touch this table, but ask again to be safe.
            desc = m_Descriptors.FindPtr(object->GetID());
            if (desc)
                desc->SetInitialValue(state);
            else
                CKDeleteStateChunk(state);
        }
        if (desc) {
            desc->m_Flags = waiting & ~CK_SCENEOBJECT_ACTIVE;
            if (waiting & CK_SCENEOBJECT_START_ACTIVATE)
                ActivateObject(object, (waiting & CK_SCENEOBJECT_START_RESET) != 0);
            else if (waiting & CK_SCENEOBJECT_START_DEACTIVATE)
                DeactivateObject(object);
        }
    }
    AnnounceAdded(object->GetID());
}

void CKScene::AnnounceAdded(CK_ID id)
{
    if (m_AddSequenceDepth > 0) {
        m_PendingAdded.PushBack(id);
        return;
    }
    m_Context->ExecuteManagersOnObjectsAddedToScene(this, &id, 1);
}

void CKScene::RemoveObjectFromScene(CKSceneObject* object)
{
    if (!object)
        return;
    CK_ID id = object->GetID();
    CKSceneObjectDesc* desc = m_Descriptors.FindPtr(id);
    if (!desc)
        return;
    desc->Clear();
    m_Descriptors.Remove(id);
    object->RemoveSceneIn(this);
    m_Context->ExecuteManagersOnObjectsRemovedFromScene(this, &id, 1);
}

CKBOOL CKScene::IsObjectHere(CKObject* object) const
{
    if (!object || !CKIsChildClassOfObject(object, CKCID_SCENEOBJECT))
        return FALSE;
    return static_cast<CKSceneObject*>(object)->IsInSceneIndex(m_SceneIndex);
}

void CKScene::BeginAddSequence(CKBOOL begin)
{
    if (begin) {
        if (m_AddSequenceDepth == 0)
            m_PendingAdded.Clear();
        ++m_AddSequenceDepth;
        return;
    }
    if (--m_AddSequenceDepth >= 1)
        return;
    m_AddSequenceDepth = 0;
    // The list is moved out first: a manager may add objects in its turn.
    XArray<CK_ID> pending;
    pending.Swap(m_PendingAdded);
    if (pending.Size() > 0)
        m_Context->ExecuteManagersOnObjectsAddedToScene(this, pending.Begin(), pending.Size());
}

CKSceneObjectDesc* CKScene::GetSceneObjectDesc(CKSceneObject* object)
{
    if (!object || !object->IsInSceneIndex(m_SceneIndex))
        return nullptr;
    return m_Descriptors.FindPtr(object->GetID());
}

CKDWORD CKScene::GetObjectFlags(CKSceneObject* object)
{
    CKSceneObjectDesc* desc = GetSceneObjectDesc(object);
    return desc ? desc->m_Flags : 0;
}

void CKScene::SetObjectFlags(CKSceneObject* object, CKDWORD flags)
{
    if (CKSceneObjectDesc* desc = GetSceneObjectDesc(object))
        desc->m_Flags = flags;
}

CKStateChunk* CKScene::GetObjectInitialValue(CKSceneObject* object)
{
    CKSceneObjectDesc* desc = GetSceneObjectDesc(object);
    return desc ? desc->m_InitialValue : nullptr;
}

CKBOOL CKScene::IsObjectActive(CKSceneObject* object)
{
    if (object == this)
        return TRUE;
    CKSceneObjectDesc* desc = GetSceneObjectDesc(object);
    return desc ? desc->IsActive() : FALSE;
}

// Activation.

void CKScene::ActivateObject(CKSceneObject* object, CKBOOL reset)
{
    CKSceneObjectDesc* desc = GetSceneObjectDesc(object);
    if (!desc)
        return;
    bool current = m_Context->GetCurrentScene() == this;
    if (CKIsChildClassOfObject(object, CKCID_BEOBJECT))
        ActivateBeObject(static_cast<CKBeObject*>(object), desc, reset, current);
    else if (CKIsChildClassOfObject(object, CKCID_BEHAVIOR))
        ActivateBehavior(object, desc, reset, current);
}

void CKScene::DeactivateObject(CKSceneObject* object)
{
    CKSceneObjectDesc* desc = GetSceneObjectDesc(object);
    if (!desc)
        return;
    bool current = m_Context->GetCurrentScene() == this;
    if (CKIsChildClassOfObject(object, CKCID_BEOBJECT))
        DeactivateBeObject(static_cast<CKBeObject*>(object), desc, current);
    else if (CKIsChildClassOfObject(object, CKCID_BEHAVIOR))
        DeactivateBehavior(object, desc, current);
}

void CKScene::ActivateBeObject(CKBeObject* object, CKSceneObjectDesc* desc, CKBOOL reset, bool current)
{
    if (!current || desc->IsActive()) {
        desc->m_Flags |= CK_SCENEOBJECT_ACTIVE;
        return;
    }
    desc->m_Flags |= CK_SCENEOBJECT_ACTIVE;
    if (object->GetScriptCount() > 0 || CKIsChildClassOfObject(object, CKCID_CHARACTER))
        ChangeActive(m_Context, object, TRUE);
    if (reset && (desc->m_Flags & CK_SCENEOBJECT_START_RESET) && desc->m_InitialValue)
        object->Load(desc->m_InitialValue, nullptr);
    CallScripts(object, kMessageActivateScript);
}

void CKScene::DeactivateBeObject(CKBeObject* object, CKSceneObjectDesc* desc, bool current)
{
    if (!current || !desc->IsActive()) {
        desc->m_Flags &= ~CK_SCENEOBJECT_ACTIVE;
        return;
    }
    desc->m_Flags &= ~CK_SCENEOBJECT_ACTIVE;
    if (object->GetScriptCount() > 0 || CKIsChildClassOfObject(object, CKCID_CHARACTER))
        ChangeActive(m_Context, object, FALSE);
    CallScripts(object, kMessageDeactivateScript);
}

void CKScene::ActivateBehavior(CKSceneObject* behavior, CKSceneObjectDesc* desc, CKBOOL reset, bool current)
{
    if (CKGetBehaviorType(behavior) == 0)
        return;
    if (!current) {
        desc->m_Flags |= CK_SCENEOBJECT_ACTIVE;
        return;
    }
    CKBeObject* owner = BehaviorOwner(behavior);
    if (owner && (owner->IsActiveInCurrentScene() || IsLevel(owner)))
        ChangeActive(m_Context, owner, TRUE);
    if (Links().ModifyBehaviorFlags)
        Links().ModifyBehaviorFlags(behavior, reset ? kBehaviorActivateReset : kBehaviorActivate, kBehaviorDeactivated);
    if (!desc->IsActive()) {
        desc->m_Flags |= CK_SCENEOBJECT_ACTIVE;
        if (Links().CallBehaviorCallback)
            Links().CallBehaviorCallback(behavior, kMessageActivateScript);
    }
}

void CKScene::DeactivateBehavior(CKSceneObject* behavior, CKSceneObjectDesc* desc, bool current)
{
    if (CKGetBehaviorType(behavior) == 0)
        return;
    if (!current) {
        desc->m_Flags &= ~CK_SCENEOBJECT_ACTIVE;
        return;
    }
    if (Links().ModifyBehaviorFlags)
        Links().ModifyBehaviorFlags(behavior, kBehaviorDeactivated, kBehaviorActivateReset);
    if (desc->IsActive()) {
        desc->m_Flags &= ~CK_SCENEOBJECT_ACTIVE;
        if (Links().CallBehaviorCallback)
            Links().CallBehaviorCallback(behavior, kMessageDeactivateScript);
    }
}

// Level and environment.

void CKScene::SetLevel(CKLevel* level)
{
    m_Level = level ? level->GetID() : 0;
}

CKLevel* CKScene::GetLevel() const
{
    CKObject* level = m_Context ? m_Context->GetObject(m_Level) : nullptr;
    return IsLevel(level) ? static_cast<CKLevel*>(level) : nullptr;
}

CKObject* CKScene::GetBackgroundTexture() const
{
    return m_Context ? m_Context->GetObject(m_BackgroundTexture) : nullptr;
}

CKSceneObject* CKScene::GetStartingCamera() const
{
    CKObject* camera = m_Context ? m_Context->GetObject(m_StartingCamera) : nullptr;
    return camera && CKIsChildClassOfObject(camera, CKCID_SCENEOBJECT) ? static_cast<CKSceneObject*>(camera) : nullptr;
}

void CKScene::SetStartingCamera(CKSceneObject* camera)
{
    if (!camera)
        m_StartingCamera = 0;
    else if (IsObjectHere(camera))
        m_StartingCamera = camera->GetID();
}

// Descriptor upkeep.

void CKScene::ClearDescriptors(bool clearBits)
{
    for (auto it = m_Descriptors.Begin(); it != m_Descriptors.End(); ++it) {
        if (clearBits && m_Context)
            if (CKObject* object = m_Context->GetObject(it.GetKey()))
                if (CKIsChildClassOfObject(object, CKCID_SCENEOBJECT))
                    static_cast<CKSceneObject*>(object)->RemoveSceneIn(this);
        (*it).Clear();
    }
    m_Descriptors.Clear();
}

bool CKScene::DropDeadDescriptors()
{
    XArray<CK_ID> dead;
    for (auto it = m_Descriptors.Begin(); it != m_Descriptors.End(); ++it)
        if (!m_Context->GetObject(it.GetKey()))
            dead.PushBack(it.GetKey());
    for (CK_ID id : dead) {
        m_Descriptors.FindPtr(id)->Clear();
        m_Descriptors.Remove(id);
    }
    return dead.Size() > 0;
}

void CKScene::PreDelete()
{
    CKBeObject::PreDelete();
    ClearDescriptors(true);
    if (CKLevel* level = m_Context->GetCurrentLevel())
        level->ForgetScene(m_ID);
}

void CKScene::CheckPostDeletion()
{
    CKBeObject::CheckPostDeletion();
    DropDeadDescriptors();
    if (!m_Context->GetObject(m_BackgroundTexture))
        m_BackgroundTexture = 0;
    if (!m_Context->GetObject(m_StartingCamera))
        m_StartingCamera = 0;
}

int CKScene::GetMemoryOccupation()
{
    int size = CKBeObject::GetMemoryOccupation() + 76;
    size += 16 * m_Descriptors.Capacity() + 4 * m_Descriptors.BucketCount();
    for (const CKSceneObjectDesc& desc : m_Descriptors)
        size += desc.GetSize();
    return size;
}

CKBOOL CKScene::IsObjectUsed(CKObject* object, CK_CLASSID cid)
{
    if (object && m_Descriptors.IsHere(object->GetID()))
        return TRUE;
    return CKBeObject::IsObjectUsed(object, cid);
}

// Saving.

void CKScene::PreSave(CKFile* file, CKDWORD flags)
{
    CKBeObject::PreSave(file, flags);
    DropDeadDescriptors();
    if (!file)
        return;
    for (auto it = m_Descriptors.Begin(); it != m_Descriptors.End(); ++it) {
        CKObject* object = m_Context->GetObject(it.GetKey());
        if (!object || IsLevel(object))
            continue;
        if (CKIsChildClassOfObject(object, CKCID_BEHAVIOR) && IsLevel(BehaviorOwner(object)))
            continue;
        file->SaveObject(object, 0xFFFFFFFF);
    }
}

CKStateChunk* CKScene::Save(CKFile* file, CKDWORD flags)
{
    CKStateChunk* base = CKBeObject::Save(file, flags);
    CKStateChunk* chunk = CKCreateStateChunk(CKCID_SCENE, file);
    chunk->StartWrite();
    chunk->AddChunkAndDelete(base);

    // Dynamic objects and objects flagged 0x2 are left out.
    XArray<CKObject*> kept;
    bool dead = false;
    for (auto it = m_Descriptors.Begin(); it != m_Descriptors.End(); ++it) {
        CKObject* object = m_Context->GetObject(it.GetKey());
        if (!object) {
            dead = true;
            continue;
        }
        if (object->IsDynamic() || (object->GetObjectFlags() & kObjectNotInSavedScene))
            continue;
        kept.PushBack(object);
    }
    chunk->WriteIdentifier(CK_STATESAVE_SCENELAUNCHED);
    chunk->WriteObjectID(m_Level);
    chunk->WriteInt(kept.Size());
    if (kept.Size() > 0) {
        chunk->StartObjectIDSequence(kept.Size());
        for (CKObject* object : kept)
            chunk->WriteObjectSequenceItem(object);
        chunk->StartSubChunkSequence(2 * kept.Size());
        for (CKObject* object : kept) {
            chunk->WriteSubChunkSequenceItem(m_Descriptors.FindPtr(object->GetID())->m_InitialValue);
            chunk->WriteSubChunkSequenceItem(nullptr);
        }
        for (CKObject* object : kept)
            chunk->WriteDword(m_Descriptors.FindPtr(object->GetID())->m_Flags);
    }
    if (dead)
        DropDeadDescriptors();

    chunk->WriteIdentifier(CK_STATESAVE_SCENEFLAGSWORD);
    chunk->WriteDword(m_SceneFlags);

    chunk->WriteIdentifier(CK_STATESAVE_SCENEENVIRONMENT);
    chunk->WriteDword(m_BackgroundColor);
    chunk->WriteDword(m_AmbientLightColor);
    chunk->WriteDword(m_FogMode);
    chunk->WriteDword(m_FogColor);
    chunk->WriteFloat(m_FogStart);
    chunk->WriteFloat(m_FogEnd);
    chunk->WriteFloat(m_FogDensity);
    chunk->WriteObjectID(m_BackgroundTexture);
    chunk->WriteObjectID(m_StartingCamera);

    if (GetClassID() == CKCID_SCENE)
        chunk->CloseChunk();
    else
        chunk->UpdateDataSize();
    return chunk;
}

// Loading.

void CKScene::EnterLoadedDescriptor(CK_ID id, CKStateChunk* initialValue, CKDWORD flags)
{
    CKObject* object = m_Context->GetObject(id);
    if (!object || object == this || !CKIsChildClassOfObject(object, CKCID_SCENEOBJECT) || m_Descriptors.IsHere(id)) {
        CKDeleteStateChunk(initialValue);
        return;
    }
    CKSceneObjectDesc desc;
    desc.m_Object = id;
    desc.m_InitialValue = initialValue;
    desc.m_Flags = flags;
    m_Descriptors.Insert(id, desc);
    static_cast<CKSceneObject*>(object)->AddSceneIn(this);
}

void CKScene::TakeLoadedLevel(CK_ID id)
{
    CKObject* level = m_Context->GetObject(id);
    m_Level = IsLevel(level) ? id : 0;
    if (m_Level)
        AddObject(static_cast<CKLevel*>(level), TRUE);
}

CKERROR CKScene::Load(CKStateChunk* chunk, CKFile* file)
{
    if (!chunk)
        return CKErr::InvalidParameter;
    m_SceneFlags &= ~1u;
    if (chunk->GetDataVersion() >= 1)
        LoadCurrentForm(chunk, file);
    else
        LoadOldForm(chunk, file);
    // Every script of the scene has a descriptor.
    for (int i = 0; i < GetScriptCount(); ++i) {
        CKObject* script = GetScript(i);
        if (script && !m_Descriptors.IsHere(script->GetID()))
            AddObjectDesc(static_cast<CKSceneObject*>(script));
    }
    return CKErr::Ok;
}

void CKScene::LoadCurrentForm(CKStateChunk* chunk, CKFile* file)
{
    CKBeObject::Load(chunk, file);
    if (chunk->SeekIdentifier(CK_STATESAVE_SCENELAUNCHED)) {
        CK_ID level = chunk->ReadObjectID();
        ClearDescriptors(true);
        int count = chunk->ReadInt();
        if (count > 0) {
            XObjectArray ids = chunk->ReadXObjectArray();
            const int n = ids.Size();
            XArray<CKStateChunk*> initial;
            initial.Resize(n);
            for (CKStateChunk*& c : initial)
                c = nullptr;
            // Each descriptor wrote its initial value and an empty entry.
            int items = chunk->ReadInt();
            for (int i = 0; i < items && chunk->GetReadError() == 0; ++i) {
                if (i % 2 != 0 || i / 2 >= n) {
                    chunk->ReadSubChunk(TRUE);
                    continue;
                }
                initial[i / 2] = chunk->ReadSubChunk();
                HookOldAttributes(m_Context, initial[i / 2]);
            }
            const bool oldFlags = chunk->GetDataVersion() < CK_SCENE_DESCFLAGS_VERSION;
            for (int i = 0; i < n; ++i) {
                CKDWORD flags = chunk->ReadDword();
                EnterLoadedDescriptor(ids[i], initial[i], oldFlags ? CKConvertOldSceneObjectFlags(flags) : flags);
            }
        }
        TakeLoadedLevel(level);
    }
    if (chunk->SeekIdentifier(CK_STATESAVE_SCENEFLAGSWORD))
        m_SceneFlags = chunk->ReadDword();
    if (chunk->SeekIdentifier(CK_STATESAVE_SCENEENVIRONMENT)) {
        m_BackgroundColor = chunk->ReadDword();
        m_AmbientLightColor = chunk->ReadDword();
        m_FogMode = chunk->ReadDword();
        m_FogColor = chunk->ReadDword();
        m_FogStart = chunk->ReadFloat();
        m_FogEnd = chunk->ReadFloat();
        m_FogDensity = chunk->ReadFloat();
        m_BackgroundTexture = chunk->ReadObjectID();
        m_StartingCamera = chunk->ReadObjectID();
        // Older engines wrote the third fog mode as the first or second.
        if (file && file->GetFileInfo().CKVersion < CK_SCENE_FOGCHANGE_ENGINEVERSION &&
            (m_FogMode == 1 || m_FogMode == 2))
            m_FogMode = 3;
    }
}

void CKScene::LoadOldDescriptors(CKStateChunk* chunk, CKFile* file)
{
    int count = chunk->ReadInt();
    for (int i = 0; i < count && chunk->GetReadError() == 0; ++i) {
        if (!file)
            chunk->ReadObjectID();
        CKStateChunk* sub = chunk->ReadSubChunk();
        if (!sub)
            continue;
        sub->StartRead();
        const bool shortFlags = sub->SeekIdentifier(CK_STATESAVE_SCENEOLD_DESCFLAGS16);
        if (sub->SeekIdentifier(CK_STATESAVE_SCENEOLD_DESCRIPTOR)) {
            CK_ID id = sub->ReadObjectID();
            CKStateChunk* initial = sub->ReadSubChunk();
            sub->ReadSubChunk(TRUE);
            CKDWORD flags = sub->ReadDword();
            if (shortFlags) {
                flags &= 0xFFFF;
                sub->ReadDword();
            }
            if (sub->GetReadError() == 0) {
                HookOldAttributes(m_Context, initial);
                EnterLoadedDescriptor(id, initial, CKConvertOldSceneObjectFlags(flags));
            } else {
                CKDeleteStateChunk(initial);
            }
        }
        CKDeleteStateChunk(sub);
    }
}

void CKScene::LoadOldForm(CKStateChunk* chunk, CKFile* file)
{
    // The oldest form lists descriptor chunks of a class of their own (81 in
    // files, 47 in memory); the form after it is a behavioural object with
    // the same descriptor list under other identifiers.
    constexpr CKDWORD kSecondFormMark = 0xE192BD47;
    const CK_CLASSID oldestClass = file ? 81 : 47;
    bool oldest = false;
    chunk->StartRead();
    if (chunk->SeekIdentifier(CK_STATESAVE_SCENEOLD_OBJECTS)) {
        int count = chunk->ReadInt();
        if (!(file && (CKDWORD) count == kSecondFormMark)) {
            for (int i = 0; i < count && chunk->GetReadError() == 0; ++i) {
                if (!file)
                    chunk->ReadObjectID();
                CKStateChunk* sub = chunk->ReadSubChunk();
                if (!sub)
                    continue;
                oldest = sub->GetChunkClassID() == oldestClass;
                CKDeleteStateChunk(sub);
                break;
            }
        }
    }
    ClearDescriptors(true);
    CKDWORD levelSection = CK_STATESAVE_SCENENEW_LEVEL;
    CKDWORD objectsSection = CK_STATESAVE_SCENENEW_OBJECTS;
    if (oldest) {
        CKGetGlobals().m_LoadedFileObsolete = TRUE;
        CKObject::Load(chunk, file);
        if (chunk->SeekIdentifier(CK_STATESAVE_SCENEOLD_AFTERCHUNK))
            chunk->ReadDword();
        levelSection = CK_STATESAVE_SCENEOLD_LEVEL;
        objectsSection = CK_STATESAVE_SCENEOLD_OBJECTS;
    } else {
        CKBeObject::Load(chunk, file);
    }
    CK_ID level = chunk->SeekIdentifier(levelSection) ? chunk->ReadObjectID() : 0;
    if (chunk->SeekIdentifier(objectsSection))
        LoadOldDescriptors(chunk, file);
    TakeLoadedLevel(level);
}

// Dependencies and copies.

CKERROR CKScene::PrepareDependencies(CKDependenciesContext& context, CKBOOL caller)
{
    CKDependenciesContext::Scope scope = context.EnterDependencyScope(this, caller);
    CKERROR error = CKBeObject::PrepareDependencies(context, FALSE);
    if (error != CKErr::Ok)
        return error;
    if (context.GetOperationMode() != CK_DEPENDENCIES_SAVE)
        return CKErr::Ok;
    XArray<CK_ID> ids;
    for (auto it = m_Descriptors.Begin(); it != m_Descriptors.End(); ++it)
        ids.PushBack(it.GetKey());
    for (CK_ID id : ids) {
        CKObject* object = m_Context->GetObject(id);
        if (!object || IsLevel(object) || CKIsChildClassOfObject(object, CKCID_SCENE) ||
            !CKIsChildClassOfObject(object, CKCID_BEOBJECT))
            continue;
        if (object->IsDynamic() || (object->GetObjectFlags() & kObjectNotInSavedScene))
            continue;
        object->PrepareDependencies(context, caller);
    }
    return CKErr::Ok;
}

CKERROR CKScene::RemapDependencies(CKDependenciesContext& context)
{
    CKERROR error = CKBeObject::RemapDependencies(context);
    if (error != CKErr::Ok)
        return error;
    m_Level = context.RemapID(m_Level);
    for (auto it = m_Descriptors.Begin(); it != m_Descriptors.End(); ++it) {
        CKObject* object = m_Context->GetObject(it.GetKey());
        if (object && CKIsChildClassOfObject(object, CKCID_SCENEOBJECT) && !CKIsChildClassOfObject(object, CKCID_SCENE))
            static_cast<CKSceneObject*>(object)->AddSceneIn(this);
    }
    return CKErr::Ok;
}

CKERROR CKScene::Copy(CKObject& source, CKDependenciesContext& context)
{
    CKERROR error = CKBeObject::Copy(source, context);
    if (error != CKErr::Ok)
        return error;
    if (!CKIsChildClassOfObject(&source, CKCID_SCENE))
        return CKErr::Ok;
    CKScene& from = static_cast<CKScene&>(source);
    ClearDescriptors(true);
    for (auto it = from.m_Descriptors.Begin(); it != from.m_Descriptors.End(); ++it) {
        CKSceneObjectDesc desc = *it;
        if (desc.m_InitialValue) {
            CKStateChunk* copy = CKCreateStateChunk(desc.m_InitialValue->GetChunkClassID());
            copy->Clone(desc.m_InitialValue);
            desc.m_InitialValue = copy;
        }
        m_Descriptors.Insert(it.GetKey(), desc);
    }
    m_SceneFlags = from.m_SceneFlags;
    m_BackgroundColor = from.m_BackgroundColor;
    m_BackgroundTexture = from.m_BackgroundTexture;
    m_StartingCamera = from.m_StartingCamera;
    m_AmbientLightColor = from.m_AmbientLightColor;
    m_FogColor = from.m_FogColor;
    m_FogMode = from.m_FogMode;
    m_FogStart = from.m_FogStart;
    m_FogEnd = from.m_FogEnd;
    m_FogDensity = from.m_FogDensity;
    return CKErr::Ok;
}

// Class registration.

namespace {

CKDWORD ObjectSceneSaveFlags(CKScene* scene, CKObject* object)
{
    if (!CKIsChildClassOfObject(object, CKCID_SCENEOBJECT))
        return 0;
    CKSceneObjectDesc* desc = scene->GetSceneObjectDesc(static_cast<CKSceneObject*>(object));
    if (!desc)
        return 0;
    return desc->m_InitialValue ? desc->m_Flags | CK_SCENEOBJECT_INTERNAL_IC : desc->m_Flags;
}

// Copies join the scenes that hold their sources: the current level's own
// scene always, every scene when the scene-object options say so.
void AddCopiesToScenes(CKDependenciesContext& context, const XObjectArray& sources)
{
    CKContext* ck = context.GetCKContext();
    if (!ck)
        return;
    const bool everyScene = (context.GetClassDependencies(CKCID_SCENEOBJECT) & CK_DEPENDENCIES_SCENEOBJECT_SCENES) != 0;
    CKLevel* level = ck->GetCurrentLevel();
    CKScene* levelScene = level ? level->GetLevelScene() : nullptr;
    XArray<CKObject*> scenes;
    ck->GetObjectManager()->GetObjectsListByClass(CKCID_SCENE, TRUE, scenes);
    for (CKObject* object : scenes) {
        CKScene* scene = static_cast<CKScene*>(object);
        if (scene != levelScene && !everyScene)
            continue;
        scene->BeginAddSequence(TRUE);
        for (CK_ID id : sources) {
            CK_ID copyId = context.RemapID(id);
            CKObject* source = ck->GetObject(id);
            CKObject* copy = copyId != id ? ck->GetObject(copyId) : nullptr;
            if (!source || !copy)
                continue;
            if (CKIsChildClassOfObject(copy, CKCID_SCENE)) {
                if (level)
                    level->AddScene(static_cast<CKScene*>(copy));
                continue;
            }
            if (!CKIsChildClassOfObject(copy, CKCID_SCENEOBJECT) || !scene->IsObjectHere(source))
                continue;
            CKSceneObject* from = static_cast<CKSceneObject*>(source);
            CKSceneObject* to = static_cast<CKSceneObject*>(copy);
            scene->AddObjectToScene(to);
            scene->SetObjectFlags(to, scene->GetObjectFlags(from) & ~CK_SCENEOBJECT_ACTIVE);
            if (scene->IsObjectActive(from) || ((context.GetCreationMode() & CK_OBJECTCREATION_ACTIVATE) &&
                                                CKIsChildClassOfObject(to, CKCID_BEOBJECT)))
                scene->ActivateObject(to, TRUE);
        }
        scene->BeginAddSequence(FALSE);
    }
}

} // namespace

void CKScene::Register()
{
    CKClassSetParameterGuid(m_ClassID, CKGUID(0x25AE6BD7, 0x7C8F73A2));
    CKClassNeedNotificationFrom(m_ClassID, CKCID_SCENEOBJECT);

    // What behavioural objects and copies reach of scenes.
    CKBeObjectLinks links = CKGetBeObjectLinks();
    links.GetCurrentScene = [](CKContext* context) { return context->GetCurrentScene(); };
    links.GetSceneByIndex = CKGetSceneByIndex;
    links.SceneHoldsObject = [](CKScene* scene, CKObject* object) { return scene->IsObjectHere(object); };
    links.GetObjectSceneSaveFlags = ObjectSceneSaveFlags;
    links.AddCopiesToScenes = AddCopiesToScenes;
    CKSetBeObjectLinks(links);
}

const char* CKScene::GetClassName()
{
    return "Scene";
}
