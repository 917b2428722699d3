#include "tests/render/objects/pointcloud/CloudTestSupport.h"

#include <string>

namespace {

struct Collector : CloudVisitAll
{
    std::vector<WalkedPoint>* Out;
    bool Point(const CloudNode& entry, const QxVector& min, const QxVector& size)
    {
        Out->push_back({CloudPointIndex(entry.P), CloudPointLevels(entry.P),
                        CloudReconstruct(CloudQuantizedOf(entry), min, size), CloudBoxOf(min, size)});
        return true;
    }
};

} // namespace

std::vector<WalkedPoint> WalkPoints(const CloudTree& tree, const QxVector& min, const QxVector& size)
{
    std::vector<WalkedPoint> out;
    Collector c;
    c.Out = &out;
    CloudWalk(tree, min, size, c);
    return out;
}

std::vector<QxVector> RandomPoints(std::mt19937& rng, int count, const QxVector& min, const QxVector& max)
{
    std::uniform_real_distribution<float> x(min.x, max.x), y(min.y, max.y), z(min.z, max.z);
    std::vector<QxVector> points((size_t) count);
    for (QxVector& p : points)
        p = QxVector(x(rng), y(rng), z(rng));
    return points;
}

void BoxOf(const std::vector<QxVector>& points, QxVector& min, QxVector& size)
{
    QxBbox box(points[0], points[0]);
    for (const QxVector& p : points)
        box.Merge(p);
    min = box.Min;
    size = box.Max - box.Min;
}

CloudTree BuildTree(const std::vector<QxVector>& points, const QxVector& min, const QxVector& size,
                    const QxVector& precision)
{
    CloudTreeBuilder builder;
    builder.Start(min, size, precision);
    for (size_t i = 0; i < points.size(); ++i)
        builder.Insert(points[i], (CKDWORD) i);
    CloudTree tree;
    builder.Finish(tree);
    return tree;
}

std::string CheckTree(const CloudTree& tree)
{
    if (!tree.HasRoot())
        return tree.Pages.empty() ? "" : "a first page without root";
    std::vector<std::vector<int>> reached(tree.Pages.size());
    for (size_t d = 0; d < tree.Pages.size(); ++d)
        reached[d].assign(tree.Pages[d].size(), 0);
    reached[0][0] = 1;
    for (size_t d = 0; d < tree.Pages.size(); ++d) {
        const std::vector<CloudNode>& page = tree.Pages[d];
        for (size_t i = 0; i < page.size(); ++i) {
            if (reached[d][i] != 1)
                continue;
            const CloudNode& n = page[i];
            if (CloudIsInner(n)) {
                const int count = CloudChildCount(n);
                if (count < 1 || __builtin_popcount(CloudChildMask(n)) != count)
                    return "child count and mask disagree";
                if (d + 1 >= tree.Pages.size() || n.P + count > tree.Pages[d + 1].size())
                    return "children outside the next page";
                for (int c = 0; c < count; ++c)
                    if (reached[d + 1][n.P + c]++)
                        return "a child reached twice";
            } else if (CloudIsMultiLeaf(n)) {
                const int count = CloudLeafPointCount(n);
                if (count < 2 || n.P + count > page.size())
                    return "leaf points outside the page";
                for (int c = 0; c < count; ++c) {
                    if (reached[d][n.P + c])
                        return "a point entry reached twice";
                    if ((page[n.P + c].W & 0xFF) != CLOUD_POINTENTRY)
                        return "a point entry of another kind";
                    reached[d][n.P + c] = 2;
                }
            } else if (!CloudIsSingleLeaf(n) && !(d == 0 && CloudIsEmpty(n))) {
                return "a node of no known kind";
            }
        }
        for (int r : reached[d])
            if (!r)
                return "an entry nothing reaches";
    }
    return "";
}
