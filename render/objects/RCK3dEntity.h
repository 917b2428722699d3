#pragma once

#include "includes/XArray.h"
#include "render/objects/CK3dEntity.h"
#include "system/math/QxRect.h"

class RCKRenderContext;
class RCKRenderManager;
class RCKSkin;
class RenderBatchGroup;

// The 3D entity. Every 3D class derives from it (through its interface), so
// any CK3dEntity is an RCK3dEntity.
//
// Matrix writes run one of three updates: WorldMatrixChanged after the world
// matrix was written (the local one follows), LocalMatrixChanged after the
// local one was (the world one follows), WorldPositionChanged after only the
// position row of the world matrix was. Each marks the boxes out of date,
// queues the entity with the render manager as moved, and carries the
// sub-tree along: every descendant's world matrix follows, except below a
// child that ignores its parent; with keepChildren the children keep their
// world matrices and their local ones follow instead.
//
// Bounds, picking and drawing work on the current mesh (the entity's
// drawing file): the boxes follow the mesh, its skin and a user box; Render
// tests the view, applies blend shapes and the skin and draws the mesh
// between the entity's callbacks, at once or through the render context's
// batches.
class RCK3dEntity : public CK3dEntity
{
public:
    // Identity matrices, flags 0x40003 (pickable, visible, identity), a
    // scene-graph node under the render manager's root.
    explicit RCK3dEntity(CKContext* context, const char* name = nullptr);
    // Destroys the skin, the animation list, the last-frame matrix and the
    // scene-graph node.
    ~RCK3dEntity() override;

    // CKObject.
    void Show(CKDWORD show = CKSHOW) override;
    CKBOOL IsHiddenByParent() override;
    CKBOOL IsVisible() override;
    void PreSave(CKFile* file, CKDWORD flags) override;
    CKStateChunk* Save(CKFile* file, CKDWORD flags) override;
    CKERROR Load(CKStateChunk* chunk, CKFile* file) override;
    void PostLoad() override;
    void PreDelete() override;
    void CheckPreDeletion() override;
    int GetMemoryOccupation() override;
    CKBOOL IsObjectUsed(CKObject* object, CK_CLASSID cid) override;
    CKERROR PrepareDependencies(CKDependenciesContext& context, CKBOOL caller = TRUE) override;
    CKERROR RemapDependencies(CKDependenciesContext& context) override;
    CKERROR Copy(CKObject& source, CKDependenciesContext& context) override;
    void AddToScene(CKScene* scene, CKBOOL dependencies = TRUE) override;
    void RemoveFromScene(CKScene* scene, CKBOOL dependencies = TRUE) override;

    // CKRenderObject.
    CKBOOL IsToBeRendered() override;
    void SetZOrder(int z) override;
    int GetZOrder() override;
    CKBOOL IsToBeRenderedLast() override;

    // CK3dEntity.
    int GetChildrenCount() override { return m_Children.Size(); }
    CK3dEntity* GetChild(int index) override;
    CKBOOL SetParent(CK3dEntity* parent, CKBOOL keepWorldPosition = TRUE) override;
    CK3dEntity* GetParent() override { return m_Parent; }
    CKBOOL AddChild(CK3dEntity* child, CKBOOL keepWorldPosition = TRUE) override;
    CKBOOL AddChildren(const XObjectPointerArray& children, CKBOOL keepWorldPosition = TRUE) override;
    CKBOOL RemoveChild(CK3dEntity* child) override;
    CKBOOL HasSameHierarchy(CK3dEntity* other, CKBOOL sameOrder = FALSE) override;
    CK3dEntity* GetNextInHierarchy(CK3dEntity* current) override;

    CKDWORD GetFlags() override { return m_EntityFlags; }
    void SetFlags(CKDWORD flags) override;
    void SetPickable(CKBOOL pickable = TRUE) override;
    CKBOOL IsPickable() override { return (m_MoveableFlags & CK_3DENTITY_PICKABLE) != 0; }
    void SetFlag400(CKBOOL set = TRUE) override;
    CKBOOL HasFlag400() override { return (m_EntityFlags & CK_3DENTITYFLAG_400) != 0; }
    CKBOOL IsAllInsideFrustrum() override;
    CKBOOL IsAllOutsideFrustrum() override;
    void SetRenderLast(CKBOOL last = TRUE) override;
    CKDWORD GetMoveableFlags() override { return m_MoveableFlags; }
    void SetMoveableFlags(CKDWORD flags) override;
    CKDWORD ModifyMoveableFlags(CKDWORD add, CKDWORD remove) override;

    CKMesh* GetCurrentMesh() override { return m_CurrentMesh; }
    CKMesh* SetCurrentMesh(CKMesh* mesh, CKBOOL addIfNotHere = TRUE) override;
    int GetMeshCount() override { return m_Meshes.Size(); }
    CKMesh* GetMesh(int index) override;
    CKERROR AddMesh(CKMesh* mesh) override;
    CKERROR RemoveMesh(CKMesh* mesh) override;

    void LookAt(const QxVector* position, CK3dEntity* referential = nullptr, CKBOOL keepChildren = FALSE) override;
    void Rotate3f(float x, float y, float z, float angle, CK3dEntity* referential = nullptr,
                  CKBOOL keepChildren = FALSE) override;
    void Rotate(const QxVector* axis, float angle, CK3dEntity* referential = nullptr,
                CKBOOL keepChildren = FALSE) override;
    void Translate3f(float x, float y, float z, CK3dEntity* referential = nullptr,
                     CKBOOL keepChildren = FALSE) override;
    void Translate(const QxVector* vector, CK3dEntity* referential = nullptr, CKBOOL keepChildren = FALSE) override;
    void AddScale3f(float x, float y, float z, CKBOOL keepChildren = FALSE, CKBOOL local = TRUE) override;
    void AddScale(const QxVector* scale, CKBOOL keepChildren = FALSE, CKBOOL local = TRUE) override;
    void SetPosition3f(float x, float y, float z, CK3dEntity* referential = nullptr,
                       CKBOOL keepChildren = FALSE) override;
    void SetPosition(const QxVector* position, CK3dEntity* referential = nullptr, CKBOOL keepChildren = FALSE) override;
    void GetPosition(QxVector* position, CK3dEntity* referential = nullptr) override;
    void SetOrientation(const QxVector* direction, const QxVector* up, const QxVector* right = nullptr,
                        CK3dEntity* referential = nullptr, CKBOOL keepChildren = FALSE) override;
    void GetOrientation(QxVector* direction, QxVector* up, QxVector* right = nullptr,
                        CK3dEntity* referential = nullptr) override;
    void SetQuaternion(const QxQuaternion* quaternion, CK3dEntity* referential = nullptr, CKBOOL keepChildren = FALSE,
                       CKBOOL keepScale = FALSE) override;
    void GetQuaternion(QxQuaternion* quaternion, CK3dEntity* referential = nullptr) override;
    void SetScale3f(float x, float y, float z, CKBOOL keepChildren = FALSE, CKBOOL local = TRUE) override;
    void SetScale(const QxVector* scale, CKBOOL keepChildren = FALSE, CKBOOL local = TRUE) override;
    void GetScale(QxVector* scale, CKBOOL local = TRUE) override;
    CKBOOL ConstructWorldMatrix(const QxVector* position, const QxVector* scale,
                                const QxQuaternion* quaternion) override;
    CKBOOL ConstructWorldMatrixEx(const QxVector* position, const QxVector* scale, const QxQuaternion* quaternion,
                                  const QxQuaternion* shear, float sign) override;
    CKBOOL ConstructLocalMatrix(const QxVector* position, const QxVector* scale,
                                const QxQuaternion* quaternion) override;
    CKBOOL ConstructLocalMatrixEx(const QxVector* position, const QxVector* scale, const QxQuaternion* quaternion,
                                  const QxQuaternion* shear, float sign) override;

    CKBOOL IsInViewFrustrum(CKRenderContext* context, CKDWORD flags) override;
    CKBOOL IsInViewFrustrumHierarchic(CKRenderContext* context) override;
    CKBOOL Render(CKRenderContext* context, CKDWORD flags) override;
    CKBOOL RayIntersection(const QxVector* start, const QxVector* end, CKPickResult* result, CK3dEntity* referential,
                           CKDWORD flags = 0) override;
    void GetRenderExtents(QxRect& rect) override { rect = m_RenderExtents; }

    const QxMatrix& GetLastFrameMatrix() override { return m_LastFrameMatrix ? *m_LastFrameMatrix : m_WorldMatrix; }
    void SetLocalMatrix(const QxMatrix& matrix, CKBOOL keepChildren = FALSE) override;
    const QxMatrix& GetLocalMatrix() override { return m_LocalMatrix; }
    void SetWorldMatrix(const QxMatrix& matrix, CKBOOL keepChildren = FALSE) override;
    const QxMatrix& GetWorldMatrix() override { return m_WorldMatrix; }
    const QxMatrix& GetInverseWorldMatrix() override;
    void Transform(QxVector* out, const QxVector* point, CK3dEntity* referential = nullptr) override;
    void InverseTransform(QxVector* out, const QxVector* point, CK3dEntity* referential = nullptr) override;
    void TransformVector(QxVector* out, const QxVector* vector, CK3dEntity* referential = nullptr) override;
    void InverseTransformVector(QxVector* out, const QxVector* vector, CK3dEntity* referential = nullptr) override;
    void TransformMany(QxVector* out, const QxVector* points, int count, CK3dEntity* referential = nullptr) override;
    void InverseTransformMany(QxVector* out, const QxVector* points, int count,
                              CK3dEntity* referential = nullptr) override;
    void ApplyTransformToMeshes(CK3dEntity* referential = nullptr) override;
    CK3dEntity* GetReferencePlace() override;

    void AddObjectAnimation(CKObjectAnimation* animation) override;
    void RemoveObjectAnimation(CKObjectAnimation* animation) override;
    CKObjectAnimation* GetObjectAnimation(int index) override;
    int GetObjectAnimationCount() override { return m_ObjectAnimations ? m_ObjectAnimations->Size() : 0; }

    CKSkin* CreateSkin() override;
    CKBOOL DestroySkin() override;
    CKBOOL UpdateSkin() override;
    CKSkin* GetSkin() override;

    void UpdateBox(CKBOOL world = TRUE) override;
    const QxBbox& GetBoundingBox(CKBOOL local = FALSE) override;
    CKBOOL SetBoundingBox(const QxBbox* box, CKBOOL local = FALSE) override;
    const QxBbox& GetHierarchicalBox(CKBOOL local = FALSE) override;
    CKBOOL GetBaryCenter(QxVector* position) override;
    float GetRadius() override;

    void SetBlendShapeWeight(int index, float weight) override;
    void SetBlendShapeWeightByName(const char* name, float weight) override;
    float GetBlendShapeWeight(int index) override;
    float GetBlendShapeWeightByName(const char* name) override;

    SceneGraphNode* GetSceneGraphNode() override { return m_SceneGraphNode; }
    void SaveLastFrameMatrix() override;

    // The matrix updates (see the class comment). invalidateParents also
    // marks the cached boxes of the ancestors out of date.
    void WorldMatrixChanged(CKBOOL keepChildren = FALSE, CKBOOL invalidateParents = TRUE);
    void LocalMatrixChanged(CKBOOL keepChildren = FALSE, CKBOOL invalidateParents = TRUE);
    void WorldPositionChanged(CKBOOL keepChildren = FALSE, CKBOOL invalidateParents = TRUE);
    // The order of this entity and another seen from the viewpoint, for
    // drawing back to front: 1 when this one lies in front of the other, -1
    // when behind; by the plane of a flat entity, else by their world boxes
    // (the box ordering's answer).
    int CompareRenderOrder(RCK3dEntity* other, const QxVector& viewpoint);
    // Whether the entity deforms its mesh when drawn (a skin or blend-shape
    // weights).
    CKBOOL DeformsMesh() const { return m_Skin || m_BlendShapeWeights.Size() > 0; }
    // Gives the entity and its sub-tree the place; the entity joins the
    // place's scenes.
    void SetReferencePlaceRecursive(CK_ID place);
    CK_ID GetReferencePlaceID() const { return m_ReferencePlace; }

    static CKObject* CreateInstance(CKContext* context) { return new RCK3dEntity(context); }
    static void Register();
    static const char* GetClassName();
    static const char* GetDependencies(int index, int mode);
    static int GetDependenciesCount(int mode);

protected:
    RCKRenderManager* RenderManager() const;
    // The parts of the updates: node boxes out of date; the moved mark and
    // the render manager's moved list.
    void InvalidateNode(CKBOOL invalidateParents);
    void MarkMoved(RCKRenderManager* manager);
    // Children follow (world from local) or keep their world matrix.
    void UpdateChildren(CKBOOL keepChildren);
    // Asks for the cache lines a matrix update of the entity touches.
    static void Prefetch(const RCK3dEntity* e);
    // The user box is dropped: the next box comes from the mesh.
    void ClearUserBox();
    void ResizeBlendShapeWeights();
    // The parent's world matrix, identity without a parent.
    const QxMatrix& ParentWorldMatrix() const;
    // The render context's debug line for the entity: its name, " (as
    // transparent Object)" when drawn last, " : ", what, the milliseconds and
    // " ms "; the frame shown after it when the context asks.
    void WriteDebugLine(RCKRenderContext* rc, const char* what, float milliseconds);
    // The frustum test's answer for the node: 0 outside, 1 partly, 2 wholly
    // inside the view.
    CKBOOL MarkVisibility(CKDWORD visibility);
    // The draw of the mesh with the entity's blend shapes, skin and
    // callbacks, into the batch group or (null) at once.
    void DrawWithMesh(RCKRenderContext* rc, RenderBatchGroup* batch);
    void CallRenderCallbacks(RCKRenderContext* rc, bool post);
    // Sets flags taken from elsewhere (a file, another entity): the marks of
    // the render manager's moved list stay this entity's own, so that it is
    // neither claimed in the list nor listed twice.
    void SetMoveableFlagsKeepingQueue(CKDWORD flags);
    // Re-sorts the node under its parent after its visibility changed.
    void SortNode();

    // Persistence steps.
    void WriteSections(CKStateChunk& chunk, CKDWORD flags);
    void WriteMeshSection(CKStateChunk& chunk);
    void WriteEntitySection(CKStateChunk& chunk);
    void WriteSkinSections(CKStateChunk& chunk, CKDWORD flags);
    // The entity's sections of a chunk (after the base class's); an error
    // for a section refused.
    CKERROR ReadSections(CKStateChunk& chunk, CKFile* file);
    CKERROR ReadSkinSections(CKStateChunk& chunk);
    // Logs why a section was refused; the load's error.
    CKERROR Refuse(const char* what);
    // Null unless the object of the id is an entity that may become the
    // parent (not this entity, not one of its descendants).
    RCK3dEntity* ParentFromChunk(CK_ID id);

    // What a matrix update reads and writes for each entity of a sub-tree,
    // kept together.
    CKDWORD m_MoveableFlags = CK_3DENTITY_PICKABLE | CK_3DENTITY_VISIBLE | CK_3DENTITY_WORLDIDENTITY;
    RCK3dEntity* m_Parent = nullptr;
    SceneGraphNode* m_SceneGraphNode = nullptr;
    XArray<RCK3dEntity*> m_Children;
    QxMatrix m_LocalMatrix = QxMatrix::Identity();
    QxMatrix m_WorldMatrix = QxMatrix::Identity();

    XArray<CKMesh*> m_Meshes;
    CKMesh* m_CurrentMesh = nullptr;
    CK_ID m_ReferencePlace = 0;
    XArray<CKObjectAnimation*>* m_ObjectAnimations = nullptr;
    CKDWORD m_EntityFlags = 0;
    QxMatrix* m_LastFrameMatrix = nullptr;
    RCKSkin* m_Skin = nullptr;
    QxMatrix m_InverseWorldMatrix = QxMatrix::Identity();
    QxBbox m_LocalBox;
    QxBbox m_WorldBox;
    QxBbox m_HierarchicalBox;
    QxRect m_RenderExtents;
    XArray<float> m_BlendShapeWeights;
};
