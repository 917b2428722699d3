// Scene-graph nodes keep their children sorted for drawing, pass their
// render-context masks up and cache their hierarchical boxes.
#include <algorithm>
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

// Against a plain list: children that leave (their slots emptied, closed up
// later) keep the others in their order; the sorted places of arrivals and
// moves are those of a walk over the list: shown subtrees first, each part
// by decreasing priority, equal ones in the order they arrived.
void ChildrenKeepTheirOrder(unsigned seed, int every)
{
    SCOPED_TRACE(every);
    std::mt19937 rng(seed);
    SceneGraphNode root;
    std::vector<SceneGraphNode> nodes(300);
    std::vector<SceneGraphNode*> model;
    auto key = [](SceneGraphNode* n) { return std::make_pair(n->GetRenderContextMask() != 0, n->GetPriority()); };
    auto place = [&](SceneGraphNode* n) {
        auto at = model.begin();
        while (at != model.end() && !(key(n) > key(*at)))
            ++at;
        model.insert(at, n);
    };
    auto erase = [&](SceneGraphNode* n) { model.erase(std::find(model.begin(), model.end(), n)); };
    for (int step = 0; step < 3000; ++step) {
        SceneGraphNode* n = &nodes[rng() % nodes.size()];
        const bool in = n->GetParent() == &root;
        const auto before = key(n);
        switch (rng() % 4) {
        case 0:
            if (!in) {
                root.AddChild(n);
                place(n);
            }
            break;
        case 1:
            root.RemoveChild(n);
            if (in)
                erase(n);
            break;
        case 2: n->SetPriority((int) (rng() % 5) - 2); break;
        default: n->SetRenderContextMask(rng() % 4 == 0 ? 1u : 0u); break;
        }
        if (in && n->GetParent() == &root && key(n) != before) {
            erase(n);
            place(n);
        }
        if (step % every == 0) {
            ASSERT_EQ(root.GetChildrenCount(), (int) model.size());
            int active = 0;
            for (int i = 0; i < (int) model.size(); ++i) {
                ASSERT_EQ(root.GetChild(i), model[(size_t) i]) << "step " << step << " child " << i;
                active += model[(size_t) i]->GetRenderContextMask() != 0;
            }
            ASSERT_EQ(root.GetActiveChildrenCount(), active);
        }
    }
    nodes.clear();
    EXPECT_EQ(root.GetChildrenCount(), 0) << "a node leaves its parent when it dies";
}

TEST(SceneGraphNode, ChildrenLeavingInAnyOrderKeepTheOthersInTheirOrder)
{
    // Looked at often (the slots closed up each time) and seldom (arrivals
    // appended behind many empty slots, some of them at the end).
    for (int every : {7, 61})
        ChildrenKeepTheirOrder(every == 7 ? 11u : 23u, every);
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
