// 2D entities: the layout of children by their anchors, the hierarchy with
// its sibling order, and the chunk section, older layout included.
#include <climits>
#include <functional>
#include <map>
#include <random>
#include <string>

#include "core/chunk/CKStateChunk.h"
#include "core/context/CKFunctions.h"
#include "tests/render/support/Render2dTestSupport.h"

namespace {

using Entity2d = Render2dFixture;

void ExpectNear(const QxRect& a, const QxRect& b)
{
    EXPECT_NEAR(a.left, b.left, 1e-4f);
    EXPECT_NEAR(a.top, b.top, 1e-4f);
    EXPECT_NEAR(a.right, b.right, 1e-4f);
    EXPECT_NEAR(a.bottom, b.bottom, 1e-4f);
}

TEST_F(Entity2d, ChildrenFollowTheirParentByTheirAnchors)
{
    struct Case
    {
        CKDWORD anchors;
        float left, right;
    };
    // A parent of width 100 moved from left 0 to left 50 and widened to 200.
    for (const Case& c :
         {Case{CK2D_ANCHORLEFT | CK2D_ANCHORTOP, 60.0f, 80.0f}, Case{CK2D_ANCHORLEFT | CK2D_ANCHORRIGHT, 60.0f, 180.0f},
          Case{0, 80.0f, 100.0f}, Case{CK2D_ANCHORRIGHT, 160.0f, 180.0f}}) {
        RCK2dEntity* parent = New2d("parent", QxRect(0, 0, 100, 100));
        RCK2dEntity* child = New2d("child", QxRect(10, 10, 30, 30), parent);
        child->ModifyFlags(c.anchors, CK2D_ANCHORLEFT | CK2D_ANCHORRIGHT | CK2D_ANCHORTOP | CK2D_ANCHORBOTTOM);
        child->ModifyFlags(c.anchors, 0);
        parent->SetRect(QxRect(50, 0, 250, 100));
        QxRect r;
        child->GetRect(r);
        EXPECT_EQ(r.left, c.left) << c.anchors;
        EXPECT_EQ(r.right, c.right) << c.anchors;
        EXPECT_EQ(r.top, 10.0f) << "the parent kept its height";

        // Kept children stay where they are.
        parent->SetRect(QxRect(0, 0, 10, 10), TRUE);
        child->GetRect(r);
        EXPECT_EQ(r.left, c.left);
        m_Context->DestroyObject(child);
        m_Context->DestroyObject(parent);
    }

    // A parent whose rectangle is all zeros moves none of its children.
    RCK2dEntity* parent = New2d("parent", QxRect());
    RCK2dEntity* child = New2d("child", QxRect(1, 2, 3, 4), parent);
    parent->SetRect(QxRect(10, 10, 20, 20));
    QxRect r;
    child->GetRect(r);
    EXPECT_EQ(r, QxRect(1, 2, 3, 4));

    // A parent of no width cannot place a centred child proportionally: it
    // keeps its offset.
    RCK2dEntity* flat = New2d("flat", QxRect(5, 0, 5, 10));
    RCK2dEntity* centred = New2d("centred", QxRect(6, 0, 8, 2), flat);
    centred->ModifyFlags(0, CK2D_ANCHORLEFT | CK2D_ANCHORTOP);
    flat->SetRect(QxRect(10, 0, 30, 10));
    centred->GetRect(r);
    EXPECT_EQ(r.left, 11.0f);
    EXPECT_EQ(r.right, 13.0f);
}

TEST_F(Entity2d, HomogeneousEntitiesFollowTheirReferenceRectangle)
{
    RCK2dEntity* parent = New2d("parent", QxRect(0, 0, 100, 50));
    RCK2dEntity* child = New2d("child", QxRect(10, 10, 60, 20), parent);
    child->SetHomogeneousCoordinates(TRUE);
    QxRect relative;
    child->GetHomogeneousRect(relative);
    ExpectNear(relative, QxRect(0.1f, 0.2f, 0.6f, 0.4f));
    parent->SetRect(QxRect(0, 0, 200, 100));
    QxRect r;
    child->GetRect(r);
    ExpectNear(r, QxRect(20, 20, 120, 40)); // its relative rectangle against the new parent

    Qx2DVector v;
    EXPECT_EQ(child->GetPosition(v, TRUE), 0);
    EXPECT_NEAR(v.x, 0.1f, 1e-6f);
    EXPECT_NEAR(v.y, 0.2f, 1e-6f);
    child->SetHomogeneousCoordinates(FALSE);
    EXPECT_EQ(child->GetPosition(v, TRUE), -1) << "no relative rectangle any more";
    EXPECT_EQ(child->SetHomogeneousRect(QxRect(0, 0, 1, 1)), -1);
    child->GetRect(r);
    ExpectNear(r, QxRect(20, 20, 120, 40));

    // The flag set through SetFlags brings a relative rectangle with it, so
    // that nothing reads or saves one that is missing.
    child->SetFlags(child->GetFlags() | CK2D_HOMOGENEOUS);
    EXPECT_EQ(child->GetSize(v, TRUE), 0);
    EXPECT_EQ(v, Qx2DVector(0, 0));

    // A root-level entity refers to the viewport.
    RCK2dEntity* top = New2d("top", QxRect(0, 0, 32, 24));
    top->SetHomogeneousCoordinates(TRUE);
    EXPECT_EQ(top->SetHomogeneousRect(QxRect(0.5f, 0.5f, 1.0f, 1.0f)), 0);
    top->GetRect(r);
    EXPECT_EQ(r, QxRect(160, 120, 320, 240));
}

TEST_F(Entity2d, TheHierarchyKeepsSiblingsByZOrderAndRefusesCycles)
{
    CK2dEntity* fore = m_RC->Get2dRoot(FALSE);
    RCK2dEntity* a = New2d("a", QxRect());
    RCK2dEntity* b = New2d("b", QxRect());
    ASSERT_EQ(fore->GetChildrenCount(), 2);
    EXPECT_EQ(fore->GetChild(0), b) << "of equal z-orders, the one attached last comes first";

    RCK2dEntity* c = New2d("c", QxRect(), a);
    RCK2dEntity* d = New2d("d", QxRect(), c);
    EXPECT_FALSE(a->SetParent(d)) << "a descendant";
    EXPECT_FALSE(a->SetParent(a));
    EXPECT_EQ(a->GetParent(), nullptr);
    EXPECT_TRUE(d->SetParent(fore));
    EXPECT_EQ(d->GetParent(), nullptr) << "a root is no parent";
    EXPECT_EQ(fore->GetChild(0), d);
    EXPECT_EQ(c->GetChildrenCount(), 0);

    // The extremes of the z-order sort without overflow.
    a->SetZOrder(INT_MAX);
    b->SetZOrder(-INT_MAX);
    d->SetZOrder(0);
    ASSERT_EQ(fore->GetChildrenCount(), 3);
    EXPECT_EQ(fore->GetChild(0), b);
    EXPECT_EQ(fore->GetChild(1), d);
    EXPECT_EQ(fore->GetChild(2), a);

    // Flags: a bit in both masks ends cleared.
    a->SetFlags(0x1);
    a->ModifyFlags(0x30, 0x10);
    EXPECT_EQ(a->GetFlags(), 0x21u);
    EXPECT_TRUE(a->IsPickable());
    a->SetPickable(FALSE);
    EXPECT_FALSE(a->IsPickable());
    EXPECT_EQ(a->IsUsingSourceRect(), (CKBOOL) CK2D_USESOURCERECT) << "the masked bit";

    // Background: the whole subtree follows; an entity with a parent does
    // not move.
    c->SetBackground(TRUE);
    EXPECT_FALSE(c->IsBackground());
    a->SetBackground(TRUE);
    EXPECT_TRUE(a->IsBackground());
    EXPECT_TRUE(c->IsBackground());
    EXPECT_EQ(m_RC->Get2dRoot(TRUE)->GetChild(0), a);
    EXPECT_EQ(fore->GetChildrenCount(), 2);
}

TEST_F(Entity2d, TheWalkOfASubtreeIsDepthFirstInSiblingOrder)
{
    std::mt19937 random(7);
    std::vector<RCK2dEntity*> all{New2d("top", QxRect())};
    for (int i = 0; i < 60; ++i)
        all.push_back(New2d("n", QxRect(), all[random() % all.size()]));
    for (RCK2dEntity* e : all)
        e->SetZOrder((int) (random() % 5));
    std::vector<CK2dEntity*> expected;
    std::function<void(CK2dEntity*)> walk = [&](CK2dEntity* e) {
        for (int i = 0; i < e->GetChildrenCount(); ++i) {
            expected.push_back(e->GetChild(i));
            walk(e->GetChild(i));
        }
    };
    walk(all[0]);
    std::vector<CK2dEntity*> got;
    for (CK2dEntity* e = all[0]->GetNextInHierarchy(nullptr); e; e = all[0]->GetNextInHierarchy(e))
        got.push_back(e);
    EXPECT_EQ(got, expected);
    EXPECT_EQ(expected.size(), 60u);
}

TEST_F(Entity2d, DeletingAnEntityHandsItsChildrenToTheNearestSurvivingAncestor)
{
    RCK2dEntity* a = New2d("a", QxRect());
    RCK2dEntity* b = New2d("b", QxRect(), a);
    RCK2dEntity* c = New2d("c", QxRect(), b);
    RCK2dEntity* d = New2d("d", QxRect(), c);
    RCK2dEntity* e = New2d("e", QxRect(), c);
    CK_ID ids[2] = {b->GetID(), c->GetID()};
    ASSERT_EQ(m_Context->DestroyObjects(ids, 2), 0);
    EXPECT_EQ(d->GetParent(), a);
    EXPECT_EQ(e->GetParent(), a);
    EXPECT_EQ(a->GetChildrenCount(), 2);
    ASSERT_EQ(m_Context->DestroyObject(a), 0);
    EXPECT_EQ(d->GetParent(), nullptr);
    CK2dEntity* fore = m_RC->Get2dRoot(FALSE);
    EXPECT_EQ(fore->GetChildrenCount(), 2) << "back under the root";
}

TEST_F(Entity2d, ANewEntitySavesItsFlagsWithTheSourceRectangleOnly)
{
    RCK2dEntity* e = static_cast<RCK2dEntity*>(m_Context->CreateObject(CKCID_2DENTITY, "new"));
    EXPECT_EQ(e->GetFlags(), 0x280501u);
    EXPECT_EQ(e->GetParent(), nullptr);
    EXPECT_EQ(m_RC->Get2dRoot(FALSE)->GetChildrenCount(), 0) << "in no list until SetParent";
    e->SetRect(QxRect(1, 2, 3, 4));
    CKStateChunk* chunk = CKSaveObjectState(e, 0);
    ASSERT_NE(chunk, nullptr);
    EXPECT_EQ(chunk->SeekIdentifierAndReturnSize(CK_STATESAVE_2DENTITYDATA), 36);
    const CKDWORD expected[9] = {0x290501,   0x3F800000, 0x40000000, 0x40400000, 0x40800000,
                                 0x00000000, 0x00000000, 0x3F800000, 0x3F800000};
    for (CKDWORD word : expected)
        EXPECT_EQ(chunk->ReadDword(), word);
    EXPECT_LT(chunk->SeekIdentifierAndReturnSize(CK_STATESAVE_2DENTITYMATERIAL), 0);
    CKDeleteStateChunk(chunk);

    // A source rectangle of zeros is not saved: a plain entity reads (0, 0,
    // 1, 1) back.
    e->SetSourceRect(QxRect());
    chunk = CKSaveObjectState(e, 0);
    EXPECT_EQ(chunk->SeekIdentifierAndReturnSize(CK_STATESAVE_2DENTITYDATA), 20);
    e->SetSourceRect(QxRect(5, 5, 5, 5));
    EXPECT_EQ(e->Load(chunk, nullptr), 0);
    QxRect source;
    e->GetSourceRect(source);
    EXPECT_EQ(source, QxRect(0, 0, 1, 1));
    CKDeleteStateChunk(chunk);
    EXPECT_EQ(e->Load(nullptr, nullptr), -1);
}

TEST_F(Entity2d, RandomHierarchiesComeBackFromAFileAsTheyWere)
{
    std::mt19937 random(2028);
    auto coordinate = [&] { return (float) ((int) (random() % 2001) - 1000) / 4.0f; };
    const CKDWORD kRandomFlags = CK2D_USESOURCERECT | CK2D_NOTPICKABLE | CK2D_VIEWPORTRELATIVE | CK2D_CLIPTOVIEWPORT |
                                 CK2D_CLIPTOPARENT | CK2D_ANCHORLEFT | CK2D_ANCHORRIGHT | CK2D_ANCHORTOP |
                                 CK2D_ANCHORBOTTOM | CK2D_LEGACYVISIBLE;
    const int kZOrders[] = {0, 0, 1, -1, 7, INT_MAX, -INT_MAX, 42};
    std::vector<RCK2dEntity*> all;
    std::vector<CKObject*> saved;
    for (int i = 0; i < 500; ++i) {
        const std::string name = "e" + std::to_string(i);
        CK2dEntity* parent = (!all.empty() && random() % 3) ? all[random() % all.size()] : nullptr;
        // The z-order comes first, as a load gives it: siblings of equal
        // z-order are then in reverse order of attachment.
        RCK2dEntity* e = static_cast<RCK2dEntity*>(m_Context->CreateObject(CKCID_2DENTITY, name.c_str()));
        e->SetZOrder(kZOrders[random() % 8]);
        e->SetParent(parent);
        e->SetRect(QxRect(coordinate(), coordinate(), coordinate(), coordinate()));
        e->ModifyFlags(random() & kRandomFlags, ~random() & kRandomFlags);
        if (random() % 2)
            e->SetHomogeneousCoordinates(TRUE);
        if (random() % 2)
            e->SetSourceRect(QxRect(coordinate(), coordinate(), coordinate(), coordinate()));
        all.push_back(e);
        saved.push_back(e);
    }
    CKContext* other = NewContext();
    ASSERT_NE(other, nullptr);
    SaveAndLoad(saved, other);

    auto twin = [&](CK2dEntity* e) -> CK2dEntity* {
        return e ? static_cast<CK2dEntity*>(other->GetObjectByNameAndClass(e->GetName(), CKCID_2DENTITY)) : nullptr;
    };
    auto names = [](CK2dEntity* parent) {
        std::vector<std::string> list;
        for (int i = 0; i < parent->GetChildrenCount(); ++i)
            list.push_back(parent->GetChild(i)->GetName());
        return list;
    };
    int homogeneous = 0, nested = 0;
    for (RCK2dEntity* e : all) {
        SCOPED_TRACE(e->GetName());
        CK2dEntity* copy = twin(e);
        ASSERT_NE(copy, nullptr);
        EXPECT_EQ(copy->GetFlags(), e->GetFlags() & ~CK2D_RELATIVEOUTDATED);
        EXPECT_EQ(copy->GetZOrder(), e->GetZOrder());
        QxRect a, b;
        if (e->IsHomogeneousCoordinates()) {
            ++homogeneous;
            e->GetHomogeneousRect(a);
            copy->GetHomogeneousRect(b);
        } else {
            e->GetRect(a);
            copy->GetRect(b);
        }
        EXPECT_EQ(a, b);
        e->GetSourceRect(a);
        copy->GetSourceRect(b);
        EXPECT_EQ(a, b);
        EXPECT_EQ(copy->GetParent(), twin(e->GetParent()));
        nested += e->GetParent() != nullptr;
        EXPECT_EQ(names(copy), names(e));
    }
    EXPECT_GT(homogeneous, 100);
    EXPECT_GT(nested, 200);
    EXPECT_EQ(names(other->GetMainRenderContext()->Get2dRoot(FALSE)), names(m_RC->Get2dRoot(FALSE)));
}

TEST_F(Entity2d, AVersion4ChunkLoadsHiddenWithItsIntegerRectangles)
{
    CKStateChunk* chunk = HandChunk(CKCID_2DENTITY, 4, [](CKStateChunk* c) {
        c->WriteIdentifier(CK_STATESAVE_2DENTITYFLAGS);
        c->WriteDword(0);
        c->WriteIdentifier(CK_STATESAVE_2DENTITYPOS);
        c->WriteInt(10);
        c->WriteInt(-20);
        c->WriteIdentifier(CK_STATESAVE_2DENTITYSIZE);
        c->WriteInt(30);
        c->WriteInt(40);
        c->WriteIdentifier(CK_STATESAVE_2DENTITYSRCSIZE);
        for (int v : {8, 1, 2, 9}) // right, left, top, bottom
            c->WriteInt(v);
        c->WriteIdentifier(CK_STATESAVE_2DENTITYZORDER);
        c->WriteInt(-3);
    });
    RCK2dEntity* e = static_cast<RCK2dEntity*>(m_Context->CreateObject(CKCID_2DENTITY, "old"));
    ASSERT_EQ(e->Load(chunk, nullptr), 0);
    EXPECT_FALSE(e->IsVisible());
    EXPECT_EQ(e->GetFlags(), 0x280001u);
    QxRect r;
    e->GetRect(r);
    EXPECT_EQ(r, QxRect(10, -20, 40, 20));
    e->GetSourceRect(r);
    EXPECT_EQ(r, QxRect(1, 2, 8, 9));
    EXPECT_EQ(e->GetZOrder(), -3);
    EXPECT_EQ(m_RC->Get2dRoot(FALSE)->GetChild(0), e) << "under its root";
    CKDeleteStateChunk(chunk);

    // A homogeneous one reads floats into its relative rectangle.
    chunk = HandChunk(CKCID_2DENTITY, 4, [](CKStateChunk* c) {
        c->WriteIdentifier(CK_STATESAVE_2DENTITYFLAGS);
        c->WriteDword(CK2D_HOMOGENEOUS | CK2D_LEGACYVISIBLE | CK2D_RELATIVEOUTDATED);
        c->WriteIdentifier(CK_STATESAVE_2DENTITYPOS);
        c->WriteFloat(0.25f);
        c->WriteFloat(0.5f);
    });
    RCK2dEntity* h = static_cast<RCK2dEntity*>(m_Context->CreateObject(CKCID_2DENTITY, "old homogeneous"));
    ASSERT_EQ(h->Load(chunk, nullptr), 0);
    EXPECT_TRUE(h->IsVisible());
    EXPECT_EQ(h->GetFlags(), CK2D_HOMOGENEOUS | CK2D_LEGACYVISIBLE | CK2D_ANCHORLEFT | CK2D_ANCHORTOP);
    h->GetHomogeneousRect(r);
    EXPECT_EQ(r, QxRect(0.25f, 0.5f, 0, 0));
    CKDeleteStateChunk(chunk);
}

TEST_F(Entity2d, AParentThatIsNoEntityOrWouldCloseACycleIsRefused)
{
    RCK2dEntity* a = New2d("a", QxRect());
    RCK2dEntity* b = New2d("b", QxRect(), a);
    CKObject* material = m_Context->CreateObject(CKCID_MATERIAL, "m");
    for (CKObject* parent : {(CKObject*) b, material, (CKObject*) a}) {
        CKStateChunk* chunk = HandChunk(CKCID_2DENTITY, 7, [&](CKStateChunk* c) {
            c->WriteIdentifier(CK_STATESAVE_2DENTITYDATA);
            c->WriteDword(CK2D_DEFAULTFLAGS | CK2D_SAVEDPARENT);
            for (int i = 0; i < 4; ++i)
                c->WriteFloat(0.0f);
            c->WriteObject(parent);
        });
        ASSERT_EQ(a->Load(chunk, nullptr), 0);
        EXPECT_EQ(a->GetParent(), nullptr) << parent->GetName();
        EXPECT_EQ(b->GetParent(), a);
        CKDeleteStateChunk(chunk);
    }
}

} // namespace
