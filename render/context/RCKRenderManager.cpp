#include "render/context/RCKRenderManager.h"

#include <cmath>

#include "core/context/CKContext.h"
#include "core/context/CKVariableManager.h"
#include "core/object/CKClassRegistry.h"
#include "core/parameter/CKParameterGuids.h"
#include "core/parameter/CKParameterManager.h"
#include "render/context/CKRenderGlobals.h"
#include "render/context/RCKRenderContext.h"
#include "render/context/rasterizer/CKDrawPrimitiveData.h"
#include "render/context/rasterizer/CKRasterizerContext.h"
#include "render/context/rasterizer/CKVertexFormat.h"
#include "render/mesh/CKMaterial.h"
#include "render/objects/CK3dEntity.h"
#include "system/log/QxLogManager.h"

namespace {

struct IntVariable
{
    const char* Name;
    int CKRenderSettings::*Field;
    int Default;
    const char* Representation; // null for a plain integer
    const char* Description;
};

const IntVariable kIntVariables[] = {
    {"CK2_3D/EnableDebugMode", &CKRenderSettings::EnableDebugMode, 0,
     "bool:", "Draws the information chosen by DisplayObjectInformation and writes a debug line per object"},
    {"CK2_3D/DisplayObjectInformation", &CKRenderSettings::DisplayObjectInformation, 0,
     "flag:1=AABB;2=OBB;4=HAABB;8=Sphere;16=Vertices;32=Vertices Normals;64=Faces;128=Faces Normals;256=Patches",
     "What debug mode draws for every object"},
    {"CK2_3D/SaveOptimizedMesh", &CKRenderSettings::SaveOptimizedMesh, 0, "bool:", "Enable saving optimized mesh"},
    {"CK2_3D/VertexCache", &CKRenderSettings::VertexCache, 16, nullptr,
     "Size of the graphic card's vertex cache that meshes are ordered for"},
    {"CK2_3D/DX5LightingModel", &CKRenderSettings::DX5LightingModel, 0,
     "bool:", "Lights attenuate as the older lighting model did"},
    {"CK2_3D/Antialias", &CKRenderSettings::Antialias, 0, nullptr, "Anti-aliasing level of the render contexts"},
    {"CK2_3D/SpriteVideoFormat", &CKRenderSettings::SpriteVideoFormat, 1, nullptr,
     "Pixel format of sprites in video memory"},
    {"CK2_3D/DefaultSystemCaching", &CKRenderSettings::DefaultSystemCaching, 1,
     "enum:0=Procedural;1=VideoShadow;2=Discard", "Whether new sprites keep their pixels in system memory"},
    {"CK2_3D/TextureClamping", &CKRenderSettings::TextureClamping, 0,
     "bool:", "Sprites' textures clamp their coordinates"},
    {"Points Cloud/VerticesPerVB", &CKRenderSettings::PointsVerticesPerVB, 135535, nullptr,
     "Wanted vertices per vertex buffer of a points cloud"},
    {"Points Cloud/ProfMem_Tree", &CKRenderSettings::PointsProfMemTree, 0, nullptr, "Bytes of the subdivision"},
    {"Points Cloud/ProfMem_Attributes", &CKRenderSettings::PointsProfMemAttributes, 0, nullptr,
     "Bytes of the point attributes"},
    {"Points Cloud/ProfMem_VideoMem", &CKRenderSettings::PointsProfMemVideoMem, 0, nullptr,
     "Bytes of the vertex buffers"},
    {"Points Cloud/ProfCount_Points", &CKRenderSettings::PointsProfCountPoints, 0, nullptr, "Points of the cloud"},
    {"Points Cloud/ProfCount_PointsDrawn", &CKRenderSettings::PointsProfCountPointsDrawn, 0, nullptr,
     "Points drawn in the frame"},
    {"Points Cloud/ProfCount_VBDrawn", &CKRenderSettings::PointsProfCountVBDrawn, 0, nullptr,
     "Vertex buffers drawn in the frame"},
};

struct FloatVariable
{
    const char* Name;
    float CKRenderSettings::*Field;
    float Default;
    const char* Description;
};

const FloatVariable kFloatVariables[] = {
    {"Points Cloud/MaxTimeToFillVB", &CKRenderSettings::PointsMaxTimeToFillVB, 50.0f,
     "Milliseconds a frame may spend filling vertex buffers"},
    {"Points Cloud/DefaultPrecision", &CKRenderSettings::PointsDefaultPrecision, 5e-6f,
     "Precision of loaded points, as a fraction of the cloud's size"},
    {"Points Cloud/MinPointSize", &CKRenderSettings::PointsMinPointSize, 1.0f, "Smallest point sprite size"},
    {"Points Cloud/MaxPointSize", &CKRenderSettings::PointsMaxPointSize, 128.0f, "Largest point sprite size"},
    {"Points Cloud/ProfTime_Loading", &CKRenderSettings::PointsProfTimeLoading, 0.0f, "Milliseconds of the last load"},
    {"Points Cloud/ProfTime_LOD Creation", &CKRenderSettings::PointsProfTimeLODCreation, 0.0f,
     "Milliseconds of the last level rebuild"},
    {"Points Cloud/ProfTime_Culling", &CKRenderSettings::PointsProfTimeCulling, 0.0f,
     "Milliseconds of the frame's culling"},
    {"Points Cloud/ProfTime_VBFill", &CKRenderSettings::PointsProfTimeVBFill, 0.0f,
     "Milliseconds of the frame's vertex buffer filling"},
};

const char* const kDefaultMaterialNames[4] = {"Default Mat", "Stencil Only Mat", "ZBufferOnly Mat",
                                              "WireframeLayer Mat"};

int KindSlot(CKDWORD type)
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

// Handed-out indices stay below the sprite tiles' own texture indices.
constexpr int kMaxManagerIndex = 0xBFFFF;

} // namespace

RCKRenderManager::RCKRenderManager(CKContext* context) : CKRenderManager(context, RENDER_MANAGER_GUID, "Render Manager")
{
    for (CKRasterizerStartFunction start : CKGetRenderGlobals().m_Rasterizers) {
        CKRasterizer* rasterizer = start(context->GetMainWindow());
        if (!rasterizer)
            continue;
        m_Rasterizers.PushBack(rasterizer);
        for (int i = 0; i < rasterizer->GetDriverCount(); ++i)
            m_Drivers.PushBack(rasterizer->GetDriver(i));
    }
    BindVariables();
    RegisterEffects();
    context->RegisterNewManager(this);
    CreateDefaultMaterials();
}

RCKRenderManager::~RCKRenderManager()
{
    // The context destroys its render contexts first; any left go without
    // their device.
    while (m_RenderContexts.Size() > 0)
        m_RenderContexts[0]->DetachFromManager();
    RemoveAllTemporaryCallbacks();
    UnbindVariables();
    for (CKRasterizer* rasterizer : m_Rasterizers)
        delete rasterizer;
}

void RCKRenderManager::BindVariables()
{
    CKVariableManager* vm = m_Context->GetVariableManager();
    if (!vm)
        return;
    for (const IntVariable& v : kIntVariables) {
        if (v.Representation)
            vm->BindIntWithRepresentation(v.Name, &(m_Settings.*v.Field), v.Default, 0, v.Representation,
                                          v.Description);
        else
            vm->BindInt(v.Name, &(m_Settings.*v.Field), v.Default, 0, v.Description);
    }
    for (const FloatVariable& v : kFloatVariables)
        vm->BindFloat(v.Name, &(m_Settings.*v.Field), v.Default, 0, v.Description);
}

void RCKRenderManager::UnbindVariables()
{
    CKVariableManager* vm = m_Context->GetVariableManager();
    if (!vm)
        return;
    for (const IntVariable& v : kIntVariables)
        vm->UnBind(v.Name);
    for (const FloatVariable& v : kFloatVariables)
        vm->UnBind(v.Name);
}

void RCKRenderManager::RegisterEffects()
{
    CKEffectDescription none;
    none.Name = "None";
    m_Effects.PushBack(none);

    CKEffectDescription bump;
    bump.Name = "Environment Bump Map";
    bump.Summary = "Bump map perturbing an environment map";
    bump.NeededTextures = 2;
    bump.Tex1Description = "Bump Texture";
    bump.Tex2Description = "Env. Texture";
    bump.ParameterType = CKGUID(0x5C2E3B71, 0x4E7A1D09);
    bump.ParameterDescription = "Amplitude,EnvMap Combine,EnvMap TexGen,EnvMap Referential";
    m_Effects.PushBack(bump);

    CKEffectDescription combine;
    combine.Name = "Combine 2 Textures";
    combine.Summary = "A second texture combined with the material's";
    combine.NeededTextures = 1;
    combine.ParameterType = CKGUID(0x1E6D4F23, 0x7A0B3C58);
    combine.ParameterDescription = "Combine,TexGen,Referential";
    m_Effects.PushBack(combine);

    // The value types of the effects' parameters: how the second texture
    // joins the first, how its coordinates are made, and the entity whose
    // frame they are made in. A context keeps the types of its first
    // manager (registering again changes nothing).
    CKParameterManager* pm = m_Context->GetParameterManager();
    if (!pm)
        return;
    const CKGUID combineMode(0x3A1F6C52, 0x5D2E7B14);
    const CKGUID texGen(0x6E4B2A19, 0x1C7D3F85);
    const CKGUID entity3d(0x5B8A05D5, 0x31EA28D4); // "3D Entity"
    pm->RegisterNewEnum(combineMode, "Effect Combine", "Modulate=1,Add=2");
    pm->RegisterNewEnum(texGen, "Effect TexGen", "None=0,Chrome=1");
    pm->RegisterNewStructure(bump.ParameterType, bump.Name.CStr(), bump.ParameterDescription.CStr(),
                             {CKPGUID_FLOAT, combineMode, texGen, entity3d});
    pm->RegisterNewStructure(combine.ParameterType, combine.Name.CStr(), combine.ParameterDescription.CStr(),
                             {combineMode, texGen, entity3d});
}

void RCKRenderManager::CreateDefaultMaterials()
{
    CKClassDesc* desc = CKGetClassDesc(CKCID_MATERIAL);
    if (!desc || !desc->m_CreationFct)
        return;
    for (int i = 0; i < 4; ++i) {
        CKObject* object = m_Context->CreateObject(CKCID_MATERIAL, kDefaultMaterialNames[i]);
        if (!object)
            continue;
        // The manager's own: never saved, kept by ClearAll.
        object->ModifyObjectFlags(CK_OBJECT_NOTTOBESAVED | CK_OBJECT_NOTTOBEDELETED, 0);
        m_DefaultMaterials[i] = object->GetID();
    }
    // Stencil only: neither colour nor depth is written.
    if (CKMaterial* stencil = GetStencilOnlyMaterial()) {
        stencil->EnableZWrite(FALSE);
        stencil->EnableAlphaBlend(TRUE);
        stencil->SetSourceBlend(CK_BLEND_ZERO);
        stencil->SetDestBlend(CK_BLEND_ONE);
    }
    // Depth only.
    if (CKMaterial* depth = GetZBufferOnlyMaterial())
        depth->SetFillMode(CK_FILL_ONLYZ);
    // Lines over the faces.
    if (CKMaterial* wireframe = GetWireframeLayerMaterial())
        wireframe->SetFillMode(CK_FILL_WIREFRAME);
}

CKMaterial* RCKRenderManager::MaterialById(CK_ID id) const
{
    CKObject* object = id ? m_Context->GetObject(id) : nullptr;
    return object && CKIsChildClassOfObject(object, CKCID_MATERIAL) ? static_cast<CKMaterial*>(object) : nullptr;
}

CKMaterial* RCKRenderManager::GetDefaultMaterial() const
{
    return MaterialById(m_DefaultMaterials[0]);
}

CKMaterial* RCKRenderManager::GetStencilOnlyMaterial() const
{
    return MaterialById(m_DefaultMaterials[1]);
}

CKMaterial* RCKRenderManager::GetZBufferOnlyMaterial() const
{
    return MaterialById(m_DefaultMaterials[2]);
}

CKMaterial* RCKRenderManager::GetWireframeLayerMaterial() const
{
    return MaterialById(m_DefaultMaterials[3]);
}

CKERROR RCKRenderManager::PreProcess()
{
    for (CK3dEntity* entity : m_LastFrameEntities)
        entity->SaveLastFrameMatrix();
    return CKErr::Ok;
}

CKERROR RCKRenderManager::PostProcess()
{
    // Entities not moved since the last pass leave the list; the others
    // are marked, and a matrix change before the next pass clears the mark.
    int kept = 0;
    for (int i = 0; i < m_MovedEntities.Size(); ++i) {
        CK3dEntity* entity = m_MovedEntities[i];
        if (entity->GetMoveableFlags() & CK_3DENTITY_NOTMOVED) {
            entity->ModifyMoveableFlags(0, CK_3DENTITY_INMOVEDLIST | CK_3DENTITY_NOTMOVED);
            continue;
        }
        entity->ModifyMoveableFlags(CK_3DENTITY_NOTMOVED, 0);
        m_MovedEntities[kept++] = entity;
    }
    m_MovedEntities.Resize(kept);
    return CKErr::Ok;
}

CKERROR RCKRenderManager::OnObjectsToBeDeleted(CK_ID*, int)
{
    // Entities being deleted must not stay in the lists that outlive them.
    for (XArray<CK3dEntity*>* list : {&m_MovedEntities, &m_LastFrameEntities}) {
        int kept = 0;
        for (int i = 0; i < list->Size(); ++i)
            if (!((*list)[i]->GetObjectFlags() & CK_OBJECT_TOBEDELETED))
                (*list)[kept++] = (*list)[i];
        list->Resize(kept);
    }
    for (RCKRenderContext* rc : m_RenderContexts)
        rc->ForgetObjectsToBeDeleted();
    return CKErr::Ok;
}

CKERROR RCKRenderManager::PreClearAll()
{
    // Clearing releases the objects without telling anyone: let them go now.
    for (RCKRenderContext* rc : m_RenderContexts) {
        rc->DetachAll();
        rc->ForgetObjectsToBeDeleted();
    }
    m_MovedEntities.Clear();
    m_LastFrameEntities.Clear();
    return CKErr::Ok;
}

CKERROR RCKRenderManager::PostClearAll()
{
    for (CK_ID& id : m_DefaultMaterials)
        if (id && !m_Context->GetObject(id))
            id = 0;
    return CKErr::Ok;
}

CKDWORD RCKRenderManager::GetValidFunctionsMask()
{
    return CKMANAGER_FUNC_PreProcess | CKMANAGER_FUNC_PostProcess | CKMANAGER_FUNC_OnObjectsToBeDeleted |
           CKMANAGER_FUNC_PreClearAll | CKMANAGER_FUNC_PostClearAll;
}

CKRenderContext* RCKRenderManager::GetRenderContext(int index)
{
    return index >= 0 && index < m_RenderContexts.Size() ? m_RenderContexts[index] : nullptr;
}

CKRenderContext* RCKRenderManager::CreateRenderContext(void* window, int driver, const QxIntRect* rect)
{
    if (!GetDriver(driver)) {
        CKRenderLog(QXLOG_ERROR, __LINE__, "RCKRenderManager", "No render driver %d", driver);
        return nullptr;
    }
    CKObject* object = m_Context->CreateObject(CKCID_RENDERCONTEXT);
    RCKRenderContext* rc = object ? static_cast<RCKRenderContext*>(object) : nullptr;
    if (!rc)
        return nullptr;
    if (rc->Create(window, driver, rect) != CKErr::Ok) {
        m_Context->DestroyObject(rc);
        return nullptr;
    }
    return rc;
}

CKERROR RCKRenderManager::DestroyRenderContext(CKRenderContext* context)
{
    RCKRenderContext* rc = static_cast<RCKRenderContext*>(context);
    if (!context || !m_RenderContexts.IsHere(rc))
        return CKErr::InvalidRenderContext;
    CKERROR result = m_Context->DestroyObject(rc);
    // Not destroyed (being destroyed already): at least leave the list.
    if (m_RenderContexts.IsHere(rc))
        rc->DetachFromManager();
    return result;
}

const char* RCKRenderManager::GetRenderDriverDescription(int driver)
{
    CKRasterizerDriver* d = GetDriver(driver);
    return d ? d->GetDescription() : nullptr;
}

const CKEffectDescription* RCKRenderManager::GetEffectDescription(int index)
{
    return index >= 0 && index < m_Effects.Size() ? &m_Effects[index] : nullptr;
}

CKRasterizerDriver* RCKRenderManager::GetDriver(int index) const
{
    return index >= 0 && index < m_Drivers.Size() ? m_Drivers[index] : nullptr;
}

CKDWORD RCKRenderManager::RegisterRenderContext(RCKRenderContext* context)
{
    CKDWORD bit = 0;
    for (int i = 0; i < 32 && !bit; ++i)
        if (!(m_UsedMaskBits & (1u << i)))
            bit = 1u << i;
    m_UsedMaskBits |= bit;
    if (!m_RenderContexts.IsHere(context))
        m_RenderContexts.PushBack(context);
    return bit;
}

void RCKRenderManager::UnregisterRenderContext(RCKRenderContext* context)
{
    if (m_RenderContexts.Remove(context))
        m_UsedMaskBits &= ~context->GetMaskBit();
}

CKDWORD RCKRenderManager::CreateObjectIndex(CKDWORD type)
{
    int slot = KindSlot(type);
    if (slot < 0 || m_Rasterizers.Size() == 0)
        return 0;
    XArray<CKBYTE>& used = m_UsedIndices[slot];
    for (int i = 1; i < used.Size(); ++i)
        if (!used[i]) {
            used[i] = 1;
            return (CKDWORD) i;
        }
    int index = used.Size() ? used.Size() : 1;
    if (index > kMaxManagerIndex)
        return 0;
    int old = used.Size();
    used.Resize(index + 1);
    for (int i = old; i <= index; ++i)
        used[i] = 0;
    used[index] = 1;
    return (CKDWORD) index;
}

void RCKRenderManager::ReleaseObjectIndex(CKDWORD index, CKDWORD type)
{
    int slot = KindSlot(type);
    if (slot < 0 || index == 0 || index >= (CKDWORD) m_UsedIndices[slot].Size())
        return;
    m_UsedIndices[slot][(int) index] = 0;
    for (RCKRenderContext* rc : m_RenderContexts)
        if (CKRasterizerContext* rst = rc->GetRasterizerContext())
            rst->DeleteObject(index, type);
}

SceneGraphNode* RCKRenderManager::CreateNode(CK3dEntity* entity)
{
    SceneGraphNode* node = new SceneGraphNode(entity);
    m_RootNode.AddChild(node);
    return node;
}

void RCKRenderManager::DeleteNode(SceneGraphNode* node)
{
    delete node;
}

void RCKRenderManager::AddMovedEntity(CK3dEntity* entity)
{
    if (entity)
        m_MovedEntities.PushBack(entity);
}

void RCKRenderManager::RegisterLastFrameEntity(CK3dEntity* entity)
{
    if (entity && !m_LastFrameEntities.IsHere(entity))
        m_LastFrameEntities.PushBack(entity);
}

void RCKRenderManager::UnregisterLastFrameEntity(CK3dEntity* entity)
{
    m_LastFrameEntities.Remove(entity);
}

void RCKRenderManager::AddTemporaryCallback(RenderCallbackList* list, CKRenderCallbackFunction function, void* argument,
                                            CKBOOL post)
{
    m_TemporaryCallbacks.PushBack(TemporaryCallback{list, function, argument, post});
}

void RCKRenderManager::RemoveTemporaryCallbacks(RenderCallbackList* list)
{
    int kept = 0;
    for (int i = 0; i < m_TemporaryCallbacks.Size(); ++i)
        if (m_TemporaryCallbacks[i].List != list)
            m_TemporaryCallbacks[kept++] = m_TemporaryCallbacks[i];
    m_TemporaryCallbacks.Resize(kept);
}

void RCKRenderManager::RemoveAllTemporaryCallbacks()
{
    XArray<TemporaryCallback> records = m_TemporaryCallbacks;
    m_TemporaryCallbacks.Clear();
    for (const TemporaryCallback& r : records) {
        if (r.Post)
            r.List->RemovePostCallback(r.Function, r.Argument);
        else
            r.List->RemovePreCallback(r.Function, r.Argument);
    }
}

namespace {

// The twelve edges of a box whose corners are numbered by bits (1 x, 2 y,
// 4 z: maximum when set).
const CKWORD kBoxEdges[24] = {0, 1, 2, 3, 4, 5, 6, 7, 0, 2, 1, 3, 4, 6, 5, 7, 0, 4, 1, 5, 2, 6, 3, 7};
constexpr int kCircleSegments = 16;

void DrawLines(RCKRenderContext* rc, const QxVector* points, int pointCount, const CKWORD* edges, int edgeIndexCount,
               CKDWORD color)
{
    CKDrawPrimitiveData* data = rc->GetDrawPrimitiveStructure(CKRST_DP_TRANSFORM | CKRST_DP_DIFFUSE, pointCount);
    CKWORD* indices = rc->GetDrawPrimitiveIndices(edgeIndexCount);
    if (!data || !indices)
        return;
    for (int i = 0; i < pointCount; ++i) {
        float* p =
            reinterpret_cast<float*>(static_cast<CKBYTE*>(data->PositionPtr) + (size_t) i * data->PositionStride);
        p[0] = points[i].x;
        p[1] = points[i].y;
        p[2] = points[i].z;
        *reinterpret_cast<CKDWORD*>(static_cast<CKBYTE*>(data->ColorPtr) + (size_t) i * data->ColorStride) = color;
    }
    for (int i = 0; i < edgeIndexCount; ++i)
        indices[i] = edges[i];
    rc->DrawPrimitive(CKRST_PT_LINELIST, indices, edgeIndexCount, data);
}

void DrawBox(RCKRenderContext* rc, const QxBbox& box, CKDWORD color)
{
    QxVector corners[8];
    for (int i = 0; i < 8; ++i)
        corners[i] =
            QxVector(i & 1 ? box.Max.x : box.Min.x, i & 2 ? box.Max.y : box.Min.y, i & 4 ? box.Max.z : box.Min.z);
    DrawLines(rc, corners, 8, kBoxEdges, 24, color);
}

} // namespace

void RCKRenderManager::DrawObjectInformation(RCKRenderContext* rc, CK3dEntity* entity)
{
    int flags = m_Settings.DisplayObjectInformation;
    if (!rc || !entity || !(flags & 15) || !rc->GetRasterizerContext())
        return;
    QxMatrix world = rc->GetWorldTransformationMatrix();
    CKDWORD lighting = rc->GetState(CKRST_RS_LIGHTING);
    rc->SetState(CKRST_RS_LIGHTING, 0);
    rc->SetTexture(nullptr, 0);
    if (flags & 2) {
        rc->SetWorldTransformationMatrix(entity->GetWorldMatrix());
        DrawBox(rc, entity->GetBoundingBox(TRUE), 0xFF00FF00);
    }
    rc->SetWorldTransformationMatrix(QxMatrix::Identity());
    if (flags & 1)
        DrawBox(rc, entity->GetBoundingBox(FALSE), 0xFFFFFFFF);
    if (flags & 4)
        DrawBox(rc, entity->GetHierarchicalBox(FALSE), 0xFFFF0000);
    if (flags & 8) {
        // Three great circles of the bounding sphere.
        QxVector center;
        entity->GetBaryCenter(&center);
        float radius = entity->GetRadius();
        QxVector points[3 * kCircleSegments];
        CKWORD edges[3 * kCircleSegments * 2];
        for (int c = 0; c < 3; ++c)
            for (int i = 0; i < kCircleSegments; ++i) {
                float a = 6.2831853f * (float) i / kCircleSegments;
                float u = radius * cosf(a), v = radius * sinf(a);
                QxVector offset = c == 0 ? QxVector(u, v, 0.0f) : c == 1 ? QxVector(u, 0.0f, v) : QxVector(0.0f, u, v);
                int at = c * kCircleSegments + i;
                points[at] = center + offset;
                edges[2 * at] = (CKWORD) at;
                edges[2 * at + 1] = (CKWORD) (c * kCircleSegments + (i + 1) % kCircleSegments);
            }
        DrawLines(rc, points, 3 * kCircleSegments, edges, 3 * kCircleSegments * 2, 0xFF0000FF);
    }
    rc->SetState(CKRST_RS_LIGHTING, lighting);
    rc->SetWorldTransformationMatrix(world);
}
