#pragma once

#include <vector>

#include "render/objects/pointcloud/CloudIterator.h"
#include "render/objects/pointcloud/CloudTree.h"

class RCK3dPointCloud;

// The iterator over a cloud's finished subdivision. It keeps the path from
// the root as a stack of (page, entry, octant, last child visited).
class RCloudIterator : public CloudIterator
{
public:
    // On the root with the cloud's box; a cloud without points gives an
    // iterator that is over at once.
    explicit RCloudIterator(RCK3dPointCloud* cloud);

    CKBOOL IsInnerNode() override;
    CKBOOL IsLeaf() override;
    void GetNodeBox(QxBbox& box) override;
    void GetNodeBoxInFile(QxBbox& box) override;
    CKBOOL NextChild() override;
    CKBOOL NextPoint() override;
    CKBOOL GoUp() override;
    int GetChildCount() override;
    CKBOOL GoToChild(int n) override;
    CKBOOL HasChildInOctant(int octant) override;
    CKBOOL GoToOctant(int octant) override;
    QxVector* GetPointPosition(QxVector* position) override;
    QxVector* GetPointPositionInFile(QxVector* position) override;
    CKDWORD GetPointIndex() override;

private:
    struct Level
    {
        int Page;
        int Index;
        int Octant;    // of this node in its parent, -1 for the root
        int LastChild; // rank of the last child visited, -1 before the first
        QxVector Min;
        QxVector Size;
    };

    const CloudNode* Current() const;
    // The current point's entry (the leaf itself or its point entry); null
    // when the current node holds no point.
    const CloudNode* CurrentPoint() const;
    QxVector ToFile(const QxVector& v) const;
    bool Valid() const;

    RCK3dPointCloud* m_Cloud;
    std::vector<Level> m_Path;
    int m_PointIndex = 0;
};
