#pragma once

#include "includes/XString.h"
#include "platform/host/Point3.h"
#include "system/math/QxVector.h"

class HostMeshView;
class INode;
class Matrix3;
class Mesh;
class RVertex;

// The normal of a face corner from the render vertex of its vertex: its
// specified normal, else the face normal (no smoothing group, or no render
// normal), its single normal, or the last of its normals sharing a group
// with the face (the face normal when none does).
Point3 GetCornerNormal(Mesh& mesh, int face, RVertex& rv);
// Builds the normals FaceCornerNormal reads: the render normals, and the
// specified normals when the mesh has them.
void BuildCornerNormals(HostMeshView& view);
// The normal of corner k of face f as the mesh conversion takes it: the
// specified normal when the mesh has specified normals, else the corner
// normal of the corner's render vertex (the face normal without one).
Point3 FaceCornerNormal(HostMeshView& view, int f, int k);
// A host point in the engine's axes (y and z exchanged).
QxVector ToEngineAxes(const Point3& p);
// A host direction normalised (a zero one stays zero) in the engine's axes.
QxVector ToEngineDirection(const Point3& d);
// The twelve numbers of a host matrix, row by row.
void MatrixWords(const Matrix3& m, float words[12]);
// The node's "MapChannel:%d" properties joined ("c=value;" each).
XString MapChannelProperties(INode* node);
