#include "render/objects/pointcloud/RCloudIterator.h"

#include "render/objects/pointcloud/RCK3dPointCloud.h"

RCloudIterator::RCloudIterator(RCK3dPointCloud* cloud) : m_Cloud(cloud)
{
    m_Path.push_back({0, 0, -1, -1, cloud->GetBoxMin(), cloud->GetBoxSize()});
    // Before the first point: the first NextPoint gives point 0.
    m_PointIndex = -1;
}

bool RCloudIterator::Valid() const
{
    const CloudTree& tree = m_Cloud->GetTree();
    const Level& l = m_Path.back();
    return l.Page < (int) tree.Pages.size() && l.Index < (int) tree.Pages[l.Page].size();
}

const CloudNode* RCloudIterator::Current() const
{
    if (!Valid())
        return nullptr;
    const Level& l = m_Path.back();
    return &m_Cloud->GetTree().Pages[l.Page][l.Index];
}

const CloudNode* RCloudIterator::CurrentPoint() const
{
    const CloudNode* node = Current();
    if (!node)
        return nullptr;
    const int i = m_PointIndex < 0 ? 0 : m_PointIndex;
    if (CloudIsSingleLeaf(*node))
        return i == 0 ? node : nullptr;
    if (!CloudIsMultiLeaf(*node) || i >= CloudLeafPointCount(*node))
        return nullptr;
    return &m_Cloud->GetTree().Pages[m_Path.back().Page][node->P + i];
}

CKBOOL RCloudIterator::IsInnerNode()
{
    const CloudNode* node = Current();
    return node && (node->W & 0xFF) < 32;
}

CKBOOL RCloudIterator::IsLeaf()
{
    const CloudNode* node = Current();
    return node && (node->W & CLOUD_LEAFBITS) != 0;
}

void RCloudIterator::GetNodeBox(QxBbox& box)
{
    const Level& l = m_Path.back();
    box = CloudBoxOf(l.Min, l.Size);
}

QxVector RCloudIterator::ToFile(const QxVector& v) const
{
    const float s = m_Cloud->GetInverseRescale();
    const QxVector* t = m_Cloud->GetTranslation();
    return QxVector(v.x * s - t->x, v.y * s - t->y, v.z * s - t->z);
}

void RCloudIterator::GetNodeBoxInFile(QxBbox& box)
{
    GetNodeBox(box);
    box.Min = ToFile(box.Min);
    box.Max = ToFile(box.Max);
}

CKBOOL RCloudIterator::GoToChild(int n)
{
    const CloudNode* node = Current();
    if (!node || !CloudIsInner(*node) || n < 0 || n >= CloudChildCount(*node))
        return FALSE;
    const CKDWORD mask = CloudChildMask(*node);
    int octant = 0, rank = -1;
    for (; octant < 8; ++octant)
        if ((mask & (1u << octant)) && ++rank == n)
            break;
    if (octant == 8)
        return FALSE;
    Level& parent = m_Path.back();
    parent.LastChild = n;
    Level child{parent.Page + 1, (int) node->P + n, octant, -1, parent.Min, parent.Size};
    CloudOctantBox(octant, child.Min, child.Size);
    m_Path.push_back(child);
    m_PointIndex = 0;
    return TRUE;
}

CKBOOL RCloudIterator::NextChild()
{
    for (;;) {
        const CloudNode* node = Current();
        Level& l = m_Path.back();
        if (node && CloudIsInner(*node) && l.LastChild + 1 < CloudChildCount(*node))
            return GoToChild(l.LastChild + 1);
        if (m_Path.size() == 1)
            return FALSE;
        m_Path.pop_back();
    }
}

CKBOOL RCloudIterator::NextPoint()
{
    const CloudNode* node = Current();
    if (node && !CloudIsInner(*node)) {
        if (m_PointIndex + 1 < CloudLeafPointCount(*node)) {
            ++m_PointIndex;
            return TRUE;
        }
        if (!GoUp())
            return FALSE;
    }
    while (NextChild()) {
        node = Current();
        if (node && !CloudIsInner(*node) && CloudLeafPointCount(*node) > 0) {
            m_PointIndex = 0;
            return TRUE;
        }
    }
    return FALSE;
}

CKBOOL RCloudIterator::GoUp()
{
    if (m_Path.size() <= 1)
        return FALSE;
    m_Path.pop_back();
    m_PointIndex = 0;
    return TRUE;
}

int RCloudIterator::GetChildCount()
{
    const CloudNode* node = Current();
    return node && CloudIsInner(*node) ? CloudChildCount(*node) : 0;
}

CKBOOL RCloudIterator::HasChildInOctant(int octant)
{
    const CloudNode* node = Current();
    return node && CloudIsInner(*node) && octant >= 0 && octant < 8 && (CloudChildMask(*node) & (1u << octant));
}

CKBOOL RCloudIterator::GoToOctant(int octant)
{
    if (!HasChildInOctant(octant))
        return FALSE;
    return GoToChild(CloudChildRank(CloudChildMask(*Current()), octant));
}

QxVector* RCloudIterator::GetPointPosition(QxVector* position)
{
    if (!position)
        return nullptr;
    const CloudNode* point = CurrentPoint();
    const Level& l = m_Path.back();
    *position = point ? CloudReconstruct(CloudQuantizedOf(*point), l.Min, l.Size) : QxVector();
    return position;
}

QxVector* RCloudIterator::GetPointPositionInFile(QxVector* position)
{
    if (!GetPointPosition(position))
        return nullptr;
    *position = ToFile(*position);
    return position;
}

CKDWORD RCloudIterator::GetPointIndex()
{
    const CloudNode* point = CurrentPoint();
    return point ? CloudPointIndex(point->P) : 0;
}
