#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "exporter/userdata/CustomAttributes.h"
#include "platform/host/CustAttrib.h"
#include "platform/host/Mtl.h"
#include "render/mesh/CKMaterial.h"
#include "render/mesh/CKMesh.h"
#include "render/objects/CK3dEntity.h"
#include "tests/exporter/support/ExporterTestSupport.h"

namespace {

class CustomAttributes : public SceneExportTest
{
protected:
    // A custom attribute named name on the owner, with integer parameters
    // (ids from 1, in order) in its first block.
    CustAttrib* Attach(Animatable* owner, const char* name, const std::vector<std::pair<const char*, int>>& values)
    {
        CustAttrib* attrib = AddObject<CustAttrib>(std::string(name));
        IParamBlock2* block = attrib->AddParamBlock();
        short id = 1;
        for (const auto& [parameter, value] : values) {
            IParamBlock2::Entry entry;
            entry.def.ID = id++;
            entry.def.int_name = parameter;
            entry.def.type = TYPE_INT;
            entry.i = value;
            block->AddParam(entry);
        }
        owner->AllocCustAttribContainer()->AppendCustAttrib(attrib);
        return attrib;
    }
};

} // namespace

TEST(AttributeMappings, ValuesOutOfRangeTakeTheirDefaults)
{
    struct Case
    {
        int (*map)(int);
        const char* name;
        std::vector<std::pair<int, int>> pairs; // value -> engine value
    };
    const Case cases[] = {
        {MapBlendFactor, "blend", {{0, 1}, {1, 1}, {5, 5}, {11, 11}, {12, 1}, {13, 1}, {-3, 1}}},
        {MapCompareFunction, "compare", {{0, 7}, {1, 1}, {8, 8}, {9, 7}}},
        {MapTextureBlend, "texture blend", {{0, 4}, {1, 1}, {6, 6}, {7, 8}, {8, 7}, {9, 4}}},
        {MapMinFilter, "minification", {{0, 6}, {1, 1}, {7, 7}, {8, 6}}},
        {MapMagFilter, "magnification", {{0, 2}, {1, 1}, {2, 2}, {3, 7}, {4, 2}}},
        {MapAddressMode, "address", {{0, 1}, {2, 2}, {4, 4}, {5, 1}}},
    };
    for (const Case& c : cases)
        for (const auto& [value, expected] : c.pairs)
            EXPECT_EQ(c.map(value), expected) << c.name << " " << value;
}

// Block and parameter names match in any letter case; a block without the
// parameter does not end the search; a missing one leaves the value alone.
TEST_F(CustomAttributes, LookupIgnoresCaseAndSearchesEveryBlockOfTheName)
{
    Object* object = AddObject<Object>(GEOMOBJECT_CLASS_ID, Class_ID(0x10, 0), std::string("Box"));
    int value = -1;
    EXPECT_FALSE(GetCustomAttributeValue(object, "Keltrane_Object_Props", "pickable", value));
    Attach(object, "keltrane_object_props", {{"renderPriority", 3}});
    Attach(object, "Other", {{"pickable", 9}});
    Attach(object, "KELTRANE_OBJECT_PROPS", {{"PICKABLE", 0}, {"scriptPriority", 12}});
    EXPECT_TRUE(GetCustomAttributeValue(object, "Keltrane_Object_Props", "pickable", value));
    EXPECT_EQ(value, 0);
    EXPECT_TRUE(GetCustomAttributeValue(object, "Keltrane_Object_Props", "renderpriority", value));
    EXPECT_EQ(value, 3);
    value = -1;
    EXPECT_FALSE(GetCustomAttributeValue(object, "Keltrane_Object_Props", "prelit", value));
    EXPECT_EQ(value, -1);
    EXPECT_FALSE(GetCustomAttributeValue(nullptr, "Keltrane_Object_Props", "pickable", value));
}

TEST_F(CustomAttributes, TheMaterialBlockSetsEveryFieldOfAStandardMaterialOnly)
{
    Mtl* standard = AddObject<Mtl>(DMTL_CLASS_ID, std::string("Standard"), std::string("Mat"));
    Attach(standard, "Keltrane_Mat_Props",
           {{"matAlphaTest", 1},
            {"matAlphaFuncTestFunc", 3},
            {"matAlphaRefValue", 200},
            {"matAlphaBlend", 1},
            {"matSrcBlend", 5},
            {"matDestBlend", 12},
            {"matZBufferWrite", 0},
            {"matZFunc", 0},
            {"matTextureBlend", 7},
            {"matFilterMin", 2},
            {"matFilterMag", 3},
            {"matAddressMode", 4},
            {"matBorderColor", 0x11223344},
            {"matPerspCorrect", 0}});
    auto* material = Make<CKMaterial>(CKCID_MATERIAL, "Mat");
    ApplyMaterialProperties(material, standard);
    EXPECT_TRUE(material->AlphaTestEnabled());
    EXPECT_EQ(material->GetAlphaFunc(), 3);
    EXPECT_EQ(material->GetAlphaRef(), 200);
    EXPECT_TRUE(material->AlphaBlendEnabled());
    EXPECT_EQ(material->GetSourceBlend(), 5);
    EXPECT_EQ(material->GetDestBlend(), 1) << "12 is not reachable";
    EXPECT_FALSE(material->ZWriteEnabled());
    EXPECT_EQ(material->GetZFunc(), 7);
    EXPECT_EQ(material->GetTextureBlendMode(), 8);
    EXPECT_EQ(material->GetTextureMinMode(), 2);
    EXPECT_EQ(material->GetTextureMagMode(), 7);
    EXPECT_EQ(material->GetTextureAddressMode(), 4);
    EXPECT_EQ(material->GetTextureBorderColor(), 0x11223344u);
    EXPECT_FALSE(material->PerspectiveCorrectionEnabled());

    Mtl* multi = AddObject<Mtl>(MULTI_CLASS_ID, std::string("Multi/Sub-Object"), std::string("Multi"));
    Attach(multi, "Keltrane_Mat_Props", {{"matSrcBlend", 9}});
    auto* other = Make<CKMaterial>(CKCID_MATERIAL, "Other");
    const int before = other->GetSourceBlend();
    ApplyMaterialProperties(other, multi);
    EXPECT_EQ(other->GetSourceBlend(), before) << "not a standard material";
    ApplyMaterialProperties(nullptr, standard);
}

TEST_F(CustomAttributes, ChannelSettingsComeFromTheChannelsMaterial)
{
    Mtl* standard = AddObject<Mtl>(DMTL_CLASS_ID, std::string("Standard"), std::string("Mat"));
    Attach(standard, "Keltrane_Mat_Props",
           {{"channelActive", 0}, {"channelSrcBlend", 9}, {"channelDestBlend", 0}, {"channelPrelit", 1}});
    auto* mesh = Make<CKMesh>(CKCID_MESH, "Mesh");
    auto* material = Make<CKMaterial>(CKCID_MATERIAL, "Mat");
    const int channel = mesh->AddChannel(material, FALSE);
    ASSERT_GE(channel, 0);
    ApplyChannelProperties(mesh, channel, standard);
    EXPECT_EQ(mesh->GetChannelSourceBlend(channel), 9);
    EXPECT_EQ(mesh->GetChannelDestBlend(channel), 1);
    EXPECT_FALSE(mesh->IsChannelActive(channel));
    EXPECT_FALSE(mesh->IsChannelLit(channel)) << "channelPrelit 1: the channel is not lit";
    ApplyChannelProperties(nullptr, channel, standard);
    ApplyChannelProperties(mesh, channel, nullptr);
}

// The object block reads the base object's attributes onto the node's
// entity; "prelit" 1 makes the current mesh prelit. Cameras and lights get
// none, and an animation export applies nothing.
TEST_F(CustomAttributes, TheObjectBlockReachesTheEntityAndItsMesh)
{
    Object* box = AddObject<Object>(GEOMOBJECT_CLASS_ID, Class_ID(0x10, 0), std::string("Box"));
    Attach(box, "Keltrane_Object_Props",
           {{"renderPriority", 4}, {"scriptPriority", -7}, {"pickable", 0}, {"prelit", 1}});
    INode* node = AddNode("Box01", box);
    INode* bare = AddNode("Box02", AddObject<Object>(GEOMOBJECT_CLASS_ID, Class_ID(0x10, 0), std::string("Box")));
    ExportAll();
    CK3dEntity* entity = m_Builder->FindEntity((ExportKey) node);
    auto* mesh = Make<CKMesh>(CKCID_MESH, "Box01_Mesh");
    entity->SetCurrentMesh(mesh, TRUE);
    EXPECT_EQ(m_Exporter.ExportObjectProperties(m_Scene.GetRootNode()), 1);
    EXPECT_EQ(entity->GetZOrder(), 4);
    EXPECT_EQ(entity->GetPriority(), -7);
    EXPECT_FALSE(entity->IsPickable());
    EXPECT_EQ(mesh->GetLitMode(), 0);
    EXPECT_TRUE(m_Builder->FindEntity((ExportKey) bare)->IsPickable());

    m_Exporter.asAnimation = 1;
    entity->SetZOrder(0);
    EXPECT_EQ(m_Exporter.ExportObjectProperties(m_Scene.GetRootNode()), 1);
    EXPECT_EQ(entity->GetZOrder(), 0);
    m_Exporter.asAnimation = 0;
    m_Interface->CancelAtCheck(m_Interface->CancelChecks() + 1);
    EXPECT_EQ(m_Exporter.ExportObjectProperties(m_Scene.GetRootNode()), 0);
}
