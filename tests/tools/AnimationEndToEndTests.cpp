#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "exporter/shell/PluginShell.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestPaths.h"
#include "tests/tools/QdxExportRun.h"
#include "tools/info/EngineFileInfo.h"

namespace {

class AnimationEndToEnd : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_EQ(ExporterLoad(), 0); }
    void TearDown() override { ExporterUnload(); }

    std::string Scene() const { return TestSourceDir() + "/tests/tools/data/animation_objects.json"; }
    std::string Golden(const char* name) const { return TestSourceDir() + "/tests/tools/data/" + name; }

    TestTempDir m_Dir;
};

} // namespace

// Bones moved by keys, a Morpher with animated weights, a Skin, a Physique
// and a vertex animation, exported as an animation with blend shapes: the
// dump and the report equal their golden texts, and the facts they hold are
// checked one by one.
TEST_F(AnimationEndToEnd, SkinsBlendShapesAndMorphKeysReachTheFile)
{
    const std::string file = m_Dir.File("animation.qdx");
    const CommandRun run = RunQdxExport({Scene(), file, "--report", "--opt", "exportAnimation=true", "--opt",
                                         "ExportBlendShapes=true", "--opt", "ExportBlendShapeAnims=true", "--opt",
                                         "samplingStepForDeformables=1", "--opt", "ignore1KeyAnimation=true"});
    ASSERT_EQ(run.code, 0) << run.err;
    std::string dump;
    ASSERT_TRUE(DescribeEngineFile(file.c_str(), true, dump)) << dump;
    if (std::getenv("ENGINE_WRITE_GOLDEN")) {
        TestWriteFile(Golden("animation_objects.dump"), dump);
        TestWriteFile(Golden("animation_objects.report"), ReportOf(run.out));
    }
    EXPECT_EQ(dump, TestReadFile(Golden("animation_objects.dump")));
    EXPECT_EQ(ReportOf(run.out), TestReadFile(Golden("animation_objects.report")));
    std::string summary;
    ASSERT_TRUE(DescribeEngineFile(file.c_str(), false, summary)) << summary;
    EXPECT_EQ(BuiltTotals(run.out), SummaryTotals(summary)) << "what was built is what is read back";
    EXPECT_EQ(SummaryTotals(summary),
              "15 objects, 4 meshes, 16 vertices, 8 faces, 0 materials, 0 textures, 14 animation keys");

    // Two channels, two shapes of Frown (50 and 100) and one of Smile; the
    // weights at time 0, the Smile track as a float controller (its middle
    // key on the line between the others reduced away).
    const std::string face = DumpBlock(dump, "RCKMesh \"Face_Mesh\"");
    EXPECT_NE(face.find("blend shapes 2 "), std::string::npos) << face;
    EXPECT_NE(face.find("blend shape \"Smile\""), std::string::npos) << face;
    EXPECT_NE(face.find("blend shape \"Frown\""), std::string::npos) << face;
    const std::string faceEntity = DumpBlock(dump, "RCK3dObject \"Face\"");
    EXPECT_NE(faceEntity.find("blend weight 1 0.25"), std::string::npos) << faceEntity;
    EXPECT_NE(dump.find("float \"Smile\" type 0x40856620 length 0 keys 2 from 0 to 10"), std::string::npos);
    // Skin bones in the modifier's order; Physique bones in first-use order,
    // 0.2 / 0.2 as a half each.
    const std::string skinned = DumpBlock(dump, "RCK3dObject \"Skinned\"");
    EXPECT_NE(skinned.find("skin vertices 4 normals 4 bones 2\n  skin bone \"Bone1\"\n  skin bone \"Bone2\""),
              std::string::npos)
        << skinned;
    const std::string body = DumpBlock(dump, "RCK3dObject \"Body\"");
    EXPECT_NE(body.find("skin bone \"Bone1\"\n  skin bone \"Bone2\""), std::string::npos) << body;
    EXPECT_NE(run.out.find("Body : Converting Physique modifier to Skinning\r\n"), std::string::npos);
    // The wave: keys to frame 3, the hold's end at 6, to 8; none after.
    EXPECT_NE(dump.find("morph type 0x73847810 length 10 keys 7 from 0 to 8\n  morph vertices 4 normals 1"),
              std::string::npos);
    EXPECT_NE(run.out.find("Wave : Sampling to morph animation : 7 keys\r\n"), std::string::npos);
}
