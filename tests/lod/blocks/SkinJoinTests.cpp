// "Skin Join": the correspondence, the per-frame step over moving objects,
// and the messages that install and remove it.
#include <cmath>
#include <cstring>

#include "core/behavior/CKBehaviorIO.h"
#include "core/object/CKClassRegistry.h"
#include "core/object/XObjectArray.h"
#include "core/parameter/CKOwnedValue.h"
#include "core/parameter/CKParameterGuids.h"
#include "core/parameter/CKParameterIn.h"
#include "core/parameter/CKParameterLocal.h"
#include "core/scene/CKLevel.h"
#include "core/scene/CKScene.h"
#include "includes/CKByteOrder.h"
#include "lod/blocks/MeshBlocks.h"
#include "render/context/RenderCallbackList.h"
#include "render/mesh/CKMesh.h"
#include "render/objects/CK3dEntity.h"
#include "render/objects/RCKRenderObject.h"
#include "system/math/QxMatrix.h"
#include "system/math/QxMatrixRotation.h"
#include "tests/lod/blocks/BlockTestSupport.h"

namespace {

class SkinJoinTest : public BlockFixture
{
public:
    // A mesh of the given points (no faces needed for a joined object).
    CK3dEntity* Points(const char* name, const std::vector<QxVector>& points)
    {
        auto* object = New<CK3dEntity>(CKCID_3DOBJECT, name);
        auto* mesh = New<CKMesh>(CKCID_MESH, name);
        mesh->SetVertexCount((int) points.size());
        for (size_t i = 0; i < points.size(); ++i) {
            mesh->SetVertexPosition((int) i, points[i]);
            mesh->SetVertexNormal((int) i, QxNormalize(points[i]));
        }
        object->SetCurrentMesh(mesh, TRUE);
        return object;
    }
    CKBehavior* Join(CK3dEntity* owner, std::initializer_list<CK3dEntity*> joined, float threshold = 0.2f)
    {
        CKBehavior* b = Block(BlockGuid::SkinJoin, owner);
        SetBlockInputValue(b, 0, threshold);
        int n = 1;
        for (CK3dEntity* e : joined) {
            if (n >= b->GetInputParameterCount())
                b->CreateInputParameterByGuid("more", CKGetClassParameterGuid(CKCID_3DOBJECT));
            SetBlockInputObject(b, n++, e);
        }
        SendBlockMessage(b, CKM_BEHAVIOREDITED);
        return b;
    }
    // The records of "Correspondance": object number and vertex.
    static std::vector<std::pair<int, int>> Records(CKBehavior* b)
    {
        CKParameterLocal* local = b->GetLocalParameter(1);
        const auto* bytes = static_cast<const CKBYTE*>(local->GetReadDataPtr(FALSE));
        std::vector<std::pair<int, int>> out;
        for (int i = 0; i + 8 <= local->GetDataSize(); i += 8)
            out.emplace_back((int) LoadLE32(bytes + i), (int) LoadLE32(bytes + i + 4));
        return out;
    }
    static bool HasJoinCallback(CK3dEntity* owner)
    {
        RenderCallbackList* list = static_cast<RCKRenderObject*>(owner)->GetCallbacks();
        return list && list->GetPreCallbacks().Size() > 0;
    }
    static CKBOOL Joining(CKBehavior* b)
    {
        CKBOOL joining = FALSE;
        b->GetLocalParameterValue(2, &joining);
        return joining;
    }
};

QxVector World(CK3dEntity* e, const QxVector& local)
{
    QxVector out;
    QxMultiplyMatrixVector(out, e->GetWorldMatrix(), local);
    return out;
}

QxMatrix Placement(const QxVector& axis, float angle, const QxVector& at)
{
    QxMatrix m;
    QxMatrixFromAxisAngle(m, axis, angle);
    m[3][0] = at.x;
    m[3][1] = at.y;
    m[3][2] = at.z;
    return m;
}

std::vector<QxVector> Square(float z, float half)
{
    return {QxVector(-half, -half, z), QxVector(half, -half, z), QxVector(half, half, z), QxVector(-half, half, z)};
}

TEST_F(SkinJoinTest, ATubeBetweenTwoBoxesFollowsThemThroughMovingAndTurningFrames)
{
    // The boxes' corners; the tube's end rings lie on the facing ones.
    std::vector<QxVector> box = Square(-1.0f, 1.0f);
    for (const QxVector& p : Square(1.0f, 1.0f))
        box.push_back(p);
    CK3dEntity* a = Points("A", box);
    CK3dEntity* b = Points("B", box);
    b->SetPosition3f(0.0f, 0.0f, 6.0f);
    std::vector<QxVector> tube;
    for (float z : {1.05f, 2.0f, 3.0f, 4.0f, 4.9f})
        for (const QxVector& p : Square(z, 1.0f))
            tube.push_back(p);
    CK3dEntity* join = Points("Tube", tube);
    CKBehavior* skin = Join(join, {a, b});
    const auto records = Records(skin);
    ASSERT_EQ(records.size(), 20u);
    for (int i = 0; i < 20; ++i) {
        if (i < 4)
            EXPECT_EQ(records[(size_t) i], std::make_pair(0, 4 + i)) << i;
        else if (i >= 16)
            EXPECT_EQ(records[(size_t) i], std::make_pair(1, i - 16)) << i;
        else
            EXPECT_EQ(records[(size_t) i], std::make_pair(-1, -1)) << i;
    }
    ASSERT_EQ(Run(skin), CKBR_ACTIVATENEXTFRAME);
    EXPECT_TRUE(Joining(skin));
    CKMesh* tubeMesh = join->GetCurrentMesh();
    for (int frame = 0; frame < 40; ++frame) {
        const float t = 0.1f * (float) frame;
        a->SetWorldMatrix(Placement(QxVector(0.3f, 1.0f, 0.2f), t, QxVector(t, -0.5f * t, 0.25f * t)));
        b->SetWorldMatrix(Placement(QxVector(1.0f, 0.0f, 0.5f), -1.3f * t, QxVector(0.0f, t, 6.0f - t)));
        join->SetWorldMatrix(Placement(QxVector(0.0f, 1.0f, 1.0f), 0.2f * t, QxVector(-t, 0.0f, 0.0f)));
        RunFrame(m_Dev, {join});
        for (int i = 0; i < 20; ++i) {
            QxVector p;
            tubeMesh->GetVertexPosition(i, &p);
            const QxVector joined = World(join, p);
            QxVector expected;
            if (i < 4)
                expected = World(a, box[(size_t) (4 + i)]);
            else if (i >= 16)
                expected = World(b, box[(size_t) (i - 16)]);
            else
                expected = World(join, tube[(size_t) i]);
            ASSERT_LE(QxMagnitude(joined - expected), 1e-5f * (1.0f + QxMagnitude(expected)))
                << "frame " << frame << " vertex " << i;
        }
    }
    // Its scratch records hold each joined object's matrix and mesh id.
    CKParameterLocal* scratch = skin->GetLocalParameter(3);
    ASSERT_EQ(scratch->GetDataSize(), 2 * 68);
    const auto* bytes = static_cast<const CKBYTE*>(scratch->GetReadDataPtr(FALSE));
    EXPECT_EQ(LoadLE32(bytes + 64), a->GetCurrentMesh()->GetID());
    EXPECT_EQ(LoadLE32(bytes + 68 + 64), b->GetCurrentMesh()->GetID());
}

TEST_F(SkinJoinTest, TheFirstOfEquallyClosePointsAndNoneAtTheThreshold)
{
    CK3dEntity* first = Points("First", {QxVector(0.1f, 0.0f, 0.0f), QxVector(5.0f, 0.0f, 0.0f)});
    CK3dEntity* second = Points("Second", {QxVector(-0.1f, 0.0f, 0.0f)});
    CK3dEntity* far = Points("Far", {QxVector(0.0f, 0.25f, 0.0f)});
    CK3dEntity* join = Points("Join", {QxVector(0.0f, 0.0f, 0.0f), QxVector(0.0f, 0.5f, 0.0f)});
    CKBehavior* skin = Join(join, {second, first, far}, 0.25f);
    const auto records = Records(skin);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0], std::make_pair(0, 0));
    // (0, 0.25) lies at exactly the threshold from (0, 0.5).
    EXPECT_EQ(records[1], std::make_pair(-1, -1));
}

TEST_F(SkinJoinTest, AJoinedObjectWithoutMeshKeepsItsNumberAndEmptyInputsTakeNone)
{
    auto* bare = New<CK3dEntity>(CKCID_3DOBJECT, "Bare");
    CK3dEntity* solid = Points("Solid", {QxVector(0.0f, 0.0f, 0.05f)});
    CK3dEntity* join = Points("Join", {QxVector(0.0f, 0.0f, 0.0f)});
    CKBehavior* skin = Block(BlockGuid::SkinJoin, join);
    SetBlockInputObject(skin, 1, bare);
    SetBlockInputObject(skin, 2, solid);
    skin->CreateInputParameterByGuid("Extra", CKPGUID_FLOAT);
    SendBlockMessage(skin, CKM_BEHAVIOREDITED);
    // The input of another type takes the object type and its name.
    EXPECT_STREQ(skin->GetInputParameter(3)->GetName(), "Object 3");
    EXPECT_EQ(skin->GetInputParameter(3)->GetGUID(), CKGetClassParameterGuid(CKCID_3DOBJECT));
    EXPECT_EQ(Records(skin), (std::vector<std::pair<int, int>>{{1, 0}}));
    auto* joined = CKGetOwnedValue<XObjectArray>(skin->GetLocalParameter(0));
    ASSERT_NE(joined, nullptr);
    ASSERT_EQ(joined->Size(), 2);
    EXPECT_EQ(joined->GetObjectID(0), bare->GetID());
    EXPECT_EQ(skin->GetLocalParameter(3)->GetDataSize(), 2 * 68);
}

TEST_F(SkinJoinTest, OnOffAndTheMessagesInstallAndRemoveTheCallback)
{
    CK3dEntity* a = Points("A", {QxVector(0.0f, 0.0f, 0.0f)});
    CK3dEntity* join = Points("Join", {QxVector(0.0f, 0.0f, 0.0f)});
    CKBehavior* skin = Join(join, {a});
    // "Off" with "On" in the same call: added, then removed.
    skin->ActivateInput(1, TRUE);
    EXPECT_EQ(Run(skin), CKBR_OK);
    EXPECT_FALSE(HasJoinCallback(join));
    EXPECT_FALSE(Joining(skin));
    EXPECT_EQ(ActiveInputs(skin), 0u);
    skin->ActivateInput(0, TRUE);
    EXPECT_EQ(Run(skin), CKBR_ACTIVATENEXTFRAME);
    EXPECT_TRUE(HasJoinCallback(join));
    EXPECT_EQ(Run(skin), CKBR_ACTIVATENEXTFRAME) << "later frames go on";
    SendBlockMessage(skin, CKM_BEHAVIORPAUSE);
    EXPECT_FALSE(HasJoinCallback(join));
    EXPECT_TRUE(Joining(skin));
    SendBlockMessage(skin, CKM_BEHAVIORRESUME);
    EXPECT_TRUE(HasJoinCallback(join));
    SendBlockMessage(skin, CKM_BEHAVIORDEACTIVATESCRIPT);
    EXPECT_FALSE(HasJoinCallback(join));
    SendBlockMessage(skin, CKM_BEHAVIORACTIVATESCRIPT);
    EXPECT_TRUE(HasJoinCallback(join));
    SendBlockMessage(skin, CKM_BEHAVIORRESET);
    EXPECT_FALSE(HasJoinCallback(join));
    EXPECT_FALSE(Joining(skin));
    SendBlockMessage(skin, CKM_BEHAVIORRESUME);
    EXPECT_FALSE(HasJoinCallback(join)) << "not joining";
    SendBlockMessage(skin, CKM_BEHAVIORATTACH);
    EXPECT_FALSE(Joining(skin));
}

TEST_F(SkinJoinTest, ANewSceneWhereTheBehaviourIsInactiveRemovesTheCallback)
{
    CK3dEntity* a = Points("A", {QxVector(0.0f, 0.0f, 0.0f)});
    CK3dEntity* join = Points("Join", {QxVector(0.0f, 0.0f, 0.0f)});
    CKBehavior* skin = Join(join, {a});
    m_Level->AddObject(join);
    EXPECT_EQ(Run(skin), CKBR_ACTIVATENEXTFRAME);
    m_Scene->DeactivateObject(skin);
    ASSERT_FALSE(skin->IsActiveInScene(m_Scene));
    SendBlockMessage(skin, CKM_BEHAVIORNEWSCENE);
    EXPECT_FALSE(HasJoinCallback(join));
    EXPECT_TRUE(Joining(skin)) << "joining again once active";
}

TEST_F(SkinJoinTest, ADeletedBehaviourLeavesNoCallbackBehind)
{
    CK3dEntity* a = Points("A", {QxVector(0.0f, 0.0f, 0.0f)});
    CK3dEntity* join = Points("Join", {QxVector(0.0f, 0.0f, 0.0f)});
    CKBehavior* skin = Join(join, {a});
    EXPECT_EQ(Run(skin), CKBR_ACTIVATENEXTFRAME);
    ASSERT_TRUE(HasJoinCallback(join));
    m_Context->DestroyObject(skin);
    EXPECT_FALSE(HasJoinCallback(join));
    RunFrame(m_Dev, {join});
}

TEST_F(SkinJoinTest, RecordsThatNoLongerFitAreLeftOut)
{
    CK3dEntity* a = Points("A", {QxVector(0.0f, 0.0f, 0.0f), QxVector(1.0f, 0.0f, 0.0f)});
    CK3dEntity* join = Points("Join", {QxVector(0.0f, 0.0f, 0.0f), QxVector(1.0f, 0.0f, 0.0f),
                                       QxVector(2.0f, 0.0f, 0.0f), QxVector(3.0f, 0.0f, 0.0f)});
    CKBehavior* skin = Join(join, {a});
    // Object 5, vertex 9, a negative vertex, and a record cut short.
    CKBYTE bytes[28];
    const int words[7] = {0, 1, 5, 0, 0, 9, 0};
    for (int i = 0; i < 7; ++i)
        StoreLE32(bytes + 4 * i, (CKDWORD) words[i]);
    StoreLE32(bytes + 16, 0xFFFFFFF0u);
    ASSERT_EQ(skin->SetLocalParameterValue(1, bytes, (int) sizeof bytes), 0);
    a->SetPosition3f(0.0f, 7.0f, 0.0f);
    EXPECT_EQ(Run(skin), CKBR_ACTIVATENEXTFRAME);
    RunFrame(m_Dev, {join});
    QxVector p;
    join->GetCurrentMesh()->GetVertexPosition(0, &p);
    EXPECT_EQ(p.y, 7.0f) << "the one record that fits";
    EXPECT_EQ(p.x, 1.0f);
    for (int i = 1; i < 4; ++i) {
        join->GetCurrentMesh()->GetVertexPosition(i, &p);
        EXPECT_EQ(p.x, (float) i);
        EXPECT_EQ(p.y, 0.0f);
    }
}

TEST_F(SkinJoinTest, TheScratchRecordsHoldEachObjectsMatrixIntoTheJoinAndItsMeshId)
{
    CK3dEntity* a = Points("A", {QxVector(0.0f, 0.0f, 0.0f)});
    auto* bare = New<CK3dEntity>(CKCID_3DOBJECT, "Bare");
    CK3dEntity* join = Points("Join", {QxVector(0.0f, 0.0f, 0.0f)});
    CKBehavior* skin = Join(join, {a, bare});
    ASSERT_EQ(Run(skin), CKBR_ACTIVATENEXTFRAME);
    a->SetWorldMatrix(Placement(QxVector(0.3f, 1.0f, 0.2f), 0.7f, QxVector(1.0f, -2.0f, 3.0f)));
    join->SetWorldMatrix(Placement(QxVector(1.0f, 0.0f, 0.5f), -0.4f, QxVector(-1.5f, 0.5f, 2.0f)));
    RunFrame(m_Dev, {join});
    CKParameterLocal* scratch = skin->GetLocalParameter(3);
    ASSERT_EQ(scratch->GetDataSize(), 2 * 68);
    const auto* bytes = static_cast<const CKBYTE*>(scratch->GetReadDataPtr(FALSE));
    EXPECT_EQ(LoadLE32(bytes + 64), a->GetCurrentMesh()->GetID());
    EXPECT_EQ(LoadLE32(bytes + 68 + 64), 0u) << "no mesh, no id";
    // The first record carries a point of A into the join's own space.
    QxMatrix m;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            m[r][c] = LoadLEFloat(bytes + 16 * r + 4 * c);
    for (const QxVector& p : {QxVector(0.0f, 0.0f, 0.0f), QxVector(1.0f, 2.0f, -3.0f)}) {
        QxVector viaRecord, expected;
        QxMultiplyMatrixVector(viaRecord, m, p);
        QxMultiplyMatrixVector(expected, join->GetInverseWorldMatrix(), World(a, p));
        EXPECT_NEAR(viaRecord.x, expected.x, 1e-5f);
        EXPECT_NEAR(viaRecord.y, expected.y, 1e-5f);
        EXPECT_NEAR(viaRecord.z, expected.z, 1e-5f);
    }
}

TEST_F(SkinJoinTest, LocalsThatHoldPointersReadAsNothing)
{
    // A file may give a local a pointer-valued type: its value is then a
    // whole pointer, read as no flag and no buffer, and never copied into
    // the smaller variable or buffer the block expects.
    CK3dEntity* a = Points("A", {QxVector(0.0f, 0.0f, 0.0f)});
    CK3dEntity* join = Points("Join", {QxVector(0.0f, 0.0f, 0.0f)});
    CKBehavior* skin = Join(join, {a});
    EXPECT_EQ(Run(skin), CKBR_ACTIVATENEXTFRAME);
    for (int local : {1, 2, 3})
        skin->GetLocalParameter(local)->SetGUID(CKPGUID_2DCURVE);
    a->SetPosition3f(0.0f, 7.0f, 0.0f);
    Run(skin);
    RunFrame(m_Dev, {join});
    QxVector p;
    join->GetCurrentMesh()->GetVertexPosition(0, &p);
    EXPECT_EQ(p.y, 0.0f) << "no correspondence is read from a pointer";
    SendBlockMessage(skin, CKM_BEHAVIORPAUSE);
    EXPECT_TRUE(HasJoinCallback(join)) << "a flag that does not read is no join to pause";
    m_Context->DestroyObject(skin);
    EXPECT_FALSE(HasJoinCallback(join));
}

TEST_F(SkinJoinTest, WithoutOwnerItReturnsZeroAndWithoutOwnerMeshItSizesOnlyTheScratch)
{
    CKBehavior* loose = CreateBlock(m_Context, BlockGuid::SkinJoin, nullptr);
    ASSERT_NE(loose, nullptr);
    loose->ActivateInput(0, TRUE);
    EXPECT_EQ(Run(loose), CKBR_OK);
    EXPECT_TRUE(loose->IsInputActive(0));
    auto* meshless = New<CK3dEntity>(CKCID_3DOBJECT, "Meshless");
    CK3dEntity* a = Points("A", {QxVector(0.0f, 0.0f, 0.0f)});
    CKBehavior* skin = Join(meshless, {a});
    EXPECT_EQ(skin->GetLocalParameter(3)->GetDataSize(), 68);
    EXPECT_EQ(Run(skin), CKBR_ACTIVATENEXTFRAME);
    RunFrame(m_Dev, {meshless});
}

} // namespace
