#include "platform/host/Physique.h"

#include <algorithm>

#include "platform/host/INode.h"
#include "platform/host/SkinModifier.h"

namespace {

// A vertex shown as rigid: its one node (the heaviest of a blended vertex
// shown so). Also stands for vertices of other types, which only tell
// their type.
class RigidView final : public IPhyRigidVertex
{
public:
    RigidView(const PhysiqueVertex& v, int type) : m_Vertex(v), m_Type(type) {}

    int GetVertexType() override { return m_Type; }
    INode* GetNode() override
    {
        if (m_Vertex.nodes.empty())
            return nullptr;
        size_t best = 0;
        for (size_t i = 1; i < m_Vertex.nodes.size() && i < m_Vertex.weights.size(); ++i)
            if (m_Vertex.weights[i] > m_Vertex.weights[best])
                best = i;
        return m_Vertex.nodes[best];
    }

private:
    const PhysiqueVertex& m_Vertex;
    int m_Type;
};

class BlendedView final : public IPhyBlendedRigidVertex
{
public:
    explicit BlendedView(const PhysiqueVertex& v) : m_Vertex(v) {}

    int GetVertexType() override { return RIGID_BLENDED_TYPE; }
    int GetNumberNodes() override { return int(m_Vertex.nodes.size()); }
    INode* GetNode(int i) override { return i >= 0 && i < GetNumberNodes() ? m_Vertex.nodes[size_t(i)] : nullptr; }
    float GetWeight(int i) override
    {
        return i >= 0 && size_t(i) < m_Vertex.weights.size() ? m_Vertex.weights[size_t(i)] : 0.0f;
    }

private:
    const PhysiqueVertex& m_Vertex;
};

} // namespace

class PhysiqueModifier::Context final : public IPhyContextExport
{
public:
    explicit Context(PhysiqueModifier& owner) : m_Owner(owner) {}

    void ConvertToRigid(BOOL deformable) override { m_Rigid = deformable != 0; }
    void AllowBlending(BOOL allow) override { m_Blending = allow != 0; }
    int GetNumberVertices() override { return int(m_Owner.m_Vertices.size()); }
    IPhyVertexExport* GetVertexInterface(int i) override
    {
        if (i < 0 || i >= GetNumberVertices())
            return nullptr;
        // Each view is of the one class its type names, so a caller may cast
        // by the type.
        const PhysiqueVertex& v = m_Owner.m_Vertices[size_t(i)];
        if (v.type == RIGID_BLENDED_TYPE && m_Blending)
            m_Views.push_back(std::make_unique<BlendedView>(v));
        else
            m_Views.push_back(std::make_unique<RigidView>(v, v.type == RIGID_BLENDED_TYPE ? RIGID_TYPE : v.type));
        ++m_Owner.m_Open;
        return m_Views.back().get();
    }
    void ReleaseVertexInterface(IPhyVertexExport* vertex) override
    {
        const auto it =
            std::find_if(m_Views.begin(), m_Views.end(),
                         [vertex](const std::unique_ptr<IPhyVertexExport>& v) { return v.get() == vertex; });
        if (it == m_Views.end())
            return;
        m_Views.erase(it);
        --m_Owner.m_Open;
    }

private:
    PhysiqueModifier& m_Owner;
    std::vector<std::unique_ptr<IPhyVertexExport>> m_Views;
    bool m_Rigid = false;
    bool m_Blending = false;
};

PhysiqueModifier::PhysiqueModifier(std::string name) : Modifier(PHYSIQUE_CLASS_ID, "Physique", std::move(name)) {}

PhysiqueModifier::~PhysiqueModifier() = default;

Matrix3 PhysiqueModifier::BoneInitTM(INode* bone) const
{
    const auto it = m_BoneInit.find(bone);
    if (it != m_BoneInit.end())
        return it->second;
    return bone ? bone->GetNodeTM(0) : Matrix3();
}

void* PhysiqueModifier::GetInterface(ULONG id)
{
    if (id == I_PHYEXPORT) {
        ++m_Open;
        return static_cast<IPhysiqueExport*>(this);
    }
    return Modifier::GetInterface(id);
}

void PhysiqueModifier::ReleaseInterface(ULONG id, void* i)
{
    if (id == I_PHYEXPORT && i == static_cast<IPhysiqueExport*>(this) && m_Open > 0)
        --m_Open;
}

IPhyContextExport* PhysiqueModifier::GetContextInterface(INode* node)
{
    if (!NodeHasModifier(node, this))
        return nullptr;
    m_Contexts.push_back(std::make_unique<Context>(*this));
    ++m_Open;
    return m_Contexts.back().get();
}

void PhysiqueModifier::ReleaseContextInterface(IPhyContextExport* context)
{
    const auto it = std::find_if(m_Contexts.begin(), m_Contexts.end(),
                                 [context](const std::unique_ptr<Context>& c) { return c.get() == context; });
    if (it == m_Contexts.end())
        return;
    m_Contexts.erase(it);
    --m_Open;
}

void PhysiqueModifier::ModifyObject(TimeValue t, Object& object, Interval& valid, INode* node)
{
    if (!node)
        return;
    Matrix3 offset, toObject;
    SkinSpaces(*node, t, valid, offset, toObject);
    std::map<INode*, Matrix3> deform;
    const auto bound = [&](INode* bone) -> const Matrix3& {
        auto it = deform.find(bone);
        if (it == deform.end())
            it = deform.emplace(bone, offset * m_NodeInit * Inverse(BoneInitTM(bone)) * bone->GetNodeTM(t, &valid))
                     .first;
        return it->second;
    };
    const int n = object.NumPoints();
    for (int i = 0; i < n && size_t(i) < m_Vertices.size(); ++i) {
        const PhysiqueVertex& v = m_Vertices[size_t(i)];
        if ((v.type != RIGID_TYPE && v.type != RIGID_BLENDED_TYPE) || v.nodes.empty())
            continue;
        const Point3 p = object.GetPoint(i);
        if (v.type == RIGID_TYPE) {
            if (v.nodes[0])
                object.SetPoint(i, p * bound(v.nodes[0]) * toObject);
            continue;
        }
        float sum = 0.0f;
        for (size_t k = 0; k < v.nodes.size() && k < v.weights.size(); ++k)
            if (v.nodes[k])
                sum += v.weights[k];
        if (!(sum > 0.0f))
            continue;
        Point3 world;
        for (size_t k = 0; k < v.nodes.size() && k < v.weights.size(); ++k)
            if (v.nodes[k])
                world += (p * bound(v.nodes[k])) * (v.weights[k] / sum);
        object.SetPoint(i, world * toObject);
    }
}

std::unique_ptr<Modifier> PhysiqueModifier::CloneModifier() const
{
    auto copy = std::make_unique<PhysiqueModifier>(GetName());
    copy->m_Vertices = m_Vertices;
    copy->m_NodeInit = m_NodeInit;
    copy->m_BoneInit = m_BoneInit;
    copy->CopyAFlags(*this);
    return copy;
}
