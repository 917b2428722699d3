#pragma once

#include "includes/XArray.h"
#include "render/objects/CK2dEntity.h"

class RCKRenderContext;

// Chunk identifiers of a 2D entity's section.
enum : CKDWORD
{
    CK_STATESAVE_2DENTITYSRCSIZE = 0x1000,  // before version 5: source rectangle as integers
    CK_STATESAVE_2DENTITYSIZE = 0x2000,     // before version 5: size
    CK_STATESAVE_2DENTITYFLAGS = 0x4000,    // before version 5: flags
    CK_STATESAVE_2DENTITYPOS = 0x8000,      // before version 5: position
    CK_STATESAVE_2DENTITYZORDER = 0x100000, // before version 5: z-order
    CK_STATESAVE_2DENTITYDATA = 0x10F000,   // flags, rectangles, z-order and parent
    CK_STATESAVE_2DENTITYMATERIAL = 0x200000,
};

// The chunk layout changed at data version 5 (flags and rectangles in one
// section, the parent saved).
constexpr int CK_2DENTITY_DATAVERSION_ONESECTION = 5;

// Dependency options of the 2D entities (class 27): bit 1 the material,
// bit 2 the children.
enum : CKDWORD
{
    CK_DEPENDENCIES_2DENTITY_MATERIAL = 0x1,
    CK_DEPENDENCIES_2DENTITY_CHILDREN = 0x2,
};

// The render library's 2D entity. Its rectangles are floats in pixels of the
// render context's window; the relative rectangle, in units of the
// reference rectangle (the parent's screen rectangle, or the main render
// context's viewport or window for an entity at the root), exists while the
// entity is homogeneous.
class RCK2dEntity : public CK2dEntity
{
public:
    explicit RCK2dEntity(CKContext* context, const char* name = nullptr);
    ~RCK2dEntity() override;

    static CKObject* CreateInstance(CKContext* context) { return new RCK2dEntity(context); }
    static const char* GetClassName() { return "2D Entity"; }
    // Hears about deleted materials; parameter type; dependency mask 3 for
    // copies and saves.
    static void Register();
    static const char* GetDependencies(int index, int mode);
    static int GetDependenciesCount(int mode);

    // Every 2D entity is an RCK2dEntity (see CK2dEntity).
    static RCK2dEntity* From(CK2dEntity* entity) { return static_cast<RCK2dEntity*>(entity); }

    // CKObject
    CKBOOL IsHiddenByParent() override;
    void PreSave(CKFile* file, CKDWORD flags) override;
    CKStateChunk* Save(CKFile* file, CKDWORD flags) override;
    CKERROR Load(CKStateChunk* chunk, CKFile* file) override;
    void PostLoad() override;
    void PreDelete() override;
    void CheckPreDeletion() override;
    int GetMemoryOccupation() override;
    CKERROR PrepareDependencies(CKDependenciesContext& context, CKBOOL caller = TRUE) override;
    CKERROR RemapDependencies(CKDependenciesContext& context) override;
    CKERROR Copy(CKObject& source, CKDependenciesContext& context) override;

    // CKRenderObject
    CKBOOL IsRootObject() override { return m_Parent == nullptr; }
    void SetZOrder(int z) override;
    int GetZOrder() override { return m_ZOrder; }

    // CK2dEntity
    CKERROR GetPosition(Qx2DVector& position, CKBOOL homogeneous = FALSE, CK2dEntity* reference = nullptr) override;
    void SetPosition(const Qx2DVector& position, CKBOOL homogeneous = FALSE, CKBOOL keepChildren = FALSE,
                     CK2dEntity* reference = nullptr) override;
    CKERROR GetSize(Qx2DVector& size, CKBOOL homogeneous = FALSE) override;
    void SetSize(const Qx2DVector& size, CKBOOL homogeneous = FALSE, CKBOOL keepChildren = FALSE) override;
    void SetRect(const QxRect& rect, CKBOOL keepChildren = FALSE) override;
    void GetRect(QxRect& rect) override { rect = m_Rect; }
    CKERROR SetHomogeneousRect(const QxRect& rect, CKBOOL keepChildren = FALSE) override;
    CKERROR GetHomogeneousRect(QxRect& rect) override;
    void SetSourceRect(const QxRect& rect) override { m_SourceRect = rect; }
    void GetSourceRect(QxRect& rect) override { rect = m_SourceRect; }
    void UseSourceRect(CKBOOL use = TRUE) override { SetFlag(CK2D_USESOURCERECT, use); }
    CKBOOL IsUsingSourceRect() override { return m_Flags & CK2D_USESOURCERECT; }
    void SetPickable(CKBOOL pickable = TRUE) override { SetFlag(CK2D_NOTPICKABLE, !pickable); }
    CKBOOL IsPickable() override { return (m_Flags & CK2D_NOTPICKABLE) ? FALSE : TRUE; }
    void SetBackground(CKBOOL background = TRUE) override;
    CKBOOL IsBackground() override { return m_Flags & CK2D_BACKGROUND; }
    void SetClipToParent(CKBOOL clip = TRUE) override { SetFlag(CK2D_CLIPTOPARENT, clip); }
    CKBOOL IsClipToParent() override { return m_Flags & CK2D_CLIPTOPARENT; }
    void SetFlags(CKDWORD flags) override;
    void ModifyFlags(CKDWORD add, CKDWORD remove = 0) override;
    CKDWORD GetFlags() override { return m_Flags; }
    void SetViewportRelative(CKBOOL relative = TRUE) override { SetFlag(CK2D_VIEWPORTRELATIVE, relative); }
    CKBOOL IsViewportRelative() override { return m_Flags & CK2D_VIEWPORTRELATIVE; }
    CKBOOL SetParent(CK2dEntity* parent) override;
    CK2dEntity* GetParent() override { return m_Parent; }
    int GetChildrenCount() override { return m_Children.Size(); }
    CK2dEntity* GetChild(int index) override;
    CK2dEntity* GetNextInHierarchy(CK2dEntity* current) override;
    void SetMaterial(CKMaterial* material) override { m_Material = material; }
    CKMaterial* GetMaterial() override { return m_Material; }
    void SetHomogeneousCoordinates(CKBOOL homogeneous = TRUE) override;
    CKBOOL IsHomogeneousCoordinates() override { return m_Flags & CK2D_HOMOGENEOUS; }
    void SetClipToViewport(CKBOOL clip = TRUE) override { SetFlag(CK2D_CLIPTOVIEWPORT, clip); }
    CKBOOL IsClipToViewport() override { return m_Flags & CK2D_CLIPTOVIEWPORT; }
    CKERROR Render(CKRenderContext* context) override;
    CKERROR Draw(CKRenderContext* context) override;
    void GetExtents(QxRect& source, QxRect& screen) override;
    void SetExtents(const QxRect& source, const QxRect& screen) override;
    void RestoreInitialSize() override {}
    CK2dEntity* Pick(const Qx2DVector& point, CKBOOL ignoreUnpickable = FALSE) override;

    // What relative coordinates refer to: the parent's screen rectangle (made
    // up to date first when the parent is homogeneous), else the main render
    // context's viewport (viewport-relative) or window moved to (0, 0);
    // zeros without a render context.
    void GetReferenceRect(QxRect& rect);
    // A homogeneous entity takes its screen rectangle from its relative one.
    void UpdateFromRelative();
    // Stores the screen rectangle; with updateRelative a homogeneous entity's
    // relative rectangle follows (nothing changes when the reference
    // rectangle is empty); unless keepChildren the children are laid out
    // again by their anchors.
    void ApplyRect(const QxRect& rect, CKBOOL keepChildren, CKBOOL updateRelative);
    // The rectangle the entity is clipped to: the viewport with
    // CK2D_CLIPTOVIEWPORT, else the whole render context.
    void GetClipRect(CKRenderContext* context, QxRect& rect);
    // Clips the screen and source rectangles for a frame: TRUE when part of
    // the entity shows, with the clipped rectangles kept; FALSE and zero
    // rectangles otherwise.
    CKBOOL UpdateExtents(CKRenderContext* context);

    // The main render context's 2D root of that side, null without one.
    RCK2dEntity* GetRoot(CKBOOL background) const;

protected:
    void SetFlag(CKDWORD flag, CKBOOL on) { m_Flags = on ? (m_Flags | flag) : (m_Flags & ~flag); }
    // Makes the relative rectangle (zeroed) when the entity is homogeneous
    // and has none.
    void EnsureRelativeRect();
    // The source rectangle of a frame before clipping.
    virtual QxRect GetFrameSourceRect();
    // Inserts the child at the front of the children and sorts them.
    void AttachChild(RCK2dEntity* child);
    void DetachChild(RCK2dEntity* child) { m_Children.Remove(child); }
    // Takes the entity out of its parent's children, or out of both roots'.
    void Detach();
    // Whether entity is this entity or lies below it.
    bool IsInSubtree(RCK2dEntity* entity) const;
    // Stable sort of the children by ascending z-order.
    void SortChildren();
    RCKRenderContext* GetMainRenderContext() const;
    // Whether the entity belongs to the current scene (every object does
    // while there is no current scene).
    CKBOOL IsInCurrentScene();
    // The text-free part of Copy shared with the sprites.
    void CopyEntity(RCK2dEntity& source);
    // Runs the callbacks of a list (pre or post), timed into the context's
    // 2D callback statistic.
    void RunCallbacks(RCKRenderContext* context, bool post);
    // The outline drawn for an entity without a material in interface mode.
    void DrawOutline(RCKRenderContext* context);

    QxRect m_Rect;
    QxRect* m_HomogeneousRect = nullptr; // owned
    QxRect m_ClippedRect;
    QxRect m_ClippedSourceRect;
    CKDWORD m_Flags = CK2D_DEFAULTFLAGS;
    RCK2dEntity* m_Parent = nullptr;
    CKMaterial* m_Material = nullptr;
    XArray<RCK2dEntity*> m_Children;
    QxRect m_SourceRect = QxRect(0.0f, 0.0f, 1.0f, 1.0f);
    int m_ZOrder = 0;
};
