#include "render/mesh/MeshKernels.h"

#include <cmath>

namespace {

// v / |v|, or zero for a zero vector.
QxVector UnitOrZero(const QxVector& v)
{
    float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    if (!(length > 0.0f))
        return QxVector(0.0f, 0.0f, 0.0f);
    float inverse = 1.0f / length;
    return QxVector(v.x * inverse, v.y * inverse, v.z * inverse);
}

void ComputeFaceNormals(CKFace* faces, int faceCount, const CKDWORD* faceIndices, const CKVertex* vertices,
                        int vertexCount)
{
    for (int f = 0; f < faceCount; ++f) {
        const CKDWORD* corner = faceIndices + 3 * f;
        if (corner[0] >= (CKDWORD) vertexCount || corner[1] >= (CKDWORD) vertexCount ||
            corner[2] >= (CKDWORD) vertexCount) {
            faces[f].Normal = QxVector(0.0f, 0.0f, 0.0f);
            continue;
        }
        const QxVector& a = vertices[corner[0]].Position;
        QxVector ab = vertices[corner[1]].Position - a;
        QxVector ac = vertices[corner[2]].Position - a;
        QxVector n(ab.y * ac.z - ab.z * ac.y, ab.z * ac.x - ab.x * ac.z, ab.x * ac.y - ab.y * ac.x);
        faces[f].Normal = UnitOrZero(n);
    }
}

void NormalizeVertexNormals(CKVertex* vertices, int vertexCount)
{
    for (int i = 0; i < vertexCount; ++i)
        vertices[i].Normal = UnitOrZero(vertices[i].Normal);
}

void ComputeVertexNormals(CKFace* faces, int faceCount, const CKDWORD* faceIndices, CKVertex* vertices, int vertexCount)
{
    ComputeFaceNormals(faces, faceCount, faceIndices, vertices, vertexCount);
    for (int i = 0; i < vertexCount; ++i)
        vertices[i].Normal = QxVector(0.0f, 0.0f, 0.0f);
    for (int f = 0; f < faceCount; ++f) {
        const CKDWORD* corner = faceIndices + 3 * f;
        if (corner[0] >= (CKDWORD) vertexCount || corner[1] >= (CKDWORD) vertexCount ||
            corner[2] >= (CKDWORD) vertexCount)
            continue;
        for (int k = 0; k < 3; ++k)
            vertices[corner[k]].Normal += faces[f].Normal;
    }
    NormalizeVertexNormals(vertices, vertexCount);
}

const MeshKernelTable kKernels = {&ComputeFaceNormals, &ComputeVertexNormals, &NormalizeVertexNormals};

} // namespace

const MeshKernelTable& CKGetMeshKernels()
{
    return kKernels;
}
