// The mesh's extra channels and its blend-shape data.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "render/mesh/CKMaterial.h"
#include "render/mesh/CKProgressiveMesh.h"
#include "render/mesh/RCKMesh.h"

void RCKMesh::AllocateChannelBuffers(CKMeshChannel& channel)
{
    channel.Data.Free();
    channel.Colors.Free();
    const int n = m_Vertices.Size();
    if (n == 0)
        return;
    if (!(channel.Flags & CKCHANNEL_SAMEUV)) {
        channel.Data.Resize(CKChannelFloatCount(channel.Type, n));
        std::fill(channel.Data.Begin(), channel.Data.End(), 0.0f);
    }
    if (channel.Flags & CKCHANNEL_COLORS) {
        channel.Colors.Resize(n);
        std::fill(channel.Colors.Begin(), channel.Colors.End(), 0u);
    }
    channel.Flags &= ~CKCHANNEL_UPTODATE;
}

int RCKMesh::AddChannelEx(CKMaterial* material, CKBOOL copySourceUV, int type)
{
    if (type < 0 || type > 4)
        return -1;
    if (type == 0) {
        if (!material)
            return -1;
        const int existing = RCKMesh::GetChannelByMaterial(material);
        if (existing >= 0)
            return existing;
    }
    m_Channels.PushBack(CKMeshChannel());
    const int index = m_Channels.Size() - 1;
    m_Channels[index].Material = material;
    SetChannelType(index, type, TRUE);
    CKMeshChannel& channel = m_Channels[index];
    if (copySourceUV && channel.Data.Size() > 0) {
        const int floats = CKChannelTypeStride(type) / 4;
        for (int i = 0; i < m_Vertices.Size(); ++i) {
            channel.Data[i * floats] = m_Vertices[i].u;
            if (floats >= 2)
                channel.Data[i * floats + 1] = m_Vertices[i].v;
        }
    }
    StampRenderDataOutdated();
    return index;
}

void RCKMesh::RemoveChannel(int index)
{
    if (!IsChannel(index))
        return;
    m_Channels.RemoveAt(index);
    StampRenderDataOutdated();
}

int RCKMesh::GetChannelByMaterial(CKMaterial* material)
{
    for (int i = 0; i < m_Channels.Size(); ++i)
        if (m_Channels[i].Material == material)
            return i;
    return -1;
}

void RCKMesh::SetChannelKeys(int index, CKDWORD word, CKDWORD key)
{
    if (!IsChannel(index))
        return;
    m_Channels[index].Word = word;
    m_Channels[index].Key = key;
}

void RCKMesh::ActivateChannel(int index, CKBOOL active)
{
    if (!IsChannel(index))
        return;
    if (active)
        m_Channels[index].Flags |= CKCHANNEL_ACTIVE;
    else
        m_Channels[index].Flags &= ~CKCHANNEL_ACTIVE;
    StampRenderDataOutdated();
}

void RCKMesh::ActivateAllChannels(CKBOOL active)
{
    for (int i = 0; i < m_Channels.Size(); ++i)
        RCKMesh::ActivateChannel(i, active);
}

void RCKMesh::LitChannel(int index, CKBOOL lit)
{
    if (!IsChannel(index))
        return;
    if (lit)
        m_Channels[index].Flags &= ~CKCHANNEL_NOTLIT;
    else
        m_Channels[index].Flags |= CKCHANNEL_NOTLIT;
    StampRenderDataOutdated();
}

void RCKMesh::SetChannelFlags(int index, CKDWORD flags)
{
    if (!IsChannel(index))
        return;
    CKMeshChannel& channel = m_Channels[index];
    const int n = m_Vertices.Size();
    if (flags & CKCHANNEL_SAMEUV) {
        channel.Data.Free();
    } else if (channel.Data.Size() == 0 && n > 0) {
        channel.Data.Resize(CKChannelFloatCount(channel.Type, n));
        std::fill(channel.Data.Begin(), channel.Data.End(), 0.0f);
    }
    if (!(flags & CKCHANNEL_COLORS)) {
        channel.Colors.Free();
    } else if (channel.Colors.Size() == 0 && n > 0) {
        channel.Colors.Resize(n);
        std::fill(channel.Colors.Begin(), channel.Colors.End(), 0u);
    }
    channel.Flags = flags;
    StampRenderDataOutdated();
}

void RCKMesh::SetChannelMaterial(int index, CKMaterial* material)
{
    if (IsChannel(index) && m_Channels[index].Type == 0)
        m_Channels[index].Material = material;
}

void RCKMesh::SetChannelSourceBlend(int index, int blend)
{
    if (IsChannel(index))
        m_Channels[index].SourceBlend = blend;
}

void RCKMesh::SetChannelDestBlend(int index, int blend)
{
    if (IsChannel(index))
        m_Channels[index].DestBlend = blend;
}

void RCKMesh::SetChannelType(int index, int type, CKBOOL force)
{
    if (!IsChannel(index) || type < 0 || type > 4)
        return;
    CKMeshChannel& channel = m_Channels[index];
    if (!force && channel.Type == type)
        return;
    // A texture channel without material could not be saved: its entry
    // would read back as nothing and shift the channels after it.
    if (type == 0 && !channel.Material)
        return;
    channel.FaceIndices.Free();
    channel.MaterialIndices.Free();
    channel.Flags &= ~(CKCHANNEL_FACESUBSET | CKCHANNEL_MATERIALSUBSET);
    channel.Type = type;
    if (type != 0) {
        // Data channels are read by shaders, never lit or blended.
        channel.Flags |= CKCHANNEL_NOTLIT;
        channel.DestBlend = 1;
    }
    AllocateChannelBuffers(channel);
}

void RCKMesh::SetChannelData(int vertex, int channel, const float* values)
{
    if (!values || !IsChannel(channel) || !IsVertexIndex(vertex))
        return;
    CKMeshChannel& c = m_Channels[channel];
    const int floats = CKChannelTypeStride(c.Type) / 4;
    if (c.Data.Size() < (vertex + 1) * floats)
        return;
    std::memcpy(&c.Data[vertex * floats], values, (size_t) floats * sizeof(float));
    c.Flags &= ~CKCHANNEL_UPTODATE;
}

void RCKMesh::GetChannelData(int vertex, int channel, float* values)
{
    if (!values || !IsChannel(channel) || !IsVertexIndex(vertex))
        return;
    const CKMeshChannel& c = m_Channels[channel];
    const int floats = CKChannelTypeStride(c.Type) / 4;
    if (c.Data.Size() >= (vertex + 1) * floats)
        std::memcpy(values, &c.Data[vertex * floats], (size_t) floats * sizeof(float));
}

void RCKMesh::SetBlendShapes(const CKBlendShapeData& data)
{
    m_BlendShapes = data;
    m_LastBlendWeights.Free();
    m_TangentDeltas.Free();
    m_BaseTangents.Free();
    m_Flags &= ~CKMESH_BOUNDINGUPTODATE;
    UpdateBlendShapeBounds();
}

void RCKMesh::UpdateBlendShapeBounds()
{
    m_BlendShapeExtent = 0.0f;
    m_BlendShapeBox = QxBbox();
    m_BlendShapeBox.Max = QxVector();
    m_BlendShapeBox.Min = QxVector();
    const int n = m_Vertices.Size();
    if (n == 0 || (m_BlendShapes.Targets.Size() == 0 && m_BlendShapes.BaseVertices.Size() == 0))
        return;
    // The furthest a vertex can go each way when every target is applied
    // with its own sign only.
    XArray<QxVector> below(n), above(n);
    below.Resize(n);
    above.Resize(n);
    std::fill(below.Begin(), below.End(), QxVector());
    std::fill(above.Begin(), above.End(), QxVector());
    for (const CKBlendShapeTarget& target : m_BlendShapes.Targets)
        for (const CKBlendShapeDelta& d : target.Deltas) {
            if ((int) d.Vertex >= n)
                continue;
            const float c[3] = {d.Position.x, d.Position.y, d.Position.z};
            float* lo[3] = {&below[(int) d.Vertex].x, &below[(int) d.Vertex].y, &below[(int) d.Vertex].z};
            float* hi[3] = {&above[(int) d.Vertex].x, &above[(int) d.Vertex].y, &above[(int) d.Vertex].z};
            for (int k = 0; k < 3; ++k)
                *(c[k] < 0.0f ? lo[k] : hi[k]) += c[k];
        }
    for (int i = 0; i < n; ++i) {
        for (const QxVector* v : {&below[i], &above[i]}) {
            const float length = std::sqrt(v->x * v->x + v->y * v->y + v->z * v->z);
            m_BlendShapeExtent = std::max(m_BlendShapeExtent, length);
        }
    }
    for (const CKBlendShapeBaseVertex& base : m_BlendShapes.BaseVertices) {
        if ((int) base.Vertex >= n)
            continue;
        const QxVector a = base.Position + below[(int) base.Vertex];
        const QxVector b = base.Position + above[(int) base.Vertex];
        if (base.Vertex == 0) {
            m_BlendShapeBox.Max = a;
            m_BlendShapeBox.Min = a;
        } else {
            m_BlendShapeBox.Merge(a);
        }
        m_BlendShapeBox.Merge(b);
    }
}

void RCKMesh::RemoveChannelsByKey(CKDWORD key)
{
    if (key == 0)
        return;
    for (int i = m_Channels.Size() - 1; i >= 0; --i)
        if (m_Channels[i].Key == key)
            RCKMesh::RemoveChannel(i);
}

void RCKMesh::RemoveChannelMaterial(CKMaterial* material)
{
    if (!material)
        return;
    for (int i = m_Channels.Size() - 1; i >= 0; --i)
        if (m_Channels[i].Material == material)
            RCKMesh::RemoveChannel(i);
}

void RCKMesh::Clean(CKBOOL keepVertices)
{
    m_Faces.Free();
    m_FaceIndices.Free();
    m_Lines.Free();
    DeleteMaterialGroups();
    CreateMaterialGroup(nullptr);
    m_Channels.Free();
    StampRenderDataOutdated();
    if (keepVertices)
        return;
    m_Vertices.Free();
    m_Colors.Free();
    m_VertexWeights.Free();
    m_BlendRecords.Free();
    m_Tangents.Free();
    m_Binormals.Free();
    m_BlendShapes = CKBlendShapeData();
    m_TangentDeltas.Free();
    m_BaseTangents.Free();
    m_LastBlendWeights.Free();
    UpdateBlendShapeBounds();
    if (m_ProgressiveMesh)
        m_ProgressiveMesh->Resize(0);
    m_Flags &= ~CKMESH_BOUNDINGUPTODATE;
}

CKERROR RCKMesh::SetChannelFaceIndices(int channel, int count, const CKWORD* indices)
{
    if (!IsChannel(channel) || count < 0 || count % 3 != 0 || (count > 0 && !indices))
        return CKErr::InvalidParameter;
    for (int i = 0; i < count; ++i)
        if ((int) indices[i] >= m_Vertices.Size())
            return CKErr::InvalidParameter;
    CKMeshChannel& c = m_Channels[channel];
    c.MaterialIndices.Free();
    c.Flags &= ~CKCHANNEL_MATERIALSUBSET;
    if (!(c.Flags & CKCHANNEL_FACESUBSET) && count == 0)
        return CKErr::Ok;
    c.FaceIndices.Free();
    c.Flags &= ~(CKCHANNEL_FACESUBSET | CKCHANNEL_UPTODATE);
    if (count > 0 && count != m_FaceIndices.Size()) {
        c.FaceIndices.Resize(count);
        for (int i = 0; i < count; ++i)
            c.FaceIndices[i] = indices[i];
        c.Flags |= CKCHANNEL_FACESUBSET;
    }
    StampRenderDataOutdated();
    return CKErr::Ok;
}

CKERROR RCKMesh::SetChannelMaterials(int channel, const int* materials, int count)
{
    if (!IsChannel(channel) || count < 0 || (count > 0 && !materials))
        return CKErr::InvalidParameter;
    const int groups = m_MaterialGroups.Size();
    for (int i = 0; i < count; ++i) {
        if (materials[i] < 0 || materials[i] + 1 >= groups)
            return CKErr::InvalidParameter;
        for (int j = 0; j < i; ++j)
            if (materials[j] == materials[i])
                return CKErr::InvalidParameter;
    }
    CKMeshChannel& c = m_Channels[channel];
    c.FaceIndices.Free();
    c.MaterialIndices.Free();
    c.Flags &= ~(CKCHANNEL_FACESUBSET | CKCHANNEL_MATERIALSUBSET | CKCHANNEL_UPTODATE);
    StampRenderDataOutdated();
    if (count == groups - 1)
        return CKErr::Ok;
    // The corners of the faces of the listed groups, in face order.
    for (int i = 0; i < count; ++i)
        c.MaterialIndices.PushBack(materials[i]);
    c.Flags |= CKCHANNEL_FACESUBSET | CKCHANNEL_MATERIALSUBSET;
    for (int f = 0; f < m_Faces.Size(); ++f)
        for (int i = 0; i < count; ++i)
            if (m_Faces[f].MaterialGroup == materials[i] + 1) {
                for (int k = 0; k < 3; ++k)
                    c.FaceIndices.PushBack(m_FaceIndices[3 * f + k]);
                break;
            }
    return CKErr::Ok;
}

void RCKMesh::ReapplyChannelMaterials(int channel)
{
    if (!IsChannel(channel) || m_Channels[channel].MaterialIndices.Size() == 0)
        return;
    const XArray<int> kept = m_Channels[channel].MaterialIndices;
    SetChannelMaterials(channel, kept.Begin(), kept.Size());
}
