#include "render/objects/pointcloud/CloudRunIndex.h"

#include <cstring>

namespace {

bool SameBits(const QxVector& a, const QxVector& b)
{
    return std::memcmp(&a, &b, sizeof(QxVector)) == 0;
}

// Every node's first point ordinal, then its points, in walk order.
struct Indexer : CloudVisitAll
{
    CloudRunIndex& Index;

    explicit Indexer(CloudRunIndex& index) : Index(index) {}
    CloudVisit Inner(int page, int index, const QxVector&, const QxVector&) { return Mark(page, index); }
    CloudVisit Leaf(int page, int index, const QxVector&, const QxVector&) { return Mark(page, index); }
    CloudVisit Mark(int page, int index)
    {
        Index.First[page][index] = (CKDWORD) Index.Points.size();
        return CloudVisit::Enter;
    }
    bool Point(const CloudNode& entry, const QxVector& min, const QxVector& size)
    {
        CloudSelectionEntry e;
        e.Position = CloudReconstruct(CloudQuantizedOf(entry), min, size);
        e.PointIndex = CloudPointIndex(entry.P);
        Index.Points.push_back(e);
        return true;
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
        Indexer indexer(*this);
        CloudWalk(tree, rootMin, rootSize, indexer);
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
