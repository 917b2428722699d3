#include "render/objects/pointcloud/CloudFillPlan.h"

#include <cstring>

namespace {

bool SameBits(const QxVector& a, const QxVector& b)
{
    return std::memcmp(&a, &b, sizeof(QxVector)) == 0;
}

// A node's slabs on the three axes.
struct Slabs
{
    CKDWORD Axis[3] = {};
};

} // namespace

// The walk of CloudForEachEntry (CloudGroupDetail), with slabs in place of
// boxes: any change there belongs here too (the fill tests compare both).
struct CloudFillPlanBuilder
{
    CloudFillPlan& Plan;
    const CloudTree& Tree;
    const CloudVertexGroups& Groups;
    int Level;
    CloudFillPlan::Level& Out;
    CKDWORD Left = 0; // points the current entry still takes

    Slabs Child(const Slabs& s, int k)
    {
        Slabs c;
        for (int a = 0; a < 3; ++a)
            c.Axis[a] = Plan.ChildSlab(a, s.Axis[a], (k >> a) & 1);
        return c;
    }

    template <class Visit>
    void Children(const CloudNode& node, const Slabs& s, Visit&& visit)
    {
        int child = (int) node.P;
        for (CKDWORD mask = CloudChildMask(node); mask; mask &= mask - 1)
            visit(child++, Child(s, std::countr_zero(mask)));
    }

    void Write(const CloudNode& point, const Slabs& s)
    {
        if (Left == 0)
            return;
        --Left;
        CloudFillPlan::Point p;
        static_assert(sizeof(p.Slab) == sizeof(s.Axis), "a slab an axis");
        std::memcpy(p.Slab, s.Axis, sizeof(p.Slab));
        p.Q = (point.W >> 8) & 0xFFFFFF;
        Out.Points.push_back(p);
        Out.Indices.push_back(CloudPointIndex(point.P));
    }

    void LeafPoints(int page, int index, const Slabs& s)
    {
        const CloudNode& node = Tree.Pages[page][index];
        if (CloudIsSingleLeaf(node)) {
            if (CloudGroupDetail::AtLevel(node.P, Level))
                Write(node, s);
            return;
        }
        if (!CloudIsMultiLeaf(node))
            return;
        const int n = CloudLeafPointCount(node);
        const CloudNode* entries = &Tree.Pages[page][node.P];
        for (int i = 0; i < n; ++i)
            if (CloudGroupDetail::AtLevel(entries[i].P, Level))
                Write(entries[i], s);
    }

    void SubtreePoints(int page, int index, const Slabs& s, bool leavesOnly)
    {
        const CloudNode& node = Tree.Pages[page][index];
        if (!CloudIsInner(node)) {
            LeafPoints(page, index, s);
            return;
        }
        if (Level > 0 && !(CloudNodeLevels(node) & (1u << (Level - 1))))
            return;
        Children(node, s, [&](int child, const Slabs& c) {
            if (!leavesOnly || !CloudIsInner(Tree.Pages[page + 1][child]))
                SubtreePoints(page + 1, child, c, false);
        });
    }

    void Entries(int page, int index, const Slabs& s)
    {
        const CloudNode& node = Tree.Pages[page][index];
        const int g = Groups.GroupOf(Tree, page, index);
        bool descend = CloudIsInner(node);
        if (g > 0) {
            const CloudLevelEntry& entry = Groups.Groups[g - 1].Levels[Level];
            if (entry.VertexCount > 0) {
                const bool leavesOnly = (entry.Flags & CLOUD_ENTRY_LEAVESONLY) != 0;
                CloudFillPlan::Run run;
                run.Group = g - 1;
                run.First = (CKDWORD) Out.Points.size();
                Left = (CKDWORD) entry.VertexCount;
                SubtreePoints(page, index, s, leavesOnly);
                run.Count = (CKDWORD) Out.Points.size() - run.First;
                Out.Runs.push_back(run);
                descend = descend && leavesOnly;
            }
        }
        if (!descend)
            return;
        Children(node, s, [&](int child, const Slabs& c) {
            if (CloudIsInner(Tree.Pages[page + 1][child]))
                Entries(page + 1, child, c);
        });
    }
};

CKDWORD CloudFillPlan::ChildSlab(int axis, CKDWORD slab, int upper)
{
    std::vector<Slab>& slabs = m_Slabs[axis];
    CKDWORD child = slabs[slab].Child[upper];
    if (child == 0) {
        // Slab 0 is the root's, never a child: 0 marks a child not made yet.
        Slab s;
        s.Parent = slab;
        s.Depth = slabs[slab].Depth + 1;
        s.Upper = (CKDWORD) upper;
        child = (CKDWORD) slabs.size();
        slabs.push_back(s);
        slabs[slab].Child[upper] = child;
    }
    return child;
}

void CloudFillPlan::Build(const CloudTree& tree, const CloudVertexGroups& groups, int level)
{
    Level& out = m_Levels[level];
    out = Level();
    out.Built = true;
    if (!tree.HasRoot())
        return;
    for (std::vector<Slab>& slabs : m_Slabs)
        if (slabs.empty())
            slabs.emplace_back();
    CloudFillPlanBuilder builder{*this, tree, groups, level, out};
    builder.Entries(0, 0, Slabs());
    out.Points.shrink_to_fit();
    out.Indices.shrink_to_fit();
}

const std::vector<CloudFillPlan::Run>& CloudFillPlan::Runs(const CloudTree& tree, const CloudVertexGroups& groups,
                                                           int level)
{
    if (!m_Levels[level].Built)
        Build(tree, groups, level);
    return m_Levels[level].Runs;
}

void CloudFillPlan::Place(const QxVector& rootMin, const QxVector& rootSize)
{
    bool current = m_IsPlaced && SameBits(m_PlacedMin, rootMin) && SameBits(m_PlacedSize, rootSize);
    for (int a = 0; a < 3; ++a)
        current = current && m_Placed[a].size() == m_Slabs[a].size();
    if (current)
        return;
    const float rootMinOf[3] = {rootMin.x, rootMin.y, rootMin.z};
    const float rootSizeOf[3] = {rootSize.x, rootSize.y, rootSize.z};
    for (int a = 0; a < 3; ++a) {
        const std::vector<Slab>& slabs = m_Slabs[a];
        std::vector<Placed>& placed = m_Placed[a];
        placed.resize(slabs.size());
        if (slabs.empty())
            continue;
        // Sizes and steps by depth, halved as the walk halves them.
        CKDWORD deepest = 0;
        for (const Slab& s : slabs)
            deepest = s.Depth > deepest ? s.Depth : deepest;
        std::vector<float> size(deepest + 1), step(deepest + 1);
        size[0] = rootSizeOf[a];
        for (CKDWORD d = 1; d <= deepest; ++d)
            size[d] = size[d - 1] * 0.5f;
        for (CKDWORD d = 0; d <= deepest; ++d)
            step[d] = size[d] * (1.0f / 256.0f);
        placed[0].Min = rootMinOf[a];
        placed[0].Step = step[0];
        // Parents come before their children.
        for (size_t i = 1; i < slabs.size(); ++i) {
            const Slab& s = slabs[i];
            const float parent = placed[s.Parent].Min;
            placed[i].Min = s.Upper ? parent + size[s.Depth] : parent;
            placed[i].Step = step[s.Depth];
        }
    }
    m_PlacedMin = rootMin;
    m_PlacedSize = rootSize;
    m_IsPlaced = true;
}

void CloudFillPlan::WritePositions(int level, const Run& run, CKBYTE* out, size_t stride) const
{
    // Locals throughout: the writes through out could alias any member.
    const Point* points = m_Levels[level].Points.data() + run.First;
    const CKDWORD count = run.Count;
    const Placed* x = m_Placed[0].data();
    const Placed* y = m_Placed[1].data();
    const Placed* z = m_Placed[2].data();
    for (CKDWORD i = 0; i < count; ++i, out += stride) {
        const Point p = points[i];
        const Placed px = x[p.Slab[0]];
        const Placed py = y[p.Slab[1]];
        const Placed pz = z[p.Slab[2]];
        // As CloudReconstruct: min + q * (size * (1 / 256)), each axis
        // stored on its own (no round trip through a stack array).
        const float fx = px.Min + (float) (p.Q & 0xFF) * px.Step;
        const float fy = py.Min + (float) ((p.Q >> 8) & 0xFF) * py.Step;
        const float fz = pz.Min + (float) ((p.Q >> 16) & 0xFF) * pz.Step;
        std::memcpy(out, &fx, 4);
        std::memcpy(out + 4, &fy, 4);
        std::memcpy(out + 8, &fz, 4);
    }
}

void CloudFillPlan::Clear()
{
    for (int a = 0; a < 3; ++a) {
        m_Slabs[a] = std::vector<Slab>();
        m_Placed[a] = std::vector<Placed>();
    }
    for (Level& level : m_Levels)
        level = Level();
    m_IsPlaced = false;
}

size_t CloudFillPlan::GetBytes() const
{
    size_t bytes = 0;
    for (int a = 0; a < 3; ++a)
        bytes += m_Slabs[a].capacity() * sizeof(Slab) + m_Placed[a].capacity() * sizeof(Placed);
    for (const Level& level : m_Levels)
        bytes += level.Runs.capacity() * sizeof(Run) + level.Points.capacity() * sizeof(Point) +
                 level.Indices.capacity() * sizeof(CKDWORD);
    return bytes;
}
