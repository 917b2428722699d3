// Scene-graph nodes keep their children sorted for drawing, pass their
// render-context masks up and cache their hierarchical boxes.
#include <random>

#include "tests/render/support/RenderTestSupport.h"

namespace {

TEST(SceneGraphNode, PrioritiesAreClampedAndStoredAsZOrderPlus10000)
{
    SceneGraphNode node;
    EXPECT_EQ(node.GetPriority(), 10000);
    node.SetPriority(-20000);
    EXPECT_EQ(node.GetPriority(), 0);
    node.SetPriority(12345);
    EXPECT_EQ(node.GetPriority(), 20000);
    node.SetPriority(-7);
    EXPECT_EQ(node.GetPriority(), 9993);
}

// The order a walk meets children in: shown subtrees first, each part by
// decreasing priority, equal ones in the order they arrived.
TEST(SceneGraphNode, ChildrenStaySortedThroughRandomChanges)
{
    std::mt19937 rng(5);
    SceneGraphNode root;
    std::vector<SceneGraphNode*> nodes;
    for (int i = 0; i < 40; ++i) {
        nodes.push_back(new SceneGraphNode);
        root.AddChild(nodes.back());
    }
    for (int step = 0; step < 400; ++step) {
        SceneGraphNode* node = nodes[rng() % nodes.size()];
        if (rng() % 2)
            node->SetPriority((int) (rng() % 7) - 3);
        else
            node->SetRenderContextMask(rng() % 3 == 0 ? 0u : 1u << (rng() % 4));
        int active = 0;
        for (int i = 0; i < root.GetChildrenCount(); ++i) {
            SceneGraphNode* c = root.GetChild(i);
            if (c->GetRenderContextMask()) {
                ASSERT_EQ(active++, i) << "a shown child after a hidden one";
            }
            if (i > 0 && (root.GetChild(i - 1)->GetRenderContextMask() != 0) == (c->GetRenderContextMask() != 0)) {
                ASSERT_GE(root.GetChild(i - 1)->GetPriority(), c->GetPriority());
            }
        }
        ASSERT_EQ(root.GetActiveChildrenCount(), active);
    }
    for (SceneGraphNode* node : nodes)
        delete node;
    EXPECT_EQ(root.GetChildrenCount(), 0) << "a node leaves its parent when it dies";
}

TEST(SceneGraphNode, MasksGoUpTheChainAndComeBackWhenRecomputed)
{
    SceneGraphNode root, a, b, c;
    root.AddChild(&a);
    a.AddChild(&b);
    b.AddChild(&c);
    c.SetRenderContextMask(4);
    EXPECT_EQ(root.GetRenderContextMask(), 4u);
    EXPECT_EQ(a.GetEntityMask(), 0u);
    a.SetRenderContextMask(1);
    c.SetRenderContextMask(0);
    EXPECT_EQ(root.GetRenderContextMask(), 1u);
    EXPECT_EQ(b.GetRenderContextMask(), 0u);
    b.SetEntityMask(8); // stored, not passed on
    EXPECT_EQ(root.GetRenderContextMask(), 1u);
    root.RecomputeRenderContextMasks();
    EXPECT_EQ(root.GetRenderContextMask(), 9u);
    a.RemoveChild(&b);
    EXPECT_EQ(root.GetRenderContextMask(), 1u);
    EXPECT_EQ(b.GetParent(), nullptr);
}

using SceneGraph = RenderFixture;

TEST_F(SceneGraph, TheHierarchicalBoxIsTheUnionOfTheSubtreeAndIsInvalidatedUpTheChain)
{
    TestEntity* parent = New<TestEntity>("parent");
    TestEntity* child = New<TestEntity>("child");
    TestEntity* grandChild = New<TestEntity>("grandchild");
    parent->m_Node->AddChild(child->m_Node);
    child->m_Node->AddChild(grandChild->m_Node);
    child->SetPosition(10, 0, 0);
    grandChild->SetPosition(0, -5, 3);
    const QxBbox& box = parent->m_Node->GetHierarchicalBox();
    EXPECT_EQ(box.Min, QxVector(-1, -6, -1));
    EXPECT_EQ(box.Max, QxVector(11, 1, 4));
    EXPECT_TRUE(parent->m_Node->GetFlags() & CK_SCENEGRAPH_HBOXVALID);
    grandChild->SetPosition(0, 0, 20);
    EXPECT_FALSE(parent->m_Node->GetFlags() & CK_SCENEGRAPH_HBOXVALID) << "a change reaches the cached ancestors";
    EXPECT_EQ(parent->m_Node->GetHierarchicalBox().Max.z, 21.0f);
    EXPECT_EQ(Manager()->GetRootNode()->GetChildrenCount(), 1) << "the other two hang under the parent";
}

} // namespace
