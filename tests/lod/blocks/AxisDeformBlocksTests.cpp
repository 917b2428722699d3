// "Twist", "Taper", "Stretch" and "Bend" on the worked numbers, and on
// what they cannot deform.
#include <cmath>
#include <numbers>

#include "core/parameter/CKParameterLocal.h"
#include "core/scene/CKLevel.h"
#include "lod/blocks/MeshBlocks.h"
#include "render/mesh/CKMesh.h"
#include "render/objects/CK3dEntity.h"
#include "tests/lod/blocks/BlockTestSupport.h"

namespace {

constexpr float kPi = std::numbers::pi_v<float>;

class AxisDeformTest : public BlockFixture
{
public:
    CK3dEntity* Points(std::initializer_list<QxVector> points) { return PointsObject(points); }
    static QxVector At(CK3dEntity* object, int i)
    {
        QxVector p;
        object->GetCurrentMesh()->GetVertexPosition(i, &p);
        return p;
    }
};

TEST_F(AxisDeformTest, TwistDefaultsTurnTheTopAQuarterOfPiAndLeaveTheMiddle)
{
    CK3dEntity* object = Points({QxVector(1.0f, -1.0f, 0.0f), QxVector(1.0f, 0.0f, 0.0f), QxVector(1.0f, 1.0f, 0.0f)});
    CKBehavior* b = Block(BlockGuid::Twist, object);
    ASSERT_EQ(Run(b), CKBR_OK);
    const QxVector top = At(object, 2), middle = At(object, 1);
    EXPECT_FLOAT_EQ(top.y, 1.0f);
    EXPECT_NEAR(std::atan2(std::fabs(top.z), top.x), kPi / 4.0f, 1e-5f);
    EXPECT_NEAR(middle.x, 1.0f, 1e-6f);
    EXPECT_NEAR(middle.z, 0.0f, 1e-6f);
}

TEST_F(AxisDeformTest, ATinyBiasTakesThePowerPath)
{
    CK3dEntity* linear = Points({QxVector(1.0f, -1.0f, 0.0f), QxVector(1.0f, 0.5f, 0.0f), QxVector(1.0f, 1.0f, 0.0f)});
    CK3dEntity* biased = Points({QxVector(1.0f, -1.0f, 0.0f), QxVector(1.0f, 0.5f, 0.0f), QxVector(1.0f, 1.0f, 0.0f)});
    CKBehavior* a = Block(BlockGuid::Twist, linear);
    CKBehavior* b = Block(BlockGuid::Twist, biased);
    SetBlockInputValue(b, 1, 0.0001f);
    ASSERT_EQ(Run(a), CKBR_OK);
    ASSERT_EQ(Run(b), CKBR_OK);
    // The power path, with an exponent a hair above 1, lands a hair away.
    const float apart = QxMagnitude(At(linear, 1) - At(biased, 1));
    EXPECT_GT(apart, 0.0f);
    EXPECT_LT(apart, 1e-5f);
}

TEST_F(AxisDeformTest, TaperScalesTheEndsAsTheWorkedExampleSays)
{
    const struct
    {
        CKBOOL Symmetry;
        float AtTop, AtBottom;
    } rows[] = {{FALSE, 0.9f, 1.1f}, {TRUE, 1.1f, 1.1f}};
    for (const auto& row : rows) {
        CK3dEntity* object = Points({QxVector(1.0f, 2.0f, 10.0f), QxVector(1.0f, 2.0f, -10.0f), QxVector(0, 0, 0)});
        CKBehavior* b = Block(BlockGuid::Taper, object);
        // The box runs from 0 to 10 along z.
        const QxBbox box(QxVector(-1.0f, -1.0f, 0.0f), QxVector(1.0f, 1.0f, 10.0f));
        ASSERT_EQ(b->SetLocalParameterValue(1, &box, (int) sizeof box), 0);
        SetBlockInputValue(b, 3, row.Symmetry);
        SetBlockInputValue(b, 6, (CKBOOL) FALSE);
        ASSERT_EQ(Run(b), CKBR_OK);
        EXPECT_FLOAT_EQ(At(object, 0).x, row.AtTop);
        EXPECT_FLOAT_EQ(At(object, 0).y, 2.0f * row.AtTop);
        EXPECT_FLOAT_EQ(At(object, 1).x, row.AtBottom);
        EXPECT_EQ(At(object, 0).z, 10.0f);
    }
}

TEST_F(AxisDeformTest, StretchOfOneDoublesTheAxisAndHalvesTheMiddle)
{
    CK3dEntity* object = Points({QxVector(1.0f, 1.0f, -1.0f), QxVector(1.0f, 1.0f, 0.0f), QxVector(1.0f, 1.0f, 1.0f)});
    CKBehavior* b = Block(BlockGuid::Stretch, object);
    SetBlockInputValue(b, 0, 1.0f);
    ASSERT_EQ(Run(b), CKBR_OK);
    EXPECT_FLOAT_EQ(At(object, 0).x, 1.0f);
    EXPECT_FLOAT_EQ(At(object, 0).z, -2.0f);
    EXPECT_FLOAT_EQ(At(object, 1).x, 0.5f);
    EXPECT_FLOAT_EQ(At(object, 1).y, 0.5f);
    EXPECT_FLOAT_EQ(At(object, 2).z, 2.0f);
}

// What a deformer cannot work on leaves the mesh as it was, without a
// single value that is not a number.
struct Degenerate
{
    const char* Name;
    CKGUID Guid;
    const char* Axis;
    int AxisInput;
    bool Flat; // the points lie in the plane z = 0
    bool Activates;
};

const Degenerate kDegenerate[] = {
    {"TwistZeroAxis", BlockGuid::Twist, "0,0,0", 2, false, true},
    {"TwistFlat", BlockGuid::Twist, "0,0,1", 2, true, true},
    {"TaperZeroAxis", BlockGuid::Taper, "0,0,0", 2, false, true},
    {"TaperFlat", BlockGuid::Taper, "0,0,1", 2, true, false},
    {"StretchZeroAxis", BlockGuid::Stretch, "0,0,0", 2, false, true},
    {"StretchFlat", BlockGuid::Stretch, "0,0,1", 2, true, true},
    {"BendZeroAxis", BlockGuid::Bend, "0,0,0", 2, false, true},
    {"BendFlat", BlockGuid::Bend, "0,0,1", 2, true, true},
    {"BendNotANumberAxis", BlockGuid::Bend, "nan,0,0", 2, false, true},
};

class DegenerateTest : public AxisDeformTest, public ::testing::WithParamInterface<int>
{};

TEST_P(DegenerateTest, NothingMovesAndNothingBecomesNaN)
{
    const Degenerate& d = kDegenerate[GetParam()];
    CK3dEntity* object = d.Flat ? Points({QxVector(1.0f, 2.0f, 0.0f), QxVector(-1.0f, 0.5f, 0.0f)})
                                : Points({QxVector(1.0f, 2.0f, 3.0f), QxVector(-1.0f, 0.5f, -3.0f)});
    CKMesh* mesh = object->GetCurrentMesh();
    mesh->BuildNormals();
    KeepInitialState(mesh);
    CKBehavior* b = Block(d.Guid, object);
    SetBlockInputText(b, d.AxisInput, d.Axis);
    if (d.Guid == BlockGuid::Bend)
        SetBlockInputValue(b, 0, 1.0f);
    const MeshSnapshot before = Snap(mesh);
    ASSERT_EQ(Run(b), CKBR_OK);
    const MeshSnapshot after = Snap(mesh);
    EXPECT_EQ(WorstRelativeError(after.Points, before.Points), 0.0);
    for (const DVec& n : after.Normals)
        EXPECT_TRUE(std::isfinite(n.x) && std::isfinite(n.y) && std::isfinite(n.z));
    EXPECT_EQ(ActiveOutputs(b), d.Activates ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Deformers, DegenerateTest,
                         ::testing::Range(0, (int) (sizeof kDegenerate / sizeof kDegenerate[0])),
                         [](const ::testing::TestParamInfo<int>& info) { return kDegenerate[info.param].Name; });

TEST_F(AxisDeformTest, AFlatTaperAfterARestoreStillRefreshesTheMesh)
{
    CK3dEntity* object = Points({QxVector(1.0f, 2.0f, 0.0f), QxVector(-1.0f, 0.5f, 0.0f), QxVector(0, 1, 0)});
    CKMesh* mesh = object->GetCurrentMesh();
    mesh->SetFaceCount(1);
    mesh->SetFaceVertexIndex(0, 0, 1, 2);
    KeepInitialState(mesh);
    mesh->SetVertexPosition(0, QxVector(50.0f, 50.0f, 0.0f));
    mesh->SetVertexNormal(0, QxVector(0.0f, 0.0f, 0.0f));
    CKBehavior* b = Block(BlockGuid::Taper, object);
    ASSERT_EQ(Run(b), CKBR_OK);
    EXPECT_EQ(At(object, 0).x, 1.0f) << "restored";
    QxVector n;
    mesh->GetVertexNormal(0, &n);
    EXPECT_NEAR(QxMagnitude(n), 1.0f, 1e-5f) << "normals rebuilt";
    EXPECT_NEAR(mesh->GetLocalBox().Max.x, 1.0f, 1e-6f) << "bounds follow";
    EXPECT_EQ(ActiveInputs(b), 1u);
    EXPECT_EQ(ActiveOutputs(b), 0u);
}

TEST_F(AxisDeformTest, MissingTargetsOrMeshesAreRefusedUntouched)
{
    auto* bare = New<CK3dEntity>(CKCID_3DOBJECT, "Bare");
    for (CKGUID guid :
         {BlockGuid::Twist, BlockGuid::Taper, BlockGuid::Stretch, BlockGuid::Noise, BlockGuid::SineDeform}) {
        CKBehavior* b = Block(guid, bare);
        EXPECT_EQ(Run(b), CKBR_OWNERERROR);
        EXPECT_EQ(ActiveInputs(b), 1u);
        EXPECT_EQ(ActiveOutputs(b), 0u);
        SetBlockTarget(b, nullptr);
        EXPECT_EQ(Run(b), CKBR_OWNERERROR);
    }
    // Bend ends as it always ends.
    CKBehavior* bend = Block(BlockGuid::Bend, bare);
    EXPECT_EQ(Run(bend), CKBR_OWNERERROR);
    EXPECT_EQ(ActiveInputs(bend), 0u);
    EXPECT_EQ(ActiveOutputs(bend), 1u);
}

TEST_F(AxisDeformTest, AnAttachTakesTheBoxOfBlocksThatKeepOne)
{
    CK3dEntity* object = Points({QxVector(1.0f, 2.0f, 3.0f), QxVector(-1.0f, -2.0f, -4.0f)});
    for (CKGUID guid : {BlockGuid::Twist, BlockGuid::Taper, BlockGuid::Stretch, BlockGuid::Bend}) {
        CKBehavior* b = Block(guid, object);
        QxBbox box;
        ASSERT_EQ(b->GetLocalParameterValue(1, &box), 0);
        EXPECT_EQ(box.Max.z, 3.0f);
        EXPECT_EQ(box.Min.z, -4.0f);
    }
    // Noise and Vertex Translate keep no box: their Buffer stays as it was.
    for (CKGUID guid : {BlockGuid::Noise, BlockGuid::VertexTranslate}) {
        CKBehavior* b = Block(guid, object);
        EXPECT_EQ(b->GetLocalParameterCount(), 1);
        EXPECT_NE(b->GetLocalParameter(0)->GetDataSize(), 24);
    }
}

TEST_F(AxisDeformTest, BendKeepsItsBaseAndLeavesNormalsWhenAsked)
{
    CK3dEntity* object = Points({QxVector(0.3f, 0.0f, 0.2f), QxVector(0.3f, 0.0f, 1.0f), QxVector(0, 0.5f, -1.0f)});
    CKMesh* mesh = object->GetCurrentMesh();
    mesh->SetVertexNormal(1, QxVector(1.0f, 0.0f, 0.0f));
    CKBehavior* b = Block(BlockGuid::Bend, object);
    SetBlockInputValue(b, 0, 1.0f);
    SetBlockInputValue(b, 3, (CKBOOL) FALSE);
    SetBlockInputValue(b, 4, (CKBOOL) FALSE);
    ASSERT_EQ(Run(b), CKBR_OK);
    // Along z the bend runs in its frame's y: the base y = 0 stays.
    EXPECT_NEAR(QxMagnitude(At(object, 0) - QxVector(0.3f, 0.0f, 0.2f)), 0.0f, 1e-6f);
    EXPECT_GT(QxMagnitude(At(object, 2) - QxVector(0.0f, 0.5f, -1.0f)), 1e-3f);
    QxVector n;
    mesh->GetVertexNormal(1, &n);
    EXPECT_EQ(n.x, 1.0f);
}

} // namespace
