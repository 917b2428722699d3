#include "core/scene/CKLevel.h"

#include "core/chunk/CKStateChunk.h"
#include "core/context/CKBaseManager.h"
#include "core/context/CKContext.h"
#include "core/context/CKFunctions.h"
#include "core/context/CKRenderContext.h"
#include "core/file/CKFile.h"
#include "core/object/CKBeObjectLinks.h"
#include "core/object/CKClassRegistry.h"
#include "core/object/CKDependenciesContext.h"
#include "core/scene/CKScene.h"

namespace {

// The host hears of a scene added to a level under this reason.
constexpr CKDWORD kMessageSceneAdded = 12;
constexpr CKDWORD kSaveScenes = 0x20000000;
constexpr CKDWORD kSaveDefaultData = 0x80000000;

CKScene* AsScene(CKObject* object)
{
    if (!object)
        return nullptr;
    const CK_CLASSID cid = object->GetClassID();
    return cid == CKCID_SCENE || CKIsChildClassOf(cid, CKCID_SCENE) ? static_cast<CKScene*>(object) : nullptr;
}

} // namespace

CKLevel::CKLevel(CKContext* context, const char* name) : CKClass(context, name)
{
    m_Priority = MaxPriority;
    // Made through CreateObject, the level is named only once constructed:
    // its scene takes the name it is about to get.
    const char* sceneName = name || !context ? name : context->GetCreatingName();
    CreateLevelScene(context && context->IsCreatingDynamic(), sceneName);
}

CKLevel::~CKLevel()
{
    if (m_Context && m_Context->GetCurrentLevelID() == m_ID)
        m_Context->SetCurrentLevel(nullptr);
}

void CKLevel::CreateLevelScene(CKBOOL dynamic, const char* name)
{
    if (!m_Context || GetLevelScene())
        return;
    CKScene* scene =
        AsScene(m_Context->CreateObject(CKCID_SCENE, name, dynamic ? (CKDWORD) CK_OBJECTCREATION_DYNAMIC : 0u));
    if (!scene)
        return;
    scene->SetLevel(this);
    scene->AddObject(this, TRUE);
    m_LevelScene = scene->GetID();
    m_CurrentScene = m_LevelScene;
}

// Content.

CKERROR CKLevel::AddObject(CKObject* object)
{
    if (!object)
        return CKErr::InvalidParameter;
    const CKClassDesc* cls = CKGetClassDesc(object->GetClassID());
    if (!cls || !cls->m_Parents.IsSet(CKCID_SCENEOBJECT) || cls->m_Parents.IsSet(CKCID_LEVEL))
        return CKErr::InvalidParameter;
    CKScene* scene = GetLevelScene();
    if (!scene)
        return CKErr::InvalidParameter;
    scene->AddObject(static_cast<CKSceneObject*>(object), TRUE);
    return CKErr::Ok;
}

CKERROR CKLevel::AddScene(CKScene* scene)
{
    if (!scene)
        return CKErr::InvalidParameter;
    scene->SetLevel(this);
    scene->AddObject(this, TRUE);
    if (m_SceneList.IsHere(scene))
        return CKErr::Ok;
    m_SceneList.PushBack(scene);
    m_Context->SendInterfaceMessage(kMessageSceneAdded, scene->GetID(), 0, 0);
    return CKErr::Ok;
}

CKScene* CKLevel::GetScene(int index) const
{
    return static_cast<CKScene*>(m_SceneList.GetObject(index));
}

CKScene* CKLevel::GetLevelScene() const
{
    return m_Context ? AsScene(m_Context->GetObject(m_LevelScene)) : nullptr;
}

CKScene* CKLevel::GetCurrentScene() const
{
    return m_Context ? AsScene(m_Context->GetObject(m_CurrentScene)) : nullptr;
}

CKRenderContext* CKLevel::GetRenderContext(int index) const
{
    return static_cast<CKRenderContext*>(m_RenderContextList.GetObject(index));
}

CKERROR CKLevel::AddRenderContext(CKRenderContext* context)
{
    if (!context)
        return CKErr::InvalidParameter;
    if (m_RenderContextList.IsHere(context))
        return CKErr::AlreadyPresent;
    m_RenderContextList.PushBack(context);
    return CKErr::Ok;
}

void CKLevel::RemoveRenderContext(CKRenderContext* context)
{
    m_RenderContextList.Remove(context);
    if (context)
        context->SetCurrentRenderOptions(context->GetCurrentRenderOptions() & ~0x10000u);
    if (m_Context && context && m_Context->GetMainRenderContext() == context)
        m_Context->SetMainRenderContext(GetRenderContext(0));
}

void CKLevel::ForgetScene(CK_ID scene)
{
    if (m_CurrentScene == scene)
        m_CurrentScene = 0;
    if (m_LevelScene == scene)
        m_LevelScene = 0;
}

// Object operations.

void CKLevel::CheckPreDeletion()
{
    CKBeObject::CheckPreDeletion();
    m_SceneList.Check();
    m_RenderContextList.Check();
}

void CKLevel::CheckPostDeletion()
{
    CKBeObject::CheckPostDeletion();
    if (!m_Context->GetObject(m_CurrentScene))
        m_CurrentScene = 0;
    if (!m_Context->GetObject(m_LevelScene))
        m_LevelScene = 0;
}

int CKLevel::GetMemoryOccupation()
{
    return CKBeObject::GetMemoryOccupation() + 32 + 4 * (m_SceneList.Capacity() + m_RenderContextList.Capacity());
}

CKBOOL CKLevel::IsObjectUsed(CKObject* object, CK_CLASSID cid)
{
    if (cid == CKCID_SCENE && object && (m_SceneList.IsHere(object) || object->GetID() == m_LevelScene))
        return TRUE;
    if (cid == CKCID_RENDERCONTEXT && m_RenderContextList.IsHere(object))
        return TRUE;
    return CKBeObject::IsObjectUsed(object, cid);
}

CKERROR CKLevel::PrepareDependencies(CKDependenciesContext& context, CKBOOL caller)
{
    CKDependenciesContext::Scope scope = context.EnterDependencyScope(this, caller);
    CKERROR error = CKBeObject::PrepareDependencies(context, FALSE);
    if (error != CKErr::Ok)
        return error;
    const CKDWORD mode = context.GetOperationMode();
    if (mode == CK_DEPENDENCIES_BUILD)
        return CKErr::Ok;
    m_SceneList.Prepare(context);
    if (mode != CK_DEPENDENCIES_SAVE)
        m_RenderContextList.Prepare(context);
    if (CKScene* scene = GetLevelScene())
        scene->PrepareDependencies(context, TRUE);
    return CKErr::Ok;
}

void CKLevel::PatchAfterLoad(int count, CKFileObjectRecord* records)
{
    CKBeObject::PatchAfterLoad(count, records);
    // The level's scripts play in every scene that holds the level.
    for (int i = 0; i < GetScriptCount(); ++i) {
        CKObject* script = GetScript(i);
        if (!script || !CKIsChildClassOfObject(script, CKCID_SCENEOBJECT))
            continue;
        for (int n = 0; n < GetSceneInCount(); ++n) {
            CKScene* scene = GetSceneIn(n);
            if (scene && !scene->GetSceneObjectDesc(static_cast<CKSceneObject*>(script)))
                scene->AddObjectDesc(static_cast<CKSceneObject*>(script));
        }
    }
    // Behaviours the scenes describe but no object owns as a script go.
    CKBeObject* (*ownerOf)(CKObject*) = CKGetBeObjectLinks().GetBehaviorOwner;
    CKDWORD (*flagsOf)(CKObject*) = CKGetBeObjectLinks().GetBehaviorFlags;
    if (!ownerOf)
        return;
    XArray<CK_ID> doomed;
    auto walk = [&](CKScene* scene) {
        if (!scene)
            return;
        for (CKSceneObjectIterator it = scene->GetObjectIterator(); !it.End(); ++it) {
            CKObject* object = m_Context->GetObject(it.GetObjectID());
            if (!object || !CKIsChildClassOfObject(object, CKCID_BEHAVIOR))
                continue;
            CKBeObject* owner = ownerOf(object);
            if (!owner) {
                doomed.PushBack(object->GetID());
                continue;
            }
            if (!flagsOf || !(flagsOf(object) & CKBEHAVIOR_SCRIPT))
                continue;
            bool listed = false;
            for (int i = 0; i < owner->GetScriptCount() && !listed; ++i)
                listed = owner->GetScript(i) == object;
            if (!listed)
                doomed.PushBack(object->GetID());
        }
    };
    walk(GetLevelScene());
    for (int i = 0; i < GetSceneCount(); ++i)
        walk(GetScene(i));
    if (doomed.Size() > 0)
        m_Context->DestroyObjects(doomed.Begin(), doomed.Size(), 0);
}

// Saving and loading.

void CKLevel::PreSave(CKFile* file, CKDWORD flags)
{
    CKBeObject::PreSave(file, flags);
    if (!file || !(flags & kSaveDefaultData))
        return;
    file->SaveObjects(m_SceneList.Begin(), m_SceneList.Size(), flags);
    if (CKScene* scene = GetLevelScene())
        scene->PreSave(file, flags);
}

CKStateChunk* CKLevel::Save(CKFile* file, CKDWORD flags)
{
    CKStateChunk* base = CKBeObject::Save(file, flags);
    CKStateChunk* chunk = CKCreateStateChunk(CKCID_LEVEL, file);
    chunk->StartWrite();
    chunk->AddChunkAndDelete(base);

    if (flags & kSaveScenes) {
        // Older writers kept two more lists in front of the scenes.
        chunk->WriteIdentifier(CK_STATESAVE_LEVELSCENE);
        chunk->StartObjectIDSequence(0);
        chunk->StartObjectIDSequence(0);
        m_SceneList.Save(chunk);
    }
    if (flags & kSaveDefaultData) {
        chunk->WriteIdentifier(CK_STATESAVE_LEVELDEFAULTDATA);
        chunk->WriteObjectID(m_CurrentScene);
        chunk->WriteObjectID(m_LevelScene);
        CKScene* scene = GetLevelScene();
        CKStateChunk* state = scene ? CKSaveObjectState(scene, 0xFFFFFFFF) : nullptr;
        chunk->WriteSubChunk(state);
        CKDeleteStateChunk(state);
    }
    SaveManagerStates(chunk, flags);

    if (GetClassID() == CKCID_LEVEL)
        chunk->CloseChunk();
    else
        chunk->UpdateDataSize();
    return chunk;
}

void CKLevel::SaveManagerStates(CKStateChunk* chunk, CKDWORD flags)
{
    const int inactive = m_Context->GetInactiveManagerCount();
    if (inactive == 0)
        return;
    if (flags & CK_STATESAVE_LEVELINACTIVEMAN) {
        chunk->WriteIdentifier(CK_STATESAVE_LEVELINACTIVEMAN);
        for (int i = 0; i < inactive; ++i) {
            CKBaseManager* manager = m_Context->GetInactiveManager(i);
            if (manager && !m_Context->GetManagerByGuid(manager->GetGuid()))
                chunk->WriteGuid(manager->GetGuid());
        }
    }
    if (flags & CK_STATESAVE_LEVELDUPLICATEMAN) {
        chunk->WriteIdentifier(CK_STATESAVE_LEVELDUPLICATEMAN);
        for (int i = 0; i < m_Context->GetManagerCount(); ++i) {
            CKBaseManager* manager = m_Context->GetManager(i);
            if (manager && m_Context->IsManagerInactive(manager))
                chunk->WriteString(manager->GetName());
        }
        chunk->WriteString(nullptr);
    }
}

CKERROR CKLevel::Load(CKStateChunk* chunk, CKFile* file)
{
    if (!chunk)
        return CKErr::InvalidParameter;
    if (!file)
        return CKErr::Ok;
    CKBeObject::Load(chunk, file);

    if (chunk->SeekIdentifier(CK_STATESAVE_LEVELSCENE)) {
        m_SceneList.Clear();
        XObjectArray ids;
        for (int i = 0; i < 3; ++i)
            ids = chunk->ReadXObjectArray();
        for (CK_ID id : ids)
            if (CKScene* scene = AsScene(m_Context->GetObject(id)))
                m_SceneList.AddIfNotHere(scene);
    }

    if (chunk->SeekIdentifier(CK_STATESAVE_LEVELDEFAULTDATA)) {
        CK_ID current = chunk->ReadObjectID();
        chunk->ReadObjectID(); // the level keeps the level scene it made
        CreateLevelScene(IsDynamic(), GetName());
        CKStateChunk* state = chunk->ReadSubChunk();
        CKScene* levelScene = GetLevelScene();
        if (state && levelScene)
            levelScene->Load(state, file);
        CKDeleteStateChunk(state);
        if (levelScene) {
            // Whatever the saved state said, the level scene holds its level.
            levelScene->SetLevel(this);
            levelScene->AddObject(this, TRUE);
        }
        // The level scene is no record of the file: a current scene saved as
        // the level scene reads back as none.
        m_CurrentScene = AsScene(m_Context->GetObject(current)) ? current : m_LevelScene;
    }
    LoadManagerStates(chunk);
    return CKErr::Ok;
}

void CKLevel::LoadManagerStates(CKStateChunk* chunk)
{
    const int size = chunk->SeekIdentifierAndReturnSize(CK_STATESAVE_LEVELINACTIVEMAN);
    if (size < 0)
        return;
    for (int i = 0; i < size / 8 && chunk->GetReadError() == 0; ++i) {
        CKGUID guid = chunk->ReadGuid();
        if (CKBaseManager* manager = m_Context->GetManagerByGuid(guid))
            m_Context->ActivateManager(manager, FALSE);
    }
    if (!chunk->SeekIdentifier(CK_STATESAVE_LEVELDUPLICATEMAN))
        return;
    for (;;) {
        XString name;
        chunk->ReadStringInto(name);
        if (name.Length() == 0 || chunk->GetReadError() != 0)
            break;
        if (CKBaseManager* manager = m_Context->GetManagerByName(name.CStr()))
            m_Context->ActivateManager(manager, TRUE);
    }
}

// Class registration.

void CKLevel::Register()
{
    CKClassSetParameterGuid(m_ClassID, CKGUID(0x10584787, 0x76932F77));
    CKClassNeedNotificationFrom(m_ClassID, CKCID_SCENE);
    CKClassNeedNotificationFrom(m_ClassID, CKCID_PLACE);
    CKClassNeedNotificationFrom(m_ClassID, CKCID_RENDERCONTEXT);
    CKClassSetCreationFlags(m_ClassID, CK_GENERALOPTIONS_NODUPLICATENAMECHECK);
}

const char* CKLevel::GetClassName()
{
    return "Level";
}
