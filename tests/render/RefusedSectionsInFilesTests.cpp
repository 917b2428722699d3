// Render objects whose section a file load refuses: the load keeps its
// result, the refused objects are listed in the file with the reason their
// class gave, and the objects that loaded whole are not.
#include <string>
#include <tuple>
#include <vector>

#include "core/chunk/CKStateChunk.h"
#include "core/file/CKFile.h"
#include "render/animation/CKAnimController.h"
#include "render/mesh/RCKMesh.h"
#include "render/mesh/RCKPatchMesh.h"
#include "render/objects/CK3dEntity.h"
#include "render/objects/RCKPlace.h"
#include "render/objects/pointcloud/RCK3dPointCloud.h"
#include "tests/core/support/ChunkTestSupport.h"
#include "tests/core/support/HandMadeFile.h"
#include "tests/render/mesh/MaterialTestSupport.h"
#include "tests/support/TestFiles.h"

namespace {

using Refusal = std::tuple<CK_CLASSID, std::string, std::string>;

// The serialised form of a chunk of one section (identifier and words).
std::vector<CKBYTE> Section(CK_CLASSID cid, CKDWORD identifier, const std::vector<CKDWORD>& words, int dataVersion = -1)
{
    CKStateChunk* chunk = SectionChunk(cid, identifier, words);
    if (dataVersion >= 0)
        chunk->SetDataVersion((CKDWORD) dataVersion);
    std::vector<CKBYTE> bytes = Serialised(chunk);
    CKDeleteStateChunk(chunk);
    return bytes;
}

// An object animation's controller section: one controller of the type and
// name, then the words of its keys.
std::vector<CKBYTE> Controllers(CKDWORD type, const char* name, const std::vector<CKDWORD>& keys)
{
    ChunkPtr chunk = NewChunk(CKCID_OBJECTANIMATION);
    chunk->StartWrite();
    chunk->WriteIdentifier(0x02000000);
    chunk->WriteInt(1);
    chunk->WriteDword(type);
    chunk->WriteString(name);
    for (CKDWORD word : keys)
        chunk->WriteDword(word);
    chunk->CloseChunk();
    return Serialised(chunk.get());
}

class RefusedSections : public MaterialFixture
{};

TEST_F(RefusedSections, EachRefusedObjectIsListedWithItsClassNameAndReason)
{
    struct Case
    {
        CK_CLASSID cid;
        const char* name;
        std::vector<CKBYTE> chunk;
        const char* reason; // null: loads whole
    };
    std::vector<CKDWORD> identity(16, 0);
    for (int i = 0; i < 4; ++i)
        identity[(size_t) (5 * i)] = 0x3F800000;
    std::vector<CKDWORD> skin = identity;
    skin.insert(skin.end(), {0, 0x7FFFFFFF});
    // One point, two vectors said.
    const std::vector<CKDWORD> patch = {2, 0, 2, 12, 1, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0};
    const std::vector<Case> cases = {
        {CKCID_MESH, "Clean", Section(CKCID_MESH, CK_STATESAVE_MESHFLAGS, {0}, CK_MESH_DATAVERSION), nullptr},
        {CKCID_MESH, "Box",
         Section(CKCID_MESH, CK_STATESAVE_MESHVERTICES, {2, 0x1F, 4, 0, 0, 0, 0}, CK_MESH_DATAVERSION),
         "the vertex block does not match its count and flags"},
        {CKCID_MESH, "Lines", Section(CKCID_MESH, CK_STATESAVE_MESHLINES, {1000, 0}, CK_MESH_DATAVERSION),
         "the line count does not fit its section"},
        {CKCID_MESH, "Old", Section(CKCID_MESH, 0x2000, {1, 2, 3}, 7),
         "data version 7 predates version 9; its geometry in that form is not loaded"},
        {CKCID_PATCHMESH, "Patch", Section(CKCID_PATCHMESH, CK_STATESAVE_PATCHMESHDATA, patch),
         "the point count does not fit its size or the data"},
        {CKCID_PATCHMESH, "Bare patch", Section(CKCID_PATCHMESH, CK_STATESAVE_MESHFLAGS, {0}),
         "an obsolete version of the patch-mesh format: its patches are not loaded"},
        {CKCID_MATERIAL, "Newer", Section(CKCID_MATERIAL, CK_STATESAVE_MATERIALDATA, {CK_MATERIAL_LAYOUT_VERSION + 1}),
         "section version 2 is newer than this engine's 1"},
        {CKCID_MATERIAL, "Short", Section(CKCID_MATERIAL, CK_STATESAVE_MATERIALDATA, {CK_MATERIAL_LAYOUT_VERSION, 0}),
         "its section is cut short"},
        {CKCID_TEXTURE, "Newer", Section(CKCID_TEXTURE, CK_STATESAVE_TEXTUREOPTIONS, {2, 3, 4, 0, 1, 0, 0}),
         "section version 2 is newer than this engine's 1"},
        {CKCID_TEXTURE, "Short", Section(CKCID_TEXTURE, CK_STATESAVE_TEXTUREOPTIONS, {1, 3}),
         "its options are cut short"},
        {CKCID_3DENTITY, "Skinned", Section(CKCID_3DENTITY, CK_STATESAVE_SKINDATA, skin, 10),
         "more skin vertices than the data holds"},
        {CKCID_PLACE, "Hall", Section(CKCID_PLACE, CK_STATESAVE_PLACEPORTALS, {0x7FFFFFFF}),
         "more portals than the data holds"},
        {CKCID_3DPOINTCLOUD, "Cloud", Section(CKCID_3DPOINTCLOUD, CK_STATESAVE_CLOUDDATA, {0, 0xFFFFFFFF}),
         "point count out of range"},
        {CKCID_OBJECTANIMATION, "Walk", Section(CKCID_OBJECTANIMATION, 0x02000000, {1000000}),
         "1000000 controllers are more than the data holds"},
        {CKCID_OBJECTANIMATION, "Spin", Controllers(0x12345678, "spin", {}), "unknown controller type 0x12345678"},
        {CKCID_OBJECTANIMATION, "Jump", Controllers(CKANIMATION_LINEARPOSITION_CONTROL, "pos", {0x7FFFFFFF, 0}),
         "the keys of controller 0 (\"pos\") are refused"},
    };
    std::vector<HandMadeObject> objects;
    std::vector<Refusal> expected;
    for (const Case& c : cases) {
        objects.push_back({(CK_ID) objects.size() + 1, c.cid, c.name, c.chunk});
        if (c.reason)
            expected.emplace_back(c.cid, c.name, c.reason);
    }
    const std::string path = m_Dir.File("refused.qdx");
    const std::vector<CKBYTE> bytes = HandMadeFile(objects);
    TestWriteFile(path, std::string(bytes.begin(), bytes.end()));

    CKFile* file = Fresh()->CreateCKFile();
    ASSERT_EQ(file->Load(path.c_str(), nullptr), CKErr::Ok) << "as before: the load runs to its end";
    std::vector<Refusal> listed;
    for (int i = 0; i < file->GetRefusalCount(); ++i)
        listed.emplace_back(file->GetRefusal(i)->m_ClassID, file->GetRefusal(i)->m_Name.CStr(),
                            file->GetRefusal(i)->m_Text.CStr());
    EXPECT_EQ(listed, expected);
    // The refused mesh is there, empty.
    auto* box = static_cast<CKMesh*>(Fresh()->GetObjectByNameAndClass("Box", CKCID_MESH));
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->GetFaceCount(), 0);
    file->ClearData();
    EXPECT_EQ(file->GetRefusalCount(), 0);
    Fresh()->DeleteCKFile(file);
}

// A file the engine saved itself loads with nothing refused.
TEST_F(RefusedSections, ASavedSceneHasNoRefusedObject)
{
    CKMaterial* material = NewMaterial("red");
    RCKMesh* mesh = New<RCKMesh>("cube");
    mesh->SetVertexCount(3);
    mesh->SetFaceCount(1);
    mesh->SetFaceVertexIndex(0, 0, 1, 2);
    mesh->SetFaceMaterial(0, material);
    CK3dEntity* entity = New<CK3dEntity>("entity");
    entity->SetCurrentMesh(mesh);
    const std::string path = m_Dir.File("clean.qdx");
    CKFile* out = m_Context->CreateCKFile();
    ASSERT_EQ(out->StartSave(path.c_str()), CKErr::Ok);
    out->SaveObject(entity, 0xFFFFFFFF);
    out->SaveObject(mesh, 0xFFFFFFFF);
    out->SaveObject(material, 0xFFFFFFFF);
    ASSERT_EQ(out->EndSave(), CKErr::Ok);
    m_Context->DeleteCKFile(out);
    CKFile* file = Fresh()->CreateCKFile();
    ASSERT_EQ(file->Load(path.c_str(), nullptr), CKErr::Ok);
    EXPECT_EQ(file->GetRefusalCount(), 0);
    EXPECT_NE(Fresh()->GetObjectByNameAndClass("cube", CKCID_MESH), nullptr);
    Fresh()->DeleteCKFile(file);
}

} // namespace
