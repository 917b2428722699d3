// The drawing of a mesh for one 3D entity: its render callbacks around the
// draw, and the draw itself, at once through the rasterizer context or
// queued into the render context's batches: the material groups, the
// channels (as further texture sets or in passes of their own), the
// wireframe overlay and the lines.
#include "core/context/CKContext.h"
#include "core/object/CKClassRegistry.h"
#include "render/context/RCKRenderContext.h"
#include "render/context/RCKRenderManager.h"
#include "render/context/RenderBatchList.h"
#include "render/context/RenderCallbackList.h"
#include "render/context/SceneGraphNode.h"
#include "render/context/rasterizer/CKRasterizer.h"
#include "render/context/rasterizer/CKRasterizerContext.h"
#include "render/context/rasterizer/CKVertexFormat.h"
#include "render/mesh/CKMaterial.h"
#include "render/mesh/CKMaterialGroup.h"
#include "render/mesh/CKMaterialModes.h"
#include "render/mesh/CKPatchMesh.h"
#include "render/objects/CK3dEntity.h"
#include "system/runtime/QxTimeProfiler.h"

namespace {

// Modes of a draw, from the render context's pass and the entity.
enum : int
{
    kModeZBufferOnly = 0x1,
    kModeNoMaterial = 0x2,
    kModeStencilOnly = 0x4,
    kModeOverride = 0x8,
};

// 3D entity flags that draw the entity into the depth or stencil buffer only.
constexpr CKDWORD kEntityZBufferOnly = 0x2000000;
constexpr CKDWORD kEntityStencilOnly = 0x4000000;

// Batching state word of a mesh's groups.
constexpr CKDWORD kStateLit = 0x8;
constexpr CKDWORD kStateWrapV = 0x2;
constexpr CKDWORD kStateWrapU = 0x4;

// Key words of the wireframe overlay and of the lines.
constexpr CKDWORD kWireframeKeyWord = 0x12000018;
constexpr CKDWORD kLinesKeyWord = 0x42;
// The draw record's flags for the lines: positions and colours.
constexpr CKDWORD kLineFormat = CKRST_DP_TRANSFORM | CKRST_DP_DIFFUSE;

// Item words of a queued group.
constexpr CKDWORD kItemStages = 0x1; // the mesh's further texture sets are set up first
constexpr CKDWORD kItemUnlit = 0x2;  // lighting off (depth or stencil only)

// How far the overlay and the channel passes pull their depth forward.
constexpr float kOverlayDepthScale = 1.003f;
constexpr float kChannelDepthScale = 1.0025f;

bool IsModulate(int source, int destination)
{
    return (source == CK_BLEND_ZERO && destination == CK_BLEND_SRCCOLOR) ||
           (source == CK_BLEND_DESTCOLOR && destination == CK_BLEND_ZERO);
}

CKDWORD HashOf(CKMaterial* material, CKDWORD format, CKDWORD word)
{
    return (material ? material->GetID() : 0) ^ format ^ word;
}

// The projection with its depth translation term scaled; the previous one
// is given back.
QxMatrix ScaleDepth(RCKRenderContext* rc, float scale)
{
    const QxMatrix previous = rc->GetProjectionTransformationMatrix();
    QxMatrix scaled = previous;
    scaled[3][2] *= scale;
    rc->SetProjectionTransformationMatrix(scaled);
    return previous;
}

void CallMeshCallbacks(RCKRenderContext* rc, CK3dEntity* entity, CKMesh* mesh,
                       const XArray<RenderCallbackRecord>& records)
{
    if (records.Size() == 0)
        return;
    // A callback may add or remove callbacks: run over a copy.
    XArray<RenderCallbackRecord> copy = records;
    QxTimeProfiler timer;
    for (const RenderCallbackRecord& r : copy)
        CKRenderCallbackAs<CK_MESHRENDERCALLBACK>(r)(rc, entity, mesh, r.Argument);
    rc->CallbackTime3D() += timer.Current();
}

RCKRenderManager* ManagerOf(CKContext* context)
{
    return context ? static_cast<RCKRenderManager*>(context->GetRenderManager()) : nullptr;
}

// The entity's render options: depth comparison always (0x200000) and no
// depth writing (0x80000) are among its moveable flags.
CKDWORD RenderOptionsOf(CK3dEntity* entity)
{
    return entity ? entity->GetMoveableFlags() : 0;
}

} // namespace

// Queued draws, replayed by the render context's batches.

void RCKMesh::DrawQueuedGroup(CKRenderContext* context, const CKBatchKey& key, const CKBatchItem& item)
{
    RCKRenderContext* rc = static_cast<RCKRenderContext*>(context);
    CKRasterizerContext* rst = rc->GetRasterizerContext();
    auto* group = static_cast<CKMaterialGroup*>(item.Data[0]);
    auto* entity = static_cast<CK3dEntity*>(item.Data[1]);
    auto* mesh = static_cast<RCKMesh*>(item.Data[2]);
    rc->DrawWithEntityTransform(entity);
    const CKBOOL lit = (key.State & kStateLit) && !(item.Words[0] & kItemUnlit) ? TRUE : FALSE;
    if (key.Material)
        key.Material->SetAsCurrent(rc, lit, 0);
    rst->SetRenderState(CKRST_RS_LIGHTING, lit);
    if (item.Words[0] & kItemStages)
        mesh->SetUpTextureStages(rc);
    CKDrawMaterialGroup(rst, *group, RenderOptionsOf(entity));
    if (item.Words[0] & kItemStages)
        rst->ResetTextureStages();
}

void RCKMesh::DrawQueuedLines(CKRenderContext* context, const CKBatchKey& key, const CKBatchItem& item)
{
    RCKRenderContext* rc = static_cast<RCKRenderContext*>(context);
    auto* entity = static_cast<CK3dEntity*>(item.Data[1]);
    auto* mesh = static_cast<RCKMesh*>(item.Data[2]);
    rc->DrawWithEntityTransform(entity);
    if (key.Material)
        key.Material->SetAsCurrent(rc, FALSE, 0);
    CKDrawPrimitiveData data;
    mesh->DescribeVertices(data);
    data.Flags = item.Words[0] | kLineFormat;
    mesh->DrawLines(rc, data);
}

void RCKMesh::DrawQueuedChannel(CKRenderContext* context, const CKBatchKey&, const CKBatchItem& item)
{
    RCKRenderContext* rc = static_cast<RCKRenderContext*>(context);
    auto* entity = static_cast<CK3dEntity*>(item.Data[1]);
    auto* mesh = static_cast<RCKMesh*>(item.Data[2]);
    rc->DrawWithEntityTransform(entity);
    mesh->DrawChannelPasses(rc, (int) item.Words[0]);
}

// Callbacks.

RenderCallbackList* RCKMesh::RenderCallbacks()
{
    if (!m_RenderCallbacks)
        m_RenderCallbacks = new RenderCallbackList;
    return m_RenderCallbacks;
}

CKBOOL RCKMesh::AddPreRenderCallBack(CK_MESHRENDERCALLBACK function, void* argument, CKBOOL temporary)
{
    return RenderCallbacks()->AddPreCallback(CKRenderCallbackFrom(function), argument,
                                             temporary ? (CKDWORD) CK_RENDERCALLBACK_TEMPORARY : 0u,
                                             ManagerOf(m_Context));
}

CKBOOL RCKMesh::RemovePreRenderCallBack(CK_MESHRENDERCALLBACK function, void* argument)
{
    return m_RenderCallbacks ? m_RenderCallbacks->RemovePreCallback(CKRenderCallbackFrom(function), argument) : FALSE;
}

CKBOOL RCKMesh::AddPostRenderCallBack(CK_MESHRENDERCALLBACK function, void* argument, CKBOOL temporary)
{
    return RenderCallbacks()->AddPostCallback(CKRenderCallbackFrom(function), argument,
                                              temporary ? (CKDWORD) CK_RENDERCALLBACK_TEMPORARY : 0u,
                                              ManagerOf(m_Context));
}

CKBOOL RCKMesh::RemovePostRenderCallBack(CK_MESHRENDERCALLBACK function, void* argument)
{
    return m_RenderCallbacks ? m_RenderCallbacks->RemovePostCallback(CKRenderCallbackFrom(function), argument) : FALSE;
}

void RCKMesh::SetRenderCallBack(CK_MESHRENDERCALLBACK function, void* argument)
{
    RenderCallbacks()->SetRenderCallback(CKRenderCallbackFrom(function), argument);
}

void RCKMesh::SetDefaultRenderCallBack()
{
    if (m_RenderCallbacks)
        m_RenderCallbacks->RemoveRenderCallback();
}

void RCKMesh::RemoveAllCallbacks()
{
    if (!m_RenderCallbacks)
        return;
    m_RenderCallbacks->RemoveAll(ManagerOf(m_Context));
    delete m_RenderCallbacks;
    m_RenderCallbacks = nullptr;
}

// Render and Draw.

CKERROR RCKMesh::Render(CKRenderContext* context, CK3dEntity* entity)
{
    RCKRenderContext* rc = static_cast<RCKRenderContext*>(context);
    CKRasterizerContext* rst = rc ? rc->GetRasterizerContext() : nullptr;
    if (!rst)
        return CKErr::Ok;
    if (entity != rc->GetCurrentEntity()) {
        QxRect extents(0.0f, 0.0f, 0.0f, 0.0f);
        rst->ComputeBoxVisibility(GetLocalBox(), FALSE, &extents);
        rc->AddExtents2D(extents, nullptr);
    }
    if (CKIsChildClassOfObject(this, CKCID_PATCHMESH))
        static_cast<CKPatchMesh*>(this)->BuildRenderMesh();
    if (m_ProgressiveMesh)
        UpdatePMGeometry();
    if (!m_RenderCallbacks) {
        Draw(rc, entity, nullptr);
        return CKErr::Ok;
    }
    // The callbacks may remove themselves, even the list: hold on to what
    // the draw needs first.
    CallMeshCallbacks(rc, entity, this, m_RenderCallbacks->GetPreCallbacks());
    const RenderCallbackRecord* replacing = m_RenderCallbacks ? m_RenderCallbacks->GetRenderCallback() : nullptr;
    if (replacing)
        CKRenderCallbackAs<CK_MESHRENDERCALLBACK> (*replacing)(rc, entity, this, replacing->Argument);
    else
        Draw(rc, entity, nullptr);
    if (m_RenderCallbacks)
        CallMeshCallbacks(rc, entity, this, m_RenderCallbacks->GetPostCallbacks());
    return CKErr::Ok;
}

void RCKMesh::SetUpTextureStages(RCKRenderContext* rc)
{
    CKRasterizerContext* rst = rc->GetRasterizerContext();
    int stage = 1;
    for (int index : m_ExtraTextureChannels) {
        if (!IsChannel(index) || stage >= CKRST_MAX_STAGES)
            break;
        const CKMeshChannel& channel = m_Channels[index];
        rst->SetTextureStageState(stage, CKRST_TSS_STAGEBLEND,
                                  (CKDWORD) ((channel.SourceBlend << 4) | channel.DestBlend));
        rst->SetTextureStageState(stage, CKRST_TSS_TEXCOORDINDEX, (CKDWORD) stage);
        if (channel.Material)
            channel.Material->SetAsCurrent(rc, FALSE, stage);
        ++stage;
    }
    // The next stage ends the cascade.
    const CKRasterizerDriver* driver = rst->GetDriver();
    if (driver && stage < driver->GetCaps().MaxTextureStages)
        rst->SetTextureStageState(stage, CKRST_TSS_STAGEBLEND, 0);
}

void RCKMesh::Draw(RCKRenderContext* rc, CK3dEntity* entity, RenderBatchGroup* batch)
{
    CKRasterizerContext* rst = rc ? rc->GetRasterizerContext() : nullptr;
    if (!rst || m_Vertices.Size() == 0)
        return;
    const int faces = m_Faces.Size();
    const int lines = GetLineCount();
    if (faces == 0 && lines == 0)
        return;
    bool channels = m_Channels.Size() > 0;

    const bool prelit = (m_Flags & CKMESH_PRELITMODE) != 0;
    const CKDWORD state = (prelit ? 0 : kStateLit) | ((m_Flags & CKMESH_WRAPV) ? kStateWrapV : 0) |
                          ((m_Flags & CKMESH_WRAPU) ? kStateWrapU : 0);
    CKDWORD clip = CKRST_DP_DOCLIP;
    int mode = 0;
    const CKDWORD pass = rc->GetPassKind();
    if (pass & CK_PASS_NOMATERIAL)
        mode = kModeNoMaterial;
    if (pass & CK_PASS_OVERRIDEMATERIAL)
        mode |= kModeOverride;
    if (entity) {
        if (entity->GetFlags() & kEntityZBufferOnly)
            mode |= kModeZBufferOnly;
        if (entity->GetFlags() & kEntityStencilOnly)
            mode |= kModeStencilOnly;
        // A node wholly inside the view needs no clipping.
        SceneGraphNode* node = entity->GetSceneGraphNode();
        clip = node && (node->GetFlags() & CK_SCENEGRAPH_ALLINSIDE) ? 0u : (CKDWORD) CKRST_DP_DOCLIP;
    }
    if (mode & (kModeNoMaterial | kModeStencilOnly))
        channels = false;

    CKDrawPrimitiveData data;
    SetClipFlags(clip);
    if (!UpdateRenderData(rc, data))
        return;
    RCKRenderManager* manager = rc->GetRenderManager();
    const CKDWORD format = m_VertexFormat;
    const CKDWORD options = RenderOptionsOf(entity);
    auto queue = [&](CKMaterialGroup* group, CKBatchKey key, CKDWORD words, CKKeyedBatch* materialBatch) {
        CKBatchItem item;
        item.Draw = &RCKMesh::DrawQueuedGroup;
        item.Data[0] = group;
        item.Data[1] = entity;
        item.Data[2] = this;
        item.Words[0] = words;
        if (materialBatch)
            materialBatch->Add(key, item);
        else
            RenderBatchList::AddToChannelBatch(batch, key, item);
    };
    auto drawable = [](const CKMaterialGroup* group) { return group->VertexCount != 0 && group->IndexCount != 0; };

    if (faces > 0 && mode != 0 && batch) {
        // The whole mesh under one material (or none).
        CKBatchKey key;
        CKDWORD words = 0;
        if (mode & kModeNoMaterial) {
            key.Format = format;
        } else if (mode & (kModeZBufferOnly | kModeStencilOnly)) {
            key.Material = manager ? ((mode & kModeZBufferOnly) ? manager->GetZBufferOnlyMaterial()
                                                                : manager->GetStencilOnlyMaterial())
                                   : nullptr;
            key.Format = format;
            words = kItemUnlit;
        } else {
            key.Material = rc->GetOverrideMaterial();
            key.Format = format;
            key.State = state;
        }
        key.Hash = HashOf(key.Material, key.Format, key.State);
        for (CKMaterialGroup* group : m_MaterialGroups)
            if (drawable(group))
                queue(group, key, words, nullptr);
    } else if (faces > 0 && mode != 0) {
        rst->SetRenderState(CKRST_RS_CLIPPING, clip != 0);
        CKMaterial* material = nullptr;
        if (mode & kModeZBufferOnly)
            material = manager ? manager->GetZBufferOnlyMaterial() : nullptr;
        else if (mode & kModeStencilOnly)
            material = manager ? manager->GetStencilOnlyMaterial() : nullptr;
        if (mode & (kModeZBufferOnly | kModeStencilOnly)) {
            rst->SetRenderState(CKRST_RS_LIGHTING, 0);
            if (material)
                material->SetAsCurrent(rc, FALSE, 0);
        }
        // (The shader path needs a shader manager, which this build lacks:
        // the groups draw under the states in place.)
        for (CKMaterialGroup* group : m_MaterialGroups)
            if (drawable(group)) {
                CKDrawPrimitive(rst, *group);
                for (const CK65KPrimitive* p : group->SubPrimitives)
                    CKDrawPrimitive(rst, *p);
            }
    } else if (faces > 0) {
        const bool setup = !(pass & CK_PASS_NOCHANNELS);
        if (!setup)
            channels = false;
        CKKeyedBatch* materialBatch = nullptr;
        if (batch && setup && m_ExtraTextureChannels.Size() > 0) {
            ChannelSignature signature;
            CKMaterial* materials[ChannelSignature::kMaxChannels] = {};
            CKDWORD blends[ChannelSignature::kMaxChannels] = {};
            int n = 0;
            for (int index : m_ExtraTextureChannels)
                if (IsChannel(index) && n < ChannelSignature::kMaxChannels) {
                    materials[n] = m_Channels[index].Material;
                    blends[n++] = (CKDWORD) ((m_Channels[index].SourceBlend << 4) | m_Channels[index].DestBlend);
                }
            signature.Build(n, materials, blends);
            materialBatch = RenderBatchList::GetMaterialBatch(batch, signature);
        }
        if (!batch && setup) {
            rst->SetRenderState(CKRST_RS_CLIPPING, clip != 0);
            if (prelit) {
                rst->SetRenderState(CKRST_RS_LIGHTING, 0);
                rst->SetRenderState(CKRST_RS_SPECULARENABLE, 1);
            } else {
                rst->SetRenderState(CKRST_RS_LIGHTING, 1);
            }
            rst->SetRenderState(CKRST_RS_WRAP0, (m_Flags >> 8) & 3);
            SetUpTextureStages(rc);
        }
        data.Flags |= clip;
        for (int g = 0; g < m_MaterialGroups.Size(); ++g) {
            CKMaterialGroup* group = m_MaterialGroups[g];
            if (!drawable(group))
                continue;
            CKMaterialBinding binding;
            CKMaterial* material = nullptr;
            if (g == 0) {
                material = manager ? manager->GetDefaultMaterial() : nullptr;
                binding.Material = material;
            } else {
                material = rc->ResolveOverriddenRendering(group->Material, binding);
            }
            if (batch) {
                CKBatchKey key;
                key.Material = binding.Material;
                key.ShaderData = binding.Shader;
                key.Technique = binding.Technique;
                key.Format = format;
                key.State = state;
                key.Hash = HashOf(binding.Material, format, state);
                queue(group, key, materialBatch ? kItemStages : 0, materialBatch);
                continue;
            }
            if (material)
                material->SetAsCurrent(rc, prelit ? FALSE : TRUE, 0);
            if (g == 0 && (m_Flags & (CKMESH_PRELITMODE | CKMESH_FORCETRANSPARENCY)) ==
                              (CKMESH_PRELITMODE | CKMESH_FORCETRANSPARENCY)) {
                rst->SetRenderState(CKRST_RS_SRCBLEND, CK_BLEND_SRCALPHA);
                rst->SetRenderState(CKRST_RS_DESTBLEND, CK_BLEND_INVSRCALPHA);
                rst->SetRenderState(CKRST_RS_ALPHABLENDENABLE, 1);
            }
            CKDrawMaterialGroup(rst, *group, options);
        }
    }

    // The wireframe overlay.
    if (faces > 0 && rc->IsWireframeLayerOn()) {
        if (batch) {
            CKBatchKey key;
            key.Material = manager ? manager->GetWireframeLayerMaterial() : nullptr;
            key.Format = format;
            key.State = kWireframeKeyWord;
            key.Tail = 1;
            key.Hash = HashOf(key.Material, format, key.State);
            for (CKMaterialGroup* group : m_MaterialGroups)
                if (drawable(group))
                    queue(group, key, kItemUnlit, nullptr);
        } else {
            DrawOverlay(rc);
        }
    }

    // Channels in passes of their own.
    if (channels && (m_RenderFlags & CKMESH_RENDER_CHANNELS)) {
        if (batch) {
            QueueChannelPasses(rc, entity, batch);
        } else {
            rst->ResetTextureStages();
            DrawChannelPasses(rc, -1);
        }
    }

    if (lines > 0) {
        data.Flags = clip | kLineFormat;
        if (batch) {
            CKBatchKey key;
            key.Material = manager ? manager->GetWireframeLayerMaterial() : nullptr;
            key.State = kLinesKeyWord;
            key.Hash = HashOf(key.Material, key.Format, key.State);
            CKBatchItem item;
            item.Draw = &RCKMesh::DrawQueuedLines;
            item.Data[0] = GetLineIndices();
            item.Data[1] = entity;
            item.Data[2] = this;
            item.Words[0] = clip;
            item.Words[1] = (CKDWORD) (2 * lines);
            RenderBatchList::AddToBatch(batch, key, item);
        } else {
            DrawLines(rc, data);
        }
    }

    if (!batch)
        rst->ResetTextureStages();
    rc->AddDrawnObject();
    EndDraw();
    rst->SetRenderState(CKRST_RS_WRAP0, 0);
}

void RCKMesh::DrawLines(RCKRenderContext* rc, CKDrawPrimitiveData& data)
{
    CKRasterizerContext* rst = rc->GetRasterizerContext();
    rst->SetRenderState(CKRST_RS_LIGHTING, 0);
    rst->SetRenderState(CKRST_RS_ZWRITEENABLE, 1);
    rst->SetRenderState(CKRST_RS_ZFUNC, CK_CMP_LESSEQUAL);
    rst->SetRenderState(CKRST_RS_SHADEMODE, CK_SHADE_GOURAUD);
    rst->SetRenderState(CKRST_RS_ALPHABLENDENABLE, 0);
    rst->SetTexture(0, 0);
    // Line ends past the vertices are left out of the list.
    XArray<CKDWORD> kept;
    const CKDWORD* indices = GetLineIndices();
    const int count = 2 * GetLineCount();
    bool valid = true;
    for (int i = 0; i < count && valid; ++i)
        valid = indices[i] < (CKDWORD) data.VertexCount;
    if (!valid) {
        for (int i = 0; i + 1 < count; i += 2)
            if (indices[i] < (CKDWORD) data.VertexCount && indices[i + 1] < (CKDWORD) data.VertexCount) {
                kept.PushBack(indices[i]);
                kept.PushBack(indices[i + 1]);
            }
        indices = kept.Begin();
    }
    const int drawn = valid ? count : kept.Size();
    if (drawn > 0)
        rst->DrawPrimitiveWithDwordIndices(CKRST_PT_LINELIST, indices, drawn, &data);
}

void RCKMesh::DrawOverlay(RCKRenderContext* rc)
{
    CKRasterizerContext* rst = rc->GetRasterizerContext();
    const QxMatrix projection = ScaleDepth(rc, kOverlayDepthScale);
    RCKRenderManager* manager = rc->GetRenderManager();
    if (CKMaterial* material = manager ? manager->GetDefaultMaterial() : nullptr)
        material->SetAsCurrent(rc, TRUE, 0);
    rst->SetRenderState(CKRST_RS_LIGHTING, 1);
    for (CKMaterialGroup* group : m_MaterialGroups)
        if (group->VertexCount != 0) {
            CKDrawPrimitive(rst, *group);
            for (const CK65KPrimitive* p : group->SubPrimitives)
                CKDrawPrimitive(rst, *p);
        }
    rc->SetProjectionTransformationMatrix(projection);
}

bool RCKMesh::IsChannelPassDrawn(int index) const
{
    const CKMeshChannel& c = m_Channels[index];
    if ((c.Flags & (CKCHANNEL_ACTIVE | CKCHANNEL_MERGED)) != CKCHANNEL_ACTIVE || !c.Material)
        return false;
    if (c.Flags & CKCHANNEL_USEMESHBUFFERS)
        return true;
    for (int b = 0; b < c.Render.GetBlockCount(); ++b)
        if (c.Render.GetBlock(b).VertexCount > 0)
            return true;
    return false;
}

void RCKMesh::DrawChannelBlocks(CKRasterizerContext* rst, const CKMeshChannel& channel)
{
    if (channel.Flags & CKCHANNEL_USEMESHBUFFERS) {
        // The groups' own primitives: all of them, or those of the channel's
        // materials.
        for (int g = 0; g < m_MaterialGroups.Size(); ++g) {
            if ((channel.Flags & CKCHANNEL_MATERIALSUBSET) && !channel.MaterialIndices.IsHere(g - 1))
                continue;
            const CKMaterialGroup* group = m_MaterialGroups[g];
            if (group->VertexCount == 0)
                continue;
            CKDrawPrimitive(rst, *group);
            for (const CK65KPrimitive* p : group->SubPrimitives)
                CKDrawPrimitive(rst, *p);
        }
        return;
    }
    for (int b = 0; b < channel.Render.GetBlockCount(); ++b) {
        const CKChannelRenderData::Block& block = channel.Render.GetBlock(b);
        if (block.VertexCount <= 0)
            continue;
        if (block.Indices.Size() > 0)
            rst->DrawPrimitiveSharedVB(CKRST_PT_TRIANGLELIST, block.VertexBuffer, 0, (CKDWORD) block.VertexCount,
                                       block.Indices.Begin(), block.Indices.Size());
        else
            rst->DrawPrimitiveSharedVBWithDwordIndices(CKRST_PT_TRIANGLELIST, block.VertexBuffer, 0,
                                                       (CKDWORD) block.VertexCount, m_FaceIndices.Begin(),
                                                       m_FaceIndices.Size());
    }
}

void RCKMesh::DrawChannelPasses(RCKRenderContext* rc, int only)
{
    CKRasterizerContext* rst = rc->GetRasterizerContext();
    const QxMatrix projection = ScaleDepth(rc, kChannelDepthScale);
    CKDWORD fogColor = 0, fog = 0;
    rst->GetRenderState(CKRST_RS_FOGCOLOR, &fogColor);
    rst->GetRenderState(CKRST_RS_FOGENABLE, &fog);
    const bool prelit = (m_Flags & CKMESH_PRELITMODE) != 0;
    for (int i = 0; i < m_Channels.Size(); ++i) {
        if ((only >= 0 && i != only) || !IsChannelPassDrawn(i))
            continue;
        const CKMeshChannel& c = m_Channels[i];
        CKMaterial* material = c.Material;
        // (A channel of a shader material or with a key is drawn through the
        // shader manager, which this build lacks: it takes this path too.)
        const int source = material->GetSourceBlend(), destination = material->GetDestBlend();
        const CKBOOL blending = material->AlphaBlendEnabled();
        material->SetSourceBlend(c.SourceBlend);
        material->SetDestBlend(c.DestBlend);
        material->EnableAlphaBlend(TRUE);
        if (!(c.Flags & CKCHANNEL_KEEPFOG))
            rst->SetRenderState(CKRST_RS_FOGENABLE, 0);
        if (IsModulate(c.SourceBlend, c.DestBlend))
            rst->SetRenderState(CKRST_RS_FOGCOLOR, 0xFFFFFFFF);
        const CKBOOL lit = !prelit && !(c.Flags & CKCHANNEL_NOTLIT) ? TRUE : FALSE;
        material->SetAsCurrent(rc, lit, 0);
        rst->SetRenderState(CKRST_RS_LIGHTING, lit);
        DrawChannelBlocks(rst, c);
        material->SetSourceBlend(source);
        material->SetDestBlend(destination);
        material->EnableAlphaBlend(blending);
    }
    rc->SetProjectionTransformationMatrix(projection);
    rst->SetRenderState(CKRST_RS_FOGCOLOR, fogColor);
    rst->SetRenderState(CKRST_RS_FOGENABLE, fog);
}

void RCKMesh::QueueChannelPasses(RCKRenderContext*, CK3dEntity* entity, RenderBatchGroup* batch)
{
    const bool prelit = (m_Flags & CKMESH_PRELITMODE) != 0;
    for (int i = 0; i < m_Channels.Size(); ++i) {
        if (!IsChannelPassDrawn(i))
            continue;
        const CKMeshChannel& c = m_Channels[i];
        const bool lit = !prelit && !(c.Flags & CKCHANNEL_NOTLIT);
        const CKDWORD word =
            ((CKDWORD) ((c.SourceBlend & 0xF) | ((c.DestBlend & 0xF) << 4)) << 24) | 0x10 | (lit ? kStateLit : 0);
        CKBatchKey key;
        key.Material = c.Material;
        key.ShaderData = c.Material->GetShaderData();
        key.Technique = -1;
        key.Format = c.VertexFormat;
        key.State = word;
        key.Hash = HashOf(c.Material, c.VertexFormat, word);
        CKBatchItem item;
        item.Draw = &RCKMesh::DrawQueuedChannel;
        item.Data[1] = entity;
        item.Data[2] = this;
        item.Words[0] = (CKDWORD) i;
        RenderBatchList::AddToChannelBatch(batch, key, item);
    }
}
