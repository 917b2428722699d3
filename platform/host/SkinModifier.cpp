#include "platform/host/SkinModifier.h"

#include "platform/host/INode.h"

bool NodeHasModifier(INode* node, const Modifier* modifier)
{
    if (!node || !modifier)
        return false;
    for (Object* o = node->GetObjectRef(); IDerivedObject* d = dynamic_cast<IDerivedObject*>(o); o = d->GetObjRef())
        for (int i = 0; i < d->NumModifiers(); ++i)
            if (d->GetModifier(i) == modifier)
                return true;
    return false;
}

void SkinSpaces(INode& node, TimeValue t, Interval& valid, Matrix3& offset, Matrix3& toObject)
{
    offset = node.GetObjectOffsetTM();
    toObject = Inverse(offset * node.GetNodeTM(t, &valid));
}

SkinModifier::SkinModifier(std::string name) : Modifier(SKIN_CLASSID, "Skin", std::move(name)) {}

void SkinModifier::SetBones(std::vector<INode*> bones, std::vector<Matrix3> initTMs)
{
    m_Bones = std::move(bones);
    m_BoneInit = std::move(initTMs);
    m_BoneInit.resize(m_Bones.size());
}

void* SkinModifier::GetInterface(ULONG id)
{
    if (id == I_SKIN)
        return static_cast<ISkin*>(this);
    return Modifier::GetInterface(id);
}

INode* SkinModifier::GetBone(int index)
{
    return index >= 0 && index < GetNumBones() ? m_Bones[size_t(index)] : nullptr;
}

BOOL SkinModifier::GetBoneInitTM(INode* bone, Matrix3& tm, bool objOffset)
{
    for (size_t i = 0; i < m_Bones.size(); ++i)
        if (bone && m_Bones[i] == bone) {
            tm = objOffset ? bone->GetObjectOffsetTM() * m_BoneInit[i] : m_BoneInit[i];
            return TRUE;
        }
    return FALSE;
}

BOOL SkinModifier::GetSkinInitTM(INode* node, Matrix3& tm, bool objOffset)
{
    if (!NodeHasModifier(node, this))
        return FALSE;
    tm = objOffset ? node->GetObjectOffsetTM() * m_SkinInit : m_SkinInit;
    return TRUE;
}

ISkinContextData* SkinModifier::GetContextInterface(INode* node)
{
    return NodeHasModifier(node, this) ? static_cast<ISkinContextData*>(this) : nullptr;
}

int SkinModifier::GetNumAssignedBones(int vertex)
{
    return vertex >= 0 && vertex < GetNumPoints() ? int(m_Weights[size_t(vertex)].size()) : 0;
}

int SkinModifier::GetAssignedBone(int vertex, int boneIndex)
{
    if (boneIndex < 0 || boneIndex >= GetNumAssignedBones(vertex))
        return -1;
    return m_Weights[size_t(vertex)][size_t(boneIndex)].bone;
}

float SkinModifier::GetBoneWeight(int vertex, int boneIndex)
{
    if (boneIndex < 0 || boneIndex >= GetNumAssignedBones(vertex))
        return 0.0f;
    return m_Weights[size_t(vertex)][size_t(boneIndex)].weight;
}

void SkinModifier::ModifyObject(TimeValue t, Object& object, Interval& valid, INode* node)
{
    if (!node)
        return;
    Matrix3 offset, toObject;
    SkinSpaces(*node, t, valid, offset, toObject);
    // Per bone: bind space to its place at t, from the object's own space.
    std::vector<Matrix3> deform(m_Bones.size());
    std::vector<bool> usable(m_Bones.size(), false);
    for (size_t b = 0; b < m_Bones.size(); ++b) {
        if (!m_Bones[b])
            continue;
        deform[b] = offset * m_SkinInit * Inverse(m_BoneInit[b]) * m_Bones[b]->GetNodeTM(t, &valid);
        usable[b] = true;
    }
    const int n = object.NumPoints();
    for (int i = 0; i < n && size_t(i) < m_Weights.size(); ++i) {
        const std::vector<SkinWeight>& weights = m_Weights[size_t(i)];
        if (weights.empty())
            continue;
        const Point3 p = object.GetPoint(i);
        Point3 world;
        for (const SkinWeight& w : weights)
            if (w.bone >= 0 && size_t(w.bone) < deform.size() && usable[size_t(w.bone)])
                world += (p * deform[size_t(w.bone)]) * w.weight;
        object.SetPoint(i, world * toObject);
    }
}

std::unique_ptr<Modifier> SkinModifier::CloneModifier() const
{
    auto copy = std::make_unique<SkinModifier>(GetName());
    copy->m_Bones = m_Bones;
    copy->m_BoneInit = m_BoneInit;
    copy->m_SkinInit = m_SkinInit;
    copy->m_Weights = m_Weights;
    copy->CopyAFlags(*this);
    return copy;
}
