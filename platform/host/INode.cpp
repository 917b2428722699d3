#include "platform/host/INode.h"

#include <algorithm>
#include <cctype>

#include "platform/host/Control.h"
#include "platform/host/Modifier.h"

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
    if (theHold.Holding()) {
        INode* oldParent = m_Parent;
        const bool oldDetached = m_Detached;
        const size_t at = oldParent
                              ? size_t(std::find(oldParent->m_Children.begin(), oldParent->m_Children.end(), this) -
                                       oldParent->m_Children.begin())
                              : 0;
        theHold.Put([this, oldParent, oldDetached, at] {
            std::vector<INode*>& now = m_Parent->m_Children;
            now.erase(std::find(now.begin(), now.end(), this));
            m_Parent = oldParent;
            m_Detached = oldDetached;
            if (oldParent)
                oldParent->m_Children.insert(oldParent->m_Children.begin() + long(at), this);
        });
    }
    if (m_Parent) {
        std::vector<INode*>& siblings = m_Parent->m_Children;
        siblings.erase(std::find(siblings.begin(), siblings.end(), this));
    }
    m_Detached = false;
    m_Parent = parent;
    parent->m_Children.push_back(this);
    return true;
}

void INode::DetachForDrop()
{
    if (m_Parent) {
        std::vector<INode*>& siblings = m_Parent->m_Children;
        const auto it = std::find(siblings.begin(), siblings.end(), this);
        if (it != siblings.end())
            siblings.erase(it);
    }
    m_Parent = nullptr;
    m_Detached = true;
}

const ObjectState& INode::EvalWorldState(TimeValue t, BOOL)
{
    if (IDerivedObject* derived = dynamic_cast<IDerivedObject*>(m_Object))
        derived->SetEvalNode(this);
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

namespace {

std::string Trimmed(const std::string& s, size_t from, size_t to)
{
    while (from < to && (s[from] == ' ' || s[from] == '\t'))
        ++from;
    while (to > from && (s[to - 1] == ' ' || s[to - 1] == '\t'))
        --to;
    return s.substr(from, to - from);
}

bool SameNoCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower((unsigned char) a[i]) != std::tolower((unsigned char) b[i]))
            return false;
    return true;
}

} // namespace

BOOL INode::GetUserPropString(const TSTR& key, TSTR& value) const
{
    const std::string wanted = Trimmed(key.str(), 0, key.str().size());
    size_t start = 0;
    while (start <= m_UserProps.size()) {
        size_t end = m_UserProps.find_first_of("\r\n", start);
        if (end == std::string::npos)
            end = m_UserProps.size();
        const size_t equals = m_UserProps.find('=', start);
        if (equals < end && SameNoCase(Trimmed(m_UserProps, start, equals), wanted)) {
            value = Trimmed(m_UserProps, equals + 1, end).c_str();
            return TRUE;
        }
        start = end + 1;
    }
    return FALSE;
}
