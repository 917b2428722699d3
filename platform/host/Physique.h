#pragma once

#include <map>
#include <memory>
#include <vector>

#include "platform/host/Matrix3.h"
#include "platform/host/Modifier.h"

constexpr Class_ID PHYSIQUE_CLASS_ID(0x100, 0);
constexpr ULONG I_PHYEXPORT = 0x100100;

// Vertex types of the Physique export interface.
constexpr int RIGID_TYPE = 1;
constexpr int RIGID_BLENDED_TYPE = 5;

// One vertex as the export interface shows it; the type says which of the
// two views below it is.
class IPhyVertexExport
{
public:
    virtual ~IPhyVertexExport() = default;
    virtual int GetVertexType() = 0;
};

class IPhyRigidVertex : public IPhyVertexExport
{
public:
    virtual INode* GetNode() = 0;
};

// Nodes and weights of a blended vertex (null and 0 for an index out of
// range).
class IPhyBlendedRigidVertex : public IPhyVertexExport
{
public:
    virtual int GetNumberNodes() = 0;
    virtual INode* GetNode(int i) = 0;
    virtual float GetWeight(int i) = 0;
};

// The vertices of one node. A blended vertex shows as a rigid one (its
// heaviest node) unless blending is allowed; ConvertToRigid is recorded
// (every vertex here already is rigid or rigid blended). Vertex interfaces
// come and go in pairs with ReleaseVertexInterface.
class IPhyContextExport
{
public:
    virtual ~IPhyContextExport() = default;
    virtual void ConvertToRigid(BOOL deformable = TRUE) = 0;
    virtual void AllowBlending(BOOL allow = TRUE) = 0;
    virtual int GetNumberVertices() = 0;
    // null for an index out of range.
    virtual IPhyVertexExport* GetVertexInterface(int i) = 0;
    virtual void ReleaseVertexInterface(IPhyVertexExport* vertex) = 0;
};

// The Physique export interface (GetInterface with I_PHYEXPORT; given back
// with ReleaseInterface).
class IPhysiqueExport
{
public:
    virtual ~IPhysiqueExport() = default;
    // The context of a node whose stack holds this Physique; null else.
    virtual IPhyContextExport* GetContextInterface(INode* node) = 0;
    virtual void ReleaseContextInterface(IPhyContextExport* context) = 0;
};

// One point of a Physique: its type (RIGID_TYPE, RIGID_BLENDED_TYPE, or any
// other number, which the stand-in neither deforms nor converts) and its
// nodes with their weights (one node for a rigid point).
struct PhysiqueVertex
{
    int type = RIGID_TYPE;
    std::vector<INode*> nodes;
    std::vector<float> weights;
};

// Stands in for the Physique modifier: points bound rigidly to one node, or
// blended between several by weights normalised to sum 1 (a sum of 0 or
// less leaves the point), as bound with the deformed node at its init
// transform and each bone node at its own:
//   world = sum of w * (p * objectOffset * nodeInit * Inverse(boneInit) * bone(t))
// then back into the object's space at t. A bone without an init transform
// of its own is bound where it stands at time 0.
class PhysiqueModifier : public Modifier, private IPhysiqueExport
{
public:
    explicit PhysiqueModifier(std::string name = "");
    ~PhysiqueModifier() override;

    std::vector<PhysiqueVertex>& Vertices() { return m_Vertices; }
    const std::vector<PhysiqueVertex>& Vertices() const { return m_Vertices; }
    void SetNodeInitTM(const Matrix3& tm) { m_NodeInit = tm; }
    const Matrix3& NodeInitTM() const { return m_NodeInit; }
    void SetBoneInitTM(INode* bone, const Matrix3& tm) { m_BoneInit[bone] = tm; }
    // The bind transform of a bone (its transform at time 0 when none was set).
    Matrix3 BoneInitTM(INode* bone) const;
    bool HasBoneInitTM(INode* bone) const { return m_BoneInit.count(bone) != 0; }

    // Interfaces and contexts handed out and not given back yet.
    int OpenInterfaces() const { return m_Open; }

    void* GetInterface(ULONG id) override;
    using Modifier::GetInterface;
    void ReleaseInterface(ULONG id, void* i) override;
    void ModifyObject(TimeValue t, Object& object, Interval& valid, INode* node) override;
    std::unique_ptr<Modifier> CloneModifier() const override;

private:
    class Context;
    IPhyContextExport* GetContextInterface(INode* node) override;
    void ReleaseContextInterface(IPhyContextExport* context) override;

    std::vector<PhysiqueVertex> m_Vertices;
    Matrix3 m_NodeInit;
    std::map<INode*, Matrix3> m_BoneInit;
    std::vector<std::unique_ptr<Context>> m_Contexts;
    int m_Open = 0;
};
