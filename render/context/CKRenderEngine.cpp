#include "render/context/CKRenderEngine.h"

#include <utility>

#include "core/object/CKBeObjectLinks.h"
#include "core/object/CKClassRegistry.h"
#include "render/animation/RCKBodyPart.h"
#include "render/animation/RCKCharacter.h"
#include "render/animation/RCKKeyedAnimation.h"
#include "render/animation/RCKObjectAnimation.h"
#include "render/context/CKRenderGlobals.h"
#include "render/context/RCKRenderContext.h"
#include "render/context/RCKRenderManager.h"
#include "render/context/rasterizer/CKNULLRasterizer.h"
#include "render/mesh/RCKMaterial.h"
#include "render/mesh/RCKMesh.h"
#include "render/mesh/RCKPatchMesh.h"
#include "render/mesh/RCKTexture.h"
#include "render/objects/RCK3dObject.h"
#include "render/objects/RCKCurve.h"
#include "render/objects/RCKCurvePoint.h"
#include "render/objects/RCKGrid.h"
#include "render/objects/RCKLayer.h"
#include "render/objects/RCKPlace.h"
#include "render/objects/RCKSprite3D.h"
#include "render/objects/RCKSpriteText.h"
#include "render/objects/RCKTargetCamera.h"
#include "render/objects/RCKTargetLight.h"
#include "render/objects/pointcloud/RCK3dPointCloud.h"
#include "system/log/QxLogManager.h"

namespace {

// The render classes whose implementations come with their own code: the
// registry holds their id, parent, name, display name and parameter-type
// GUID, without creation functions until then. The classes implemented here
// register themselves first (CKRegisterRenderClasses).
struct RenderClass
{
    CK_CLASSID Id;
    CK_CLASSID Parent;
    const char* Name;
    const char* DisplayName;
    CKGUID ParameterGuid;
};

constexpr RenderClass kRenderClasses[] = {
    {CKCID_2DENTITY, CKCID_RENDEROBJECT, "RCK2dEntity", "2D Entity", CKGUID(0x181671E3, 0x1BDC1503)},
    {CKCID_SPRITE, CKCID_2DENTITY, "RCKSprite", "Sprite", CKGUID(0x577E2EA8, 0x5B901969)},
    {CKCID_SPRITETEXT, CKCID_SPRITE, "RCKSpriteText", "Sprite Text", CKGUID(0x5C2E69E3, 0xFE156F09)},
    {CKCID_KINEMATICCHAIN, CKCID_OBJECT, "RCKKinematicChain", "Kinematic Chain", CKGUID(0x305B4E1C, 0x3DA07AE6)},
    {CKCID_OBJECTANIMATION, CKCID_SCENEOBJECT, "RCKObjectAnimation", "Object Animation",
     CKGUID(0x43476550, 0x11E52C0E)},
    {CKCID_ANIMATION, CKCID_SCENEOBJECT, "RCKAnimation", "Animation", CKGUID(0x5BFA474D, 0x19E60236)},
    {CKCID_KEYEDANIMATION, CKCID_ANIMATION, "RCKKeyedAnimation", "Keyed Animation", CKGUID(0x5BFA474D, 0x19E60236)},
    {CKCID_MESH, CKCID_BEOBJECT, "RCKMesh", "Mesh", CKGUID(0x24535345, 0x65D15229)},
    {CKCID_PATCHMESH, CKCID_MESH, "RCKPatchMesh", "Patch Mesh", CKGUID(0x75FD45B5, 0x59E70E4B)},
    {CKCID_CAMERA, CKCID_3DENTITY, "RCKCamera", "Camera", CKGUID(0x3CF24D6F, 0x216204F9)},
    {CKCID_TARGETCAMERA, CKCID_CAMERA, "RCKTargetCamera", "Target Camera", CKGUID(0x11D87565, 0x5D0B7989)},
    {CKCID_CURVEPOINT, CKCID_3DENTITY, "RCKCurvePoint", "Curve Point", CKGUID(0x5CC5194F, 0x72342879)},
    {CKCID_SPRITE3D, CKCID_3DENTITY, "RCKSprite3D", "3D Sprite", CKGUID(0x23C8061B, 0x70033A27)},
    {CKCID_LIGHT, CKCID_3DENTITY, "RCKLight", "Light", CKGUID(0x4B6D412F, 0x5D1E1416)},
    {CKCID_TARGETLIGHT, CKCID_LIGHT, "RCKTargetLight", "Target Light", CKGUID(0x4E5F22FC, 0x194709D4)},
    {CKCID_CHARACTER, CKCID_3DENTITY, "RCKCharacter", "Character", CKGUID(0x35985C64, 0x51AF1372)},
    {CKCID_BODYPART, CKCID_3DOBJECT, "RCKBodyPart", "Body Part", CKGUID(0x4BA1010E, 0x7ABD6D02)},
    {CKCID_CURVE, CKCID_3DENTITY, "RCKCurve", "Curve", CKGUID(0x1072130B, 0x1F9572BA)},
    {CKCID_PLACE, CKCID_3DENTITY, "RCKPlace", "Place", CKGUID(0x249530ED, 0x4C0865F3)},
    {CKCID_GRID, CKCID_3DENTITY, "RCKGrid", "Grid", CKGUID(0x5B8A05D5, 0x31EA28D4)},
    {CKCID_LAYER, CKCID_OBJECT, "RCKLayer", "Grid Layer", CKGUID()},
    {CKCID_3DPOINTCLOUD, CKCID_3DENTITY, "RCK3dPointCloud", "3D Points Cloud", CKGUID(0x4D111CEA, 0x1AB12E02)},
};
constexpr int kRenderClassCount = sizeof(kRenderClasses) / sizeof(kRenderClasses[0]);

template <int I>
void RegisterRow()
{
    if (kRenderClasses[I].ParameterGuid.IsValid())
        CKClassSetParameterGuid(kRenderClasses[I].Id, kRenderClasses[I].ParameterGuid);
}

template <int I>
const char* RowDisplayName()
{
    return kRenderClasses[I].DisplayName;
}

// No dependency options in any mode.
const char* NoDependencies(int, int)
{
    return nullptr;
}
int NoDependenciesCount(int)
{
    return 0;
}

// The bitmap data of the render classes that embed one, for the readers a
// file being saved needs.
CKBitmapData* RenderBitmapDataOf(CKObject* object)
{
    if (CKIsChildClassOfObject(object, CKCID_TEXTURE))
        return &static_cast<CKTexture*>(object)->GetBitmapData();
    return RCKSprite::BitmapDataOf(object);
}

template <int... I>
void RegisterRows(std::integer_sequence<int, I...>)
{
    (CKClassRegister(kRenderClasses[I].Name, kRenderClasses[I].Id, kRenderClasses[I].Parent, &RegisterRow<I>, nullptr,
                     nullptr, &RowDisplayName<I>, &NoDependencies, &NoDependenciesCount),
     ...);
}

} // namespace

void CKRegisterRenderClasses()
{
    CKClassRegisterT<RCKRenderContext, CKObject>("RCKRenderContext");
    CKClassRegisterT<RCKMaterial, CKBeObject>("RCKMaterial");
    CKClassRegisterT<RCKTexture, CKBeObject>("RCKTexture");
    CKClassRegisterT<RCKRenderObject, CKBeObject>("RCKRenderObject");
    CKClassRegisterT<RCK3dEntity, RCKRenderObject>("RCK3dEntity");
    CKClassRegisterT<RCK3dObject, RCK3dEntity>("RCK3dObject");
    RegisterRows(std::make_integer_sequence<int, kRenderClassCount>());
    // The classes implemented so far replace their rows.
    CKClassRegisterT<RCKMesh, CKBeObject>("RCKMesh");
    CKClassRegisterT<RCKPatchMesh, RCKMesh>("RCKPatchMesh");
    CKClassRegisterT<RCK2dEntity, RCKRenderObject>("RCK2dEntity");
    CKClassRegisterT<RCKSprite, RCK2dEntity>("RCKSprite");
    CKClassRegisterT<RCKSpriteText, RCKSprite>("RCKSpriteText");
    CKClassRegisterT<RCKCamera, RCK3dEntity>("RCKCamera");
    CKClassRegisterT<RCKTargetCamera, RCKCamera>("RCKTargetCamera");
    CKClassRegisterT<RCKLight, RCK3dEntity>("RCKLight");
    CKClassRegisterT<RCKTargetLight, RCKLight>("RCKTargetLight");
    CKClassRegisterT<RCKSprite3D, RCK3dEntity>("RCKSprite3D");
    CKClassRegisterT<RCKPlace, RCK3dEntity>("RCKPlace");
    CKClassRegisterT<RCKCurvePoint, RCK3dEntity>("RCKCurvePoint");
    CKClassRegisterT<RCKCurve, RCK3dEntity>("RCKCurve");
    CKClassRegisterT<RCKGrid, RCK3dEntity>("RCKGrid");
    CKClassRegisterT<RCKLayer, CKObject>("RCKLayer");
    CKClassRegisterT<RCKObjectAnimation, CKSceneObject>("RCKObjectAnimation");
    CKClassRegisterT<RCKAnimation, CKSceneObject>("RCKAnimation");
    CKClassRegisterT<RCKKeyedAnimation, RCKAnimation>("RCKKeyedAnimation");
    CKClassRegisterT<RCKCharacter, RCK3dEntity>("RCKCharacter");
    CKClassRegisterT<RCKBodyPart, RCK3dObject>("RCKBodyPart");
    CKClassRegisterT<RCK3dPointCloud, RCK3dEntity>("RCK3dPointCloud");
    CKBuildClassHierarchyTable();
    CKBeObjectLinks links = CKGetBeObjectLinks();
    links.GetBitmapData = &RenderBitmapDataOf;
    CKSetBeObjectLinks(links);
}

CKPluginInfo* CKGetRenderEnginePluginInfo(int)
{
    CKRenderGlobals& r = CKGetRenderGlobals();
    if (!r.m_ClassesRegistered) {
        r.m_ClassesRegistered = TRUE;
        CKRegisterRenderClasses();
        r.m_Rasterizers.Clear();
        r.m_Rasterizers.PushBack(&CKNULLRasterizerStart);
        QxLogManager* log = QxGetLogManager();
        r.m_LogSourceId = log->RegisterSource("CK2_3D");
        log->CreateListener(QXLOG_OUTPUTDEBUG_LISTENER_GUID, "OUTPUTDEBUG LISTENER", r.m_LogSourceId);
        r.m_PluginInfo = CKPluginInfo(CKGUID(0x6B3F1E24, 0x2C4A7D51), nullptr, "Render Engine", "Keltrane",
                                      "Render manager and render contexts", 1, &CKRenderEngineInit, nullptr,
                                      CKPLUGIN_RENDERENGINE_DLL);
    }
    return &r.m_PluginInfo;
}

CKERROR CKRenderEngineInit(CKContext* context)
{
    if (!context)
        return CKErr::InvalidParameter;
    new RCKRenderManager(context);
    return CKErr::Ok;
}

void CKAddRasterizer(CKRasterizerStartFunction start)
{
    CKGetRenderEnginePluginInfo(0);
    CKRenderGlobals& r = CKGetRenderGlobals();
    if (start && !r.m_Rasterizers.IsHere(start))
        r.m_Rasterizers.PushBack(start);
}
