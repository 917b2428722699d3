#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/object/CKClassRegistry.h"
#include "core/object/CKObjectIDList.h"
#include "core/scene/CKGroup.h"
#include "core/scene/CKLevel.h"
#include "core/scene/CKScene.h"
#include "render/mesh/CKMaterial.h"
#include "render/objects/CK3dEntity.h"
#include "tests/exporter/support/ExporterTestSupport.h"

namespace {

using DriverSteps = SceneExportTest;

std::vector<CKObject*> Listed(CKContext* context, CKObjectIDList& list)
{
    std::vector<CKObject*> objects;
    for (list.Reset(); !list.EndOfList(); list.Next())
        objects.push_back(list.GetCurrentObject(context));
    return objects;
}

} // namespace

// Channel 1's default material always goes; another channel's only when no
// mesh used the channel.
TEST_F(DriverSteps, DefaultChannelMaterialsOfUnusedChannelsAreDeleted)
{
    std::vector<CK_ID> ids;
    for (int c = 1; c <= 8; ++c) {
        auto* material = Make<CKMaterial>(CKCID_MATERIAL, ("Default Channel " + std::to_string(c)).c_str());
        m_Builder->materials.Insert((ExportKey) c, material);
        m_Builder->AddCreatedObject(material);
        ids.push_back(material->GetID());
    }
    m_Exporter.channelUsed[0] = TRUE;
    m_Exporter.channelUsed[2] = TRUE;
    m_Exporter.channelUsed[7] = TRUE;
    m_Exporter.DeleteUnusedChannelMaterials();
    for (int c = 1; c <= 8; ++c) {
        const bool kept = c == 3 || c == 8;
        EXPECT_EQ(m_Builder->FindMaterial((ExportKey) c) != nullptr, kept) << c;
        EXPECT_EQ(m_Context->GetObject(ids[(size_t) c - 1]) != nullptr, kept) << c;
    }
}

// Scenes and levels leave the list, everything else joins the new level and
// keeps its flags of the builder's scene; a level export's environment
// reaches the new level's scene; only a file that is not an object file
// saves the new level, first.
TEST_F(DriverSteps, BehavioursWrapTheSavedObjectsInANewLevel)
{
    struct Case
    {
        const char* file;
        bool levelSaved;
    };
    for (const Case& c : {Case{"out.qbx", true}, Case{"OUT.QDX", false}, Case{"out.qdx", false}}) {
        CKLevel* builderLevel = m_Context->GetCurrentLevel();
        ASSERT_NE(builderLevel, nullptr);
        CKScene* builderScene = builderLevel->GetLevelScene();
        auto* entity = Make<CK3dEntity>(CKCID_3DENTITY, "Entity");
        auto* group = Make<CKGroup>(CKCID_GROUP, "Group");
        builderScene->AddObject(entity, FALSE);
        builderScene->SetObjectFlags(entity, 0x5);
        CKObjectIDList saved;
        saved.InsertRearObject(builderLevel);
        saved.InsertRearObject(entity);
        saved.InsertRearObject(builderScene);
        saved.InsertRearObject(group);
        m_Exporter.savedObjects = &saved;
        m_Exporter.asLevel = 1;
        m_Exporter.fileName = c.file;
        m_Builder->environment.ambientColor = QxColor(0.0f, 1.0f, 0.0f, 1.0f);

        m_Exporter.WrapObjectsInLevel();
        m_Exporter.savedObjects = nullptr;
        CKLevel* level = m_Context->GetCurrentLevel();
        ASSERT_NE(level, builderLevel);
        std::vector<CKObject*> expected{entity, group};
        if (c.levelSaved)
            expected.insert(expected.begin(), level);
        EXPECT_EQ(Listed(m_Context, saved), expected) << c.file;
        CKScene* scene = level->GetLevelScene();
        EXPECT_EQ(scene->GetObjectFlags(entity), builderScene->GetObjectFlags(entity)) << c.file;
        EXPECT_EQ(scene->GetAmbientLightColor(), 0xFF00FF00u) << c.file;

        m_Exporter.asLevel = 0;
        m_Builder->environment.ambientColor = QxColor(1.0f, 0.0f, 0.0f, 1.0f);
        CKObjectIDList again;
        again.InsertRearObject(entity);
        m_Exporter.savedObjects = &again;
        m_Exporter.WrapObjectsInLevel();
        m_Exporter.savedObjects = nullptr;
        EXPECT_NE(m_Context->GetCurrentLevel()->GetLevelScene()->GetAmbientLightColor(), 0xFFFF0000u)
            << "only a level export carries its environment";
        m_Context->SetCurrentLevel(builderLevel);
    }
}
