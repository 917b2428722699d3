// How the deformers start each run: from the scene's initial state with
// "Reset Mesh" (the same mesh every time), from the mesh as it is without
// it (runs add up), and, for behaviours of the older version, from the
// positions they saved themselves, whatever the length of that buffer.
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "includes/CKByteOrder.h"
#include "lod/blocks/MeshBlocks.h"
#include "render/mesh/CKMesh.h"
#include "render/mesh/CKTexture.h"
#include "render/objects/CK3dEntity.h"
#include "tests/lod/blocks/BlockTestSupport.h"

namespace {

// A deformer, its "Reset Mesh" input and how to give it a visible effect.
struct Deformer
{
    const char* Name;
    CKGUID Guid;
    int ResetInput;
    void (*Inputs)(BlockFixture& f, CKBehavior* b);
};

void NoInputs(BlockFixture&, CKBehavior*) {}

const Deformer kDeformers[] = {
    {"Twist", BlockGuid::Twist, 3, NoInputs},
    {"Taper", BlockGuid::Taper, 6, [](BlockFixture&, CKBehavior* b) { SetBlockInputValue(b, 0, 0.3f); }},
    {"Stretch", BlockGuid::Stretch, 3, NoInputs},
    {"Bend", BlockGuid::Bend, 3, [](BlockFixture&, CKBehavior* b) { SetBlockInputValue(b, 0, 1.0f); }},
    {"Noise", BlockGuid::Noise, 3, [](BlockFixture&, CKBehavior* b) { SetBlockInputValue(b, 1, 0.7f); }},
    {"SineDeform", BlockGuid::SineDeform, 3, NoInputs},
    {"TextureDisplace", BlockGuid::TextureDisplace, 7,
     [](BlockFixture& f, CKBehavior* b) {
         auto* texture = f.New<CKTexture>(CKCID_TEXTURE, "grey");
         texture->Create(4, 4, 32);
         for (int y = 0; y < 4; ++y)
             for (int x = 0; x < 4; ++x)
                 texture->SetPixel(x, y, 0x01010101u * (CKDWORD) (x + 4 * y));
         SetBlockInputObject(b, 0, texture);
         SetBlockInputValue(b, 8, (CKBOOL) FALSE);
     }},
};

class RestoreTest : public BlockFixture, public ::testing::WithParamInterface<int>
{
protected:
    const Deformer& D() const { return kDeformers[GetParam()]; }
    CKBehavior* Make(CK3dEntity* object, CKBOOL reset)
    {
        CKBehavior* b = Block(D().Guid, object);
        D().Inputs(*this, b);
        SetBlockInputValue(b, D().ResetInput, reset);
        return b;
    }
    // Runs the behaviour count times (Sine Deform's time held still).
    void RunTimes(CKBehavior* b, int count)
    {
        for (int i = 0; i < count; ++i) {
            b->ActivateInput(0, TRUE);
            ASSERT_EQ(Run(b, 0.0f), CKBR_OK) << D().Name;
        }
    }
};

TEST_P(RestoreTest, TenRunsWithResetGiveTheSameMeshBitForBit)
{
    CK3dEntity* object = NewObject(MeshKind::Lattice);
    CKMesh* mesh = object->GetCurrentMesh();
    CKBehavior* b = Make(object, TRUE);
    RunTimes(b, 1);
    const MeshSnapshot once = Snap(mesh);
    RunTimes(b, 9);
    const MeshSnapshot ten = Snap(mesh);
    ASSERT_EQ(once.Points.size(), ten.Points.size());
    EXPECT_EQ(std::memcmp(once.Points.data(), ten.Points.data(), once.Points.size() * sizeof(DVec)), 0) << D().Name;
    EXPECT_EQ(std::memcmp(once.Normals.data(), ten.Normals.data(), once.Normals.size() * sizeof(DVec)), 0) << D().Name;
}

TEST_P(RestoreTest, RunsWithoutResetAddUp)
{
    CK3dEntity* object = NewObject(MeshKind::Lattice);
    CKMesh* mesh = object->GetCurrentMesh();
    CKBehavior* b = Make(object, FALSE);
    const MeshSnapshot start = Snap(mesh);
    RunTimes(b, 1);
    const MeshSnapshot once = Snap(mesh);
    RunTimes(b, 9);
    const MeshSnapshot ten = Snap(mesh);
    // Each run moves the mesh on from where the last left it.
    EXPECT_GT(WorstRelativeError(once.Points, start.Points), 1e-4) << D().Name;
    EXPECT_GT(WorstRelativeError(ten.Points, once.Points), 1e-4) << D().Name;
}

TEST_P(RestoreTest, WithoutSceneNothingIsRestored)
{
    CK3dEntity* object = NewObject(MeshKind::Lattice);
    CKMesh* mesh = object->GetCurrentMesh();
    CKBehavior* b = Make(object, TRUE);
    m_Context->SetCurrentLevel(nullptr);
    RunTimes(b, 1);
    const MeshSnapshot once = Snap(mesh);
    BlockFrame frame;
    frame.DeltaTime = 0.0f;
    frame.RenderContext = m_Dev;
    b->ActivateInput(0, TRUE);
    ASSERT_EQ(RunBlock(b, frame), CKBR_OK);
    // The second run deformed the first one's result.
    EXPECT_GT(WorstRelativeError(Snap(mesh).Points, once.Points), 1e-4) << D().Name;
}

INSTANTIATE_TEST_SUITE_P(Deformers, RestoreTest, ::testing::Range(0, (int) (sizeof kDeformers / sizeof kDeformers[0])),
                         [](const ::testing::TestParamInfo<int>& info) { return kDeformers[info.param].Name; });

// The older blocks keep their positions in a Buffer local.
struct OlderBlock
{
    const char* Name;
    CKGUID Guid;
    int Local;      // the Buffer
    int ResetInput; // -1: "Reset" is the second input
};

const OlderBlock kOlder[] = {
    {"Twist", BlockGuid::Twist, 0, 3},
    {"Taper", BlockGuid::Taper, 0, 6},
    {"Stretch", BlockGuid::Stretch, 0, 3},
    {"Bend", BlockGuid::Bend, 0, 3},
    {"Noise", BlockGuid::Noise, 0, 3},
    {"SineDeform", BlockGuid::SineDeform, 1, 3},
    {"VertexTranslate", BlockGuid::VertexTranslate, 0, -1},
};

// The buffer's length against the mesh's 1331 vertices.
enum class BufferLength
{
    Empty,
    Short,
    Exact,
    Oversized,
    Ragged, // a partial position at the end
};

class OlderVersionTest : public BlockFixture, public ::testing::WithParamInterface<std::tuple<int, BufferLength>>
{
protected:
    const OlderBlock& O() const { return kOlder[std::get<0>(GetParam())]; }
};

// Positions far from the mesh's own, so that a restore shows.
std::vector<CKBYTE> SavedPositions(int count, int extraBytes)
{
    std::vector<CKBYTE> bytes((size_t) count * 12 + (size_t) extraBytes, 0xAB);
    for (int i = 0; i < count; ++i)
        for (int k = 0; k < 3; ++k)
            StoreLEFloat(bytes.data() + 12 * i + 4 * k, 100.0f + (float) i + 0.25f * (float) k);
    return bytes;
}

TEST_P(OlderVersionTest, RestoresFromItsOwnBufferAndNoFurther)
{
    const BufferLength length = std::get<1>(GetParam());
    CK3dEntity* object = NewObject(MeshKind::Prelit);
    CKMesh* mesh = object->GetCurrentMesh();
    const int vertices = mesh->GetModifierVertexCount();
    CKBehavior* b = Block(O().Guid, object, 0x10000);
    EXPECT_EQ(b->GetVersion(), 0x10000u);
    int saved = 0;
    int extra = 0;
    switch (length) {
    case BufferLength::Empty: saved = 0; break;
    case BufferLength::Short: saved = 100; break;
    case BufferLength::Exact: saved = vertices; break;
    case BufferLength::Oversized: saved = vertices + 500; break;
    case BufferLength::Ragged:
        saved = 40;
        extra = 7;
        break;
    }
    const std::vector<CKBYTE> bytes = SavedPositions(saved, extra);
    if (!bytes.empty()) {
        ASSERT_EQ(b->SetLocalParameterValue(O().Local, bytes.data(), (int) bytes.size()), 0);
    }
    // The deformation itself is kept neutral: what shows is the restore.
    if (O().Guid == BlockGuid::Bend || O().Guid == BlockGuid::Twist)
        SetBlockInputValue(b, 0, 0.0f);
    if (O().Guid == BlockGuid::Taper || O().Guid == BlockGuid::Stretch)
        SetBlockInputValue(b, 0, 0.0f);
    if (O().Guid == BlockGuid::Noise || O().Guid == BlockGuid::SineDeform)
        SetBlockInputText(b, 2, "0,0,0");
    if (O().Guid == BlockGuid::SineDeform)
        SetBlockInputText(b, 0, "0,0,0");
    if (O().ResetInput < 0) {
        b->ActivateInput(0, FALSE);
        b->ActivateInput(1, TRUE);
    }
    const MeshSnapshot before = Snap(mesh);
    const int result = Run(b);
    const MeshSnapshot after = Snap(mesh);
    const int restored = saved < vertices ? saved : vertices;
    // "Reset" with nothing saved does nothing at all.
    if (O().ResetInput < 0 && restored == 0) {
        EXPECT_EQ(ActiveOutputs(b), 0u);
    }
    EXPECT_EQ(result, CKBR_OK);
    for (int i = 0; i < vertices; ++i) {
        const DVec expected = i < restored ? DVec{100.0 + i, 100.25 + i, 100.5 + i} : before.Points[(size_t) i];
        ASSERT_LE(Length(after.Points[(size_t) i] - expected), 1e-3 * (1.0 + Length(expected)))
            << O().Name << " vertex " << i;
    }
}

TEST_P(OlderVersionTest, DeletionPutsTheSavedPositionsBack)
{
    const BufferLength length = std::get<1>(GetParam());
    if (length != BufferLength::Short && length != BufferLength::Oversized)
        return;
    CK3dEntity* object = NewObject(MeshKind::Lattice);
    CKMesh* mesh = object->GetCurrentMesh();
    const int vertices = mesh->GetModifierVertexCount();
    CKBehavior* b = Block(O().Guid, object, 0x10000);
    const int saved = length == BufferLength::Short ? 10 : vertices + 1;
    const std::vector<CKBYTE> bytes = SavedPositions(saved, 0);
    ASSERT_EQ(b->SetLocalParameterValue(O().Local, bytes.data(), (int) bytes.size()), 0);
    const MeshSnapshot before = Snap(mesh);
    m_Context->DestroyObject(b);
    const MeshSnapshot after = Snap(mesh);
    for (int i = 0; i < vertices; ++i) {
        const DVec expected = i < saved ? DVec{100.0 + i, 100.25 + i, 100.5 + i} : before.Points[(size_t) i];
        ASSERT_EQ(Length(after.Points[(size_t) i] - expected), 0.0) << O().Name << " vertex " << i;
    }
}

std::string OlderRunName(const ::testing::TestParamInfo<std::tuple<int, BufferLength>>& info)
{
    const char* lengths[] = {"Empty", "Short", "Exact", "Oversized", "Ragged"};
    return std::string(kOlder[std::get<0>(info.param)].Name) + lengths[(int) std::get<1>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(OlderBlocks, OlderVersionTest,
                         ::testing::Combine(::testing::Range(0, (int) (sizeof kOlder / sizeof kOlder[0])),
                                            ::testing::Values(BufferLength::Empty, BufferLength::Short,
                                                              BufferLength::Exact, BufferLength::Oversized,
                                                              BufferLength::Ragged)),
                         OlderRunName);

// A current behaviour deleted leaves the mesh as it is.
TEST_F(BlockFixture, DeletingACurrentDeformerKeepsTheDeformedMesh)
{
    CK3dEntity* object = NewObject(MeshKind::Lattice);
    CKMesh* mesh = object->GetCurrentMesh();
    CKBehavior* b = Block(BlockGuid::Twist, object);
    ASSERT_EQ(Run(b), CKBR_OK);
    const MeshSnapshot twisted = Snap(mesh);
    m_Context->DestroyObject(b);
    EXPECT_EQ(WorstRelativeError(Snap(mesh).Points, twisted.Points), 0.0);
}

} // namespace
