#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/context/CKContext.h"
#include "render/context/RCKRenderContext.h"
#include "render/context/RCKRenderManager.h"
#include "render/context/RenderBatchList.h"
#include "render/context/RenderCallbackList.h"
#include "render/context/SceneGraphNode.h"
#include "render/context/rasterizer/CKRasterizer.h"
#include "render/context/rasterizer/CKRasterizerContext.h"
#include "render/context/rasterizer/CKVertexFormat.h"
#include "render/mesh/CKMaterial.h"
#include "render/mesh/CKMesh.h"
#include "render/objects/CKCamera.h"
#include "render/objects/pointcloud/CloudPointCodec.h"
#include "render/objects/pointcloud/RCK3dPointCloud.h"
#include "render/objects/pointcloud/RCloudSelection.h"

namespace {

// Buffers never hold fewer vertices than this, whatever the device says.
constexpr int kLeastVerticesPerBuffer = 0x2000;
// Texture sets a vertex carries at most.
constexpr int kMaxTextureSets = 8;
// The selections draw slightly in front of the cloud.
constexpr float kSelectionDepthBias = 1.0025f;
// How many points ahead of the one written the fill asks for a colour.
constexpr CKDWORD kColorsAhead = 16;
// Vertices of positions and colours written together.
constexpr CKDWORD kFillSlice = 256;

CKDWORD FloatState(float value)
{
    return std::bit_cast<CKDWORD>(value);
}

const CKRasterizerDriverCaps* CapsOf(CKRasterizerContext* rst)
{
    return rst && rst->GetDriver() ? &rst->GetDriver()->GetCaps() : nullptr;
}

// ARGB, or with red in the low byte for devices that want it.
CKDWORD DeviceColor(CKDWORD argb, CKBOOL bgra)
{
    if (!bgra)
        return argb;
    return (argb & 0xFF00FF00) | ((argb >> 16) & 0xFF) | ((argb & 0xFF) << 16);
}

// Writes one colour to the colour slots of count 16-byte vertices.
void FillColor(CKBYTE* slots, CKDWORD count, CKDWORD color)
{
    for (CKDWORD v = 0; v < count; ++v)
        std::memcpy(slots + (size_t) v * 16, &color, 4);
}

// Writes the colours of the points to the colour slots of count 16-byte
// vertices, as DeviceColor(CloudColorFrom565(colors.Get(index)), bgra).
void WriteColors(CKBYTE* slots, const CKDWORD* indices, CKDWORD count, const CloudAttribute& colors, CKBOOL bgra)
{
    const CKBYTE* data = colors.Data.data();
    // The colours lie in the order of the points' indices, scattered: each
    // is asked for some points ahead.
    const uintptr_t address = reinterpret_cast<uintptr_t>(data);
    if (colors.Bits != 16 || colors.Mask != 0xFFFF) {
        const unsigned bits = (unsigned) colors.Bits;
        for (CKDWORD v = 0; v < count; ++v) {
            if (v + kColorsAhead < count)
                __builtin_prefetch(
                    reinterpret_cast<const void*>(address + (((size_t) indices[v + kColorsAhead] * bits) >> 3)));
            const CKDWORD color = DeviceColor(CloudColorFrom565(colors.Get((int) indices[v])), bgra);
            std::memcpy(slots + (size_t) v * 16, &color, 4);
        }
        return;
    }
    // Two bytes a colour: indices below this read them whole.
    const size_t whole = colors.Data.size() / 2;
    for (CKDWORD v = 0; v < count; ++v) {
        if (v + kColorsAhead < count)
            __builtin_prefetch(reinterpret_cast<const void*>(address + (size_t) indices[v + kColorsAhead] * 2));
        const CKDWORD index = indices[v];
        uint16_t value = 0;
        if (index < whole)
            std::memcpy(&value, data + (size_t) index * 2, 2);
        if constexpr (std::endian::native == std::endian::big)
            value = __builtin_bswap16(value);
        const CKDWORD color = DeviceColor(CloudColorFrom565(value), bgra);
        std::memcpy(slots + (size_t) v * 16, &color, 4);
    }
}

void ForEachEntry(CloudVertexGroups& groups, void (*f)(CloudLevelEntry&, void*), void* argument)
{
    for (CloudVertexGroup& group : groups.Groups)
        for (CloudLevelEntry& entry : group.Levels)
            f(entry, argument);
}

} // namespace

float RCK3dPointCloud::FillClock()
{
    return m_FillClock ? m_FillClock() : m_FillTimer.Current();
}

CKBOOL RCK3dPointCloud::IsInViewFrustrum(CKRenderContext* context, CKDWORD flags)
{
    RCKRenderContext* rc = static_cast<RCKRenderContext*>(context);
    CKRasterizerContext* rst = rc ? rc->GetRasterizerContext() : nullptr;
    if (!rst)
        return FALSE;
    ModifyMoveableFlags(CK_3DENTITY_FRUSTUMTESTED, 0);
    if (!(flags & 0x100))
        rc->SetWorldTransformationMatrix(m_WorldMatrix);
    QxRect* extents = nullptr;
    if (flags & 0xFF) {
        m_RenderExtents = QxRect(1e8f, 1e8f, -1e8f, -1e8f);
        extents = &m_RenderExtents;
    }
    const CKDWORD visibility = rst->ComputeBoxVisibility(m_LocalBox, FALSE, extents);
    if (visibility == 0) {
        if (m_SceneGraphNode)
            m_SceneGraphNode->ModifyFlags(CK_SCENEGRAPH_ALLOUTSIDE, 0);
        return FALSE;
    }
    if (visibility == 2 && m_SceneGraphNode)
        m_SceneGraphNode->ModifyFlags(CK_SCENEGRAPH_ALLINSIDE, 0);
    return TRUE;
}

void RCK3dPointCloud::PublishFigures(RCKRenderManager* manager)
{
    if (!manager)
        return;
    CKRenderSettings& s = manager->GetSettings();
    s.PointsProfMemTree = m_SubdivisionBytes;
    long long attributes = 0;
    for (const CloudAttribute& a : m_Attributes)
        if (a.Enabled)
            attributes += (long long) a.Bits * m_PointCount / 8;
    s.PointsProfMemAttributes = (int) std::min<long long>(attributes, INT32_MAX);
    s.PointsProfCountPoints = m_PointCount;
    s.PointsProfCountPointsDrawn = 0;
    s.PointsProfCountVBDrawn = 0;
}

CKBOOL RCK3dPointCloud::Render(CKRenderContext* context, CKDWORD flags)
{
    RCKRenderContext* rc = static_cast<RCKRenderContext*>(context);
    CKRasterizerContext* rst = rc ? rc->GetRasterizerContext() : nullptr;
    if (!rst)
        return TRUE;
    RCKRenderManager* manager = CloudRenderManager();
    PublishFigures(manager);
    if (!(m_MoveableFlags & CK_3DENTITY_FRUSTUMTESTED) && !IsInViewFrustrum(context, flags))
        return TRUE;
    if (!m_Tree.HasRoot())
        return TRUE;
    if (rc->GetBatching()) {
        rc->GetBatchList()->GetGroup(m_SceneGraphNode ? m_SceneGraphNode->GetPriority() : 0)->m_Entities.PushBack(this);
        return TRUE;
    }
    if ((m_MoveableFlags & CK_3DENTITY_FRUSTUMTESTED) && !(flags & 0x100))
        rc->SetWorldTransformationMatrix(m_WorldMatrix);
    auto callbacks = [&](bool post) {
        if (!m_Callbacks)
            return;
        XArray<RenderCallbackRecord> records = post ? m_Callbacks->GetPostCallbacks() : m_Callbacks->GetPreCallbacks();
        QxTimeProfiler timer;
        for (const RenderCallbackRecord& r : records)
            CKRenderCallbackAs<CK_RENDEROBJECT_CALLBACK>(r)(rc, this, r.Argument);
        rc->CallbackTime3D() += timer.Current();
    };
    callbacks(false);
    rc->SetCurrentEntity(this);

    int verticesPerBuffer = manager ? manager->GetSettings().PointsVerticesPerVB : 135535;
    if (const CKRasterizerDriverCaps* caps = CapsOf(rst))
        verticesPerBuffer = std::min(verticesPerBuffer, caps->MaxVertexIndex);
    verticesPerBuffer = std::max(verticesPerBuffer, kLeastVerticesPerBuffer);
    if ((m_CloudFlags & CLOUD_REBUILDLEVELS) || m_Groups.Groups.empty() ||
        verticesPerBuffer != m_BuiltVerticesPerBuffer)
        RebuildGroups(rc, verticesPerBuffer);
    if (ArePointsShown())
        DrawPoints(rc);
    for (RCloudSelection* s : m_Selections)
        if (s->IsVisible() && s->GetPointCount() > 0)
            DrawSelection(rc, s);

    callbacks(true);
    rc->SetCurrentEntity(nullptr);
    if (flags & 0xFF)
        rc->AddExtents2D(m_RenderExtents, this);
    return TRUE;
}

void RCK3dPointCloud::RebuildGroups(RCKRenderContext* rc, int verticesPerBuffer)
{
    m_Profiler.Reset();
    m_BuiltVerticesPerBuffer = verticesPerBuffer;
    RCKRenderManager* manager = rc->GetRenderManager();
    if (manager)
        for (const CloudVertexGroup& group : m_Groups.Groups)
            for (const CloudLevelEntry& entry : group.Levels)
                if (entry.VertexBuffer)
                    manager->ReleaseObjectIndex(entry.VertexBuffer, CKRST_OBJ_VERTEXBUFFER);
    m_Groups.Clear(m_Tree);
    // The levels and groups are made again: so is the plan of the fills.
    m_FillPlan.Clear();
    if (!m_Tree.HasRoot()) {
        m_CloudFlags &= ~CLOUD_REBUILDLEVELS;
        return;
    }
    int given[CLOUD_LEVELCOUNT];
    CloudAssignLevels(m_Tree, m_PointCount, m_LevelCounts + 1, given);
    if (manager)
        manager->GetSettings().PointsProfTimeLODCreation = m_Profiler.Current();
    // The node bits hold 4095 groups: a cloud that needs more gets larger
    // buffers.
    for (int vertices = verticesPerBuffer; !CloudBuildGroups(m_Tree, m_Groups, vertices); vertices *= 2)
        ;
    if (manager)
        for (CloudVertexGroup& group : m_Groups.Groups)
            for (CloudLevelEntry& entry : group.Levels)
                if (entry.VertexCount > 0)
                    entry.VertexBuffer = manager->CreateObjectIndex(CKRST_OBJ_VERTEXBUFFER);
    m_CloudFlags &= ~CLOUD_REBUILDLEVELS;
}

void RCK3dPointCloud::SetLighting(CKRasterizerContext* rst, CKBOOL lit)
{
    if (lit) {
        CKMaterialData black;
        black.Specular.a = 1.0f;
        black.Emissive.a = 1.0f;
        rst->SetMaterial(black);
        rst->SetRenderState(CKRST_RS_LIGHTING, 1);
        rst->SetRenderState(141, 1);
        rst->SetRenderState(145, 1);
        rst->SetRenderState(147, 1);
    } else {
        rst->SetRenderState(CKRST_RS_LIGHTING, 0);
    }
    rst->SetRenderState(CKRST_RS_CLIPPING, 1);
    rst->SetRenderState(CKRST_RS_ZWRITEENABLE, 1);
    rst->SetRenderState(CKRST_RS_ZENABLE, 1);
    rst->SetRenderState(CKRST_RS_ZFUNC, 4);
}

void RCK3dPointCloud::Cull(RCKRenderContext* rc)
{
    QxTimeProfiler timer;
    CKCamera* camera = nullptr;
    if (m_Context) {
        CKObject* debug = m_Context->GetObjectByNameAndClass("CloudDebugCamera", CKCID_TARGETCAMERA, nullptr);
        if (!debug)
            debug = m_Context->GetObjectByNameAndClass("CloudDebugCamera", CKCID_CAMERA, nullptr);
        camera = static_cast<CKCamera*>(debug);
    }
    if (!camera)
        camera = rc->GetAttachedCamera();
    if (!camera) {
        // No camera to cull against: everything may show.
        ForEachEntry(
            m_Groups, [](CloudLevelEntry& e, void*) { e.Flags |= CLOUD_ENTRY_VISIBLE; }, nullptr);
    } else {
        const QxMatrix& m = camera->GetWorldMatrix();
        const QxVector origin(m[3][0], m[3][1], m[3][2]);
        const QxVector right = QxNormalize(QxVector(m[0][0], m[0][1], m[0][2]));
        const QxVector up = QxNormalize(QxVector(m[1][0], m[1][1], m[1][2]));
        const QxVector direction = QxNormalize(QxVector(m[2][0], m[2][1], m[2][2]));
        QxRect view;
        rc->GetViewRect(view);
        const float width = view.right - view.left, height = view.bottom - view.top;
        const float aspect = width > 0.0f && height > 0.0f ? height / width : 0.75f;
        m_Frustum = QxFrustum(origin, right, up, direction, camera->GetFrontPlane(), camera->GetBackPlane(),
                              camera->GetFov(), aspect);
        m_Frustum.Transform(GetInverseWorldMatrix());
        CloudCullGroups(m_Tree, m_Groups, GetBoxMin(), GetBoxSize(), m_Frustum, m_CurrentLevel);
    }
    if (RCKRenderManager* manager = rc->GetRenderManager())
        manager->GetSettings().PointsProfTimeCulling = timer.Current();
}

void RCK3dPointCloud::Invalidate()
{
    if (m_BoxMoved)
        ForEachEntry(
            m_Groups, [](CloudLevelEntry& e, void*) { e.Flags &= ~CLOUD_ENTRY_POSITIONS; }, nullptr);
    if (m_CloudFlags & CLOUD_REFILLATTRIBUTES)
        ForEachEntry(
            m_Groups, [](CloudLevelEntry& e, void*) { e.Flags &= ~CLOUD_ENTRY_VALUES; }, nullptr);
    m_BoxMoved = FALSE;
    m_CloudFlags &= ~CLOUD_REFILLATTRIBUTES;
}

void RCK3dPointCloud::BuildVertexFormat(CKRasterizerContext*)
{
    CKDWORD format = CKRST_FVF_XYZ;
    int size = 12;
    if (IsLightingEnabled() && HasNormals()) {
        format |= CKRST_FVF_NORMAL;
        size += 12;
    }
    if ((HasColors() || m_MaterialColorMode) && IsAttributeDrawn(CLOUD_ATTRIBUTE_COLORS)) {
        format |= CKRST_FVF_DIFFUSE;
        size += 4;
    }
    int sets = 0;
    for (int i = CLOUD_ATTRIBUTE_INTENSITY; i < (int) m_Attributes.size() && sets < kMaxTextureSets; ++i)
        if (m_Attributes[i].Enabled && (m_Attributes[i].Flags & CLOUD_ATTRIBUTE_DRAWN)) {
            format |= 0x30000u << (2 * sets);
            ++sets;
            size += 4;
        }
    format |= (CKDWORD) sets << CKRST_FVF_TEXCOUNT_SHIFT;
    m_VertexFormat = format;
    m_VertexSize = size;
}

void RCK3dPointCloud::WriteVertexValues(CKBYTE* out, CKDWORD pointIndex, CKBOOL materialColor, CKMaterial* material,
                                        CKBOOL bgra, CKBOOL withNormal)
{
    const int point = (int) pointIndex;
    if (m_VertexFormat & CKRST_FVF_NORMAL) {
        if (withNormal) {
            QxVector n;
            GetPointNormal(&n, point);
            std::memcpy(out, &n, 12);
        }
        out += 12;
    }
    if (m_VertexFormat & CKRST_FVF_DIFFUSE) {
        const CKDWORD argb = materialColor && material ? material->GetDiffuse().GetARGB() : GetPointColor(point);
        const CKDWORD color = DeviceColor(argb, bgra);
        std::memcpy(out, &color, 4);
        out += 4;
    }
    int sets = 0;
    for (int i = CLOUD_ATTRIBUTE_INTENSITY; i < (int) m_Attributes.size() && sets < kMaxTextureSets; ++i) {
        const CloudAttribute& a = m_Attributes[i];
        if (!a.Enabled || !(a.Flags & CLOUD_ATTRIBUTE_DRAWN))
            continue;
        const float value = a.Type == CLOUD_ATTRIBUTE_FLOAT ? a.GetFloat(point) : (float) a.Get(point);
        std::memcpy(out, &value, 4);
        out += 4;
        ++sets;
    }
}

void RCK3dPointCloud::Fill(RCKRenderContext* rc, int level)
{
    CKRasterizerContext* rst = rc->GetRasterizerContext();
    BuildVertexFormat(rst);
    const CKRasterizerDriverCaps* caps = CapsOf(rst);
    const CKBOOL bgra = caps && (caps->CapsFlags & CKRST_CAPS_COLORBGRA);
    RCKRenderManager* manager = rc->GetRenderManager();
    const float budget = manager ? manager->GetSettings().PointsMaxTimeToFillVB : 50.0f;
    m_FillTimer.Reset();
    const float start = FillClock();
    const CKDWORD vertexSize = (CKDWORD) m_VertexSize;
    // Positions and colours alone (the common format) are written here
    // without the general per-vertex steps.
    const bool colorsOnly = m_VertexFormat == (CKRST_FVF_XYZ | CKRST_FVF_DIFFUSE) && vertexSize == 16;
    const bool fixedColor = m_MaterialColorMode && m_Material;
    const CKDWORD materialColor = fixedColor ? DeviceColor(m_Material->GetDiffuse().GetARGB(), bgra) : 0;
    const CloudAttribute* colors = EnabledAttribute(CLOUD_ATTRIBUTE_COLORS);
    // Every point's colour when no per-point colour is read.
    const CKDWORD sameColor = fixedColor ? materialColor : DeviceColor(0xFFFFFFFF, bgra);
    // The plan holds the entries' points in fill order: the fill is a
    // straight loop over them, the positions rebuilt from the box as the
    // walk rebuilds them.
    const std::vector<CloudFillPlan::Run>& runs = m_FillPlan.Runs(m_Tree, m_Groups, level);
    m_FillPlan.Place(GetBoxMin(), GetBoxSize());
    const CKDWORD* pointIndices = m_FillPlan.PointIndices(level);
    for (const CloudFillPlan::Run& run : runs) {
        CloudLevelEntry& entry = m_Groups.Groups[run.Group].Levels[level];
        if (!(entry.Flags & CLOUD_ENTRY_VISIBLE) || !entry.VertexBuffer)
            continue;
        const CKVertexBufferDesc* desc = rst->GetVertexBufferData(entry.VertexBuffer);
        if (!desc || desc->VertexFormat != m_VertexFormat || desc->VertexSize != vertexSize ||
            desc->MaxVertexCount < (CKDWORD) entry.VertexCount) {
            CKVertexBufferDesc wanted;
            wanted.VertexFormat = m_VertexFormat;
            wanted.VertexSize = vertexSize;
            wanted.MaxVertexCount = (CKDWORD) entry.VertexCount;
            if (!rst->CreateObject(entry.VertexBuffer, CKRST_OBJ_VERTEXBUFFER, &wanted))
                m_CloudFlags |= CLOUD_BUFFERFAILED;
            entry.Flags &= ~CLOUD_ENTRY_POSITIONS;
        }
        const bool positions = !(entry.Flags & CLOUD_ENTRY_POSITIONS);
        if (!positions && (entry.Flags & CLOUD_ENTRY_VALUES))
            continue;
        CKBYTE* data =
            static_cast<CKBYTE*>(rst->LockVertexBuffer(entry.VertexBuffer, 0, (CKDWORD) entry.VertexCount, 0));
        if (!data)
            continue;
        const CKDWORD* indices = pointIndices + run.First;
        if (colorsOnly) {
            // Positions and colours a slice at a time, so that the second
            // writes find the vertices still in the cache.
            for (CKDWORD first = 0; first < run.Count; first += kFillSlice) {
                const CloudFillPlan::Run slice{run.Group, run.First + first, std::min(kFillSlice, run.Count - first)};
                CKBYTE* vertices = data + (size_t) first * 16;
                if (positions)
                    m_FillPlan.WritePositions(level, slice, vertices, 16);
                if (fixedColor || !colors)
                    FillColor(vertices + 12, slice.Count, sameColor);
                else
                    WriteColors(vertices + 12, indices + first, slice.Count, *colors, bgra);
            }
        } else {
            if (positions)
                m_FillPlan.WritePositions(level, run, data, vertexSize);
            for (CKDWORD v = 0; v < run.Count; ++v)
                WriteVertexValues(data + (size_t) v * vertexSize + 12, indices[v], m_MaterialColorMode, m_Material,
                                  bgra, positions);
        }
        rst->UnlockVertexBuffer(entry.VertexBuffer);
        entry.Flags |= CLOUD_ENTRY_VISIBLE | CLOUD_ENTRY_POSITIONS | CLOUD_ENTRY_VALUES;
        // The coarse level is always complete; the others go on over the
        // next frames once the budget is spent.
        if (level != 3 && FillClock() - start > budget)
            break;
    }
    if (manager)
        manager->GetSettings().PointsProfTimeVBFill = FillClock() - start;
    if (m_CloudFlags & CLOUD_BUFFERFAILED) {
        for (CloudVertexGroup& group : m_Groups.Groups)
            for (CloudLevelEntry& entry : group.Levels)
                if (!(entry.Flags & CLOUD_ENTRY_VISIBLE) && entry.VertexBuffer)
                    rst->DeleteObject(entry.VertexBuffer, CKRST_OBJ_VERTEXBUFFER);
        m_CloudFlags &= ~CLOUD_BUFFERFAILED;
    }
}

void RCK3dPointCloud::DrawPoints(RCKRenderContext* rc)
{
    CKRasterizerContext* rst = rc->GetRasterizerContext();
    RCKRenderManager* manager = rc->GetRenderManager();
    const CKRasterizerDriverCaps* caps = CapsOf(rst);
    const CKBOOL lit = IsLightingEnabled();
    SetLighting(rst, lit);
    Cull(rc);
    Invalidate();
    Fill(rc, 3);
    Fill(rc, m_CurrentLevel);

    long long videoMemory = 0;
    for (CloudVertexGroup& group : m_Groups.Groups)
        group.Coarse = 0;
    for (CloudVertexGroup& group : m_Groups.Groups)
        for (int level = 0; level < 4; ++level) {
            const CloudLevelEntry& entry = group.Levels[level];
            if (entry.VertexBuffer && rst->GetVertexBufferData(entry.VertexBuffer))
                videoMemory += (long long) m_VertexSize * entry.VertexCount;
            else if (level == m_CurrentLevel && entry.VertexCount > 0 && (entry.Flags & CLOUD_ENTRY_VISIBLE) &&
                     group.Fallback > 0)
                m_Groups.Groups[group.Fallback - 1].Coarse = 1;
        }

    const CKBOOL sprites = m_PointSprites && m_Material && caps && (caps->CapsFlags & CKRST_CAPS_POINTSPRITES);
    if (sprites) {
        m_Material->SetAsCurrent(rc, lit, 0);
    } else {
        rst->SetTexture(0, 0);
        rst->SetRenderState(CKRST_RS_ALPHABLENDENABLE, 0);
        rst->SetRenderState(CKRST_RS_ALPHATESTENABLE, 0);
    }
    if (sprites) {
        const CKRenderSettings* s = manager ? &manager->GetSettings() : nullptr;
        rst->SetRenderState(CKRST_RS_POINTSCALEENABLE, 1);
        rst->SetRenderState(CKRST_RS_POINTSPRITEENABLE, 1);
        rst->SetRenderState(CKRST_RS_POINTSIZE, FloatState(m_PointSize));
        rst->SetRenderState(CKRST_RS_POINTSIZEMIN, FloatState(s ? s->PointsMinPointSize : 1.0f));
        rst->SetRenderState(CKRST_RS_POINTSIZEMAX, FloatState(s ? s->PointsMaxPointSize : 128.0f));
        rst->SetRenderState(CKRST_RS_POINTSCALE_A, FloatState(1.0f));
        rst->SetRenderState(CKRST_RS_POINTSCALE_B, FloatState(0.0f));
        rst->SetRenderState(CKRST_RS_POINTSCALE_C, FloatState(1.0f));
    } else {
        rst->SetRenderState(CKRST_RS_POINTSPRITEENABLE, 0);
        rst->SetRenderState(CKRST_RS_POINTSCALEENABLE, 0);
        rst->SetRenderState(CKRST_RS_POINTSIZE, FloatState(1.0f));
        rst->SetRenderState(CKRST_RS_POINTSIZEMIN, FloatState(1.0f));
    }
    if (m_ClipPlaneCount > 0) {
        rst->SetRenderState(CKRST_RS_CLIPPLANEENABLE, (1u << m_ClipPlaneCount) - 1);
        for (int i = 0; i < m_ClipPlaneCount; ++i) {
            const float plane[4] = {m_ClipPlanes[i].x, m_ClipPlanes[i].y, m_ClipPlanes[i].z, m_ClipPlanes[i].w};
            rst->SetUserClipPlane((CKDWORD) i, plane);
        }
    }

    int pointsDrawn = 0, buffersDrawn = 0;
    for (CloudVertexGroup& group : m_Groups.Groups) {
        const CloudLevelEntry& entry = group.Levels[group.Coarse ? 3 : m_CurrentLevel];
        if (!(entry.Flags & CLOUD_ENTRY_VISIBLE) || entry.VertexCount <= 0 || !entry.VertexBuffer ||
            !rst->GetVertexBufferData(entry.VertexBuffer))
            continue;
        rst->DrawPrimitiveVB(CKRST_PT_POINTLIST, entry.VertexBuffer, 0, (CKDWORD) entry.VertexCount);
        pointsDrawn += entry.VertexCount;
        ++buffersDrawn;
    }
    if (lit)
        rst->SetRenderState(141, 0);
    if (m_ClipPlaneCount > 0)
        rst->SetRenderState(CKRST_RS_CLIPPLANEENABLE, 0);
    if (manager) {
        CKRenderSettings& s = manager->GetSettings();
        s.PointsProfMemVideoMem = (int) std::min<long long>(videoMemory, INT32_MAX);
        s.PointsProfCountPointsDrawn = pointsDrawn;
        s.PointsProfCountVBDrawn = buffersDrawn;
    }
}

void RCK3dPointCloud::DrawSelection(RCKRenderContext* rc, RCloudSelection* selection)
{
    CKRasterizerContext* rst = rc->GetRasterizerContext();
    RCKRenderManager* manager = rc->GetRenderManager();
    const CKRasterizerDriverCaps* caps = CapsOf(rst);
    const QxMatrix projection = rc->GetProjectionTransformationMatrix();
    QxMatrix nearer = projection;
    nearer[3][2] *= kSelectionDepthBias;
    rc->SetProjectionTransformationMatrix(nearer);
    const CKBOOL lit = selection->IsLit();
    SetLighting(rst, lit);

    const int count = selection->GetPointCount();
    const int mode = selection->GetDrawMode();
    if (mode == CLOUD_SELECTION_DRAWMESH && selection->GetMesh()) {
        // One mesh at every point, as many as a frame can take.
        constexpr int kMaxMeshes = 10000;
        if (count > kMaxMeshes && m_Context)
            m_Context->OutputToConsole(
                "Warning : trying to render more than 10000 primitive in selection, clamping to 10000", TRUE);
        CKMesh* mesh = selection->GetMesh();
        const int drawn = std::min(count, kMaxMeshes);
        for (int i = 0; i < drawn; ++i) {
            QxVector world;
            Transform(&world, &selection->GetEntry(i)->Position, nullptr);
            QxMatrix at = QxMatrix::Identity();
            at[3][0] = world.x;
            at[3][1] = world.y;
            at[3][2] = world.z;
            rc->SetWorldTransformationMatrix(at);
            mesh->Render(rc, this);
        }
        rc->SetWorldTransformationMatrix(m_WorldMatrix);
    } else {
        BuildVertexFormat(rst);
        const int block = std::max(1, caps ? caps->MaxVertexIndex : 0xFFFF);
        const int buffers = (count + block - 1) / block;
        XArray<CKDWORD>& indices = selection->GetVertexBuffers();
        while (indices.Size() > buffers) {
            const CKDWORD last = indices[indices.Size() - 1];
            if (manager && last)
                manager->ReleaseObjectIndex(last, CKRST_OBJ_VERTEXBUFFER);
            indices.RemoveAt(indices.Size() - 1);
        }
        while (indices.Size() < buffers)
            indices.PushBack(manager ? manager->CreateObjectIndex(CKRST_OBJ_VERTEXBUFFER) : 0);
        const CKDWORD vertexSize = (CKDWORD) m_VertexSize;
        for (int b = 0; b < buffers; ++b) {
            const int vertices = std::min(block, count - b * block);
            const CKVertexBufferDesc* desc = indices[b] ? rst->GetVertexBufferData(indices[b]) : nullptr;
            if (indices[b] && (!desc || desc->MaxVertexCount != (CKDWORD) vertices ||
                               desc->VertexFormat != m_VertexFormat || desc->VertexSize != vertexSize)) {
                CKVertexBufferDesc wanted;
                wanted.VertexFormat = m_VertexFormat;
                wanted.VertexSize = vertexSize;
                wanted.MaxVertexCount = (CKDWORD) vertices;
                rst->CreateObject(indices[b], CKRST_OBJ_VERTEXBUFFER, &wanted);
                selection->ModifyFlags(0, CLOUD_SELECTION_UPTODATE);
            }
        }
        const CKBOOL bgra = caps && (caps->CapsFlags & CKRST_CAPS_COLORBGRA);
        if (!(selection->GetFlags() & CLOUD_SELECTION_UPTODATE)) {
            for (int b = 0; b < buffers; ++b) {
                const int vertices = std::min(block, count - b * block);
                CKBYTE* data = indices[b]
                                   ? static_cast<CKBYTE*>(rst->LockVertexBuffer(indices[b], 0, (CKDWORD) vertices, 0))
                                   : nullptr;
                if (!data)
                    continue;
                for (int v = 0; v < vertices; ++v) {
                    const CloudSelectionEntry* e = selection->GetEntry(b * block + v);
                    CKBYTE* vertex = data + (size_t) v * vertexSize;
                    std::memcpy(vertex, &e->Position, 12);
                    WriteVertexValues(vertex + 12, e->PointIndex, selection->IsUsingMaterialColor(),
                                      selection->GetMaterial(), bgra, TRUE);
                }
                rst->UnlockVertexBuffer(indices[b]);
            }
            selection->ModifyFlags(CLOUD_SELECTION_UPTODATE, 0);
        }
        const CKBOOL sprites = mode == CLOUD_SELECTION_DRAWSPRITES && selection->GetMaterial() && caps &&
                               (caps->CapsFlags & CKRST_CAPS_POINTSPRITES);
        if (sprites) {
            const CKRenderSettings* s = manager ? &manager->GetSettings() : nullptr;
            selection->GetMaterial()->SetAsCurrent(rc, lit, 0);
            rst->SetRenderState(CKRST_RS_POINTSCALEENABLE, 1);
            rst->SetRenderState(CKRST_RS_POINTSPRITEENABLE, 1);
            rst->SetRenderState(CKRST_RS_POINTSIZE, FloatState(m_PointSize));
            rst->SetRenderState(CKRST_RS_POINTSIZEMIN, FloatState(s ? s->PointsMinPointSize : 1.0f));
            rst->SetRenderState(CKRST_RS_POINTSIZEMAX, FloatState(s ? s->PointsMaxPointSize : 128.0f));
        } else {
            rst->SetTexture(0, 0);
            rst->SetRenderState(CKRST_RS_ALPHABLENDENABLE, 0);
            rst->SetRenderState(CKRST_RS_ALPHATESTENABLE, 0);
            rst->SetRenderState(CKRST_RS_POINTSPRITEENABLE, 0);
            rst->SetRenderState(CKRST_RS_POINTSCALEENABLE, 0);
            rst->SetRenderState(CKRST_RS_POINTSIZE, FloatState(1.0f));
        }
        for (int b = 0; b < buffers; ++b)
            if (indices[b] && rst->GetVertexBufferData(indices[b]))
                rst->DrawPrimitiveVB(CKRST_PT_POINTLIST, indices[b], 0, (CKDWORD) std::min(block, count - b * block));
    }
    if (lit)
        rst->SetRenderState(141, 0);
    rc->SetProjectionTransformationMatrix(projection);
}
