#pragma once

#include <memory>
#include <vector>

#include "platform/host/Matrix3.h"
#include "platform/host/Modifier.h"

constexpr Class_ID SKIN_CLASSID(0x95C723, 0x15666);
constexpr ULONG I_SKIN = 0x10000;

// The per-vertex bone assignments of a skinned node. Indices out of range
// give 0 bones, bone -1 and weight 0.
class ISkinContextData
{
public:
    virtual ~ISkinContextData() = default;
    virtual int GetNumPoints() = 0;
    virtual int GetNumAssignedBones(int vertex) = 0;
    virtual int GetAssignedBone(int vertex, int boneIndex) = 0;
    virtual float GetBoneWeight(int vertex, int boneIndex) = 0;
};

// The Skin modifier's interface (GetInterface with I_SKIN).
class ISkin
{
public:
    virtual ~ISkin() = default;
    virtual int GetNumBones() = 0;
    // null for an index out of range.
    virtual INode* GetBone(int index) = 0;
    // The world transform of a bone when the skin was bound; with objOffset
    // its object offset comes first. FALSE for a node that is no bone of it.
    virtual BOOL GetBoneInitTM(INode* bone, Matrix3& tm, bool objOffset = false) = 0;
    // The same for a node the skin deforms (FALSE for another node).
    virtual BOOL GetSkinInitTM(INode* node, Matrix3& tm, bool objOffset = false) = 0;
    // The assignments, for a node whose stack holds this skin; null else.
    virtual ISkinContextData* GetContextInterface(INode* node) = 0;
};

// One bone assignment of a vertex.
struct SkinWeight
{
    int bone = 0;
    float weight = 0.0f;
};

// Stands in for the host's Skin modifier: bones with their bind transforms,
// the deformed node's bind transform and per point a list of (bone,
// weight). Points move by linear blending, the weights taken as given (not
// normalised):
//   world = sum of w * (p * objectOffset * skinInit * Inverse(boneInit) * bone(t))
// then back into the object's space at t (Inverse(objectOffset *
// node(t))). A point without weights, or a skin evaluated without a node,
// stays; bones out of range or without a node are left out. The validity is
// where the node's and every bone's transforms hold.
class SkinModifier : public Modifier, private ISkin, private ISkinContextData
{
public:
    explicit SkinModifier(std::string name = "");

    void SetBones(std::vector<INode*> bones, std::vector<Matrix3> initTMs);
    void SetSkinInitTM(const Matrix3& tm) { m_SkinInit = tm; }
    // The weights of each point.
    std::vector<std::vector<SkinWeight>>& Weights() { return m_Weights; }
    const std::vector<std::vector<SkinWeight>>& Weights() const { return m_Weights; }
    const std::vector<INode*>& Bones() const { return m_Bones; }
    int BoneCount() const { return int(m_Bones.size()); }
    const std::vector<Matrix3>& BoneInitTMs() const { return m_BoneInit; }
    const Matrix3& SkinInitTM() const { return m_SkinInit; }

    void* GetInterface(ULONG id) override;
    using Modifier::GetInterface;
    void ModifyObject(TimeValue t, Object& object, Interval& valid, INode* node) override;
    std::unique_ptr<Modifier> CloneModifier() const override;

private:
    int GetNumBones() override { return int(m_Bones.size()); }
    INode* GetBone(int index) override;
    BOOL GetBoneInitTM(INode* bone, Matrix3& tm, bool objOffset) override;
    BOOL GetSkinInitTM(INode* node, Matrix3& tm, bool objOffset) override;
    ISkinContextData* GetContextInterface(INode* node) override;
    int GetNumPoints() override { return int(m_Weights.size()); }
    int GetNumAssignedBones(int vertex) override;
    int GetAssignedBone(int vertex, int boneIndex) override;
    float GetBoneWeight(int vertex, int boneIndex) override;

    std::vector<INode*> m_Bones;
    std::vector<Matrix3> m_BoneInit;
    Matrix3 m_SkinInit;
    std::vector<std::vector<SkinWeight>> m_Weights;
};

// Whether the node's modifier stack (its derived objects, nested ones
// included) holds the modifier.
bool NodeHasModifier(INode* node, const Modifier* modifier);

// What skinning modifiers take a point through: from the node's object
// space to the world as bound (offset, the object offset, then the bind
// transforms), and back from the world into its object space at t
// (toObject), narrowing valid to where the node's transform holds.
void SkinSpaces(INode& node, TimeValue t, Interval& valid, Matrix3& offset, Matrix3& toObject);
