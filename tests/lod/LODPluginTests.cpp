// The level-of-detail plug-in registered as an export registers it: its two
// descriptions, the manager, the parameter types and attribute, and the 30
// building-block declarations and prototypes.
#include <string>
#include <vector>

#include "core/attribute/CKAttributeManager.h"
#include "core/behavior/CKBehaviorPrototype.h"
#include "core/behavior/CKObjectDeclaration.h"
#include "core/context/CKPluginManager.h"
#include "core/context/CKStartUp.h"
#include "core/parameter/CKParameterManager.h"
#include "core/parameter/CKParameterTypeDesc.h"
#include "lod/LODPlugin.h"
#include "lod/blocks/MeshBlockDeclarations.h"
#include "tests/lod/LodTestSupport.h"

namespace {

class LodPluginTest : public LodFixture
{};

TEST(LodPluginInfo, DescribesTheBuildingBlocksAndTheManager)
{
    CKPluginInfo* blocks = CKGetLodPluginInfo(0);
    ASSERT_NE(blocks, nullptr);
    EXPECT_EQ(blocks->m_GUID, CKGUID(0x68CA037D, 0x6BEF5E1A));
    EXPECT_STREQ(blocks->m_Description.CStr(), "Mesh Modification building blocks");
    EXPECT_STREQ(blocks->m_Summary.CStr(), "Mesh Modifications");
    EXPECT_STREQ(blocks->m_Author.CStr(), "Keltrane");
    EXPECT_STREQ(blocks->m_Extension, "");
    EXPECT_EQ(blocks->m_Version, 1u);
    EXPECT_EQ(blocks->m_Type, (CKDWORD) CKPLUGIN_BEHAVIOR_DLL);
    EXPECT_EQ(blocks->m_InitInstanceFct, &CKInitLodParameterTypes);
    EXPECT_EQ(blocks->m_ExitInstanceFct, &CKExitLodParameterTypes);

    CKPluginInfo* manager = CKGetLodPluginInfo(1);
    ASSERT_NE(manager, nullptr);
    EXPECT_EQ(manager->m_GUID, CKGUID(0x314F3F83, 0x006F0E30));
    EXPECT_STREQ(manager->m_Description.CStr(), "Level Of Detail Manager");
    EXPECT_STREQ(manager->m_Summary.CStr(), "LOD (Level Of Detail)");
    EXPECT_STREQ(manager->m_Author.CStr(), "Keltrane");
    EXPECT_EQ(manager->m_Version, 1u);
    EXPECT_EQ(manager->m_Type, (CKDWORD) CKPLUGIN_MANAGER_DLL);
    EXPECT_EQ(manager->m_InitInstanceFct, &CKCreateLodManager);
    EXPECT_EQ(manager->m_ExitInstanceFct, nullptr);

    // Any other index has no description.
    EXPECT_EQ(CKGetLodPluginInfo(2), nullptr);
    EXPECT_EQ(CKGetLodPluginInfo(-1), nullptr);
}

TEST_F(LodPluginTest, TheLibraryMeshesHoldsBothPlugins)
{
    CKPluginManager* plugins = CKGetPluginManager();
    int dll = plugins->GetPluginDllCount() - 1;
    ASSERT_GE(dll, 0);
    EXPECT_STREQ(plugins->GetPluginDllInfo(dll)->m_DllFileName.CStr(), "Meshes");
    EXPECT_EQ(plugins->GetPluginDllInfo(dll)->m_PluginInfoCount, 2);
    CKPluginEntry* blocks = plugins->FindComponent(LOD_BEHAVIORS_PLUGIN_GUID, CKPLUGIN_BEHAVIOR_DLL);
    CKPluginEntry* manager = plugins->FindComponent(LOD_MANAGER_GUID, CKPLUGIN_MANAGER_DLL);
    ASSERT_NE(blocks, nullptr);
    ASSERT_NE(manager, nullptr);
    EXPECT_EQ(blocks->m_PositionInDll, 0);
    EXPECT_EQ(manager->m_PositionInDll, 1);
    EXPECT_TRUE(manager->m_Active);
    ASSERT_NE(blocks->m_BehaviorsInfo, nullptr);
    EXPECT_EQ(blocks->m_BehaviorsInfo->m_BehaviorsGUID.Size(), 30);
}

TEST_F(LodPluginTest, TheManagerIsFoundByItsGuidWithItsCallbacks)
{
    LODManager* manager = Manager();
    EXPECT_STREQ(manager->GetName(), "LOD (Level Of Detail)");
    EXPECT_EQ(manager->GetValidFunctionsMask(), 0x004203E9u);
    EXPECT_FALSE(manager->IsActive());
    EXPECT_EQ(manager->m_GlobalLodFactor, 1.0f);
    EXPECT_FALSE(manager->m_BuildPMNormals);
    EXPECT_EQ(manager->GetCameraFactor(), 1.0f);
}

TEST_F(LodPluginTest, RegistersTheParameterTypes)
{
    CKParameterManager* pm = m_Context->GetParameterManager();
    CKParameterTypeDesc* options = pm->GetParameterTypeDescription(CKGUID(0x2B2D2F43, 0x02AB7BC5));
    ASSERT_NE(options, nullptr);
    EXPECT_STREQ(options->Name.CStr(), "LOD Options");
    EXPECT_EQ(options->DefaultSize, 28);

    CKParameterTypeDesc* rgb = pm->GetParameterTypeDescription(CKGUID(0x39D40DF7, 0x48433312));
    ASSERT_NE(rgb, nullptr);
    EXPECT_STREQ(rgb->Name.CStr(), "RGB Component");
    XString text;
    ASSERT_EQ(pm->GetEnumAsString(rgb->Index, text), 0);
    EXPECT_STREQ(text.CStr(), "Red=0,Green=1,Blue=2");

    struct Flags
    {
        CKGUID guid;
        const char* members;
    } flags[] = {
        {CKGUID(0x3C5302CC, 0x2A611067), "Activate=1,Global LOD Factor=2,Build Normals For Progressive Meshes=4"},
        {CKGUID(0x7E4417E1, 0x5D0D45B3),
         "Multiple Meshes=1,Character Animation=2,Patch Mesh=4,Alpha=8,Screen Mag=16,Screen Min=32,Face Mag=64,"
         "Face Min=128,Screen Alpha Mag=256,Screen Alpha Min=512"},
    };
    for (const Flags& f : flags) {
        CKParameterTypeDesc* desc = pm->GetParameterTypeDescription(f.guid);
        ASSERT_NE(desc, nullptr);
        EXPECT_STREQ(desc->Name.CStr(), "");
        EXPECT_TRUE(desc->Flags & CKPARAMETERTYPE_HIDDEN) << "left out of the list of type names";
        ASSERT_EQ(pm->GetFlagsAsString(desc->Index, text), 0);
        EXPECT_STREQ(text.CStr(), f.members);
    }
}

TEST_F(LodPluginTest, TheExitFunctionRemovesOnlyTheEnumeration)
{
    CKParameterManager* pm = m_Context->GetParameterManager();
    EXPECT_EQ(CKExitLodParameterTypes(m_Context), 0);
    EXPECT_EQ(pm->GetParameterTypeDescription(LOD_RGB_COMPONENT_GUID), nullptr);
    EXPECT_NE(pm->GetParameterTypeDescription(LOD_MANAGER_FLAGS_GUID), nullptr);
    EXPECT_NE(pm->GetParameterTypeDescription(LOD_ATTRIBUTE_FLAGS_GUID), nullptr);
    EXPECT_NE(CKInitLodParameterTypes(nullptr), 0);
    EXPECT_NE(CKExitLodParameterTypes(nullptr), 0);
    EXPECT_NE(CKCreateLodManager(nullptr), 0);
}

TEST_F(LodPluginTest, TheAttributeLivesInItsCategory)
{
    CKAttributeManager* am = m_Context->GetAttributeManager();
    int type = am->GetAttributeTypeByName("LOD Object");
    ASSERT_GE(type, 0);
    EXPECT_EQ(type, Manager()->GetLodAttribute());
    EXPECT_EQ(am->GetAttributeParameterGUID(type), CKGUID(0x2B2D2F43, 0x02AB7BC5));
    EXPECT_EQ(am->GetAttributeCompatibleClassId(type), CKCID_3DENTITY);
    EXPECT_TRUE(am->GetAttributeFlags(type) & 0x20);
    int category = am->GetAttributeCategoryIndex(type);
    EXPECT_STREQ(am->GetCategoryName(category), "LOD (Level Of Detail)");
    EXPECT_EQ(am->GetCategoryFlags(category), 0u);
}

// The declaration table, transcribed from the plug-in's documentation.
struct ExpectedDeclaration
{
    const char* name;
    const char* category;
    CKGUID guid;
    CK_CLASSID cid;
    CKDWORD version;
    bool keltrane;
    const char* description;
};

const ExpectedDeclaration kDeclarations[30] = {
    {"Set Vertex Properties",
     "Mesh Modifications/Basic",
     {0x696353B2, 0x40667087},
     32,
     0x10000,
     false,
     "Set the properties of a vertex."},
    {"Set Face Properties",
     "Mesh Modifications/Basic",
     {0x1D8E2716, 0x64F47239},
     32,
     0x10000,
     false,
     "Set the properties of a Face."},
    {"Set Vertex Count",
     "Mesh Modifications/Basic",
     {0x4BF4352E, 0x6C786DB2},
     32,
     0x10000,
     false,
     "Set the number of Vertexs of a mesh."},
    {"Set Face Count",
     "Mesh Modifications/Basic",
     {0x15A14196, 0x69530840},
     32,
     0x10000,
     false,
     "Set the number of faces of a mesh."},
    {"Precompute Lighting",
     "Mesh Modifications/Basic",
     {0x053A5BE9, 0x78CC3E15},
     41,
     0x10000,
     false,
     "Precompute the lighting of an object."},
    {"Bend",
     "Mesh Modifications/Deformation",
     {0x7C9A7008, 0x6B0F1D1F},
     41,
     0x20000,
     true,
     "Bends a mesh uniformly along an axis with an angle and a direction of bending."},
    {"Explode",
     "Mesh Modifications/Deformation",
     {0x002D010A, 0x003D010A},
     41,
     0x10000,
     true,
     "Makes an object appear to explode by spreading out its faces from the barycenter of the object."},
    {"Mesh Morpher",
     "Mesh Modifications/Deformation",
     {0xFF0D010A, 0x001D010A},
     41,
     0x10000,
     true,
     "Makes a mesh out of two (that must have the same number of vertices)."},
    {"Noise",
     "Mesh Modifications/Deformation",
     {0x3918083F, 0x77D70F5C},
     41,
     0x20000,
     true,
     "Displaces the vertices of the mesh with a random vector."},
    {"Sine Deform",
     "Mesh Modifications/Deformation",
     {0x45123704, 0x72F25769},
     41,
     0x20000,
     false,
     "Applies a time-dependent sinusoidal deformation to each vertice of the mesh."},
    {"Multi Mesh Morpher",
     "Mesh Modifications/Deformation",
     {0x53DA65C4, 0x6F0F194A},
     41,
     0x10000,
     true,
     "Transforms the current mesh so it matches the interpolation of other meshes (ie there vertice)"},
    {"Set PatchMesh Steps",
     "Mesh Modifications/Deformation",
     {0x50C12830, 0x18033A52},
     53,
     0x10000,
     true,
     "Sets number of steps used to render a PatchMesh."},
    {"Skin Join",
     "Mesh Modifications/Deformation",
     {0x38677C72, 0x4F4715CB},
     41,
     0x10000,
     true,
     "Deforms a join so it sticks on the objects it's joined."},
    {"Stretch",
     "Mesh Modifications/Deformation",
     {0x22D774F6, 0x4AC542C3},
     41,
     0x20000,
     true,
     "Stretches an object, equivalent to scaling it with a stretch factor along the selected axis and with the "
     "opposite factor along the two other axes."},
    {"Taper",
     "Mesh Modifications/Deformation",
     {0x0E971A6B, 0x210F703A},
     41,
     0x20000,
     true,
     "Modifies the mesh by scaling one end of it and changes the amount of tapering and the curvature of the "
     "effect."},
    {"Twist",
     "Mesh Modifications/Deformation",
     {0x75B066AF, 0x70371B90},
     41,
     0x20000,
     true,
     "Twists an object around an axis. You can choose the angle of twisting and the bias, ranging from -100 to "
     "100."},
    {"Texture Displace",
     "Mesh Modifications/Local Deformation",
     {0x32145678, 0x32145678},
     41,
     0x30000,
     false,
     "Displaces the vertices of the mesh, according to the luminosity of the texture mapped to this vertex."},
    {"Change Referential",
     "Mesh Modifications/Local Deformation",
     {0x5F6428F2, 0x04E55C7A},
     41,
     0x10000,
     false,
     "Change the referential of a specified object, with another object referential."},
    {"Vertex Translate",
     "Mesh Modifications/Local Deformation",
     {0x08032EBC, 0x791960C9},
     41,
     0x20000,
     false,
     "Translates one or more vertices of the current mesh."},
    {"Invert Winding",
     "Mesh Modifications/Local Deformation",
     {0x31CE61CD, 0x69A44BEB},
     32,
     0x10000,
     false,
     "Inverse the orientation of the faces of a mesh."},
    {"Add Mesh",
     "Mesh Modifications/Multi Mesh",
     {0x7A1D593E, 0x12C5648D},
     41,
     0x10000,
     true,
     "Adds a mesh to the selected 3d Entity."},
    {"Remove Mesh",
     "Mesh Modifications/Multi Mesh",
     {0x0002145E, 0x6E1B2592},
     41,
     0x10000,
     true,
     "Removes a mesh from the selected 3d Entity."},
    {"Select Mesh",
     "Mesh Modifications/Multi Mesh",
     {0x43890176, 0x58B2244E},
     41,
     0x10000,
     true,
     "Selects which mesh should be used to represent the 3D entity."},
    {"Level Of Detail",
     "Optimizations/Level Of Detail",
     {0x21465F42, 0x194C71A1},
     41,
     0x10000,
     true,
     "Chooses the mesh with the appropriate level of detail according to the distance of the camera to the "
     "object."},
    {"LOD Manager Options",
     "Optimizations/Level Of Detail",
     {0x2B557187, 0x02027BAF},
     19,
     0x10000,
     true,
     "Set and Get information about the LOD Manager."},
    {"Set LOD Attribute",
     "Optimizations/Level Of Detail",
     {0x0D360136, 0x63D0633B},
     33,
     0x10000,
     true,
     "Set the LOD Attribute on an object."},
    {"Get LOD Attribute",
     "Optimizations/Level Of Detail",
     {0x62BF39FA, 0x53E264C6},
     33,
     0x10000,
     true,
     "Get the LOD Attribute parameters applied to an object."},
    {"Set Progressive Mesh Options",
     "Optimizations/Level Of Detail",
     {0x10357830, 0x18099A52},
     32,
     0x10000,
     true,
     "Sets the options of the progressive mesh."},
    {"Set Blend Shape Weight By Name",
     "Mesh Modifications/Blend shapes",
     {0x07AD1EFF, 0x32740C07},
     33,
     0x10000,
     false,
     "Set the weight of a blend shape by its name"},
    {"Set Blend Shape Weight By Index",
     "Mesh Modifications/Blend shapes",
     {0x7BD3596E, 0x49065736},
     33,
     0x10000,
     false,
     "Set the weight of a blend shape by its index"},
};

// One prototype: inputs and outputs separated by ';'; parameters as
// "name|type|default" separated by ';', "-" for no default, locals written
// "L:" and settings "S:"; the flags; whether it has a callback.
struct ExpectedPrototype
{
    const char* inputs;
    const char* outputs;
    const char* inParams;
    const char* outParams;
    const char* locals;
    CKDWORD flags;
    CKDWORD behaviorFlags;
    bool callback;
};

const ExpectedPrototype kPrototypes[30] = {
    {"In", "Out",
     "Vertex Index|Integer|-;Vertex Position|Vector|-;Vertex Normal|Vector|-;Vertex Color|Color|128,128,128,255;"
     "Vertex Specular Color|Color|0,0,0,0;Vertex UV|Vector 2D|-;UV Channel|Integer|-1",
     "", "", 0x40000, 1, false},
    {"In", "Out", "Face Index|Integer|-;Face Material|Material|-;Face Vertex Indices|Vector|0,1,2", "", "", 0x40000, 1,
     false},
    {"In", "Out", "Vertex Count|Integer|100", "", "", 0x40000, 1, false},
    {"In", "Out", "Face Count|Integer|100", "", "", 0x40000, 1, false},
    {"In", "Out", "Specular|Boolean|FALSE", "", "", 0x40000, 1, false},
    {"In", "Exit",
     "Angle|Angle|0:90;Direction|Float|0.0;Axis|Vector|0,0,1;Reset Mesh|Boolean|TRUE;Normal Recalculation|Boolean|TRUE",
     "", "L:|Buffer|-;L:|Box|-", 0x40000, 1, true},
    {"In;Loop In", "Out;Loop Out",
     "Duration (ms)|Integer|1000;Explosion Curve|2D Curve|-;Max Distance Factor|Float|2;Spreading "
     "Direction|Vector|-;Rotation|Boolean|TRUE;Deformation|Boolean|FALSE",
     "",
     "L:|Integer|-;L:|Float|-;L:curveDeltaX|Float|-;L:baryCenter|Vector|-;L:alpha|Float|-;L:mesh "
     "saved|Mesh|-;L:new mesh|Mesh|-",
     0, 1, true},
    {"In", "Out",
     "Start Mesh|Mesh|-;End Mesh|Mesh|-;Effect Value|Percentage|50;Calculate Vertices Normals|Boolean|FALSE;Calculate "
     "Faces Normals|Boolean|FALSE",
     "", "L:initial mesh|Mesh|-;L:created mesh|Mesh|-", 0, 1, true},
    {"In", "Out", "Seed|Float|0.1;Scale|Float|50.0;Axis|Vector|0.1,0,0;Reset Mesh|Boolean|TRUE", "", "L:data|Buffer|-",
     0x40000, 1, true},
    {"In", "Out", "Deform Axis|Vector|1,1,1;Magnitude|Float|1;Wave Length|Float|1;Reset Mesh|Boolean|TRUE", "",
     "L:Time|Float|-;L:Vertex Array|Buffer|-", 0x40000, 1, true},
    {"In", "Out", "Mesh 1|Mesh|-;Coef 1|Float|0;Mesh 2|Mesh|-;Coef 2|Float|1", "",
     "S:Mesh Count|Integer|2;S:Calculate Normals|Boolean|TRUE;S:Use Relative Morphing|Boolean|FALSE", 0x04040000, 1,
     true},
    {"In", "Out", "Steps|Integer|1", "", "", 0x40000, 1, false},
    {"On;Off", "", "Threshold|Float|0.2;Object 1|3D Object|-;Object 2|3D Object|-", "",
     "L:Joined Objects|Collection|-;L:Correspondance|Buffer|-;L:Is Joining|Boolean|-;L:Temporary Joined Object "
     "Info|Buffer|-",
     0x200, 1, true},
    {"In", "Out", "Stretch|Float|0.1;Amplify|Float|0.0;Axis|Vector|0,0,1;Reset Mesh|Boolean|TRUE", "",
     "L:data|Buffer|-;L:initialBox|Box|-", 0x40000, 1, true},
    {"In", "Out",
     "Amount|Float|0.1;Curve|Float|0.0;Axis|Vector|0,0,1;Symmetry|Boolean|FALSE;Modify First Axis|Boolean|TRUE;Modify "
     "Second Axis|Boolean|TRUE;Reset Mesh|Boolean|TRUE;Normal Recalculation|Boolean|TRUE",
     "", "L:data|Buffer|-;L:initialBox|Box|-", 0x40000, 1, true},
    {"In", "Out",
     "Angle|Angle|0:90;Bias|Float|0.0;Axis|Vector|0,1,0;Reset Mesh|Boolean|TRUE;Normal Recalculation|Boolean|TRUE", "",
     "L:data|Buffer|-;L:initialBox|Box|-", 0x40000, 1, true},
    {"In", "Out",
     "Texture|Texture|-;Red Scale|Percentage|20;Green Scale|Percentage|20;Blue Scale|Percentage|20;Alpha "
     "Scale|Percentage|20;Min Texture Source Rectangle|Vector 2D|0,0;Max Texture Source Rectangle|Vector "
     "2D|-1,-1;Reset Mesh|Boolean|FALSE;Normal Recalculation|Boolean|TRUE",
     "", "S:3D Displacement|Boolean|TRUE", 0x40000, 1, false},
    {"In", "Out", "Referential to match|3D Entity|-", "", "", 0x40000, 1, false},
    {"In;Reset", "Out",
     "Vertex Start Index|Integer|0;Vertex Count|Integer|1;Translation Vector|Vector|0,0,0;Translation "
     "Referential|3D Entity|-",
     "", "L:Vertex Array|Buffer|-", 0x40000, 1, true},
    {"In", "Out", "", "", "", 0x40000, 1, false},
    {"In", "Out", "Mesh|Mesh|-", "", "", 0x40000, 1, false},
    {"In", "Out", "Mesh|Mesh|-", "", "", 0x40000, 1, false},
    {"In", "Out", "Mesh|Mesh|-;Add If Missing|Boolean|TRUE", "", "", 0x40000, 1, false},
    {"On;Off", "Exit On;Exit Off", "Distance Min|Float|100;Distance Max|Float|1000", "", "", 0, 5, false},
    {"In", "Out", "Activate|Boolean|TRUE;Global LOD Factor|Float|1;Build Normals For Progressive Meshes|Boolean|FALSE",
     "Active|Boolean|-;Global LOD Factor|Float|-;Build Normals For Progressive Meshes|Boolean|-",
     "S:Modify Parameters|MF|Activate,Global LOD Factor,Build Normals For Progressive Meshes", 0, 1, true},
    {"In", "Out",
     "Multiple Meshes|Boolean|FALSE;Character Animation|Boolean|FALSE;Patch Mesh|Boolean|FALSE;Alpha|Boolean|FALSE;"
     "Screen Mag|Percentage|40;Screen Min|Percentage|1;Faces Mag|Percentage|100;Faces Min|Percentage|3;Screen Alpha "
     "Mag|Percentage|10;Screen Alpha Min|Percentage|5",
     "",
     "S:Modify Parameters|AF|Multiple Meshes,Character Animation,Patch Mesh,Alpha,Screen Mag,Screen Min,Face "
     "Mag,Face Min,Screen Alpha Mag,Screen Alpha Min",
     0x40000, 1, true},
    {"In", "LOD Attribute Found;LOD Attribute Not Found", "",
     "Multiple Meshes|Boolean|-;Character Animation|Boolean|-;Patch Mesh|Boolean|-;Alpha|Boolean|-;Screen "
     "Mag|Percentage|-;Screen Min|Percentage|-;Faces Mag|Percentage|-;Faces Min|Percentage|-;Screen Alpha "
     "Mag|Percentage|-;Screen Alpha Min|Percentage|-",
     "", 0x40000, 1, false},
    {"In", "Out", "Active|Boolean|TRUE;GeoMorph|Boolean|FALSE;GeoMorph Steps|Integer|0", "", "", 0x40000, 1, false},
    {"In", "Out", "Blend Shape Name|String|-;Blend Shape Weight|Float|-", "", "", 0x40000, 1, false},
    {"In", "Out", "Blend Shape Index|Integer|-;Blend Shape Weight|Float|-", "", "", 0x40000, 1, false},
};

std::vector<std::string> Split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    if (text.empty())
        return parts;
    size_t start = 0;
    for (;;) {
        size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos)
            return parts;
        start = end + 1;
    }
}

std::vector<std::string> Names(const XClassArray<CKBehaviorIODecl>& ios)
{
    std::vector<std::string> names;
    for (const CKBehaviorIODecl& io : ios)
        names.push_back(io.m_Name.CStr());
    return names;
}

TEST_F(LodPluginTest, DeclaresTheThirtyBlocksInOrder)
{
    XArray<CKObjectDeclaration*> list;
    CKRegisterLodBehaviorDeclarations(list);
    ASSERT_EQ(list.Size(), 30);
    for (int i = 0; i < 30; ++i) {
        const ExpectedDeclaration& e = kDeclarations[i];
        CKObjectDeclaration* d = list[i];
        SCOPED_TRACE(e.name);
        EXPECT_STREQ(d->GetName(), e.name);
        EXPECT_STREQ(d->GetCategory(), e.category);
        EXPECT_STREQ(d->GetDescription(), e.description);
        EXPECT_EQ(d->GetType(), 4);
        EXPECT_EQ(d->GetGuid(), e.guid);
        EXPECT_EQ(d->GetAuthorGuid(), e.keltrane ? CKGUID(0x4B454C54, 0x52414E45) : CKGUID(0, 0));
        EXPECT_STREQ(d->GetAuthorName(), "Keltrane");
        EXPECT_EQ(d->GetVersion(), e.version);
        EXPECT_EQ(d->GetCompatibleClassId(), e.cid);
        EXPECT_NE(d->GetCreationFunction(), nullptr);
        // The registered declaration is the same block.
        CKObjectDeclaration* registered = CKGetObjectDeclarationFromGuid(e.guid);
        ASSERT_NE(registered, nullptr);
        EXPECT_STREQ(registered->GetName(), e.name);
        delete d;
    }
}

TEST_F(LodPluginTest, EachPrototypeDeclaresItsConnections)
{
    CKParameterManager* pm = m_Context->GetParameterManager();
    auto typeOf = [&](const std::string& name) {
        if (name == "MF")
            return CKGUID(0x3C5302CC, 0x2A611067);
        if (name == "AF")
            return CKGUID(0x7E4417E1, 0x5D0D45B3);
        CKGUID guid = pm->ParameterNameToGuid(name.c_str());
        EXPECT_TRUE(guid.IsValid()) << name;
        return guid;
    };
    auto check = [&](const XClassArray<CKParameterDecl>& declared, const char* expected, int kind) {
        std::vector<std::string> rows = Split(expected, ';');
        ASSERT_EQ(declared.Size(), (int) rows.size()) << expected;
        for (int i = 0; i < declared.Size(); ++i) {
            std::string row = rows[i];
            int type = kind;
            if (row.rfind("L:", 0) == 0 || row.rfind("S:", 0) == 0) {
                type = row[0] == 'S' ? CKPARAMETER_SETTING : CKPARAMETER_LOCAL;
                row = row.substr(2);
            }
            std::vector<std::string> f = Split(row, '|');
            ASSERT_EQ(f.size(), 3u) << row;
            EXPECT_STREQ(declared[i].m_Name.CStr(), f[0].c_str());
            EXPECT_EQ(declared[i].m_Guid, typeOf(f[1])) << f[0];
            EXPECT_EQ(declared[i].m_Type, type) << f[0];
            EXPECT_STREQ(declared[i].m_DefaultValueString.CStr(), f[2] == "-" ? "" : f[2].c_str()) << f[0];
        }
    };
    for (int i = 0; i < 30; ++i) {
        const ExpectedPrototype& e = kPrototypes[i];
        SCOPED_TRACE(kDeclarations[i].name);
        CKBehaviorPrototype* p = CKFindPrototypeByGuid(kDeclarations[i].guid);
        ASSERT_NE(p, nullptr);
        EXPECT_STREQ(p->GetName(), kDeclarations[i].name);
        EXPECT_EQ(Names(p->GetInputs()), Split(e.inputs, ';'));
        EXPECT_EQ(Names(p->GetOutputs()), Split(e.outputs, ';'));
        check(p->GetInParameters(), e.inParams, CKPARAMETER_IN);
        check(p->GetOutParameters(), e.outParams, CKPARAMETER_OUT);
        check(p->GetLocalParameters(), e.locals, CKPARAMETER_LOCAL);
        EXPECT_EQ(p->GetFlags(), e.flags);
        EXPECT_EQ(p->GetBehaviorFlags(), e.behaviorFlags);
        // The callback and its mask come with the block's function.
        if (p->GetFunction()) {
            EXPECT_EQ(p->GetBehaviorCallbackFct() != nullptr, e.callback);
            EXPECT_EQ(p->GetBehaviorCallbackMask(), 0xFFFFFFFFu);
            EXPECT_EQ(p->GetBehaviorCallbackArg(), nullptr);
        }
    }
}

TEST_F(LodPluginTest, EveryBlockHasItsFunction)
{
    for (int i = 0; i < 30; ++i) {
        CKBehaviorPrototype* p = CKFindPrototypeByGuid(kDeclarations[i].guid);
        ASSERT_NE(p, nullptr);
        EXPECT_NE(p->GetFunction(), nullptr) << kDeclarations[i].name;
    }
}

} // namespace
