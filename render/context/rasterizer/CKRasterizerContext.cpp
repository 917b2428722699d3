#include "render/context/rasterizer/CKRasterizerContext.h"

#include <cstring>

#include "system/math/QxTransformBox2D.h"
#include "system/math/QxVector4.h"

namespace {

// The states a fresh device starts with that are not 0.
struct InitialState
{
    CKDWORD State;
    CKDWORD Value;
};
constexpr InitialState kInitialStates[] = {
    {CKRST_RS_ZENABLE, 1},  {CKRST_RS_SHADEMODE, 2}, {CKRST_RS_ZWRITEENABLE, 1},
    {CKRST_RS_SRCBLEND, 2}, {CKRST_RS_DESTBLEND, 1}, {CKRST_RS_CULLMODE, 3},
    {CKRST_RS_ZFUNC, 4},    {CKRST_RS_CLIPPING, 1},  {CKRST_RS_LIGHTING, 1},
};

// Clip code of a homogeneous point, the rules of QxTransformBox2D.
CKDWORD ClipCode(const QxVector4& h)
{
    CKDWORD code = 0;
    if (h.x < -h.w)
        code |= QX_CLIP_LEFT;
    if (h.x > h.w)
        code |= QX_CLIP_RIGHT;
    if (h.y > h.w)
        code |= QX_CLIP_TOP;
    if (h.y < -h.w)
        code |= QX_CLIP_BOTTOM;
    if (h.z < 0.0f)
        code |= QX_CLIP_FRONT;
    if (h.z > h.w)
        code |= QX_CLIP_BACK;
    return code;
}

} // namespace

CKRasterizerContext::CKRasterizerContext(CKRasterizerDriver* driver) : m_Driver(driver)
{
    m_World.SetIdentity();
    m_View.SetIdentity();
    m_Projection.SetIdentity();
    std::memset(m_RenderStates, 0, sizeof(m_RenderStates));
    for (const InitialState& s : kInitialStates)
        m_RenderStates[s.State] = s.Value;
    std::memset(m_ClipPlanes, 0, sizeof(m_ClipPlanes));
    std::memset(m_LightEnabled, 0, sizeof(m_LightEnabled));
    ResetTextureStages();
}

CKRasterizerContext::~CKRasterizerContext()
{
    ReleaseAllObjects();
}

void CKRasterizerContext::ReleaseAllObjects()
{
    for (XArray<CKRasterizerObjectDesc*>& table : m_Objects) {
        for (CKRasterizerObjectDesc* desc : table)
            delete desc;
        table.Clear();
    }
}

CKBOOL CKRasterizerContext::Create(void* window, int x, int y, int width, int height, int bpp, CKBOOL fullscreen)
{
    if (width <= 0 || height <= 0)
        return FALSE;
    m_Window = window;
    m_PosX = x;
    m_PosY = y;
    m_Width = width;
    m_Height = height;
    m_Bpp = bpp > 0 ? bpp : 32;
    m_Fullscreen = fullscreen;
    m_Viewport = CKViewportData();
    m_Viewport.ViewWidth = width;
    m_Viewport.ViewHeight = height;
    return TRUE;
}

CKBOOL CKRasterizerContext::Resize(int x, int y, int width, int height)
{
    if (width <= 0 || height <= 0)
        return FALSE;
    m_PosX = x;
    m_PosY = y;
    m_Width = width;
    m_Height = height;
    return TRUE;
}

CKBOOL CKRasterizerContext::SetLight(CKDWORD index, const CKLightRecord& light)
{
    if (index >= (CKDWORD) CKRST_MAX_LIGHTS)
        return FALSE;
    m_Lights[index] = light;
    return TRUE;
}

CKBOOL CKRasterizerContext::EnableLight(CKDWORD index, CKBOOL enable)
{
    if (index >= (CKDWORD) CKRST_MAX_LIGHTS)
        return FALSE;
    m_LightEnabled[index] = enable ? TRUE : FALSE;
    return TRUE;
}

CKBOOL CKRasterizerContext::SetMaterial(const CKMaterialData& material)
{
    m_Material = material;
    return TRUE;
}

CKBOOL CKRasterizerContext::SetViewport(const CKViewportData& viewport)
{
    m_Viewport = viewport;
    return TRUE;
}

CKBOOL CKRasterizerContext::SetTransform(CKDWORD type, const QxMatrix& matrix)
{
    switch (type) {
    case CKRST_TRANSFORM_WORLD: m_World = matrix; return TRUE;
    case CKRST_TRANSFORM_VIEW: m_View = matrix; return TRUE;
    case CKRST_TRANSFORM_PROJECTION: m_Projection = matrix; return TRUE;
    default: return FALSE;
    }
}

CKBOOL CKRasterizerContext::SetRenderState(CKDWORD state, CKDWORD value)
{
    if (state >= CKRST_RS_COUNT)
        return FALSE;
    m_RenderStates[state] = value;
    return TRUE;
}

CKBOOL CKRasterizerContext::GetRenderState(CKDWORD state, CKDWORD* value)
{
    if (state >= CKRST_RS_COUNT || !value)
        return FALSE;
    *value = m_RenderStates[state];
    return TRUE;
}

CKBOOL CKRasterizerContext::SetTexture(CKDWORD texture, int stage)
{
    if (stage < 0 || stage >= CKRST_MAX_STAGES)
        return FALSE;
    m_StageTextures[stage] = texture;
    return TRUE;
}

CKBOOL CKRasterizerContext::SetTextureStageState(int stage, CKDWORD state, CKDWORD value)
{
    if (stage < 0 || stage >= CKRST_MAX_STAGES || state >= CKRST_TSS_COUNT)
        return FALSE;
    m_StageStates[stage][state] = value;
    return TRUE;
}

CKBOOL CKRasterizerContext::GetTextureStageState(int stage, CKDWORD state, CKDWORD* value)
{
    if (stage < 0 || stage >= CKRST_MAX_STAGES || state >= CKRST_TSS_COUNT || !value)
        return FALSE;
    *value = m_StageStates[stage][state];
    return TRUE;
}

void CKRasterizerContext::ResetTextureStages()
{
    std::memset(m_StageStates, 0, sizeof(m_StageStates));
    for (int stage = 0; stage < CKRST_MAX_STAGES; ++stage) {
        m_StageTextures[stage] = 0;
        m_StageStates[stage][CKRST_TSS_TEXCOORDINDEX] = (CKDWORD) stage;
    }
}

CKBOOL CKRasterizerContext::SetUserClipPlane(CKDWORD index, const float plane[4])
{
    if (index >= (CKDWORD) CKRST_MAX_CLIPPLANES || !plane)
        return FALSE;
    std::memcpy(m_ClipPlanes[index], plane, sizeof(m_ClipPlanes[index]));
    return TRUE;
}

CKBOOL CKRasterizerContext::GetUserClipPlane(CKDWORD index, float plane[4])
{
    if (index >= (CKDWORD) CKRST_MAX_CLIPPLANES || !plane)
        return FALSE;
    std::memcpy(plane, m_ClipPlanes[index], sizeof(m_ClipPlanes[index]));
    return TRUE;
}

CKBOOL CKRasterizerContext::DeleteObject(CKDWORD index, CKDWORD type)
{
    int slot = KindSlot(type);
    if (slot < 0 || index == 0 || index >= (CKDWORD) m_Objects[slot].Size() || !m_Objects[slot][(int) index])
        return FALSE;
    delete m_Objects[slot][(int) index];
    m_Objects[slot][(int) index] = nullptr;
    return TRUE;
}

int CKRasterizerContext::KindSlot(CKDWORD type)
{
    switch (type) {
    case CKRST_OBJ_TEXTURE: return 0;
    case CKRST_OBJ_SPRITE: return 1;
    case CKRST_OBJ_VERTEXBUFFER: return 2;
    case CKRST_OBJ_SHAREDVB: return 3;
    case CKRST_OBJ_SHAREDIB: return 4;
    default: return -1;
    }
}

CKRasterizerObjectDesc* CKRasterizerContext::GetObjectDesc(CKDWORD index, CKDWORD type) const
{
    int slot = KindSlot(type);
    if (slot < 0 || index >= (CKDWORD) m_Objects[slot].Size())
        return nullptr;
    return m_Objects[slot][(int) index];
}

CKBOOL CKRasterizerContext::SetObjectDesc(CKDWORD index, CKDWORD type, CKRasterizerObjectDesc* desc)
{
    int slot = KindSlot(type);
    if (slot < 0 || index == 0 || index > CKRST_MAX_OBJECTINDEX || !desc) {
        delete desc;
        return FALSE;
    }
    XArray<CKRasterizerObjectDesc*>& table = m_Objects[slot];
    if ((int) index >= table.Size()) {
        int old = table.Size();
        table.Resize((int) index + 1);
        if (table.Size() != (int) index + 1) {
            delete desc;
            return FALSE;
        }
        for (int i = old; i < table.Size(); ++i)
            table[i] = nullptr;
    }
    delete table[(int) index];
    table[(int) index] = desc;
    return TRUE;
}

CKTextureDesc* CKRasterizerContext::GetTextureData(CKDWORD texture) const
{
    return static_cast<CKTextureDesc*>(GetObjectDesc(texture, CKRST_OBJ_TEXTURE));
}

CKSpriteDesc* CKRasterizerContext::GetSpriteData(CKDWORD sprite) const
{
    return static_cast<CKSpriteDesc*>(GetObjectDesc(sprite, CKRST_OBJ_SPRITE));
}

CKVertexBufferDesc* CKRasterizerContext::GetVertexBufferData(CKDWORD vertexBuffer) const
{
    return static_cast<CKVertexBufferDesc*>(GetObjectDesc(vertexBuffer, CKRST_OBJ_VERTEXBUFFER));
}

CKSharedVBDesc* CKRasterizerContext::GetSharedVBData(CKDWORD index) const
{
    return static_cast<CKSharedVBDesc*>(GetObjectDesc(index, CKRST_OBJ_SHAREDVB));
}

CKSharedIBDesc* CKRasterizerContext::GetSharedIBData(CKDWORD index) const
{
    return static_cast<CKSharedIBDesc*>(GetObjectDesc(index, CKRST_OBJ_SHAREDIB));
}

void CKRasterizerContext::ComputeTotalMatrix(QxMatrix& total, CKBOOL world) const
{
    // A point goes through world (unless already there), view, projection.
    QxMatrix viewed;
    if (world)
        viewed = m_View;
    else
        QxMultiplyMatrix4(viewed, m_View, m_World);
    QxMultiplyMatrix4(total, m_Projection, viewed);
}

void CKRasterizerContext::TransformVertices(int count, CKTransformData& data)
{
    data.Offscreen = 0;
    if (count <= 0 || !data.InVertices)
        return;
    QxMatrix total;
    ComputeTotalMatrix(total, FALSE);
    float halfWidth = m_Viewport.ViewWidth * 0.5f;
    float halfHeight = m_Viewport.ViewHeight * 0.5f;
    float centerX = m_Viewport.ViewX + halfWidth;
    float centerY = m_Viewport.ViewY + halfHeight;
    CKDWORD all = QX_CLIP_ALL;
    const CKBYTE* in = static_cast<const CKBYTE*>(data.InVertices);
    for (int i = 0; i < count; ++i) {
        QxVector p;
        std::memcpy(&p, in + (size_t) i * data.InStride, sizeof(p));
        QxVector4 h;
        QxMultiplyMatrixVector4(h, total, p);
        CKDWORD code = ClipCode(h);
        all &= code;
        if (data.OutVertices)
            std::memcpy(static_cast<CKBYTE*>(data.OutVertices) + (size_t) i * data.OutStride, &h, sizeof(h));
        if (data.ClipFlags)
            data.ClipFlags[i] = code;
        if (data.ScreenVertices) {
            QxVector4 s;
            float rhw = h.w != 0.0f ? 1.0f / h.w : 0.0f;
            s.x = centerX + halfWidth * h.x * rhw;
            s.y = centerY - halfHeight * h.y * rhw;
            s.z = h.z * rhw;
            s.w = rhw;
            std::memcpy(static_cast<CKBYTE*>(data.ScreenVertices) + (size_t) i * data.ScreenStride, &s, sizeof(s));
        }
    }
    data.Offscreen = all;
}

CKDWORD CKRasterizerContext::ComputeBoxVisibility(const QxBbox& box, CKBOOL world, QxRect* extents)
{
    QxMatrix total;
    ComputeTotalMatrix(total, world);
    QxRect viewport((float) m_Viewport.ViewX, (float) m_Viewport.ViewY,
                    (float) (m_Viewport.ViewX + m_Viewport.ViewWidth),
                    (float) (m_Viewport.ViewY + m_Viewport.ViewHeight));
    QxRect screen(1e10f, 1e10f, -1e10f, -1e10f);
    CKDWORD orFlags = 0, andFlags = 0;
    QxTransformBox2D(total, box, extents ? &viewport : nullptr, extents ? &screen : nullptr, &orFlags, &andFlags);
    if (andFlags & QX_CLIP_ALL)
        return 0;
    if (extents) {
        if (screen.left < extents->left)
            extents->left = screen.left;
        if (screen.top < extents->top)
            extents->top = screen.top;
        if (screen.right > extents->right)
            extents->right = screen.right;
        if (screen.bottom > extents->bottom)
            extents->bottom = screen.bottom;
    }
    return (orFlags & QX_CLIP_ALL) ? 1 : 2;
}

const CKLightRecord* CKRasterizerContext::GetLight(CKDWORD index) const
{
    return index < (CKDWORD) CKRST_MAX_LIGHTS ? &m_Lights[index] : nullptr;
}

CKBOOL CKRasterizerContext::IsLightEnabled(CKDWORD index) const
{
    return index < (CKDWORD) CKRST_MAX_LIGHTS && m_LightEnabled[index];
}

CKDWORD CKRasterizerContext::GetTexture(int stage) const
{
    return stage >= 0 && stage < CKRST_MAX_STAGES ? m_StageTextures[stage] : 0;
}
