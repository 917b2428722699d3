// "Vertex Translate", "Texture Displace", "Invert Winding" and "Change
// Referential": ranges, referentials, texels and refusals.
#include <climits>
#include <cmath>

#include "core/behavior/CKBehaviorIO.h"
#include "core/scene/CKLevel.h"
#include "lod/blocks/MeshBlocks.h"
#include "render/mesh/CKMesh.h"
#include "render/mesh/CKTexture.h"
#include "render/objects/CK3dEntity.h"
#include "tests/lod/blocks/BlockTestSupport.h"

namespace {

class LocalDeformationTest : public BlockFixture
{
public:
    // An object whose mesh holds count vertices at (i, 0, 0), lit.
    CK3dEntity* Row(int count)
    {
        std::vector<QxVector> points;
        for (int i = 0; i < count; ++i)
            points.emplace_back((float) i, 0.0f, 0.0f);
        CK3dEntity* object = PointsObject(points, "Row");
        for (int i = 0; i < count; ++i)
            object->GetCurrentMesh()->SetVertexNormal(i, QxVector(0.0f, 1.0f, 0.0f));
        KeepInitialState(object->GetCurrentMesh());
        return object;
    }
    static QxVector At(CK3dEntity* object, int i)
    {
        QxVector p;
        object->GetCurrentMesh()->GetVertexPosition(i, &p);
        return p;
    }
};

TEST_F(LocalDeformationTest, VertexTranslateTakesTheWholeRangeAndRefusesOneMore)
{
    CK3dEntity* object = Row(6);
    CKBehavior* b = Block(BlockGuid::VertexTranslate, object);
    SetBlockInputValue(b, 1, 6);
    SetBlockInputText(b, 2, "0,0,1");
    ASSERT_EQ(Run(b), CKBR_OK);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(At(object, i).z, 1.0f) << i;
    // (start, count) pairs outside the mesh, among them one whose end
    // passes the integers.
    const int refused[][2] = {{0, 7}, {1, 6}, {-1, 2}, {2, -1}, {INT_MAX, 2}, {5, INT_MAX}};
    for (const auto& r : refused) {
        b->ActivateInput(0, TRUE);
        b->ActivateOutput(0, FALSE);
        SetBlockInputValue(b, 0, r[0]);
        SetBlockInputValue(b, 1, r[1]);
        m_Console.clear();
        EXPECT_EQ(Run(b), CKBR_PARAMETERERROR) << r[0] << ", " << r[1];
        EXPECT_EQ(m_Console, std::vector<std::string>{"Bad vertices number..."});
        EXPECT_EQ(ActiveInputs(b), 1u);
        EXPECT_EQ(ActiveOutputs(b), 0u);
        for (int i = 0; i < 6; ++i)
            ASSERT_EQ(At(object, i).z, 1.0f);
    }
}

TEST_F(LocalDeformationTest, VertexTranslateReadsTheVectorInItsReferential)
{
    CK3dEntity* object = Row(3);
    object->SetScale3f(2.0f, 2.0f, 2.0f);
    CKBehavior* b = Block(BlockGuid::VertexTranslate, object);
    SetBlockInputText(b, 2, "0,4,0");
    // Empty: world space, halved by the object's scale.
    ASSERT_EQ(Run(b), CKBR_OK);
    EXPECT_EQ(At(object, 0).y, 2.0f);
    // The object itself: its own space as given.
    SetBlockInputObject(b, 3, object);
    b->ActivateInput(0, TRUE);
    ASSERT_EQ(Run(b), CKBR_OK);
    EXPECT_EQ(At(object, 0).y, 6.0f);
    // Another entity, turned a quarter about z: its y is the world's -x.
    auto* other = New<CK3dEntity>(CKCID_3DENTITY, "Other");
    other->SetScale3f(3.0f, 3.0f, 3.0f);
    other->Rotate3f(0.0f, 0.0f, 1.0f, 1.5707963f);
    SetBlockInputObject(b, 3, other);
    b->ActivateInput(0, TRUE);
    ASSERT_EQ(Run(b), CKBR_OK);
    EXPECT_NEAR(std::fabs(At(object, 0).x), 6.0f, 1e-4f);
    EXPECT_NEAR(At(object, 0).y, 6.0f, 1e-4f);
}

TEST_F(LocalDeformationTest, VertexTranslateResetRestoresAndNeedsAMesh)
{
    CK3dEntity* object = Row(4);
    CKBehavior* b = Block(BlockGuid::VertexTranslate, object);
    SetBlockInputValue(b, 1, 4);
    SetBlockInputText(b, 2, "0,3,0");
    ASSERT_EQ(Run(b), CKBR_OK);
    b->ActivateInput(1, TRUE);
    b->ActivateOutput(0, FALSE);
    ASSERT_EQ(Run(b), CKBR_OK);
    EXPECT_EQ(At(object, 2).y, 0.0f);
    EXPECT_EQ(ActiveInputs(b), 0u);
    EXPECT_EQ(ActiveOutputs(b), 1u);
    // No mesh, no target: nothing is touched.
    CKBehavior* bare = Block(BlockGuid::VertexTranslate, New<CK3dEntity>(CKCID_3DOBJECT, "Bare"));
    EXPECT_EQ(Run(bare), CKBR_OWNERERROR);
    EXPECT_EQ(ActiveInputs(bare), 1u);
    EXPECT_EQ(ActiveOutputs(bare), 0u);
    SetBlockTarget(bare, nullptr);
    EXPECT_EQ(Run(bare), CKBR_OWNERERROR);
}

class TextureDisplaceTest : public LocalDeformationTest
{
public:
    // A 4 x 2 texture, texel (x, y) = colour.
    CKTexture* Texture(CKDWORD (*color)(int x, int y))
    {
        auto* t = New<CKTexture>(CKCID_TEXTURE, "t");
        EXPECT_TRUE(t->Create(4, 2, 32));
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 4; ++x)
                t->SetPixel(x, y, color(x, y));
        return t;
    }
    // An object of one vertex per texture coordinate pair, normal +y.
    CK3dEntity* Mapped(std::initializer_list<Qx2DVector> uvs)
    {
        CK3dEntity* object = Row((int) uvs.size());
        int i = 0;
        for (const Qx2DVector& uv : uvs)
            object->GetCurrentMesh()->SetVertexTextureCoordinates(i++, uv.x, uv.y);
        return object;
    }
    CKBehavior* Displace(CK3dEntity* object, CKTexture* texture)
    {
        CKBehavior* b = Block(BlockGuid::TextureDisplace, object);
        SetBlockInputObject(b, 0, texture);
        SetBlockInputValue(b, 8, (CKBOOL) FALSE);
        return b;
    }
};

TEST_F(TextureDisplaceTest, AWhiteOpaqueTextureAtTwentyPercentGives204)
{
    CK3dEntity* object = Mapped({Qx2DVector(0.3f, 0.7f), Qx2DVector(-2.5f, 3.0f)});
    CKBehavior* b = Displace(object, Texture([](int, int) -> CKDWORD { return 0xFFFFFFFF; }));
    ASSERT_EQ(Run(b), CKBR_OK);
    EXPECT_EQ(ActiveOutputs(b), 1u);
    EXPECT_FLOAT_EQ(At(object, 0).y, 204.0f);
    EXPECT_FLOAT_EQ(At(object, 1).y, 204.0f);
}

TEST_F(TextureDisplaceTest, CoordinatesOutsideTheUnitSquareReadTheirFractionalParts)
{
    // The red byte counts the column: 1.25 reads column 0.25 x 3, -0.25
    // reads 0.75 x 3.
    CK3dEntity* object = Mapped({Qx2DVector(1.25f, 0.0f), Qx2DVector(-0.25f, 0.0f), Qx2DVector(2.0f, 0.0f)});
    CKBehavior* b = Displace(object, Texture([](int x, int) -> CKDWORD { return (CKDWORD) (10 * (x + 1)) << 16; }));
    SetBlockInputValue(b, 1, 1.0f);
    for (int k = 2; k <= 4; ++k)
        SetBlockInputValue(b, k, 0.0f);
    ASSERT_EQ(Run(b), CKBR_OK);
    EXPECT_FLOAT_EQ(At(object, 0).y, 10.0f);
    EXPECT_FLOAT_EQ(At(object, 1).y, 30.0f);
    EXPECT_FLOAT_EQ(At(object, 2).y, 10.0f);
}

TEST_F(TextureDisplaceTest, CoordinatesThatReachTheEdgeOrAreNoNumberStayInTheImage)
{
    CK3dEntity* object = Mapped({Qx2DVector(-1e-9f, -1e-9f), Qx2DVector(NAN, NAN), Qx2DVector(INFINITY, -INFINITY),
                                 Qx2DVector(0.999f, 0.999f)});
    CKBehavior* b = Displace(object, Texture([](int x, int y) -> CKDWORD { return (CKDWORD) (x + 4 * y + 1); }));
    SetBlockInputValue(b, 3, 1.0f);
    // The rectangle reaches the right and lower edges themselves.
    SetBlockInputText(b, 6, "4,2");
    ASSERT_EQ(Run(b), CKBR_OK);
    EXPECT_FLOAT_EQ(At(object, 0).y, 8.0f) << "fraction 1 clamps to the last texel";
    EXPECT_FLOAT_EQ(At(object, 1).y, 1.0f);
    EXPECT_FLOAT_EQ(At(object, 2).y, 1.0f);
    EXPECT_FLOAT_EQ(At(object, 3).y, 8.0f);
}

TEST_F(TextureDisplaceTest, TheSourceRectangleWrapsIntoTheTexture)
{
    CK3dEntity* object = Mapped({Qx2DVector(0.0f, 0.0f), Qx2DVector(0.5f, 0.5f)});
    CKBehavior* b = Displace(object, Texture([](int x, int y) -> CKDWORD { return (CKDWORD) (x + 4 * y + 1); }));
    SetBlockInputValue(b, 3, 1.0f);
    // (-3, -1) is (1, 1); (10, 1e30) is (2, something in the image).
    SetBlockInputText(b, 5, "-3,-1");
    SetBlockInputText(b, 6, "10,1");
    ASSERT_EQ(Run(b), CKBR_OK);
    EXPECT_FLOAT_EQ(At(object, 0).y, 6.0f);
    EXPECT_FLOAT_EQ(At(object, 1).y, 6.0f);
    SetBlockInputText(b, 6, "1e30,-1e30");
    b->ActivateInput(0, TRUE);
    ASSERT_EQ(Run(b), CKBR_OK);
}

TEST_F(TextureDisplaceTest, WithoutThreeDimensionsTheHeightBecomesTheDisplacement)
{
    CK3dEntity* object = Mapped({Qx2DVector(0.0f, 0.0f)});
    object->GetCurrentMesh()->SetVertexPosition(0, QxVector(5.0f, 9.0f, 7.0f));
    CKBehavior* b = Displace(object, Texture([](int, int) -> CKDWORD { return 0x01020304; }));
    CKBOOL flat = FALSE;
    b->SetLocalParameterValue(0, &flat, (int) sizeof flat);
    ASSERT_EQ(Run(b), CKBR_OK);
    const QxVector p = At(object, 0);
    EXPECT_EQ(p.x, 5.0f);
    EXPECT_FLOAT_EQ(p.y, 0.2f * (2 + 3 + 4 + 1));
    EXPECT_EQ(p.z, 7.0f);
}

TEST_F(TextureDisplaceTest, TheFirstVersionReadsOneScaleAndItsComponent)
{
    CK3dEntity* object = Mapped({Qx2DVector(0.0f, 0.0f)});
    CKTexture* texture = Texture([](int, int) -> CKDWORD { return 0x00102030; });
    const struct
    {
        int Component;
        float Expected;
    } rows[] = {{0, 16.0f}, {1, 32.0f}, {2, 48.0f}, {3, 0.0f}, {-1, 0.0f}};
    for (const auto& row : rows) {
        object->GetCurrentMesh()->SetVertexPosition(0, QxVector(0.0f, 0.0f, 0.0f));
        CKBehavior* b = Block(BlockGuid::TextureDisplace, object, 0x10000);
        SetBlockInputObject(b, 0, texture);
        SetBlockInputValue(b, 1, 1.0f);
        SetBlockInputValue(b, 2, row.Component);
        ASSERT_EQ(Run(b), CKBR_OK);
        EXPECT_FLOAT_EQ(At(object, 0).y, row.Expected) << row.Component;
    }
}

TEST_F(TextureDisplaceTest, WhatItCannotReadEndsItQuietly)
{
    CK3dEntity* object = Mapped({Qx2DVector(0.0f, 0.0f)});
    auto* empty = New<CKTexture>(CKCID_TEXTURE, "empty");
    CKObject* notTexture = New<CKMesh>(CKCID_MESH, "m");
    for (CKObject* input : {(CKObject*) nullptr, (CKObject*) empty, notTexture}) {
        CKBehavior* b = Displace(object, nullptr);
        SetBlockInputObject(b, 0, input);
        EXPECT_EQ(Run(b), CKBR_OK);
        EXPECT_EQ(ActiveOutputs(b), 0u);
        EXPECT_EQ(ActiveInputs(b), 1u);
        EXPECT_EQ(At(object, 0).y, 0.0f);
    }
    CKBehavior* bare = Block(BlockGuid::TextureDisplace, New<CK3dEntity>(CKCID_3DOBJECT, "Bare"));
    EXPECT_EQ(Run(bare), CKBR_OWNERERROR);
}

TEST_F(TextureDisplaceTest, ResetMeshStartsFromTheInitialState)
{
    CK3dEntity* object = Mapped({Qx2DVector(0.0f, 0.0f)});
    KeepInitialState(object->GetCurrentMesh());
    CKBehavior* b = Displace(object, Texture([](int, int) -> CKDWORD { return 0x05050505; }));
    SetBlockInputValue(b, 7, (CKBOOL) TRUE);
    for (int i = 0; i < 3; ++i) {
        b->ActivateInput(0, TRUE);
        ASSERT_EQ(Run(b), CKBR_OK);
        EXPECT_FLOAT_EQ(At(object, 0).y, 4.0f) << i;
    }
}

TEST_F(LocalDeformationTest, InvertWindingAndChangeReferentialNeedTheirTargets)
{
    CKBehavior* winding = CreateBlock(m_Context, BlockGuid::InvertWinding, nullptr);
    ASSERT_NE(winding, nullptr);
    winding->ActivateInput(0, TRUE);
    EXPECT_EQ(Run(winding), CKBR_OWNERERROR);
    EXPECT_EQ(ActiveOutputs(winding), 1u);
    CKBehavior* referential = CreateBlock(m_Context, BlockGuid::ChangeReferential, nullptr);
    EXPECT_EQ(Run(referential), CKBR_OWNERERROR);
    // An empty referential is the world.
    CK3dEntity* object = Row(2);
    object->SetPosition3f(0.0f, 10.0f, 0.0f);
    CKBehavior* change = Block(BlockGuid::ChangeReferential, object);
    ASSERT_EQ(Run(change), CKBR_OK);
    EXPECT_EQ(At(object, 1).y, 10.0f);
    QxVector p;
    object->GetPosition(&p);
    EXPECT_EQ(p.y, 0.0f);
}

} // namespace
