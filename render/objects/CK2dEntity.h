#pragma once

#include "render/objects/RCKRenderObject.h"
#include "system/math/Qx2DVector.h"
#include "system/math/QxRect.h"

class CKMaterial;

// The 2D flags word of a 2D entity.
enum CK2DENTITY_FLAGS : CKDWORD
{
    CK2D_LEGACYVISIBLE = 0x1,       // set by default; a chunk older than version 5 hides the entity without it
    CK2D_USESOURCERECT = 0x20,      // texture coordinates come from the source rectangle
    CK2D_BACKGROUND = 0x40,         // in the background root's hierarchy
    CK2D_NOTPICKABLE = 0x80,        // picking skips the entity (not its children)
    CK2D_VIEWPORTRELATIVE = 0x100,  // offset by the viewport's corner; root-level entities refer to the viewport
    CK2D_HOMOGENEOUS = 0x200,       // positioned by its relative rectangle
    CK2D_CLIPTOVIEWPORT = 0x400,    // clipped to the viewport, else to the whole render context
    CK2D_RELATIVEOUTDATED = 0x800,  // the relative rectangle is taken again from the screen rectangle
    CK2D_CLIPTOPARENT = 0x1000,     // clipped to (and picked only within) the parent's clipped rectangle
    CK2D_SAVEDSOURCERECT = 0x10000, // chunk only: a source rectangle follows
    CK2D_SAVEDZORDER = 0x20000,     // chunk only: a z-order follows
    CK2D_SAVEDPARENT = 0x40000,     // chunk only: a parent follows
    CK2D_ANCHORLEFT = 0x80000,      // layout: keeps its distance to the parent's left edge
    CK2D_ANCHORRIGHT = 0x100000,
    CK2D_ANCHORTOP = 0x200000,
    CK2D_ANCHORBOTTOM = 0x400000,
    // What a new entity has: legacy visible, viewport-relative, clipped to
    // the viewport, anchored left and top.
    CK2D_DEFAULTFLAGS = 0x280501,
};

// A screen-space rectangle (class 27) drawn by the render contexts with
// their background or foreground 2D content, optionally textured through a
// material and a source rectangle. 2D entities form their own hierarchy: a
// child is laid out relative to its parent and may be clipped by it;
// entities without a parent hang under one of the main render context's two
// hidden 2D roots. Every object of class 27 or a derived class is made by
// RCK2dEntity or a class derived from it.
//
// Setters of single flags take a boolean (non-zero sets); getters of single
// flags return the masked bit, except IsPickable.
class CK2dEntity : public CKClass<CK2dEntity, RCKRenderObject, CKCID_2DENTITY>
{
public:
    using CKClass::CKClass;

    // The top-left corner: the screen rectangle's (minus the reference
    // entity's corner when one is given), or with homogeneous the relative
    // rectangle's; -1 when homogeneous values are asked of an entity that
    // has none.
    virtual CKERROR GetPosition(Qx2DVector& position, CKBOOL homogeneous = FALSE, CK2dEntity* reference = nullptr) = 0;
    // Moves the corner, keeping the size; homogeneous moves the relative
    // rectangle (nothing without one).
    virtual void SetPosition(const Qx2DVector& position, CKBOOL homogeneous = FALSE, CKBOOL keepChildren = FALSE,
                             CK2dEntity* reference = nullptr) = 0;
    virtual CKERROR GetSize(Qx2DVector& size, CKBOOL homogeneous = FALSE) = 0;
    // Keeps the top-left corner.
    virtual void SetSize(const Qx2DVector& size, CKBOOL homogeneous = FALSE, CKBOOL keepChildren = FALSE) = 0;
    // The screen rectangle; unless keepChildren, the children follow by their
    // anchors.
    virtual void SetRect(const QxRect& rect, CKBOOL keepChildren = FALSE) = 0;
    virtual void GetRect(QxRect& rect) = 0;
    // -1 when the entity is not homogeneous.
    virtual CKERROR SetHomogeneousRect(const QxRect& rect, CKBOOL keepChildren = FALSE) = 0;
    // Leaves rect as it is without a relative rectangle; always 0.
    virtual CKERROR GetHomogeneousRect(QxRect& rect) = 0;
    virtual void SetSourceRect(const QxRect& rect) = 0;
    virtual void GetSourceRect(QxRect& rect) = 0;
    virtual void UseSourceRect(CKBOOL use = TRUE) = 0;
    virtual CKBOOL IsUsingSourceRect() = 0;
    virtual void SetPickable(CKBOOL pickable = TRUE) = 0;
    // 1 when pickable.
    virtual CKBOOL IsPickable() = 0;
    // Only for an entity without a parent: moves it under the other root and
    // sets or clears CK2D_BACKGROUND on it and on its descendants.
    virtual void SetBackground(CKBOOL background = TRUE) = 0;
    virtual CKBOOL IsBackground() = 0;
    virtual void SetClipToParent(CKBOOL clip = TRUE) = 0;
    virtual CKBOOL IsClipToParent() = 0;
    virtual void SetFlags(CKDWORD flags) = 0;
    // A bit in both masks ends cleared.
    virtual void ModifyFlags(CKDWORD add, CKDWORD remove = 0) = 0;
    virtual CKDWORD GetFlags() = 0;
    virtual void SetViewportRelative(CKBOOL relative = TRUE) = 0;
    virtual CKBOOL IsViewportRelative() = 0;
    // Null (or a root) puts the entity under a root. 0, with nothing changed,
    // when the new parent is the entity or one of its descendants.
    virtual CKBOOL SetParent(CK2dEntity* parent) = 0;
    // Null under a root.
    virtual CK2dEntity* GetParent() = 0;
    // Children in drawing order (ascending z-order).
    virtual int GetChildrenCount() = 0;
    virtual CK2dEntity* GetChild(int index) = 0;
    // The depth-first walk of the subtree below this entity: null gives the
    // first child; null ends the walk.
    virtual CK2dEntity* GetNextInHierarchy(CK2dEntity* current) = 0;
    virtual void SetMaterial(CKMaterial* material) = 0;
    virtual CKMaterial* GetMaterial() = 0;
    // On: the relative rectangle is made from the screen rectangle; off: the
    // screen rectangle is made from the relative one, which goes.
    virtual void SetHomogeneousCoordinates(CKBOOL homogeneous = TRUE) = 0;
    virtual CKBOOL IsHomogeneousCoordinates() = 0;
    virtual void SetClipToViewport(CKBOOL clip = TRUE) = 0;
    virtual CKBOOL IsClipToViewport() = 0;
    // Draws the entity (when visible in the context) and its children; 0.
    virtual CKERROR Render(CKRenderContext* context) = 0;
    // Draws the entity's quad; 0.
    virtual CKERROR Draw(CKRenderContext* context) = 0;
    // The clipped source and screen rectangles of the last render.
    virtual void GetExtents(QxRect& source, QxRect& screen) = 0;
    virtual void SetExtents(const QxRect& source, const QxRect& screen) = 0;
    // Back to the size of the entity's image (sprites).
    virtual void RestoreInitialSize() = 0;
    // The topmost entity of this subtree under the point, or null.
    virtual CK2dEntity* Pick(const Qx2DVector& point, CKBOOL ignoreUnpickable = FALSE) = 0;
};
