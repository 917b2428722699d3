// The render engine's plug-in registers the render classes once, with the
// ids, parents, names, display names and parameter types the engine gives
// them.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/context/CKContext.h"
#include "core/context/CKPluginManager.h"
#include "core/context/CKStartUp.h"
#include "core/object/CKClassRegistry.h"
#include "core/parameter/CKParameterManager.h"
#include "render/context/CKRenderEngine.h"
#include "render/context/CKRenderGlobals.h"
#include "render/context/rasterizer/CKRecordingRasterizer.h"
#include "system/log/QxLogManager.h"

namespace {

struct ExpectedClass
{
    CK_CLASSID id;
    CK_CLASSID parent;
    const char* name;
    const char* displayName;
    CKGUID guid;
};

// The engine's class table for the render library's 28 classes.
const ExpectedClass kExpected[] = {
    {12, 1, "RCKRenderContext", "Render Context", CKGUID()},
    {13, 1, "RCKKinematicChain", "Kinematic Chain", CKGUID(0x305B4E1C, 0x3DA07AE6)},
    {15, 11, "RCKObjectAnimation", "Object Animation", CKGUID(0x43476550, 0x11E52C0E)},
    {16, 11, "RCKAnimation", "Animation", CKGUID(0x5BFA474D, 0x19E60236)},
    {18, 16, "RCKKeyedAnimation", "Keyed Animation", CKGUID(0x5BFA474D, 0x19E60236)},
    {22, 33, "RCKPlace", "Place", CKGUID(0x249530ED, 0x4C0865F3)},
    {27, 47, "RCK2dEntity", "2D Entity", CKGUID(0x181671E3, 0x1BDC1503)},
    {28, 27, "RCKSprite", "Sprite", CKGUID(0x577E2EA8, 0x5B901969)},
    {29, 28, "RCKSpriteText", "Sprite Text", CKGUID(0x5C2E69E3, 0xFE156F09)},
    {30, 19, "RCKMaterial", "Material", CKGUID(0x55AB12CD, 0x22AE6A8B)},
    {31, 19, "RCKTexture", "Texture", CKGUID(0x155B2870, 0x183679F8)},
    {32, 19, "RCKMesh", "Mesh", CKGUID(0x24535345, 0x65D15229)},
    {33, 47, "RCK3dEntity", "3D Entity", CKGUID(0x5B8A05D5, 0x31EA28D4)},
    {34, 33, "RCKCamera", "Camera", CKGUID(0x3CF24D6F, 0x216204F9)},
    {35, 34, "RCKTargetCamera", "Target Camera", CKGUID(0x11D87565, 0x5D0B7989)},
    {36, 33, "RCKCurvePoint", "Curve Point", CKGUID(0x5CC5194F, 0x72342879)},
    {37, 33, "RCKSprite3D", "3D Sprite", CKGUID(0x23C8061B, 0x70033A27)},
    {38, 33, "RCKLight", "Light", CKGUID(0x4B6D412F, 0x5D1E1416)},
    {39, 38, "RCKTargetLight", "Target Light", CKGUID(0x4E5F22FC, 0x194709D4)},
    {40, 33, "RCKCharacter", "Character", CKGUID(0x35985C64, 0x51AF1372)},
    {41, 33, "RCK3dObject", "3D Object", CKGUID(0x362E4DF8, 0x17443539)},
    {42, 41, "RCKBodyPart", "Body Part", CKGUID(0x4BA1010E, 0x7ABD6D02)},
    {43, 33, "RCKCurve", "Curve", CKGUID(0x1072130B, 0x1F9572BA)},
    {47, 19, "RCKRenderObject", "Render Object", CKGUID(0x65706358, 0x63627B50)},
    {50, 33, "RCKGrid", "Grid", CKGUID(0x5B8A05D5, 0x31EA28D4)},
    {51, 1, "RCKLayer", "Grid Layer", CKGUID()},
    {53, 32, "RCKPatchMesh", "Patch Mesh", CKGUID(0x75FD45B5, 0x59E70E4B)},
    {56, 33, "RCK3dPointCloud", "3D Points Cloud", CKGUID(0x4D111CEA, 0x1AB12E02)},
};

// What the registry says of one class, to compare two registrations.
struct Snapshot
{
    std::string name;
    CK_CLASSID parent;
    CKCLASSNAMEFCT nameFct;
    CKCLASSCREATIONFCT creationFct;
    CKGUID guid;
    int level;
    bool operator==(const Snapshot&) const = default;
};

std::vector<Snapshot> TakeSnapshot()
{
    std::vector<Snapshot> all;
    for (CK_CLASSID id = 0; id < CKGetClassCount(); ++id) {
        CKClassDesc* d = CKGetClassDesc(id);
        all.push_back(
            {d->m_Name.CStr(), d->m_Parent, d->m_NameFct, d->m_CreationFct, d->m_ParameterGuid, d->m_DerivationLevel});
    }
    return all;
}

class RenderEngineTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_EQ(CKStartUp(), 0); }
    void TearDown() override { EXPECT_EQ(CKShutdown(), 0); }
};

TEST_F(RenderEngineTest, TheRenderClassesCarryTheirIdsParentsNamesDisplayNamesAndParameterTypes)
{
    CKPluginInfo* info = CKGetRenderEnginePluginInfo(0);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->m_Type, (CKDWORD) CKPLUGIN_RENDERENGINE_DLL);
    EXPECT_NE(info->m_InitInstanceFct, nullptr);
    ASSERT_EQ(sizeof(kExpected) / sizeof(kExpected[0]), 28u);
    for (const ExpectedClass& e : kExpected) {
        SCOPED_TRACE(e.name);
        CKClassDesc* desc = CKGetClassDesc(e.id);
        ASSERT_NE(desc, nullptr);
        EXPECT_STREQ(CKClassIDToString(e.id), e.name);
        EXPECT_EQ(CKGetParentClassID(e.id), e.parent);
        ASSERT_NE(desc->m_NameFct, nullptr);
        EXPECT_STREQ(desc->m_NameFct(), e.displayName);
        EXPECT_EQ(CKGetClassParameterGuid(e.id), e.guid);
        ASSERT_NE(desc->m_DependsCountFct, nullptr);
        // A material offers its textures; a mesh its materials; a 2D entity
        // its material and children; a 3D entity its meshes, children and
        // animations; target cameras and lights their target, a 3D sprite its
        // material, a place its portals, a grid its layers and a layer its
        // cells.
        const bool one = e.id == CKCID_MATERIAL || e.id == CKCID_MESH || e.id == CKCID_TARGETCAMERA ||
                         e.id == CKCID_TARGETLIGHT || e.id == CKCID_SPRITE3D || e.id == CKCID_PLACE ||
                         e.id == CKCID_GRID || e.id == CKCID_LAYER;
        EXPECT_EQ(desc->m_DependsCountFct(1), one ? 1 : e.id == CKCID_2DENTITY ? 2 : e.id == CKCID_3DENTITY ? 3 : 0);
        EXPECT_TRUE(CKIsChildClassOf(e.id, e.parent));
    }
    EXPECT_TRUE(CKIsChildClassOf(CKCID_BODYPART, CKCID_RENDEROBJECT));
    EXPECT_TRUE(CKIsChildClassOf(CKCID_SPRITETEXT, CKCID_BEOBJECT));
    EXPECT_FALSE(CKIsChildClassOf(CKCID_PATCHMESH, CKCID_RENDEROBJECT));
    EXPECT_EQ(CKGetClassDesc(CKCID_TARGETLIGHT)->m_DerivationLevel, 7)
        << "object, scene object, behavioral object, render object, 3D entity, light, target light";

    // A second registration changes nothing; the index is not used.
    std::vector<Snapshot> before = TakeSnapshot();
    EXPECT_EQ(CKGetRenderEnginePluginInfo(7), info);
    EXPECT_TRUE(TakeSnapshot() == before);
}

TEST_F(RenderEngineTest, TheRegisteredClassEnumerationAndTheClassTypesNameTheRenderClasses)
{
    CKPluginInfo* info = CKGetRenderEnginePluginInfo(0);
    CKGetPluginManager()->RegisterPlugin(0, info, nullptr, nullptr);
    CKGetPluginManager()->AddStaticDll("Render Engine", 1);
    CKContext* context = nullptr;
    ASSERT_EQ(CKCreateContext(&context, nullptr), 0);
    CKParameterManager* pm = context->GetParameterManager();
    XString classes;
    ASSERT_EQ(pm->GetEnumAsString(pm->ParameterNameToType("Registered Class"), classes), 0);
    for (const ExpectedClass& e : kExpected) {
        SCOPED_TRACE(e.displayName);
        std::string member = std::string(e.displayName) + "=" + std::to_string(e.id) + ",";
        EXPECT_NE(std::string(classes.CStr()).find(member), std::string::npos);
        if (!e.guid.IsValid())
            continue;
        int type = pm->ClassIDToType(e.id);
        ASSERT_GE(type, 0);
        EXPECT_EQ(pm->TypeToGuid(type), e.guid) << "a class sharing a GUID answers with the first one's type";
    }
    int entity = pm->ClassIDToType(CKCID_3DENTITY);
    EXPECT_STREQ(pm->TypeToName(entity), "3D Entity");
    EXPECT_EQ(pm->TypeToGuid(pm->ClassIDToType(CKCID_3DOBJECT)), CKGUID(0x362E4DF8, 0x17443539));
    EXPECT_EQ(CKCloseContext(context), 0);
}

TEST_F(RenderEngineTest, ARasterizerIsAddedOnce)
{
    CKAddRasterizer(&CKRecordingRasterizerStart);
    const int count = CKGetRenderGlobals().m_Rasterizers.Size();
    CKAddRasterizer(&CKRecordingRasterizerStart);
    CKAddRasterizer(nullptr);
    EXPECT_EQ(CKGetRenderGlobals().m_Rasterizers.Size(), count);
}

TEST_F(RenderEngineTest, ClassesWhoseCodeIsNotLinkedCannotBeCreated)
{
    CKPluginInfo* info = CKGetRenderEnginePluginInfo(0);
    CKGetPluginManager()->RegisterPlugin(0, info, nullptr, nullptr);
    CKGetPluginManager()->AddStaticDll("Render Engine", 1);
    CKContext* context = nullptr;
    ASSERT_EQ(CKCreateContext(&context, nullptr), 0);
    ASSERT_NE(context->GetRenderManager(), nullptr) << "the plug-in's initialisation made it";
    EXPECT_EQ(context->CreateObject(CKCID_KINEMATICCHAIN), nullptr);
    EXPECT_EQ(CKCloseContext(context), 0);
}

TEST_F(RenderEngineTest, TheLogSourceIsRegisteredAndARestartRegistersAgain)
{
    CKGetRenderEnginePluginInfo(0);
    bool found = false;
    for (int id = 1; id <= QxGetLogManager()->GetSourceCount(); ++id)
        found = found || std::string(QxGetLogManager()->GetSourceName(id)) == "CK2_3D";
    EXPECT_TRUE(found);
    ASSERT_EQ(CKShutdown(), 0);
    ASSERT_EQ(CKStartUp(), 0);
    EXPECT_STREQ(CKClassIDToString(CKCID_3DENTITY), "") << "shut-down forgot the render classes";
    CKGetRenderEnginePluginInfo(0);
    EXPECT_STREQ(CKClassIDToString(CKCID_3DENTITY), "RCK3dEntity");
}

} // namespace
