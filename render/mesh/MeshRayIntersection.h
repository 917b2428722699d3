#pragma once

#include "render/mesh/CKMeshRecords.h"
#include "system/math/QxMatrix.h"

// Flags of the ray-mesh hit test.
enum : CKDWORD
{
    CK_RAYINTERSECTION_SEGMENT = 0x1,     // only hits between start and start + direction
    CK_RAYINTERSECTION_IGNOREALPHA = 0x2, // the face filter is not asked
};

// The hit nearest the start.
struct CKMeshRayHit
{
    // Distance from the start as a fraction of the direction's length.
    float Distance = 0.0f;
    // The hit point in the mesh's frame.
    QxVector Point;
    // The face's normal (from its record when it has one, else computed),
    // turned into world space by the world matrix when one is given.
    QxVector Normal;
    int Face = -1;
    // Barycentric weights of the face's corners 1 and 2 at the point.
    float U = 0.0f;
    float V = 0.0f;
};

// Asked of each face a ray meets (unless CK_RAYINTERSECTION_IGNOREALPHA):
// false lets the ray through there, as a material's alpha test does.
typedef bool (*CKFaceHitFilter)(void* argument, int face, float u, float v);

// The ray-mesh hit test: the ray from start along direction (a half line,
// or with CK_RAYINTERSECTION_SEGMENT the segment to start + direction)
// against both sides of every face. Non-zero on a hit, with the nearest hit
// in *hit when given. faces may be null; corners at or past the vertex count
// make a face unhittable.
int CKRayMeshIntersection(const CKVertex* vertices, int vertexCount, const CKDWORD* faceIndices, const CKFace* faces,
                          int faceCount, const QxVector& start, const QxVector& direction, CKDWORD flags,
                          const QxMatrix* world, CKMeshRayHit* hit, CKFaceHitFilter filter = nullptr,
                          void* filterArgument = nullptr);
