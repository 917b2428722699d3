#include "tests/core/scene/SceneTestSupport.h"

#include "core/object/CKBeObjectLinks.h"

namespace {

constexpr CKGUID kSceneRecorderGuid(0x5CE17001, 0x5CE17002);

SceneTestBehavior* AsBehavior(CKObject* object)
{
    return dynamic_cast<SceneTestBehavior*>(object);
}

} // namespace

SceneRecorder::SceneRecorder(CKContext* context) : CKBaseManager(context, kSceneRecorderGuid, "Scene Recorder")
{
    context->RegisterNewManager(this);
}

CKERROR SceneRecorder::OnObjectsAddedToScene(CKScene*, CK_ID* ids, int count)
{
    m_Added.emplace_back(ids, ids + count);
    return 0;
}

CKERROR SceneRecorder::OnObjectsRemovedFromScene(CKScene*, CK_ID* ids, int count)
{
    m_Removed.emplace_back(ids, ids + count);
    return 0;
}

std::map<CK_ID, int>& SceneActiveCounts()
{
    static std::map<CK_ID, int> counts;
    return counts;
}

void SceneFixture::SetUp()
{
    FileFixture::SetUp();
    CKClassRegisterT<SceneTestBehavior, CKBehavior>("SceneTestBehavior");
    CKBuildClassHierarchyTable();
    // Messages and activations are recorded; the rest is the behaviours' own.
    CKBeObjectLinks links = CKGetBeObjectLinks();
    links.CallBehaviorCallback = [](CKObject* b, CKDWORD message) {
        if (SceneTestBehavior* behavior = AsBehavior(b))
            behavior->m_Messages.push_back(message);
    };
    links.ChangeActiveObject = [](CKContext*, CKBeObject* object, CKBOOL activate) {
        SceneActiveCounts()[object->GetID()] += activate ? 1 : -1;
    };
    CKSetBeObjectLinks(links);
    SceneActiveCounts().clear();
    m_Recorder = new SceneRecorder(m_Context);
}

CKBeObject* SceneFixture::NewBeObject(const char* name, CKContext* context, CKDWORD options)
{
    return static_cast<CKBeObject*>((context ? context : m_Context)->CreateObject(CKCID_BEOBJECT, name, options));
}

CKLevel* SceneFixture::NewLevel(const char* name, CKContext* context)
{
    CKContext* c = context ? context : m_Context;
    auto* level = static_cast<CKLevel*>(c->CreateObject(CKCID_LEVEL, name));
    c->SetCurrentLevel(level);
    return level;
}

CKScene* SceneFixture::NewScene(const char* name, CKContext* context)
{
    return static_cast<CKScene*>((context ? context : m_Context)->CreateObject(CKCID_SCENE, name));
}

CKGroup* SceneFixture::NewGroup(const char* name, CKContext* context)
{
    return static_cast<CKGroup*>((context ? context : m_Context)->CreateObject(CKCID_GROUP, name));
}

SceneTestBehavior* SceneFixture::NewScript(CKBeObject* owner, CKDWORD flags)
{
    auto* script = static_cast<SceneTestBehavior*>(m_Context->CreateObject(SceneTestBehavior::m_ClassID));
    script->ModifyFlags(flags, ~flags);
    if (owner)
        owner->AddScript(script);
    return script;
}

bool SaveFile(CKContext* context, const std::string& path, CKObject* object, CKDWORD flags)
{
    CKFile* file = context->CreateCKFile();
    const bool started = file->StartSave(path.c_str()) == 0;
    if (started && object)
        file->SaveObject(object, flags);
    const bool saved = started && file->EndSave() == 0;
    context->DeleteCKFile(file);
    return saved;
}

bool LoadsFile(CKContext* context, const std::string& path)
{
    CKFile* file = context->CreateCKFile();
    const bool loaded = file->Load(path.c_str(), nullptr) == 0;
    context->DeleteCKFile(file);
    return loaded;
}

CKERROR LoadWithFile(CKObject* object, CKStateChunk* chunk)
{
    CKFile* file = object->GetCKContext()->CreateCKFile();
    const CKERROR error = object->Load(chunk, file);
    object->GetCKContext()->DeleteCKFile(file);
    return error;
}
