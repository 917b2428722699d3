#include "render/context/SceneGraphNode.h"

#include <algorithm>

#include "render/objects/CK3dEntity.h"

SceneGraphNode::SceneGraphNode(CK3dEntity* entity) : m_Entity(entity) {}

SceneGraphNode::~SceneGraphNode()
{
    if (m_Parent)
        m_Parent->RemoveChild(this);
    for (SceneGraphNode* child : m_Children)
        if (child)
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
    // The active children come first: the end of their run.
    int low = 0;
    int high = m_Children.Size();
    while (low < high) {
        int middle = (low + high) / 2;
        if (m_Children.Begin()[middle]->m_RenderContextMask)
            low = middle + 1;
        else
            high = middle;
    }
    m_ActiveChildren = low;
}

void SceneGraphNode::Renumber(int from)
{
    for (int i = from; i < m_Children.Size(); ++i)
        m_Children.Begin()[i]->m_Index = i;
}

void SceneGraphNode::CloseUpHoles()
{
    int kept = 0;
    for (SceneGraphNode* child : m_Children)
        if (child)
            m_Children.Begin()[kept++] = child;
    m_Children.Resize(kept);
    m_Holes = 0;
    Renumber(0);
    CountActive();
}

void SceneGraphNode::SortChild(int index)
{
    // One element out of place in a sorted array: slide it (stable among
    // equals, a moved node goes after its equals). The others are sorted, so
    // its place is found by halving. No slot is empty here.
    SceneGraphNode* node = m_Children[index];
    m_Children.RemoveAt(index);
    int low = 0;
    int high = m_Children.Size();
    while (low < high) {
        int middle = (low + high) / 2;
        if (Before(node, m_Children.Begin()[middle]))
            high = middle;
        else
            low = middle + 1;
    }
    m_Children.Insert(low, node);
    for (int i = index < low ? index : low; i <= (index < low ? low : index); ++i)
        m_Children.Begin()[i]->m_Index = i;
    CountActive();
}

void SceneGraphNode::AddChild(SceneGraphNode* node)
{
    if (!node || node == this || node->m_Parent == this)
        return;
    if (node->m_Parent)
        node->m_Parent->RemoveChild(node);
    node->m_Parent = this;
    // Empty slots at the end go at once.
    int size = m_Children.Size();
    while (size > 0 && !m_Children.Begin()[size - 1]) {
        --size;
        --m_Holes;
    }
    m_Children.Resize(size);
    if (size == 0 || !Before(node, m_Children.Begin()[size - 1])) {
        // Its sorted place is the end (the slots in front keep their order):
        // appended without closing up, so a root that loses children while
        // others are created does not move all of them each time.
        node->m_Index = m_Children.Size();
        m_Children.PushBack(node);
        if (m_Holes == 0)
            CountActive();
    } else {
        CloseUp();
        node->m_Index = m_Children.Size();
        m_Children.PushBack(node);
        SortChild(m_Children.Size() - 1);
    }
    InvalidateBox();
    // A subtree that no render context shows changes no mask.
    if (node->m_RenderContextMask)
        UpdateRenderContextMask();
}

void SceneGraphNode::RemoveChild(SceneGraphNode* node)
{
    if (!node || node->m_Parent != this)
        return;
    int index = node->m_Index;
    if (index >= 0 && index < m_Children.Size() && m_Children.Begin()[index] == node) {
        m_Children.Begin()[index] = nullptr;
        ++m_Holes;
        // Closed up once half the slots are empty: each removal costs little.
        if (2 * m_Holes > m_Children.Size())
            CloseUpHoles();
    }
    node->m_Parent = nullptr;
    node->m_Index = -1;
    InvalidateBox();
    if (node->m_RenderContextMask) {
        CloseUp();
        UpdateRenderContextMask();
    }
}

void SceneGraphNode::UpdateActiveChildPosition(SceneGraphNode* node)
{
    if (!node || node->m_Parent != this)
        return;
    CloseUp();
    SortChild(node->m_Index);
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
            if (child)
                mask |= child->m_RenderContextMask;
        bool activityChanged = (mask != 0) != (node->m_RenderContextMask != 0);
        node->m_RenderContextMask = mask;
        if (activityChanged && node->m_Parent)
            node->m_Parent->UpdateActiveChildPosition(node);
    }
}

void SceneGraphNode::RecomputeRenderContextMasks()
{
    CloseUp();
    CKDWORD mask = m_EntityMask;
    for (SceneGraphNode* child : m_Children) {
        child->RecomputeRenderContextMasks();
        mask |= child->m_RenderContextMask;
    }
    m_RenderContextMask = mask;
    // Children's activity may have changed: sort them again (stable).
    std::stable_sort(m_Children.Begin(), m_Children.End(), &Before);
    Renumber(0);
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
    CloseUp();
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
