// The mesh's material groups: which group each face belongs to, the
// materials as callers see them, and the building of each group's faces into
// primitives of at most 65,535 vertices with 16-bit indices.
#include <algorithm>
#include <cstring>

#include "core/context/CKContext.h"
#include "render/context/CKRenderGlobals.h"
#include "render/context/RCKRenderManager.h"
#include "render/mesh/CKMaterial.h"
#include "render/mesh/CKMaterialGroup.h"
#include "render/mesh/CKProgressiveMesh.h"
#include "render/mesh/CKStripifier.h"
#include "render/mesh/RCKMesh.h"
#include "system/memory/QxScratchBuffer.h"

namespace {

// A primitive takes no face that could bring it past 65,535 vertices or
// 196,602 indices.
constexpr int kMaxPrimitiveVertices = 65535;
constexpr int kMaxPrimitiveFaces = 65534;
constexpr int kStartNewAbove = kMaxPrimitiveVertices - 3;
// Face group indices are 16 bits.
constexpr int kMaxGroups = 0x10000;

} // namespace

CKMaterialGroup* RCKMesh::GetMaterialGroup(int index) const
{
    return index >= 0 && index < m_MaterialGroups.Size() ? m_MaterialGroups[index] : nullptr;
}

int RCKMesh::GetMaterialGroupIndex(CKMaterial* material, CKBOOL create)
{
    for (int i = 0; i < m_MaterialGroups.Size(); ++i)
        if (m_MaterialGroups[i]->Material == material)
            return i;
    return create ? CreateMaterialGroup(material) : -1;
}

int RCKMesh::CreateMaterialGroup(CKMaterial* material)
{
    if (m_MaterialGroups.Size() >= kMaxGroups)
        return -1;
    RCKRenderManager* manager = m_Context ? static_cast<RCKRenderManager*>(m_Context->GetRenderManager()) : nullptr;
    CKMaterialGroup* group = new CKMaterialGroup(manager, material);
    if (!group)
        return -1;
    m_MaterialGroups.PushBack(group);
    return m_MaterialGroups.Size() - 1;
}

CKBOOL RCKMesh::IsTransparent()
{
    if (m_Flags & CKMESH_FORCETRANSPARENCY)
        return TRUE;
    if ((m_Flags & CKMESH_TRANSPARENCYUPTODATE) && !CKGetRenderGlobals().m_TransparencyChanged)
        return (m_Flags & CKMESH_TRANSPARENT) ? TRUE : FALSE;
    m_Flags |= CKMESH_TRANSPARENCYUPTODATE;
    if (!(m_Flags & CKMESH_OPTIMIZED))
        BuildMaterialGroups();
    m_Flags &= ~CKMESH_TRANSPARENT;
    for (int i = 1; i < m_MaterialGroups.Size(); ++i) {
        CKMaterial* material = m_MaterialGroups[i]->Material;
        if (material && material->IsAlphaTransparent()) {
            m_Flags |= CKMESH_TRANSPARENT;
            return TRUE;
        }
    }
    return FALSE;
}

CKERROR RCKMesh::SetFacesMaterial(const int* faces, int count, CKMaterial* material)
{
    if (count > 0 && !faces)
        return CKErr::InvalidParameter;
    for (int i = 0; i < count; ++i)
        if (faces[i] < 0 || faces[i] >= m_Faces.Size())
            return CKErr::InvalidParameter;
    const int group = GetMaterialGroupIndex(material, TRUE);
    if (group < 0)
        return CKErr::OutOfMemory;
    for (int i = 0; i < count; ++i)
        m_Faces[faces[i]].MaterialGroup = (CKWORD) group;
    FacesChanged();
    return CKErr::Ok;
}

void RCKMesh::SetFaceMaterial(int face, CKMaterial* material)
{
    if (face < 0 || face >= m_Faces.Size())
        return;
    const int group = GetMaterialGroupIndex(material, TRUE);
    if (group < 0)
        return;
    if (m_Faces[face].MaterialGroup != group)
        FacesChanged();
    m_Faces[face].MaterialGroup = (CKWORD) group;
}

void RCKMesh::RemoveMaterialGroup(int index)
{
    for (CKFace& face : m_Faces) {
        if (face.MaterialGroup == index)
            face.MaterialGroup = 0;
        else if (face.MaterialGroup > index)
            --face.MaterialGroup;
    }
    delete m_MaterialGroups[index];
    m_MaterialGroups.RemoveAt(index);
}

void RCKMesh::ReplaceMaterial(CKMaterial* oldMaterial, CKMaterial* newMaterial, CKBOOL merge)
{
    if (oldMaterial == newMaterial)
        return;
    const int oldGroup = GetMaterialGroupIndex(oldMaterial, FALSE);
    if (oldGroup < 0)
        return;
    // (Channels restricted to materials re-apply their restriction here
    // once meshes have channels.)
    if (!oldMaterial) {
        const int group = GetMaterialGroupIndex(newMaterial, TRUE);
        if (group < 0)
            return;
        bool moved = false;
        for (CKFace& face : m_Faces)
            if (face.MaterialGroup == 0) {
                face.MaterialGroup = (CKWORD) group;
                moved = true;
            }
        if (moved)
            FacesChanged();
        return;
    }
    if (!newMaterial) {
        RemoveMaterialGroup(oldGroup);
        FacesChanged();
        return;
    }
    const int newGroup = GetMaterialGroupIndex(newMaterial, FALSE);
    if (newGroup >= 0 && merge) {
        for (CKFace& face : m_Faces)
            if (face.MaterialGroup == oldGroup)
                face.MaterialGroup = (CKWORD) newGroup;
        FacesChanged();
        return;
    }
    m_MaterialGroups[oldGroup]->Material = newMaterial;
}

void RCKMesh::ApplyGlobalMaterial(CKMaterial* material)
{
    if (GetMaterialCount() == 1) {
        ReplaceMaterial(GetMaterial(0), material, FALSE);
        return;
    }
    const int group = GetMaterialGroupIndex(material, TRUE);
    if (group < 0)
        return;
    for (CKFace& face : m_Faces)
        face.MaterialGroup = (CKWORD) group;
    FacesChanged();
}

int RCKMesh::GetMaterialCount()
{
    if (!(m_Flags & CKMESH_OPTIMIZED))
        BuildMaterialGroups();
    return m_MaterialGroups.Size() - 1;
}

CKMaterial* RCKMesh::GetMaterial(int index)
{
    if (!(m_Flags & CKMESH_OPTIMIZED))
        BuildMaterialGroups();
    CKMaterialGroup* group = index >= 0 ? GetMaterialGroup(index + 1) : nullptr;
    return group ? group->Material : nullptr;
}

CKDWORD* RCKMesh::GetMaterialFaceIndices(int index, int* count)
{
    if (!(m_Flags & CKMESH_OPTIMIZED))
        BuildMaterialGroups();
    CKMaterialGroup* group = index >= 0 ? GetMaterialGroup(index + 1) : nullptr;
    if (count)
        *count = group ? group->Faces.Size() : 0;
    return group && group->Faces.Size() ? group->Faces.Begin() : nullptr;
}

void RCKMesh::SortFacesIntoGroups(int& lowest, int& highest, int& skipped)
{
    const int groupCount = m_MaterialGroups.Size();
    const int faceCount = m_Faces.Size();
    int drawnVertices = 0;
    const CKDWORD* corners = DrawnCorners(&drawnVertices);
    const CKDWORD vertexCount = (CKDWORD) drawnVertices;
    const CKFace* faces = m_Faces.Begin();

    // Faces per group first, so that each face list is allocated once; a
    // face naming a missing group or vertex takes no part.
    XArray<int> faceCounts(groupCount);
    faceCounts.Resize(groupCount);
    std::fill_n(faceCounts.Begin(), groupCount, 0);
    skipped = 0;
    for (int f = 0; f < faceCount; ++f) {
        const CKDWORD* c = corners + 3 * f;
        if (faces[f].MaterialGroup >= groupCount || c[0] >= vertexCount || c[1] >= vertexCount || c[2] >= vertexCount) {
            ++skipped;
            continue;
        }
        ++faceCounts.Begin()[faces[f].MaterialGroup];
    }
    XArray<CKDWORD*> cursors(groupCount);
    cursors.Resize(groupCount);
    for (int g = 0; g < groupCount; ++g) {
        m_MaterialGroups[g]->Faces.Resize(faceCounts[g]);
        cursors[g] = m_MaterialGroups[g]->Faces.Begin();
    }

    // One bit per group and vertex: has the vertex been counted for the
    // group yet. One word a vertex below 31 groups.
    const int words = groupCount < 31 ? 1 : (groupCount + 31) / 32;
    const size_t bytes = (size_t) vertexCount * (size_t) words * sizeof(CKDWORD);
    QxScratchBuffer scratch(bytes <= 0xFFFFFFFFu ? (CKDWORD) bytes : 0);
    CKDWORD* seen = static_cast<CKDWORD*>(scratch.Data());
    if (!seen || scratch.Size() < bytes) {
        // Without memory to count in, no face is drawn.
        skipped = faceCount;
        for (CKMaterialGroup* group : m_MaterialGroups)
            group->Faces.Clear();
        return;
    }
    std::memset(seen, 0, bytes);
    XArray<int> vertexCounts(groupCount);
    vertexCounts.Resize(groupCount);
    std::fill_n(vertexCounts.Begin(), groupCount, 0);
    int* counts = vertexCounts.Begin();
    CKDWORD** cursor = cursors.Begin();
    lowest = groupCount;
    highest = -1;
    for (int f = 0; f < faceCount; ++f) {
        const CKDWORD* c = corners + 3 * f;
        const int g = faces[f].MaterialGroup;
        if (g >= groupCount || c[0] >= vertexCount || c[1] >= vertexCount || c[2] >= vertexCount)
            continue;
        *cursor[g]++ = (CKDWORD) f;
        const CKDWORD bit = 1u << (g & 31);
        const int word = g >> 5;
        for (int k = 0; k < 3; ++k) {
            CKDWORD& mask = seen[(size_t) c[k] * (size_t) words + (size_t) word];
            if (!(mask & bit)) {
                mask |= bit;
                ++counts[g];
            }
        }
        if (g < lowest)
            lowest = g;
        if (g > highest)
            highest = g;
    }
    for (int g = 0; g < groupCount; ++g)
        m_MaterialGroups[g]->VertexCount = counts[g];
}

const CKDWORD* RCKMesh::DrawnCorners(int* vertexCount) const
{
    if (m_ProgressiveMesh && m_ProgressiveMesh->GetFaceIndices().size() == (size_t) m_FaceIndices.Size()) {
        *vertexCount = m_ProgressiveMesh->GetDrawnVertexCount();
        return m_ProgressiveMesh->GetFaceIndices().data();
    }
    *vertexCount = m_Vertices.Size();
    return m_FaceIndices.Begin();
}

void RCKMesh::BuildGroupPrimitives(CKMaterialGroup& group, CKDWORD* map)
{
    int drawnVertices = 0;
    const CKDWORD* corners = DrawnCorners(&drawnVertices);
    const CKDWORD* faces = group.Faces.Begin();
    const int faceCount = group.Faces.Size();
    // map[v]: local number + 1 of mesh vertex v in the current primitive.
    auto clearMap = [map](const CK65KPrimitive& p) {
        for (CKDWORD v : p.Remap)
            map[v] = 0;
    };
    if (group.VertexCount < kMaxPrimitiveVertices && faceCount < kMaxPrimitiveFaces) {
        group.Remap.Resize(group.VertexCount);
        group.Indices.Resize(3 * faceCount);
        CKDWORD* remap = group.Remap.Begin();
        CKWORD* out = group.Indices.Begin();
        CKDWORD used = 0;
        for (int i = 0; i < faceCount; ++i) {
            const CKDWORD* c = corners + 3 * (size_t) faces[i];
            for (int k = 0; k < 3; ++k) {
                CKDWORD local = map[c[k]];
                if (!local) {
                    remap[used] = c[k];
                    local = map[c[k]] = ++used;
                }
                *out++ = (CKWORD) (local - 1);
            }
        }
        group.IndexCount = group.Indices.Size();
        clearMap(group);
        return;
    }
    // Split: each primitive numbers its own vertices.
    CK65KPrimitive* p = &group;
    int taken = 0;
    auto close = [&](CK65KPrimitive& q) {
        q.VertexCount = q.Remap.Size();
        q.IndexCount = q.Indices.Size();
        clearMap(q);
    };
    p->Remap.Reserve(kMaxPrimitiveVertices);
    for (int i = 0; i < faceCount; ++i) {
        if (p->Remap.Size() > kStartNewAbove || taken >= kMaxPrimitiveFaces) {
            close(*p);
            p = group.AddSubPrimitive();
            if (!p)
                return;
            p->Remap.Reserve(kMaxPrimitiveVertices);
            taken = 0;
        }
        const CKDWORD* c = corners + 3 * (size_t) faces[i];
        for (int k = 0; k < 3; ++k) {
            CKDWORD local = map[c[k]];
            if (!local) {
                p->Remap.PushBack(c[k]);
                local = map[c[k]] = (CKDWORD) p->Remap.Size();
            }
            p->Indices.PushBack((CKWORD) (local - 1));
        }
        ++taken;
    }
    close(*p);
}

void RCKMesh::OrderGroupIndices(CKMaterialGroup& group)
{
    RCKRenderManager* manager = m_Context ? static_cast<RCKRenderManager*>(m_Context->GetRenderManager()) : nullptr;
    const int cache = manager ? manager->GetSettings().VertexCache : 16;
    const bool strips = (m_Flags & CKMESH_STRIPIFY) != 0;
    CKStripifier stripifier;
    for (int i = -1; i < group.SubPrimitives.Size(); ++i) {
        CK65KPrimitive& p = i < 0 ? group : *group.SubPrimitives[i];
        if (p.VertexCount == 0 || p.Type != CKRST_PT_TRIANGLELIST)
            continue;
        if (p.Indices.Size() == 0) {
            // The single group: the mesh's own indices, which fit 16 bits.
            p.Indices.Resize(m_FaceIndices.Size());
            for (int k = 0; k < m_FaceIndices.Size(); ++k)
                p.Indices.Begin()[k] = (CKWORD) m_FaceIndices.Begin()[k];
            p.IndexCount = p.Indices.Size();
        }
        if (!strips && cache < 1)
            continue;
        stripifier.Init(strips ? CKStripifier::STRIPS : CKStripifier::VERTEXCACHE);
        if (stripifier.SetInput(p.Indices.Begin(), p.Indices.Size(), nullptr, p.VertexCount) != CKErr::Ok)
            continue;
        if (!strips) {
            if (stripifier.OptimizeVertexCache(manager) == CKErr::Ok) {
                int count = 0;
                const CKWORD* ordered = nullptr;
                stripifier.GetIndices(count, ordered);
                if (count == p.Indices.Size())
                    std::memcpy(p.Indices.Begin(), ordered, sizeof(CKWORD) * (size_t) count);
            }
            continue;
        }
        int stripCount = 0;
        const CKWORD* stripIndices = nullptr;
        const int* lengths = nullptr;
        p.StripLengths.Clear();
        if (stripifier.Stripify(manager) != CKErr::Ok)
            continue;
        stripifier.GetStrips(stripCount, stripIndices, lengths);
        int total = 0;
        for (int s = 0; s < stripCount; ++s)
            total += lengths[s] + 2;
        if (stripCount == 0 || total >= p.Indices.Size())
            continue;
        p.Type = CKRST_PT_TRIANGLESTRIP;
        p.Indices.Resize(total);
        std::memcpy(p.Indices.Begin(), stripIndices, sizeof(CKWORD) * (size_t) total);
        p.IndexCount = total;
        p.StripLengths.Resize(stripCount);
        std::memcpy(p.StripLengths.Begin(), lengths, sizeof(int) * (size_t) stripCount);
    }
    stripifier.Free();
}

int RCKMesh::BuildMaterialGroups()
{
    m_Flags |= CKMESH_SINGLEGROUP;
    m_VertexDataUploaded = 0;
    StampRenderDataOutdated();
    const int vertexCount = m_Vertices.Size();
    const int faceCount = m_Faces.Size();
    if (vertexCount == 0 || faceCount == 0) {
        m_Flags |= CKMESH_OPTIMIZED;
        return 0;
    }
    for (CKMaterialGroup* group : m_MaterialGroups)
        group->Clear();
    // A progressive mesh draws its faces for the vertices drawn, never the
    // mesh's own arrays.
    if (m_ProgressiveMesh)
        m_ProgressiveMesh->BuildFaces(m_FaceIndices.Begin(), faceCount);

    int lowest = 0;
    int highest = -1;
    int skipped = 0;
    SortFacesIntoGroups(lowest, highest, skipped);
    if (!m_ProgressiveMesh && skipped == 0 && lowest == highest && vertexCount < kMaxPrimitiveVertices &&
        faceCount < kMaxPrimitiveFaces) {
        CKMaterialGroup& group = *m_MaterialGroups[lowest];
        group.Remap.Free();
        group.Faces.Free();
        group.Indices.Free();
        group.VertexCount = vertexCount;
        group.IndexCount = 3 * faceCount;
    } else {
        m_Flags &= ~CKMESH_SINGLEGROUP;
        QxScratchBuffer scratch((CKDWORD) ((size_t) vertexCount * sizeof(CKDWORD)));
        CKDWORD* map = static_cast<CKDWORD*>(scratch.Data());
        if (map && scratch.Size() >= (size_t) vertexCount * sizeof(CKDWORD)) {
            std::memset(map, 0, (size_t) vertexCount * sizeof(CKDWORD));
            for (CKMaterialGroup* group : m_MaterialGroups)
                if (group->VertexCount > 0 && group->Faces.Size() > 0)
                    BuildGroupPrimitives(*group, map);
        } else {
            for (CKMaterialGroup* group : m_MaterialGroups)
                group->Clear();
        }
    }

    // Groups no face uses go; the faces above them follow. A progressive
    // mesh keeps the groups of the faces it leaves out for now.
    XArray<int> newIndex(m_MaterialGroups.Size());
    newIndex.Resize(m_MaterialGroups.Size());
    int kept = 0;
    for (int g = 0; g < m_MaterialGroups.Size(); ++g) {
        CKMaterialGroup* group = m_MaterialGroups[g];
        if (g > 0 && group->VertexCount == 0 && !m_ProgressiveMesh) {
            delete group;
            newIndex[g] = 0;
            continue;
        }
        newIndex[g] = kept;
        m_MaterialGroups[kept++] = group;
    }
    if (kept < m_MaterialGroups.Size()) {
        const int groupCount = m_MaterialGroups.Size();
        m_MaterialGroups.Resize(kept);
        for (CKFace& face : m_Faces)
            if (face.MaterialGroup < groupCount)
                face.MaterialGroup = (CKWORD) newIndex[face.MaterialGroup];
    }

    for (CKMaterialGroup* group : m_MaterialGroups)
        OrderGroupIndices(*group);
    m_Flags |= CKMESH_OPTIMIZED | CKMESH_POSCHANGED | CKMESH_REFILLINDICES;
    return 1;
}
