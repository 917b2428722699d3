// The mesh's section of a state chunk (save, load, the vertex section alone)
// and the copy of one mesh into another.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/file/CKFile.h"
#include "core/object/CKClassRegistry.h"
#include "render/context/CKRenderGlobals.h"
#include "render/context/RCKRenderManager.h"
#include "render/mesh/CKMaterial.h"
#include "render/mesh/CKMaterialGroup.h"
#include "render/mesh/CKOlderMeshLoader.h"
#include "render/mesh/CKProgressiveMesh.h"
#include "render/mesh/MeshKernels.h"
#include "render/mesh/RCKMesh.h"
#include "render/mesh/RCKPatchMesh.h"
#include "render/objects/CKClassChunk.h"
#include "system/log/QxLogManager.h"

namespace {

// The flags a load never takes from the file: bounds, built render data,
// two render marks, forced transparency, dynamic buffers and bits 29-31.
constexpr CKDWORD kFlagsNotLoaded = 0x1 | 0x4 | 0x20 | 0x40 | 0x400 | 0x800 | 0x1000 | 0x40000 | 0xE0000000;
// A vertex section that stores nothing per vertex (a skin holds the
// positions) still names a count; above this one it is refused rather
// than allocated.
constexpr int kMaxUnstoredVertices = 1 << 21;
// Vertex save flags under which the block holds nothing per vertex.
constexpr CKDWORD kNothingPerVertex = CK_MESHVERTEX_NOPOSITIONS | CK_MESHVERTEX_ONEDIFFUSE | CK_MESHVERTEX_ONESPECULAR |
                                      CK_MESHVERTEX_NONORMALS | CK_MESHVERTEX_ONEUV;
constexpr int kMaxGroups = 0x10000;

CKDWORD Bits(float f)
{
    CKDWORD w;
    std::memcpy(&w, &f, 4);
    return w;
}

// Words the vertex block takes (its size word included).
long long VertexBlockWords(long long n, CKDWORD flags)
{
    long long words = 1;
    if (!(flags & CK_MESHVERTEX_NOPOSITIONS))
        words += 3 * n;
    words += (flags & CK_MESHVERTEX_ONEDIFFUSE) ? 1 : n;
    words += (flags & CK_MESHVERTEX_ONESPECULAR) ? 1 : n;
    if (!(flags & CK_MESHVERTEX_NONORMALS))
        words += 3 * n;
    words += (flags & CK_MESHVERTEX_ONEUV) ? 2 : 2 * n;
    return words;
}

// Words left in the section whose size (bytes) was returned, read from
// the position after its identifier.
struct Section
{
    CKStateChunk* chunk;
    int start;
    int words;
    int Left() const { return words - (chunk->GetCurrentPos() - start); }
};

// "CK2_3D/SaveOptimizedMesh": saves carry the material groups' render data.
bool SavesOptimizedMeshes(CKContext* context)
{
    RCKRenderManager* manager = context ? static_cast<RCKRenderManager*>(context->GetRenderManager()) : nullptr;
    return manager && manager->GetSettings().SaveOptimizedMesh != 0;
}

// A byte count and the array's elements, narrowed to To.
template <class To, class From>
void WriteArray(CKStateChunk& chunk, const XArray<From>& array)
{
    XArray<To> out(array.Size());
    for (const From& value : array)
        out.PushBack((To) value);
    chunk.WriteBuffer(out.Size() * (int) sizeof(To), out.Size() ? out.Begin() : nullptr);
}

Section Open(CKStateChunk& chunk, CKDWORD id, bool* found)
{
    const int size = chunk.SeekIdentifierAndReturnSize(id);
    *found = size >= 0;
    return Section{&chunk, chunk.GetCurrentPos(), size > 0 ? size / 4 : 0};
}

} // namespace

void RCKMesh::PreSave(CKFile* file, CKDWORD flags)
{
    CKMesh::PreSave(file, flags);
    if (!file || !(flags & CK_STATESAVE_MESHMATERIALS))
        return;
    for (CKMaterialGroup* group : m_MaterialGroups)
        if (group->Material)
            file->SaveObject(group->Material, flags);
    for (const CKMeshChannel& channel : m_Channels)
        if (channel.Material)
            file->SaveObject(channel.Material, flags);
}

CKStateChunk* RCKMesh::Save(CKFile* file, CKDWORD flags)
{
    return CKSaveClassChunk(
        this, CKMesh::m_ClassID, CKMesh::Save(file, flags), file, flags, CK_STATESAVE_MESHONLY,
        [&](CKStateChunk& chunk) {
            chunk.SetDataVersion(CK_MESH_DATAVERSION);
            const bool patch = GetClassID() == CKCID_PATCHMESH;
            const bool wide = m_Vertices.Size() >= CK_MESH_32BITINDICES;
            if (flags & CK_STATESAVE_MESHFLAGS) {
                chunk.WriteIdentifier(CK_STATESAVE_MESHFLAGS);
                chunk.WriteDword(m_Flags);
            }
            if (!patch) {
                if ((flags & CK_STATESAVE_MESHMATERIALS) && m_MaterialGroups.Size() > 0) {
                    chunk.WriteIdentifier(CK_STATESAVE_MESHMATERIALS);
                    chunk.WriteInt(m_MaterialGroups.Size());
                    for (CKMaterialGroup* group : m_MaterialGroups) {
                        chunk.WriteObject(group->Material);
                        chunk.WriteDword(0);
                    }
                }
                const int faces = m_Faces.Size();
                if ((flags & CK_STATESAVE_MESHFACES) && faces > 0) {
                    chunk.WriteIdentifier(wide ? CK_STATESAVE_MESHFACES32 : CK_STATESAVE_MESHFACES);
                    chunk.WriteInt(faces);
                    if (wide) {
                        chunk.WriteBuffer(faces * 12, m_FaceIndices.Begin());
                        for (const CKFace& face : m_Faces)
                            chunk.WriteDword(face.MaterialGroup);
                    } else {
                        const CKDWORD* idx = m_FaceIndices.Begin();
                        for (int f = 0; f < faces; ++f) {
                            chunk.WriteDword((idx[3 * f] & 0xFFFF) | (idx[3 * f + 1] << 16));
                            chunk.WriteDword((idx[3 * f + 2] & 0xFFFF) | ((CKDWORD) m_Faces[f].MaterialGroup << 16));
                        }
                    }
                }
                const int lines = m_Lines.Size();
                if ((flags & CK_STATESAVE_MESHLINES) && lines > 0) {
                    chunk.WriteIdentifier(wide ? CK_STATESAVE_MESHLINES32 : CK_STATESAVE_MESHLINES);
                    chunk.WriteInt(lines);
                    if (wide) {
                        chunk.WriteBuffer(lines * 8, m_Lines.Begin());
                    } else {
                        XArray<CKWORD> narrow(lines * 2);
                        for (const CKMeshLine& line : m_Lines) {
                            narrow.PushBack((CKWORD) line.Vertex1);
                            narrow.PushBack((CKWORD) line.Vertex2);
                        }
                        chunk.WriteBuffer(lines * 4, narrow.Begin());
                    }
                }
                if ((flags & CK_STATESAVE_MESHVERTICES) && m_Vertices.Size() > 0)
                    SaveVertices(chunk);
                if ((flags & CK_STATESAVE_MESHCHANNELS) && m_Channels.Size() > 0)
                    SaveChannels(chunk, flags);
            }
            const int weights = m_VertexWeights.Size();
            if ((flags & CK_STATESAVE_MESHWEIGHTS) && weights > 0) {
                chunk.WriteIdentifier(CK_STATESAVE_MESHWEIGHTS);
                chunk.WriteInt(weights);
                const CKDWORD first = Bits(m_VertexWeights[0]);
                bool equal = true;
                for (float w : m_VertexWeights)
                    equal = equal && Bits(w) == first;
                if (!equal)
                    chunk.WriteBuffer(weights * 4, m_VertexWeights.Begin());
                chunk.WriteDword(first);
            }
            if ((flags & CK_STATESAVE_MESHPROGRESSIVE) && m_ProgressiveMesh && m_ProgressiveMesh->GetVertexCount() > 0)
                SaveProgressiveMesh(chunk);
            if ((flags & CK_STATESAVE_MESHRENDERDATA) && (m_Flags & CKMESH_OPTIMIZED) &&
                SavesOptimizedMeshes(m_Context))
                SaveRenderData(chunk);
            if (flags & CK_STATESAVE_MESHBLENDSHAPES)
                SaveBlendShapes(chunk);
        });
}

void RCKMesh::SaveVertices(CKStateChunk& chunk)
{
    const int n = m_Vertices.Size();
    CKDWORD vflags = (m_Flags & CKMESH_NOPOSITIONSSAVED) ? 0x1F : 0xF;
    const CKVertex& v0 = m_Vertices[0];
    for (int i = 1; i < n; ++i) {
        const CKVertex& v = m_Vertices[i];
        // A NaN differs from everything, itself included.
        if (!(m_Flags & CKMESH_NOUVSAVED) && !(v.u == v0.u && v.v == v0.v))
            vflags &= ~CK_MESHVERTEX_ONEUV;
        if (m_Colors[i].Diffuse != m_Colors[0].Diffuse)
            vflags &= ~CK_MESHVERTEX_ONEDIFFUSE;
        if (m_Colors[i].Specular != m_Colors[0].Specular)
            vflags &= ~CK_MESHVERTEX_ONESPECULAR;
    }
    if (!(m_Flags & (CKMESH_GENNORMALS | CKMESH_NOPOSITIONSSAVED))) {
        // Normals are omitted when they are (within 0.001 on average) what
        // the load's BuildNormals gives back.
        BuildFaceNormals();
        XArray<QxVector> sums(n);
        sums.Resize(n);
        std::fill(sums.Begin(), sums.End(), QxVector());
        for (int f = 0; f < m_Faces.Size(); ++f)
            for (int c = 0; c < 3; ++c) {
                const CKDWORD vi = m_FaceIndices[3 * f + c];
                if ((int) vi < n)
                    sums[(int) vi] += m_Faces[f].Normal;
            }
        QxVector mean;
        for (int i = 0; i < n; ++i) {
            const QxVector& s = sums[i];
            const float inv = 1.0f / std::sqrt(s.x * s.x + s.y * s.y + s.z * s.z);
            const QxVector& normal = m_Vertices[i].Normal;
            mean.x += std::fabs(normal.x - s.x * inv);
            mean.y += std::fabs(normal.y - s.y * inv);
            mean.z += std::fabs(normal.z - s.z * inv);
        }
        mean.x /= (float) n;
        mean.y /= (float) n;
        mean.z /= (float) n;
        const float length = std::sqrt(mean.x * mean.x + mean.y * mean.y + mean.z * mean.z);
        if (std::isnan(length) || length >= 0.001f)
            vflags &= ~CK_MESHVERTEX_NONORMALS;
    }
    chunk.WriteIdentifier(CK_STATESAVE_MESHVERTICES);
    chunk.WriteInt(n);
    chunk.WriteDword(vflags);
    chunk.WriteInt((int) VertexBlockWords(n, vflags));
    if (!(vflags & CK_MESHVERTEX_NOPOSITIONS))
        for (const CKVertex& v : m_Vertices)
            chunk.WriteVector(v.Position);
    for (int i = 0; i < ((vflags & CK_MESHVERTEX_ONEDIFFUSE) ? 1 : n); ++i)
        chunk.WriteDword(m_Colors[i].Diffuse);
    for (int i = 0; i < ((vflags & CK_MESHVERTEX_ONESPECULAR) ? 1 : n); ++i)
        chunk.WriteDword(m_Colors[i].Specular);
    if (!(vflags & CK_MESHVERTEX_NONORMALS))
        for (const CKVertex& v : m_Vertices)
            chunk.WriteVector(v.Normal);
    for (int i = 0; i < ((vflags & CK_MESHVERTEX_ONEUV) ? 1 : n); ++i) {
        chunk.WriteFloat(m_Vertices[i].u);
        chunk.WriteFloat(m_Vertices[i].v);
    }
}

void RCKMesh::SaveChannels(CKStateChunk& chunk, CKDWORD flags)
{
    const int n = m_Vertices.Size();
    XArray<int> dataChannels;
    chunk.WriteIdentifier(CK_STATESAVE_MESHCHANNELS);
    chunk.WriteInt(m_Channels.Size());
    for (int i = 0; i < m_Channels.Size(); ++i) {
        const CKMeshChannel& channel = m_Channels[i];
        if (channel.Type != 0) {
            dataChannels.PushBack(i);
            chunk.WriteObject(nullptr);
            chunk.WriteInt(channel.Type);
            chunk.WriteDword(0);
            chunk.WriteDword(0);
            chunk.WriteDword(0);
            continue;
        }
        chunk.WriteObject(channel.Material);
        chunk.WriteDword(channel.Flags);
        chunk.WriteInt(channel.SourceBlend);
        chunk.WriteInt(channel.DestBlend);
        const bool own = channel.Data.Size() >= 2 * n;
        chunk.WriteInt(own ? n : 0);
        if (own)
            for (int k = 0; k < 2 * n; ++k)
                chunk.WriteFloat(channel.Data[k]);
    }
    if (!(flags & CK_STATESAVE_MESHCHANNELDATA) || dataChannels.Size() == 0)
        return;
    chunk.WriteIdentifier(CK_STATESAVE_MESHCHANNELDATA);
    chunk.WriteInt(dataChannels.Size());
    for (int index : dataChannels) {
        const CKMeshChannel& channel = m_Channels[index];
        chunk.WriteInt(index);
        const int floats = CKChannelTypeStride(channel.Type) / 4 * n;
        for (int k = 0; k < floats; ++k)
            chunk.WriteFloat(k < channel.Data.Size() ? channel.Data[k] : 0.0f);
    }
}

void RCKMesh::SaveProgressiveMesh(CKStateChunk& chunk)
{
    const CKProgressiveMesh& pm = *m_ProgressiveMesh;
    chunk.WriteIdentifier(CK_STATESAVE_MESHPROGRESSIVE);
    chunk.WriteInt(pm.GetVerticesRendered());
    chunk.WriteInt(pm.IsGeoMorphEnabled() ? 1 : 0);
    chunk.WriteInt(pm.GetGeoMorphStep());
    const std::vector<int>& targets = pm.GetCollapseTargets();
    for (int target : targets)
        chunk.WriteInt(target);
}

void RCKMesh::SaveRenderData(CKStateChunk& chunk)
{
    const bool wide = m_Vertices.Size() >= CK_MESH_32BITINDICES || m_Faces.Size() >= CK_MESH_32BITINDICES;
    chunk.WriteIdentifier(wide ? CK_STATESAVE_MESHRENDERDATA32 : CK_STATESAVE_MESHRENDERDATA);
    chunk.WriteInt(m_MaterialGroups.Size());
    for (const CKMaterialGroup* group : m_MaterialGroups) {
        if (!wide) {
            // Below 65,535 vertices a group is one primitive.
            chunk.WriteObject(group->Material);
            WriteArray<CKWORD>(chunk, group->Remap);
            WriteArray<CKWORD>(chunk, group->Indices);
            chunk.WriteInt(group->Type);
            chunk.WriteInt(group->VertexCount);
            chunk.WriteInt(group->IndexCount);
            chunk.WriteDword(group->Flags);
            WriteArray<CKDWORD>(chunk, group->Faces);
            WriteArray<CKDWORD>(chunk, group->StripLengths);
            continue;
        }
        chunk.WriteDword(0);
        chunk.WriteObject(group->Material);
        chunk.WriteDword(group->Flags);
        chunk.WriteInt(1 + group->SubPrimitives.Size());
        for (int i = -1; i < group->SubPrimitives.Size(); ++i) {
            const CK65KPrimitive& p = i < 0 ? static_cast<const CK65KPrimitive&>(*group) : *group->SubPrimitives[i];
            chunk.WriteDword(0);
            WriteArray<CKDWORD>(chunk, p.Remap);
            WriteArray<CKWORD>(chunk, p.Indices);
            chunk.WriteInt(p.Type);
            chunk.WriteInt(p.VertexCount);
            chunk.WriteInt(p.IndexCount);
            WriteArray<CKDWORD>(chunk, p.StripLengths);
        }
        WriteArray<CKDWORD>(chunk, group->Faces);
    }
}

void RCKMesh::SaveBlendShapes(CKStateChunk& chunk)
{
    chunk.WriteIdentifier(CK_STATESAVE_MESHBLENDSHAPES);
    chunk.WriteInt(m_BlendShapes.Names.Size());
    for (const XString& name : m_BlendShapes.Names)
        chunk.WriteString(name.CStr() ? name.CStr() : "");
    chunk.WriteInt(m_BlendShapes.Targets.Size());
    auto record = [&](CKDWORD vertex, const QxVector& a, const QxVector& b) {
        chunk.WriteDword(vertex);
        chunk.WriteVector(a);
        chunk.WriteVector(b);
    };
    for (const CKBlendShapeTarget& target : m_BlendShapes.Targets) {
        chunk.WriteDword(target.WeightIndex);
        chunk.WriteFloat(target.Pivot);
        chunk.WriteFloat(target.SlopeBelow);
        chunk.WriteFloat(target.SlopeAbove);
        chunk.WriteInt(target.Deltas.Size());
        for (const CKBlendShapeDelta& d : target.Deltas)
            record(d.Vertex, d.Position, d.Normal);
    }
    chunk.WriteInt(m_BlendShapes.BaseVertices.Size());
    for (const CKBlendShapeBaseVertex& b : m_BlendShapes.BaseVertices)
        record(b.Vertex, b.Position, b.Normal);
}

CKERROR RCKMesh::Refuse(const char* what)
{
    CKRenderLog(QXLOG_WARNING, __LINE__, "RCKMesh", "Mesh %s: %s; the mesh section is refused",
                GetName() ? GetName() : "", what);
    CKNoteLoadRefusal(this, "%s", what);
    // Nothing may name a vertex the load did not give.
    m_Faces.Free();
    m_FaceIndices.Free();
    m_Lines.Free();
    for (CKMeshChannel& channel : m_Channels) {
        channel.FaceIndices.Free();
        channel.MaterialIndices.Free();
        channel.Flags &= ~(CKCHANNEL_FACESUBSET | CKCHANNEL_MATERIALSUBSET);
    }
    m_BlendShapes = CKBlendShapeData();
    UpdateBlendShapeBounds();
    m_Flags &= ~CKMESH_FACENORMALSVALID;
    FacesChanged();
    return CKErr::InvalidFile;
}

CKERROR RCKMesh::Load(CKStateChunk* chunk, CKFile* file)
{
    if (!chunk)
        return CKErr::InvalidParameter;
    m_ModifiedDraws = 0;
    m_Draws = 0;
    CKERROR error = CKMesh::Load(chunk, file);
    if (error != CKErr::Ok)
        return error;
    error = LoadSections(*chunk, file);
    if (error != CKErr::Ok)
        return error;
    if (chunk->GetReadError() != CKErr::Ok)
        return Refuse("a section passes the end of the chunk");
    return CKErr::Ok;
}

CKERROR RCKMesh::LoadSections(CKStateChunk& chunk, CKFile* file)
{
    if (!file)
        m_Channels.Clear();
    if (chunk.SeekIdentifier(CK_STATESAVE_MESHFLAGS))
        SetFlags(chunk.ReadDword() & ~kFlagsNotLoaded);
    const bool patch = GetClassID() == CKCID_PATCHMESH;
    CKERROR older = CKErr::Ok;
    if (!patch && chunk.GetDataVersion() < CK_MESH_FIRSTCURRENTVERSION) {
        older = CKLoadOlderMeshData(this, &chunk, file);
    } else if (!patch) {
        // Stored group index -> the group it became.
        XArray<int> groupMap;
        bool found = false;
        Section s = Open(chunk, CK_STATESAVE_MESHMATERIALS, &found);
        if (found) {
            const int count = chunk.ReadInt();
            if (count < 0 || count > kMaxGroups || (long long) count * 2 > s.Left())
                return Refuse("the material group count does not fit its section");
            DeleteMaterialGroups();
            CKContext* context = GetCKContext();
            for (int i = 0; i < count; ++i) {
                CKObject* object = chunk.ReadObject(context);
                CKMaterial* material =
                    CKIsChildClassOfObject(object, CKCID_MATERIAL) ? static_cast<CKMaterial*>(object) : nullptr;
                chunk.ReadDword();
                int group = 0;
                if (i == 0 || material)
                    group = CreateMaterialGroup(material);
                groupMap.PushBack(group < 0 ? 0 : group);
            }
            if (m_MaterialGroups.Size() == 0)
                CreateMaterialGroup(nullptr);
        }
        CKDWORD vertexFlags = 0;
        {
            CKERROR e = LoadVertexSection(chunk, &vertexFlags);
            if (e != CKErr::Ok)
                return e;
            e = LoadFaceSections(chunk, groupMap);
            if (e != CKErr::Ok)
                return e;
            e = LoadLineSections(chunk);
            if (e != CKErr::Ok)
                return e;
        }
        // Stored render data are not read: the groups build theirs again
        // from the faces, which the loaded data could not contradict.
        FacesChanged();
        if (!(vertexFlags & CK_MESHVERTEX_NOPOSITIONS)) {
            if (vertexFlags & CK_MESHVERTEX_NONORMALS)
                BuildNormals();
            else
                BuildFaceNormals();
        }
    }
    if (!patch) {
        CKERROR e = LoadChannelSections(chunk, file);
        if (e != CKErr::Ok)
            return e;
    }
    // The older patch-mesh form keeps its patches under the blend shapes'
    // identifier: a patch mesh has blend shapes only beside the current form.
    if (!patch || chunk.SeekIdentifier(CK_STATESAVE_PATCHMESHDATA)) {
        CKERROR e = LoadBlendShapeSection(chunk);
        if (e != CKErr::Ok)
            return e;
    }
    CKERROR e = LoadWeightSection(chunk);
    if (e != CKErr::Ok)
        return e;
    LoadFaceChannelMasks(chunk);
    if (m_Flags & CKMESH_TANGENTS)
        BuildTangentVectors();
    m_Flags &= ~CKMESH_BOUNDINGUPTODATE;
    e = LoadProgressiveMeshSection(chunk);
    if (e != CKErr::Ok)
        return e;
    return older;
}

CKERROR RCKMesh::LoadProgressiveMeshSection(CKStateChunk& chunk)
{
    const int size = chunk.SeekIdentifierAndReturnSize(CK_STATESAVE_MESHPROGRESSIVE);
    if (size < 0)
        return DestroyPM();
    if (size < 12 || size % 4 != 0)
        return Refuse("the progressive-mesh section is not three words and whole entries");
    const int entries = (size - 12) / 4;
    if (entries != m_Vertices.Size())
        return Refuse("the progressive mesh has another vertex count than the mesh");
    const int rendered = chunk.ReadInt();
    const int morph = chunk.ReadInt();
    const int steps = chunk.ReadInt();
    const CKDWORD* words = chunk.LockReadBuffer(entries);
    if (!words)
        return Refuse("the progressive mesh passes the end of the chunk");
    XArray<int> targets(entries);
    targets.Resize(entries);
    if (entries > 0)
        std::memcpy(targets.Begin(), words, (size_t) entries * 4);
    chunk.Skip(entries);
    auto pm = std::make_unique<CKProgressiveMesh>();
    if (!pm->SetCollapseTargets(targets.Begin(), entries))
        return Refuse("a vertex of the progressive mesh collapses onto itself or a later vertex");
    // -1 (all drawn) is kept as it was saved.
    if (rendered >= 0)
        pm->SetVerticesRendered(rendered);
    pm->EnableGeoMorph(morph != 0);
    pm->SetGeoMorphStep(steps);
    m_ProgressiveMesh = std::move(pm);
    FacesChanged();
    return CKErr::Ok;
}

CKERROR RCKMesh::LoadVertexSection(CKStateChunk& chunk, CKDWORD* vertexFlags)
{
    *vertexFlags = 0;
    bool found = false;
    Section s = Open(chunk, CK_STATESAVE_MESHVERTICES, &found);
    if (!found)
        return CKErr::Ok;
    // The count is bounded by the block its flags describe, not by the
    // section: the compact form (no positions, one colour and one
    // coordinate for all) is five words whatever the count.
    const int n = chunk.ReadInt();
    if (n < 0)
        return Refuse("the vertex count is negative");
    if (n == 0) {
        SetVertexCount(0);
        return CKErr::Ok;
    }
    const CKDWORD vflags = chunk.ReadDword();
    const int blockWords = chunk.ReadInt();
    const long long expected = VertexBlockWords(n, vflags);
    if (blockWords != expected || expected > s.Left() + 1)
        return Refuse("the vertex block does not match its count and flags");
    if ((vflags & kNothingPerVertex) == kNothingPerVertex && n > kMaxUnstoredVertices)
        return Refuse("a vertex count without stored vertices is too large");
    SetVertexCount(n);
    *vertexFlags = vflags;
    const CKDWORD* w = chunk.LockReadBuffer((int) expected - 1);
    if (!w)
        return Refuse("the vertex block passes the end of the chunk");
    chunk.Skip((int) expected - 1);
    auto vec = [&](QxVector& v) {
        std::memcpy(&v.x, w, 4);
        std::memcpy(&v.y, w + 1, 4);
        std::memcpy(&v.z, w + 2, 4);
        w += 3;
    };
    if (!(vflags & CK_MESHVERTEX_NOPOSITIONS))
        for (CKVertex& v : m_Vertices)
            vec(v.Position);
    if (vflags & CK_MESHVERTEX_ONEDIFFUSE) {
        for (CKVertexColors& c : m_Colors)
            c.Diffuse = *w;
        ++w;
    } else {
        for (CKVertexColors& c : m_Colors)
            c.Diffuse = *w++;
    }
    if (vflags & CK_MESHVERTEX_ONESPECULAR) {
        for (CKVertexColors& c : m_Colors)
            c.Specular = *w;
        ++w;
    } else {
        for (CKVertexColors& c : m_Colors)
            c.Specular = *w++;
    }
    if (!(vflags & CK_MESHVERTEX_NONORMALS))
        for (CKVertex& v : m_Vertices)
            vec(v.Normal);
    const bool oneUV = vflags & CK_MESHVERTEX_ONEUV;
    for (CKVertex& v : m_Vertices) {
        std::memcpy(&v.u, w, 4);
        std::memcpy(&v.v, w + 1, 4);
        if (!oneUV)
            w += 2;
    }
    VertexMove();
    // The marks of NormalChanged and the others, the loaded flags kept.
    m_Flags |= CKMESH_NORMALCHANGED | CKMESH_COLORCHANGED | CKMESH_UVCHANGED;
    return CKErr::Ok;
}

CKERROR RCKMesh::LoadFaceSections(CKStateChunk& chunk, const XArray<int>& groupMap)
{
    bool found = false;
    bool wide = false;
    Section s = Open(chunk, CK_STATESAVE_MESHFACES, &found);
    if (!found) {
        s = Open(chunk, CK_STATESAVE_MESHFACES32, &found);
        wide = true;
    }
    if (!found)
        return CKErr::Ok;
    const int count = chunk.ReadInt();
    // Two words a face, or 12 bytes and a word (with the buffer's count).
    if (count < 0 || (long long) count * (wide ? 4 : 2) + (wide ? 1 : 0) > s.Left())
        return Refuse("the face count does not fit its section");
    XArray<CKDWORD> indices(count * 3);
    indices.Resize(count * 3);
    XArray<CKDWORD> groups(count);
    groups.Resize(count);
    if (wide) {
        if (chunk.ReadAndFillBuffer(indices.Begin(), count * 12) != count * 12)
            return Refuse("the face index buffer does not match the face count");
        for (int f = 0; f < count; ++f)
            groups[f] = chunk.ReadDword();
    } else {
        for (int f = 0; f < count; ++f) {
            const CKDWORD a = chunk.ReadDword(), b = chunk.ReadDword();
            indices[3 * f] = a & 0xFFFF;
            indices[3 * f + 1] = a >> 16;
            indices[3 * f + 2] = b & 0xFFFF;
            groups[f] = b >> 16;
        }
    }
    if (chunk.GetReadError() != CKErr::Ok)
        return Refuse("the faces pass the end of the chunk");
    const CKDWORD n = (CKDWORD) m_Vertices.Size();
    for (CKDWORD i : indices)
        if (i >= n)
            return Refuse("a face names a vertex beyond the vertex count");
    for (CKDWORD g : groups)
        if (groupMap.Size() > 0 && g >= (CKDWORD) groupMap.Size())
            return Refuse("a face names a material group beyond the stored groups");
    SetFaceCount(count);
    if (count > 0)
        std::memcpy(m_FaceIndices.Begin(), indices.Begin(), (size_t) count * 12);
    for (int f = 0; f < count; ++f)
        // Without a group section a face has no mapping: the default group.
        m_Faces[f].MaterialGroup = (CKWORD) (groupMap.Size() > 0 ? groupMap[(int) groups[f]] : 0);
    return CKErr::Ok;
}

CKERROR RCKMesh::LoadLineSections(CKStateChunk& chunk)
{
    bool found = false;
    bool wide = false;
    Section s = Open(chunk, CK_STATESAVE_MESHLINES, &found);
    if (!found) {
        s = Open(chunk, CK_STATESAVE_MESHLINES32, &found);
        wide = true;
    }
    if (!found)
        return CKErr::Ok;
    const int count = chunk.ReadInt();
    if (count < 0 || (long long) count * (wide ? 2 : 1) + 1 > s.Left())
        return Refuse("the line count does not fit its section");
    XArray<CKMeshLine> lines(count);
    lines.Resize(count);
    if (wide) {
        if (chunk.ReadAndFillBuffer(lines.Begin(), count * 8) != count * 8)
            return Refuse("the line buffer does not match the line count");
    } else {
        XArray<CKWORD> narrow(count * 2);
        narrow.Resize(count * 2);
        if (chunk.ReadAndFillBuffer(narrow.Begin(), count * 4) != count * 4)
            return Refuse("the line buffer does not match the line count");
        for (int i = 0; i < count; ++i)
            lines[i] = CKMeshLine{narrow[2 * i], narrow[2 * i + 1]};
    }
    const CKDWORD n = (CKDWORD) m_Vertices.Size();
    for (const CKMeshLine& line : lines)
        if (line.Vertex1 >= n || line.Vertex2 >= n)
            return Refuse("a line names a vertex beyond the vertex count");
    SetLineCount(count);
    if (count > 0)
        std::memcpy(m_Lines.Begin(), lines.Begin(), (size_t) count * 8);
    return CKErr::Ok;
}

CKERROR RCKMesh::LoadChannelSections(CKStateChunk& chunk, CKFile*)
{
    const int n = m_Vertices.Size();
    // Stored entry -> the channel it became (-1: none). Two texture
    // entries of one material become one channel, so the data section's
    // indices go through this table.
    XArray<int> loadedIndex;
    bool found = false;
    Section s = Open(chunk, CK_STATESAVE_MESHCHANNELS, &found);
    if (found) {
        const int count = chunk.ReadInt();
        if (count < 0 || (long long) count * 5 > s.Left())
            return Refuse("the channel count does not fit its section");
        CKContext* context = GetCKContext();
        for (int i = 0; i < count; ++i) {
            CKObject* object = chunk.ReadObject(context);
            CKMaterial* material =
                CKIsChildClassOfObject(object, CKCID_MATERIAL) ? static_cast<CKMaterial*>(object) : nullptr;
            const CKDWORD flags = chunk.ReadDword();
            const int a = chunk.ReadInt(), b = chunk.ReadInt();
            const int uvCount = chunk.ReadInt();
            if (uvCount < 0 || (long long) uvCount * 2 > s.Left())
                return Refuse("a channel's coordinate count does not fit its section");
            const int index = material ? AddChannel(material, TRUE) : -1;
            loadedIndex.PushBack(index);
            if (index >= 0) {
                if (uvCount != 0 && uvCount != n)
                    return Refuse("a channel's coordinate count differs from the vertex count");
                CKMeshChannel& channel = m_Channels[index];
                channel.SourceBlend = a;
                channel.DestBlend = b;
                // Through SetChannelFlags so that the buffers follow the flags.
                SetChannelFlags(index, flags);
                if (uvCount > 0) {
                    if (channel.Data.Size() < 2 * n) {
                        chunk.Skip(2 * uvCount);
                        continue;
                    }
                    const CKDWORD* w = chunk.LockReadBuffer(2 * uvCount);
                    if (!w)
                        return Refuse("a channel's coordinates pass the end of the chunk");
                    std::memcpy(channel.Data.Begin(), w, (size_t) uvCount * 8);
                    chunk.Skip(2 * uvCount);
                }
            } else {
                // A data channel (its type in the flags word), or a material
                // that no longer resolves, whose coordinates are dropped.
                if (a == 0 && b == 0 && flags >= 1 && flags <= 4)
                    loadedIndex[loadedIndex.Size() - 1] = AddChannelEx(nullptr, FALSE, (int) flags);
                chunk.Skip(2 * uvCount);
            }
        }
    }
    const bool channelsLoaded = found;
    s = Open(chunk, CK_STATESAVE_MESHCHANNELDATA, &found);
    if (found) {
        const int count = chunk.ReadInt();
        if (count < 0 || count > s.Left())
            return Refuse("the channel data count does not fit its section");
        for (int i = 0; i < count; ++i) {
            int index = chunk.ReadInt();
            if (channelsLoaded)
                index = index >= 0 && index < loadedIndex.Size() ? loadedIndex[index] : -1;
            if (!IsChannel(index) || m_Channels[index].Type == 0)
                return Refuse("channel data names a channel that does not exist or has no type");
            CKMeshChannel& channel = m_Channels[index];
            const int floats = CKChannelTypeStride(channel.Type) / 4 * n;
            if (floats > s.Left())
                return Refuse("channel data passes its section");
            if (floats == 0)
                continue;
            const CKDWORD* w = chunk.LockReadBuffer(floats);
            if (!w)
                return Refuse("channel data passes the end of the chunk");
            if (channel.Data.Size() >= floats && floats > 0)
                std::memcpy(channel.Data.Begin(), w, (size_t) floats * 4);
            chunk.Skip(floats);
        }
    }
    return CKErr::Ok;
}

CKERROR RCKMesh::LoadBlendShapeSection(CKStateChunk& chunk)
{
    bool found = false;
    Section s = Open(chunk, CK_STATESAVE_MESHBLENDSHAPES, &found);
    if (!found)
        return CKErr::Ok;
    const CKDWORD n = (CKDWORD) m_Vertices.Size();
    CKBlendShapeData data;
    const int names = chunk.ReadInt();
    if (names < 0 || names > s.Left())
        return Refuse("the blend-shape name count does not fit its section");
    data.Names.Reserve(names);
    for (int i = 0; i < names; ++i)
        data.Names.PushBack(chunk.ReadXString());
    auto record = [&](CKDWORD& vertex, QxVector& a, QxVector& b) {
        vertex = chunk.ReadDword();
        chunk.ReadVector(a);
        chunk.ReadVector(b);
        return vertex < n;
    };
    const int targets = chunk.ReadInt();
    if (targets < 0 || (long long) targets * 5 > s.Left())
        return Refuse("the blend-shape count does not fit its section");
    data.Targets.Reserve(targets);
    for (int t = 0; t < targets; ++t) {
        CKBlendShapeTarget target;
        target.WeightIndex = chunk.ReadDword();
        target.Pivot = chunk.ReadFloat();
        target.SlopeBelow = chunk.ReadFloat();
        target.SlopeAbove = chunk.ReadFloat();
        const int deltas = chunk.ReadInt();
        if (deltas < 0 || (long long) deltas * 7 > s.Left())
            return Refuse("a blend shape's delta count does not fit its section");
        target.Deltas.Resize(deltas);
        for (CKBlendShapeDelta& d : target.Deltas)
            if (!record(d.Vertex, d.Position, d.Normal) && chunk.GetReadError() == CKErr::Ok)
                return Refuse("a blend-shape delta names a vertex beyond the vertex count");
        data.Targets.PushBack(target);
    }
    const int bases = chunk.ReadInt();
    if (bases < 0 || (long long) bases * 7 > s.Left())
        return Refuse("the blend-shape base count does not fit its section");
    data.BaseVertices.Resize(bases);
    for (CKBlendShapeBaseVertex& b : data.BaseVertices)
        if (!record(b.Vertex, b.Position, b.Normal) && chunk.GetReadError() == CKErr::Ok)
            return Refuse("a blend-shape base vertex names a vertex beyond the vertex count");
    if (chunk.GetReadError() != CKErr::Ok)
        return Refuse("the blend shapes pass the end of the chunk");
    SetBlendShapes(data);
    return CKErr::Ok;
}

CKERROR RCKMesh::LoadWeightSection(CKStateChunk& chunk)
{
    const int size = chunk.SeekIdentifierAndReturnSize(CK_STATESAVE_MESHWEIGHTS);
    if (size <= 0)
        return CKErr::Ok;
    const int count = chunk.ReadInt();
    // Weights are per vertex: a count past the vertices is refused rather
    // than allocated (the one-value form has no size to check it against).
    if (count < 0 || count > std::max(m_Vertices.Size(), size / 4))
        return Refuse("the weight count does not fit the mesh");
    if (size < 9) {
        const float value = chunk.ReadFloat();
        SetVertexWeightsCount(count);
        for (float& w : m_VertexWeights)
            w = value;
        return CKErr::Ok;
    }
    XArray<float> weights(count);
    weights.Resize(count);
    if (chunk.ReadAndFillBuffer(weights.Begin(), count * 4) != count * 4)
        return Refuse("the weight buffer does not match the weight count");
    SetVertexWeightsCount(count);
    if (count > 0)
        std::memcpy(m_VertexWeights.Begin(), weights.Begin(), (size_t) count * 4);
    return CKErr::Ok;
}

void RCKMesh::LoadFaceChannelMasks(CKStateChunk& chunk)
{
    if (!chunk.SeekIdentifier(CK_STATESAVE_MESHFACECHANMASK))
        return;
    const int stored = chunk.ReadInt();
    const int faces = m_Faces.Size();
    if (stored < 0)
        return;
    const int pairs = std::min(stored, faces) / 2;
    for (int i = 0; i < pairs && chunk.GetReadError() == CKErr::Ok; ++i) {
        const CKDWORD w = chunk.ReadDword();
        m_Faces[2 * i].ChannelMask = (CKWORD) w;
        m_Faces[2 * i + 1].ChannelMask = (CKWORD) (w >> 16);
    }
    if (stored <= faces && (stored & 1) && faces > 0)
        m_Faces[faces - 1].ChannelMask = (CKWORD) chunk.ReadDword();
}

CKERROR RCKMesh::LoadVertices(CKStateChunk* chunk)
{
    if (!chunk)
        return CKErr::InvalidParameter;
    chunk->StartRead();
    if (chunk->GetDataVersion() < CK_MESH_FIRSTCURRENTVERSION)
        return Load(chunk, nullptr);
    CKDWORD vertexFlags = 0;
    CKERROR error = LoadVertexSection(*chunk, &vertexFlags);
    if (error != CKErr::Ok)
        return error;
    // The faces may name vertices the section no longer has.
    for (CKDWORD i : m_FaceIndices)
        if (i >= (CKDWORD) m_Vertices.Size())
            return Refuse("the faces name vertices the loaded vertex section lacks");
    return CKErr::Ok;
}

CKERROR RCKMesh::Copy(CKObject& source, CKDependenciesContext& context)
{
    CKERROR error = CKMesh::Copy(source, context);
    if (error != CKErr::Ok)
        return error;
    if (!CKIsChildClassOfObject(&source, CKCID_MESH))
        return CKErr::Ok;
    RCKMesh& s = static_cast<RCKMesh&>(source);
    if (&s == this)
        return CKErr::Ok;
    m_Flags = s.m_Flags & ~(CKMESH_UVCHANGED | CKMESH_NORMALCHANGED | CKMESH_COLORCHANGED | CKMESH_POSCHANGED);
    SetVertexCount(0);
    SetVertexCount(s.m_Vertices.Size());
    if (m_Vertices.Size() > 0) {
        std::memcpy(m_Vertices.Begin(), s.m_Vertices.Begin(), (size_t) m_Vertices.Size() * sizeof(CKVertex));
        std::memcpy(m_Colors.Begin(), s.m_Colors.Begin(), (size_t) m_Colors.Size() * sizeof(CKVertexColors));
    }
    DeleteMaterialGroups();
    for (const CKMaterialGroup* group : s.m_MaterialGroups) {
        const int index = CreateMaterialGroup(group->Material);
        if (index >= 0)
            m_MaterialGroups[index]->Flags = group->Flags;
    }
    if (m_MaterialGroups.Size() == 0)
        CreateMaterialGroup(nullptr);
    SetFaceCount(s.m_Faces.Size());
    if (m_Faces.Size() > 0) {
        std::memcpy(m_Faces.Begin(), s.m_Faces.Begin(), (size_t) m_Faces.Size() * sizeof(CKFace));
        std::memcpy(m_FaceIndices.Begin(), s.m_FaceIndices.Begin(), (size_t) m_FaceIndices.Size() * sizeof(CKDWORD));
    }
    m_Flags &= ~CKMESH_FACENORMALSVALID;
    FacesChanged();
    // The copy carries the lines and the channels' keys and restrictions
    // too, so that its sections equal the source's.
    m_Lines = s.m_Lines;
    m_Channels = s.m_Channels;
    m_VertexWeights = s.m_VertexWeights;
    m_BlendShapes = s.m_BlendShapes;
    m_BlendShapeExtent = s.m_BlendShapeExtent;
    m_BlendShapeBox = s.m_BlendShapeBox;
    m_BlendRecords.Free();
    m_Tangents.Free();
    m_Binormals.Free();
    m_TangentDeltas.Free();
    m_BaseTangents.Free();
    m_ProgressiveMesh.reset();
    if (s.m_ProgressiveMesh)
        m_ProgressiveMesh = std::make_unique<CKProgressiveMesh>(*s.m_ProgressiveMesh);
    if (m_Flags & CKMESH_TANGENTS)
        BuildTangentVectors();
    m_Flags &= ~CKMESH_BOUNDINGUPTODATE;
    StampRenderDataOutdated();
    return CKErr::Ok;
}
