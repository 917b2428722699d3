#include "platform/host/INode.h"

#include <algorithm>

#include "platform/host/Control.h"

INode::INode(HostScene& scene, std::string name, INode* parent, bool detached)
    : m_Scene(scene), m_Name(std::move(name)), m_Detached(detached && !parent)
{
    if (parent) {
        m_Parent = parent;
        parent->m_Children.push_back(this);
    }
}

INode::~INode() = default;

INode* INode::GetChildNode(int i) const
{
    if (i < 0 || i >= NumberOfChildren())
        return nullptr;
    return m_Children[size_t(i)];
}

bool INode::AttachTo(INode* parent)
{
    if ((!m_Parent && !m_Detached) || !parent)
        return false;
    // Only a node with children can close a loop by moving.
    if (!m_Children.empty())
        for (INode* up = parent; up; up = up->m_Parent)
            if (up == this)
                return false;
    if (parent == this)
        return false;
    if (m_Parent) {
        std::vector<INode*>& siblings = m_Parent->m_Children;
        siblings.erase(std::find(siblings.begin(), siblings.end(), this));
    }
    m_Detached = false;
    m_Parent = parent;
    parent->m_Children.push_back(this);
    return true;
}

const ObjectState& INode::EvalWorldState(TimeValue t, BOOL)
{
    m_State = m_Object ? m_Object->Eval(t) : ObjectState();
    return m_State;
}

Matrix3 INode::GetNodeTM(TimeValue t, Interval* valid) const
{
    Interval unused;
    Interval& v = valid ? *valid : unused;
    // From the root down, without recursion: hierarchies may be deep.
    std::vector<const INode*> chain;
    for (const INode* n = this; n->m_Parent; n = n->m_Parent)
        chain.push_back(n);
    Matrix3 m;
    for (size_t i = chain.size(); i-- > 0;)
        if (Control* c = chain[i]->m_TMController)
            c->GetValue(t, &m, v, CTRL_RELATIVE);
    return m;
}

Matrix3 INode::GetParentTM(TimeValue t) const
{
    return m_Parent ? m_Parent->GetNodeTM(t) : Matrix3();
}

Matrix3 INode::GetObjectOffsetTM() const
{
    Matrix3 r;
    m_OffsetRot.MakeMatrix(r);
    return ScaleMatrix(m_OffsetScale) * r * TransMatrix(m_OffsetPos);
}

Matrix3 INode::GetObjectTM(TimeValue t, Interval* valid) const
{
    return GetObjectOffsetTM() * GetNodeTM(t, valid);
}
