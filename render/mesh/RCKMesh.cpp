// The mesh: its data, its accessors and change marks, its geometry
// transforms, bounds and normals, and its place among the engine's objects.
#include "render/mesh/RCKMesh.h"
#include "render/context/RenderCallbackList.h"

#include <climits>
#include <cmath>

#include "core/context/CKContext.h"
#include "core/object/CKClassRegistry.h"
#include "core/object/CKDependenciesContext.h"
#include "render/context/CKRenderGlobals.h"
#include "render/context/RCKRenderManager.h"
#include "render/mesh/CKMaterial.h"
#include "render/mesh/CKMaterialGroup.h"
#include "render/mesh/CKProgressiveMesh.h"
#include "render/mesh/MeshKernels.h"
#include "system/math/QxMatrixRotation.h"

namespace {

constexpr CKDWORD kMaterialOption = 1;

// Capacity steps of the vertex arrays.
int RoundUp4(int n)
{
    return n > INT_MAX - 3 ? n : (n + 3) & ~3;
}

// A unit vector, or the zero vector kept as it is.
QxVector Normalized(const QxVector& v)
{
    float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    return length > 0.0f ? QxVector(v.x / length, v.y / length, v.z / length) : v;
}

const QxVector kZeroVector;

} // namespace

RCKMesh::RCKMesh(CKContext* context, const char* name) : CKMesh(context, name)
{
    m_ObjectFlags = CK_OBJECT_VISIBLE;
    m_MaterialGroups.Reserve(2);
    CreateMaterialGroup(nullptr);
}

RCKMesh::~RCKMesh()
{
    RCKMesh::RemoveAllCallbacks();
    for (CKMaterialGroup* group : m_MaterialGroups)
        delete group;
}

void RCKMesh::DeleteMaterialGroups()
{
    for (CKMaterialGroup* group : m_MaterialGroups)
        delete group;
    m_MaterialGroups.Clear();
    m_VertexDataUploaded = 0;
    FacesChanged();
}

void RCKMesh::Register()
{
    CKClassSetParameterGuid(m_ClassID, CKGUID(0x24535345, 0x65D15229));
    // A material being deleted leaves the groups and channels that use it.
    CKClassNeedNotificationFrom(m_ClassID, CKMaterial::m_ClassID);
    CKClassSetCreationFlags(m_ClassID, 2);
}

const char* RCKMesh::GetDependencies(int index, int)
{
    return index == 0 ? "Material" : nullptr;
}

int RCKMesh::GetDependenciesCount(int mode)
{
    return mode == CK_DEPENDENCIES_COPY || mode == CK_DEPENDENCIES_DELETE || mode == CK_DEPENDENCIES_SAVE ? 1 : 0;
}

void RCKMesh::Show(CKDWORD show)
{
    CKMesh::Show(show);
    if (show & CKSHOW)
        m_Flags |= CKMESH_VISIBLE;
    else
        m_Flags &= ~CKMESH_VISIBLE;
}

void RCKMesh::CheckPreDeletion()
{
    CKMesh::CheckPreDeletion();
    // From the end: removing a group moves the ones above it down.
    for (int i = m_MaterialGroups.Size() - 1; i >= 1; --i) {
        CKMaterial* material = m_MaterialGroups[i]->Material;
        if (material && material->IsToBeDeleted())
            ReplaceMaterial(material, nullptr, FALSE);
    }
    for (int i = m_Channels.Size() - 1; i >= 0; --i)
        if (m_Channels[i].Material && m_Channels[i].Material->IsToBeDeleted())
            RCKMesh::RemoveChannel(i);
}

int RCKMesh::GetMemoryOccupation()
{
    int bytes = CKMesh::GetMemoryOccupation() + (int) (sizeof(RCKMesh) - sizeof(CKMesh));
    bytes += m_Vertices.Capacity() * (int) sizeof(CKVertex) + m_Faces.Capacity() * (int) sizeof(CKFace) +
             m_FaceIndices.Capacity() * (int) sizeof(CKDWORD) + m_Lines.Capacity() * (int) sizeof(CKMeshLine) +
             m_Colors.Capacity() * (int) sizeof(CKVertexColors) + m_VertexWeights.Capacity() * (int) sizeof(float) +
             m_BlendRecords.Capacity() * (int) sizeof(CKVertexBlendRecord) +
             (m_Tangents.Capacity() + m_Binormals.Capacity()) * (int) sizeof(QxVector);
    for (const CKMaterialGroup* group : m_MaterialGroups)
        bytes += group->GetMemoryOccupation();
    if (m_ProgressiveMesh)
        bytes += m_ProgressiveMesh->GetMemoryOccupation();
    if (m_RenderCallbacks)
        bytes += (int) sizeof(RenderCallbackList) +
                 (m_RenderCallbacks->GetPreCallbacks().Size() + m_RenderCallbacks->GetPostCallbacks().Size() +
                  (m_RenderCallbacks->GetRenderCallback() ? 1 : 0)) *
                     (int) sizeof(RenderCallbackRecord);
    return bytes;
}

CKBOOL RCKMesh::IsObjectUsed(CKObject* object, CK_CLASSID cid)
{
    if (object && cid == CKCID_MATERIAL)
        for (const CKMaterialGroup* group : m_MaterialGroups)
            if (group->Material == object)
                return TRUE;
    if (object && cid == CKCID_MATERIAL)
        for (const CKMeshChannel& channel : m_Channels)
            if (channel.Material == object)
                return TRUE;
    return CKMesh::IsObjectUsed(object, cid);
}

CKERROR RCKMesh::PrepareDependencies(CKDependenciesContext& context, CKBOOL caller)
{
    CKDependenciesContext::Scope scope = context.EnterDependencyScope(this, caller);
    CKERROR error = CKMesh::PrepareDependencies(context, FALSE);
    if (error != CKErr::Ok)
        return error;
    if (context.GetClassDependencies(CKCID_MESH) & kMaterialOption)
        for (CKMaterialGroup* group : m_MaterialGroups)
            if (group->Material)
                group->Material->PrepareDependencies(context, TRUE);
    if (context.GetClassDependencies(CKCID_MESH) & kMaterialOption)
        for (CKMeshChannel& channel : m_Channels)
            if (channel.Material)
                channel.Material->PrepareDependencies(context, TRUE);
    return CKErr::Ok;
}

CKERROR RCKMesh::RemapDependencies(CKDependenciesContext& context)
{
    CKERROR error = CKMesh::RemapDependencies(context);
    if (error != CKErr::Ok)
        return error;
    if (context.GetClassDependencies(CKCID_MESH) & kMaterialOption)
        for (CKMaterialGroup* group : m_MaterialGroups) {
            CKObject* image = context.Remap(group->Material);
            group->Material = CKIsChildClassOfObject(image, CKCID_MATERIAL) ? static_cast<CKMaterial*>(image) : nullptr;
        }
    if (context.GetClassDependencies(CKCID_MESH) & kMaterialOption)
        for (CKMeshChannel& channel : m_Channels) {
            CKObject* image = context.Remap(channel.Material);
            channel.Material =
                CKIsChildClassOfObject(image, CKCID_MATERIAL) ? static_cast<CKMaterial*>(image) : nullptr;
        }
    return CKErr::Ok;
}

void RCKMesh::AddToScene(CKScene* scene, CKBOOL dependencies)
{
    CKMesh::AddToScene(scene, dependencies);
    if (dependencies)
        for (CKMaterialGroup* group : m_MaterialGroups)
            if (group->Material)
                group->Material->AddToScene(scene, dependencies);
}

void RCKMesh::RemoveFromScene(CKScene* scene, CKBOOL dependencies)
{
    CKMesh::RemoveFromScene(scene, dependencies);
    if (dependencies)
        for (CKMaterialGroup* group : m_MaterialGroups)
            if (group->Material)
                group->Material->RemoveFromScene(scene, dependencies);
}

void RCKMesh::SetTransparent(CKBOOL transparent)
{
    if (transparent)
        m_Flags |= CKMESH_FORCETRANSPARENCY;
    else
        m_Flags &= ~CKMESH_FORCETRANSPARENCY;
}

void RCKMesh::SetWrapMode(int mode)
{
    m_Flags &= ~(CKMESH_WRAPV | CKMESH_WRAPU);
    if (mode & CKMESH_WRAP_V)
        m_Flags |= CKMESH_WRAPV;
    if (mode & CKMESH_WRAP_U)
        m_Flags |= CKMESH_WRAPU;
}

int RCKMesh::GetWrapMode()
{
    return ((m_Flags & CKMESH_WRAPV) ? CKMESH_WRAP_V : 0) | ((m_Flags & CKMESH_WRAPU) ? CKMESH_WRAP_U : 0);
}

void RCKMesh::SetLitMode(int mode)
{
    if (mode == 0)
        m_Flags |= CKMESH_PRELITMODE;
    else
        m_Flags &= ~CKMESH_PRELITMODE;
    StampRenderDataOutdated();
}

void RCKMesh::StampRenderDataOutdated()
{
    // A stamp newer than every preparation so far.
    m_ChangeStamp = (int) ++CKGetRenderGlobals().m_ChangeStamp;
}

void RCKMesh::SetFlags(CKDWORD flags)
{
    const CKDWORD changed = m_Flags ^ flags;
    if ((changed & CKMESH_TANGENTS) && !(flags & CKMESH_TANGENTS)) {
        m_Tangents.Free();
        m_Binormals.Free();
        m_TangentDeltas.Free();
        m_BaseTangents.Free();
    }
    if (changed & (CKMESH_TANGENTS | CKMESH_RENDERVARIANT)) {
        m_RenderStamp = -1;
        StampRenderDataOutdated();
    }
    m_Flags = flags;
    if ((changed & CKMESH_TANGENTS) && (flags & CKMESH_TANGENTS))
        BuildTangentVectors();
    if (flags & CKMESH_VISIBLE)
        m_ObjectFlags |= CK_OBJECT_VISIBLE;
    else
        m_ObjectFlags &= ~CK_OBJECT_VISIBLE;
}

void RCKMesh::ModifierVertexMove(CKBOOL rebuildNormals, CKBOOL rebuildFaceNormals)
{
    if (m_Flags & CKMESH_TANGENTS)
        BuildTangentVectors();
    if (GetLitMode() == 1 && rebuildNormals)
        BuildNormals();
    else if (rebuildNormals || rebuildFaceNormals)
        m_Flags &= ~CKMESH_FACENORMALSVALID;
    VertexMove();
}

CKBOOL RCKMesh::SetVertexCount(int count)
{
    if (count < 0)
        count = 0;
    const int old = m_Vertices.Size();
    if (count == old)
        return TRUE;
    if (count > 0) {
        if (m_Vertices.Capacity() < count)
            m_Vertices.Reserve(RoundUp4(count));
        if (m_Colors.Capacity() < count)
            m_Colors.Reserve(RoundUp4(count));
        m_Vertices.Resize(count);
        m_Colors.Resize(count);
        for (int i = old; i < count; ++i) {
            m_Vertices[i] = CKVertex();
            m_Colors[i] = CKVertexColors();
        }
    } else {
        m_Vertices.Free();
        m_Colors.Free();
    }
    if (m_VertexWeights.Size() > 0)
        SetVertexWeightsCount(count);
    // The channels' data and the blend shapes named the old vertices.
    for (CKMeshChannel& channel : m_Channels)
        AllocateChannelBuffers(channel);
    m_BlendShapes = CKBlendShapeData();
    UpdateBlendShapeBounds();
    if (m_ProgressiveMesh)
        m_ProgressiveMesh->Resize(count);
    m_Flags &= ~CKMESH_BOUNDINGUPTODATE;
    // The primitives name vertices by number: built again before they are
    // drawn, so that none reads past the new count.
    FacesChanged();
    return TRUE;
}

void RCKMesh::SetVertexColor(int index, CKDWORD color)
{
    if (!IsVertexIndex(index))
        return;
    m_Colors[index].Diffuse = color;
    ColorChanged();
}

void RCKMesh::SetVertexSpecularColor(int index, CKDWORD color)
{
    if (!IsVertexIndex(index))
        return;
    m_Colors[index].Specular = color;
    ColorChanged();
}

void RCKMesh::SetVertexNormal(int index, const QxVector& normal)
{
    if (!IsVertexIndex(index))
        return;
    m_Vertices[index].Normal = normal;
    NormalChanged();
}

void RCKMesh::SetVertexPosition(int index, const QxVector& position)
{
    if (!IsVertexIndex(index))
        return;
    m_Vertices[index].Position = position;
    VertexMove();
}

void RCKMesh::SetVertexTextureCoordinates(int index, float u, float v, int channel)
{
    if (channel != -1) {
        if (!IsChannel(channel) || !IsVertexIndex(index))
            return;
        CKMeshChannel& c = m_Channels[channel];
        const int floats = CKChannelTypeStride(c.Type) / 4;
        if (floats < 2 || c.Data.Size() < (index + 1) * floats)
            return;
        c.Data[index * floats] = u;
        c.Data[index * floats + 1] = v;
        c.Flags &= ~CKCHANNEL_UPTODATE;
        return;
    }
    if (!IsVertexIndex(index))
        return;
    m_Vertices[index].u = u;
    m_Vertices[index].v = v;
    UVChanged(-1);
}

void* RCKMesh::GetColorsPtr(CKDWORD* stride, int channel)
{
    if (channel != -1) {
        if (!IsChannel(channel) || m_Channels[channel].Colors.Size() == 0)
            return nullptr;
        if (stride)
            *stride = sizeof(CKDWORD);
        return m_Channels[channel].Colors.Begin();
    }
    if (stride)
        *stride = sizeof(CKVertexColors);
    return m_Colors.Begin();
}

void* RCKMesh::GetSpecularColorsPtr(CKDWORD* stride)
{
    if (stride)
        *stride = sizeof(CKVertexColors);
    return m_Colors.Size() ? &m_Colors.Begin()->Specular : nullptr;
}

void* RCKMesh::GetNormalsPtr(CKDWORD* stride)
{
    if (stride)
        *stride = sizeof(CKVertex);
    return m_Vertices.Size() ? &m_Vertices.Begin()->Normal : nullptr;
}

void* RCKMesh::GetPositionsPtr(CKDWORD* stride)
{
    if (stride)
        *stride = sizeof(CKVertex);
    return m_Vertices.Size() ? &m_Vertices.Begin()->Position : nullptr;
}

void* RCKMesh::GetTextureCoordinatesPtr(CKDWORD* stride, int channel)
{
    if (channel != -1) {
        if (!IsChannel(channel) || m_Channels[channel].Data.Size() == 0)
            return nullptr;
        if (stride)
            *stride = (CKDWORD) CKChannelTypeStride(m_Channels[channel].Type);
        return m_Channels[channel].Data.Begin();
    }
    if (stride)
        *stride = sizeof(CKVertex);
    return m_Vertices.Size() ? &m_Vertices.Begin()->u : nullptr;
}

CKDWORD RCKMesh::GetVertexColor(int index)
{
    return IsVertexIndex(index) ? m_Colors[index].Diffuse : 0;
}

CKDWORD RCKMesh::GetVertexSpecularColor(int index)
{
    return IsVertexIndex(index) ? m_Colors[index].Specular : 0;
}

void RCKMesh::GetVertexNormal(int index, QxVector* normal)
{
    if (normal && IsVertexIndex(index))
        *normal = m_Vertices[index].Normal;
}

void RCKMesh::GetVertexPosition(int index, QxVector* position)
{
    if (position && IsVertexIndex(index))
        *position = m_Vertices[index].Position;
}

void RCKMesh::GetVertexTextureCoordinates(int index, float* u, float* v, int channel)
{
    if (channel != -1) {
        if (!IsChannel(channel) || !IsVertexIndex(index))
            return;
        const CKMeshChannel& c = m_Channels[channel];
        const int floats = CKChannelTypeStride(c.Type) / 4;
        if (c.Data.Size() < (index + 1) * floats)
            return;
        if (u)
            *u = c.Data[index * floats];
        if (v && floats >= 2)
            *v = c.Data[index * floats + 1];
        return;
    }
    if (!IsVertexIndex(index))
        return;
    if (u)
        *u = m_Vertices[index].u;
    if (v)
        *v = m_Vertices[index].v;
}

void RCKMesh::TranslateVertices(const QxVector& offset)
{
    CKDWORD stride = 0;
    CKBYTE* p = static_cast<CKBYTE*>(GetModifierVertices(&stride));
    const int count = GetModifierVertexCount();
    for (int i = 0; p && i < count; ++i, p += stride)
        *reinterpret_cast<QxVector*>(p) += offset;
    ModifierVertexMove(TRUE, FALSE);
}

void RCKMesh::ScaleVertices3f(float x, float y, float z, const QxVector* pivot)
{
    ScaleVertices(QxVector(x, y, z), pivot);
}

void RCKMesh::ScaleVertices(const QxVector& scale, const QxVector* pivot)
{
    const QxVector center = pivot ? *pivot : QxVector();
    CKDWORD stride = 0;
    CKBYTE* p = static_cast<CKBYTE*>(GetModifierVertices(&stride));
    const int count = GetModifierVertexCount();
    for (int i = 0; p && i < count; ++i, p += stride) {
        QxVector& position = *reinterpret_cast<QxVector*>(p);
        position = center + (position - center) * scale;
    }
    CKDWORD normalStride = 0;
    CKBYTE* n = static_cast<CKBYTE*>(GetNormalsPtr(&normalStride));
    if (!n || CKIsChildClassOfObject(this, CKCID_PATCHMESH)) {
        ModifierVertexMove(TRUE, TRUE);
        return;
    }
    for (int i = 0; i < m_Vertices.Size(); ++i, n += normalStride) {
        QxVector& normal = *reinterpret_cast<QxVector*>(n);
        normal = Normalized(normal * scale);
    }
    ModifierVertexMove(FALSE, TRUE);
}

void RCKMesh::RotateVertices(const QxVector& axis, float angle)
{
    QxMatrix rotation;
    QxMatrixFromAxisAngle(rotation, axis, angle);
    CKDWORD stride = 0;
    CKBYTE* p = static_cast<CKBYTE*>(GetModifierVertices(&stride));
    const int count = GetModifierVertexCount();
    for (int i = 0; p && i < count; ++i, p += stride) {
        QxVector& position = *reinterpret_cast<QxVector*>(p);
        QxVector rotated;
        QxMultiplyMatrixVector(rotated, rotation, position);
        position = rotated;
    }
    ModifierVertexMove(TRUE, FALSE);
}

void RCKMesh::VertexMove()
{
    m_Flags = (m_Flags & ~CKMESH_BOUNDINGUPTODATE) | CKMESH_POSCHANGED;
    m_VertexDataUploaded = 0;
}

void RCKMesh::UVChanged(int channel)
{
    if (channel != -1) {
        if (IsChannel(channel))
            m_Channels[channel].Flags &= ~CKCHANNEL_UPTODATE;
        return;
    }
    m_Flags |= CKMESH_UVCHANGED;
    // The coordinates are in the mesh's own vertex buffers too.
    m_VertexDataUploaded = 0;
}

void RCKMesh::NormalChanged()
{
    m_Flags = (m_Flags | CKMESH_NORMALCHANGED) & ~CKMESH_GENNORMALS;
    m_VertexDataUploaded = 0;
}

void RCKMesh::ColorChanged()
{
    m_Flags |= CKMESH_COLORCHANGED;
    m_VertexDataUploaded = 0;
}

CKBOOL RCKMesh::SetFaceCount(int count)
{
    if (count < 0)
        count = 0;
    if (count > INT_MAX / 3)
        return FALSE;
    const int old = m_Faces.Size();
    if (count > 0) {
        m_Faces.Resize(count);
        m_FaceIndices.Resize(3 * count);
        for (int f = old; f < count; ++f) {
            m_Faces[f] = CKFace();
            CKDWORD* corners = m_FaceIndices.Begin() + 3 * f;
            corners[0] = corners[1] = corners[2] = 0;
        }
    } else {
        m_Faces.Free();
        m_FaceIndices.Free();
    }
    m_Flags &= ~CKMESH_FACENORMALSVALID;
    StampRenderDataOutdated();
    FacesChanged();
    return TRUE;
}

void RCKMesh::GetFaceVertexIndex(int face, int& vertex1, int& vertex2, int& vertex3)
{
    if (face < 0 || face >= m_Faces.Size())
        return;
    const CKDWORD* corners = m_FaceIndices.Begin() + 3 * face;
    vertex1 = (int) corners[0];
    vertex2 = (int) corners[1];
    vertex3 = (int) corners[2];
}

CKMaterial* RCKMesh::GetFaceMaterial(int face)
{
    if (face < 0 || face >= m_Faces.Size())
        return nullptr;
    CKMaterialGroup* group = GetMaterialGroup(m_Faces[face].MaterialGroup);
    return group ? group->Material : nullptr;
}

const QxVector& RCKMesh::GetFaceNormal(int face)
{
    if (face < 0 || face >= m_Faces.Size())
        return kZeroVector;
    if (!(m_Flags & CKMESH_FACENORMALSVALID))
        BuildFaceNormals();
    return m_Faces[face].Normal;
}

CKVertex* RCKMesh::GetFaceVertex(int face, int corner)
{
    if (face < 0 || face >= m_Faces.Size() || corner < 0 || corner > 2)
        return nullptr;
    const CKDWORD v = m_FaceIndices.Begin()[3 * face + corner];
    return v < (CKDWORD) m_Vertices.Size() ? m_Vertices.Begin() + v : nullptr;
}

void* RCKMesh::GetFaceNormalsPtr(CKDWORD* stride)
{
    if (!(m_Flags & CKMESH_FACENORMALSVALID))
        BuildFaceNormals();
    if (stride)
        *stride = sizeof(CKFace);
    return m_Faces.Size() ? &m_Faces.Begin()->Normal : nullptr;
}

CKERROR RCKMesh::SetFaceVertexIndex(int face, int vertex1, int vertex2, int vertex3)
{
    if (face < 0 || face >= m_Faces.Size() || !IsVertexIndex(vertex1) || !IsVertexIndex(vertex2) ||
        !IsVertexIndex(vertex3))
        return CKErr::InvalidParameter;
    CKDWORD* corners = m_FaceIndices.Begin() + 3 * face;
    corners[0] = (CKDWORD) vertex1;
    corners[1] = (CKDWORD) vertex2;
    corners[2] = (CKDWORD) vertex3;
    m_Flags &= ~CKMESH_FACENORMALSVALID;
    FacesChanged();
    return CKErr::Ok;
}

void RCKMesh::SetLineCount(int count)
{
    if (count < 0)
        count = 0;
    const int old = m_Lines.Size();
    m_Lines.Resize(count);
    for (int i = old; i < count; ++i)
        m_Lines[i] = CKMeshLine();
}

CKERROR RCKMesh::SetLine(int line, int vertex1, int vertex2)
{
    if (line < 0 || line >= m_Lines.Size() || !IsVertexIndex(vertex1) || !IsVertexIndex(vertex2))
        return CKErr::InvalidParameter;
    m_Lines[line] = CKMeshLine{(CKDWORD) vertex1, (CKDWORD) vertex2};
    return CKErr::Ok;
}

void RCKMesh::GetLine(int line, int* vertex1, int* vertex2)
{
    if (line < 0 || line >= m_Lines.Size())
        return;
    if (vertex1)
        *vertex1 = (int) m_Lines[line].Vertex1;
    if (vertex2)
        *vertex2 = (int) m_Lines[line].Vertex2;
}

CKERROR RCKMesh::CreateLineStrip(int firstLine, int count, int firstVertex)
{
    if (count <= 0 || firstLine < 0 || firstLine > m_Lines.Size() - count || firstVertex < 0 ||
        firstVertex >= m_Vertices.Size() - count)
        return CKErr::InvalidParameter;
    for (int i = 0; i < count; ++i)
        m_Lines[firstLine + i] = CKMeshLine{(CKDWORD) (firstVertex + i), (CKDWORD) (firstVertex + i + 1)};
    return CKErr::Ok;
}

void RCKMesh::InverseWinding()
{
    CKDWORD* corners = m_FaceIndices.Begin();
    for (int f = 0; f < m_Faces.Size(); ++f, corners += 3) {
        const CKDWORD second = corners[1];
        corners[1] = corners[2];
        corners[2] = second;
        m_Faces[f].Normal = -m_Faces[f].Normal;
    }
    for (CKVertex& vertex : m_Vertices)
        vertex.Normal = -vertex.Normal;
    FacesChanged();
    ModifierVertexMove(FALSE, FALSE);
}

void RCKMesh::UpdateBoundingVolumes()
{
    const int count = m_Vertices.Size();
    if (count == 0) {
        m_BaryCenter = QxVector();
        m_Radius = 0.0f;
        m_LocalBox = QxBbox();
    } else {
        const CKVertex* v = m_Vertices.Begin();
        QxBbox box(v[0].Position, v[0].Position);
        double sx = 0.0, sy = 0.0, sz = 0.0;
        for (int i = 0; i < count; ++i) {
            box.Merge(v[i].Position);
            sx += v[i].Position.x;
            sy += v[i].Position.y;
            sz += v[i].Position.z;
        }
        m_LocalBox = box;
        m_BaryCenter = QxVector((float) (sx / count), (float) (sy / count), (float) (sz / count));
        float largest = 0.0f;
        for (int i = 0; i < count; ++i) {
            const QxVector d = v[i].Position - m_BaryCenter;
            const float squared = d.x * d.x + d.y * d.y + d.z * d.z;
            // A NaN distance never wins, so one bad vertex leaves the others' radius.
            if (squared > largest)
                largest = squared;
        }
        m_Radius = std::sqrt(largest);
    }
    if (m_BlendWeightCount == 0 && m_BlendShapeExtent > 0.0f) {
        m_LocalBox.Merge(m_BlendShapeBox);
        m_Radius += m_BlendShapeExtent;
    }
    m_Flags |= CKMESH_BOUNDINGUPTODATE;
}

float RCKMesh::GetRadius()
{
    if (!(m_Flags & CKMESH_BOUNDINGUPTODATE))
        UpdateBoundingVolumes();
    return m_Radius;
}

const QxBbox& RCKMesh::GetLocalBox()
{
    if (!(m_Flags & CKMESH_BOUNDINGUPTODATE))
        UpdateBoundingVolumes();
    return m_LocalBox;
}

const QxVector& RCKMesh::GetBaryCenter()
{
    if (!(m_Flags & CKMESH_BOUNDINGUPTODATE))
        UpdateBoundingVolumes();
    return m_BaryCenter;
}

void RCKMesh::BuildNormals()
{
    if (m_Faces.Size() == 0 || m_Vertices.Size() == 0)
        return;
    m_Flags |= CKMESH_GENNORMALS | CKMESH_NORMALCHANGED | CKMESH_FACENORMALSVALID;
    CKGetMeshKernels().ComputeVertexNormals(m_Faces.Begin(), m_Faces.Size(), m_FaceIndices.Begin(), m_Vertices.Begin(),
                                            m_Vertices.Size());
    // The new normals reach the vertex buffers.
    m_VertexDataUploaded = 0;
}

void RCKMesh::BuildFaceNormals()
{
    if (m_Faces.Size() == 0 || m_Vertices.Size() == 0)
        return;
    CKGetMeshKernels().ComputeFaceNormals(m_Faces.Begin(), m_Faces.Size(), m_FaceIndices.Begin(), m_Vertices.Begin(),
                                          m_Vertices.Size());
    m_Flags |= CKMESH_FACENORMALSVALID;
}

void RCKMesh::SetVertexWeightsCount(int count)
{
    if (count <= 0) {
        m_VertexWeights.Free();
        return;
    }
    const int old = m_VertexWeights.Size();
    m_VertexWeights.Resize(count);
    for (int i = old; i < count; ++i)
        m_VertexWeights[i] = 0.0f;
}

float RCKMesh::GetVertexWeight(int index)
{
    return index >= 0 && index < m_VertexWeights.Size() ? m_VertexWeights[index] : 0.0f;
}

void RCKMesh::SetVertexWeight(int index, float weight)
{
    if (index >= 0 && index < m_VertexWeights.Size())
        m_VertexWeights[index] = weight;
}

const XString& RCKMesh::GetBlendShapeName(int index)
{
    static const XString empty;
    return index >= 0 && index < m_BlendShapes.Names.Size() ? m_BlendShapes.Names[index] : empty;
}

int RCKMesh::GetBlendShapeIndex(const XString& name)
{
    for (int i = 0; i < m_BlendShapes.Names.Size(); ++i)
        if (m_BlendShapes.Names[i].Compare(name) == 0)
            return i;
    return -1;
}
