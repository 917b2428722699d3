#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/context/CKStartUp.h"
#include "exporter/shell/PluginShell.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestModels.h"
#include "tests/support/TestPaths.h"
#include "tests/tools/QdxExportRun.h"
#include "tools/info/EngineFileInfo.h"

namespace {

std::string Replaced(std::string text, const std::string& what, const std::string& with)
{
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
    return text;
}

class GeometryEndToEnd : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_EQ(ExporterLoad(), 0); }
    void TearDown() override { ExporterUnload(); }

    CommandRun Export(const std::string& out)
    {
        return RunQdxExport({TestSourceDir() + "/tests/tools/data/geometry_objects.json", out, "--report", "--opt",
                             "exportAlphaMap=true"});
    }

    TestTempDir m_Dir;
};

} // namespace

// Meshes, materials, textures and a patch mesh of a scene made for them:
// the file's dump and the report equal their golden texts, and the facts
// they hold are checked one by one.
TEST_F(GeometryEndToEnd, MeshesMaterialsTexturesAndPatchesEqualTheirGoldenDumpAndReport)
{
    const std::string file = m_Dir.File("geometry.qdx");
    const CommandRun run = Export(file);
    ASSERT_EQ(run.code, 0) << run.err;
    std::string dump;
    ASSERT_TRUE(DescribeEngineFile(file.c_str(), true, dump)) << dump;
    const std::string report = Replaced(ReportOf(run.out), m_Dir.Path(), "$DIR");
    if (std::getenv("ENGINE_WRITE_GOLDEN")) {
        TestWriteFile(TestSourceDir() + "/tests/tools/data/geometry_objects.dump", dump);
        TestWriteFile(TestSourceDir() + "/tests/tools/data/geometry_objects.report", report);
    }
    EXPECT_EQ(dump, TestReadFile(TestSourceDir() + "/tests/tools/data/geometry_objects.dump"));
    EXPECT_EQ(report, TestReadFile(TestSourceDir() + "/tests/tools/data/geometry_objects.report"));
    // The report's one warning (wide.png) and its bitmap not found.
    EXPECT_EQ(run.err, "qdxexport: saved with 1 warning, 1 bitmap not found\n");
    std::string summary;
    ASSERT_TRUE(DescribeEngineFile(file.c_str(), false, summary)) << summary;
    EXPECT_EQ(BuiltTotals(run.out), SummaryTotals(summary));
    EXPECT_EQ(SummaryTotals(summary),
              "43 objects, 12 meshes, 64 vertices, 44 faces, 11 materials, 7 textures, 0 animation keys");

    // One UV island a side and a smoothing group a side: 24 vertices; one
    // group and shared coordinates: 8.
    EXPECT_NE(dump.find("RCKMesh \"CubeSides_Mesh\"\n  vertices 24 faces 12 "), std::string::npos);
    EXPECT_NE(dump.find("RCKMesh \"CubeSmooth_Mesh\"\n  vertices 8 faces 12 "), std::string::npos);
    // Host (1, 2, 3) is (1, 3, 2); corners 1 and 2 exchange.
    const std::string tri = DumpBlock(dump, "RCKMesh \"Tri_Mesh\"");
    EXPECT_NE(tri.find("  v 0 (1, 3, 2) n (0, 0, 0)"), std::string::npos) << tri;
    EXPECT_NE(tri.find("  v 1 (7, 9, 8)"), std::string::npos) << tri;
    // "floatxm1": (x, 1 - mean, 1, 0); id 4 of three sub-materials is the second.
    EXPECT_NE(tri.find("    channel 0 (0.3, 0.4, 1, 0)"), std::string::npos) << tri;
    EXPECT_NE(tri.find("  f 0 0 1 2 \"Glass\""), std::string::npos) << tri;
    // U offset 0.25 maps u 0.5 to 0.25; v 0.5 flips to 0.5.
    EXPECT_NE(DumpBlock(dump, "RCKMesh \"Quad_Mesh\"").find("uv (0.25, 0.5)"), std::string::npos);
    // Transparency 0.25, shininess 0.5.
    const std::string glass = DumpBlock(dump, "RCKMaterial \"Glass\"");
    EXPECT_NE(glass.find("diffuse (0.588, 0.588, 0.588, 0.75)"), std::string::npos) << glass;
    EXPECT_NE(glass.find("power 50"), std::string::npos) << glass;
    EXPECT_NE(glass.find("alpha blend 1 src 5 dest 6 zwrite 0"), std::string::npos) << glass;
    // Four maps on one file: one texture.
    EXPECT_EQ(dump.find("RCKTexture \"checker\""), dump.rfind("RCKTexture \"checker\""));
    EXPECT_NE(report.find("Warning wide.png :w:300 - h:256\r\nThe width and height of the bitmap must be a power of 2"),
              std::string::npos);
    EXPECT_NE(report.find("\r\nnothere.png : file not found...\r\n"), std::string::npos);
    // Opacity 60 %: black grey + 102.
    EXPECT_NE(DumpBlock(dump, "RCKTexture \"base\"").find("pixel 0x66C86432"), std::string::npos);
    EXPECT_NE(DumpBlock(dump, "RCKMaterial \"Opacity\"").find("alpha blend 1 src 5 dest 6"), std::string::npos);
    const std::string lightmap = DumpBlock(dump, "RCKMaterial \"Lit_Lightmap\"");
    EXPECT_NE(lightmap.find("texture \"self\" blend mode 4 min 6"), std::string::npos) << lightmap;
    EXPECT_NE(DumpBlock(dump, "RCKMaterial \"Bumpy\"").find("effect 1 textures \"half\""), std::string::npos);
    EXPECT_NE(DumpBlock(dump, "RCKMaterial \"Twin\"").find("effect 2 textures \"env\""), std::string::npos);
    // Instances share a mesh unless their pivots differ.
    EXPECT_NE(report.find("Mesh Instance : CubeSmoothCopy....."), std::string::npos);
    EXPECT_NE(DumpBlock(dump, "RCK3dObject \"CubeSmoothCopy\"").find("mesh \"CubeSmooth_Mesh\""), std::string::npos);
    EXPECT_NE(dump.find("RCKMesh \"CubeSmoothPivot_Mesh\""), std::string::npos);
    // The patch: its own coordinates from channel 1, one channel for 3, an
    // edge of one patch.
    const std::string patch = DumpBlock(dump, "RCKPatchMesh \"Patch_Mesh\"");
    EXPECT_NE(patch.find("texture channel -1 patches 1 vertices 4"), std::string::npos) << patch;
    EXPECT_NE(patch.find("texture channel 0 patches 1 vertices 4"), std::string::npos) << patch;
    EXPECT_EQ(patch.find("texture channel 1 "), std::string::npos) << patch;
    EXPECT_NE(patch.find("patches 0 -1"), std::string::npos) << patch;
    EXPECT_NE(patch.find("point 2 (3, 0, 3)"), std::string::npos) << patch;
}

TEST_F(GeometryEndToEnd, TheSameSceneExportedTwiceIsByteIdentical)
{
    ASSERT_EQ(Export(m_Dir.File("a.qdx")).code, 0);
    ASSERT_EQ(Export(m_Dir.File("b.qdx")).code, 0);
    const std::string first = TestReadFile(m_Dir.File("a.qdx"));
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(first, TestReadFile(m_Dir.File("b.qdx")));
}

// Every shared model exports through the command line and loads again.
TEST_F(GeometryEndToEnd, EverySharedModelExportsAndReloads)
{
    SKIP_WITHOUT_SHARED_DATA();
    const std::vector<std::string> files = TestListModelFiles(TestSharedDataDir() + "/models");
    ASSERT_FALSE(files.empty());
    int exported = 0;
    for (const std::string& path : files) {
        SCOPED_TRACE(path);
        const std::string out = m_Dir.File("model.qdx");
        const CommandRun run = RunQdxExport({path, out});
        if (run.code == 2)
            continue; // a model the host refuses (its own tests say which)
        ASSERT_EQ(run.code, 0) << run.err;
        std::string summary;
        EXPECT_TRUE(DescribeEngineFile(out.c_str(), false, summary)) << summary;
        EXPECT_NE(BuiltTotals(run.out), "") << run.out;
        EXPECT_EQ(BuiltTotals(run.out), SummaryTotals(summary)) << "what was built is what is read back";
        ++exported;
    }
    EXPECT_GT(exported, 30);
}
