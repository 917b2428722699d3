// The 3D entity's bounds, view tests, picking, ordering and drawing with
// its mesh: boxes against brute-force unions, ray distances on scaled
// entities, the callbacks around the draw and the batched and direct paths.
#include <random>
#include <string>
#include <vector>

#include "render/animation/RCKSkin.h"
#include "render/context/RenderBatchList.h"
#include "render/mesh/CKMaterial.h"
#include "render/mesh/CKTexture.h"
#include "render/mesh/MeshRayIntersection.h"
#include "render/mesh/RCKMesh.h"
#include "render/objects/CKPickResult.h"
#include "system/math/QxMatrixRotation.h"
#include "tests/render/support/RenderTestSupport.h"

namespace {

std::vector<std::string>& Events()
{
    static std::vector<std::string> events;
    return events;
}

// Entity callbacks write their argument and how many rasterizer calls were
// made so far, so that the order against the mesh's draw shows.
CKBOOL Note(CKRenderContext* context, CKRenderObject*, void* argument)
{
    auto* rec = static_cast<CKRecordingRasterizerContext*>(context->GetRasterizerContext());
    Events().push_back(std::string(static_cast<const char*>(argument)) + "@" + std::to_string(rec->GetCalls().Size()));
    return TRUE;
}

int DrawCalls(CKRecordingRasterizerContext* rec)
{
    int n = 0;
    for (const XString& call : rec->GetCalls())
        n += std::string(call.CStr()).rfind("DrawPrimitive", 0) == 0;
    return n;
}

class EntityDraw : public RenderFixture
{
protected:
    RCK3dEntity* NewEntity(const char* name = "e")
    {
        return static_cast<RCK3dEntity*>(m_Context->CreateObject(CKCID_3DENTITY, name));
    }
    // A square in the plane z = 0 from (x0, y0) to (x1, y1), two faces.
    RCKMesh* Square(float x0 = -1, float y0 = -1, float x1 = 1, float y1 = 1)
    {
        auto* mesh = static_cast<RCKMesh*>(m_Context->CreateObject(CKCID_MESH, "square"));
        mesh->SetVertexCount(4);
        const QxVector corners[4] = {QxVector(x0, y0, 0), QxVector(x1, y0, 0), QxVector(x0, y1, 0),
                                     QxVector(x1, y1, 0)};
        for (int i = 0; i < 4; ++i) {
            mesh->SetVertexPosition(i, corners[i]);
            mesh->SetVertexTextureCoordinates(i, (float) (i & 1), (float) (i >> 1));
        }
        mesh->SetFaceCount(2);
        mesh->SetFaceVertexIndex(0, 0, 1, 2);
        mesh->SetFaceVertexIndex(1, 2, 1, 3);
        return mesh;
    }
    // A box mesh (eight corners, twelve faces).
    RCKMesh* Box(const QxVector& min, const QxVector& max)
    {
        auto* mesh = static_cast<RCKMesh*>(m_Context->CreateObject(CKCID_MESH, "box"));
        mesh->SetVertexCount(8);
        for (int i = 0; i < 8; ++i)
            mesh->SetVertexPosition(i, QxVector(i & 1 ? max.x : min.x, i & 2 ? max.y : min.y, i & 4 ? max.z : min.z));
        static const int faces[12][3] = {{0, 2, 1}, {1, 2, 3}, {4, 5, 6}, {5, 7, 6}, {0, 1, 4}, {1, 5, 4},
                                         {2, 6, 3}, {3, 6, 7}, {0, 4, 2}, {2, 4, 6}, {1, 3, 5}, {3, 7, 5}};
        mesh->SetFaceCount(12);
        for (int f = 0; f < 12; ++f)
            mesh->SetFaceVertexIndex(f, faces[f][0], faces[f][1], faces[f][2]);
        return mesh;
    }
    // A recording context looking down +z from the origin.
    RCKRenderContext* View()
    {
        RCKRenderContext* rc = NewRecordingContext(320, 240);
        QxMatrix projection;
        projection.Perspective(1.0f, 320.0f / 240.0f, 1.0f, 100.0f);
        rc->SetProjectionTransformationMatrix(projection);
        rc->SetViewTransformationMatrix(QxMatrix::Identity());
        rc->GetRasterizerContext()->SetViewport(rc->GetViewport());
        return rc;
    }
};

TEST_F(EntityDraw, CallbacksRunInOrderAroundTheMeshOrInsteadOfIt)
{
    RCKRenderContext* rc = View();
    CKRecordingRasterizerContext* rec = Recorder(rc);
    RCK3dEntity* entity = NewEntity();
    entity->SetCurrentMesh(Square());
    entity->SetPosition3f(0, 0, 10);
    char a[] = "pre a", b[] = "pre b", c[] = "post c", d[] = "instead";
    entity->AddPreRenderCallBack(&Note, a);
    entity->AddPreRenderCallBack(&Note, b);
    entity->AddPostRenderCallBack(&Note, c);
    Events().clear();
    rec->ClearCalls();
    EXPECT_TRUE(entity->Render(rc, 0));
    ASSERT_EQ(Events().size(), 3u);
    EXPECT_EQ(Events()[0].rfind("pre a@", 0), 0u);
    EXPECT_EQ(Events()[1].rfind("pre b@", 0), 0u);
    EXPECT_EQ(Events()[2].rfind("post c@", 0), 0u);
    // The mesh was drawn between the last pre-render and the post-render
    // callback.
    const int before = std::stoi(Events()[1].substr(6)), after = std::stoi(Events()[2].substr(7));
    EXPECT_GT(after, before);
    EXPECT_GT(DrawCalls(rec), 0);
    // A replacing callback: no mesh drawn.
    entity->SetRenderCallBack(&Note, d);
    Events().clear();
    rec->ClearCalls();
    entity->Render(rc, 0);
    ASSERT_EQ(Events().size(), 4u);
    EXPECT_EQ(Events()[2].rfind("instead@", 0), 0u);
    EXPECT_EQ(DrawCalls(rec), 0);
}

TEST_F(EntityDraw, TemporaryCallbacksLastOneFrame)
{
    RCKRenderContext* rc = View();
    RCK3dEntity* entity = NewEntity();
    entity->SetCurrentMesh(Square());
    entity->SetPosition3f(0, 0, 10);
    rc->AddObject(entity);
    char a[] = "once";
    entity->AddPreRenderCallBack(&Note, a, TRUE);
    EXPECT_EQ(Manager()->GetTemporaryCallbackCount(), 1);
    Events().clear();
    rc->Render();
    EXPECT_EQ(Events().size(), 1u);
    EXPECT_EQ(Manager()->GetTemporaryCallbackCount(), 0);
    Events().clear();
    rc->Render();
    EXPECT_TRUE(Events().empty());
}

TEST_F(EntityDraw, AnEntityWithoutMeshDrawsOnlyItsCallbacks)
{
    RCKRenderContext* rc = View();
    RCK3dEntity* entity = NewEntity();
    entity->SetPosition3f(0, 0, 10);
    EXPECT_FALSE(entity->Render(rc, 0)) << "no mesh, no callbacks";
    char a[] = "pre", b[] = "draw", c[] = "post";
    entity->AddPreRenderCallBack(&Note, a);
    entity->SetRenderCallBack(&Note, b);
    entity->AddPostRenderCallBack(&Note, c);
    Events().clear();
    EXPECT_TRUE(entity->Render(rc, 0));
    ASSERT_EQ(Events().size(), 3u);
    EXPECT_EQ(Events()[1].rfind("draw@", 0), 0u);
    // Batched: the entity goes to its group, drawn when the group replays.
    rc->SetBatching(1);
    Events().clear();
    entity->ModifyMoveableFlags(0, CK_3DENTITY_FRUSTUMTESTED);
    EXPECT_TRUE(entity->Render(rc, 0));
    EXPECT_TRUE(Events().empty());
    RenderBatchGroup* group = rc->GetBatchList()->GetGroup(entity->GetSceneGraphNode()->GetPriority());
    ASSERT_EQ(group->m_Entities.Size(), 1);
    EXPECT_EQ(group->m_Entities[0], entity);
    rc->SetBatching(0);
    group->Replay(rc, 0);
    EXPECT_EQ(Events().size(), 3u);
}

TEST_F(EntityDraw, BatchedEntitiesDrawTheirMeshIntoTheGroupUnlessSeveralDeformIt)
{
    RCKRenderContext* rc = View();
    CKRecordingRasterizerContext* rec = Recorder(rc);
    RCK3dEntity* entity = NewEntity();
    RCKMesh* mesh = Square();
    entity->SetCurrentMesh(mesh);
    entity->SetPosition3f(0, 0, 10);
    rc->SetBatching(1);
    rec->ClearCalls();
    entity->Render(rc, 0);
    EXPECT_EQ(DrawCalls(rec), 0) << "queued";
    RenderBatchGroup* group = rc->GetBatchList()->GetGroup(entity->GetSceneGraphNode()->GetPriority());
    EXPECT_EQ(group->m_ChannelBatches.GetItemCount(), 1);
    group->Replay(rc, 0);
    EXPECT_EQ(DrawCalls(rec), 1);
    // Two entities deform the mesh this frame: each draws it at once.
    mesh->AddDeformingEntity();
    mesh->AddDeformingEntity();
    rec->ClearCalls();
    entity->ModifyMoveableFlags(0, CK_3DENTITY_FRUSTUMTESTED);
    entity->Render(rc, 0);
    EXPECT_EQ(DrawCalls(rec), 1);
    EXPECT_TRUE(group->IsEmpty());
    mesh->ResetDeformingEntities();
    EXPECT_EQ(mesh->GetDeformingEntityCount(), 0);
}

TEST_F(EntityDraw, AMirroredEntityIsDrawnWithTheWindingTurned)
{
    RCKRenderContext* rc = View();
    CKRecordingRasterizerContext* rec = Recorder(rc);
    RCK3dEntity* entity = NewEntity();
    entity->SetCurrentMesh(Square());
    entity->SetPosition3f(0, 0, 10);
    entity->ModifyMoveableFlags(CK_3DENTITY_MIRRORED, 0);
    rec->ClearCalls();
    entity->Render(rc, 0);
    std::vector<std::string> winding;
    int firstDraw = -1, i = 0;
    for (const XString& call : rec->GetCalls()) {
        const std::string s(call.CStr());
        if (s.rfind("SetRenderState(254,", 0) == 0)
            winding.push_back(s + "@" + std::to_string(i));
        if (firstDraw < 0 && s.rfind("DrawPrimitive", 0) == 0)
            firstDraw = i;
        ++i;
    }
    ASSERT_EQ(winding.size(), 2u);
    EXPECT_EQ(winding[0].rfind("SetRenderState(254,1)", 0), 0u);
    EXPECT_EQ(winding[1].rfind("SetRenderState(254,0)", 0), 0u);
    EXPECT_LT(std::stoi(winding[0].substr(winding[0].find('@') + 1)), firstDraw);
    EXPECT_GT(std::stoi(winding[1].substr(winding[1].find('@') + 1)), firstDraw);
}

TEST_F(EntityDraw, TheFrustumTestMarksTheNodeWithItsLastAnswer)
{
    RCKRenderContext* rc = View();
    RCK3dEntity* entity = NewEntity();
    entity->SetCurrentMesh(Square());
    SceneGraphNode* node = entity->GetSceneGraphNode();
    entity->SetPosition3f(0, 0, 10);
    EXPECT_TRUE(entity->IsInViewFrustrum(rc, 0xFF));
    EXPECT_EQ(node->GetFlags() & 3, (CKDWORD) CK_SCENEGRAPH_ALLINSIDE);
    EXPECT_TRUE(entity->GetMoveableFlags() & CK_3DENTITY_FRUSTUMTESTED);
    QxRect extents;
    entity->GetRenderExtents(extents);
    EXPECT_LT(extents.left, 160.0f);
    EXPECT_GT(extents.right, 160.0f);
    // Across the side of the view: partly inside; the earlier answer goes.
    entity->SetPosition3f(5, 0, 10);
    EXPECT_TRUE(entity->IsInViewFrustrum(rc, 0));
    EXPECT_EQ(node->GetFlags() & 3, 0u);
    entity->SetPosition3f(0, 0, -10);
    EXPECT_FALSE(entity->IsInViewFrustrum(rc, 0));
    EXPECT_EQ(node->GetFlags() & 3, (CKDWORD) CK_SCENEGRAPH_ALLOUTSIDE);
    // Without a mesh the entity's position is tested; a mesh without
    // vertices is never in view.
    RCK3dEntity* point = NewEntity("point");
    point->SetPosition3f(0, 0, 10);
    EXPECT_TRUE(point->IsInViewFrustrum(rc, 0));
    point->SetCurrentMesh(static_cast<CKMesh*>(m_Context->CreateObject(CKCID_MESH, "empty")));
    EXPECT_FALSE(point->IsInViewFrustrum(rc, 0));
}

TEST_F(EntityDraw, BoxesFollowTheMeshTheUserAndTheSkin)
{
    RCK3dEntity* entity = NewEntity();
    // No mesh: the box is the position, not valid.
    entity->SetPosition3f(1, 2, 3);
    const QxBbox& point = entity->GetBoundingBox();
    EXPECT_EQ(point.Min, QxVector(1, 2, 3));
    EXPECT_EQ(point.Max, QxVector(1, 2, 3));
    EXPECT_FALSE(entity->GetMoveableFlags() & CK_3DENTITY_BOXVALID);
    EXPECT_EQ(entity->GetRadius(), 0.0f);
    QxVector center;
    EXPECT_FALSE(entity->GetBaryCenter(&center));
    EXPECT_EQ(center, QxVector(1, 2, 3));
    // A mesh, scaled by 2: the world box and the radius follow.
    RCKMesh* box = Box(QxVector(-1, -2, -3), QxVector(1, 2, 3));
    entity->SetCurrentMesh(box);
    entity->SetScale3f(2, 2, 2);
    QxBbox world = entity->GetBoundingBox();
    EXPECT_EQ(world.Min, QxVector(-1, -2, -3));
    EXPECT_EQ(world.Max, QxVector(3, 6, 9));
    EXPECT_TRUE(entity->GetMoveableFlags() & CK_3DENTITY_BOXVALID);
    EXPECT_FLOAT_EQ(entity->GetRadius(), 2.0f * box->GetRadius());
    EXPECT_TRUE(entity->GetBaryCenter(&center));
    EXPECT_EQ(center, QxVector(1, 2, 3));
    // A user box (local), its world box derived; null takes the mesh's again.
    const QxBbox user(QxVector(0, 0, 0), QxVector(1, 1, 1));
    EXPECT_TRUE(entity->SetBoundingBox(&user, TRUE));
    world = entity->GetBoundingBox();
    EXPECT_EQ(world.Min, QxVector(1, 2, 3));
    EXPECT_EQ(world.Max, QxVector(3, 4, 5));
    // A world box: the local one derived.
    const QxBbox worldUser(QxVector(1, 2, 3), QxVector(5, 6, 7));
    entity->SetBoundingBox(&worldUser, FALSE);
    const QxBbox local = entity->GetBoundingBox(TRUE);
    EXPECT_EQ(local.Min, QxVector(0, 0, 0));
    EXPECT_EQ(local.Max, QxVector(2, 2, 2));
    entity->SetBoundingBox(nullptr);
    EXPECT_EQ(entity->GetBoundingBox(TRUE).Max, QxVector(1, 2, 3));
    // A skin: the bones' positions join the box.
    RCK3dEntity* bone = NewEntity("bone");
    bone->SetPosition3f(21, 2, 3);
    CKSkin* skin = entity->CreateSkin();
    skin->SetBoneCount(1);
    skin->GetBoneData(0)->Bone = bone;
    const QxBbox skinned = entity->GetBoundingBox(TRUE);
    EXPECT_EQ(skinned.Max.x, 10.0f) << "(21 - 1) / 2 in the entity's frame";
    EXPECT_EQ(skinned.Min, QxVector(-1, -2, -3));
}

TEST_F(EntityDraw, HierarchicalBoxesAreTheUnionOfTheSubtree)
{
    std::mt19937 rng(104);
    std::uniform_real_distribution<float> real(-5.0f, 5.0f);
    std::vector<RCK3dEntity*> entities;
    for (int i = 0; i < 40; ++i) {
        RCK3dEntity* e = NewEntity(("e" + std::to_string(i)).c_str());
        if (i % 3)
            e->SetCurrentMesh(Box(QxVector(real(rng), real(rng), real(rng)), QxVector(6, 6, 6)));
        e->SetPosition3f(real(rng), real(rng), real(rng));
        e->Rotate3f(0, 1, 0, real(rng));
        if (i > 0)
            e->SetParent(entities[rng() % entities.size()]);
        entities.push_back(e);
    }
    auto brute = [&](RCK3dEntity* root) {
        QxBbox all = root->GetBoundingBox();
        for (CK3dEntity* e = root->GetNextInHierarchy(nullptr); e; e = root->GetNextInHierarchy(e))
            all.Merge(e->GetBoundingBox());
        return all;
    };
    for (int round = 0; round < 3; ++round) {
        for (RCK3dEntity* e : entities) {
            const QxBbox expected = brute(e);
            const QxBbox& got = e->GetHierarchicalBox();
            ASSERT_EQ(got.Min, expected.Min) << e->GetName();
            ASSERT_EQ(got.Max, expected.Max) << e->GetName();
        }
        // Moving an entity invalidates its ancestors' boxes.
        entities[rng() % entities.size()]->Translate3f(real(rng), 20.0f, 0);
    }
    // A leaf's local hierarchical box is its own local box.
    RCK3dEntity* leaf = NewEntity("leaf");
    leaf->SetCurrentMesh(Box(QxVector(0, 0, 0), QxVector(1, 2, 3)));
    leaf->SetPosition3f(4, 4, 4);
    EXPECT_EQ(leaf->GetHierarchicalBox(TRUE).Max, QxVector(1, 2, 3));
}

TEST_F(EntityDraw, RayDistancesAreMeasuredInTheReferentialsFrame)
{
    RCK3dEntity* entity = NewEntity();
    entity->SetCurrentMesh(Square());
    entity->SetScale3f(2, 3, 4);
    entity->SetPosition3f(0, 0, 10);
    // In the world: from the origin along z over 20 units, the square at 10.
    const QxVector start(0.5f, 0.5f, 0), end(0.5f, 0.5f, 20);
    CKPickResult result;
    ASSERT_TRUE(entity->RayIntersection(&start, &end, &result, nullptr));
    EXPECT_EQ(result.Object, entity);
    EXPECT_NEAR(result.Distance, 10.0f, 1e-5f);
    EXPECT_NEAR(result.Point.x, 0.25f, 1e-6f) << "in the entity's frame";
    EXPECT_NEAR(result.Point.z, 0.0f, 1e-6f);
    // From a referential scaled by 2 along z: its 5 units are 10 in the world.
    RCK3dEntity* referential = NewEntity("referential");
    referential->SetScale3f(1, 1, 2);
    const QxVector rs(0.5f, 0.5f, 0), re(0.5f, 0.5f, 10);
    ASSERT_TRUE(entity->RayIntersection(&rs, &re, &result, referential));
    EXPECT_NEAR(result.Distance, 5.0f, 1e-5f);
    // In the entity's own frame the ends are taken as they are.
    const QxVector ls(0.1f, 0.2f, -3), le(0.1f, 0.2f, 1);
    ASSERT_TRUE(entity->RayIntersection(&ls, &le, &result, entity));
    EXPECT_NEAR(result.Distance, 3.0f, 1e-5f);
    EXPECT_NEAR(result.U, 0.55f, 1e-5f);
    EXPECT_NEAR(result.V, 0.6f, 1e-5f);
    // A miss leaves the entity out; no mesh never hits.
    const QxVector ms(5, 5, 0), me(5, 5, 20);
    EXPECT_FALSE(entity->RayIntersection(&ms, &me, &result, nullptr));
    EXPECT_FALSE(NewEntity("none")->RayIntersection(&start, &end, &result, nullptr));
}

TEST_F(EntityDraw, ARayPassesThroughTexelsTheAlphaTestDrops)
{
    RCK3dEntity* entity = NewEntity();
    RCKMesh* square = Square();
    entity->SetCurrentMesh(square);
    // A 2 x 2 texture, only its texel (1, 0) opaque: u > 0.5 and v < 0.5.
    auto* texture = static_cast<CKTexture*>(m_Context->CreateObject(CKCID_TEXTURE, "holes"));
    ASSERT_TRUE(texture->Create(2, 2));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x)
            texture->SetPixel(x, y, (x == 1 && y == 0 ? 0xFF000000u : 0u) | 0x808080u);
    auto* material = static_cast<CKMaterial*>(m_Context->CreateObject(CKCID_MATERIAL, "cut"));
    material->SetTexture0(texture);
    material->EnableAlphaTest(TRUE);
    material->SetAlphaFunc(CK_CMP_GREATER);
    material->SetAlphaRef(128);
    square->SetFaceMaterial(0, material);
    square->SetFaceMaterial(1, material);
    // No corner at a zero coordinate, so that every corner's share counts:
    // u = 0.5 + 0.4 x and v = 0.5 + 0.4 y over the square's -1..1.
    for (int i = 0; i < 4; ++i)
        square->SetVertexTextureCoordinates(i, i & 1 ? 0.9f : 0.1f, i >> 1 ? 0.9f : 0.1f);
    CKPickResult result;
    // Each face gets points in every quarter.
    for (float x : {-0.7f, -0.2f, -0.05f, 0.05f, 0.2f, 0.7f})
        for (float y : {-0.7f, -0.2f, -0.05f, 0.05f, 0.2f, 0.7f}) {
            const QxVector start(x, y, -5), end(x, y, 5);
            const bool opaque = x > 0 && y < 0;
            EXPECT_EQ(entity->RayIntersection(&start, &end, &result, nullptr) != FALSE, opaque) << x << "," << y;
            EXPECT_TRUE(entity->RayIntersection(&start, &end, &result, nullptr, CK_RAYINTERSECTION_IGNOREALPHA));
        }
}

TEST_F(EntityDraw, PickingPassesOverHiddenAndUnpickableEntities)
{
    RCKRenderContext* rc = View();
    RCK3dEntity* nearEntity = NewEntity("near");
    nearEntity->SetCurrentMesh(Square());
    nearEntity->SetPosition3f(0, 0, 5);
    RCK3dEntity* farEntity = NewEntity("far");
    farEntity->SetCurrentMesh(Square());
    farEntity->SetPosition3f(0, 0, 20);
    rc->AddObject(nearEntity);
    rc->AddObject(farEntity);
    const Qx2DVector center(160, 120);
    CKPickResult result;
    EXPECT_EQ(rc->Pick(center, &result), nearEntity);
    EXPECT_GT(result.Distance, 0.0f);
    EXPECT_EQ(rc->Pick(Qx2DVector(2, 2), &result), nullptr) << "nothing at the corner";
    nearEntity->SetPickable(FALSE);
    EXPECT_EQ(rc->Pick(center, &result), farEntity);
    EXPECT_EQ(rc->Pick(center, &result, TRUE), nearEntity) << "the pickable flag ignored";
    nearEntity->SetPickable(TRUE);
    nearEntity->Show(CKHIDE);
    EXPECT_EQ(rc->Pick(center, &result), farEntity);
    EXPECT_EQ(rc->Pick(center, &result, TRUE), farEntity) << "hidden is never picked";
    farEntity->ModifyObjectFlags(0x2, 0);
    EXPECT_EQ(rc->Pick(center, &result), nullptr);
}

TEST_F(EntityDraw, AFlatEntityOrdersOthersByItsPlane)
{
    RCK3dEntity* flat = NewEntity("flat");
    flat->SetCurrentMesh(Square());
    RCK3dEntity* other = NewEntity("other");
    other->SetCurrentMesh(Box(QxVector(-1, -1, 2), QxVector(1, 1, 3)));
    // The other box lies in front of the plane z = 0 (along its normal).
    EXPECT_EQ(flat->CompareRenderOrder(other, QxVector(0, 0, 10)), 1);
    EXPECT_EQ(flat->CompareRenderOrder(other, QxVector(0, 0, -10)), -1);
    // A box across the plane: the boxes' own order from the viewpoint.
    other->SetPosition3f(0, 0, -2.5f);
    const QxVector eye(0, 0, 10);
    EXPECT_EQ(flat->CompareRenderOrder(other, eye),
              flat->GetBoundingBox(FALSE).Classify(other->GetBoundingBox(FALSE), eye));
}

} // namespace

namespace {

TEST_F(EntityDraw, TheBaryCentreSaysWhetherAMeshGaveIt)
{
    RCK3dEntity* entity = NewEntity();
    EXPECT_FALSE(entity->GetBaryCenter(nullptr));
    entity->SetCurrentMesh(Square());
    EXPECT_TRUE(entity->GetBaryCenter(nullptr));
}

TEST_F(EntityDraw, PickingFollowsTheViewRectangleAndTheViewpoint)
{
    RCKRenderContext* rc = View();
    // The view in the lower right part of the window.
    rc->SetViewRect(QxRect(100, 60, 420, 300));
    QxMatrix projection;
    projection.Perspective(1.0f, 320.0f / 240.0f, 1.0f, 100.0f);
    rc->SetProjectionTransformationMatrix(projection);
    RCK3dEntity* entity = NewEntity();
    entity->SetCurrentMesh(Square(-0.5f, -0.5f, 0.5f, 0.5f));
    entity->SetPosition3f(0, 0, 10);
    rc->AddObject(entity);
    EXPECT_EQ(rc->Pick(Qx2DVector(260, 180)), entity) << "the view's centre";
    EXPECT_EQ(rc->Pick(Qx2DVector(160, 120)), nullptr) << "the window's centre";
    // The viewpoint turned a quarter round y (its first column then holds
    // no x for the inverse's elimination to start from); the square turned
    // with it, 10 units ahead.
    QxMatrix camera;
    QxMatrixFromAxisAngle(camera, QxVector(0, 1, 0), 1.5707964f);
    const QxVector ahead(camera[2][0] * 10.0f, camera[2][1] * 10.0f, camera[2][2] * 10.0f);
    RCK3dEntity* side = NewEntity("side");
    side->SetCurrentMesh(Square(-0.5f, -0.5f, 0.5f, 0.5f));
    side->Rotate3f(0, 1, 0, 1.5707964f);
    side->SetPosition(&ahead);
    rc->AddObject(side);
    QxMatrix view;
    QxInverseMatrix(view, camera);
    rc->SetViewTransformationMatrix(view);
    CKPickResult result;
    EXPECT_EQ(rc->Pick(Qx2DVector(260, 180), &result), side);
    EXPECT_NEAR(result.Distance, 9.0f, 0.05f) << "from the near plane";
}

} // namespace

namespace {

TEST_F(EntityDraw, VertexBlendStatesAreResetAfterAnEntityWithCallbacksOrASkin)
{
    RCKRenderContext* rc = View();
    CKRecordingRasterizerContext* rec = Recorder(rc);
    RCK3dEntity* entity = NewEntity();
    entity->SetCurrentMesh(Square());
    entity->SetPosition3f(0, 0, 10);
    auto resets = [&] {
        int n = 0;
        for (const XString& call : rec->GetCalls()) {
            const std::string s(call.CStr());
            n += s == "SetRenderState(151,0)" || s == "SetRenderState(167,0)";
        }
        return n;
    };
    rec->ClearCalls();
    entity->Render(rc, 0);
    EXPECT_EQ(resets(), 0) << "neither callbacks nor a skin";
    char a[] = "a";
    entity->AddPostRenderCallBack(&Note, a);
    rec->ClearCalls();
    entity->Render(rc, 0);
    EXPECT_EQ(resets(), 2);
    entity->RemoveAllCallbacks();
    entity->CreateSkin();
    rec->ClearCalls();
    entity->Render(rc, 0);
    EXPECT_EQ(resets(), 2);
}

} // namespace
