// A composition holding one behaviour of each of the 30 blocks goes to a
// file and comes back: locals equal, saved again to the same bytes, and
// deleting the behaviours puts the meshes back as the blocks say.
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "core/behavior/CKBehaviorPrototype.h"
#include "core/behavior/CKObjectDeclaration.h"
#include "core/context/CKContext.h"
#include "core/context/CKPluginManager.h"
#include "core/context/CKStartUp.h"
#include "core/file/CKFile.h"
#include "core/object/CKClassRegistry.h"
#include "core/parameter/CKParameterIn.h"
#include "core/parameter/CKParameterLocal.h"
#include "core/scene/CKLevel.h"
#include "includes/CKByteOrder.h"
#include "lod/blocks/MeshBlockDeclarations.h"
#include "lod/blocks/MeshBlocks.h"
#include "render/mesh/CKMesh.h"
#include "render/mesh/CKPatchMesh.h"
#include "render/objects/CK3dEntity.h"
#include "tests/lod/blocks/BlockTestSupport.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestPaths.h"

namespace {

// Every local of every behaviour, by behaviour name and local index: its
// bytes, or the name of the object it names.
using Locals = std::map<std::string, std::vector<std::string>>;

std::string LocalValue(CKContext* context, CKParameterLocal* local)
{
    if (!local)
        return "<none>";
    if (local->GetParameterClassID() != 0) {
        CKObject* object = local->GetValueObject(FALSE);
        return object ? std::string("object ") + (object->GetName() ? object->GetName() : "") : "no object";
    }
    if (CKIsPointerParameterType(local->GetTypeDesc()))
        return "pointer";
    const auto* bytes = static_cast<const char*>(local->GetReadDataPtr(FALSE));
    (void) context;
    return bytes ? std::string(bytes, (size_t) local->GetDataSize()) : "";
}

Locals AllLocals(CKContext* context)
{
    Locals out;
    for (CKObject* o : context->GetObjectListByType(CKCID_BEHAVIOR, TRUE)) {
        auto* b = static_cast<CKBehavior*>(o);
        std::vector<std::string>& values = out[b->GetName()];
        for (int i = 0; i < b->GetLocalParameterCount(); ++i)
            values.push_back(LocalValue(context, b->GetLocalParameter(i)));
    }
    return out;
}

// The level, and the parameters the behaviours' inputs read, as an editor
// keeps them beside the scripts.
std::string Save(CKContext* context, CKLevel* level, const std::string& path)
{
    CKFile* file = context->CreateCKFile();
    EXPECT_EQ(file->StartSave(path.c_str()), 0);
    file->SaveObject(level, 0xFFFFFFFF);
    for (CKObject* o : std::vector<CKObject*>(context->GetObjectListByType(CKCID_BEHAVIOR, TRUE).Begin(),
                                              context->GetObjectListByType(CKCID_BEHAVIOR, TRUE).End())) {
        auto* b = static_cast<CKBehavior*>(o);
        for (int i = -1; i < b->GetInputParameterCount(); ++i) {
            CKParameterIn* in = i < 0 ? b->GetTargetParameter() : b->GetInputParameter(i);
            if (CKParameter* source = in ? in->GetRealSource() : nullptr)
                file->SaveObject(source, 0xFFFFFFFF);
        }
    }
    EXPECT_EQ(file->EndSave(), 0);
    context->DeleteCKFile(file);
    return TestReadFile(path);
}

class BlockPersistenceTest : public BlockFixture
{
public:
    // A block inside a script of its own on the owner, as an editor puts
    // it: the script is what the owner lists and what a file keeps.
    CKBehavior* ScriptedBlock(CKGUID guid, CKBeObject* owner, CKDWORD version = 0)
    {
        CKBehavior* block = CreateBlock(m_Context, guid, nullptr, version);
        if (!block)
            return nullptr;
        SetBlockTarget(block, owner);
        XString name(block->GetName());
        name += " script";
        auto* script = static_cast<CKBehavior*>(m_Context->CreateObject(CKCID_BEHAVIOR, name.CStr()));
        script->UseGraph();
        script->SetType(1);
        if (script->AddSubBehavior(block) != 0 || owner->AddScript(script) != 0)
            return nullptr;
        return block;
    }
};

TEST_F(BlockPersistenceTest, ThirtyBehavioursComeBackAndSaveAgainToTheSameBytes)
{
    // The 30 blocks as the plug-in declares them.
    XArray<CKObjectDeclaration*> made;
    CKRegisterLodBehaviorDeclarations(made);
    std::vector<CKObjectDeclaration*> declarations;
    for (CKObjectDeclaration* d : made) {
        declarations.push_back(CKGetObjectDeclarationFromGuid(d->GetGuid()));
        delete d;
    }
    ASSERT_EQ(declarations.size(), 30u);

    // Owners: a lit lattice object, a patch object, loose meshes.
    CK3dEntity* object = NewObject(MeshKind::Lattice, "Object");
    CK3dEntity* patchObject = NewObject(MeshKind::Patch, "PatchObject");
    CK3dEntity* joined = NewObject(MeshKind::Lattice, "Joined");
    joined->SetPosition3f(0.05f, 0.0f, 0.0f);
    CKMesh* loose = New<CKMesh>(CKCID_MESH, "Loose");
    FillLattice(loose, false);
    CKMesh* start = New<CKMesh>(CKCID_MESH, "Start");
    FillLattice(start, false);
    m_Level->AddObject(loose);
    m_Level->AddObject(start);
    std::vector<CKBehavior*> behaviors;
    for (CKObjectDeclaration* d : declarations) {
        CKBeObject* owner = object;
        if (d->GetCompatibleClassId() == CKCID_MESH)
            owner = loose;
        else if (d->GetCompatibleClassId() == CKCID_PATCHMESH)
            owner = patchObject->GetCurrentMesh();
        CKBehavior* b = ScriptedBlock(d->GetGuid(), owner);
        ASSERT_NE(b, nullptr) << d->GetName();
        behaviors.push_back(b);
        if (d->GetGuid() == BlockGuid::MeshMorpher) {
            SetBlockInputObject(b, 0, start);
            SetBlockInputObject(b, 1, start);
            b->ActivateInput(0, TRUE);
            ASSERT_EQ(Run(b), CKBR_OK);
        } else if (d->GetGuid() == BlockGuid::SkinJoin) {
            SetBlockInputObject(b, 1, joined);
            SendBlockMessage(b, CKM_BEHAVIOREDITED);
        } else if (d->GetGuid() == BlockGuid::Twist) {
            ASSERT_EQ(Run(b), CKBR_OK);
        }
    }
    CKMesh* created = object->GetCurrentMesh();
    ASSERT_NE(created, object->GetMesh(0)) << "the morpher's copy is current";
    const Locals before = AllLocals(m_Context);

    TestTempDir dir;
    const std::string first = Save(m_Context, m_Level, dir.File("blocks.qbx"));
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(object->GetCurrentMesh(), created) << "after the save the copy is current again";

    CKContext* fresh = nullptr;
    ASSERT_EQ(CKCreateContext(&fresh, nullptr), 0);
    std::vector<std::string> console;
    fresh->SetInterfaceMode(
        TRUE,
        [](CKUICallbackStruct& message, void* data) -> CKERROR {
            if (message.Reason == CKUIM_OUTTOCONSOLE)
                static_cast<std::vector<std::string>*>(data)->push_back(reinterpret_cast<const char*>(message.Param2));
            return 0;
        },
        &console);
    CKFile* loader = fresh->CreateCKFile();
    ASSERT_EQ(loader->Load(dir.File("blocks.qbx").c_str(), nullptr, 0), 0);
    fresh->DeleteCKFile(loader);
    EXPECT_EQ(console, std::vector<std::string>{}) << "the load and attach callbacks run without error";
    ASSERT_EQ(fresh->GetObjectsCountByClassID(CKCID_BEHAVIOR), 60);

    // Locals come back as they were, but for what loading starts again: the
    // morpher's copy, which was never saved.
    Locals after = AllLocals(fresh);
    Locals expected = before;
    expected["Mesh Morpher"][1] = "no object";
    EXPECT_EQ(after, expected);
    auto* loadedObject = static_cast<CK3dEntity*>(fresh->GetObjectByNameAndClass("Object", CKCID_3DOBJECT));
    ASSERT_NE(loadedObject, nullptr);
    EXPECT_STREQ(loadedObject->GetCurrentMesh()->GetName(), "Object") << "the object's own mesh was saved current";

    auto* level = static_cast<CKLevel*>(fresh->GetObjectByNameAndClass("Level", CKCID_LEVEL));
    ASSERT_NE(level, nullptr);
    const std::string second = Save(fresh, level, dir.File("again.qbx"));
    // A file names its objects by the ids they had: each context saving
    // again gives the same bytes as its first save.
    EXPECT_TRUE(Save(fresh, level, dir.File("third.qbx")) == second) << "the loaded composition saved twice";
    EXPECT_TRUE(Save(m_Context, m_Level, dir.File("again.qbx")) == first) << "the first composition saved twice";

    // Deleting every behaviour: the morpher of the original context gives
    // its object the own mesh back and destroys its copy.
    const CK_ID createdId = created->GetID();
    for (CKBehavior* b : behaviors) {
        CKBehavior* script = b->GetParent();
        m_Context->DestroyObject(b);
        m_Context->DestroyObject(script);
    }
    EXPECT_EQ(object->GetCurrentMesh(), object->GetMesh(0));
    EXPECT_EQ(m_Context->GetObject(createdId), nullptr);
    EXPECT_EQ(m_Context->GetObjectsCountByClassID(CKCID_BEHAVIOR), 0);
    std::vector<CK_ID> loaded;
    for (CKObject* o : fresh->GetObjectListByType(CKCID_BEHAVIOR, TRUE))
        loaded.push_back(o->GetID());
    for (CK_ID id : loaded)
        fresh->DestroyObject(fresh->GetObject(id));
    EXPECT_STREQ(loadedObject->GetCurrentMesh()->GetName(), "Object");
    EXPECT_EQ(CKCloseContext(fresh), 0);
}

TEST_F(BlockPersistenceTest, AnOlderDeformerDeletedAfterALoadPutsItsSavedPositionsBack)
{
    CK3dEntity* object = NewObject(MeshKind::Prelit, "Old");
    CKMesh* mesh = object->GetCurrentMesh();
    CKBehavior* b = ScriptedBlock(BlockGuid::Taper, object, 0x10000);
    ASSERT_NE(b, nullptr);
    std::vector<CKBYTE> saved((size_t) mesh->GetModifierVertexCount() * 12);
    for (size_t i = 0; i < saved.size() / 4; ++i)
        StoreLEFloat(saved.data() + 4 * i, (float) i * 0.5f);
    ASSERT_EQ(b->SetLocalParameterValue(0, saved.data(), (int) saved.size()), 0);
    TestTempDir dir;
    Save(m_Context, m_Level, dir.File("old.qbx"));
    CKContext* fresh = nullptr;
    ASSERT_EQ(CKCreateContext(&fresh, nullptr), 0);
    CKFile* loader = fresh->CreateCKFile();
    ASSERT_EQ(loader->Load(dir.File("old.qbx").c_str(), nullptr, 0), 0);
    fresh->DeleteCKFile(loader);
    auto* loaded = static_cast<CKBehavior*>(fresh->GetObjectByNameAndClass("Taper", CKCID_BEHAVIOR));
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->GetVersion(), 0x10000u);
    auto* loadedObject = static_cast<CK3dEntity*>(fresh->GetObjectByNameAndClass("Old", CKCID_3DOBJECT));
    // The harness's target source is a loose parameter, which the file
    // keeps as a reference only: the target is named again.
    SetBlockTarget(loaded, loadedObject);
    fresh->DestroyObject(loaded);
    CKMesh* loadedMesh = loadedObject->GetCurrentMesh();
    for (int i = 0; i < loadedMesh->GetModifierVertexCount(); i += 97) {
        QxVector p;
        loadedMesh->GetModifierVertex(i, &p);
        EXPECT_EQ(p.x, (float) (3 * i) * 0.5f) << i;
        EXPECT_EQ(p.z, (float) (3 * i + 2) * 0.5f) << i;
    }
    EXPECT_EQ(CKCloseContext(fresh), 0);
}

} // namespace
