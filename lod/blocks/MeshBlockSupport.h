#pragma once

#include "core/behavior/CKBehavior.h"
#include "includes/CKTypes.h"
#include "system/math/QxBbox.h"
#include "system/math/QxVector.h"

class CK3dEntity;
class CKMesh;
class CKScene;

// What the mesh-deforming blocks share: their target and its mesh, the
// strided positions they change, the restoring of a mesh before a run, the
// 12-byte positions older versions kept in a Buffer local, and the choice of
// an axis.

// From this version on a block restores its mesh from the scene's initial
// state; before it, from the positions it saved itself.
constexpr CKDWORD kSceneRestoreVersion = 0x20000;

// Positions or normals: the first one, the bytes from one to the next and
// their number. Empty (null data, count 0) when the mesh has none.
struct VectorSpan
{
    CKBYTE* Data = nullptr;
    CKDWORD Stride = 0;
    int Count = 0;

    QxVector& operator[](int i) const { return *reinterpret_cast<QxVector*>(Data + (size_t) i * Stride); }
    bool Empty() const { return !Data || Count <= 0; }
};

// The modifier vertices (a progressive mesh's drawn ones, a patch mesh's
// control points).
VectorSpan ModifierPositions(CKMesh* mesh);
// The mesh's own vertex positions and normals, over its vertex count.
VectorSpan MeshPositions(CKMesh* mesh);
VectorSpan MeshNormals(CKMesh* mesh);

// The target as a 3D entity; null when it is missing or of another class.
CK3dEntity* TargetEntity(CKBehavior* behavior);
// The target's current mesh; null without one.
CKMesh* TargetMesh(CKBehavior* behavior);
// The owner as a 3D entity, or null.
CK3dEntity* OwnerEntity(CKBehavior* behavior);
// The object input n names when it is of the class (or derived), else null.
CKObject* InputObjectOfClass(CKBehavior* behavior, int n, CK_CLASSID cid);

// The mesh local n names; null when it names none or another object.
CKMesh* LocalMesh(CKBehavior* behavior, int n);

// The object flags of a mesh a block makes for itself: kept out of files
// (0x20) and marked as the engine's own (0x1, 0x2).
constexpr CKDWORD kPrivateMeshFlags = 0x23;

// Deactivates input 0 and activates output 0, the common first steps.
void PassThrough(CKBehavior* behavior);

// Reloads the mesh's vertex section from its initial value in the scene
// (CKMesh::LoadVertices); whole=true loads the mesh's whole state instead.
// Nothing without scene or initial value. Whether something was loaded.
bool RestoreFromInitialState(CKScene* scene, CKMesh* mesh, bool whole = false);
// Copies the 12-byte little-endian positions held by Buffer local n over the
// mesh's modifier vertices, as many as both hold; the number copied, -1 when
// the local holds no whole position.
int RestoreFromSavedPositions(CKBehavior* behavior, int local, CKMesh* mesh);
// The restore of a deformer's "Reset Mesh": a behaviour of the current
// version reloads the mesh from the scene's initial state (whole=true: its
// whole state), an older one copies back the positions of Buffer local n.
// Whether the behaviour is of the current version.
bool RestoreBeforeRun(const CKBehaviorContext& context, CKMesh* mesh, int local, bool whole = false);
// The scene a block restores from: the context's, else the engine's current
// one (null when neither exists).
CKScene* RestoreScene(const CKBehaviorContext& context);

// 0, 1 or 2 for the first non-zero component of the axis (x, y, z); -1 for a
// zero axis (or one of NaN components only).
int FirstAxis(const QxVector& axis);

// The Box of local n when it is one (24 bytes), else the sentinel box of the
// deformers: maximum (-1e6, -1e6, -1e6), minimum (1e6, 1e6, 1e6).
QxBbox ReadBoxLocal(CKBehavior* behavior, int n);
// Stores the box into local n when that local is a Box; nothing otherwise.
void WriteBoxLocal(CKBehavior* behavior, int n, const QxBbox& box);

// Sends the console line with a beep.
void BlockConsoleMessage(CKBehavior* behavior, const char* text);
