#include "render/mesh/CKMaterialGroup.h"

#include "render/context/RCKRenderManager.h"
#include "render/context/rasterizer/CKRasterizerContext.h"

namespace {

// Render options of the drawn entity that change the depth states.
constexpr CKDWORD kZAlways = 0x200000;
constexpr CKDWORD kNoZWrite = 0x80000;
// Direct3D 9 comparison "always".
constexpr CKDWORD kCompareAlways = 8;

void TakeBuffers(CK65KPrimitive& p, RCKRenderManager* manager)
{
    if (!manager)
        return;
    p.VertexBuffer = manager->CreateObjectIndex(CKRST_OBJ_SHAREDVB);
    p.IndexBuffer = manager->CreateObjectIndex(CKRST_OBJ_SHAREDIB);
}

void GiveBuffersBack(CK65KPrimitive& p, RCKRenderManager* manager)
{
    if (!manager)
        return;
    if (p.VertexBuffer > 0)
        manager->ReleaseObjectIndex(p.VertexBuffer, CKRST_OBJ_SHAREDVB);
    if (p.IndexBuffer > 0)
        manager->ReleaseObjectIndex(p.IndexBuffer, CKRST_OBJ_SHAREDIB);
    p.VertexBuffer = 0;
    p.IndexBuffer = 0;
}

} // namespace

CKMaterialGroup::CKMaterialGroup(RCKRenderManager* manager, CKMaterial* material) : Manager(manager), Material(material)
{
    Type = CKRST_PT_TRIANGLELIST;
    TakeBuffers(*this, manager);
}

CKMaterialGroup::~CKMaterialGroup()
{
    ReleaseSubPrimitives();
    GiveBuffersBack(*this, Manager);
}

void CKMaterialGroup::ReleaseSubPrimitives()
{
    for (CK65KPrimitive* p : SubPrimitives) {
        GiveBuffersBack(*p, Manager);
        delete p;
    }
    SubPrimitives.Free();
}

void CKMaterialGroup::Clear()
{
    Type = CKRST_PT_TRIANGLELIST;
    VertexCount = 0;
    IndexCount = 0;
    Indices.Clear();
    Remap.Clear();
    StripLengths.Clear();
    Faces.Clear();
    ReleaseSubPrimitives();
}

CK65KPrimitive* CKMaterialGroup::AddSubPrimitive()
{
    CK65KPrimitive* p = new CK65KPrimitive;
    if (!p)
        return nullptr;
    p->Type = Type;
    TakeBuffers(*p, Manager);
    SubPrimitives.PushBack(p);
    return p;
}

int CKMaterialGroup::GetMemoryOccupation() const
{
    int bytes = (int) sizeof(CKMaterialGroup) + GetArrayBytes() + Faces.Capacity() * (int) sizeof(CKDWORD) +
                SubPrimitives.Capacity() * (int) sizeof(CK65KPrimitive*);
    for (const CK65KPrimitive* p : SubPrimitives)
        bytes += (int) sizeof(CK65KPrimitive) + p->GetArrayBytes();
    return bytes;
}

void CKDrawPrimitive(CKRasterizerContext* rst, const CK65KPrimitive& p)
{
    if (p.VertexCount == 0)
        return;
    if (p.StripLengths.Size() == 0) {
        rst->DrawPrimitiveSharedVBIB(p.Type, p.VertexBuffer, 0, p.IndexBuffer, 0, p.VertexCount, p.IndexCount);
        return;
    }
    CKDWORD start = 0;
    for (int length : p.StripLengths) {
        rst->DrawPrimitiveSharedVBIB(p.Type, p.VertexBuffer, 0, p.IndexBuffer, start, p.VertexCount, length + 2);
        start += (CKDWORD) length + 2;
    }
}

int CKDrawMaterialGroup(CKRasterizerContext* rst, const CKMaterialGroup& group, CKDWORD renderOptions)
{
    CKDWORD zFunc = 0;
    CKDWORD zWrite = 0;
    const bool always = (renderOptions & kZAlways) != 0;
    const bool noWrite = (renderOptions & kNoZWrite) != 0;
    if (always) {
        rst->GetRenderState(CKRST_RS_ZFUNC, &zFunc);
        rst->SetRenderState(CKRST_RS_ZFUNC, kCompareAlways);
    }
    if (noWrite) {
        rst->GetRenderState(CKRST_RS_ZWRITEENABLE, &zWrite);
        rst->SetRenderState(CKRST_RS_ZWRITEENABLE, 0);
    }
    if (group.VertexCount != 0) {
        const int passes = (group.Flags & CKMATERIALGROUP_TWOPASSES) ? 2 : 1;
        for (int pass = 0; pass < passes; ++pass) {
            if (passes == 2)
                rst->SetRenderState(CKRST_RS_CULLMODE, pass == 0 ? CKRST_CULL_CW : CKRST_CULL_CCW);
            CKDrawPrimitive(rst, group);
            for (const CK65KPrimitive* p : group.SubPrimitives)
                CKDrawPrimitive(rst, *p);
        }
    }
    if (always)
        rst->SetRenderState(CKRST_RS_ZFUNC, zFunc);
    if (noWrite)
        rst->SetRenderState(CKRST_RS_ZWRITEENABLE, zWrite);
    return 1;
}
