// The mesh's vertex and index buffers: the per-frame preparation, the
// description of its vertices, and the filling of each primitive's shared
// buffers in a device.
#include <algorithm>
#include <cstring>

#include "core/context/CKContext.h"
#include "render/context/CKRenderGlobals.h"
#include "render/context/RCKRenderContext.h"
#include "render/context/RCKRenderManager.h"
#include "render/context/rasterizer/CKDrawPrimitiveData.h"
#include "render/context/rasterizer/CKRasterizer.h"
#include "render/context/rasterizer/CKRasterizerContext.h"
#include "render/context/rasterizer/CKVertexFormat.h"
#include "render/mesh/CKMaterial.h"
#include "render/mesh/CKMaterialGroup.h"
#include "render/mesh/CKMaterialModes.h"
#include "render/mesh/CKProgressiveMesh.h"
#include "render/mesh/CKVertexCopyList.h"
#include "render/mesh/RCKMesh.h"

namespace {

// Direct3D fill mode "solid".
constexpr int kFillSolid = 3;
// Lock flag of the fills: the whole range is written.
constexpr CKDWORD kLockDiscard = 1;
// Mesh flag cleared after every draw with the other change marks.
constexpr CKDWORD kChannelsChanged = 0x2000000;

// Where each component lies in a vertex of a Direct3D flexible vertex
// format; -1 for an absent one.
struct VertexLayout
{
    int Position = -1;
    int Weights = -1;
    int WeightCount = 0;
    int BoneIndices = -1;
    int Normal = -1;
    int Diffuse = -1;
    int Specular = -1;
    int SetCount = 0;
    int Set[8] = {};
    int SetSize[8] = {};
    int Size = 0; // bytes a vertex
};

VertexLayout LayoutOf(CKDWORD format)
{
    VertexLayout layout;
    int offset = 0;
    const CKDWORD position = format & 0x400E;
    if (position == CKRST_FVF_XYZ) {
        layout.Position = 0;
        offset = 12;
    } else if (position >= CKRST_FVF_XYZB1 && position <= 0xE) {
        // XYZB1 .. XYZB5: the weights follow the position, the last one
        // holding the bone indices with CKRST_FVF_LASTBETA_UBYTE4.
        const int betas = (int) (position - CKRST_FVF_XYZB1) / 2 + 1;
        layout.Position = 0;
        layout.Weights = 12;
        layout.WeightCount = (format & CKRST_FVF_LASTBETA_UBYTE4) ? betas - 1 : betas;
        if (format & CKRST_FVF_LASTBETA_UBYTE4)
            layout.BoneIndices = 12 + 4 * (betas - 1);
        offset = 12 + 4 * betas;
    } else {
        // Transformed or clip-space positions: not a mesh's.
        offset = position == CKRST_FVF_XYZW || position == CKRST_FVF_XYZRHW ? 16 : 0;
    }
    if (format & CKRST_FVF_NORMAL) {
        layout.Normal = offset;
        offset += 12;
    }
    if (format & CKRST_FVF_DIFFUSE) {
        layout.Diffuse = offset;
        offset += 4;
    }
    if (format & CKRST_FVF_SPECULAR) {
        layout.Specular = offset;
        offset += 4;
    }
    layout.SetCount = (int) ((format & CKRST_FVF_TEXCOUNT_MASK) >> CKRST_FVF_TEXCOUNT_SHIFT);
    if (layout.SetCount > 8)
        layout.SetCount = 8;
    static const int kSizes[4] = {8, 12, 16, 4};
    for (int i = 0; i < layout.SetCount; ++i) {
        layout.Set[i] = offset;
        layout.SetSize[i] = kSizes[(format >> (16 + 2 * i)) & 3];
        offset += layout.SetSize[i];
    }
    layout.Size = offset;
    return layout;
}

// Bytes of one source element to copy into a slot of size bytes: no more
// than the source's stride, so the last element is not read past.
CKDWORD CopySize(CKDWORD size, CKDWORD stride)
{
    return stride != 0 && stride < size ? stride : size;
}

// The copy jobs from the draw record into vertices of the layout.
void BuildCopyList(CKVertexCopyList& list, const CKDrawPrimitiveData& data, const VertexLayout& layout,
                   int blendWeightCount, CKBOOL swapColors)
{
    list.Clear();
    if (data.PositionPtr && layout.Position >= 0)
        list.Add(data.PositionPtr, data.PositionStride, (CKDWORD) layout.Position, 12);
    if (data.NormalPtr && layout.Normal >= 0)
        list.Add(data.NormalPtr, data.NormalStride, (CKDWORD) layout.Normal, 12);
    if (data.ColorPtr && layout.Diffuse >= 0)
        list.Add(data.ColorPtr, data.ColorStride, (CKDWORD) layout.Diffuse, 4, swapColors);
    if (data.SpecularColorPtr && layout.Specular >= 0)
        list.Add(data.SpecularColorPtr, data.SpecularColorStride, (CKDWORD) layout.Specular, 4, swapColors);
    if (data.TexCoordPtr && layout.SetCount > 0)
        list.Add(data.TexCoordPtr, data.TexCoordStride, (CKDWORD) layout.Set[0],
                 CopySize((CKDWORD) layout.SetSize[0], data.TexCoordStride));
    const int weights = blendWeightCount < layout.WeightCount ? blendWeightCount : layout.WeightCount;
    if (data.WeightsPtr && weights > 0)
        list.Add(data.WeightsPtr, data.WeightsStride, (CKDWORD) layout.Weights, 4 * (CKDWORD) weights);
    if (data.MatIndexPtr && layout.BoneIndices >= 0)
        list.Add(data.MatIndexPtr, data.MatIndexStride, (CKDWORD) layout.BoneIndices, 4);
    for (int i = 1; i < layout.SetCount; ++i) {
        if (!data.TexCoordPtrs[i - 1])
            break;
        list.Add(data.TexCoordPtrs[i - 1], data.TexCoordStrides[i - 1], (CKDWORD) layout.Set[i],
                 CopySize((CKDWORD) layout.SetSize[i], data.TexCoordStrides[i - 1]));
    }
}

// A material's part in the render flags.
CKDWORD RenderFlagsOf(CKMaterial* material)
{
    if (!material)
        return 0;
    if (material->GetShaderData())
        return CKMESH_RENDER_EFFECT | CKMESH_RENDER_SHADER;
    return material->GetEffect() ? (CKDWORD) CKMESH_RENDER_EFFECT : 0u;
}

} // namespace

void RCKMesh::PrepareForFrame(RCKRenderContext* rc)
{
    CKRasterizerContext* rst = rc ? rc->GetRasterizerContext() : nullptr;
    bool outdated = rst != m_RasterizerContext || m_RenderStamp < 0 || m_ChangeStamp > m_RenderStamp;
    for (int i = 1; i < m_MaterialGroups.Size() && !outdated; ++i) {
        CKMaterial* material = m_MaterialGroups[i]->Material;
        outdated = material && (int) material->GetModificationStamp() > m_RenderStamp;
    }
    if (!outdated) {
        // Merged channels whose data changed reach the buffers with the
        // mesh's own vertices.
        for (int index : m_ExtraTextureChannels)
            if (IsChannel(index) && !(m_Channels[index].Flags & CKCHANNEL_UPTODATE)) {
                m_Channels[index].Flags |= CKCHANNEL_UPTODATE;
                m_VertexDataUploaded = 0;
            }
        return;
    }

    m_RenderStamp = (int) CKGetRenderGlobals().m_ChangeStamp;
    m_RenderFlags = 0;
    int transparent = 0;
    bool opaqueAfterTransparent = false;
    for (int i = 1; i < m_MaterialGroups.Size(); ++i) {
        CKMaterialGroup& group = *m_MaterialGroups[i];
        m_RenderFlags |= RenderFlagsOf(group.Material);
        group.Flags = 0;
        if (group.Material && group.Material->IsAlphaTransparent()) {
            ++transparent;
            if (group.Material->GetFillMode() == kFillSolid && group.Material->IsTwoSided())
                group.Flags |= CKMATERIALGROUP_TWOPASSES;
        } else if (transparent > 0) {
            opaqueAfterTransparent = true;
        }
    }
    if (rc && rc->GetOverrideMaterial()) {
        m_RenderFlags |= RenderFlagsOf(rc->GetOverrideMaterial());
        // Prepared again at every frame while a material overrides.
        m_RenderStamp = -1;
    }

    // Opaque groups draw before transparent ones.
    if (opaqueAfterTransparent) {
        const int count = m_MaterialGroups.Size();
        XArray<CKMaterialGroup*> ordered(count);
        XArray<int> newIndex(count);
        newIndex.Resize(count);
        ordered.PushBack(m_MaterialGroups[0]);
        newIndex[0] = 0;
        for (int pass = 0; pass < 2; ++pass)
            for (int i = 1; i < count; ++i) {
                CKMaterial* material = m_MaterialGroups[i]->Material;
                const bool isTransparent = material && material->IsAlphaTransparent();
                if (isTransparent == (pass == 1)) {
                    newIndex[i] = ordered.Size();
                    ordered.PushBack(m_MaterialGroups[i]);
                }
            }
        m_MaterialGroups.Swap(ordered);
        for (CKFace& face : m_Faces)
            if (face.MaterialGroup < count)
                face.MaterialGroup = (CKWORD) newIndex[face.MaterialGroup];
    }

    ClassifyChannels(rc);

    CKDWORD format = CKRST_DP_TRANSFORM | m_ClipFlags;
    if (m_BlendWeightCount > 0 && m_BlendRecords.Size() >= m_Vertices.Size())
        format |= (CKRST_DP_WEIGHTS1 << (m_BlendWeightCount - 1)) | CKRST_DP_MATRIXPAL;
    format |= CKRST_DP_STAGES0 << m_ExtraTextureChannels.Size();
    if (m_Flags & CKMESH_TANGENTS)
        format |= CKRST_DP_TANGENTS;
    if (m_Flags & CKMESH_RENDERVARIANT)
        format |= CKRST_DP_DIFFUSE | CKRST_DP_LIGHT;
    else if (m_Flags & CKMESH_PRELITMODE)
        format |= CKRST_DP_DIFFUSE | CKRST_DP_SPECULAR;
    else
        format |= CKRST_DP_LIGHT;
    m_VertexFormat = format;
    m_FormatCode = CKGetVertexFormatFVF(format, m_VertexSize);
    // A listed data channel's set holds its type's stride, not 8 bytes.
    static const CKDWORD kSizeCode[5] = {0, 3, 0, 1, 2};
    const int firstSet = (m_Flags & CKMESH_TANGENTS) ? 3 : 1;
    for (int j = 0; j < m_ExtraTextureChannels.Size(); ++j) {
        const int index = m_ExtraTextureChannels[j];
        const int type = IsChannel(index) ? m_Channels[index].Type : 0;
        if (type < 1 || type > 4)
            continue;
        const int set = firstSet + j;
        if (set >= 8)
            break;
        m_VertexSize = m_VertexSize - 8 + (CKDWORD) CKChannelTypeStride(type);
        m_FormatCode = (m_FormatCode & ~(3u << (16 + 2 * set))) | (kSizeCode[type] << (16 + 2 * set));
    }
}

void RCKMesh::ClassifyChannels(RCKRenderContext* rc)
{
    m_ExtraTextureChannels.Clear();
    if (m_Channels.Size() == 0)
        return;
    CKRasterizerContext* rst = rc ? rc->GetRasterizerContext() : nullptr;
    const CKRasterizerDriver* driver = rst ? rst->GetDriver() : nullptr;
    const int stages = driver ? driver->GetCaps().MaxTextureStages : 1;
    const bool prelit = (m_Flags & CKMESH_PRELITMODE) != 0;
    const bool transparent = IsTransparent() != FALSE;
    int lastPass = -1;
    for (int i = 0; i < m_Channels.Size(); ++i) {
        CKMeshChannel& c = m_Channels[i];
        c.Flags &= ~(CKCHANNEL_MERGED | CKCHANNEL_LASTPASS);
        const bool sourceAlpha = c.SourceBlend == CK_BLEND_SRCALPHA && c.DestBlend == CK_BLEND_INVSRCALPHA;
        const bool modulate = (c.SourceBlend == CK_BLEND_ZERO && c.DestBlend == CK_BLEND_SRCCOLOR) ||
                              (c.SourceBlend == CK_BLEND_DESTCOLOR && c.DestBlend == CK_BLEND_ZERO);
        if (sourceAlpha)
            c.Flags |= CKCHANNEL_KEEPFOG;
        else
            c.Flags &= ~CKCHANNEL_KEEPFOG;
        if (modulate)
            c.Flags |= CKCHANNEL_NOTLIT;
        // Direct3D formats: position and one texture set, with normals when
        // lit, colours when prelit. The components are or-ed in, so that a
        // prelit channel with colours of its own keeps one diffuse colour.
        CKDWORD format = (c.Flags & CKCHANNEL_NOTLIT) ? 0x102u : prelit ? 0x1C2u : 0x112u;
        if (c.Flags & CKCHANNEL_COLORS)
            format |= CKRST_FVF_DIFFUSE;
        if ((c.Material && c.Material->GetEffect()) || (c.Flags & CKCHANNEL_SHADERNORMALS))
            format |= CKRST_FVF_NORMAL;
        c.VertexFormat = format;
        if (!(c.Flags & CKCHANNEL_ACTIVE) || !c.Material)
            continue;
        CKMaterial* material = c.Material;
        const bool mergeable = m_ExtraTextureChannels.Size() < stages - 1 && !material->GetShaderData() && c.Key == 0 &&
                               !(m_RenderFlags & CKMESH_RENDER_EFFECT) && !(c.Flags & CKCHANNEL_FACESUBSET) &&
                               !transparent && material->GetTexture(0) && !material->GetEffect() && modulate;
        if (mergeable) {
            const int stage = m_ExtraTextureChannels.Size() + 1;
            if (rst) {
                rst->SetTextureStageState(stage, CKRST_TSS_STAGEBLEND, (CKDWORD) (c.SourceBlend * 16 + c.DestBlend));
                rst->SetTextureStageState(stage, CKRST_TSS_TEXCOORDINDEX, (CKDWORD) stage);
                material->SetAsCurrent(rc, FALSE, stage);
            }
            if (!(c.Flags & CKCHANNEL_UPTODATE))
                m_VertexDataUploaded = 0;
            c.Flags |= CKCHANNEL_MERGED | CKCHANNEL_UPTODATE;
            m_ExtraTextureChannels.PushBack(i);
        } else {
            m_RenderFlags |= CKMESH_RENDER_CHANNELS;
            lastPass = i;
        }
    }
    if (lastPass >= 0)
        m_Channels[lastPass].Flags |= CKCHANNEL_LASTPASS;
    // Effects and shaders read further sets of their own.
    if (m_RenderFlags & CKMESH_RENDER_EFFECT) {
        CKMaterial* first = m_MaterialGroups.Size() > 1 ? m_MaterialGroups[1]->Material : nullptr;
        const int effect = first ? first->GetEffect() : 0;
        if (effect == 5 && m_Channels.Size() >= 1)
            m_ExtraTextureChannels.PushBack(0);
        if (effect == 6 && m_Channels.Size() >= 2) {
            m_ExtraTextureChannels.PushBack(0);
            m_ExtraTextureChannels.PushBack(1);
        }
    }
    if (m_RenderFlags & CKMESH_RENDER_SHADER)
        for (int i = 0; i < m_Channels.Size(); ++i) {
            const CKMeshChannel& c = m_Channels[i];
            if ((!(c.Flags & CKCHANNEL_ACTIVE) && c.SourceBlend == CK_BLEND_ZERO && c.DestBlend == CK_BLEND_ZERO) ||
                c.Type != 0)
                m_ExtraTextureChannels.AddIfNotHere(i);
        }
}

void RCKMesh::DescribeVertices(CKDrawPrimitiveData& data)
{
    data = CKDrawPrimitiveData();
    const int count = m_Vertices.Size();
    data.VertexCount = count;
    data.Flags = m_VertexFormat;
    if (count == 0)
        return;
    CKVertex* vertices = m_Vertices.Begin();
    if (m_ProgressiveMesh) {
        // The vertices drawn, as a geomorph shows them while it runs.
        data.VertexCount = std::min(m_ProgressiveMesh->GetDrawnVertexCount(), count);
        const std::vector<CKVertex>& morphed = m_ProgressiveMesh->GetMorphedVertices();
        if (m_ProgressiveMesh->IsGeoMorphEnabled() && (int) morphed.size() >= data.VertexCount && !morphed.empty())
            vertices = const_cast<CKVertex*>(morphed.data());
    }
    data.PositionPtr = &vertices->Position;
    data.PositionStride = sizeof(CKVertex);
    data.NormalPtr = &vertices->Normal;
    data.NormalStride = sizeof(CKVertex);
    data.TexCoordPtr = &vertices->u;
    data.TexCoordStride = sizeof(CKVertex);
    int set = 0;
    if ((m_Flags & CKMESH_TANGENTS) && m_Tangents.Size() == count && m_Binormals.Size() == count) {
        data.TexCoordPtrs[0] = m_Tangents.Begin();
        data.TexCoordStrides[0] = sizeof(QxVector);
        data.TexCoordPtrs[1] = m_Binormals.Begin();
        data.TexCoordStrides[1] = sizeof(QxVector);
        set = 2;
    }
    // The channels drawn as further texture sets: their data, or the mesh's
    // own coordinates for one that has none.
    for (int index : m_ExtraTextureChannels) {
        if (set >= CKRST_MAX_STAGES - 1 || !IsChannel(index))
            break;
        CKMeshChannel& channel = m_Channels[index];
        if (channel.Data.Size() >= (CKChannelTypeStride(channel.Type) / 4) * count) {
            data.TexCoordPtrs[set] = channel.Data.Begin();
            data.TexCoordStrides[set] = (CKDWORD) CKChannelTypeStride(channel.Type);
        } else {
            data.TexCoordPtrs[set] = &vertices->u;
            data.TexCoordStrides[set] = sizeof(CKVertex);
        }
        ++set;
    }
    if (m_BlendWeightCount > 0 && m_BlendRecords.Size() >= count) {
        data.WeightsPtr = m_BlendRecords.Begin();
        data.WeightsStride = sizeof(CKVertexBlendRecord);
        data.MatIndexPtr = &m_BlendRecords.Begin()->Values[m_BlendWeightCount - 1];
        data.MatIndexStride = sizeof(CKVertexBlendRecord);
    }
    data.ColorPtr = &m_Colors.Begin()->Diffuse;
    data.ColorStride = sizeof(CKVertexColors);
    data.SpecularColorPtr = &m_Colors.Begin()->Specular;
    data.SpecularColorStride = sizeof(CKVertexColors);
}

CKBOOL RCKMesh::FillPrimitiveBuffers(CKRasterizerContext* rst, CK65KPrimitive& p, const CKDrawPrimitiveData& data)
{
    if (!rst || p.VertexBuffer == 0 || p.IndexBuffer == 0 || p.VertexCount <= 0)
        return FALSE;
    const CKDWORD dynamic = (m_Flags & CKMESH_HINTDYNAMIC) ? (CKDWORD) CKRST_VB_DYNAMIC : 0u;
    const CKDWORD flags = CKMESH_BUFFERFLAGS | dynamic;
    const bool sameDevice = rst == m_RasterizerContext;
    CKBOOL copied = FALSE;

    CKSharedVBDesc* vb = rst->GetSharedVBData(p.VertexBuffer);
    const bool keepVB = vb && sameDevice && (vb->Flags & CKRST_VB_DYNAMIC) == dynamic &&
                        vb->MaxVertexCount >= (CKDWORD) p.VertexCount &&
                        (vb->VertexFormat & ~CKRST_FVF_TEXCOUNT_MASK) == (m_FormatCode & ~CKRST_FVF_TEXCOUNT_MASK) &&
                        (vb->VertexFormat & CKRST_FVF_TEXCOUNT_MASK) >= (m_FormatCode & CKRST_FVF_TEXCOUNT_MASK);
    if (!keepVB) {
        if (vb)
            rst->DeleteObject(p.VertexBuffer, CKRST_OBJ_SHAREDVB);
        CKSharedVBDesc desc;
        desc.Flags = flags;
        desc.VertexFormat = m_FormatCode;
        desc.VertexSize = m_VertexSize;
        desc.MaxVertexCount = (CKDWORD) p.VertexCount;
        rst->CreateObject(p.VertexBuffer, CKRST_OBJ_SHAREDVB, &desc);
        m_VertexDataUploaded = 0;
        vb = rst->GetSharedVBData(p.VertexBuffer);
    }
    if (vb && m_VertexDataUploaded == 0) {
        // Without a remap the primitive is the first vertices of the record.
        const CKDWORD* remap = p.Remap.Size() ? p.Remap.Begin() : nullptr;
        int count = p.VertexCount;
        if (remap && count > p.Remap.Size())
            count = p.Remap.Size();
        if (!remap && count > data.VertexCount)
            count = data.VertexCount;
        if (void* dst = rst->LockSharedVB(p.VertexBuffer, 0, (CKDWORD) p.VertexCount, kLockDiscard)) {
            CKVertexCopyList list;
            const CKRasterizerDriver* driver = rst->GetDriver();
            const CKBOOL swap = driver && (driver->GetCaps().CapsFlags & CKRST_CAPS_COLORBGRA) ? TRUE : FALSE;
            BuildCopyList(list, data, LayoutOf(vb->VertexFormat), m_BlendWeightCount, swap);
            list.Run(dst, vb->VertexSize, remap, count);
            rst->UnlockSharedVB(p.VertexBuffer);
            copied = TRUE;
        }
    }

    if (p.IndexCount <= 0)
        return copied;
    CKSharedIBDesc* ib = rst->GetSharedIBData(p.IndexBuffer);
    const bool keepIB =
        ib && sameDevice && (ib->Flags & CKRST_VB_DYNAMIC) == dynamic && ib->MaxIndexCount >= (CKDWORD) p.IndexCount;
    if (!keepIB) {
        if (ib)
            rst->DeleteObject(p.IndexBuffer, CKRST_OBJ_SHAREDIB);
        CKSharedIBDesc desc;
        desc.Flags = flags;
        desc.MaxIndexCount = (CKDWORD) p.IndexCount;
        if (!rst->CreateObject(p.IndexBuffer, CKRST_OBJ_SHAREDIB, &desc))
            return copied;
    }
    if (keepIB && !(m_Flags & CKMESH_REFILLINDICES))
        return copied;
    if (CKWORD* dst = static_cast<CKWORD*>(rst->LockSharedIB(p.IndexBuffer, 0, (CKDWORD) p.IndexCount, kLockDiscard))) {
        if (p.Indices.Size()) {
            const int n = p.IndexCount < p.Indices.Size() ? p.IndexCount : p.Indices.Size();
            std::memcpy(dst, p.Indices.Begin(), sizeof(CKWORD) * (size_t) n);
        } else {
            const int n = p.IndexCount < m_FaceIndices.Size() ? p.IndexCount : m_FaceIndices.Size();
            const CKDWORD* source = m_FaceIndices.Begin();
            for (int i = 0; i < n; ++i)
                dst[i] = (CKWORD) source[i];
        }
        rst->UnlockSharedIB(p.IndexBuffer);
    }
    return copied;
}

CKBOOL RCKMesh::FillGroupBuffers(CKRasterizerContext* rst, CKMaterialGroup& group, const CKDrawPrimitiveData& data)
{
    CKBOOL copied = FillPrimitiveBuffers(rst, group, data);
    for (CK65KPrimitive* p : group.SubPrimitives)
        copied = FillPrimitiveBuffers(rst, *p, data) || copied;
    return copied;
}

CKBOOL RCKMesh::UpdateRenderData(RCKRenderContext* rc, CKDrawPrimitiveData& data)
{
    CKRasterizerContext* rst = rc ? rc->GetRasterizerContext() : nullptr;
    if (!rst || m_Vertices.Size() == 0)
        return FALSE;
    if (!(m_Flags & CKMESH_OPTIMIZED))
        BuildMaterialGroups();
    PrepareForFrame(rc);
    DescribeVertices(data);
    // Every 20 draws: a mesh that changed in more than half of them is
    // drawn from dynamic buffers.
    if (m_Draws > 20) {
        if (2 * m_ModifiedDraws > m_Draws)
            m_Flags |= CKMESH_HINTDYNAMIC;
        else
            m_Flags &= ~CKMESH_HINTDYNAMIC;
        m_Draws = 0;
        m_ModifiedDraws = 0;
    }
    CKBOOL modified = FALSE;
    for (CKMaterialGroup* group : m_MaterialGroups)
        if (group->VertexCount != 0 && group->IndexCount != 0)
            modified = FillGroupBuffers(rst, *group, data) || modified;
    // Channels drawn in passes of their own (active, not merged).
    for (int i = 0; i < m_Channels.Size(); ++i)
        if ((m_Channels[i].Flags & (CKCHANNEL_ACTIVE | CKCHANNEL_MERGED)) == CKCHANNEL_ACTIVE)
            modified = FillChannelBuffers(rst, i, data) || modified;
    if (modified)
        ++m_ModifiedDraws;
    ++m_Draws;
    m_RasterizerContext = rst;
    return TRUE;
}

void RCKMesh::BuildChannelBlocks(CKMeshChannel& channel)
{
    const uintptr_t list = (uintptr_t) channel.FaceIndices.Begin();
    const CKDWORD signature[5] = {(CKDWORD) list, (CKDWORD) channel.FaceIndices.Size(), (CKDWORD) m_FaceIndices.Size(),
                                  (CKDWORD) m_Vertices.Size(), (CKDWORD) m_ChangeStamp};
    CKChannelRenderData& render = channel.Render;
    if (render.m_Built && std::equal(signature, signature + 5, render.m_Signature))
        return;
    RCKRenderManager* manager = m_Context ? static_cast<RCKRenderManager*>(m_Context->GetRenderManager()) : nullptr;
    if (channel.FaceIndices.Size() > 0)
        render.Build(manager, channel.FaceIndices.Begin(), channel.FaceIndices.Size(), m_Vertices.Size(), true);
    else
        render.Build(manager, m_FaceIndices.Begin(), m_FaceIndices.Size(), m_Vertices.Size(), false);
    std::copy(signature, signature + 5, render.m_Signature);
    channel.Flags &= ~CKCHANNEL_UPTODATE;
}

CKBOOL RCKMesh::FillChannelBuffers(CKRasterizerContext* rst, int index, const CKDrawPrimitiveData& data)
{
    if (!rst || !IsChannel(index))
        return FALSE;
    CKMeshChannel& c = m_Channels[index];
    const CKDWORD sameUV = c.Flags & (CKCHANNEL_GROUPFACES | CKCHANNEL_SAMEUV | CKCHANNEL_COLORS);
    if (sameUV == (CKCHANNEL_GROUPFACES | CKCHANNEL_SAMEUV) &&
        (!(c.Flags & CKCHANNEL_FACESUBSET) || (c.Flags & CKCHANNEL_MATERIALSUBSET))) {
        // Nothing of its own: the groups' buffers are drawn again.
        c.Flags |= CKCHANNEL_USEMESHBUFFERS;
        for (int b = 0; b < c.Render.GetBlockCount(); ++b)
            if (rst->GetSharedVBData(c.Render.GetBlock(b).VertexBuffer))
                rst->DeleteObject(c.Render.GetBlock(b).VertexBuffer, CKRST_OBJ_SHAREDVB);
        c.Flags &= ~CKCHANNEL_UPTODATE;
        return FALSE;
    }
    c.Flags &= ~CKCHANNEL_USEMESHBUFFERS;
    BuildChannelBlocks(c);
    const CKDWORD dynamic = (m_Flags & CKMESH_HINTDYNAMIC) ? (CKDWORD) CKRST_VB_DYNAMIC : 0u;
    const VertexLayout layout = LayoutOf(c.VertexFormat);
    // Its vertices: the mesh's, with the channel's colours and coordinates.
    CKDrawPrimitiveData source = data;
    source.ClearChannels();
    source.WeightsPtr = nullptr;
    source.MatIndexPtr = nullptr;
    if ((c.Flags & CKCHANNEL_COLORS) && c.Colors.Size() >= data.VertexCount) {
        source.ColorPtr = c.Colors.Begin();
        source.ColorStride = sizeof(CKDWORD);
    }
    const int stride = CKChannelTypeStride(c.Type);
    if (!(c.Flags & CKCHANNEL_SAMEUV) && c.Data.Size() >= (stride / 4) * data.VertexCount && data.VertexCount > 0) {
        source.TexCoordPtr = c.Data.Begin();
        source.TexCoordStride = (CKDWORD) stride;
    }
    bool copy = (m_Flags & CKMESH_POSCHANGED) || ((m_Flags & CKMESH_COLORCHANGED) && (c.VertexFormat & 0xC0)) ||
                ((m_Flags & CKMESH_NORMALCHANGED) && (c.VertexFormat & CKRST_FVF_NORMAL)) ||
                !(c.Flags & CKCHANNEL_UPTODATE);
    CKBOOL copied = FALSE;
    for (int b = 0; b < c.Render.GetBlockCount(); ++b) {
        CKChannelRenderData::Block& block = c.Render.GetBlock(b);
        if (block.VertexBuffer == 0 || block.VertexCount <= 0)
            continue;
        CKSharedVBDesc* vb = rst->GetSharedVBData(block.VertexBuffer);
        const bool keep = vb && rst == m_RasterizerContext && (vb->Flags & CKRST_VB_DYNAMIC) == dynamic &&
                          vb->MaxVertexCount >= (CKDWORD) block.VertexCount && vb->VertexFormat == c.VertexFormat;
        if (!keep) {
            if (vb)
                rst->DeleteObject(block.VertexBuffer, CKRST_OBJ_SHAREDVB);
            CKSharedVBDesc desc;
            desc.Flags = CKMESH_BUFFERFLAGS | dynamic;
            desc.VertexFormat = c.VertexFormat;
            desc.VertexSize = (CKDWORD) layout.Size;
            desc.MaxVertexCount = (CKDWORD) block.VertexCount;
            rst->CreateObject(block.VertexBuffer, CKRST_OBJ_SHAREDVB, &desc);
            vb = rst->GetSharedVBData(block.VertexBuffer);
            copy = true;
        }
        if (!vb || !copy)
            continue;
        const CKDWORD* remap = block.Remap.Size() ? block.Remap.Begin() : nullptr;
        int count =
            remap ? std::min(block.VertexCount, block.Remap.Size()) : std::min(block.VertexCount, data.VertexCount);
        if (void* dst = rst->LockSharedVB(block.VertexBuffer, 0, (CKDWORD) block.VertexCount, kLockDiscard)) {
            CKVertexCopyList list;
            const CKRasterizerDriver* driver = rst->GetDriver();
            const CKBOOL swap = driver && (driver->GetCaps().CapsFlags & CKRST_CAPS_COLORBGRA) ? TRUE : FALSE;
            BuildCopyList(list, source, layout, 0, swap);
            list.Run(dst, vb->VertexSize, remap, count);
            rst->UnlockSharedVB(block.VertexBuffer);
            copied = TRUE;
        }
    }
    c.Flags |= CKCHANNEL_UPTODATE;
    return copied;
}

void RCKMesh::EndDraw()
{
    m_Flags &= ~(CKMESH_UVCHANGED | CKMESH_NORMALCHANGED | CKMESH_COLORCHANGED | CKMESH_POSCHANGED | kChannelsChanged |
                 CKMESH_REFILLINDICES);
    ++m_VertexDataUploaded;
}

int RCKMesh::GetInterleavedVertices(XArray<CKDWORD>& out)
{
    const int count = m_Vertices.Size();
    const bool blend = m_BlendRecords.Size() > 0;
    const bool tangents = m_Tangents.Size() > 0;
    const bool binormals = m_Binormals.Size() > 0;
    const bool weights = m_VertexWeights.Size() > 0;
    const size_t bytes = sizeof(CKVertex) + sizeof(CKVertexColors) + (blend ? sizeof(CKVertexBlendRecord) : 0) +
                         (tangents ? sizeof(QxVector) : 0) + (binormals ? sizeof(QxVector) : 0) +
                         (weights ? sizeof(float) : 0);
    const int words = (int) (bytes / 4);
    out.Resize(count * words);
    if (count == 0)
        return words;
    std::memset(out.Begin(), 0, bytes * (size_t) count);
    // Arrays shorter than the vertex array leave their part of the
    // records past their end at zero.
    auto put = [&](size_t& offset, const void* source, int available, size_t size) {
        const CKBYTE* s = static_cast<const CKBYTE*>(source);
        CKBYTE* d = reinterpret_cast<CKBYTE*>(out.Begin()) + offset;
        const int n = available < count ? available : count;
        for (int i = 0; i < n; ++i, s += size, d += bytes)
            std::memcpy(d, s, size);
        offset += size;
    };
    size_t offset = 0;
    put(offset, m_Vertices.Begin(), count, sizeof(CKVertex));
    put(offset, m_Colors.Begin(), m_Colors.Size(), sizeof(CKVertexColors));
    if (blend)
        put(offset, m_BlendRecords.Begin(), m_BlendRecords.Size(), sizeof(CKVertexBlendRecord));
    if (tangents)
        put(offset, m_Tangents.Begin(), m_Tangents.Size(), sizeof(QxVector));
    if (binormals)
        put(offset, m_Binormals.Begin(), m_Binormals.Size(), sizeof(QxVector));
    if (weights)
        put(offset, m_VertexWeights.Begin(), m_VertexWeights.Size(), sizeof(float));
    return words;
}
