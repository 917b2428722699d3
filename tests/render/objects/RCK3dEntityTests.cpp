#include <cmath>
#include <random>

#include "core/object/XObjectPointerArray.h"
#include "tests/render/objects/EntityTestSupport.h"

namespace {

using Entity = EntityFixture;

QxMatrix Translation(float x, float y, float z)
{
    QxMatrix m = QxMatrix::Identity();
    m[3][0] = x;
    m[3][1] = y;
    m[3][2] = z;
    return m;
}

// After every step, each entity's world is its local then its parent's
// world, and its inverse undoes its world.
void ExpectConsistent(const std::vector<RCK3dEntity*>& tree, int step)
{
    for (RCK3dEntity* e : tree) {
        QxMatrix expected = e->GetLocalMatrix();
        if (CK3dEntity* parent = e->GetParent())
            QxMultiplyMatrix(expected, parent->GetWorldMatrix(), e->GetLocalMatrix());
        ASSERT_LT(RelativeDifference(e->GetWorldMatrix(), expected), 1e-4f) << "step " << step << " " << e->GetName();
        QxMatrix product;
        QxMultiplyMatrix(product, e->GetWorldMatrix(), e->GetInverseWorldMatrix());
        ASSERT_LT(RelativeDifference(product, QxMatrix::Identity()), 1e-4f) << "step " << step << " " << e->GetName();
    }
}

} // namespace

TEST_F(Entity, RandomTransformsKeepEveryWorldMatrixTheLocalOneThenTheParentsWorld)
{
    std::mt19937 rng(23);
    std::vector<RCK3dEntity*> tree;
    for (int i = 0; i < 200; ++i) {
        RCK3dEntity* e = NewEntity(("n" + std::to_string(i)).c_str());
        if (i > 0)
            e->SetParent(tree[(size_t) (rng() % (unsigned) i)], FALSE);
        e->SetLocalMatrix(RandomMatrix(rng, i % 7 == 0));
        tree.push_back(e);
    }
    ExpectConsistent(tree, -1);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    for (int step = 0; step < 600; ++step) {
        RCK3dEntity* e = tree[rng() % tree.size()];
        RCK3dEntity* other = tree[rng() % tree.size()];
        const CKBOOL keep = rng() % 2;
        QxVector v(3 * unit(rng), 3 * unit(rng), 3 * unit(rng));
        switch (rng() % 9) {
        case 0: e->SetPosition(&v, rng() % 2 ? other : nullptr, keep); break;
        case 1: e->Rotate(&v, 3 * unit(rng), rng() % 2 ? other : nullptr, keep); break;
        case 2: e->SetScale3f(1 + 0.2f * unit(rng), 1 + 0.2f * unit(rng), 1 + 0.2f * unit(rng), keep, rng() % 2); break;
        case 3: e->LookAt(&v, rng() % 2 ? other : nullptr, keep); break;
        case 4: e->SetParent(rng() % 5 ? other : nullptr, TRUE); break;
        case 5: e->SetParent(rng() % 5 ? other : nullptr, FALSE); break;
        case 6: e->SetWorldMatrix(RandomMatrix(rng), keep); break;
        case 7: e->SetLocalMatrix(RandomMatrix(rng, rng() % 4 == 0), keep); break;
        case 8: e->Translate(&v, rng() % 2 ? other : nullptr, keep); break;
        }
        ExpectConsistent(tree, step);
    }
}

TEST_F(Entity, TheHierarchyRefusesCyclesAndMovesWithItsParentsUnlessKept)
{
    RCK3dEntity* a = NewEntity("a");
    RCK3dEntity* b = NewEntity("b");
    RCK3dEntity* c = NewEntity("c");
    EXPECT_FALSE(a->SetParent(a));
    EXPECT_TRUE(b->SetParent(a));
    EXPECT_TRUE(b->SetParent(a)) << "the same parent again";
    EXPECT_TRUE(c->SetParent(b));
    EXPECT_FALSE(a->SetParent(c)) << "a descendant";
    EXPECT_EQ(a->GetParent(), nullptr);
    EXPECT_EQ(a->GetChild(0), b);
    EXPECT_EQ(a->GetChild(1), nullptr) << "out of range";
    EXPECT_EQ(a->GetChild(-1), nullptr);
    EXPECT_EQ(a->GetNextInHierarchy(nullptr), b);
    EXPECT_EQ(a->GetNextInHierarchy(b), c);
    EXPECT_EQ(a->GetNextInHierarchy(c), nullptr);
    EXPECT_EQ(b->GetSceneGraphNode()->GetParent(), a->GetSceneGraphNode());

    // Moving a parent carries its sub-tree, unless kept or ignoring it.
    RCK3dEntity* loner = NewEntity("loner");
    loner->SetParent(b);
    loner->ModifyMoveableFlags(CK_3DENTITY_IGNOREPARENT, 0);
    c->SetPosition3f(1, 0, 0);
    b->SetPosition3f(0, 5, 0);
    EXPECT_EQ(c->GetWorldMatrix()[3][1], 5.0f);
    EXPECT_EQ(loner->GetWorldMatrix()[3][1], 0.0f);
    b->SetPosition3f(0, 9, 0, nullptr, TRUE);
    EXPECT_EQ(c->GetWorldMatrix()[3][1], 5.0f) << "kept";
    EXPECT_EQ(c->GetLocalMatrix()[3][1], -4.0f);

    // Keeping the world position marks both parent chains out of date.
    RCK3dEntity* other = NewEntity("other");
    for (RCK3dEntity* e : {b, other})
        e->GetSceneGraphNode()->GetHierarchicalBox();
    ASSERT_TRUE(b->GetSceneGraphNode()->GetFlags() & CK_SCENEGRAPH_HBOXVALID);
    ASSERT_TRUE(other->GetSceneGraphNode()->GetFlags() & CK_SCENEGRAPH_HBOXVALID);
    c->SetParent(other, TRUE);
    EXPECT_FALSE(b->GetSceneGraphNode()->GetFlags() & CK_SCENEGRAPH_HBOXVALID);
    EXPECT_FALSE(other->GetSceneGraphNode()->GetFlags() & CK_SCENEGRAPH_HBOXVALID);
    EXPECT_EQ(c->GetWorldMatrix()[3][1], 5.0f);

    // Children added with their sub-hierarchies keep them.
    RCK3dEntity* root = NewEntity("root");
    RCK3dEntity* x = NewEntity("x");
    RCK3dEntity* y = NewEntity("y");
    y->SetParent(x);
    XObjectPointerArray array;
    array.PushBack(x);
    array.PushBack(y);
    EXPECT_TRUE(root->AddChildren(array));
    EXPECT_EQ(x->GetParent(), root);
    EXPECT_EQ(y->GetParent(), x);
    EXPECT_FALSE(x->GetObjectFlags() & CK_OBJECT_TEMPMARKER);
    EXPECT_TRUE(root->HasSameHierarchy(root));
    EXPECT_FALSE(root->HasSameHierarchy(other)) << "a grandchild short";
    EXPECT_TRUE(x->HasSameHierarchy(b, TRUE));
}

TEST_F(Entity, LookAtTurnsTowardsTheTargetAndHalfRoundForOneStraightBehind)
{
    RCK3dEntity* e = NewEntity("e");
    QxVector target(0, 0, 10), direction, up, right;
    e->LookAt(&target);
    e->GetOrientation(&direction, &up, &right);
    EXPECT_NEAR(direction.z, 1.0f, 1e-5f) << "already looking there";
    target = QxVector(0, 0, -10);
    e->LookAt(&target);
    e->GetOrientation(&direction, &up, &right);
    EXPECT_NEAR(direction.z, -1.0f, 1e-5f);
    EXPECT_NEAR(up.y, 1.0f, 1e-5f);
    EXPECT_NEAR(right.x, -1.0f, 1e-5f);
    target = QxVector(0, -10, 0);
    e->LookAt(&target);
    e->GetOrientation(&direction, &up, &right);
    EXPECT_NEAR(direction.y, -1.0f, 1e-5f) << "straight down";
}

TEST_F(Entity, ScalesInverseAndPositionsFollowTheMatrices)
{
    RCK3dEntity* parent = NewEntity("parent");
    RCK3dEntity* e = NewEntity("e");
    e->SetParent(parent);
    parent->SetWorldMatrix(Translation(1, 2, 3));
    e->SetScale3f(2, 0, 4);
    QxVector scale;
    e->GetScale(&scale);
    EXPECT_EQ(scale, QxVector(2, 1e-7f, 4)) << "a zero factor is 1e-7";
    e->SetWorldMatrix(Translation(4, 5, 6));
    QxVector position;
    e->GetPosition(&position, parent);
    EXPECT_EQ(position, QxVector(3, 3, 3));
    e->SetPosition3f(1, 1, 1, parent);
    e->GetPosition(&position);
    EXPECT_EQ(position, QxVector(2, 3, 4));
    QxVector local(1, 0, 0), world;
    e->Transform(&world, &local);
    EXPECT_EQ(world, QxVector(3, 3, 4));
    e->InverseTransform(&local, &world);
    EXPECT_EQ(local, QxVector(1, 0, 0));

    // The changes queued the entity once with the render manager.
    int queued = 0;
    for (CK3dEntity* moved : Manager()->GetMovedEntities())
        queued += moved == e;
    EXPECT_EQ(queued, 1);
    EXPECT_TRUE(e->GetMoveableFlags() & CK_3DENTITY_INMOVEDLIST);
    EXPECT_FALSE(e->GetMoveableFlags() & CK_3DENTITY_WORLDIDENTITY);
}

TEST_F(Entity, MeshesBlendWeightsAndAnimations)
{
    RCK3dEntity* e = NewEntity("e");
    EntityTestMesh* first = NewMesh("first", 3, 2);
    EntityTestMesh* second = NewMesh("second", 3);
    EXPECT_EQ(e->SetCurrentMesh(first), nullptr);
    e->AddMesh(second);
    e->AddMesh(first);
    EXPECT_EQ(e->GetMeshCount(), 2);
    e->SetBlendShapeWeightByName("shape1", 0.5f);
    EXPECT_EQ(e->GetBlendShapeWeight(1), 0.5f);
    EXPECT_EQ(e->GetBlendShapeWeightByName("shape1"), 0.5f);
    EXPECT_EQ(e->GetBlendShapeWeight(2), 0.0f) << "out of range";
    EXPECT_EQ(e->GetBlendShapeWeightByName("none"), 0.0f);
    e->SetFlags(CK_3DENTITYFLAG_SKINDRIVESMESH);
    EXPECT_EQ(first->m_LitModeSets, 1) << "the mesh prepares its render data again";
    EXPECT_EQ(first->m_LitMode, 1);
    EXPECT_EQ(e->RemoveMesh(first), CKErr::Ok);
    EXPECT_EQ(e->GetCurrentMesh(), second) << "the first remaining mesh";
    EXPECT_EQ(e->RemoveMesh(first), -1);

    TestAnimation* animation = NewAnimation("walk");
    e->SetScale3f(2, 2, 2);
    e->AddObjectAnimation(animation);
    e->AddObjectAnimation(animation);
    EXPECT_EQ(e->GetObjectAnimationCount(), 1);
    ASSERT_FALSE(animation->m_DefaultScales.empty());
    EXPECT_EQ(animation->m_DefaultScales[0], QxVector(2, 2, 2));
    e->RemoveObjectAnimation(animation);
    EXPECT_EQ(e->GetObjectAnimation(0), nullptr);
}

TEST_F(Entity, VisibilityFlagsMirrorTheObjectFlags)
{
    RCK3dEntity* parent = NewEntity("parent");
    RCK3dEntity* child = NewEntity("child");
    child->SetParent(parent);
    parent->Show(CKHIERARCHICALHIDE);
    EXPECT_TRUE(parent->GetMoveableFlags() & CK_3DENTITY_HIERARCHYHIDDEN);
    EXPECT_TRUE(child->IsHiddenByParent());
    EXPECT_FALSE(child->IsVisible());
    parent->ModifyMoveableFlags(CK_3DENTITY_VISIBLE, CK_3DENTITY_HIERARCHYHIDDEN);
    EXPECT_TRUE(parent->GetObjectFlags() & CK_OBJECT_VISIBLE);
    EXPECT_TRUE(child->IsVisible());
    parent->SetZOrder(20000);
    EXPECT_EQ(parent->GetZOrder(), 10000) << "clamped";
    parent->ModifyMoveableFlags(0, CK_3DENTITY_RENDERFIRST);
    child->ModifyMoveableFlags(CK_3DENTITY_RENDERFIRST, 0);
    EXPECT_EQ(child->GetZOrder(), 10000);
    EXPECT_FALSE(child->IsToBeRenderedLast());
}

// An entity uses its object animations and its meshes, each asked for under
// its own class only.
TEST_F(Entity, AnEntityUsesItsAnimationsAndMeshesUnderTheirClasses)
{
    RCK3dEntity* e = NewEntity("e");
    TestAnimation* walk = NewAnimation("walk");
    TestAnimation* other = NewAnimation("other");
    EntityTestMesh* mesh = NewMesh("mesh", 4);
    e->AddObjectAnimation(walk);
    e->SetCurrentMesh(mesh);
    EXPECT_TRUE(e->IsObjectUsed(walk, CKCID_OBJECTANIMATION));
    EXPECT_FALSE(e->IsObjectUsed(other, CKCID_OBJECTANIMATION));
    EXPECT_FALSE(e->IsObjectUsed(walk, CKCID_MESH)) << "an animation is not one of its meshes";
    EXPECT_TRUE(e->IsObjectUsed(mesh, CKCID_MESH));
    EXPECT_FALSE(e->IsObjectUsed(mesh, CKCID_OBJECTANIMATION));
}
