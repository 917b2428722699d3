#include "render/objects/pointcloud/CloudVertexGroups.h"

#include <algorithm>

namespace {

// Entries never hold more than a full leaf of each of 8 leaf children.
constexpr int kLeastVerticesPerBuffer = 8 * CLOUD_MAXLEAFPOINTS;

bool IsRootLeaf(const CloudTree& tree, int page, int index)
{
    return page == 0 && index == 0 && !CloudIsInner(tree.Root());
}

struct Counts
{
    int Pending = 0;
    int Total = 0;
};

class GroupBuilder
{
public:
    GroupBuilder(CloudTree& tree, CloudVertexGroups& groups, int verticesPerBuffer)
        : m_Tree(tree), m_Groups(groups), m_VerticesPerBuffer(verticesPerBuffer)
    {}

    bool Build()
    {
        for (int level = 0; level < 4 && !m_Overflow; ++level) {
            const Counts root = Count(0, 0, level);
            if (root.Pending > 0)
                AddEntry(0, 0, level, root.Pending, 0);
        }
        return !m_Overflow;
    }

private:
    int GroupFor(int page, int index)
    {
        int g = m_Groups.GroupOf(m_Tree, page, index);
        if (g > 0)
            return g;
        if ((int) m_Groups.Groups.size() >= (int) CLOUD_MAXGROUPS) {
            m_Overflow = true;
            return 0;
        }
        CloudVertexGroup group;
        group.Page = page;
        group.Index = index;
        m_Groups.Groups.push_back(group);
        g = (int) m_Groups.Groups.size();
        if (IsRootLeaf(m_Tree, page, index)) {
            m_Groups.RootLeafGroup = g;
        } else {
            CloudNode& node = m_Tree.Pages[page][index];
            node.W = (node.W & ~CLOUD_GROUPMASK) | ((CKDWORD) g << CLOUD_GROUPSHIFT);
        }
        return g;
    }

    void AddEntry(int page, int index, int level, int count, CKDWORD flags)
    {
        const int g = GroupFor(page, index);
        if (g == 0)
            return;
        CloudLevelEntry& entry = m_Groups.Groups[g - 1].Levels[level];
        entry.Flags = flags;
        entry.LevelMask = level ? 1u << (level - 1) : 0;
        entry.VertexCount = count;
    }

    Counts Count(int page, int index, int level)
    {
        const CloudNode& node = m_Tree.Pages[page][index];
        if (!CloudIsInner(node)) {
            int n = 0;
            auto count = [&](const CloudNode&, const QxVector&, const QxVector&) { ++n; };
            CloudGroupDetail::LeafPoints(m_Tree, page, index, QxVector(), QxVector(), level, count);
            return {n, n};
        }
        const int childCount = CloudChildCount(node);
        const int first = (int) node.P;
        Counts children[8];
        Counts sum;
        int leafPending = 0;
        bool owned = false;
        for (int c = 0; c < childCount; ++c) {
            children[c] = Count(page + 1, first + c, level);
            if (!CloudIsInner(m_Tree.Pages[page + 1][first + c]))
                leafPending += children[c].Pending;
            owned = owned || (children[c].Total > 0 && children[c].Pending == 0);
            sum.Pending += children[c].Pending;
            sum.Total += children[c].Total;
        }
        if (!owned && sum.Pending <= m_VerticesPerBuffer)
            return sum;
        for (int c = 0; c < childCount; ++c)
            if (children[c].Pending > 0 && CloudIsInner(m_Tree.Pages[page + 1][first + c]))
                AddEntry(page + 1, first + c, level, children[c].Pending, 0);
        if (leafPending > 0)
            AddEntry(page, index, level, leafPending, CLOUD_ENTRY_LEAVESONLY);
        return {0, sum.Total};
    }

    CloudTree& m_Tree;
    CloudVertexGroups& m_Groups;
    int m_VerticesPerBuffer;
    bool m_Overflow = false;
};

void SetFallbacks(const CloudTree& tree, CloudVertexGroups& groups, int page, int index, int inherited)
{
    const int g = groups.GroupOf(tree, page, index);
    int next = inherited;
    if (g > 0) {
        CloudVertexGroup& group = groups.Groups[g - 1];
        group.Fallback = group.Levels[3].VertexCount > 0 ? g : inherited;
        next = group.Fallback;
    }
    const CloudNode& node = tree.Pages[page][index];
    if (!CloudIsInner(node))
        return;
    const int count = CloudChildCount(node);
    for (int c = 0; c < count; ++c)
        if (CloudIsInner(tree.Pages[page + 1][node.P + c]))
            SetFallbacks(tree, groups, page + 1, (int) node.P + c, next);
}

void ShowGroup(CloudVertexGroups& groups, int g)
{
    if (g <= 0)
        return;
    for (CloudLevelEntry& entry : groups.Groups[g - 1].Levels)
        entry.Flags |= CLOUD_ENTRY_VISIBLE;
}

void ShowSubtree(const CloudTree& tree, CloudVertexGroups& groups, int page, int index)
{
    ShowGroup(groups, groups.GroupOf(tree, page, index));
    const CloudNode& node = tree.Pages[page][index];
    if (!CloudIsInner(node))
        return;
    const int count = CloudChildCount(node);
    for (int c = 0; c < count; ++c)
        if (CloudIsInner(tree.Pages[page + 1][node.P + c]))
            ShowSubtree(tree, groups, page + 1, (int) node.P + c);
}

struct Culler
{
    const CloudTree& Tree;
    CloudVertexGroups& Groups;
    const QxFrustum& Frustum;
    int Level;
    CKDWORD LevelMask;

    void Visit(int page, int index, const QxVector& min, const QxVector& size)
    {
        const CloudNode& node = Tree.Pages[page][index];
        if (!CloudIsInner(node)) {
            if (CloudClassifyBox(Frustum, CloudBoxOf(min, size)) != 0)
                ShowGroup(Groups, Groups.GroupOf(Tree, page, index));
            return;
        }
        if (LevelMask && !(CloudNodeLevels(node) & LevelMask))
            return;
        const int where = CloudClassifyBox(Frustum, CloudBoxOf(min, size));
        if (where == 0)
            return;
        if (where == 2) {
            ShowSubtree(Tree, Groups, page, index);
            return;
        }
        const int g = Groups.GroupOf(Tree, page, index);
        if (g > 0) {
            CloudVertexGroup& group = Groups.Groups[g - 1];
            if (group.Levels[3].VertexCount > 0)
                group.Levels[3].Flags |= CLOUD_ENTRY_VISIBLE;
            CloudLevelEntry& current = group.Levels[Level];
            if (current.VertexCount > 0) {
                current.Flags |= CLOUD_ENTRY_VISIBLE;
                if (!(current.Flags & CLOUD_ENTRY_LEAVESONLY))
                    return;
            }
        }
        CloudForEachChild(node, min, size, [&](int child, const QxVector& childMin, const QxVector& childSize) {
            if (CloudIsInner(Tree.Pages[page + 1][child]))
                Visit(page + 1, child, childMin, childSize);
            return true;
        });
    }
};

} // namespace

int CloudVertexGroups::GroupOf(const CloudTree& tree, int page, int index) const
{
    const CloudNode& node = tree.Pages[page][index];
    int g = 0;
    if (CloudIsInner(node))
        g = (int) CloudNodeGroup(node);
    else if (IsRootLeaf(tree, page, index))
        g = RootLeafGroup;
    return g <= (int) Groups.size() ? g : 0;
}

void CloudVertexGroups::Clear(CloudTree& tree)
{
    for (std::vector<CloudNode>& page : tree.Pages)
        for (CloudNode& node : page)
            if (CloudIsInner(node))
                node.W &= ~CLOUD_GROUPMASK;
    Groups.clear();
    RootLeafGroup = 0;
}

bool CloudBuildGroups(CloudTree& tree, CloudVertexGroups& groups, int verticesPerBuffer)
{
    groups.Clear(tree);
    if (!tree.HasRoot())
        return true;
    GroupBuilder builder(tree, groups, std::max(verticesPerBuffer, kLeastVerticesPerBuffer));
    if (!builder.Build()) {
        groups.Clear(tree);
        return false;
    }
    SetFallbacks(tree, groups, 0, 0, 0);
    return true;
}

int CloudClassifyBox(const QxFrustum& frustum, const QxBbox& box)
{
    const QxPlane* planes[6] = {&frustum.m_LeftPlane,   &frustum.m_RightPlane, &frustum.m_UpPlane,
                                &frustum.m_BottomPlane, &frustum.m_NearPlane,  &frustum.m_FarPlane};
    bool across = false;
    for (const QxPlane* plane : planes) {
        const QxVector& n = plane->m_Normal;
        const QxVector nearest(n.x > 0.0f ? box.Min.x : box.Max.x, n.y > 0.0f ? box.Min.y : box.Max.y,
                               n.z > 0.0f ? box.Min.z : box.Max.z);
        const QxVector farthest(n.x > 0.0f ? box.Max.x : box.Min.x, n.y > 0.0f ? box.Max.y : box.Min.y,
                                n.z > 0.0f ? box.Max.z : box.Min.z);
        if (plane->Classify(nearest) > 0.0f)
            return 0;
        if (plane->Classify(farthest) > 0.0f)
            across = true;
    }
    return across ? 1 : 2;
}

void CloudCullGroups(const CloudTree& tree, CloudVertexGroups& groups, const QxVector& rootMin,
                     const QxVector& rootSize, const QxFrustum& frustum, int level)
{
    for (CloudVertexGroup& group : groups.Groups)
        for (CloudLevelEntry& entry : group.Levels)
            entry.Flags &= ~CLOUD_ENTRY_VISIBLE;
    if (!tree.HasRoot())
        return;
    Culler culler{tree, groups, frustum, level, level ? 1u << (level - 1) : 0u};
    culler.Visit(0, 0, rootMin, rootSize);
}
