#include <utility>

#include "core/context/CKDefines.h"
#include "exporter/builder/ExportBuilder.h"
#include "render/mesh/CKBlendShapeData.h"
#include "render/mesh/CKMaterialModes.h"
#include "render/mesh/CKMesh.h"

namespace {

// The extra channels, when the channel lists agree with the coordinates:
// a typed float channel for a null material, else a material channel
// blended over the base.
void AddExtraChannels(CKMesh* mesh, const MeshBuilder& builder)
{
    const int extra = builder.channelCount - 1;
    if (extra < 1 || builder.channelMaterials.Size() != extra || builder.channelTypes.Size() != extra)
        return;
    const int vertexCount = builder.weldedVertices.Size();
    for (int c = 0; c < extra; ++c) {
        CKMaterial* material = builder.channelMaterials[c];
        int channel;
        if (!material) {
            const int type = builder.channelTypes[c];
            if (type < 1 || type > 4)
                continue;
            channel = mesh->AddChannelEx(nullptr, FALSE, type);
        } else {
            channel = mesh->AddChannel(material, TRUE);
            mesh->SetChannelSourceBlend(channel, CK_BLEND_SRCALPHA);
            mesh->SetChannelDestBlend(channel, CK_BLEND_INVSRCALPHA);
        }
        if (channel < 0)
            continue;
        for (int i = 0; i < vertexCount; ++i) {
            const MeshTexCoord& uv = builder.GetWeldedCoordinates(i)[c + 1];
            const float values[4] = {uv.u, uv.v, uv.third, uv.fourth};
            mesh->SetChannelData(i, channel, values);
        }
    }
}

// The welded blend shapes, with the rest position and normal of every
// vertex they move read back from the mesh.
void SetBlendShapes(CKMesh* mesh, const MeshBuilder& builder)
{
    if (builder.blendShapeNames.Size() == 0 && builder.blendShapeTargets.Size() == 0)
        return;
    CKBlendShapeData data;
    for (const XString& name : builder.blendShapeNames)
        data.Names.PushBack(name);
    const int vertexCount = builder.weldedVertices.Size();
    XArray<CKBYTE> moved;
    moved.Resize(vertexCount);
    for (CKBYTE& m : moved)
        m = 0;
    for (const BlendShapeTarget& source : builder.blendShapeTargets) {
        CKBlendShapeTarget& target = data.Targets.PushBack(CKBlendShapeTarget());
        target.WeightIndex = source.nameIndex;
        target.Pivot = source.weight;
        target.SlopeBelow = source.risingSlope;
        target.SlopeAbove = source.fallingSlope;
        for (const BlendShapeVertexDelta& delta : source.deltas) {
            if (delta.vertex >= (CKDWORD) vertexCount)
                continue;
            CKBlendShapeDelta d;
            d.Vertex = delta.vertex;
            d.Position = delta.position;
            d.Normal = delta.normal;
            target.Deltas.PushBack(d);
            moved[(int) delta.vertex] = 1;
        }
    }
    for (int v = 0; v < vertexCount; ++v)
        if (moved[v]) {
            CKBlendShapeBaseVertex base;
            base.Vertex = (CKDWORD) v;
            mesh->GetVertexPosition(v, &base.Position);
            mesh->GetVertexNormal(v, &base.Normal);
            data.BaseVertices.PushBack(base);
        }
    mesh->SetBlendShapes(data);
}

} // namespace

CKMesh* ExportBuilder::CreateEngineMesh(const MeshBuilder& builder, const char* name, ExportKey key, CKBOOL keep)
{
    auto* mesh = static_cast<CKMesh*>(Create(CKCID_MESH, name));
    if (!mesh)
        return nullptr;
    const int vertexCount = builder.weldedVertices.Size();
    mesh->SetVertexCount(vertexCount);
    mesh->SetFaceCount(builder.weldedFaces.Size());
    if (builder.prelit)
        mesh->SetLitMode(0);

    for (int i = 0; i < vertexCount; ++i) {
        const MeshCorner& vertex = builder.weldedVertices[i];
        mesh->SetVertexPosition(i, vertex.position);
        mesh->SetVertexColor(i, vertex.colour.GetARGB());
        mesh->SetVertexSpecularColor(i, 0);
        mesh->SetVertexNormal(i, vertex.normal);
        const MeshTexCoord* uv = builder.GetWeldedCoordinates(i);
        mesh->SetVertexTextureCoordinates(i, uv ? uv[0].u : 0.0f, uv ? uv[0].v : 0.0f, -1);
    }
    int f = 0;
    for (const MeshBuilderFace& face : builder.weldedFaces) {
        // The welding only makes indices below its vertex count; a builder
        // filled by hand is held to the same.
        if (face.index[0] < (CKDWORD) vertexCount && face.index[1] < (CKDWORD) vertexCount &&
            face.index[2] < (CKDWORD) vertexCount)
            mesh->SetFaceVertexIndex(f, (int) face.index[0], (int) face.index[1], (int) face.index[2]);
        mesh->SetFaceMaterial(f, face.material);
        ++f;
    }
    AddExtraChannels(mesh, builder);

    const bool withNormals = vertexCount > 0 && builder.weldedVertices[0].normalIndex >= 0;
    if (!withNormals && !builder.prelit)
        mesh->BuildNormals();
    else
        mesh->BuildFaceNormals();
    SetBlendShapes(mesh, builder);

    if (keep)
        KeepMeshBuilder(new MeshBuilder(builder), key, mesh);
    if (key)
        meshes.Insert(key, mesh);
    return mesh;
}

CKMesh* ExportBuilder::CreateEngineMesh(MeshBuilder&& builder, const char* name, ExportKey key)
{
    CKMesh* mesh = CreateEngineMesh(builder, name, key, FALSE);
    if (mesh)
        KeepMeshBuilder(new MeshBuilder(std::move(builder)), key, mesh);
    return mesh;
}

void ExportBuilder::KeepMeshBuilder(MeshBuilder* kept, ExportKey key, CKMesh* mesh)
{
    const int index = meshBuilders.Size();
    meshBuilders.PushBack(kept);
    if (key)
        meshBuilderIndices.Insert(key, index);
    meshBuilderIndices.Insert((ExportKey) mesh, index);
}

MeshBuilder* ExportBuilder::FindMeshBuilder(ExportKey key)
{
    const int* index = meshBuilderIndices.FindPtr(key);
    return index && *index >= 0 && *index < meshBuilders.Size() ? meshBuilders[*index] : nullptr;
}
