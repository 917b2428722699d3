#include "render/objects/RCK3dEntity.h"

#include <new>

#include "core/context/CKContext.h"
#include "core/object/CKClassRegistry.h"
#include "core/object/XObjectPointerArray.h"
#include "render/animation/CKObjectAnimation.h"
#include "render/animation/RCKSkin.h"
#include "render/context/RCKRenderManager.h"
#include "render/context/SceneGraphNode.h"
#include "render/mesh/CKMesh.h"

namespace {

// The empty box: maximum below minimum.
constexpr QxBbox kEmptyBox(QxVector(1e6f, 1e6f, 1e6f), QxVector(-1e6f, -1e6f, -1e6f));

} // namespace

RCK3dEntity::RCK3dEntity(CKContext* context, const char* name)
    : CK3dEntity(context, name), m_LocalBox(kEmptyBox), m_WorldBox(kEmptyBox), m_HierarchicalBox(kEmptyBox)
{
    if (RCKRenderManager* manager = RenderManager())
        m_SceneGraphNode = manager->CreateNode(this);
}

RCK3dEntity::~RCK3dEntity()
{
    DestroySkin();
    delete m_ObjectAnimations;
    delete m_LastFrameMatrix;
    if (m_EntityFlags & CK_3DENTITYFLAG_LASTFRAMEMATRIX)
        if (RCKRenderManager* manager = RenderManager())
            manager->UnregisterLastFrameEntity(this);
    if (m_SceneGraphNode) {
        if (RCKRenderManager* manager = RenderManager())
            manager->DeleteNode(m_SceneGraphNode);
        else
            delete m_SceneGraphNode;
    }
}

RCKRenderManager* RCK3dEntity::RenderManager() const
{
    return m_Context ? static_cast<RCKRenderManager*>(m_Context->GetRenderManager()) : nullptr;
}

// Visibility.

void RCK3dEntity::Show(CKDWORD show)
{
    CK3dEntity::Show(show);
    m_MoveableFlags &= ~CK_3DENTITY_HIERARCHYHIDDEN;
    if (show & CKSHOW) {
        m_MoveableFlags |= CK_3DENTITY_VISIBLE;
    } else {
        m_MoveableFlags &= ~CK_3DENTITY_VISIBLE;
        if (show & CKHIERARCHICALHIDE)
            m_MoveableFlags |= CK_3DENTITY_HIERARCHYHIDDEN;
    }
    SortNode();
}

CKBOOL RCK3dEntity::IsHiddenByParent()
{
    for (RCK3dEntity* e = m_Parent; e; e = e->m_Parent)
        if (e->m_MoveableFlags & CK_3DENTITY_HIERARCHYHIDDEN)
            return TRUE;
    return FALSE;
}

CKBOOL RCK3dEntity::IsVisible()
{
    return (m_ObjectFlags & CK_OBJECT_VISIBLE) && !IsHiddenByParent();
}

void RCK3dEntity::SortNode()
{
    if (m_SceneGraphNode && m_SceneGraphNode->GetParent())
        m_SceneGraphNode->GetParent()->UpdateActiveChildPosition(m_SceneGraphNode);
}

CKBOOL RCK3dEntity::IsToBeRendered()
{
    if (!(m_MoveableFlags & CK_3DENTITY_VISIBLE))
        return FALSE;
    return (m_CurrentMesh && (m_CurrentMesh->GetFlags() & CKMESH_VISIBLE)) || m_Callbacks;
}

void RCK3dEntity::SetZOrder(int z)
{
    if (m_SceneGraphNode)
        m_SceneGraphNode->SetPriority(z);
}

int RCK3dEntity::GetZOrder()
{
    return m_SceneGraphNode ? m_SceneGraphNode->GetPriority() - 10000 : 0;
}

CKBOOL RCK3dEntity::IsToBeRenderedLast()
{
    if (m_MoveableFlags & CK_3DENTITY_RENDERFIRST)
        return FALSE;
    if (m_MoveableFlags & CK_3DENTITY_RENDERLAST)
        return TRUE;
    return m_CurrentMesh ? m_CurrentMesh->IsTransparent() : FALSE;
}

// Hierarchy.

CK3dEntity* RCK3dEntity::GetChild(int index)
{
    return index >= 0 && index < m_Children.Size() ? m_Children.Begin()[index] : nullptr;
}

CKBOOL RCK3dEntity::SetParent(CK3dEntity* newParent, CKBOOL keepWorldPosition)
{
    RCK3dEntity* parent = static_cast<RCK3dEntity*>(newParent);
    if (parent == this)
        return FALSE;
    if (parent == m_Parent)
        return TRUE;
    // No cycle: the new parent must not lie in this entity's sub-tree.
    for (RCK3dEntity* e = parent; e; e = e->m_Parent)
        if (e == this)
            return FALSE;

    // The node operations mark the cached boxes of both the old and the new
    // parent chains out of date.
    if (m_Parent) {
        m_Parent->m_Children.Remove(this);
        if (m_SceneGraphNode && m_Parent->m_SceneGraphNode)
            m_Parent->m_SceneGraphNode->RemoveChild(m_SceneGraphNode);
    }
    m_Parent = parent;
    if (parent) {
        parent->m_Children.PushBack(this);
        if (m_SceneGraphNode && parent->m_SceneGraphNode)
            parent->m_SceneGraphNode->AddChild(m_SceneGraphNode);
    } else if (m_SceneGraphNode && !(m_ObjectFlags & CK_OBJECT_TOBEDELETED)) {
        if (RCKRenderManager* manager = RenderManager())
            manager->GetRootNode()->AddChild(m_SceneGraphNode);
    }

    if (!keepWorldPosition) {
        LocalMatrixChanged(FALSE, TRUE);
    } else if (parent) {
        QxMultiplyMatrix(m_LocalMatrix, parent->GetInverseWorldMatrix(), m_WorldMatrix);
    } else {
        m_LocalMatrix = m_WorldMatrix;
    }

    CK_ID place = 0;
    if (parent)
        place = CKIsChildClassOfObject(parent, CKCID_PLACE) ? parent->GetID() : parent->m_ReferencePlace;
    if (place != m_ReferencePlace)
        SetReferencePlaceRecursive(place);
    return TRUE;
}

CKBOOL RCK3dEntity::AddChild(CK3dEntity* child, CKBOOL keepWorldPosition)
{
    return child ? child->SetParent(this, keepWorldPosition) : FALSE;
}

CKBOOL RCK3dEntity::AddChildren(const XObjectPointerArray& children, CKBOOL keepWorldPosition)
{
    for (CKObject* o : children)
        if (o)
            o->ModifyObjectFlags(CK_OBJECT_TEMPMARKER, 0);
    CKBOOL result = FALSE;
    for (CKObject* o : children) {
        if (!o || !CKIsChildClassOfObject(o, CKCID_3DENTITY))
            continue;
        CK3dEntity* entity = static_cast<CK3dEntity*>(o);
        CK3dEntity* parent = entity->GetParent();
        if (parent && (parent->GetObjectFlags() & CK_OBJECT_TEMPMARKER))
            continue;
        result |= entity->SetParent(this, keepWorldPosition);
    }
    for (CKObject* o : children)
        if (o)
            o->ModifyObjectFlags(0, CK_OBJECT_TEMPMARKER);
    return result;
}

CKBOOL RCK3dEntity::RemoveChild(CK3dEntity* child)
{
    return child ? child->SetParent(nullptr, TRUE) : FALSE;
}

CKBOOL RCK3dEntity::HasSameHierarchy(CK3dEntity* other, CKBOOL sameOrder)
{
    if (!other || other->GetChildrenCount() != GetChildrenCount())
        return FALSE;
    for (int i = 0; i < m_Children.Size(); ++i) {
        CK3dEntity* child = m_Children.Begin()[i];
        if (sameOrder) {
            if (!child->HasSameHierarchy(other->GetChild(i), TRUE))
                return FALSE;
            continue;
        }
        CKBOOL found = FALSE;
        for (int j = 0; j < other->GetChildrenCount() && !found; ++j)
            found = child->HasSameHierarchy(other->GetChild(j), FALSE);
        if (!found)
            return FALSE;
    }
    return TRUE;
}

CK3dEntity* RCK3dEntity::GetNextInHierarchy(CK3dEntity* current)
{
    RCK3dEntity* e = current ? static_cast<RCK3dEntity*>(current) : this;
    if (e->m_Children.Size() > 0)
        return e->m_Children.Begin()[0];
    // The next sibling of the entity or of its nearest ancestor below this one.
    while (e != this) {
        RCK3dEntity* parent = e->m_Parent;
        if (!parent)
            return nullptr; // current was not in this sub-tree
        int next = parent->m_Children.GetPosition(e) + 1;
        if (next < parent->m_Children.Size())
            return parent->m_Children.Begin()[next];
        e = parent;
    }
    return nullptr;
}

void RCK3dEntity::SetReferencePlaceRecursive(CK_ID place)
{
    CKObject* placeObject = place && m_Context ? m_Context->GetObject(place) : nullptr;
    CKBeObject* placeEntity = placeObject && CKIsChildClassOfObject(placeObject, CKCID_PLACE)
                                  ? static_cast<CKBeObject*>(placeObject)
                                  : nullptr;
    for (RCK3dEntity* e = this; e; e = static_cast<RCK3dEntity*>(GetNextInHierarchy(e))) {
        e->m_ReferencePlace = place;
        if (placeEntity)
            placeEntity->AddObjectToOwnScenes(e);
    }
}

CK3dEntity* RCK3dEntity::GetReferencePlace()
{
    CKObject* o = m_ReferencePlace && m_Context ? m_Context->GetObject(m_ReferencePlace) : nullptr;
    return o && CKIsChildClassOfObject(o, CKCID_PLACE) ? static_cast<CK3dEntity*>(o) : nullptr;
}

// Flags.

void RCK3dEntity::SetFlags(CKDWORD flags)
{
    CKDWORD changed = flags ^ m_EntityFlags;
    m_EntityFlags = flags;
    // Whether the skin or the mesh moves the vertices changes the mesh's
    // render data.
    if ((changed & CK_3DENTITYFLAG_SKINDRIVESMESH) && m_CurrentMesh)
        m_CurrentMesh->SetLitMode(m_CurrentMesh->GetLitMode());
    if (!(changed & CK_3DENTITYFLAG_LASTFRAMEMATRIX))
        return;
    RCKRenderManager* manager = RenderManager();
    if (flags & CK_3DENTITYFLAG_LASTFRAMEMATRIX) {
        if (manager)
            manager->RegisterLastFrameEntity(this);
    } else {
        if (manager)
            manager->UnregisterLastFrameEntity(this);
        delete m_LastFrameMatrix;
        m_LastFrameMatrix = nullptr;
    }
}

void RCK3dEntity::SetPickable(CKBOOL pickable)
{
    if (pickable)
        ModifyMoveableFlags(CK_3DENTITY_PICKABLE, 0);
    else
        ModifyMoveableFlags(0, CK_3DENTITY_PICKABLE);
}

void RCK3dEntity::SetFlag400(CKBOOL set)
{
    if (set)
        m_EntityFlags |= CK_3DENTITYFLAG_400;
    else
        m_EntityFlags &= ~CK_3DENTITYFLAG_400;
}

CKBOOL RCK3dEntity::IsAllInsideFrustrum()
{
    return m_SceneGraphNode && (m_SceneGraphNode->GetFlags() & CK_SCENEGRAPH_ALLINSIDE);
}

CKBOOL RCK3dEntity::IsAllOutsideFrustrum()
{
    return m_SceneGraphNode && (m_SceneGraphNode->GetFlags() & CK_SCENEGRAPH_ALLOUTSIDE);
}

void RCK3dEntity::SetRenderLast(CKBOOL last)
{
    if (last)
        ModifyMoveableFlags(CK_3DENTITY_RENDERLAST, 0);
    else
        ModifyMoveableFlags(0, CK_3DENTITY_RENDERLAST);
}

void RCK3dEntity::SetMoveableFlags(CKDWORD flags)
{
    ModifyMoveableFlags(flags & ~m_MoveableFlags, m_MoveableFlags & ~flags);
}

void RCK3dEntity::SetMoveableFlagsKeepingQueue(CKDWORD flags)
{
    const CKDWORD queue = CK_3DENTITY_INMOVEDLIST | CK_3DENTITY_NOTMOVED;
    SetMoveableFlags((flags & ~queue) | (m_MoveableFlags & queue));
}

CKDWORD RCK3dEntity::ModifyMoveableFlags(CKDWORD add, CKDWORD remove)
{
    CKDWORD old = m_MoveableFlags;
    m_MoveableFlags = (old & ~remove) | add;
    CKDWORD changed = old ^ m_MoveableFlags;
    if (changed & (CK_3DENTITY_VISIBLE | CK_3DENTITY_HIERARCHYHIDDEN)) {
        if (m_MoveableFlags & CK_3DENTITY_VISIBLE)
            m_ObjectFlags |= CK_OBJECT_VISIBLE;
        else
            m_ObjectFlags &= ~CK_OBJECT_VISIBLE;
        if (m_MoveableFlags & CK_3DENTITY_HIERARCHYHIDDEN)
            m_ObjectFlags |= CK_OBJECT_HIERACHICALHIDE;
        else
            m_ObjectFlags &= ~CK_OBJECT_HIERACHICALHIDE;
        SortNode();
    }
    if (m_SceneGraphNode && (changed & CK_3DENTITY_RENDERFIRST))
        m_SceneGraphNode->SetPriority((m_MoveableFlags & CK_3DENTITY_RENDERFIRST) ? 10000 : 0);
    return m_MoveableFlags;
}

// Meshes.

void RCK3dEntity::ClearUserBox()
{
    m_MoveableFlags &= ~(CK_3DENTITY_USERBOX | CK_3DENTITY_BOXUPTODATE);
    InvalidateNode(TRUE);
}

void RCK3dEntity::ResizeBlendShapeWeights()
{
    int count = m_CurrentMesh ? m_CurrentMesh->GetBlendShapeCount() : 0;
    if (count <= 0) {
        m_BlendShapeWeights.Free();
        return;
    }
    m_BlendShapeWeights.Resize(count);
    for (float& w : m_BlendShapeWeights)
        w = 0.0f;
}

CKMesh* RCK3dEntity::SetCurrentMesh(CKMesh* mesh, CKBOOL addIfNotHere)
{
    CKMesh* previous = m_CurrentMesh;
    if (mesh == previous)
        return previous;
    if (mesh)
        ClearUserBox();
    m_CurrentMesh = mesh;
    m_MoveableFlags &= ~CK_3DENTITY_BOXUPTODATE;
    InvalidateNode(TRUE);
    ResizeBlendShapeWeights();
    if (addIfNotHere && mesh)
        AddMesh(mesh);
    return previous;
}

CKMesh* RCK3dEntity::GetMesh(int index)
{
    return index >= 0 && index < m_Meshes.Size() ? m_Meshes.Begin()[index] : nullptr;
}

CKERROR RCK3dEntity::AddMesh(CKMesh* mesh)
{
    if (!mesh)
        return CKErr::InvalidParameter;
    m_Meshes.AddIfNotHere(mesh);
    return CKErr::Ok;
}

CKERROR RCK3dEntity::RemoveMesh(CKMesh* mesh)
{
    if (!mesh || !m_Meshes.Remove(mesh))
        return CKErr::InvalidParameter;
    if (mesh == m_CurrentMesh)
        SetCurrentMesh(GetMesh(0), TRUE);
    return CKErr::Ok;
}

// Object animations.

void RCK3dEntity::AddObjectAnimation(CKObjectAnimation* animation)
{
    if (!animation)
        return;
    if (!m_ObjectAnimations) {
        m_ObjectAnimations = new (std::nothrow) XArray<CKObjectAnimation*>;
        if (!m_ObjectAnimations)
            return;
    }
    QxVector scale;
    GetScale(&scale, TRUE);
    animation->AddDefaultScaleKey(scale);
    m_ObjectAnimations->AddIfNotHere(animation);
    AddObjectToOwnScenes(animation);
}

void RCK3dEntity::RemoveObjectAnimation(CKObjectAnimation* animation)
{
    if (!animation || !m_ObjectAnimations || !m_ObjectAnimations->Remove(animation))
        return;
    if (m_ObjectAnimations->Size() == 0) {
        delete m_ObjectAnimations;
        m_ObjectAnimations = nullptr;
    }
    RemoveObjectFromOwnScenes(animation);
}

CKObjectAnimation* RCK3dEntity::GetObjectAnimation(int index)
{
    return m_ObjectAnimations && index >= 0 && index < m_ObjectAnimations->Size() ? m_ObjectAnimations->Begin()[index]
                                                                                  : nullptr;
}

// Skin.

CKSkin* RCK3dEntity::CreateSkin()
{
    DestroySkin();
    m_Skin = new RCKSkin();
    m_Skin->ClearMeshSkinList(this);
    // The bones take part in the box.
    m_MoveableFlags &= ~CK_3DENTITY_BOXUPTODATE;
    InvalidateNode(TRUE);
    return m_Skin;
}

CKBOOL RCK3dEntity::DestroySkin()
{
    if (!m_Skin)
        return FALSE;
    delete m_Skin;
    m_Skin = nullptr;
    m_MoveableFlags &= ~CK_3DENTITY_BOXUPTODATE;
    return TRUE;
}

CKBOOL RCK3dEntity::UpdateSkin()
{
    if (!m_Skin)
        return FALSE;
    m_Skin->DeformMesh(this);
    return TRUE;
}

CKSkin* RCK3dEntity::GetSkin()
{
    return m_Skin;
}

// Blend-shape weights.

void RCK3dEntity::SetBlendShapeWeight(int index, float weight)
{
    if (index >= 0 && index < m_BlendShapeWeights.Size())
        m_BlendShapeWeights.Begin()[index] = weight;
}

void RCK3dEntity::SetBlendShapeWeightByName(const char* name, float weight)
{
    if (m_CurrentMesh)
        SetBlendShapeWeight(m_CurrentMesh->GetBlendShapeIndex(XString(name)), weight);
}

float RCK3dEntity::GetBlendShapeWeight(int index)
{
    return index >= 0 && index < m_BlendShapeWeights.Size() ? m_BlendShapeWeights.Begin()[index] : 0.0f;
}

float RCK3dEntity::GetBlendShapeWeightByName(const char* name)
{
    return m_CurrentMesh ? GetBlendShapeWeight(m_CurrentMesh->GetBlendShapeIndex(XString(name))) : 0.0f;
}

void RCK3dEntity::SaveLastFrameMatrix()
{
    if (!m_LastFrameMatrix) {
        m_LastFrameMatrix = new (std::nothrow) QxMatrix;
        if (!m_LastFrameMatrix)
            return;
    }
    *m_LastFrameMatrix = m_WorldMatrix;
}

// Class registration.

void RCK3dEntity::Register()
{
    CKClassSetParameterGuid(m_ClassID, CKGUID(0x5B8A05D5, 0x31EA28D4));
    CKClassNeedNotificationFrom(m_ClassID, CKCID_OBJECTANIMATION);
    CKClassNeedNotificationFrom(m_ClassID, CKCID_MESH);
    CKClassNeedNotificationFrom(m_ClassID, CKCID_3DENTITY);
    CKClassRegisterDefaultDependencies(
        m_ClassID, CK_DEPENDENCIES_3DENTITY_CHILDREN | CK_DEPENDENCIES_3DENTITY_ANIMATIONS, CK_DEPENDENCIES_COPY);
    CKClassRegisterDefaultDependencies(m_ClassID, CK_DEPENDENCIES_3DENTITY_ANIMATIONS, CK_DEPENDENCIES_DELETE);
    CKClassRegisterDefaultDependencies(m_ClassID,
                                       CK_DEPENDENCIES_3DENTITY_MESHES | CK_DEPENDENCIES_3DENTITY_CHILDREN |
                                           CK_DEPENDENCIES_3DENTITY_ANIMATIONS,
                                       CK_DEPENDENCIES_SAVE);
}

const char* RCK3dEntity::GetClassName()
{
    return "3D Entity";
}

const char* RCK3dEntity::GetDependencies(int index, int mode)
{
    static const char* const kNames[] = {"Meshes", "Children", "Animation"};
    if (GetDependenciesCount(mode) == 0 || index < 0 || index >= 3)
        return nullptr;
    return kNames[index];
}

int RCK3dEntity::GetDependenciesCount(int mode)
{
    return mode == CK_DEPENDENCIES_COPY || mode == CK_DEPENDENCIES_DELETE || mode == CK_DEPENDENCIES_SAVE ? 3 : 0;
}
