#pragma once

#include "render/objects/RCKRenderObject.h"
#include "system/math/QxBbox.h"
#include "system/math/QxMatrix.h"
#include "system/math/QxQuaternion.h"
#include "system/math/QxRect.h"
#include "system/math/QxVector.h"

class CKMesh;
class CKObjectAnimation;
struct CKPickResult;
class CKSkin;
class SceneGraphNode;
class XObjectPointerArray;

// Moveable flags of a 3D entity.
enum : CKDWORD
{
    CK_3DENTITY_PICKABLE = 0x1,
    CK_3DENTITY_VISIBLE = 0x2,        // mirrors object flag 0x40
    CK_3DENTITY_BOXUPTODATE = 0x4,    // cleared by every matrix and mesh change
    CK_3DENTITY_USERBOX = 0x10,       // the local box was given, not taken from the mesh
    CK_3DENTITY_FRUSTUMTESTED = 0x20, // the frame's frustum test is done
    CK_3DENTITY_BOXVALID = 0x4000,    // the box is not empty
    CK_3DENTITY_RENDERLAST = 0x10000,
    CK_3DENTITY_INMOVEDLIST = 0x20000,        // queued in the render manager's moved list
    CK_3DENTITY_WORLDIDENTITY = 0x40000,      // the world matrix is the identity
    CK_3DENTITY_RENDERFIRST = 0x100000,       // never rendered last; highest node priority
    CK_3DENTITY_INVERSEVALID = 0x400000,      // the inverse world matrix is up to date
    CK_3DENTITY_IGNOREPARENT = 0x800000,      // stays in place when its parent moves
    CK_3DENTITY_MIRRORED = 0x1000000,         // the world matrix has a negative determinant
    CK_3DENTITY_KEEPONLOAD = 0x2000000,       // with 0x100000: loading in memory keeps the flags
    CK_3DENTITY_HIERARCHYHIDDEN = 0x10000000, // mirrors object flag 0x200
    CK_3DENTITY_NOTMOVED = 0x40000000,        // no matrix change since the manager's last pass
};

// 3D entity flags (GetFlags); bits not listed are kept and saved as they are.
enum : CKDWORD
{
    CK_3DENTITYFLAG_400 = 0x400,              // an object animation does not move the entity
    CK_3DENTITYFLAG_LASTFRAMEMATRIX = 0x1000, // keeps the last frame's world matrix
    CK_3DENTITYFLAG_PLACEVALID = 0x10000,     // has a reference place (computed at save)
    CK_3DENTITYFLAG_PARENTVALID = 0x20000,    // has a parent (computed at save)
    CK_3DENTITYFLAG_UNITBOX = 0x80000,        // with object flag 0x1: a unit user box after load
    CK_3DENTITYFLAG_ZORDERVALID = 0x100000,   // non-zero z-order (computed at save)
    CK_3DENTITYFLAG_SKINDRIVESMESH = 0x40000000,
};

// Save flags of the 3D entity; each section is written under the identifier
// equal to its flag.
enum : CKDWORD
{
    CK_STATESAVE_SKINNORMALS = 0x1000,
    CK_STATESAVE_ANIMATIONS = 0x2000,
    CK_STATESAVE_MESHS = 0x4000,
    CK_STATESAVE_PARENT = 0x8000,             // older layout, still written when asked
    CK_STATESAVE_3DENTITYFLAGS = 0x10000,     // older layout, read only
    CK_STATESAVE_3DENTITYMATRIX = 0x20000,    // older layout, read only
    CK_STATESAVE_3DENTITYHIERARCHY = 0x40000, // the children are saved too (no section)
    CK_STATESAVE_3DENTITYDATA = 0x100000,     // flags, world matrix, place, parent, z-order
    CK_STATESAVE_SKINDATA = 0x200000,
    CK_STATESAVE_SKINPARAM = 0x220000,
    CK_STATESAVE_3DENTITYONLY = 0x3FF000,
    CK_STATESAVE_BLENDSHAPEWEIGHTS = 0x4FAE17D7, // an identifier, not a flag
};

// Dependency options of the 3D entity class.
enum : CKDWORD
{
    CK_DEPENDENCIES_3DENTITY_MESHES = 1,
    CK_DEPENDENCIES_3DENTITY_CHILDREN = 2,
    CK_DEPENDENCIES_3DENTITY_ANIMATIONS = 4,
};

// A positioned object of the 3D scene (class 33): a node of the hierarchy
// with a local matrix (relative to its parent) and a world matrix, meshes
// with one current mesh, object animations, a skin and blend-shape weights.
// Matrices take row vectors: rows 0, 1, 2 are the right, up and direction
// axes, row 3 the position, and world = local then parent world. Writing
// either matrix updates the other and carries the sub-tree along.
//
// Operations taking a referential work in that entity's frame (the world
// for null); keepChildren leaves the children's world matrices unchanged
// instead of carrying them along.
class CK3dEntity : public CKClass<CK3dEntity, RCKRenderObject, CKCID_3DENTITY>
{
public:
    using CKClass::CKClass;

    // Hierarchy.
    virtual int GetChildrenCount() = 0;
    // Null out of range.
    virtual CK3dEntity* GetChild(int index) = 0;
    // FALSE for the entity itself or one of its descendants; TRUE when
    // done or already so. keepWorldPosition keeps the world matrix (the
    // local one follows), else the local matrix stays.
    virtual CKBOOL SetParent(CK3dEntity* parent, CKBOOL keepWorldPosition = TRUE) = 0;
    virtual CK3dEntity* GetParent() = 0;
    virtual CKBOOL AddChild(CK3dEntity* child, CKBOOL keepWorldPosition = TRUE) = 0;
    // Parents the 3D entities of the array whose parent is not in the
    // array, so that sub-hierarchies inside it stay; the OR of the results.
    virtual CKBOOL AddChildren(const XObjectPointerArray& children, CKBOOL keepWorldPosition = TRUE) = 0;
    virtual CKBOOL RemoveChild(CK3dEntity* child) = 0;
    // Whether both sub-trees have the same shape: child for child with
    // sameOrder, else each child matching some child of the other.
    virtual CKBOOL HasSameHierarchy(CK3dEntity* other, CKBOOL sameOrder = FALSE) = 0;
    // Depth-first walk of the sub-tree: null gives the first child; null
    // at the end.
    virtual CK3dEntity* GetNextInHierarchy(CK3dEntity* current) = 0;

    // Flags.
    virtual CKDWORD GetFlags() = 0;
    virtual void SetFlags(CKDWORD flags) = 0;
    virtual void SetPickable(CKBOOL pickable = TRUE) = 0;
    virtual CKBOOL IsPickable() = 0;
    virtual void SetFlag400(CKBOOL set = TRUE) = 0;
    virtual CKBOOL HasFlag400() = 0;
    // The node's result of the last frustum test.
    virtual CKBOOL IsAllInsideFrustrum() = 0;
    virtual CKBOOL IsAllOutsideFrustrum() = 0;
    virtual void SetRenderLast(CKBOOL last = TRUE) = 0;
    virtual CKDWORD GetMoveableFlags() = 0;
    virtual void SetMoveableFlags(CKDWORD flags) = 0;
    // (flags AND NOT remove) OR add; the new flags.
    virtual CKDWORD ModifyMoveableFlags(CKDWORD add, CKDWORD remove) = 0;

    // Meshes.
    virtual CKMesh* GetCurrentMesh() = 0;
    // The previous current mesh.
    virtual CKMesh* SetCurrentMesh(CKMesh* mesh, CKBOOL addIfNotHere = TRUE) = 0;
    virtual int GetMeshCount() = 0;
    // Null out of range.
    virtual CKMesh* GetMesh(int index) = 0;
    virtual CKERROR AddMesh(CKMesh* mesh) = 0;
    // -1 when the mesh is not in the list.
    virtual CKERROR RemoveMesh(CKMesh* mesh) = 0;

    // Placement.
    virtual void LookAt(const QxVector* position, CK3dEntity* referential = nullptr, CKBOOL keepChildren = FALSE) = 0;
    // About the axis through the entity's position; angle in radians.
    virtual void Rotate3f(float x, float y, float z, float angle, CK3dEntity* referential = nullptr,
                          CKBOOL keepChildren = FALSE) = 0;
    virtual void Rotate(const QxVector* axis, float angle, CK3dEntity* referential = nullptr,
                        CKBOOL keepChildren = FALSE) = 0;
    virtual void Translate3f(float x, float y, float z, CK3dEntity* referential = nullptr,
                             CKBOOL keepChildren = FALSE) = 0;
    virtual void Translate(const QxVector* vector, CK3dEntity* referential = nullptr, CKBOOL keepChildren = FALSE) = 0;
    // Scales along the entity's own axes (local: before the local matrix).
    virtual void AddScale3f(float x, float y, float z, CKBOOL keepChildren = FALSE, CKBOOL local = TRUE) = 0;
    virtual void AddScale(const QxVector* scale, CKBOOL keepChildren = FALSE, CKBOOL local = TRUE) = 0;
    virtual void SetPosition3f(float x, float y, float z, CK3dEntity* referential = nullptr,
                               CKBOOL keepChildren = FALSE) = 0;
    virtual void SetPosition(const QxVector* position, CK3dEntity* referential = nullptr,
                             CKBOOL keepChildren = FALSE) = 0;
    virtual void GetPosition(QxVector* position, CK3dEntity* referential = nullptr) = 0;
    // right null: up x direction. The axes keep the current scale.
    virtual void SetOrientation(const QxVector* direction, const QxVector* up, const QxVector* right = nullptr,
                                CK3dEntity* referential = nullptr, CKBOOL keepChildren = FALSE) = 0;
    // Normalised axes; null outputs are skipped.
    virtual void GetOrientation(QxVector* direction, QxVector* up, QxVector* right = nullptr,
                                CK3dEntity* referential = nullptr) = 0;
    virtual void SetQuaternion(const QxQuaternion* quaternion, CK3dEntity* referential = nullptr,
                               CKBOOL keepChildren = FALSE, CKBOOL keepScale = FALSE) = 0;
    virtual void GetQuaternion(QxQuaternion* quaternion, CK3dEntity* referential = nullptr) = 0;
    // Each axis gets the length given (a zero factor becomes 1e-7).
    virtual void SetScale3f(float x, float y, float z, CKBOOL keepChildren = FALSE, CKBOOL local = TRUE) = 0;
    virtual void SetScale(const QxVector* scale, CKBOOL keepChildren = FALSE, CKBOOL local = TRUE) = 0;
    // Lengths of the axes of the local (or world) matrix.
    virtual void GetScale(QxVector* scale, CKBOOL local = TRUE) = 0;
    virtual CKBOOL ConstructWorldMatrix(const QxVector* position, const QxVector* scale,
                                        const QxQuaternion* quaternion) = 0;
    virtual CKBOOL ConstructWorldMatrixEx(const QxVector* position, const QxVector* scale,
                                          const QxQuaternion* quaternion, const QxQuaternion* shear, float sign) = 0;
    virtual CKBOOL ConstructLocalMatrix(const QxVector* position, const QxVector* scale,
                                        const QxQuaternion* quaternion) = 0;
    virtual CKBOOL ConstructLocalMatrixEx(const QxVector* position, const QxVector* scale,
                                          const QxQuaternion* quaternion, const QxQuaternion* shear, float sign) = 0;

    // Tests the entity's box against the view and marks the node (wholly
    // inside, wholly outside); the render flags' low byte asks for the screen
    // extents, 0x100 says the world matrix is loaded already.
    virtual CKBOOL IsInViewFrustrum(CKRenderContext* context, CKDWORD flags) = 0;
    // Tests the hierarchical box against the view; marks the node.
    virtual CKBOOL IsInViewFrustrumHierarchic(CKRenderContext* context) = 0;
    // Draws the entity (culling, callbacks, mesh); the render flags' low
    // byte asks for screen extents, 0x100 says the world matrix is loaded.
    // FALSE for an entity without mesh and callbacks.
    virtual CKBOOL Render(CKRenderContext* context, CKDWORD flags) = 0;
    // The segment start..end (in the referential's frame, the world for
    // null) against the current mesh: non-zero on a hit, the result (when
    // given) then naming this entity with the hit point, face, texture
    // coordinates and the distance from start along the segment.
    virtual CKBOOL RayIntersection(const QxVector* start, const QxVector* end, CKPickResult* result,
                                   CK3dEntity* referential, CKDWORD flags = 0) = 0;
    // The screen rectangle of the last frustum test that asked for it.
    virtual void GetRenderExtents(QxRect& rect) = 0;

    // Matrices.
    // The matrix kept at the start of the last frame, or the world matrix.
    virtual const QxMatrix& GetLastFrameMatrix() = 0;
    virtual void SetLocalMatrix(const QxMatrix& matrix, CKBOOL keepChildren = FALSE) = 0;
    virtual const QxMatrix& GetLocalMatrix() = 0;
    virtual void SetWorldMatrix(const QxMatrix& matrix, CKBOOL keepChildren = FALSE) = 0;
    virtual const QxMatrix& GetWorldMatrix() = 0;
    virtual const QxMatrix& GetInverseWorldMatrix() = 0;
    // From this entity's frame to the referential's, and back.
    virtual void Transform(QxVector* out, const QxVector* point, CK3dEntity* referential = nullptr) = 0;
    virtual void InverseTransform(QxVector* out, const QxVector* point, CK3dEntity* referential = nullptr) = 0;
    virtual void TransformVector(QxVector* out, const QxVector* vector, CK3dEntity* referential = nullptr) = 0;
    virtual void InverseTransformVector(QxVector* out, const QxVector* vector, CK3dEntity* referential = nullptr) = 0;
    // count points, 12 bytes apart.
    virtual void TransformMany(QxVector* out, const QxVector* points, int count, CK3dEntity* referential = nullptr) = 0;
    virtual void InverseTransformMany(QxVector* out, const QxVector* points, int count,
                                      CK3dEntity* referential = nullptr) = 0;
    // Bakes the entity's transform (relative to the referential) into its
    // meshes; the world matrix becomes the referential's.
    virtual void ApplyTransformToMeshes(CK3dEntity* referential = nullptr) = 0;
    // The place the entity belongs to, null when none.
    virtual CK3dEntity* GetReferencePlace() = 0;

    // Object animations.
    virtual void AddObjectAnimation(CKObjectAnimation* animation) = 0;
    virtual void RemoveObjectAnimation(CKObjectAnimation* animation) = 0;
    // Null out of range.
    virtual CKObjectAnimation* GetObjectAnimation(int index) = 0;
    virtual int GetObjectAnimationCount() = 0;

    // Skin.
    // A fresh skin replaces any other.
    virtual CKSkin* CreateSkin() = 0;
    // TRUE when there was one.
    virtual CKBOOL DestroySkin() = 0;
    // FALSE without a skin.
    virtual CKBOOL UpdateSkin() = 0;
    virtual CKSkin* GetSkin() = 0;

    // Bounds.
    // Brings the local box (from the mesh, the user box, or the point at
    // the origin) and the world box up to date.
    virtual void UpdateBox(CKBOOL world = TRUE) = 0;
    // After UpdateBox: the local or the world box.
    virtual const QxBbox& GetBoundingBox(CKBOOL local = FALSE) = 0;
    // A box given by the user (local or world; the other one follows),
    // null to take the mesh's again. TRUE.
    virtual CKBOOL SetBoundingBox(const QxBbox* box, CKBOOL local = FALSE) = 0;
    virtual const QxBbox& GetHierarchicalBox(CKBOOL local = FALSE) = 0;
    // FALSE (and the world position) without a mesh.
    virtual CKBOOL GetBaryCenter(QxVector* position) = 0;
    virtual float GetRadius() = 0;

    // Blend-shape weights, one per blend shape of the current mesh.
    // Ignored out of range.
    virtual void SetBlendShapeWeight(int index, float weight) = 0;
    virtual void SetBlendShapeWeightByName(const char* name, float weight) = 0;
    // 0 out of range or for a name the mesh does not have.
    virtual float GetBlendShapeWeight(int index) = 0;
    virtual float GetBlendShapeWeightByName(const char* name) = 0;

    // The node the render manager made for the entity.
    virtual SceneGraphNode* GetSceneGraphNode() = 0;
    // Keeps the world matrix as the last frame's.
    virtual void SaveLastFrameMatrix() = 0;
};
