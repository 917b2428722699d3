#pragma once

#include "render/mesh/CKMeshRecords.h"

// The per-vertex and per-face kernels of the meshes, reached through one
// table. Faces name their corners by three 32-bit indices each; a face with
// a corner at or past the vertex count gets the normal (0, 0, 0) and adds to
// no vertex.
struct MeshKernelTable
{
    // Writes each face's unit normal, (b - a) x (c - a) normalised, into its
    // record; a face of zero area gets (0, 0, 0).
    void (*ComputeFaceNormals)(CKFace* faces, int faceCount, const CKDWORD* faceIndices, const CKVertex* vertices,
                               int vertexCount);
    // Face normals, then each vertex's normal: the sum of the normals of the
    // faces that use it, normalised (a zero sum stays zero).
    void (*ComputeVertexNormals)(CKFace* faces, int faceCount, const CKDWORD* faceIndices, CKVertex* vertices,
                                 int vertexCount);
    // Normalises each vertex's normal; a zero normal stays zero.
    void (*NormalizeVertexNormals)(CKVertex* vertices, int vertexCount);
};

// The kernels of this build (portable code the compiler vectorises).
const MeshKernelTable& CKGetMeshKernels();
