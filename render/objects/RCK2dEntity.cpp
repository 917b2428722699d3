// The 2D entity: flags, rectangles, the hierarchy and the layout of
// children when a parent's rectangle changes.
#include "render/objects/RCK2dEntity.h"

#include <new>

#include "core/context/CKContext.h"
#include "core/object/CKBeObjectLinks.h"
#include "core/object/CKClassRegistry.h"
#include "core/object/CKDependenciesContext.h"
#include "render/context/RCKRenderContext.h"
#include "render/mesh/CKMaterial.h"

namespace {

// One axis of a child laid out again when its parent goes from the old
// span [p0, p1] to the new one [n0, n1]: anchored to the near edge, the far
// edge, both (stretched) or neither (the centre keeps its proportional
// place). Returns the new near edge and writes the far one.
float LayoutAxis(float c0, float c1, float p0, float p1, float n0, float n1, bool nearAnchor, bool farAnchor,
                 float& newFar)
{
    const float size = c1 - c0;
    float newNear;
    if (nearAnchor) {
        newNear = c0 - p0 + n0;
        newFar = farAnchor ? n1 - (p1 - c1) : newNear + size;
    } else if (farAnchor) {
        newFar = n1 - (p1 - c1);
        newNear = newFar - size;
    } else if (p1 - p0 > 0.0f) {
        const float t = (c0 + size * 0.5f - p0) / (p1 - p0);
        newNear = n0 + t * (n1 - n0) - size * 0.5f;
        newFar = newNear + size;
    } else {
        // A parent without width gives no proportion: keep the offset.
        newNear = c0 - p0 + n0;
        newFar = newNear + size;
    }
    return newNear;
}

} // namespace

RCK2dEntity::RCK2dEntity(CKContext* context, const char* name) : CK2dEntity(context, name) {}

RCK2dEntity::~RCK2dEntity()
{
    delete m_HomogeneousRect;
}

void RCK2dEntity::Register()
{
    CKClassNeedNotificationFrom(m_ClassID, CKCID_MATERIAL);
    CKClassSetDeletionCheck(m_ClassID, 1);
    CKClassSetParameterGuid(m_ClassID, CKGUID(0x181671E3, 0x1BDC1503));
    CKClassRegisterDefaultDependencies(m_ClassID, 3, CK_DEPENDENCIES_COPY);
    CKClassRegisterDefaultDependencies(m_ClassID, 3, CK_DEPENDENCIES_SAVE);
}

const char* RCK2dEntity::GetDependencies(int index, int)
{
    switch (index) {
    case 0: return "Material";
    case 1: return "Children";
    default: return nullptr;
    }
}

int RCK2dEntity::GetDependenciesCount(int mode)
{
    return mode == CK_DEPENDENCIES_COPY || mode == CK_DEPENDENCIES_DELETE || mode == CK_DEPENDENCIES_SAVE ? 2 : 0;
}

RCKRenderContext* RCK2dEntity::GetMainRenderContext() const
{
    return m_Context ? static_cast<RCKRenderContext*>(m_Context->GetMainRenderContext()) : nullptr;
}

RCK2dEntity* RCK2dEntity::GetRoot(CKBOOL background) const
{
    RCKRenderContext* rc = GetMainRenderContext();
    return rc ? From(rc->Get2dRoot(background ? TRUE : FALSE)) : nullptr;
}

CKBOOL RCK2dEntity::IsInCurrentScene()
{
    const CKBeObjectLinks& links = CKGetBeObjectLinks();
    if (!m_Context || !links.GetCurrentScene || !links.SceneHoldsObject)
        return TRUE;
    CKScene* scene = links.GetCurrentScene(m_Context);
    return scene ? links.SceneHoldsObject(scene, this) : TRUE;
}

CKBOOL RCK2dEntity::IsHiddenByParent()
{
    for (RCK2dEntity* p = m_Parent; p; p = p->m_Parent)
        if (p->GetObjectFlags() & CK_OBJECT_HIERACHICALHIDE)
            return TRUE;
    return FALSE;
}

int RCK2dEntity::GetMemoryOccupation()
{
    return CK2dEntity::GetMemoryOccupation() + (int) (sizeof(RCK2dEntity) - sizeof(CK2dEntity)) +
           (m_HomogeneousRect ? (int) sizeof(QxRect) : 0) + m_Children.Capacity() * 4;
}

void RCK2dEntity::CheckPreDeletion()
{
    CK2dEntity::CheckPreDeletion();
    if (m_Material && m_Material->IsToBeDeleted())
        m_Material = nullptr;
}

void RCK2dEntity::PreDelete()
{
    CK2dEntity::PreDelete();
    if (this == GetRoot(FALSE) || this == GetRoot(TRUE))
        return;
    RCK2dEntity* ancestor = m_Parent;
    while (ancestor && ancestor->IsToBeDeleted())
        ancestor = ancestor->m_Parent;
    XArray<RCK2dEntity*> children;
    children.Swap(m_Children);
    for (RCK2dEntity* child : children)
        if (!child->IsToBeDeleted())
            child->SetParent(ancestor);
    if (m_Parent && !m_Parent->IsToBeDeleted())
        m_Parent->DetachChild(this);
    else if (RCK2dEntity* root = GetRoot(IsBackground()))
        root->DetachChild(this);
}

CKERROR RCK2dEntity::PrepareDependencies(CKDependenciesContext& context, CKBOOL caller)
{
    CKDependenciesContext::Scope scope = context.EnterDependencyScope(this, caller);
    CKERROR error = CK2dEntity::PrepareDependencies(context, FALSE);
    if (error != CKErr::Ok)
        return error;
    CKDWORD options = context.GetClassDependencies(CKCID_2DENTITY);
    if ((options & CK_DEPENDENCIES_2DENTITY_MATERIAL) && m_Material)
        m_Material->PrepareDependencies(context, TRUE);
    if (options & CK_DEPENDENCIES_2DENTITY_CHILDREN)
        for (RCK2dEntity* child : m_Children)
            child->PrepareDependencies(context, TRUE);
    return CKErr::Ok;
}

CKERROR RCK2dEntity::RemapDependencies(CKDependenciesContext& context)
{
    CKERROR error = CK2dEntity::RemapDependencies(context);
    if (error != CKErr::Ok)
        return error;
    CKDWORD options = context.GetClassDependencies(CKCID_2DENTITY);
    if (options & CK_DEPENDENCIES_2DENTITY_MATERIAL) {
        CKObject* material = context.Remap(m_Material);
        m_Material = CKIsChildClassOfObject(material, CKCID_MATERIAL) ? static_cast<CKMaterial*>(material) : nullptr;
    }
    if (options & CK_DEPENDENCIES_2DENTITY_CHILDREN) {
        CKObject* parent = context.Remap(m_Parent);
        if (parent && CKIsChildClassOfObject(parent, CKCID_2DENTITY))
            SetParent(static_cast<CK2dEntity*>(parent));
    }
    return CKErr::Ok;
}

CKERROR RCK2dEntity::Copy(CKObject& source, CKDependenciesContext& context)
{
    CKERROR error = CK2dEntity::Copy(source, context);
    if (error != CKErr::Ok)
        return error;
    if (CKIsChildClassOfObject(&source, CKCID_2DENTITY))
        CopyEntity(*From(static_cast<CK2dEntity*>(&source)));
    return CKErr::Ok;
}

void RCK2dEntity::CopyEntity(RCK2dEntity& source)
{
    m_Flags = source.m_Flags;
    m_SourceRect = source.m_SourceRect;
    m_ZOrder = source.m_ZOrder;
    m_Rect = source.m_Rect;
    m_Material = source.m_Material;
    SetParent(source.m_Parent);
    if (source.m_HomogeneousRect) {
        delete m_HomogeneousRect;
        m_HomogeneousRect = new (std::nothrow) QxRect(*source.m_HomogeneousRect);
    }
    EnsureRelativeRect();
}

void RCK2dEntity::EnsureRelativeRect()
{
    if ((m_Flags & CK2D_HOMOGENEOUS) && !m_HomogeneousRect)
        m_HomogeneousRect = new (std::nothrow) QxRect();
}

void RCK2dEntity::SetFlags(CKDWORD flags)
{
    m_Flags = flags;
    // The relative rectangle exists exactly while the entity is homogeneous.
    if (!(m_Flags & CK2D_HOMOGENEOUS)) {
        delete m_HomogeneousRect;
        m_HomogeneousRect = nullptr;
    }
    EnsureRelativeRect();
}

void RCK2dEntity::ModifyFlags(CKDWORD add, CKDWORD remove)
{
    SetFlags((m_Flags & ~remove) | (add & ~remove));
}

CK2dEntity* RCK2dEntity::GetChild(int index)
{
    return index >= 0 && index < m_Children.Size() ? m_Children[index] : nullptr;
}

void RCK2dEntity::SortChildren()
{
    // Bubble passes from the end towards the front: stable, and a child
    // inserted at the front stays before siblings of equal z-order.
    const int n = m_Children.Size();
    bool swapped = true;
    while (swapped) {
        swapped = false;
        for (int i = n - 1; i > 0; --i) {
            if (m_Children[i]->m_ZOrder < m_Children[i - 1]->m_ZOrder) {
                RCK2dEntity* t = m_Children[i];
                m_Children[i] = m_Children[i - 1];
                m_Children[i - 1] = t;
                swapped = true;
            }
        }
    }
}

void RCK2dEntity::AttachChild(RCK2dEntity* child)
{
    m_Children.Insert(0, child);
    SortChildren();
}

void RCK2dEntity::Detach()
{
    if (m_Parent) {
        m_Parent->DetachChild(this);
        return;
    }
    for (CKBOOL background : {FALSE, TRUE})
        if (RCK2dEntity* root = GetRoot(background))
            root->DetachChild(this);
}

bool RCK2dEntity::IsInSubtree(RCK2dEntity* entity) const
{
    for (RCK2dEntity* e = entity; e; e = e->m_Parent)
        if (e == this)
            return true;
    return false;
}

CKBOOL RCK2dEntity::SetParent(CK2dEntity* parent)
{
    RCK2dEntity* newParent = From(parent);
    if (IsInSubtree(newParent))
        return FALSE;
    RCK2dEntity* fore = GetRoot(FALSE);
    RCK2dEntity* back = GetRoot(TRUE);
    Detach();
    if (newParent && newParent != fore && newParent != back) {
        newParent->AttachChild(this);
        m_Flags = (m_Flags & ~CK2D_BACKGROUND) | (newParent->m_Flags & CK2D_BACKGROUND);
        m_Parent = newParent;
        return TRUE;
    }
    RCK2dEntity* root = newParent ? newParent : (IsBackground() ? back : fore);
    if (root)
        root->AttachChild(this);
    m_Parent = nullptr;
    return TRUE;
}

void RCK2dEntity::SetZOrder(int z)
{
    m_ZOrder = z;
    if (m_Parent)
        m_Parent->SortChildren();
    else if (RCK2dEntity* root = GetRoot(IsBackground()))
        root->SortChildren();
}

void RCK2dEntity::SetBackground(CKBOOL background)
{
    if (m_Parent || (IsBackground() != 0) == (background != 0))
        return;
    SetParent(GetRoot(background));
    SetFlag(CK2D_BACKGROUND, background);
    for (CK2dEntity* e = GetNextInHierarchy(nullptr); e; e = GetNextInHierarchy(e))
        From(e)->SetFlag(CK2D_BACKGROUND, background);
}

CK2dEntity* RCK2dEntity::GetNextInHierarchy(CK2dEntity* current)
{
    if (!current)
        return GetChild(0);
    RCK2dEntity* e = From(current);
    if (e->m_Children.Size() > 0)
        return e->m_Children[0];
    for (;;) {
        RCK2dEntity* parent = e->m_Parent ? e->m_Parent : GetRoot(e->IsBackground());
        if (!parent || parent == e)
            return nullptr;
        const int i = parent->m_Children.GetPosition(e);
        if (i < 0)
            return nullptr;
        if (i + 1 < parent->m_Children.Size())
            return parent->m_Children[i + 1];
        if (parent == this)
            return nullptr;
        e = parent;
    }
}

void RCK2dEntity::GetReferenceRect(QxRect& rect)
{
    if (m_Parent) {
        m_Parent->UpdateFromRelative();
        rect = m_Parent->m_Rect;
        return;
    }
    rect = QxRect();
    RCKRenderContext* rc = GetMainRenderContext();
    if (!rc)
        return;
    if (m_Flags & CK2D_VIEWPORTRELATIVE)
        rc->GetViewRect(rect);
    else
        rc->GetWindowRect(rect, FALSE);
    rect.Set(0.0f, 0.0f, rect.GetWidth(), rect.GetHeight());
}

void RCK2dEntity::UpdateFromRelative()
{
    if (!(m_Flags & CK2D_HOMOGENEOUS) || !m_HomogeneousRect)
        return;
    QxRect reference;
    GetReferenceRect(reference);
    m_Rect = *m_HomogeneousRect;
    m_Rect.TransformFromRelative(reference);
}

void RCK2dEntity::ApplyRect(const QxRect& rect, CKBOOL keepChildren, CKBOOL updateRelative)
{
    if ((m_Flags & CK2D_HOMOGENEOUS) && updateRelative) {
        QxRect reference;
        GetReferenceRect(reference);
        // No relative units without a reference area.
        if (!(reference.GetWidth() > 0.0f) || !(reference.GetHeight() > 0.0f))
            return;
        EnsureRelativeRect();
        if (m_HomogeneousRect) {
            *m_HomogeneousRect = rect;
            m_HomogeneousRect->TransformToRelative(reference);
        }
    }
    const QxRect old = m_Rect;
    m_Rect = rect;
    if (keepChildren || old.IsNull())
        return;
    // The new rectangle is stored first, so that homogeneous children take
    // it as their reference.
    for (RCK2dEntity* child : m_Children) {
        QxRect c = child->m_Rect;
        if ((child->m_Flags & CK2D_HOMOGENEOUS) && child->m_HomogeneousRect) {
            QxRect reference;
            child->GetReferenceRect(reference);
            c = *child->m_HomogeneousRect;
            c.TransformFromRelative(reference);
        } else {
            const CKDWORD f = child->m_Flags;
            QxRect n;
            n.left = LayoutAxis(c.left, c.right, old.left, old.right, rect.left, rect.right, (f & CK2D_ANCHORLEFT) != 0,
                                (f & CK2D_ANCHORRIGHT) != 0, n.right);
            n.top = LayoutAxis(c.top, c.bottom, old.top, old.bottom, rect.top, rect.bottom, (f & CK2D_ANCHORTOP) != 0,
                               (f & CK2D_ANCHORBOTTOM) != 0, n.bottom);
            c = n;
        }
        child->ApplyRect(c, FALSE, (child->m_Flags & CK2D_HOMOGENEOUS) ? FALSE : TRUE);
    }
}

void RCK2dEntity::SetRect(const QxRect& rect, CKBOOL keepChildren)
{
    ApplyRect(rect, keepChildren, TRUE);
}

CKERROR RCK2dEntity::SetHomogeneousRect(const QxRect& rect, CKBOOL keepChildren)
{
    if (!(m_Flags & CK2D_HOMOGENEOUS) || !m_HomogeneousRect)
        return CKErr::InvalidParameter;
    *m_HomogeneousRect = rect;
    QxRect reference;
    GetReferenceRect(reference);
    QxRect absolute = rect;
    absolute.TransformFromRelative(reference);
    SetRect(absolute, keepChildren);
    return CKErr::Ok;
}

CKERROR RCK2dEntity::GetHomogeneousRect(QxRect& rect)
{
    if (m_HomogeneousRect)
        rect = *m_HomogeneousRect;
    return CKErr::Ok;
}

CKERROR RCK2dEntity::GetPosition(Qx2DVector& position, CKBOOL homogeneous, CK2dEntity* reference)
{
    if (homogeneous) {
        if (!(m_Flags & CK2D_HOMOGENEOUS) || !m_HomogeneousRect)
            return CKErr::InvalidParameter;
        position.Set(m_HomogeneousRect->left, m_HomogeneousRect->top);
        return CKErr::Ok;
    }
    position.Set(m_Rect.left, m_Rect.top);
    if (reference) {
        QxRect r;
        reference->GetRect(r);
        position -= Qx2DVector(r.left, r.top);
    }
    return CKErr::Ok;
}

void RCK2dEntity::SetPosition(const Qx2DVector& position, CKBOOL homogeneous, CKBOOL keepChildren,
                              CK2dEntity* reference)
{
    if (homogeneous) {
        if (!m_HomogeneousRect)
            return;
        QxRect r = *m_HomogeneousRect;
        r.Set(position.x, position.y, position.x + r.GetWidth(), position.y + r.GetHeight());
        SetHomogeneousRect(r, keepChildren);
        return;
    }
    if (m_Flags & CK2D_HOMOGENEOUS)
        m_Flags |= CK2D_RELATIVEOUTDATED;
    Qx2DVector p = position;
    if (reference) {
        QxRect r;
        reference->GetRect(r);
        p += Qx2DVector(r.left, r.top);
    }
    SetRect(QxRect(p.x, p.y, p.x + m_Rect.GetWidth(), p.y + m_Rect.GetHeight()), keepChildren);
}

CKERROR RCK2dEntity::GetSize(Qx2DVector& size, CKBOOL homogeneous)
{
    if (homogeneous) {
        if (!(m_Flags & CK2D_HOMOGENEOUS) || !m_HomogeneousRect)
            return CKErr::InvalidParameter;
        size.Set(m_HomogeneousRect->GetWidth(), m_HomogeneousRect->GetHeight());
        return CKErr::Ok;
    }
    size.Set(m_Rect.GetWidth(), m_Rect.GetHeight());
    return CKErr::Ok;
}

void RCK2dEntity::SetSize(const Qx2DVector& size, CKBOOL homogeneous, CKBOOL keepChildren)
{
    if (homogeneous) {
        if (!m_HomogeneousRect)
            return;
        QxRect r = *m_HomogeneousRect;
        r.right = r.left + size.x;
        r.bottom = r.top + size.y;
        SetHomogeneousRect(r, keepChildren);
        return;
    }
    if (m_Flags & CK2D_HOMOGENEOUS)
        m_Flags |= CK2D_RELATIVEOUTDATED;
    SetRect(QxRect(m_Rect.left, m_Rect.top, m_Rect.left + size.x, m_Rect.top + size.y), keepChildren);
}

void RCK2dEntity::SetHomogeneousCoordinates(CKBOOL homogeneous)
{
    QxRect reference;
    GetReferenceRect(reference);
    const bool usable = reference.GetWidth() > 0.0f && reference.GetHeight() > 0.0f;
    if (homogeneous) {
        if (m_Flags & CK2D_HOMOGENEOUS)
            return;
        m_Flags |= CK2D_HOMOGENEOUS | CK2D_RELATIVEOUTDATED;
        EnsureRelativeRect();
        if (m_HomogeneousRect) {
            *m_HomogeneousRect = QxRect();
            if (usable) {
                *m_HomogeneousRect = m_Rect;
                m_HomogeneousRect->TransformToRelative(reference);
            }
        }
        return;
    }
    m_Flags &= ~CK2D_HOMOGENEOUS;
    if (m_HomogeneousRect) {
        m_Rect = *m_HomogeneousRect;
        m_Rect.TransformFromRelative(reference);
        delete m_HomogeneousRect;
        m_HomogeneousRect = nullptr;
    }
}

void RCK2dEntity::GetExtents(QxRect& source, QxRect& screen)
{
    source = m_ClippedSourceRect;
    screen = m_ClippedRect;
}

void RCK2dEntity::SetExtents(const QxRect& source, const QxRect& screen)
{
    m_ClippedSourceRect = source;
    m_ClippedRect = screen;
}
