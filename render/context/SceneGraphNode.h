#pragma once

#include "includes/CKTypes.h"
#include "includes/XArray.h"
#include "system/math/QxBbox.h"

class CK3dEntity;

// Node flags.
enum : CKDWORD
{
    CK_SCENEGRAPH_ALLINSIDE = 0x1,  // the last frustum test found it wholly inside
    CK_SCENEGRAPH_ALLOUTSIDE = 0x2, // ... wholly outside
    CK_SCENEGRAPH_BOXVALID = 0x4,   // the entity's own box is cached
    CK_SCENEGRAPH_HBOXVALID = 0x8,  // the hierarchical box is cached
};

// A 3D entity's place in the render manager's scene graph: its parent node,
// its children sorted for drawing, the render contexts that show it or one
// of its descendants, its hierarchical box and its priority. Children whose
// subtree some render context shows come first, each group by decreasing
// priority, so that a walk stops at the first inactive child.
//
// A node knows its place among its parent's children, and a child that
// leaves only empties its slot: the slots are closed up, in order, before
// the children are next read, sorted or counted. So a root with very many
// children (every entity of a loaded file starts under the root) loses them
// one by one in constant time.
class SceneGraphNode
{
public:
    // Empty box, no parent, priority 10000 (z-order 0).
    explicit SceneGraphNode(CK3dEntity* entity = nullptr);
    // Leaves the parent; the children are left without a parent.
    ~SceneGraphNode();
    SceneGraphNode(const SceneGraphNode&) = delete;
    SceneGraphNode& operator=(const SceneGraphNode&) = delete;

    CK3dEntity* GetEntity() const { return m_Entity; }
    SceneGraphNode* GetParent() const { return m_Parent; }
    int GetChildrenCount()
    {
        CloseUp();
        return m_Children.Size();
    }
    SceneGraphNode* GetChild(int index)
    {
        CloseUp();
        return m_Children[index];
    }
    // Children that some render context shows: the first ones.
    int GetActiveChildrenCount()
    {
        CloseUp();
        return m_ActiveChildren;
    }

    // Attaches a node (leaving its former parent) in its sorted place and
    // passes its render-context mask up.
    void AddChild(SceneGraphNode* node);
    // Detaches a child; nothing for a node that is not one.
    void RemoveChild(SceneGraphNode* node);
    // Moves a child to its sorted place after its priority or activity changed.
    void UpdateActiveChildPosition(SceneGraphNode* node);

    // Stores the priority clamped to -10000..10000, as priority + 10000;
    // with sort set and a parent, re-sorts the node among its siblings when
    // the value changed.
    void SetPriority(int priority, CKBOOL sort = TRUE);
    // The stored value (0 .. 20000).
    int GetPriority() const { return m_Priority; }

    CKDWORD GetFlags() const { return m_Flags; }
    void ModifyFlags(CKDWORD add, CKDWORD remove) { m_Flags = (m_Flags | add) & ~remove; }
    // Clears the cached boxes of this node and of each ancestor that still
    // has its hierarchical box cached.
    void InvalidateBox();

    // The render contexts that show the entity itself.
    CKDWORD GetEntityMask() const { return m_EntityMask; }
    // ... and any node of the subtree.
    CKDWORD GetRenderContextMask() const { return m_RenderContextMask; }
    // Stores the entity's mask without passing it up (many changes in a
    // row end with UpdateRenderContextMask).
    void SetEntityMask(CKDWORD mask) { m_EntityMask = mask; }
    // Stores the entity's mask, then recomputes the subtree masks of this
    // node and its ancestors, moving them among their siblings when their
    // activity changed.
    void SetRenderContextMask(CKDWORD mask);
    void UpdateRenderContextMask();
    // Recomputes every subtree mask below and at this node from the entity
    // masks (after many SetEntityMask calls).
    void RecomputeRenderContextMasks();

    // The entity's world box merged with the children's hierarchical boxes,
    // computed again when not cached.
    const QxBbox& GetHierarchicalBox();

private:
    // Sort key: active children first, then decreasing priority.
    static bool Before(const SceneGraphNode* a, const SceneGraphNode* b);
    void SortChild(int index);
    void CountActive();
    // Removes the empty slots left by children that went, keeping the order.
    void CloseUp()
    {
        if (m_Holes > 0)
            CloseUpHoles();
    }
    void CloseUpHoles();
    // Gives the children from index on their positions.
    void Renumber(int from);

    CK3dEntity* m_Entity;
    SceneGraphNode* m_Parent = nullptr;
    XArray<SceneGraphNode*> m_Children; // null: the slot of a child that went
    int m_Holes = 0;
    int m_Index = -1; // slot among the parent's children
    int m_ActiveChildren = 0;
    CKDWORD m_Flags = 0;
    CKDWORD m_EntityMask = 0;
    CKDWORD m_RenderContextMask = 0;
    QxBbox m_Bbox;
    CKWORD m_Priority = 10000;
};
