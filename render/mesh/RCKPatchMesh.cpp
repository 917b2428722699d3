// The patch mesh's data: control points, edges, patches and texture
// records, and the mesh operations it answers from them.
#include "render/mesh/RCKPatchMesh.h"

#include <cstring>

#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/file/CKFile.h"
#include "core/object/CKClassRegistry.h"
#include "core/object/CKDependenciesContext.h"
#include "render/mesh/CKMaterial.h"

namespace {

// The material of an id, null when it names nothing or no material.
CKMaterial* MaterialOf(CKContext* context, CK_ID id)
{
    CKObject* object = id && context ? context->GetObject(id) : nullptr;
    return CKIsChildClassOfObject(object, CKCID_MATERIAL) ? static_cast<CKMaterial*>(object) : nullptr;
}

CK_ID IdOf(CKMaterial* material)
{
    return material ? material->GetID() : 0;
}

} // namespace

RCKPatchMesh::RCKPatchMesh(CKContext* context, const char* name) : CKPatchMesh(context, name)
{
    m_Records.PushBack(CKPatchChannel());
}

RCKPatchMesh::~RCKPatchMesh()
{
    Clear();
}

void RCKPatchMesh::Register()
{
    CKClassSetParameterGuid(m_ClassID, CKGUID(0x75FD45B5, 0x59E70E4B));
    CKClassNeedNotificationFrom(m_ClassID, CKMaterial::m_ClassID);
    CKClassSetCreationFlags(m_ClassID, 2);
}

CKPatchChannel* RCKPatchMesh::Record(int channel)
{
    return channel >= -1 && channel + 1 < m_Records.Size() ? &m_Records[channel + 1] : nullptr;
}

const CKPatchChannel* RCKPatchMesh::Record(int channel) const
{
    return channel >= -1 && channel + 1 < m_Records.Size() ? &m_Records[channel + 1] : nullptr;
}

int RCKPatchMesh::GetCornerVertex(int patch, int corner) const
{
    if (patch < 0 || corner < 0 || corner > 3 || 4 * patch + corner >= m_CornerVertex.Size())
        return -1;
    return m_CornerVertex[4 * patch + corner];
}

void RCKPatchMesh::FreeAuxPoints(CKPatch& patch)
{
    delete[] patch.auxPoints;
    patch.auxPoints = nullptr;
}

// Counts and records.

void RCKPatchMesh::SetIterationCount(int count)
{
    if (count < 0)
        count = 0;
    if (count == m_IterationCount)
        return;
    m_IterationCount = count;
    m_PatchFlags = (m_PatchFlags & ~CK_PATCHMESH_UPTODATE) | CK_PATCHMESH_BUILDNORMALS;
}

void RCKPatchMesh::CleanRenderMesh()
{
    RCKMesh::SetVertexCount(0);
    RCKMesh::SetFaceCount(0);
    FacesChanged();
    MarkMaterialsChanged();
    m_TopologyChanged = TRUE;
}

void RCKPatchMesh::Clear()
{
    m_Points.Free();
    for (CKPatch& patch : m_Patches)
        FreeAuxPoints(patch);
    m_Patches.Free();
    m_Records[0].texturePatches.Free();
    m_Records[0].textureVertices.Free();
    m_Records.Resize(1);
    m_CornerVertex.Free();
    m_DuplicateSources.Free();
    m_VertexCount = 0;
    m_VectorCount = 0;
    m_EvaluatedChannelCount = 1;
    m_TopologyChanged = TRUE;
    m_PatchFlags = CK_PATCHMESH_BUILDNORMALS;
}

void RCKPatchMesh::ResizePoints(int vertexCount, int vectorCount)
{
    m_Points.Free();
    m_VertexCount = vertexCount < 0 ? 0 : vertexCount;
    m_VectorCount = vectorCount < 0 ? 0 : vectorCount;
    const long long total = (long long) m_VertexCount + m_VectorCount;
    if (total > 0) {
        m_Points.Resize((int) total);
        std::memset(static_cast<void*>(m_Points.Begin()), 0, sizeof(QxVector) * (size_t) total);
    }
}

void RCKPatchMesh::SetVertVecCount(int vertexCount, int vectorCount)
{
    // Indices are 16 bits: larger counts could not be addressed.
    if (vertexCount > 0x10000 || vectorCount > 0x10000)
        return;
    ResizePoints(vertexCount, vectorCount);
    m_TopologyChanged = TRUE;
}

void RCKPatchMesh::SetVert(int index, const QxVector& position)
{
    if (index < 0 || index >= m_VertexCount)
        return;
    m_Points[index] = position;
    m_PatchFlags &= ~CK_PATCHMESH_UPTODATE;
}

void RCKPatchMesh::GetVert(int index, QxVector* position)
{
    if (position && index >= 0 && index < m_VertexCount)
        *position = m_Points[index];
}

void RCKPatchMesh::SetVec(int index, const QxVector& position)
{
    if (index < 0 || index >= m_VectorCount)
        return;
    m_Points[m_VertexCount + index] = position;
    m_PatchFlags &= ~CK_PATCHMESH_UPTODATE;
}

void RCKPatchMesh::GetVec(int index, QxVector* position)
{
    if (position && index >= 0 && index < m_VectorCount)
        *position = m_Points[m_VertexCount + index];
}

void RCKPatchMesh::SetEdgeCount(int count)
{
    if (count < 0 || count > 0x10000)
        return;
    const int old = m_Edges.Size();
    m_Edges.Resize(count);
    for (int i = old; i < count; ++i)
        m_Edges[i] = CKPatchEdge();
    m_TopologyChanged = TRUE;
}

void RCKPatchMesh::SetEdge(int index, const CKPatchEdge& edge)
{
    if (index < 0 || index >= m_Edges.Size())
        return;
    m_Edges[index] = edge;
    m_TopologyChanged = TRUE;
}

void RCKPatchMesh::GetEdge(int index, CKPatchEdge* edge)
{
    if (edge && index >= 0 && index < m_Edges.Size())
        *edge = m_Edges[index];
}

void RCKPatchMesh::SetPatchCount(int count)
{
    // Edges name patches by a signed 16-bit index.
    if (count < 0 || count > 0x8000)
        return;
    const int old = m_Patches.Size();
    for (int i = count; i < old; ++i)
        FreeAuxPoints(m_Patches[i]);
    m_Patches.Resize(count);
    for (int i = old; i < count; ++i)
        m_Patches[i] = CKPatch();
    m_TopologyChanged = TRUE;
}

void RCKPatchMesh::SetPatch(int index, const CKPatch& patch)
{
    if (index < 0 || index >= m_Patches.Size())
        return;
    FreeAuxPoints(m_Patches[index]);
    m_Patches[index] = patch;
    m_Patches[index].auxPoints = nullptr;
    m_TopologyChanged = TRUE;
}

void RCKPatchMesh::GetPatch(int index, CKPatch* patch)
{
    if (!patch || index < 0 || index >= m_Patches.Size())
        return;
    *patch = m_Patches[index];
    patch->auxPoints = nullptr;
}

CKDWORD RCKPatchMesh::GetPatchSmoothingGroup(int index)
{
    return index >= 0 && index < m_Patches.Size() ? m_Patches[index].smoothing : 0;
}

void RCKPatchMesh::SetPatchSmoothingGroup(int index, CKDWORD smoothing)
{
    if (index < 0 || index >= m_Patches.Size())
        return;
    m_Patches[index].smoothing = smoothing;
    m_TopologyChanged = TRUE;
}

CKMaterial* RCKPatchMesh::GetPatchMaterial(int index)
{
    return index >= 0 && index < m_Patches.Size() ? MaterialOf(m_Context, m_Patches[index].material) : nullptr;
}

void RCKPatchMesh::SetPatchMaterial(int index, CKMaterial* material)
{
    if (index < 0 || index >= m_Patches.Size())
        return;
    const CK_ID id = IdOf(material);
    if (m_Patches[index].material != id)
        MarkMaterialsChanged();
    m_Patches[index].material = id;
}

void RCKPatchMesh::SetTexturePatchCount(int count, int channel)
{
    CKPatchChannel* record = Record(channel);
    if (!record || count < 0 || count > 0x8000)
        return;
    // The mesh's own texture patches decide where seams split vertices.
    if (channel == -1)
        m_TopologyChanged = TRUE;
    if (count == 0) {
        record->texturePatches.Free();
        return;
    }
    const int old = record->texturePatches.Size();
    record->texturePatches.Resize(count);
    for (int i = old; i < count; ++i)
        record->texturePatches[i] = CKTexturePatch();
}

int RCKPatchMesh::GetTexturePatchCount(int channel)
{
    const CKPatchChannel* record = Record(channel);
    return record ? record->texturePatches.Size() : 0;
}

void RCKPatchMesh::SetTexturePatch(int index, const CKTexturePatch& patch, int channel)
{
    CKPatchChannel* record = Record(channel);
    if (record && index >= 0 && index < record->texturePatches.Size()) {
        record->texturePatches[index] = patch;
        if (channel == -1)
            m_TopologyChanged = TRUE;
    }
}

void RCKPatchMesh::GetTexturePatch(int index, CKTexturePatch* patch, int channel)
{
    const CKPatchChannel* record = Record(channel);
    if (patch && record && index >= 0 && index < record->texturePatches.Size())
        *patch = record->texturePatches[index];
}

CKTexturePatch* RCKPatchMesh::GetTexturePatches(int channel)
{
    CKPatchChannel* record = Record(channel);
    return record && record->texturePatches.Size() ? record->texturePatches.Begin() : nullptr;
}

void RCKPatchMesh::SetTextureVertexCount(int count, int channel)
{
    CKPatchChannel* record = Record(channel);
    if (!record || count < 0 || count > 0x10000)
        return;
    if (count == 0) {
        record->textureVertices.Free();
        return;
    }
    const int old = record->textureVertices.Size();
    record->textureVertices.Resize(count);
    for (int i = old; i < count; ++i)
        record->textureVertices[i] = CKPatchUV();
}

int RCKPatchMesh::GetTextureVertexCount(int channel)
{
    const CKPatchChannel* record = Record(channel);
    return record ? record->textureVertices.Size() : 0;
}

void RCKPatchMesh::SetTextureVertex(int index, float u, float v, int channel)
{
    CKPatchChannel* record = Record(channel);
    if (record && index >= 0 && index < record->textureVertices.Size()) {
        record->textureVertices[index].u = u;
        record->textureVertices[index].v = v;
    }
}

void RCKPatchMesh::GetTextureVertex(int index, float* u, float* v, int channel)
{
    const CKPatchChannel* record = Record(channel);
    if (!record || index < 0 || index >= record->textureVertices.Size())
        return;
    if (u)
        *u = record->textureVertices[index].u;
    if (v)
        *v = record->textureVertices[index].v;
}

CKPatchUV* RCKPatchMesh::GetTextureVertices(int channel)
{
    CKPatchChannel* record = Record(channel);
    return record && record->textureVertices.Size() ? record->textureVertices.Begin() : nullptr;
}

// Modifier vertices and coordinates.

void* RCKPatchMesh::GetModifierVertices(CKDWORD* stride)
{
    if (stride)
        *stride = sizeof(QxVector);
    return GetVerts();
}

void RCKPatchMesh::GetModifierVertex(int index, QxVector* position)
{
    if (position && index >= 0 && index < m_Points.Size())
        *position = m_Points[index];
}

void RCKPatchMesh::SetModifierVertex(int index, const QxVector& position)
{
    if (index >= 0 && index < m_Points.Size())
        m_Points[index] = position;
}

void RCKPatchMesh::ModifierVertexMove(CKBOOL rebuildNormals, CKBOOL)
{
    m_PatchFlags &= ~CK_PATCHMESH_UPTODATE;
    if (rebuildNormals)
        m_PatchFlags |= CK_PATCHMESH_BUILDNORMALS;
    else
        m_PatchFlags &= ~CK_PATCHMESH_BUILDNORMALS;
}

void* RCKPatchMesh::GetModifierUVs(CKDWORD* stride, int channel)
{
    if (stride)
        *stride = sizeof(CKPatchUV);
    return GetTextureVertices(channel);
}

int RCKPatchMesh::GetModifierUVCount(int channel)
{
    return GetTextureVertexCount(channel);
}

void RCKPatchMesh::GetModifierUV(int index, float* u, float* v, int channel)
{
    GetTextureVertex(index, u, v, channel);
}

void RCKPatchMesh::SetModifierUV(int index, float u, float v, int channel)
{
    SetTextureVertex(index, u, v, channel);
}

void RCKPatchMesh::ModifierUVMove(int)
{
    m_PatchFlags &= ~CK_PATCHMESH_UPTODATE;
}

// Materials.

void RCKPatchMesh::ReplaceMaterial(CKMaterial* oldMaterial, CKMaterial* newMaterial, CKBOOL merge)
{
    if (oldMaterial == newMaterial)
        return;
    const CK_ID oldId = IdOf(oldMaterial), newId = IdOf(newMaterial);
    for (CKPatch& patch : m_Patches)
        if (patch.material == oldId)
            patch.material = newId;
    RCKMesh::ReplaceMaterial(oldMaterial, newMaterial, merge);
    m_PatchFlags &= ~CK_PATCHMESH_MATERIALSUPTODATE;
}

void RCKPatchMesh::ApplyGlobalMaterial(CKMaterial* material)
{
    RCKMesh::ApplyGlobalMaterial(material);
    for (CKPatch& patch : m_Patches)
        patch.material = IdOf(material);
}

// Channels: record c + 1 is channel c, then the mesh's own channel follows.

int RCKPatchMesh::AddChannel(CKMaterial* material, CKBOOL copySourceUV)
{
    const int existing = GetChannelByMaterial(material);
    if (existing >= 0)
        return existing;
    CKPatchChannel record;
    record.material = IdOf(material);
    record.flags = CKCHANNEL_ACTIVE;
    record.sourceBlend = 1;
    record.destBlend = 3;
    const CKPatchChannel& first = m_Records[0];
    record.texturePatches.Resize(m_Patches.Size());
    for (int i = 0; i < m_Patches.Size(); ++i)
        record.texturePatches[i] =
            first.texturePatches.Size() == m_Patches.Size() ? first.texturePatches[i] : CKTexturePatch();
    record.textureVertices.Resize(first.textureVertices.Size());
    for (int i = 0; i < first.textureVertices.Size(); ++i)
        record.textureVertices[i] = copySourceUV ? first.textureVertices[i] : CKPatchUV();
    m_Records.PushBack(record);
    RCKMesh::AddChannel(material, copySourceUV);
    MarkMaterialsChanged();
    return m_Records.Size() - 2;
}

void RCKPatchMesh::RemoveChannel(int index)
{
    if (!Record(index) || index < 0)
        return;
    m_Records.RemoveAt(index + 1);
    MarkMaterialsChanged();
}

void RCKPatchMesh::RemoveChannelMaterial(CKMaterial* material)
{
    if (!material)
        return;
    for (int i = m_Records.Size() - 1; i >= 1; --i)
        if (m_Records[i].material == material->GetID())
            m_Records.RemoveAt(i);
    MarkMaterialsChanged();
    RCKMesh::RemoveChannelMaterial(material);
}

int RCKPatchMesh::GetChannelByMaterial(CKMaterial* material)
{
    const CK_ID id = IdOf(material);
    for (int i = 1; i < m_Records.Size(); ++i)
        if (m_Records[i].material == id)
            return i - 1;
    return -1;
}

void RCKPatchMesh::ActivateChannel(int index, CKBOOL active)
{
    if (CKPatchChannel* record = Record(index)) {
        if (active)
            record->flags |= CKCHANNEL_ACTIVE;
        else
            record->flags &= ~CKCHANNEL_ACTIVE;
    }
    RCKMesh::ActivateChannel(index, active);
}

CKBOOL RCKPatchMesh::IsChannelActive(int index)
{
    const CKPatchChannel* record = Record(index);
    return record && (record->flags & CKCHANNEL_ACTIVE) ? TRUE : FALSE;
}

void RCKPatchMesh::ActivateAllChannels(CKBOOL active)
{
    for (int i = 1; i < m_Records.Size(); ++i) {
        if (active)
            m_Records[i].flags |= CKCHANNEL_ACTIVE;
        else
            m_Records[i].flags &= ~CKCHANNEL_ACTIVE;
    }
    RCKMesh::ActivateAllChannels(active);
}

void RCKPatchMesh::LitChannel(int index, CKBOOL lit)
{
    if (CKPatchChannel* record = Record(index)) {
        if (lit)
            record->flags &= ~CKCHANNEL_NOTLIT;
        else
            record->flags |= CKCHANNEL_NOTLIT;
    }
    RCKMesh::LitChannel(index, lit);
}

CKBOOL RCKPatchMesh::IsChannelLit(int index)
{
    const CKPatchChannel* record = Record(index);
    return record && !(record->flags & CKCHANNEL_NOTLIT) ? TRUE : FALSE;
}

CKDWORD RCKPatchMesh::GetChannelFlags(int index)
{
    const CKPatchChannel* record = Record(index);
    return record ? record->flags : 0;
}

void RCKPatchMesh::SetChannelFlags(int index, CKDWORD flags)
{
    if (CKPatchChannel* record = Record(index))
        record->flags = flags;
    RCKMesh::SetChannelFlags(index, flags);
}

CKMaterial* RCKPatchMesh::GetChannelMaterial(int index)
{
    const CKPatchChannel* record = index >= 0 ? Record(index) : nullptr;
    return record ? MaterialOf(m_Context, record->material) : nullptr;
}

int RCKPatchMesh::GetChannelSourceBlend(int index)
{
    const CKPatchChannel* record = Record(index);
    return record ? record->sourceBlend : 0;
}

int RCKPatchMesh::GetChannelDestBlend(int index)
{
    const CKPatchChannel* record = Record(index);
    return record ? record->destBlend : 0;
}

void RCKPatchMesh::SetChannelMaterial(int index, CKMaterial* material)
{
    if (CKPatchChannel* record = Record(index))
        record->material = IdOf(material);
    RCKMesh::SetChannelMaterial(index, material);
}

void RCKPatchMesh::SetChannelSourceBlend(int index, int blend)
{
    if (CKPatchChannel* record = Record(index))
        record->sourceBlend = blend;
    RCKMesh::SetChannelSourceBlend(index, blend);
}

void RCKPatchMesh::SetChannelDestBlend(int index, int blend)
{
    if (CKPatchChannel* record = Record(index))
        record->destBlend = blend;
    RCKMesh::SetChannelDestBlend(index, blend);
}

// Object operations.

void RCKPatchMesh::PreSave(CKFile* file, CKDWORD flags)
{
    RCKMesh::PreSave(file, flags);
    if (!file)
        return;
    for (const CKPatch& patch : m_Patches)
        if (CKMaterial* material = MaterialOf(m_Context, patch.material))
            file->SaveObject(material, flags);
    for (int i = 1; i < m_Records.Size(); ++i)
        if (CKMaterial* material = MaterialOf(m_Context, m_Records[i].material))
            file->SaveObject(material, flags);
}

void RCKPatchMesh::CheckPostDeletion()
{
    RCKMesh::CheckPostDeletion();
    for (CKPatch& patch : m_Patches)
        if (patch.material && !MaterialOf(m_Context, patch.material)) {
            patch.material = 0;
            MarkMaterialsChanged();
        }
    for (int i = m_Records.Size() - 1; i >= 1; --i)
        if (!MaterialOf(m_Context, m_Records[i].material)) {
            m_Records.RemoveAt(i);
            MarkMaterialsChanged();
        }
}

int RCKPatchMesh::GetMemoryOccupation()
{
    int bytes = RCKMesh::GetMemoryOccupation() + (int) (sizeof(RCKPatchMesh) - sizeof(RCKMesh));
    bytes += m_Points.Capacity() * (int) sizeof(QxVector) + m_Edges.Capacity() * (int) sizeof(CKPatchEdge) +
             m_Patches.Capacity() * (int) sizeof(CKPatch);
    const CKPatchChannel& first = m_Records[0];
    bytes +=
        m_Records.Size() * ((int) sizeof(CKPatchChannel) + first.texturePatches.Size() * (int) sizeof(CKTexturePatch) +
                            first.textureVertices.Size() * (int) sizeof(CKPatchUV));
    return bytes;
}

CKERROR RCKPatchMesh::PrepareDependencies(CKDependenciesContext& context, CKBOOL caller)
{
    CKDependenciesContext::Scope scope = context.EnterDependencyScope(this, caller);
    CKERROR error = RCKMesh::PrepareDependencies(context, FALSE);
    if (error != CKErr::Ok)
        return error;
    if (!(context.GetClassDependencies(CKCID_MESH) & 1))
        return CKErr::Ok;
    // The patches' materials too: before a rebuild the groups lack them.
    for (const CKPatch& patch : m_Patches)
        if (CKMaterial* material = MaterialOf(m_Context, patch.material))
            material->PrepareDependencies(context, TRUE);
    for (int i = 1; i < m_Records.Size(); ++i)
        if (CKMaterial* material = MaterialOf(m_Context, m_Records[i].material))
            material->PrepareDependencies(context, TRUE);
    return CKErr::Ok;
}

CKERROR RCKPatchMesh::RemapDependencies(CKDependenciesContext& context)
{
    CKERROR error = RCKMesh::RemapDependencies(context);
    if (error != CKErr::Ok)
        return error;
    if (!(context.GetClassDependencies(CKCID_MESH) & 1))
        return CKErr::Ok;
    for (CKPatch& patch : m_Patches)
        patch.material = context.RemapID(patch.material);
    for (CKPatchChannel& record : m_Records)
        record.material = context.RemapID(record.material);
    MarkMaterialsChanged();
    return CKErr::Ok;
}

CKERROR RCKPatchMesh::Copy(CKObject& source, CKDependenciesContext& context)
{
    CKERROR error = CKBeObject::Copy(source, context);
    if (error != CKErr::Ok)
        return error;
    CKStateChunk* chunk = source.Save(nullptr, CK_STATESAVE_PATCHMESHONLY);
    if (!chunk)
        return CKErr::OutOfMemory;
    error = Load(chunk, nullptr);
    CKDeleteStateChunk(chunk);
    return error;
}

void RCKPatchMesh::AddToScene(CKScene* scene, CKBOOL dependencies)
{
    if (scene)
        RCKMesh::AddToScene(scene, dependencies);
}

void RCKPatchMesh::RemoveFromScene(CKScene* scene, CKBOOL dependencies)
{
    if (scene)
        RCKMesh::RemoveFromScene(scene, dependencies);
}
