#pragma once

#include "includes/CKTypes.h"
#include "system/math/QxBbox.h"
#include "system/math/QxVector.h"

// A walk over a cloud's subdivision, node by node and point by point, for
// code outside the cloud. It starts on the root with the cloud's box.
class CloudIterator
{
public:
    virtual ~CloudIterator() = default;

    virtual CKBOOL IsInnerNode() = 0;
    virtual CKBOOL IsLeaf() = 0;
    // The current node's box in the cloud's space.
    virtual void GetNodeBox(QxBbox& box) = 0;
    // The same in the point file's coordinates (value / rescale - translation).
    virtual void GetNodeBoxInFile(QxBbox& box) = 0;
    // The next child of the current node, or after its last child the
    // parent's next child, and so on up; FALSE when the walk is over.
    virtual CKBOOL NextChild() = 0;
    // The next point of the walk; FALSE when there is none.
    virtual CKBOOL NextPoint() = 0;
    // Back to the parent; FALSE at the root.
    virtual CKBOOL GoUp() = 0;
    // 0 for a leaf.
    virtual int GetChildCount() = 0;
    // The n-th present child (octant order); FALSE when there is none.
    virtual CKBOOL GoToChild(int n) = 0;
    virtual CKBOOL HasChildInOctant(int octant) = 0;
    virtual CKBOOL GoToOctant(int octant) = 0;
    // The current point rebuilt in the current box.
    virtual QxVector* GetPointPosition(QxVector* position) = 0;
    virtual QxVector* GetPointPositionInFile(QxVector* position) = 0;
    virtual CKDWORD GetPointIndex() = 0;
};
