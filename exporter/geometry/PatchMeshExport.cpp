#include "exporter/builder/ExportBuilder.h"
#include "exporter/geometry/HostMeshView.h"
#include "exporter/geometry/MeshConversion.h"
#include "exporter/geometry/NodeObjects.h"
#include "exporter/geometry/TexmapTransform.h"
#include "exporter/options/Max2Qdx.h"
#include "exporter/report/ReportPrintf.h"
#include "platform/host/INode.h"
#include "platform/host/Matrix3.h"
#include "platform/host/PatchMesh.h"
#include "render/mesh/CKMaterial.h"
#include "render/mesh/CKPatchMesh.h"
#include "render/objects/CK3dEntity.h"

namespace {

// The engine's patch records hold 16-bit indices read as unsigned, 0xFFFF
// standing for "no patch" in an edge.
constexpr int kMaxPatchElements = 65536;
constexpr int kMaxPatches = 65535;

bool InRange(int index, int count)
{
    return index >= 0 && index < count;
}

// Why the patch mesh cannot be written with 16-bit indices; null when it can.
const char* PatchMeshFault(PatchMesh& pm)
{
    const int nv = pm.getNumVerts(), nvec = pm.getNumVecs(), ne = pm.getNumEdges(), np = pm.getNumPatches();
    if (nv > kMaxPatchElements || nvec > kMaxPatchElements || ne > kMaxPatchElements || np > kMaxPatches)
        return "more elements than 16-bit indices reach";
    for (int c = 1; c < MAX_MESHMAPS; ++c)
        if (pm.getNumMapVerts(c) > kMaxPatchElements)
            return "more texture vertices than 16-bit indices reach";
    for (const PatchEdge& e : pm.edges) {
        if (!InRange(e.v1, nv) || !InRange(e.v2, nv) || !InRange(e.vec12, nvec) || !InRange(e.vec21, nvec))
            return "an edge names a vertex or vector out of range";
        for (size_t i = 0; i < e.patches.size() && i < 2; ++i)
            if (!InRange(e.patches[i], np))
                return "an edge names a patch out of range";
    }
    for (const Patch& p : pm.patches) {
        const int corners = p.Corners();
        for (int i = 0; i < corners; ++i)
            if (!InRange(p.v[i], nv) || !InRange(p.vec[2 * i], nvec) || !InRange(p.vec[2 * i + 1], nvec) ||
                !InRange(p.interior[i], nvec) || !InRange(p.edge[i], ne))
                return "a patch names a vertex, vector or edge out of range";
    }
    return nullptr;
}

QxVector Transformed(const Point3& p, const Matrix3& offset)
{
    return ToEngineAxes(p * offset);
}

} // namespace

void Max2Qdx::ExportPatchMesh(INode* node, CK3dEntity* entity)
{
    if (!node || !entity || !builder)
        return;
    Mtl* nodeMtl = node->GetMtl();
    Object* object = node->EvalWorldState(0).obj;
    if (!object || object->SuperClassID() != GEOMOBJECT_CLASS_ID)
        return;
    bool deleteIt = false;
    PatchObject* patchObject = GetPatchObjectFromNode(node, 0, deleteIt);
    if (!patchObject)
        return;
    auto finish = [&]() {
        if (deleteIt)
            patchObject->DeleteMe();
    };
    if (CKMesh* shared = FindMeshInstance(object, nodeMtl, node, FALSE)) {
        entity->SetCurrentMesh(shared, TRUE);
        ReportPrintf(this, 1, "%sPatch Mesh Instance: %s.....", GetReportIndent().CStr(), node->GetName());
        return finish();
    }
    ReportPrintf(this, 1, "%sPatch Mesh : %s.....", GetReportIndent().CStr(), node->GetName());
    XString name(node->GetName());
    name += "_Mesh";
    PatchMesh& pm = patchObject->patch;
    if (pm.getNumVerts() < 1 || pm.getNumVecs() < 1 || pm.getNumPatches() < 1)
        return finish();
    if (const char* fault = PatchMeshFault(pm)) {
        ReportPrintf(this, 1, "\r\n%sPatch Mesh %s refused: %s", GetReportIndent().CStr(), node->GetName(), fault);
        return finish();
    }

    auto* mesh = static_cast<CKPatchMesh*>(builder->CreatePatchMesh(name.CStr(), (ExportKey) node));
    if (!mesh)
        return finish();
    const int nv = pm.getNumVerts(), nvec = pm.getNumVecs(), ne = pm.getNumEdges(), np = pm.getNumPatches();
    ReportPrintf(this, 3, "%sPatch Mesh: %d Control Points, %d Patches, %d Vectors", GetReportIndent().CStr(), nv, np,
                 nvec);
    mesh->SetVertVecCount(nv, nvec);
    mesh->SetPatchCount(np);
    mesh->SetEdgeCount(ne);
    mesh->SetIterationCount(pm.getMeshSteps());
    const Matrix3 offset = node->GetObjectOffsetTM();
    for (int i = 0; i < nv; ++i)
        mesh->SetVert(i, Transformed(pm.verts[(size_t) i].p, offset));
    for (int i = 0; i < nvec; ++i)
        mesh->SetVec(i, Transformed(pm.vecs[(size_t) i].p, offset));
    for (int i = 0; i < ne; ++i) {
        const PatchEdge& e = pm.edges[(size_t) i];
        CKPatchEdge record;
        record.startVertex = (short) e.v1;
        record.startVector = (short) e.vec12;
        record.endVector = (short) e.vec21;
        record.endVertex = (short) e.v2;
        record.patch1 = e.patches.size() > 0 ? (short) e.patches[0] : (short) -1;
        record.patch2 = e.patches.size() > 1 ? (short) e.patches[1] : (short) -1;
        mesh->SetEdge(i, record);
    }
    CKMaterial* material = nullptr;
    int previousId = -1;
    for (int i = 0; i < np; ++i) {
        const Patch& p = pm.patches[(size_t) i];
        if (p.getMatID() != previousId) {
            previousId = p.getMatID();
            ExportKey key = 0;
            FindChannelMaterial(nodeMtl, previousId, 0, &key);
            material = key ? builder->FindMaterial(key) : nullptr;
        }
        CKPatch record;
        record.type = p.Corners();
        record.smoothing = p.smGroup;
        for (int k = 0; k < 4; ++k) {
            record.v[k] = (short) p.v[k];
            record.interior[k] = (short) p.interior[k];
            record.edge[k] = (short) p.edge[k];
        }
        for (int k = 0; k < 8; ++k)
            record.vec[k] = (short) p.vec[k];
        record.material = material ? material->GetID() : 0;
        mesh->SetPatch(i, record);
    }

    // Texture channels: the first map channel in use gives the mesh's own
    // coordinates, each later one a channel of its material.
    IndexFaults faults;
    bool first = true;
    const int firstId = pm.patches[0].getMatID();
    for (int c = 1; c < MAX_MESHMAPS; ++c) {
        const int mapVerts = pm.getNumMapVerts(c);
        if (mapVerts <= 0)
            continue;
        ExportKey key = 0;
        FindChannelMaterial(nodeMtl, firstId, c, &key);
        CKMaterial* channelMaterial = key ? builder->FindMaterial(key) : nullptr;
        int target = -1;
        if (!first) {
            if (!channelMaterial) {
                ReportPrintf(this, 1, "\r\n%sPatch Mesh %s : map channel %d has no material and was left out",
                             GetReportIndent().CStr(), node->GetName(), c);
                continue;
            }
            target = mesh->AddChannel(channelMaterial, TRUE);
            if (target < 0)
                continue;
        }
        first = false;
        mesh->SetTexturePatchCount(np, target);
        mesh->SetTextureVertexCount(mapVerts, target);
        const PatchTVert* tv = pm.mapVerts(c);
        const PatchMap& map = pm.Map(c);
        TexmapTransform transform;
        CKBOOL apply = FALSE;
        int channelId = -1;
        for (int i = 0; i < np; ++i) {
            const Patch& p = pm.patches[(size_t) i];
            if (p.getMatID() != channelId) {
                channelId = p.getMatID();
                transform = TexmapTransform();
                Mtl* leaf = FindChannelMaterial(nodeMtl, channelId, c, nullptr);
                apply = leaf ? GetTexmapTransform(leaf, transform) : FALSE;
            }
            CKTexturePatch record;
            for (int j = 0; j < p.Corners(); ++j) {
                const int t = (size_t) i < map.tp.size() ? map.tp[(size_t) i].tv[j] : -1;
                if (!InRange(t, mapVerts)) {
                    ++faults.coordinates;
                    continue;
                }
                float u = tv[t].p.x, v = tv[t].p.y;
                ApplyTexmapTransform(u, v, transform, apply);
                mesh->SetTextureVertex(t, u, v, target);
                record.tv[j] = (short) t;
            }
            mesh->SetTexturePatch(i, record, target);
        }
    }
    faults.Report(this, node->GetName());
    entity->SetCurrentMesh(mesh, TRUE);
    AddMeshInstance(object, nodeMtl, node, FALSE, mesh);
    finish();
}
