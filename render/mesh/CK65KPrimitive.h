#pragma once

#include "includes/CKTypes.h"
#include "includes/XArray.h"
#include "system/memory/QxPoolObject.h"

// One drawable piece of a mesh of at most 65,535 vertices: its 16-bit
// indices into its own local vertices, the mesh vertex of each local vertex,
// and the shared vertex and index buffers (rasterizer object indices of kind
// 64 and 128) it is drawn from. An empty remap means the local vertices are
// the mesh's first VertexCount vertices; an empty index list means the
// index buffer comes from the mesh's own face indices.
class CK65KPrimitive : public QxPoolObject
{
public:
    // Local vertex -> mesh vertex.
    XArray<CKDWORD> Remap;
    CKDWORD IndexBuffer = 0;
    CKDWORD VertexBuffer = 0;
    XArray<CKWORD> Indices;
    // CKRST_PT_TRIANGLELIST or CKRST_PT_TRIANGLESTRIP.
    int Type = 0;
    int VertexCount = 0;
    int IndexCount = 0;
    // When not empty, Indices are strips one after the other; strip i
    // draws StripLengths[i] triangles from StripLengths[i] + 2 indices.
    XArray<int> StripLengths;

    // Renumbers the local vertices the indices use, in order of first use,
    // when fewer than vertexCount of them are used: the remap then lists the
    // used ones (through the old remap when there was one) and VertexCount
    // becomes their number. Nothing changes otherwise.
    void CompactVertices(int vertexCount);
    // Bytes the arrays hold.
    int GetArrayBytes() const;
};
