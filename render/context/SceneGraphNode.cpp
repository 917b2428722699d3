#include "render/context/SceneGraphNode.h"

#include "render/objects/CK3dEntity.h"

SceneGraphNode::SceneGraphNode(CK3dEntity* entity) : m_Entity(entity) {}

SceneGraphNode::~SceneGraphNode()
{
    if (m_Parent)
        m_Parent->RemoveChild(this);
    for (SceneGraphNode* child : m_Children)
        child->m_Parent = nullptr;
}

bool SceneGraphNode::Before(const SceneGraphNode* a, const SceneGraphNode* b)
{
    bool activeA = a->m_RenderContextMask != 0;
    bool activeB = b->m_RenderContextMask != 0;
    if (activeA != activeB)
        return activeA;
    return a->m_Priority > b->m_Priority;
}

void SceneGraphNode::CountActive()
{
    m_ActiveChildren = 0;
    while (m_ActiveChildren < m_Children.Size() && m_Children[m_ActiveChildren]->m_RenderContextMask)
        ++m_ActiveChildren;
}

void SceneGraphNode::SortChild(int index)
{
    // One element out of place in a sorted array: slide it (stable among
    // equals, a moved node goes after its equals).
    SceneGraphNode* node = m_Children[index];
    m_Children.RemoveAt(index);
    int at = 0;
    while (at < m_Children.Size() && !Before(node, m_Children[at]))
        ++at;
    m_Children.Insert(at, node);
    CountActive();
}

void SceneGraphNode::AddChild(SceneGraphNode* node)
{
    if (!node || node == this || node->m_Parent == this)
        return;
    if (node->m_Parent)
        node->m_Parent->RemoveChild(node);
    node->m_Parent = this;
    m_Children.PushBack(node);
    SortChild(m_Children.Size() - 1);
    InvalidateBox();
    UpdateRenderContextMask();
}

void SceneGraphNode::RemoveChild(SceneGraphNode* node)
{
    if (!node || node->m_Parent != this)
        return;
    m_Children.Remove(node);
    node->m_Parent = nullptr;
    CountActive();
    InvalidateBox();
    UpdateRenderContextMask();
}

void SceneGraphNode::UpdateActiveChildPosition(SceneGraphNode* node)
{
    int index = m_Children.GetPosition(node);
    if (index >= 0)
        SortChild(index);
}

void SceneGraphNode::SetPriority(int priority, CKBOOL sort)
{
    if (priority < -10000)
        priority = -10000;
    if (priority > 10000)
        priority = 10000;
    CKWORD stored = (CKWORD) (priority + 10000);
    if (stored == m_Priority)
        return;
    m_Priority = stored;
    if (sort && m_Parent)
        m_Parent->UpdateActiveChildPosition(this);
}

void SceneGraphNode::InvalidateBox()
{
    m_Flags &= ~(CK_SCENEGRAPH_BOXVALID | CK_SCENEGRAPH_HBOXVALID);
    for (SceneGraphNode* node = m_Parent; node && (node->m_Flags & CK_SCENEGRAPH_HBOXVALID); node = node->m_Parent)
        node->m_Flags &= ~(CK_SCENEGRAPH_BOXVALID | CK_SCENEGRAPH_HBOXVALID);
}

void SceneGraphNode::SetRenderContextMask(CKDWORD mask)
{
    m_EntityMask = mask;
    UpdateRenderContextMask();
}

void SceneGraphNode::UpdateRenderContextMask()
{
    for (SceneGraphNode* node = this; node; node = node->m_Parent) {
        CKDWORD mask = node->m_EntityMask;
        for (SceneGraphNode* child : node->m_Children)
            mask |= child->m_RenderContextMask;
        bool activityChanged = (mask != 0) != (node->m_RenderContextMask != 0);
        node->m_RenderContextMask = mask;
        if (activityChanged && node->m_Parent)
            node->m_Parent->UpdateActiveChildPosition(node);
    }
}

void SceneGraphNode::RecomputeRenderContextMasks()
{
    CKDWORD mask = m_EntityMask;
    for (SceneGraphNode* child : m_Children) {
        child->RecomputeRenderContextMasks();
        mask |= child->m_RenderContextMask;
    }
    m_RenderContextMask = mask;
    // Children's activity may have changed: sort them again (stable).
    XArray<SceneGraphNode*> children = m_Children;
    m_Children.Clear();
    for (SceneGraphNode* child : children) {
        int at = 0;
        while (at < m_Children.Size() && !Before(child, m_Children[at]))
            ++at;
        m_Children.Insert(at, child);
    }
    CountActive();
}

const QxBbox& SceneGraphNode::GetHierarchicalBox()
{
    if (m_Flags & CK_SCENEGRAPH_HBOXVALID)
        return m_Bbox;
    bool any = false;
    if (m_Entity) {
        m_Bbox = m_Entity->GetBoundingBox(FALSE);
        any = true;
    }
    for (SceneGraphNode* child : m_Children) {
        const QxBbox& box = child->GetHierarchicalBox();
        if (!child->m_Entity && child->m_Children.Size() == 0)
            continue;
        if (any) {
            m_Bbox.Merge(box);
        } else {
            m_Bbox = box;
            any = true;
        }
    }
    if (!any)
        m_Bbox = QxBbox();
    m_Flags |= CK_SCENEGRAPH_BOXVALID | CK_SCENEGRAPH_HBOXVALID;
    return m_Bbox;
}
