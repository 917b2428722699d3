#include "render/objects/pointcloud/CloudTree.h"

size_t CloudTree::GetBytes() const
{
    size_t bytes = 0;
    for (const std::vector<CloudNode>& page : Pages)
        bytes += page.size() * sizeof(CloudNode);
    return bytes;
}

int CloudTree::CountStoredPoints() const
{
    int count = 0;
    for (const std::vector<CloudNode>& page : Pages)
        for (const CloudNode& n : page)
            count += CloudLeafPointCount(n);
    return count;
}

namespace {

struct LevelState
{
    int Step[CLOUD_LEVELCOUNT] = {};
    int Counter[CLOUD_LEVELCOUNT] = {};
    bool Active[CLOUD_LEVELCOUNT] = {};
    int Given[CLOUD_LEVELCOUNT] = {};
};

CKDWORD MarkPoint(CKDWORD& p, LevelState& s)
{
    p &= CLOUD_POINTINDEXMASK;
    CKDWORD levels = 0;
    for (int l = 0; l < CLOUD_LEVELCOUNT; ++l) {
        if (!s.Active[l])
            continue;
        if (s.Counter[l] == s.Step[l]) {
            levels |= 1u << l;
            ++s.Given[l];
            s.Counter[l] = 0;
        }
        ++s.Counter[l];
    }
    p |= levels << CLOUD_LEVELSHIFT;
    return levels;
}

// The level mask of the subtree (bit L-1 for level L).
CKDWORD MarkNode(CloudTree& tree, int page, int index, LevelState& s)
{
    CloudNode& node = tree.Pages[page][index];
    if (CloudIsInner(node)) {
        CKDWORD levels = 0;
        const int count = CloudChildCount(node);
        const int first = (int) node.P;
        for (int c = 0; c < count; ++c)
            levels |= MarkNode(tree, page + 1, first + c, s);
        node.W = (node.W & ~(0xFu << CLOUD_NODELEVELSHIFT)) | (levels << CLOUD_NODELEVELSHIFT);
        return levels;
    }
    if (CloudIsSingleLeaf(node))
        return MarkPoint(node.P, s);
    if (CloudIsMultiLeaf(node)) {
        CKDWORD levels = 0;
        const int n = CloudLeafPointCount(node);
        CloudNode* entries = &tree.Pages[page][node.P];
        for (int i = 0; i < n; ++i)
            levels |= MarkPoint(entries[i].P, s);
        return levels;
    }
    return 0;
}

} // namespace

void CloudAssignLevels(CloudTree& tree, int pointCount, const int wanted[CLOUD_LEVELCOUNT], int given[CLOUD_LEVELCOUNT])
{
    LevelState s;
    for (int l = 0; l < CLOUD_LEVELCOUNT; ++l) {
        s.Active[l] = wanted[l] > 0;
        s.Step[l] = s.Active[l] ? pointCount / wanted[l] : 0;
    }
    if (tree.HasRoot())
        MarkNode(tree, 0, 0, s);
    for (int l = 0; l < CLOUD_LEVELCOUNT; ++l)
        given[l] = s.Given[l];
}
