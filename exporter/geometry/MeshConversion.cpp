#include <cmath>
#include <cstring>
#include <utility>

#include "exporter/builder/ExportBuilder.h"
#include "exporter/geometry/HostMeshView.h"
#include "exporter/geometry/MeshConversion.h"
#include "exporter/geometry/NodeObjects.h"
#include "exporter/geometry/TexmapTransform.h"
#include "exporter/materials/MaterialConversion.h"
#include "exporter/options/Max2Qdx.h"
#include "exporter/report/ReportPrintf.h"
#include "exporter/userdata/CustomAttributes.h"
#include "platform/host/INode.h"
#include "platform/host/Matrix3.h"
#include "platform/host/Modifier.h"
#include "platform/host/Morpher.h"
#include "platform/host/StdMat.h"
#include "platform/host/Texmap.h"
#include "platform/host/TriObject.h"
#include "render/mesh/CKMesh.h"
#include "render/objects/CK3dEntity.h"

Point3 GetCornerNormal(Mesh& mesh, int face, RVertex& rv)
{
    const DWORD groups = face >= 0 && face < mesh.getNumFaces() ? mesh.faces[(size_t) face].smGroup : 0;
    const int count = (int) (rv.rFlags & NORCT_MASK);
    if (rv.rFlags & SPECIFIED_NORMAL)
        return rv.rn.getNormal();
    if (count == 0 || groups == 0)
        return mesh.getFaceNormal(face);
    if (count == 1)
        return rv.rn.getNormal();
    // The last normal sharing a group; the face normal when none does.
    Point3 result = mesh.getFaceNormal(face);
    for (int i = 0; i < count && i < (int) rv.ern.size(); ++i)
        if (rv.ern[(size_t) i].getSmGroup() & groups)
            result = rv.ern[(size_t) i].getNormal();
    return result;
}

void BuildCornerNormals(HostMeshView& view)
{
    Mesh& mesh = view.Host();
    mesh.buildNormals();
    MeshNormalSpec* spec = mesh.GetSpecifiedNormals();
    if (spec && view.HasSpecifiedNormals())
        spec->BuildNormals();
}

Point3 FaceCornerNormal(HostMeshView& view, int f, int k)
{
    Point3 normal;
    if (view.SpecifiedNormal(f, k, normal))
        return normal;
    Mesh& mesh = view.Host();
    RVertex* rv = mesh.getRVertPtr((int) mesh.faces[(size_t) f].v[k]);
    return rv ? GetCornerNormal(mesh, f, *rv) : mesh.getFaceNormal(f);
}

QxVector ToEngineAxes(const Point3& p)
{
    return QxVector(p.x, p.z, p.y);
}

QxVector ToEngineDirection(const Point3& d)
{
    const double length = std::sqrt((double) d.x * d.x + (double) d.y * d.y + (double) d.z * d.z);
    // A zero direction stays zero; one that is not finite (a face of a
    // vertex that is not) becomes zero rather than carry NaN into the mesh.
    if (!std::isfinite(length))
        return QxVector();
    if (!(length > 0.0))
        return ToEngineAxes(d);
    const float inverse = (float) (1.0 / length);
    return QxVector(d.x * inverse, d.z * inverse, d.y * inverse);
}

void MatrixWords(const Matrix3& m, float words[12])
{
    for (int r = 0; r < 4; ++r) {
        const Point3& row = m.GetRow(r);
        words[3 * r] = row.x;
        words[3 * r + 1] = row.y;
        words[3 * r + 2] = row.z;
    }
}

XString MapChannelProperties(INode* node)
{
    XString all;
    if (!node)
        return all;
    for (int c = 2; c < MAX_MESHMAPS; ++c) {
        TSTR key, value;
        key = XString().Format("MapChannel:%d", c).CStr();
        if (node->GetUserPropString(key, value)) {
            XString line;
            line.Format("%d=%s;", c, value.data());
            all += line;
        }
    }
    return all;
}

CKMesh* Max2Qdx::FindMeshInstance(Object* object, Mtl* material, INode* node, CKBOOL withMapChannels)
{
    float offset[12];
    MatrixWords(node ? node->GetObjectOffsetTM() : Matrix3(), offset);
    const XString channels = withMapChannels ? MapChannelProperties(node) : XString();
    for (const MeshInstanceRecord& record : meshInstances)
        if (record.object == object && record.material == material &&
            std::memcmp(record.offset, offset, sizeof offset) == 0 && record.mapChannels.Compare(channels) == 0)
            return record.mesh;
    return nullptr;
}

void Max2Qdx::AddMeshInstance(Object* object, Mtl* material, INode* node, CKBOOL withMapChannels, CKMesh* mesh)
{
    MeshInstanceRecord record;
    record.object = object;
    record.material = material;
    MatrixWords(node ? node->GetObjectOffsetTM() : Matrix3(), record.offset);
    if (withMapChannels)
        record.mapChannels = MapChannelProperties(node);
    record.mesh = mesh;
    meshInstances.PushBack(record);
}

namespace {

// The engine material and placement of one host material id.
struct FaceMaterial
{
    Mtl* mtl = nullptr;
    CKMaterial* material = nullptr;
    TexmapTransform transform;
    CKBOOL hasTransform = FALSE;
    // The map channel the base coordinates come from.
    int mapChannel = 1;
    bool faceMap = false;
};

// The sub-material a node material gives id before any walk: a shell shown
// through its render sub-material decides how the base channel is chosen.
bool IsRenderShell(Mtl* nodeMtl, int id, CKBOOL exportBoth)
{
    Mtl* direct = nodeMtl;
    if (direct && direct->ClassID() == MULTI_CLASS_ID && direct->NumSubMtls() > 0)
        direct = direct->GetSubMtl((int) ((unsigned) id % (unsigned) direct->NumSubMtls()));
    return direct && direct->ClassID() == BAKE_SHELL_CLASS_ID && !exportBoth;
}

// The components an extended float channel's property names: 0 x, 1 y,
// 2 z, 4 mean, 5 zero, 6 one; 3 marks a slot left unset.
constexpr int kUnset = 3;
const char kComponentLetters[] = {'R', 'G', 'B', 'A', 'M', '0', '1'};

float Component(const Point3& p, int code)
{
    switch (code) {
    case 0: return p.x;
    case 1: return p.y;
    case 2: return p.z;
    case 4: return (p.x + p.y + p.z) / 3.0f;
    case 6: return 1.0f;
    default: return 0.0f;
    }
}

} // namespace

// Reads the named components of an extended channel property: the count
// read. An unknown character is reported and ends the list; what was read
// before it stands.
static int ParseChannelComponents(Max2Qdx* exporter, const char* value, int codes[4])
{
    for (int i = 0; i < 4; ++i)
        codes[i] = kUnset;
    const char* f = std::strstr(value, "float");
    if (!f)
        return 0;
    int count = 0;
    for (const char* c = f + 5; *c && *c != ' ' && *c != '\t' && count < 4; ++c) {
        int code;
        switch (*c) {
        case 'x':
        case 'r': code = 0; break;
        case 'y':
        case 'g': code = 1; break;
        case 'z':
        case 'b': code = 2; break;
        case 'm': code = 4; break;
        case '0': code = 5; break;
        case '1': code = 6; break;
        default:
            ReportPrintf(exporter, 0,
                         "Unknown character '%c' at for component %d. Please check the naming convention of the "
                         "channel in Tools/ChannelInfo.\r\n",
                         *c, count);
            return count;
        }
        codes[count++] = code;
    }
    return count;
}

void Max2Qdx::ExportMesh(INode* node, CK3dEntity* entity)
{
    if (!node || !entity || !builder)
        return;
    // The base mesh is read with the Morpher off; it is switched back on
    // whichever way the conversion ends.
    Modifier* morpher = FindModifier(node, MORPHER_CLASS_ID, nullptr, nullptr);
    const bool morpherWasOn = morpher && morpher->IsEnabled();
    if (morpherWasOn)
        DisableModifier(morpher);
    bool deleteIt = false;
    TriObject* tri = nullptr;
    auto finish = [&]() {
        if (tri && deleteIt)
            tri->DeleteMe();
        tri = nullptr;
        if (morpherWasOn && morpher && !morpher->IsEnabled())
            EnableModifier(morpher);
    };

    Mtl* nodeMtl = node->GetMtl();
    Object* object = node->EvalWorldState(0).obj;
    if (!object || object->SuperClassID() != GEOMOBJECT_CLASS_ID)
        return finish();
    tri = GetTriObjectFromNode(node, 0, deleteIt);
    if (!tri)
        return finish();
    const bool skinned = FindSkinModifier(node) || FindPhysiqueModifier(node);
    if (!skinned)
        if (CKMesh* shared = FindMeshInstance(object, nodeMtl, node, TRUE)) {
            entity->SetCurrentMesh(shared, TRUE);
            ReportPrintf(this, 1, "%sMesh Instance : %s.....", GetReportIndent().CStr(), node->GetName());
            return finish();
        }

    Mesh& mesh = tri->GetMesh();
    mesh.buildNormals();
    const bool prelit = mesh.mapSupport(0) != 0;
    if (prelit && (mesh.getNumVerts() == 0 || mesh.getNumFaces() == 0))
        return finish();
    ReportPrintf(this, 1, "%sMesh : %s.....", GetReportIndent().CStr(), node->GetName());
    ReportPrintf(this, 2, "\r\n%s%d Max Vertices, %d Faces", GetReportIndent().CStr(), mesh.getNumVerts(),
                 mesh.getNumFaces());

    HostMeshView view(mesh);
    MeshBuilder b(prelit ? TRUE : FALSE, &builder->cornerScratch);
    const Matrix3 offset = node->GetObjectOffsetTM();
    // Every array below gets its final size up front: grown by doubling,
    // they were copied a few times each and kept up to half their room
    // empty for as long as the builder is kept.
    const int faceCount = view.Faces().Size();
    b.positions.Reserve((int) mesh.verts.size());
    b.faces.Reserve(faceCount);
    b.coordinates[0].Reserve(3 * faceCount);
    b.coordinateFaces[0].Reserve(faceCount);
    for (const Point3& p : mesh.verts)
        b.positions.PushBack(ToEngineAxes(p * offset));

    // Faces, with the material of their id and the base coordinates.
    static const int kCorners[3] = {0, 2, 1};
    FaceMaterial current;
    int previousId = -1;
    for (int f : view.Faces()) {
        const Face& face = mesh.faces[(size_t) f];
        const int id = face.getMatID();
        if (id != previousId) {
            previousId = id;
            current = FaceMaterial();
            ExportKey key = 0;
            current.mtl = FindChannelMaterial(nodeMtl, id, 0, &key);
            current.material = key ? builder->FindMaterial(key) : nullptr;
            current.hasTransform = current.mtl ? GetTexmapTransform(current.mtl, current.transform) : FALSE;
            Texmap* diffuse = current.mtl ? current.mtl->GetSubTexmap(ID_DI) : nullptr;
            if (diffuse &&
                (!IsRenderShell(nodeMtl, id, shellMaterialExportBoth) || diffuse->GetUVWSource() == UVWSRC_EXPLICIT))
                current.mapChannel = diffuse->GetMapChannel();
            current.faceMap = current.mtl && (current.mtl->Requirements(-1) & MTLREQ_FACEMAP);
        }
        b.AddFace(face.v[0], face.v[2], face.v[1], current.material);
        float faceUVs[3][2];
        if (current.faceMap)
            MakeFaceMapCoordinates(face, faceUVs);
        const CKDWORD n = (CKDWORD) b.coordinates[0].Size();
        for (int k : kCorners) {
            Point3 t;
            view.MapVertex(current.mapChannel, f, k, t, &view.faults.coordinates);
            MeshTexCoord uv;
            uv.u = current.faceMap ? faceUVs[k][0] : t.x;
            uv.v = current.faceMap ? faceUVs[k][1] : t.y;
            ApplyTexmapTransform(uv.u, uv.v, current.transform, current.hasTransform);
            b.AddTextureCoordinate(uv, 0);
        }
        b.AddChannelFace(n, n + 1, n + 2, 0);
    }

    // Extra map channels, each a material channel or an extended float
    // channel, at most seven.
    XArray<Mtl*> channelMtls;
    const int firstId = view.Faces().Size() ? mesh.faces[(size_t) view.Faces()[0]].getMatID() : 0;
    for (int c = 2; c < mesh.getNumMaps() && view.Faces().Size() && b.channelMaterials.Size() < 7; ++c) {
        if (!mesh.mapSupport(c))
            continue;
        ExportKey key = 0;
        Mtl* channelMtl = FindChannelMaterial(nodeMtl, firstId, c, &key);
        TSTR property;
        XString name;
        name.Format("MapChannel:%d", c);
        const bool extended = node->GetUserPropString(TSTR(name.CStr()), property) && property.Length() > 0 &&
                              std::strcmp(property.data(), "-none-") != 0;
        const int builderChannel = b.channelMaterials.Size() + 1;
        if (!extended && channelMtl) {
            CKMaterial* material = key ? builder->FindMaterial(key) : nullptr;
            if (!material)
                continue;
            b.AddMaterialChannel(material);
            b.channelMapChannels.PushBack(c);
            channelMtls.PushBack(channelMtl);
            TexmapTransform transform;
            const CKBOOL apply = GetTexmapTransform(channelMtl, transform);
            b.coordinates[builderChannel].Reserve(3 * faceCount);
            b.coordinateFaces[builderChannel].Reserve(faceCount);
            for (int f : view.Faces()) {
                const CKDWORD n = (CKDWORD) b.coordinates[builderChannel].Size();
                for (int k : kCorners) {
                    Point3 t;
                    view.MapVertex(c, f, k, t, &view.faults.coordinates);
                    MeshTexCoord uv;
                    uv.u = t.x;
                    uv.v = t.y;
                    ApplyTexmapTransform(uv.u, uv.v, transform, apply);
                    b.AddTextureCoordinate(uv, builderChannel);
                }
                b.AddChannelFace(n, n + 1, n + 2, builderChannel);
            }
            continue;
        }
        int codes[4];
        int count;
        if (extended) {
            count = ParseChannelComponents(this, property.data(), codes);
            if (count == 0) {
                ReportPrintf(this, 1, "\r\nInvalid Extended channel %d.", c);
                continue;
            }
            ReportPrintf(this, 3, "\r\nExtended Channel%d Created. name= %s, type= float%d (%c,%c,%c,%c)", c,
                         property.data(), count, kComponentLetters[codes[0]], kComponentLetters[codes[1]],
                         kComponentLetters[codes[2]], kComponentLetters[codes[3]]);
        } else {
            if (!forceAllUVs)
                continue;
            // The type is the number of components that vary over the
            // channel's vertices.
            const MeshMap& map = mesh.Map(c);
            count = 0;
            for (int axis = 0; axis < 3; ++axis) {
                bool varies = false;
                for (const UVVert& t : map.tv)
                    varies = varies || t[axis] != map.tv[0][axis];
                count += varies ? 1 : 0;
            }
            if (count == 0) {
                ReportPrintf(this, 1, "\r\nInvalid Extended channel. All components were equals.");
                continue;
            }
            ReportPrintf(this, 3, "\r\nNo Material Detected. Exporting a FLOAT%d extended channel.", count);
            codes[0] = 0;
            codes[1] = 1;
            codes[2] = 2;
            codes[3] = 5;
        }
        if (b.AddTypedChannel(count))
            b.channelMapChannels.PushBack(c);
        if (builderChannel < MESH_BUILDER_CHANNELS) {
            b.coordinates[builderChannel].Reserve(3 * faceCount);
            b.coordinateFaces[builderChannel].Reserve(faceCount);
        }
        for (int f : view.Faces()) {
            const CKDWORD n = (CKDWORD) b.coordinates[builderChannel].Size();
            for (int k : kCorners) {
                Point3 t;
                view.MapVertex(c, f, k, t, &view.faults.coordinates);
                MeshTexCoord record;
                record.u = Component(t, codes[0]);
                record.v = codes[1] == kUnset ? 0.0f : 1.0f - Component(t, codes[1]);
                record.third = Component(t, codes[2]);
                record.fourth = Component(t, codes[3]);
                b.AddTextureCoordinate(record, builderChannel);
            }
            b.AddChannelFace(n, n + 1, n + 2, builderChannel);
        }
        channelMtls.PushBack(nullptr);
    }

    // Vertex colours, with the alpha channel when there is one; a colour
    // index out of range reads the white colour appended last.
    if (prelit) {
        const MeshMap& colours = mesh.Map(0);
        const bool withAlpha = mesh.mapSupport(MAP_ALPHA) != 0;
        b.colours.Reserve(colours.getNumVerts() + 1);
        b.colourFaces.Reserve(faceCount);
        for (int i = 0; i < colours.getNumVerts(); ++i) {
            const UVVert& c = colours.tv[(size_t) i];
            float alpha = 1.0f;
            Point3 a;
            if (withAlpha) {
                if (view.MapVertexAt(MAP_ALPHA, i, a))
                    alpha = a.x;
                else
                    ++view.faults.alphas;
            }
            b.colours.PushBack(QxColor(c.x, c.y, c.z, alpha));
        }
        const CKDWORD white = (CKDWORD) b.colours.Size();
        b.colours.PushBack(QxColor(1.0f, 1.0f, 1.0f, 1.0f));
        for (int f : view.Faces()) {
            CKDWORD index[3];
            for (int j = 0; j < 3; ++j) {
                const int k = kCorners[j];
                const bool inside =
                    f < colours.getNumFaces() && colours.tf[(size_t) f].t[k] < (DWORD) colours.getNumVerts();
                if (!inside)
                    ++view.faults.colours;
                index[j] = inside ? colours.tf[(size_t) f].t[k] : white;
            }
            b.AddColourFace(index[0], index[1], index[2]);
        }
    }

    // Normals, one per face corner.
    BuildCornerNormals(view);
    b.normals.Reserve(3 * faceCount);
    b.normalFaces.Reserve(faceCount);
    for (int f : view.Faces()) {
        const CKDWORD n = (CKDWORD) b.normals.Size();
        for (int k : kCorners)
            b.normals.PushBack(ToEngineDirection(VectorTransform(offset, FaceCornerNormal(view, f, k))));
        b.AddNormalFace(n, n + 1, n + 2);
    }

    if (morpherWasOn) {
        EnableModifier(morpher);
        if (deleteIt)
            tri->DeleteMe();
        tri = GetTriObjectFromNode(node, 0, deleteIt);
        if (!tri) {
            view.faults.Report(this, node->GetName());
            return finish();
        }
    }
    if (ExportBlendShapes)
        ExportMorphTargets(node, tri->GetMesh(), b);

    view.faults.Report(this, node->GetName());
    b.Weld(TRUE);
    XString meshName(node->GetName());
    meshName += "_Mesh";
    // The builder is kept for the later passes (moved, not copied).
    CKMesh* engineMesh = builder->CreateEngineMesh(std::move(b), meshName.CStr(), (ExportKey) node);
    if (!engineMesh)
        return finish();
    const MeshBuilder& kept = *builder->FindMeshBuilder((ExportKey) engineMesh);
    entity->SetCurrentMesh(engineMesh, TRUE);
    for (int i = 0; i < kept.blendShapeNames.Size(); ++i)
        entity->SetBlendShapeWeight(i, kept.GetBlendShapeWeight(i));
    AddMeshInstance(object, nodeMtl, node, TRUE, engineMesh);
    if (deactivateMeshChannels)
        engineMesh->ActivateAllChannels(FALSE);
    for (int i = 0; i < channelMtls.Size() && i < engineMesh->GetChannelCount(); ++i)
        if (channelMtls[i])
            ApplyChannelProperties(engineMesh, i, channelMtls[i]);
    ReportPrintf(this, 3, "\r\n%s=> %d Vertices for mesh %s", GetReportIndent().CStr(), engineMesh->GetVertexCount(),
                 node->GetName());

    // The base mesh (read again after the Morpher) gives the vertex weights.
    Mesh& weightsMesh = tri->GetMesh();
    const float* weights = weightsMesh.vDataSupport(VDATA_WEIGHT) ? weightsMesh.vertexFloat(VDATA_WEIGHT) : nullptr;
    if (weights) {
        const int count = kept.weldedVertices.Size();
        engineMesh->SetVertexWeightsCount(count);
        for (int v = 0; v < count; ++v) {
            const int host = (int) kept.weldedVertices[v].positionIndex;
            engineMesh->SetVertexWeight(v, host < weightsMesh.getNumVerts() ? weights[host] : 0.0f);
        }
    }
    finish();
}
