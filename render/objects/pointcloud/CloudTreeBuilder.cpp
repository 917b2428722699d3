#include "render/objects/pointcloud/CloudTreeBuilder.h"

#include <cmath>
#include <cstring>

// While building, a multi-point leaf keeps its points in arrival order in
// its block (the newest last); the finished tree lists them newest first.

void CloudTreeBuilder::Start(const QxVector& min, const QxVector& size, const QxVector& precision)
{
    Clear();
    m_Min = min;
    m_Size = size;
    m_Precision = precision;
}

void CloudTreeBuilder::Clear()
{
    m_Store.Clear();
    m_Root = CloudNode();
    m_MaxDepth = 0;
    m_Scratch.clear();
}

CloudNode* CloudTreeBuilder::Child(CloudNode* node, int k)
{
    const CKDWORD mask = CloudChildMask(*node);
    const int count = CloudChildCount(*node);
    const int rank = CloudChildRank(mask, k);
    if (mask & (1u << k))
        return m_Store.At(node->P + rank);
    CKDWORD block = node->P;
    if (count == 0) {
        block = m_Store.Allocate(1);
    } else if (CloudBlockStore::Capacity(count) < count + 1) {
        block = m_Store.Allocate(count + 1);
        CloudNode* from = m_Store.At(node->P);
        CloudNode* to = m_Store.At(block);
        std::memcpy(to, from, rank * sizeof(CloudNode));
        std::memcpy(to + rank + 1, from + rank, (count - rank) * sizeof(CloudNode));
        m_Store.Free(node->P, count);
    } else {
        CloudNode* at = m_Store.At(block);
        std::memmove(at + rank + 1, at + rank, (count - rank) * sizeof(CloudNode));
    }
    *m_Store.At(block + rank) = CloudNode();
    node->W = (node->W & ~0xFFFu) | ((mask | (1u << k)) << 8) | (CKDWORD) (count + 1);
    node->P = block;
    return m_Store.At(block + rank);
}

void CloudTreeBuilder::TakeLeafPoints(const CloudNode& node, std::vector<CloudNode>& out)
{
    out.clear();
    if (CloudIsSingleLeaf(node)) {
        out.push_back(node);
        return;
    }
    const int n = CloudLeafPointCount(node);
    if (n == 0)
        return;
    const CloudNode* entries = m_Store.At(node.P);
    for (int i = n - 1; i >= 0; --i)
        out.push_back(entries[i]);
}

bool CloudTreeBuilder::AddPoint(CloudNode* node, const QxVector& min, const QxVector& size, const CloudQuantized& q,
                                CKDWORD pointWord, int depth)
{
    if (CloudIsEmpty(*node)) {
        node->W = CloudPointWord(CLOUD_SINGLELEAF, q);
        node->P = pointWord;
        return true;
    }
    const int n = CloudLeafPointCount(*node);
    if (n >= CLOUD_MAXLEAFPOINTS)
        return false;
    CKDWORD block;
    if (CloudIsSingleLeaf(*node)) {
        block = m_Store.Allocate(2);
        CloudNode* entries = m_Store.At(block);
        entries[0].W = (node->W & ~0xFFu) | CLOUD_POINTENTRY;
        entries[0].P = node->P;
    } else if (CloudBlockStore::Capacity(n) < n + 1) {
        block = m_Store.Allocate(n + 1);
        std::memcpy(m_Store.At(block), m_Store.At(node->P), n * sizeof(CloudNode));
        m_Store.Free(node->P, n);
    } else {
        block = node->P;
    }
    CloudNode* added = m_Store.At(block + n);
    added->W = CloudPointWord(CLOUD_POINTENTRY, q);
    added->P = pointWord;
    node->W = CLOUD_MULTILEAF | ((CKDWORD) (n + 1) << 8);
    node->P = block;
    if (n + 1 == CLOUD_MAXLEAFPOINTS)
        Split(node, min, size, depth);
    return true;
}

bool CloudTreeBuilder::Split(CloudNode* node, const QxVector& min, const QxVector& size, int depth)
{
    if (CloudIsInner(*node))
        return true;
    const int n = CloudLeafPointCount(*node);
    if (n >= CLOUD_MAXLEAFPOINTS) {
        const CloudNode* entries = m_Store.At(node->P);
        bool same = true;
        for (int i = 1; i < n && same; ++i)
            same = entries[i].W == entries[0].W;
        if (same)
            return false;
    }
    if (n > 0 && depth >= kMaxSplitDepth)
        return false;
    std::vector<CloudNode> points;
    points.swap(m_Scratch);
    TakeLeafPoints(*node, points);
    if (CloudIsMultiLeaf(*node))
        m_Store.Free(node->P, n);
    *node = CloudNode();
    // A point's place in the octant follows from its place in the node: the
    // octant's grid is twice as fine, so the point moves down exactly,
    // without a rounding of its rebuilt position.
    for (const CloudNode& e : points) {
        const CloudQuantized q = CloudQuantizedOf(e);
        const int k = (q.x >= 128 ? 1 : 0) | (q.y >= 128 ? 2 : 0) | (q.z >= 128 ? 4 : 0);
        const CloudQuantized down = {(CKBYTE) (2 * q.x - (k & 1 ? 256 : 0)), (CKBYTE) (2 * q.y - (k & 2 ? 256 : 0)),
                                     (CKBYTE) (2 * q.z - (k & 4 ? 256 : 0))};
        QxVector childMin = min, childSize = size;
        CloudOctantBox(k, childMin, childSize);
        AddPoint(Child(node, k), childMin, childSize, down, e.P, depth + 1);
    }
    points.clear();
    if (m_Scratch.capacity() < points.capacity())
        m_Scratch.swap(points);
    return true;
}

bool CloudTreeBuilder::Insert(const QxVector& p, CKDWORD index)
{
    CloudNode* node = &m_Root;
    QxVector min = m_Min, size = m_Size;
    int depth = 0;
    bool stopped = false;
    for (;;) {
        if (!stopped) {
            if (size.x < m_Precision.x && size.y < m_Precision.y && size.z < m_Precision.z) {
                stopped = true;
            } else {
                const QxVector r = CloudReconstruct(CloudQuantize(p, min, size), min, size);
                stopped = (std::fabs(r.x - p.x) < m_Precision.x && std::fabs(r.y - p.y) < m_Precision.y &&
                           std::fabs(r.z - p.z) < m_Precision.z) ||
                          depth > CLOUD_MAXPRECISIONDEPTH;
            }
        }
        if (!CloudIsInner(*node)) {
            if (stopped) {
                if (depth > m_MaxDepth)
                    m_MaxDepth = depth;
                return AddPoint(node, min, size, CloudQuantize(p, min, size), index & CLOUD_POINTINDEXMASK, depth);
            }
            // A leaf whose split is refused takes no point into its block as
            // if it were children.
            if (!Split(node, min, size, depth))
                return false;
        }
        const int k = CloudOctant(p, min + size * 0.5f);
        CloudOctantBox(k, min, size);
        node = Child(node, k);
        ++depth;
    }
}

int CloudTreeBuilder::Finish(CloudTree& tree)
{
    tree.Pages.clear();
    std::vector<CloudNode> points;
    tree.Pages.emplace_back();
    tree.Pages[0].push_back(m_Root);
    if (CloudIsMultiLeaf(m_Root)) {
        // A root that is a leaf keeps its points in page 0, so that they
        // are saved and loaded with it.
        TakeLeafPoints(m_Root, points);
        tree.Pages[0][0].P = 1;
        tree.Pages[0].insert(tree.Pages[0].end(), points.begin(), points.end());
    }
    for (size_t d = 0;; ++d) {
        std::vector<CloudNode>& page = tree.Pages[d];
        size_t next = 0;
        for (const CloudNode& e : page) {
            if (!CloudIsInner(e))
                continue;
            const int count = CloudChildCount(e);
            next += count;
            const CloudNode* children = m_Store.At(e.P);
            for (int c = 0; c < count; ++c)
                if (CloudIsMultiLeaf(children[c]))
                    next += CloudLeafPointCount(children[c]);
        }
        if (next == 0)
            break;
        std::vector<CloudNode> out;
        out.reserve(next);
        for (CloudNode& e : page) {
            if (!CloudIsInner(e))
                continue;
            const int count = CloudChildCount(e);
            const size_t first = out.size();
            const CloudNode* children = m_Store.At(e.P);
            out.insert(out.end(), children, children + count);
            e.P = (CKDWORD) first;
            for (int c = 0; c < count; ++c) {
                CloudNode& child = out[first + c];
                if (!CloudIsMultiLeaf(child))
                    continue;
                TakeLeafPoints(child, points);
                child.P = (CKDWORD) out.size();
                out.insert(out.end(), points.begin(), points.end());
            }
        }
        tree.Pages.push_back(std::move(out));
    }
    m_Store.Clear();
    m_Root = CloudNode();
    return (int) tree.Pages.size();
}
