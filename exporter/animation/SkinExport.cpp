#include <cmath>

#include "exporter/animation/HostScopes.h"
#include "exporter/builder/ExportBuilder.h"
#include "exporter/geometry/MeshBuilder.h"
#include "exporter/geometry/NodeObjects.h"
#include "exporter/options/Max2Qdx.h"
#include "exporter/report/ReportPrintf.h"
#include "exporter/scene/MaxMatrix.h"
#include "platform/host/INode.h"
#include "platform/host/Physique.h"
#include "platform/host/SkinModifier.h"
#include "render/animation/CKSkin.h"
#include "render/mesh/CKMesh.h"
#include "render/objects/CK3dEntity.h"

namespace {

// The skin being filled for one mesh: its engine vertices, each with the
// host vertex it was made from.
struct SkinTarget
{
    CKMesh* mesh = nullptr;
    CKSkin* skin = nullptr;
    MeshBuilder* builder = nullptr;
    int vertexCount = 0;
    bool patch = false;

    SkinTarget(CK3dEntity* entity, MeshBuilder* kept) : mesh(entity->GetCurrentMesh()), builder(kept)
    {
        skin = entity->CreateSkin();
        vertexCount = mesh->GetModifierVertexCount();
        patch = mesh->GetClassID() == CKCID_PATCHMESH;
        if (!skin)
            return;
        skin->SetVertexCount(vertexCount);
        if (!patch)
            skin->SetNormalCount(vertexCount);
    }

    // The host vertex of engine vertex v: its welded vertex's, or v itself
    // without a builder; -1 for a vertex the builder does not have.
    int HostVertex(int v) const
    {
        if (!builder)
            return v;
        return v < builder->weldedVertices.Size() ? (int) builder->weldedVertices[v].positionIndex : -1;
    }

    // The vertex's initial position and, but for a patch mesh, its normal.
    CKSkinVertexData* Start(int v)
    {
        QxVector position;
        mesh->GetModifierVertex(v, &position);
        if (!patch) {
            QxVector normal;
            mesh->GetVertexNormal(v, &normal);
            skin->SetNormal(v, normal);
        }
        CKSkinVertexData* data = skin->GetVertexData(v);
        if (data)
            data->SetInitialPos(position);
        return data;
    }

    // Bone b bound to the entity of the host node (none without one).
    void SetBone(ExportBuilder* exportBuilder, int b, INode* node)
    {
        CKSkinBoneData* bone = skin->GetBoneData(b);
        if (!bone)
            return;
        CK3dEntity* entity = node ? exportBuilder->FindEntity((ExportKey) node) : nullptr;
        bone->SetBone(entity);
        // The bone's place at time 0, where the entities were set up.
        if (entity)
            bone->SetBoneInitialInverseMatrix(entity->GetInverseWorldMatrix());
    }
};

// Indices met while reading a skin that name nothing, reported once a skin.
struct SkinFaults
{
    int vertices = 0;
    int bones = 0;

    void Report(Max2Qdx* exporter, const char* name) const
    {
        if (vertices)
            ReportPrintf(exporter, 1, "WARNING: %d vertices of %s have no skinned host vertex: they get no bone\r\n",
                         vertices, name);
        if (bones)
            ReportPrintf(exporter, 1,
                         "WARNING: %d invalid bone indices in vertex bone lists of %s: they are left out\r\n", bones,
                         name);
    }
};

} // namespace

int Max2Qdx::ExportSkin(INode* node, CK3dEntity* entity)
{
    if (!entity || !node || !builder)
        return 0;
    Modifier* modifier = FindSkinModifier(node);
    auto* skinInterface = modifier ? static_cast<ISkin*>(modifier->GetInterface(I_SKIN)) : nullptr;
    if (!skinInterface || skinInterface->GetNumBones() <= 0)
        return 0;
    ISkinContextData* weights = skinInterface->GetContextInterface(node);
    if (!weights)
        return 0;
    ReportPrintf(this, 3, "\nExportSkinnedMesh_4 on %s", node->GetName());
    if (!entity->GetCurrentMesh())
        return 0;
    ReportPrintf(this, 3, "%s : Saving Skin Data\r\n", node->GetName());
    SkinTarget target(entity, builder->FindMeshBuilder((ExportKey) entity->GetCurrentMesh()));
    if (!target.skin)
        return 0;
    const int boneCount = skinInterface->GetNumBones();
    target.skin->SetBoneCount(boneCount);
    for (int b = 0; b < boneCount; ++b)
        target.SetBone(builder, b, skinInterface->GetBone(b));
    Matrix3 init;
    if (skinInterface->GetSkinInitTM(node, init, false)) {
        QxMatrix engine;
        MaxToEngineMatrix(init, engine);
        target.skin->SetObjectInitMatrix(engine);
    }

    SkinFaults faults;
    const int hostVertices = weights->GetNumPoints();
    for (int v = 0; v < target.vertexCount; ++v) {
        CKSkinVertexData* data = target.Start(v);
        if (!data)
            continue;
        const int m = target.HostVertex(v);
        if (m < 0 || m >= hostVertices) {
            // A new skin's vertex has no bone yet.
            ++faults.vertices;
            continue;
        }
        // Weights as the modifier gives them: neither normalised nor
        // limited in number.
        const int assigned = weights->GetNumAssignedBones(m);
        data->SetBoneCount(assigned > 0 ? assigned : 0);
        int kept = 0;
        for (int j = 0; j < assigned; ++j) {
            const int bone = weights->GetAssignedBone(m, j);
            if (bone < 0 || bone >= boneCount) {
                ++faults.bones;
                continue;
            }
            data->SetBone(kept, bone);
            data->SetWeight(kept, weights->GetBoneWeight(m, j));
            ++kept;
        }
        data->SetBoneCount(kept);
    }
    faults.Report(this, node->GetName());
    return 1;
}

int Max2Qdx::ExportPhysiqueAsSkin(INode* node, CK3dEntity* entity)
{
    if (!node || !builder)
        return 0;
    ReportPrintf(this, 2, "\r\nExportPhysiqueMeshCS300 on %s", node->GetName());
    PhysiqueAccess physique(FindPhysiqueModifier(node), node);
    IPhyContextExport* context = physique.Context();
    if (!context)
        return 0;
    MeshBuilder* kept = builder->FindMeshBuilder((ExportKey) node);
    context->AllowBlending(TRUE);
    context->ConvertToRigid(TRUE);
    if (!entity || !entity->GetCurrentMesh())
        return 0;
    ReportPrintf(this, 1, "%s : Converting Physique modifier to Skinning\r\n", node->GetName());
    SkinTarget target(entity, kept);
    if (!target.skin)
        return 0;

    // Bones in the order vertices first name them.
    XArray<INode*> bones;
    SkinFaults faults;
    const int hostVertices = context->GetNumberVertices();
    for (int v = 0; v < target.vertexCount; ++v) {
        const int m = target.HostVertex(v);
        PhysiqueVertexAccess access(context, m >= 0 && m < hostVertices ? m : -1);
        IPhyVertexExport* vertex = access.Get();
        if (!vertex) {
            ++faults.vertices;
            continue;
        }
        const int type = vertex->GetVertexType();
        if (type == RIGID_TYPE) {
            CKSkinVertexData* data = target.Start(v);
            if (!data)
                continue;
            data->SetBoneCount(1);
            data->SetBone(0, bones.AddUnique(static_cast<IPhyRigidVertex*>(vertex)->GetNode()));
            data->SetWeight(0, 1.0f);
        } else if (type == RIGID_BLENDED_TYPE) {
            auto* blended = static_cast<IPhyBlendedRigidVertex*>(vertex);
            CKSkinVertexData* data = target.Start(v);
            if (!data)
                continue;
            const int n = blended->GetNumberNodes() > 0 ? blended->GetNumberNodes() : 0;
            data->SetBoneCount(n);
            float sum = 0.0f;
            for (int j = 0; j < n; ++j)
                sum += blended->GetWeight(j);
            // Weights that sum to nothing share the vertex equally.
            const bool equal = !(sum != 0.0f) || !std::isfinite(sum);
            for (int j = 0; j < n; ++j) {
                data->SetBone(j, bones.AddUnique(blended->GetNode(j)));
                data->SetWeight(j, equal ? 1.0f / (float) n : blended->GetWeight(j) * (1.0f / sum));
            }
        } else {
            ReportPrintf(this, 1, "%s : Invalid skin vertex type (Not Rigid)\r\n", node->GetName());
        }
    }
    faults.Report(this, node->GetName());

    target.skin->SetBoneCount(bones.Size());
    for (int j = 0; j < bones.Size(); ++j)
        target.SetBone(builder, j, builder->entities.Size() ? bones[j] : nullptr);
    QxMatrix init;
    MaxToEngineMatrix(node->GetNodeTM(0), init);
    target.skin->SetObjectInitMatrix(init);
    return 1;
}
