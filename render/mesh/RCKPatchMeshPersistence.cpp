// The patch mesh's section of a state chunk, after the mesh's own.
//
// Current form, under CK_STATESAVE_PATCHMESHDATA (32-bit little-endian
// words; 16-bit values two to a word, the first in the low half):
//   patch flags, iteration count, vector count,
//   12 x point count, point count, the points (x, y, z each, vertices first),
//   patch count and one material reference per patch (an object sequence),
//   per patch: type, smoothing mask, then v[4], vec[8], interior[4], edge[4]
//     (ten words),
//   12 x edge count, edge count, per edge startVertex, startVector,
//     endVector, endVertex, patch1, patch2 (three words),
//   channel record count and one material reference per record (an object
//     sequence), then per record: source blend, destination blend, flags,
//     8 x texture patch count, texture patch count, four indices each (two
//     words), 8 x texture vertex count, texture vertex count, u and v each.
// Arrays of no element write their two count words only.
//
// The older form, under CK_STATESAVE_PATCHMESHDATA_OLD: patch flags, one
// material reference for every patch, iteration count, vector count, the
// points as above, then byte size and count before each of: patches of 22
// words (type, v[4], vec[8], interior[4], an unused word, edge[4]), edges of
// six words, the texture patches (four words) and texture vertices (u, v) of
// the mesh's own coordinates, every index in the low half of its word; then,
// optionally, the smoothing masks (CK_STATESAVE_PATCHMESHSMOOTH: byte size,
// count, one word each) and the materials (CK_STATESAVE_PATCHMESHMATERIALS:
// count, one reference each) of the patches in order.
#include <cstring>

#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/file/CKFile.h"
#include "core/object/CKClassRegistry.h"
#include "core/object/XObjectArray.h"
#include "render/context/CKRenderGlobals.h"
#include "render/mesh/CKMaterial.h"
#include "render/mesh/RCKPatchMesh.h"
#include "render/objects/CKClassChunk.h"
#include "system/log/QxLogManager.h"

namespace {

constexpr int kPatchWords = 12;     // type, smoothing and ten words of indices
constexpr int kOldPatchWords = 22;  // the older form's patch record
constexpr int kOldEdgeWords = 6;    // ... its edge
constexpr int kMaxPatches = 0x8000; // edges name patches by a signed 16-bit index
constexpr int kMaxEdges = 0x10000;

CKDWORD Pack(short low, short high)
{
    return (CKDWORD) (CKWORD) low | ((CKDWORD) (CKWORD) high << 16);
}

void Unpack(CKDWORD word, short* low, short* high)
{
    *low = (short) (CKWORD) (word & 0xFFFF);
    *high = (short) (CKWORD) (word >> 16);
}

// The 20 index values of a patch, in file order.
short* PatchIndex(CKPatch& patch, int i)
{
    if (i < 4)
        return &patch.v[i];
    if (i < 12)
        return &patch.vec[i - 4];
    if (i < 16)
        return &patch.interior[i - 12];
    return &patch.edge[i - 16];
}

CKObject* ObjectOf(CKContext* context, CK_ID id)
{
    return id && context ? context->GetObject(id) : nullptr;
}

// The id of the material a loaded reference names, 0 for anything else.
CK_ID MaterialId(CKContext* context, CK_ID id)
{
    return CKIsChildClassOfObject(ObjectOf(context, id), CKCID_MATERIAL) ? id : 0;
}

// A count with its byte size before it: the count, or -1 when the size is
// not count x bytesPer, the count is out of range, or the data behind it is
// shorter than count x wordsPer words.
int ReadCountedArray(CKStateChunk& chunk, int bytesPer, int wordsPer, int maximum)
{
    const int bytes = chunk.ReadInt();
    const int count = chunk.ReadInt();
    if (count < 0 || count > maximum || (long long) count * bytesPer != bytes)
        return -1;
    if (count > 0 && !chunk.LockReadBuffer(count * wordsPer))
        return -1;
    return count;
}

} // namespace

CKERROR RCKPatchMesh::Refuse(const char* what)
{
    CKRenderLog(QXLOG_WARNING, __LINE__, "RCKPatchMesh", "Patch mesh %s: %s; the patch section is refused",
                GetName() ? GetName() : "", what);
    CKNoteLoadRefusal(this, "%s", what);
    Clear();
    m_Edges.Free();
    return CKErr::InvalidFile;
}

CKStateChunk* RCKPatchMesh::Save(CKFile* file, CKDWORD flags)
{
    return CKSaveClassChunk(this, CKPatchMesh::m_ClassID, RCKMesh::Save(file, flags), file, flags,
                            CK_STATESAVE_PATCHMESHONLY, [&](CKStateChunk& chunk) {
                                chunk.WriteIdentifier(CK_STATESAVE_PATCHMESHDATA);
                                chunk.WriteDword(m_PatchFlags);
                                chunk.WriteInt(m_IterationCount);
                                chunk.WriteInt(m_VectorCount);
                                chunk.WriteInt(12 * m_Points.Size());
                                chunk.WriteInt(m_Points.Size());
                                for (const QxVector& point : m_Points) {
                                    chunk.WriteFloat(point.x);
                                    chunk.WriteFloat(point.y);
                                    chunk.WriteFloat(point.z);
                                }
                                chunk.StartObjectIDSequence(m_Patches.Size());
                                for (const CKPatch& patch : m_Patches)
                                    chunk.WriteObjectSequenceItem(ObjectOf(m_Context, patch.material));
                                for (CKPatch patch : m_Patches) {
                                    chunk.WriteInt(patch.type);
                                    chunk.WriteDword(patch.smoothing);
                                    for (int i = 0; i < 20; i += 2)
                                        chunk.WriteDword(Pack(*PatchIndex(patch, i), *PatchIndex(patch, i + 1)));
                                }
                                chunk.WriteInt(12 * m_Edges.Size());
                                chunk.WriteInt(m_Edges.Size());
                                for (const CKPatchEdge& edge : m_Edges) {
                                    chunk.WriteDword(Pack(edge.startVertex, edge.startVector));
                                    chunk.WriteDword(Pack(edge.endVector, edge.endVertex));
                                    chunk.WriteDword(Pack(edge.patch1, edge.patch2));
                                }
                                chunk.StartObjectIDSequence(m_Records.Size());
                                for (const CKPatchChannel& record : m_Records)
                                    chunk.WriteObjectSequenceItem(ObjectOf(m_Context, record.material));
                                for (const CKPatchChannel& record : m_Records) {
                                    chunk.WriteInt(record.sourceBlend);
                                    chunk.WriteInt(record.destBlend);
                                    chunk.WriteDword(record.flags);
                                    chunk.WriteInt(8 * record.texturePatches.Size());
                                    chunk.WriteInt(record.texturePatches.Size());
                                    for (const CKTexturePatch& tp : record.texturePatches) {
                                        chunk.WriteDword(Pack(tp.tv[0], tp.tv[1]));
                                        chunk.WriteDword(Pack(tp.tv[2], tp.tv[3]));
                                    }
                                    chunk.WriteInt(8 * record.textureVertices.Size());
                                    chunk.WriteInt(record.textureVertices.Size());
                                    for (const CKPatchUV& uv : record.textureVertices) {
                                        chunk.WriteFloat(uv.u);
                                        chunk.WriteFloat(uv.v);
                                    }
                                }
                            });
}

CKERROR RCKPatchMesh::Load(CKStateChunk* chunk, CKFile* file)
{
    if (!chunk)
        return CKErr::InvalidParameter;
    CKERROR error = RCKMesh::Load(chunk, file);
    if (error != CKErr::Ok)
        return error;
    if (chunk->SeekIdentifier(CK_STATESAVE_PATCHMESHDATA)) {
        error = LoadCurrentForm(*chunk);
    } else if (chunk->SeekIdentifier(CK_STATESAVE_PATCHMESHDATA_OLD)) {
        error = LoadOlderForm(*chunk);
    } else {
        if (m_Context)
            m_Context->OutputToConsoleExBeep("%s : Obsolete version of PatchMesh format: Cannot Load",
                                             GetName() ? GetName() : "");
        CKNoteLoadRefusal(this, "an obsolete version of the patch-mesh format: its patches are not loaded");
    }
    if (error == CKErr::Ok && chunk->GetReadError() != CKErr::Ok)
        error = Refuse("a section passes the end of the chunk");
    BuildRenderMesh();
    return error;
}

bool RCKPatchMesh::ReadControlPoints(CKStateChunk& chunk)
{
    const int vectors = chunk.ReadInt();
    const int count = ReadCountedArray(chunk, 12, 3, 0x7FFFFFFF / 12);
    if (count < 0 || vectors < 0 || vectors > count)
        return false;
    m_Points.Resize(count);
    for (QxVector& p : m_Points) {
        p.x = chunk.ReadFloat();
        p.y = chunk.ReadFloat();
        p.z = chunk.ReadFloat();
    }
    m_VectorCount = vectors;
    m_VertexCount = count - vectors;
    return true;
}

CKERROR RCKPatchMesh::LoadCurrentForm(CKStateChunk& chunk)
{
    Clear();
    m_PatchFlags =
        (chunk.ReadDword() & ~(CK_PATCHMESH_UPTODATE | CK_PATCHMESH_MATERIALSUPTODATE)) | CK_PATCHMESH_BUILDNORMALS;
    SetIterationCount(chunk.ReadInt());
    if (!ReadControlPoints(chunk))
        return Refuse("the point count does not fit its size or the data");

    CKContext* context = GetCKContext();
    const XObjectArray materials = chunk.ReadXObjectArray();
    const int patches = materials.Size();
    if (patches > kMaxPatches || (patches > 0 && !chunk.LockReadBuffer(patches * kPatchWords)))
        return Refuse("the patch count does not fit the data");
    SetPatchCount(patches);
    for (int p = 0; p < patches; ++p) {
        CKPatch& patch = m_Patches[p];
        patch.material = MaterialId(context, materials.GetObjectID(p));
        patch.type = chunk.ReadInt();
        patch.smoothing = chunk.ReadDword();
        for (int i = 0; i < 20; i += 2)
            Unpack(chunk.ReadDword(), PatchIndex(patch, i), PatchIndex(patch, i + 1));
    }

    const int edges = ReadCountedArray(chunk, 12, 3, kMaxEdges);
    if (edges < 0)
        return Refuse("the edge count does not fit its size or the data");
    m_Edges.Free();
    m_Edges.Resize(edges);
    for (CKPatchEdge& edge : m_Edges) {
        Unpack(chunk.ReadDword(), &edge.startVertex, &edge.startVector);
        Unpack(chunk.ReadDword(), &edge.endVector, &edge.endVertex);
        Unpack(chunk.ReadDword(), &edge.patch1, &edge.patch2);
    }

    const XObjectArray channelMaterials = chunk.ReadXObjectArray();
    const int records = channelMaterials.Size();
    if (records < 1 || !chunk.LockReadBuffer(records * 7))
        return Refuse("the channel record count does not fit the data");
    m_Records.Resize(records);
    for (int r = 0; r < records; ++r) {
        CKPatchChannel& record = m_Records[r];
        record = CKPatchChannel();
        record.material = MaterialId(context, channelMaterials.GetObjectID(r));
        record.sourceBlend = chunk.ReadInt();
        record.destBlend = chunk.ReadInt();
        record.flags = chunk.ReadDword();
        const int tps = ReadCountedArray(chunk, 8, 2, kMaxPatches);
        if (tps < 0)
            return Refuse("a texture patch count does not fit its size or the data");
        record.texturePatches.Resize(tps);
        for (CKTexturePatch& tp : record.texturePatches) {
            Unpack(chunk.ReadDword(), &tp.tv[0], &tp.tv[1]);
            Unpack(chunk.ReadDword(), &tp.tv[2], &tp.tv[3]);
        }
        const int tvs = ReadCountedArray(chunk, 8, 2, 0x10000);
        if (tvs < 0)
            return Refuse("a texture vertex count does not fit its size or the data");
        record.textureVertices.Resize(tvs);
        for (CKPatchUV& uv : record.textureVertices) {
            uv.u = chunk.ReadFloat();
            uv.v = chunk.ReadFloat();
        }
    }
    if (!AreLoadedIndicesValid())
        return Refuse("an index names no element");
    return CKErr::Ok;
}

CKERROR RCKPatchMesh::LoadOlderForm(CKStateChunk& chunk)
{
    Clear();
    m_PatchFlags = (chunk.ReadDword() & ~CK_PATCHMESH_UPTODATE) | CK_PATCHMESH_BUILDNORMALS;
    CKContext* context = GetCKContext();
    const CK_ID material = MaterialId(context, chunk.ReadObjectID());
    SetIterationCount(chunk.ReadInt());
    if (!ReadControlPoints(chunk))
        return Refuse("the point count does not fit its size or the data");

    const int patches = ReadCountedArray(chunk, 4 * kOldPatchWords, kOldPatchWords, kMaxPatches);
    if (patches < 0)
        return Refuse("the patch count does not fit its size or the data");
    SetPatchCount(patches);
    for (CKPatch& patch : m_Patches) {
        patch.type = chunk.ReadInt();
        for (int i = 0; i < 20; ++i) {
            if (i == 16)
                chunk.ReadDword(); // unused
            *PatchIndex(patch, i) = (short) (CKWORD) chunk.ReadDword();
        }
        patch.material = material;
    }
    const int edges = ReadCountedArray(chunk, 4 * kOldEdgeWords, kOldEdgeWords, kMaxEdges);
    if (edges < 0)
        return Refuse("the edge count does not fit its size or the data");
    SetEdgeCount(edges);
    for (CKPatchEdge& edge : m_Edges) {
        short* fields[6] = {&edge.startVertex, &edge.startVector, &edge.endVector,
                            &edge.endVertex,   &edge.patch1,      &edge.patch2};
        for (short* field : fields)
            *field = (short) (CKWORD) chunk.ReadDword();
    }
    const int tps = ReadCountedArray(chunk, 16, 4, kMaxPatches);
    if (tps < 0)
        return Refuse("the texture patch count does not fit its size or the data");
    SetTexturePatchCount(tps, -1);
    for (CKTexturePatch& tp : m_Records[0].texturePatches)
        for (short& index : tp.tv)
            index = (short) (CKWORD) chunk.ReadDword();
    const int tvs = ReadCountedArray(chunk, 8, 2, 0x10000);
    if (tvs < 0)
        return Refuse("the texture vertex count does not fit its size or the data");
    SetTextureVertexCount(tvs, -1);
    for (CKPatchUV& uv : m_Records[0].textureVertices) {
        uv.u = chunk.ReadFloat();
        uv.v = chunk.ReadFloat();
    }

    if (chunk.SeekIdentifier(CK_STATESAVE_PATCHMESHSMOOTH)) {
        const int count = ReadCountedArray(chunk, 4, 1, kMaxPatches);
        if (count < patches)
            return Refuse("the smoothing list is shorter than the patches");
        for (int p = 0; p < count; ++p) {
            const CKDWORD mask = chunk.ReadDword();
            if (p < patches)
                m_Patches[p].smoothing = mask;
        }
    }
    if (chunk.SeekIdentifier(CK_STATESAVE_PATCHMESHMATERIALS)) {
        const int count = chunk.ReadInt();
        if (count < patches || count > kMaxPatches || (count > 0 && !chunk.LockReadBuffer(count)))
            return Refuse("the material list is shorter than the patches");
        for (int p = 0; p < count; ++p) {
            const CK_ID id = MaterialId(context, chunk.ReadObjectID());
            if (p < patches)
                m_Patches[p].material = id;
        }
    }
    if (!AreLoadedIndicesValid())
        return Refuse("an index names no element");
    return CKErr::Ok;
}

bool RCKPatchMesh::AreLoadedIndicesValid() const
{
    if (!IsTopologyValid())
        return false;
    const int patches = m_Patches.Size();
    for (const CKPatchChannel& record : m_Records) {
        if (record.texturePatches.Size() == 0)
            continue;
        if (record.texturePatches.Size() != patches)
            return false;
        for (int p = 0; p < patches; ++p) {
            const int corners = m_Patches[p].type == CK_PATCH_TRI ? 3 : 4;
            for (int k = 0; k < corners; ++k)
                if ((CKWORD) record.texturePatches[p].tv[k] >= record.textureVertices.Size())
                    return false;
        }
    }
    return true;
}

CKERROR RCKPatchMesh::LoadVertices(CKStateChunk* chunk)
{
    if (!chunk)
        return CKErr::InvalidParameter;
    chunk->StartRead();
    bool older = false;
    if (!chunk->SeekIdentifier(CK_STATESAVE_PATCHMESHDATA)) {
        if (!chunk->SeekIdentifier(CK_STATESAVE_PATCHMESHDATA_OLD)) {
            if (m_Context)
                m_Context->OutputToConsoleExBeep("%s : Obsolete version of PatchMesh format: Cannot Load",
                                                 GetName() ? GetName() : "");
            return CKErr::InvalidFile;
        }
        older = true;
    }
    const CKDWORD flags = chunk->ReadDword();
    if (older)
        chunk->ReadObjectID();
    chunk->ReadInt(); // the iteration count stays
    const int vectors = chunk->ReadInt();
    const int bytes = chunk->ReadInt();
    const int count = chunk->ReadInt();
    if (count != m_Points.Size() || vectors != m_VectorCount || (long long) count * 12 != bytes ||
        (count > 0 && !chunk->LockReadBuffer(3 * count))) {
        CKRenderLog(QXLOG_WARNING, __LINE__, "RCKPatchMesh",
                    "Patch mesh %s: the control points of the chunk differ from the mesh's; nothing loaded",
                    GetName() ? GetName() : "");
        return CKErr::InvalidFile;
    }
    m_PatchFlags = (flags & ~CK_PATCHMESH_UPTODATE) | CK_PATCHMESH_BUILDNORMALS;
    for (QxVector& p : m_Points) {
        p.x = chunk->ReadFloat();
        p.y = chunk->ReadFloat();
        p.z = chunk->ReadFloat();
    }
    m_VertexCount = count - vectors;
    return CKErr::Ok;
}
