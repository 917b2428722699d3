#include "render/objects/pointcloud/CloudRunIndex.h"

#include <cstring>

namespace {

bool SameBits(const QxVector& a, const QxVector& b)
{
    return std::memcmp(&a, &b, sizeof(QxVector)) == 0;
}

struct Indexer
{
    const CloudTree& Tree;
    CloudRunIndex& Index;

    void Visit(int page, int index, const QxVector& min, const QxVector& size)
    {
        Index.First[page][index] = (CKDWORD) Index.Points.size();
        const CloudNode& node = Tree.Pages[page][index];
        if (CloudIsInner(node)) {
            CloudForEachChild(node, min, size, [&](int child, const QxVector& childMin, const QxVector& childSize) {
                Visit(page + 1, child, childMin, childSize);
                return true;
            });
            return;
        }
        const int n = CloudLeafPointCount(node);
        const CloudNode* entries = CloudIsSingleLeaf(node) ? &node : &Tree.Pages[page][node.P];
        for (int i = 0; i < n; ++i) {
            CloudSelectionEntry e;
            e.Position = CloudReconstruct(CloudQuantizedOf(entries[i]), min, size);
            e.PointIndex = CloudPointIndex(entries[i].P);
            Index.Points.push_back(e);
        }
    }
};

} // namespace

void CloudRunIndex::Build(const CloudTree& tree, const QxVector& rootMin, const QxVector& rootSize)
{
    Clear();
    First.resize(tree.Pages.size());
    PageSizes.reserve(tree.Pages.size());
    for (size_t d = 0; d < tree.Pages.size(); ++d) {
        First[d].assign(tree.Pages[d].size(), 0);
        PageSizes.push_back(tree.Pages[d].size());
    }
    Points.reserve((size_t) tree.CountStoredPoints());
    if (tree.HasRoot()) {
        Root = tree.Root();
        Indexer indexer{tree, *this};
        indexer.Visit(0, 0, rootMin, rootSize);
    }
    RootMin = rootMin;
    RootSize = rootSize;
    Built = true;
}

bool CloudRunIndex::Matches(const CloudTree& tree, const QxVector& rootMin, const QxVector& rootSize) const
{
    if (!Built || !SameBits(RootMin, rootMin) || !SameBits(RootSize, rootSize) || PageSizes.size() != tree.Pages.size())
        return false;
    for (size_t d = 0; d < PageSizes.size(); ++d)
        if (PageSizes[d] != tree.Pages[d].size())
            return false;
    return !tree.HasRoot() || (Root.W & 0xFFFF) == (tree.Root().W & 0xFFFF);
}

void CloudRunIndex::Clear()
{
    Points.clear();
    Points.shrink_to_fit();
    First.clear();
    First.shrink_to_fit();
    PageSizes.clear();
    Root = CloudNode();
    Built = false;
}
