#pragma once

#include <vector>

#include "includes/CKTypes.h"

// The order in which a progressive mesh lets its vertices go: a renumbering
// of the vertices under which the last ones collapse first, and for each
// vertex (in the new numbering) the vertex it collapses onto, always one of
// lower number (-1 for those that never collapse). Drawing the first k
// vertices means sending every corner at or above k down its chain of
// collapses until it falls below k, and dropping the faces that become
// degenerate (or whose chain ends without falling below k).
struct CKCollapseOrder
{
    // NewIndex[old vertex] = its new number.
    std::vector<int> NewIndex;
    // CollapseTo[new number] = the new number it collapses onto, or -1.
    std::vector<int> CollapseTo;
    // Vertices that never collapse (the lowest numbers), unused vertices
    // excepted: those take the highest numbers and collapse onto nothing.
    int BaseCount = 0;
};

// Builds the order by half-edge collapses of least quadric error (Garland
// and Heckbert's plane quadrics, weighted by face area, with planes across
// open edges so that borders and texture seams keep their line): the vertex
// that moves onto a neighbour is the one whose quadric, with its
// neighbour's, grows least at that neighbour's position. A collapse that
// would turn a face over, pinch the surface (two faces on one edge after
// it) or pull a border vertex off its border is never made.
//
// positions: x, y, z floats, stride bytes apart; faces: three indices each.
// Faces with a corner at or past the vertex count, or with two equal
// corners, are ignored. False (order empty) for a negative count or null
// arrays with a non-zero count.
bool CKBuildCollapseOrder(const float* positions, int stride, int vertexCount, const CKDWORD* faceIndices,
                          int faceCount, CKCollapseOrder& order);
