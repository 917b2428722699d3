// 3D sprites: the box kept as the size, the bytes of the section, picking,
// turning towards the viewer, and the quad drawn or queued.
#include <cmath>
#include <string>

#include "core/chunk/CKStateChunk.h"
#include "render/context/RenderBatchList.h"
#include "render/mesh/CKMaterial.h"
#include "render/objects/RCKSprite3D.h"
#include "tests/render/support/RenderTestSupport.h"

namespace {

class Sprite3DTests : public RenderFixture
{
protected:
    RCKSprite3D* NewSprite(const char* name = "sprite")
    {
        return static_cast<RCKSprite3D*>(m_Context->CreateObject(CKCID_SPRITE3D, name));
    }
    static void ExpectBox(RCKSprite3D* sprite, float x0, float y0, float x1, float y1)
    {
        const QxBbox& b = sprite->GetBoundingBox(TRUE);
        EXPECT_EQ(b.Min.x, x0);
        EXPECT_EQ(b.Min.y, y0);
        EXPECT_EQ(b.Max.x, x1);
        EXPECT_EQ(b.Max.y, y1);
        EXPECT_EQ(b.Min.z + b.Max.z, 0.0f);
    }
};

TEST_F(Sprite3DTests, TheSizeAndOffsetMakeTheBox)
{
    RCKSprite3D* sprite = NewSprite();
    ExpectBox(sprite, -1, -1, 1, 1);
    sprite->SetOffset(Qx2DVector(1, 1));
    sprite->SetSize(Qx2DVector(4, 2));
    ExpectBox(sprite, 0, 0, 4, 2);
    sprite->SetOffset(Qx2DVector(-1, 0));
    ExpectBox(sprite, -4, -1, 0, 1);
    Qx2DVector size;
    sprite->GetSize(size);
    EXPECT_EQ(size.x * 10 + size.y, 42.0f);
    EXPECT_TRUE(sprite->SetBoundingBox(nullptr));
    ExpectBox(sprite, -4, -1, 0, 1);
}

TEST_F(Sprite3DTests, TheSectionHoldsHalfSizesAndComesBack)
{
    RCKSprite3D* sprite = NewSprite();
    sprite->SetSize(Qx2DVector(4, 2));
    sprite->SetMode(CKSPRITE3D_YROTATE);
    CKStateChunk* chunk = sprite->Save(nullptr, 0xFFFFFFFF);
    chunk->StartRead();
    ASSERT_TRUE(chunk->SeekIdentifier(CK_STATESAVE_SPRITE3DDATA));
    EXPECT_EQ(chunk->ReadInt(), CKSPRITE3D_YROTATE);
    EXPECT_EQ(chunk->ReadFloat(), 2.0f);
    EXPECT_EQ(chunk->ReadFloat(), 1.0f);
    RCKSprite3D* other = NewSprite("other");
    ASSERT_EQ(other->Load(chunk, nullptr), 0);
    ExpectBox(other, -2, -1, 2, 1);
    EXPECT_EQ(other->GetMode(), CKSPRITE3D_YROTATE);
    CKDeleteStateChunk(chunk);
}

TEST_F(Sprite3DTests, ACentreRayHitsTheMiddleOfTheTextureAndAParallelOneMisses)
{
    RCKSprite3D* sprite = NewSprite();
    sprite->SetPosition3f(5, 0, 10);
    CKPickResult hit;
    const QxVector eye(5, 0, 0), through(5, 0, 20), aside(9, 0, 0);
    ASSERT_TRUE(sprite->RayIntersection(&eye, &through, &hit, nullptr, CK_PICK_SEGMENT));
    EXPECT_EQ(hit.U, 0.5f);
    EXPECT_EQ(hit.V, 0.5f);
    EXPECT_EQ(hit.Distance, 10.0f);
    EXPECT_EQ(hit.Object, sprite);
    EXPECT_FALSE(sprite->RayIntersection(&eye, &aside, &hit, nullptr));
    const QxVector corner(6, 1, 0), cornerEnd(6, 1, 20), outside(6.01f, 1, 0), outsideEnd(6.01f, 1, 20);
    EXPECT_TRUE(sprite->RayIntersection(&corner, &cornerEnd, nullptr, nullptr)); // edges included
    EXPECT_FALSE(sprite->RayIntersection(&outside, &outsideEnd, nullptr, nullptr));
    const QxVector behind(5, 0, 30), further(5, 0, 40);
    EXPECT_FALSE(sprite->RayIntersection(&behind, &further, nullptr, nullptr, CK_PICK_SEGMENT));
}

TEST_F(Sprite3DTests, ModesTurnTheSpriteAndStayFiniteUnderAViewerLookingDown)
{
    RCKRenderContext* rc = NewRecordingContext();
    CK3dEntity* viewpoint = rc->GetViewpoint();
    ASSERT_NE(viewpoint, nullptr);
    const QxVector down(0, -1, 0), north(0, 0, 1);
    viewpoint->SetOrientation(&down, &north);
    for (int mode : {CKSPRITE3D_BILLBOARD, CKSPRITE3D_XROTATE, CKSPRITE3D_YROTATE, CKSPRITE3D_ORIENTABLE}) {
        SCOPED_TRACE(mode);
        RCKSprite3D* sprite = NewSprite();
        sprite->SetMode(mode);
        sprite->Rotate3f(1, 0, 0, 0.3f);
        const QxMatrix before = sprite->GetWorldMatrix();
        sprite->IsInViewFrustrum(rc, 0);
        const QxMatrix& m = sprite->GetWorldMatrix();
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c)
                EXPECT_TRUE(std::isfinite(m[r][c]));
        EXPECT_TRUE(sprite->GetMoveableFlags() & CK_3DENTITY_FRUSTUMTESTED);
        if (mode == CKSPRITE3D_ORIENTABLE) {
            EXPECT_EQ(std::memcmp(&m, &before, sizeof(QxMatrix)), 0);
        }
        if (mode == CKSPRITE3D_BILLBOARD) {
            EXPECT_EQ(m[2][1], -1.0f); // faces the way the viewer looks
        }
    }
}

TEST_F(Sprite3DTests, AnImmediateDrawIsOneFanAndABatchingContextQueuesByMaterial)
{
    RCKRenderContext* rc = NewRecordingContext();
    RCKSprite3D* sprite = NewSprite();
    EXPECT_FALSE(sprite->IsToBeRendered()); // no material
    CKMaterial* material = static_cast<CKMaterial*>(m_Context->CreateObject(CKCID_MATERIAL, "m"));
    sprite->SetMaterial(material);
    EXPECT_TRUE(sprite->IsToBeRendered());
    sprite->SetMode(CKSPRITE3D_ORIENTABLE);
    sprite->SetPosition3f(0, 0, 10);
    sprite->SetSize(Qx2DVector(4, 2));
    sprite->SetUVMapping(QxRect(0.25f, 0.5f, 0.75f, 1.0f));
    rc->AddObject(sprite);
    rc->Render();
    const XArray<CKRecordedVertex>& v = Recorder(rc)->GetLastVertices();
    ASSERT_EQ(v.Size(), 4);
    const float expected[4][4] = {
        {-2, -1, 0.25f, 1.0f}, {-2, 1, 0.25f, 0.5f}, {2, 1, 0.75f, 0.5f}, {2, -1, 0.75f, 1.0f}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(v[i].x, expected[i][0]);
        EXPECT_EQ(v[i].y, expected[i][1]);
        EXPECT_EQ(v[i].z, 10.0f);
        EXPECT_EQ(v[i].u, expected[i][2]);
        EXPECT_EQ(v[i].v, expected[i][3]);
    }
    bool fan = false;
    for (const XString& call : Recorder(rc)->GetCalls())
        fan |= std::string(call.CStr()).rfind("DrawPrimitive(6,-1,4", 0) == 0;
    EXPECT_TRUE(fan);

    // Queued under one key per material.
    RCKSprite3D* twin = NewSprite("twin");
    RCKSprite3D* other = NewSprite("other");
    other->SetMaterial(static_cast<CKMaterial*>(m_Context->CreateObject(CKCID_MATERIAL, "n")));
    twin->SetMaterial(material);
    rc->SetBatching(1);
    RenderBatchGroup* group = rc->GetBatchList()->GetGroup(sprite->GetSceneGraphNode()->GetPriority());
    for (RCKSprite3D* s : {sprite, twin, other}) {
        s->SetMode(CKSPRITE3D_ORIENTABLE);
        s->SetPosition3f(0, 0, 10);
        EXPECT_TRUE(s->Render(rc, 0));
    }
    EXPECT_EQ(group->m_SpriteBatches.GetKeyCount(), 2);
    EXPECT_EQ(group->m_SpriteBatches.GetItemCount(), 3);
    rc->GetBatchList()->Clear();
}

} // namespace
