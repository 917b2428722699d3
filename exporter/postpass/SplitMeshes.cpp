#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "exporter/builder/ExportBuilder.h"
#include "exporter/postpass/PostPassSupport.h"
#include "exporter/report/ReportPrintf.h"
#include "render/animation/CKBodyPart.h"
#include "render/animation/CKCharacter.h"
#include "render/animation/CKKeyedAnimation.h"
#include "render/animation/CKMorphController.h"
#include "render/animation/CKObjectAnimation.h"
#include "render/animation/CKSkin.h"
#include "render/mesh/CKMesh.h"
#include "render/objects/CK3dEntity.h"

// A mesh whose faces use several materials with extra channels becomes one
// mesh per such material; its entities get a child per further part.

namespace {

// One part of a split: its record, its faces (source indices, ascending),
// its vertices in first-use order, and each source vertex's index in the
// part (-1 when unused).
struct SubMeshPart
{
    const MultiMaterialRecord* record = nullptr;
    std::vector<int> faces;
    std::vector<int> vertices;
    std::vector<int> remap;
};

struct ChannelSnapshot
{
    CKMaterial* material = nullptr;
    int sourceBlend = 0;
    int destBlend = 0;
    std::vector<float> uvs; // u, v per vertex
    // A typed channel (an extended float channel, without material): its
    // type and its values, four per vertex.
    int type = 0;
    std::vector<float> values;
};

// What the rebuild reads of the source mesh, taken before part 0 (the
// source itself) is rewritten.
struct MeshSnapshot
{
    std::vector<QxVector> positions, normals, faceNormals;
    std::vector<float> uvs;
    std::vector<CKDWORD> colours, speculars;
    std::vector<int> faceIndices;
    std::vector<CKMaterial*> faceMaterials;
    std::vector<ChannelSnapshot> channels;
    std::vector<float> weights;
    std::vector<int> lines;
    CKBlendShapeData blendShapes;

    explicit MeshSnapshot(CKMesh* mesh)
    {
        const int vertices = mesh->GetVertexCount();
        const int faces = mesh->GetFaceCount();
        positions.resize((size_t) vertices);
        normals.resize((size_t) vertices);
        uvs.resize(2 * (size_t) vertices);
        colours.resize((size_t) vertices);
        speculars.resize((size_t) vertices);
        CKDWORD ps = 0, ns = 0, ts = 0, cs = 0, ss = 0;
        const auto* p = static_cast<const CKBYTE*>(mesh->GetPositionsPtr(&ps));
        const auto* n = static_cast<const CKBYTE*>(mesh->GetNormalsPtr(&ns));
        const auto* t = static_cast<const CKBYTE*>(mesh->GetTextureCoordinatesPtr(&ts, -1));
        const auto* c = static_cast<const CKBYTE*>(mesh->GetColorsPtr(&cs, -1));
        const auto* s = static_cast<const CKBYTE*>(mesh->GetSpecularColorsPtr(&ss));
        for (size_t v = 0; v < (size_t) vertices; ++v) {
            if (p)
                std::memcpy(&positions[v], p + v * ps, sizeof(QxVector));
            if (n)
                std::memcpy(&normals[v], n + v * ns, sizeof(QxVector));
            if (t)
                std::memcpy(&uvs[2 * v], t + v * ts, 2 * sizeof(float));
            if (c)
                std::memcpy(&colours[v], c + v * cs, sizeof(CKDWORD));
            if (s)
                std::memcpy(&speculars[v], s + v * ss, sizeof(CKDWORD));
        }
        faceIndices.resize(3 * (size_t) faces);
        if (const CKDWORD* indices = mesh->GetFacesIndices())
            for (size_t i = 0; i < faceIndices.size(); ++i)
                faceIndices[i] = (int) indices[i];
        faceNormals.resize((size_t) faces);
        CKDWORD fs = 0;
        const auto* fn = static_cast<const CKBYTE*>(mesh->GetFaceNormalsPtr(&fs));
        for (size_t f = 0; fn && f < (size_t) faces; ++f)
            std::memcpy(&faceNormals[f], fn + f * fs, sizeof(QxVector));
        faceMaterials.resize((size_t) faces);
        for (int f = 0; f < faces; ++f)
            faceMaterials[(size_t) f] = mesh->GetFaceMaterial(f);
        for (int c = 0; c < mesh->GetChannelCount(); ++c) {
            ChannelSnapshot channel;
            channel.material = mesh->GetChannelMaterial(c);
            channel.sourceBlend = mesh->GetChannelSourceBlend(c);
            channel.destBlend = mesh->GetChannelDestBlend(c);
            channel.uvs.resize(2 * (size_t) vertices);
            CKDWORD stride = 0;
            const auto* uv = static_cast<const CKBYTE*>(mesh->GetTextureCoordinatesPtr(&stride, c));
            for (size_t v = 0; uv && stride >= 2 * sizeof(float) && v < (size_t) vertices; ++v)
                std::memcpy(&channel.uvs[2 * v], uv + v * stride, 2 * sizeof(float));
            if (!channel.material && mesh->GetChannelType(c) > 0) {
                channel.type = mesh->GetChannelType(c);
                channel.values.assign(4 * (size_t) vertices, 0.0f);
                for (int v = 0; v < vertices; ++v)
                    mesh->GetChannelData(v, c, &channel.values[4 * (size_t) v]);
            }
            channels.push_back(std::move(channel));
        }
        if (mesh->GetVertexWeightsCount() == vertices)
            for (int v = 0; v < vertices; ++v)
                weights.push_back(mesh->GetVertexWeight(v));
        for (int l = 0; l < mesh->GetLineCount(); ++l) {
            int a = 0, b = 0;
            mesh->GetLine(l, &a, &b);
            lines.push_back(a);
            lines.push_back(b);
        }
        mesh->GetBlendShapes(blendShapes);
    }
};

// The skin of an entity before it is rebuilt per part. Bones are kept with
// their stored initial inverse matrices, so a bone entity that is gone (null)
// costs nothing.
struct SkinSnapshotVertex
{
    std::vector<int> bones;
    std::vector<float> weights;
    QxVector initialPosition;
};

struct SkinSnapshot
{
    std::vector<CK3dEntity*> bones;
    std::vector<QxMatrix> inverseMatrices;
    std::vector<SkinSnapshotVertex> vertices;
    std::vector<QxVector> normals;
    QxMatrix objectInitMatrix;

    explicit SkinSnapshot(CKSkin* skin)
    {
        for (int b = 0; b < skin->GetBoneCount(); ++b) {
            CKSkinBoneData* bone = skin->GetBoneData(b);
            bones.push_back(bone ? bone->GetBone() : nullptr);
            inverseMatrices.push_back(bone ? bone->GetInitialInverseMatrix() : QxMatrix::Identity());
        }
        for (int v = 0; v < skin->GetVertexCount(); ++v) {
            SkinSnapshotVertex vertex;
            if (CKSkinVertexData* data = skin->GetVertexData(v)) {
                for (int n = 0; n < data->GetBoneCount(); ++n) {
                    vertex.bones.push_back(data->GetBone(n));
                    vertex.weights.push_back(data->GetWeight(n));
                }
                vertex.initialPosition = data->GetInitialPos();
            }
            vertices.push_back(std::move(vertex));
        }
        for (int n = 0; n < skin->GetNormalCount(); ++n)
            normals.push_back(skin->GetNormal(n));
        objectInitMatrix = skin->GetObjectInitMatrix();
    }
};

// Writes the source's geometry restricted to the part into target. The
// part's vertices are numbered in order of first use.
void BuildSubMesh(const MeshSnapshot& source, CKMesh* target, SubMeshPart& part, bool withExtras)
{
    const int sourceVertices = (int) source.positions.size();
    part.remap.assign((size_t) sourceVertices, -1);
    part.vertices.clear();
    for (int f : part.faces)
        for (int k = 0; k < 3; ++k) {
            const int o = source.faceIndices[3 * (size_t) f + (size_t) k];
            if (o >= 0 && o < sourceVertices && part.remap[(size_t) o] < 0) {
                part.remap[(size_t) o] = (int) part.vertices.size();
                part.vertices.push_back(o);
            }
        }
    const int count = (int) part.vertices.size();
    target->SetVertexCount(count);
    CKDWORD ps = 0, ns = 0, ts = 0, cs = 0, ss = 0;
    auto* p = static_cast<CKBYTE*>(target->GetPositionsPtr(&ps));
    auto* n = static_cast<CKBYTE*>(target->GetNormalsPtr(&ns));
    auto* t = static_cast<CKBYTE*>(target->GetTextureCoordinatesPtr(&ts, -1));
    auto* c = static_cast<CKBYTE*>(target->GetColorsPtr(&cs, -1));
    auto* s = static_cast<CKBYTE*>(target->GetSpecularColorsPtr(&ss));
    for (size_t j = 0; j < (size_t) count; ++j) {
        const size_t o = (size_t) part.vertices[j];
        if (p)
            std::memcpy(p + j * ps, &source.positions[o], sizeof(QxVector));
        if (n)
            std::memcpy(n + j * ns, &source.normals[o], sizeof(QxVector));
        if (t)
            std::memcpy(t + j * ts, &source.uvs[2 * o], 2 * sizeof(float));
        if (c)
            std::memcpy(c + j * cs, &source.colours[o], sizeof(CKDWORD));
        if (s)
            std::memcpy(s + j * ss, &source.speculars[o], sizeof(CKDWORD));
    }
    const int faces = (int) part.faces.size();
    target->SetFaceCount(faces);
    if (CKDWORD* indices = target->GetFacesIndices())
        for (size_t i = 0; i < (size_t) faces; ++i)
            for (size_t k = 0; k < 3; ++k) {
                const int o = source.faceIndices[3 * (size_t) part.faces[i] + k];
                indices[3 * i + k] = (CKDWORD) (o >= 0 && o < sourceVertices ? part.remap[(size_t) o] : 0);
            }
    // One call a material (in order of first use) puts the faces in groups.
    std::vector<std::pair<CKMaterial*, std::vector<int>>> groups;
    for (int i = 0; i < faces; ++i) {
        CKMaterial* material = source.faceMaterials[(size_t) part.faces[(size_t) i]];
        auto at = std::find_if(groups.begin(), groups.end(), [&](const auto& g) { return g.first == material; });
        if (at == groups.end()) {
            groups.emplace_back(material, std::vector<int>());
            at = groups.end() - 1;
        }
        at->second.push_back(i);
    }
    for (const auto& group : groups)
        target->SetFacesMaterial(group.second.data(), (int) group.second.size(), group.first);
    CKDWORD fs = 0;
    if (auto* normals = static_cast<CKBYTE*>(target->GetFaceNormalsPtr(&fs)))
        for (size_t i = 0; i < (size_t) faces; ++i)
            std::memcpy(normals + i * fs, &source.faceNormals[(size_t) part.faces[i]], sizeof(QxVector));
    for (size_t index = 0; index < source.channels.size(); ++index) {
        const ChannelSnapshot& channel = source.channels[index];
        int c;
        if (channel.type > 0) {
            // A typed channel is found by no material: the source (part 0)
            // keeps its own at its place, a new part adds one.
            const int at = (int) index;
            c = at < target->GetChannelCount() && !target->GetChannelMaterial(at) &&
                        target->GetChannelType(at) == channel.type
                    ? at
                    : target->AddChannelEx(nullptr, FALSE, channel.type);
            for (int j = 0; c >= 0 && j < count; ++j)
                target->SetChannelData(j, c, &channel.values[4 * (size_t) part.vertices[(size_t) j]]);
        } else {
            c = target->AddChannel(channel.material, FALSE);
        }
        if (c < 0)
            continue;
        target->SetChannelSourceBlend(c, channel.sourceBlend);
        target->SetChannelDestBlend(c, channel.destBlend);
        CKDWORD stride = 0;
        auto* uv = channel.type > 0 ? nullptr : static_cast<CKBYTE*>(target->GetTextureCoordinatesPtr(&stride, c));
        for (size_t j = 0; uv && stride >= 2 * sizeof(float) && j < (size_t) count; ++j)
            std::memcpy(uv + j * stride, &channel.uvs[2 * (size_t) part.vertices[j]], 2 * sizeof(float));
        target->UVChanged(c);
    }
    if (withExtras) {
        // The source keeps its own weights, lines and blend shapes, now
        // numbered as its part's vertices (what no part vertex holds goes).
        if (!source.weights.empty()) {
            target->SetVertexWeightsCount(count);
            for (int j = 0; j < count; ++j)
                target->SetVertexWeight(j, source.weights[(size_t) part.vertices[(size_t) j]]);
        }
        std::vector<int> lines;
        for (size_t l = 0; l + 1 < source.lines.size(); l += 2) {
            const int a = source.lines[l], b = source.lines[l + 1];
            if (a >= 0 && b >= 0 && a < sourceVertices && b < sourceVertices && part.remap[(size_t) a] >= 0 &&
                part.remap[(size_t) b] >= 0) {
                lines.push_back(part.remap[(size_t) a]);
                lines.push_back(part.remap[(size_t) b]);
            }
        }
        target->SetLineCount((int) lines.size() / 2);
        for (size_t l = 0; l < lines.size(); l += 2)
            target->SetLine((int) l / 2, lines[l], lines[l + 1]);
        if (source.blendShapes.Names.Size() > 0 || source.blendShapes.Targets.Size() > 0) {
            CKBlendShapeData shapes;
            shapes.Names = source.blendShapes.Names;
            auto inPart = [&](CKDWORD v) { return v < (CKDWORD) sourceVertices && part.remap[v] >= 0; };
            for (const CKBlendShapeBaseVertex& base : source.blendShapes.BaseVertices)
                if (inPart(base.Vertex)) {
                    CKBlendShapeBaseVertex kept = base;
                    kept.Vertex = (CKDWORD) part.remap[base.Vertex];
                    shapes.BaseVertices.PushBack(kept);
                }
            for (const CKBlendShapeTarget& from : source.blendShapes.Targets) {
                CKBlendShapeTarget to;
                to.WeightIndex = from.WeightIndex;
                to.Pivot = from.Pivot;
                to.SlopeBelow = from.SlopeBelow;
                to.SlopeAbove = from.SlopeAbove;
                for (const CKBlendShapeDelta& delta : from.Deltas)
                    if (inPart(delta.Vertex)) {
                        CKBlendShapeDelta kept = delta;
                        kept.Vertex = (CKDWORD) part.remap[delta.Vertex];
                        to.Deltas.PushBack(kept);
                    }
                shapes.Targets.PushBack(to);
            }
            target->SetBlendShapes(shapes);
        }
    }
    target->UVChanged(-1);
    target->ColorChanged();
    target->NormalChanged();
    target->VertexMove();
}

void RebuildPartSkin(const SkinSnapshot& snapshot, CK3dEntity* target, const SubMeshPart& part)
{
    const bool withNormals = !snapshot.normals.empty();
    target->DestroySkin();
    CKSkin* skin = target->CreateSkin();
    if (!skin)
        return;
    std::vector<int> bones;
    for (size_t o = 0; o < part.remap.size() && o < snapshot.vertices.size(); ++o) {
        if (part.remap[o] < 0)
            continue;
        for (int b : snapshot.vertices[o].bones) {
            auto at = std::lower_bound(bones.begin(), bones.end(), b);
            if (at == bones.end() || *at != b)
                bones.insert(at, b);
        }
    }
    std::vector<int> boneRemap(snapshot.bones.size(), -1);
    for (size_t k = 0; k < bones.size(); ++k)
        if (bones[k] >= 0 && (size_t) bones[k] < boneRemap.size())
            boneRemap[(size_t) bones[k]] = (int) k;
    const int count = (int) part.vertices.size();
    skin->SetObjectInitMatrix(snapshot.objectInitMatrix);
    skin->SetBoneCount((int) bones.size());
    skin->SetVertexCount(count);
    if (withNormals)
        skin->SetNormalCount(count);
    for (size_t k = 0; k < bones.size(); ++k) {
        CKSkinBoneData* bone = skin->GetBoneData((int) k);
        const size_t b = (size_t) bones[k];
        if (!bone || b >= snapshot.bones.size())
            continue;
        bone->SetBone(snapshot.bones[b]);
        bone->SetBoneInitialInverseMatrix(snapshot.inverseMatrices[b]);
    }
    for (int j = 0; j < count; ++j) {
        const size_t o = (size_t) part.vertices[(size_t) j];
        CKSkinVertexData* vertex = skin->GetVertexData(j);
        if (!vertex || o >= snapshot.vertices.size())
            continue;
        const SkinSnapshotVertex& from = snapshot.vertices[o];
        vertex->SetInitialPos(from.initialPosition);
        vertex->SetBoneCount((int) from.bones.size());
        for (size_t n = 0; n < from.bones.size(); ++n) {
            const int b = from.bones[n];
            vertex->SetBone((int) n, b >= 0 && (size_t) b < boneRemap.size() ? boneRemap[(size_t) b] : 0);
            vertex->SetWeight((int) n, from.weights[n]);
        }
        if (withNormals && o < snapshot.normals.size())
            skin->SetNormal(j, snapshot.normals[o]);
    }
}

// The bones that were the source entity become the part entity itself.
CKBOOL ReplaceSkinBone(CK3dEntity* entity, CK3dEntity* old)
{
    CKSkin* skin = entity ? entity->GetSkin() : nullptr;
    if (!skin)
        return FALSE;
    for (int b = 0; b < skin->GetBoneCount(); ++b)
        if (CKSkinBoneData* bone = skin->GetBoneData(b))
            if (bone->GetBone() == old)
                bone->SetBone(entity);
    return TRUE;
}

// A morph controller's keys restricted to the part's vertices.
struct MorphCopy
{
    struct Key
    {
        float time = 0.0f;
        std::vector<QxVector> positions;
        std::vector<CKDWORD> normals;
    };
    std::vector<Key> keys;
    bool withNormals = false;

    MorphCopy(CKObjectAnimation* animation, CKMorphController* morph, const SubMeshPart& part)
    {
        withNormals = animation->HasMorphNormalInfo() > 0;
        const int vertices = morph->GetMorphVertexCount();
        for (int k = 0; k < morph->GetKeyCount(); ++k) {
            auto* from = static_cast<CKMorphKey*>(morph->GetKey(k));
            if (!from)
                continue;
            Key key;
            key.time = from->TimeStep;
            for (int o : part.vertices) {
                const bool inside = o < vertices && from->PosArray;
                key.positions.push_back(inside ? from->PosArray[o] : QxVector());
                if (withNormals)
                    key.normals.push_back(inside && from->NormArray ? from->NormArray[o] : 0);
            }
            keys.push_back(std::move(key));
        }
    }

    void WriteTo(CKMorphController* morph) const
    {
        const int count = keys.empty() ? 0 : (int) keys[0].positions.size();
        morph->SetMorphVertexCount(count);
        for (const Key& key : keys) {
            const int index = morph->AddKeyAtTime(key.time, withNormals ? TRUE : FALSE);
            auto* to = index >= 0 ? static_cast<CKMorphKey*>(morph->GetKey(index)) : nullptr;
            if (!to || !to->PosArray)
                continue;
            for (int j = 0; j < count; ++j) {
                to->PosArray[j] = key.positions[(size_t) j];
                if (withNormals && to->NormArray)
                    to->NormArray[j] = key.normals[(size_t) j];
            }
        }
    }
};

} // namespace

const MultiMaterialRecord* ExportBuilder::FindMultiMaterialRecord(CKMaterial* material) const
{
    if (!material)
        return nullptr;
    for (const MultiMaterialRecord& record : multiMaterials)
        if (record.base == material)
            return &record;
    return nullptr;
}

CKMesh* ExportBuilder::ApplyMultiMaterialChannels(CKMesh* mesh, const MultiMaterialRecord* record)
{
    if (!mesh || !record)
        return nullptr;
    const MeshBuilder* kept = FindMeshBuilder((ExportKey) mesh);
    return ApplyChannels(mesh, record, kept);
}

CKMesh* ExportBuilder::ApplyChannels(CKMesh* mesh, const MultiMaterialRecord* record, const MeshBuilder* kept)
{
    std::vector<CKWORD> corners;
    bool all = true;
    bool fits = true;
    for (int f = 0; f < mesh->GetFaceCount(); ++f) {
        if (mesh->GetFaceMaterial(f) != record->base) {
            all = false;
            continue;
        }
        int v[3];
        mesh->GetFaceVertexIndex(f, v[0], v[1], v[2]);
        for (int k : v) {
            fits = fits && k >= 0 && k <= 0xFFFF;
            corners.push_back((CKWORD) k);
        }
    }
    const int vertices = mesh->GetVertexCount();
    // Coordinates of channels this loop has overwritten, as they were.
    std::vector<std::vector<float>> before((size_t) mesh->GetChannelCount() + record->channels.Size());
    auto readChannel = [&](int c) {
        std::vector<float> uvs(2 * (size_t) vertices);
        for (int v = 0; v < vertices; ++v)
            mesh->GetVertexTextureCoordinates(v, &uvs[2 * (size_t) v], &uvs[2 * (size_t) v + 1], c);
        return uvs;
    };
    // The channel each entry takes its coordinates from (-1 the base ones,
    // -2 none the mesh has, -3 no source named), found before the loop
    // gives channels other materials: a channel found by its material
    // afterwards could be one just given that material.
    std::vector<int> sources((size_t) record->channels.Size(), -3);
    for (int i = 0; i < record->channels.Size(); ++i) {
        const int map = record->channels[i].uvSource;
        int& source = sources[(size_t) i];
        if (map < 0)
            continue;
        // The entry names a host map channel: 1 is the base coordinates,
        // others the channel the mesh made from that map channel.
        if (map == 1) {
            source = -1;
            continue;
        }
        source = -2;
        for (int k = 0; kept && k < kept->channelMapChannels.Size(); ++k)
            if (kept->channelMapChannels[k] == map) {
                const int c = k < kept->channelMaterials.Size() && kept->channelMaterials[k]
                                  ? mesh->GetChannelByMaterial(kept->channelMaterials[k])
                                  : k;
                source = c >= 0 && c < mesh->GetChannelCount() ? c : -2;
                break;
            }
    }
    for (int i = 0; i < record->channels.Size(); ++i) {
        const MultiMaterialChannel& entry = record->channels[i];
        int c = i;
        if (i >= mesh->GetChannelCount())
            c = mesh->AddChannel(entry.material, TRUE);
        else
            mesh->SetChannelMaterial(i, entry.material);
        if (c < 0)
            continue;
        mesh->ActivateChannel(c, entry.active);
        mesh->LitChannel(c, entry.lit);
        mesh->SetChannelDestBlend(c, entry.destBlend);
        mesh->SetChannelSourceBlend(c, entry.sourceBlend);
        if (!all) {
            if (fits)
                mesh->SetChannelFaceIndices(c, (int) corners.size(), corners.data());
            else
                ReportPrintf(exporter, 1, "Warning : channel %d of %s cannot be kept to its faces\r\n", c,
                             mesh->GetName() ? mesh->GetName() : "");
        }
        const int source = sources[(size_t) i];
        if (source == -3)
            continue;
        if (source == -2) {
            ReportPrintf(exporter, 1, "Warning : %s has no map channel %d for the channel of %s\r\n",
                         mesh->GetName() ? mesh->GetName() : "", entry.uvSource,
                         entry.material && entry.material->GetName() ? entry.material->GetName() : "");
            continue;
        }
        const bool overwritten = (size_t) c < before.size() && !before[(size_t) c].empty();
        if (source == c && !overwritten)
            continue;
        std::vector<float> uvs = source >= 0 && (size_t) source < before.size() && !before[(size_t) source].empty()
                                     ? before[(size_t) source]
                                     : readChannel(source);
        if ((size_t) c < before.size() && !overwritten)
            before[(size_t) c] = readChannel(c);
        for (int v = 0; v < vertices; ++v)
            mesh->SetVertexTextureCoordinates(v, uvs[2 * (size_t) v], uvs[2 * (size_t) v + 1], c);
    }
    return mesh;
}

int ExportBuilder::SplitMesh(CKMesh* mesh, XArray<CKMesh*>& partMeshes)
{
    partMeshes.Clear();
    if (!mesh)
        return 0;
    std::vector<SubMeshPart> parts;
    std::vector<std::pair<CKMaterial*, int>> partOf;
    for (int m = 0; m < mesh->GetMaterialCount(); ++m) {
        CKMaterial* material = mesh->GetMaterial(m);
        const MultiMaterialRecord* record = FindMultiMaterialRecord(material);
        if (!record)
            continue;
        partOf.emplace_back(material, (int) parts.size());
        SubMeshPart part;
        part.record = record;
        parts.push_back(std::move(part));
    }
    if (parts.empty())
        return 0;
    if (parts.size() == 1) {
        partMeshes.PushBack(mesh);
        ApplyMultiMaterialChannels(mesh, parts[0].record);
        return 1;
    }
    std::vector<int> plain;
    for (int f = 0; f < mesh->GetFaceCount(); ++f) {
        CKMaterial* material = mesh->GetFaceMaterial(f);
        auto at = std::find_if(partOf.begin(), partOf.end(), [&](const auto& p) { return p.first == material; });
        if (at == partOf.end())
            plain.push_back(f);
        else
            parts[(size_t) at->second].faces.push_back(f);
    }
    const MeshSnapshot source(mesh);
    parts[0].faces.insert(parts[0].faces.end(), plain.begin(), plain.end());
    std::sort(parts[0].faces.begin(), parts[0].faces.end());

    XString baseName(mesh->GetName() ? mesh->GetName() : "");
    baseName += "_SM";
    const MeshBuilder* kept = FindMeshBuilder((ExportKey) mesh);
    const MeshBuilder keptCopy = kept ? *kept : MeshBuilder(FALSE, nullptr);
    for (size_t i = 0; i < parts.size(); ++i) {
        CKMesh* target = mesh;
        if (i > 0) {
            XString name;
            name.Format("%s%d", baseName.CStr(), (int) i);
            target = static_cast<CKMesh*>(Create(CKCID_MESH, name.CStr()));
            if (!target)
                continue;
            meshes.Insert((ExportKey) target, target);
        }
        BuildSubMesh(source, target, parts[i], i == 0);
        partMeshes.PushBack(target);
    }
    // Each part keeps the channels of the source in order, so the source's
    // map channels name the parts' channels too.
    for (int i = 0; i < partMeshes.Size(); ++i)
        ApplyChannels(partMeshes[i], parts[(size_t) i].record, kept ? &keptCopy : nullptr);
    if (partMeshes.Size() >= 2)
        RelinkSplitEntities(partMeshes, &parts);
    return partMeshes.Size();
}

void ExportBuilder::RelinkSplitEntities(const XArray<CKMesh*>& partMeshes, void* splitParts)
{
    const auto& parts = *static_cast<const std::vector<SubMeshPart>*>(splitParts);
    CKMesh* source = partMeshes[0];
    XArray<CKObject*> keyed = context->GetObjectListByType(CKCID_KEYEDANIMATION, TRUE);
    XArray<CKObject*> entities = context->GetObjectListByType(CKCID_3DENTITY, TRUE);
    for (CKObject* object : entities) {
        auto* entity = static_cast<CK3dEntity*>(object);
        if (entity->GetCurrentMesh() != source) {
            for (int m = 0; m < entity->GetMeshCount(); ++m)
                if (entity->GetMesh(m) == source)
                    ReportPrintf(exporter, 1, "Warning : %s holds the split mesh %s but does not show it\r\n",
                                 entity->GetName() ? entity->GetName() : "",
                                 source->GetName() ? source->GetName() : "");
            continue;
        }
        // The entity's animations, and those of the export that move it
        // (an entity lists its animations only once a keyed animation or a
        // character holds them).
        std::vector<CKObjectAnimation*> animations;
        auto collect = [&](CKObjectAnimation* animation) {
            if (animation && std::find(animations.begin(), animations.end(), animation) == animations.end())
                animations.push_back(animation);
        };
        for (int a = 0; a < entity->GetObjectAnimationCount(); ++a)
            collect(entity->GetObjectAnimation(a));
        for (CKObjectAnimation* animation : objectAnimationList)
            if (animation && animation->Get3dEntity() == entity)
                collect(animation);
        // Every part's keys, through its own vertex map, from the source's
        // controllers as they are now: part 0 replaces its entity's
        // controller in place, so a later part reading it would find part
        // 0's vertices under the source's numbers.
        std::vector<std::vector<MorphCopy>> morphKeys(animations.size());
        for (size_t a = 0; a < animations.size(); ++a)
            if (CKMorphController* morph = animations[a]->GetMorphController())
                for (size_t i = 0; i < parts.size(); ++i)
                    morphKeys[a].emplace_back(animations[a], morph, parts[i]);
        const bool bodyPart = IsOfClass(entity, CKCID_BODYPART);
        CKSkin* skin = entity->GetSkin();
        std::unique_ptr<SkinSnapshot> snapshot(skin ? new SkinSnapshot(skin) : nullptr);
        XString baseName(entity->GetName() ? entity->GetName() : "");
        baseName += "_SM";
        for (int i = 0; i < partMeshes.Size() && (size_t) i < parts.size(); ++i) {
            CK3dEntity* target = entity;
            if (i > 0) {
                XString name;
                name.Format("%s%d", baseName.CStr(), i);
                target = static_cast<CK3dEntity*>(Create(bodyPart ? CKCID_BODYPART : CKCID_3DOBJECT, name.CStr()));
                if (!target)
                    continue;
                if (bodyPart) {
                    if (CKCharacter* owner = static_cast<CKBodyPart*>(entity)->GetCharacter())
                        owner->AddBodyPart(static_cast<CKBodyPart*>(target));
                    bodyParts.PushBack(static_cast<CKBodyPart*>(target));
                }
                target->SetParent(entity, FALSE);
            }
            target->SetCurrentMesh(partMeshes[i], TRUE);
            if (snapshot) {
                RebuildPartSkin(*snapshot, target, parts[(size_t) i]);
                if (i > 0)
                    ReplaceSkinBone(target, entity);
            }
            // An animation without a morph controller has no keys to split.
            for (size_t a = 0; a < animations.size(); ++a)
                if (!morphKeys[a].empty())
                    SplitMorphAnimation(animations[a], target, &morphKeys[a][(size_t) i], keyed, i == 0);
        }
    }
}

CKObjectAnimation* ExportBuilder::SplitMorphAnimation(CKObjectAnimation* animation, CK3dEntity* target,
                                                      const void* partKeys, const XArray<CKObject*>& keyed,
                                                      CKBOOL inPlace)
{
    if (!animation || !animation->GetMorphController() || !partKeys)
        return nullptr;
    const auto& copy = *static_cast<const MorphCopy*>(partKeys);
    if (inPlace) {
        // The source entity keeps its animation; only the vertices change.
        auto* replaced = static_cast<CKMorphController*>(animation->CreateController(CKANIMATION_MORPH_CONTROL));
        if (replaced)
            copy.WriteTo(replaced);
        return animation;
    }
    auto* made = static_cast<CKObjectAnimation*>(Create(CKCID_OBJECTANIMATION, target->GetName()));
    if (!made)
        return nullptr;
    objectAnimationList.AddIfNotHere(made);
    made->Set3dEntity(target);
    made->SetLength(animation->GetLength());
    if (auto* to = static_cast<CKMorphController*>(made->CreateController(CKANIMATION_MORPH_CONTROL)))
        copy.WriteTo(to);
    for (CKObject* object : keyed) {
        auto* holder = static_cast<CKKeyedAnimation*>(object);
        bool holds = false;
        for (int a = 0; a < holder->GetAnimationCount() && !holds; ++a)
            holds = holder->GetAnimation(a) == animation;
        if (holds)
            holder->AddAnimation(made);
    }
    return made;
}

int ExportBuilder::SplitMeshes()
{
    XArray<CKObject*> objects = context ? context->GetObjectListByType(CKCID_MESH, TRUE) : XArray<CKObject*>();
    int total = 0;
    XArray<CKMesh*> parts;
    for (CKObject* object : objects)
        // Patch meshes keep their patches: their render mesh is rebuilt
        // from them, so it cannot be cut.
        if (IsOfClass(object, CKCID_MESH) && !IsOfClass(object, CKCID_PATCHMESH))
            total += SplitMesh(static_cast<CKMesh*>(object), parts);
    RemoveUnusedMaterials();
    return total;
}
