#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "exporter/options/ExportOptions.h"
#include "exporter/options/Max2Qdx.h"
#include "exporter/shell/PluginShell.h"
#include "platform/host/Interface.h"
#include "tests/platform/host/HostTestModels.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestPaths.h"
#include "tests/tools/QdxExportRun.h"
#include "tools/info/EngineFileInfo.h"

namespace {

// What the export received, caught in place of the exporter's ExportScene.
struct Received
{
    int calls = 0;
    std::string name;
    BOOL onlySelected = FALSE;
    bool interface = false;
    Max2Qdx options;
};
Received* g_Received = nullptr;

int Catch(Max2Qdx& exporter, const char* name, Interface* maxInterface, BOOL onlySelected)
{
    ++g_Received->calls;
    g_Received->name = name;
    g_Received->onlySelected = onlySelected;
    g_Received->interface = maxInterface == GetCOREInterface() && maxInterface;
    g_Received->options.reportLevel = exporter.reportLevel;
    g_Received->options.characterName = exporter.characterName;
    g_Received->options.asLevel = exporter.asLevel;
    g_Received->options.asCharacter = exporter.asCharacter;
    g_Received->options.ForceSkinToMorph = exporter.ForceSkinToMorph;
    g_Received->options.reduceBlendShapesKeysThreshold = exporter.reduceBlendShapesKeysThreshold;
    g_Received->options.convertToSkin = exporter.convertToSkin;
    return 1;
}

} // namespace

TEST(QdxExport, TheTableIsTheScriptFunctionsArgumentsWithTheirDefaults)
{
    const std::vector<HostExportArgument> table = QdxExportArguments();
    ASSERT_EQ(table.size(), size_t(kExportArgumentCount));
    EXPECT_STREQ(table[0].name, "filename");
    EXPECT_STREQ(table[6].name, "reportLevel");
    EXPECT_STREQ(table[48].name, "ForceSkinToMorph");
    EXPECT_EQ(table[3].fallback, Value::Bool(true));
    EXPECT_EQ(table[9].fallback, Value::String("Character"));
    EXPECT_EQ(table[44].fallback, Value::Float(0.1f));
    EXPECT_EQ(table[45].fallback, Value::Int(3));
}

TEST(QdxExport, OptionsReachTheExporterThroughTheScriptFunction)
{
    Received received;
    g_Received = &received;
    const ExportSceneFunction previous = SetExportSceneFunction(Catch);
    const std::string scene = TestSourceDir() + "/tests/platform/host/data/every_kind.json";
    // Nothing is written by the caught export: exit code 1.
    EXPECT_EQ(RunQdxExport({scene, "/nonexistent/out.qbx", "--selected", "--opt", "reportLevel=2", "--opt",
                            "characterName=Hero", "--opt", "ForceSkinToMorph=true", "--opt",
                            "reduceBlendShapesKeysThreshold=0.5", "--opt", "convertToSkin=false"})
                  .code,
              1);
    SetExportSceneFunction(previous);
    g_Received = nullptr;
    ASSERT_EQ(received.calls, 1);
    EXPECT_EQ(received.name, "/nonexistent/out.qbx");
    EXPECT_TRUE(received.onlySelected);
    EXPECT_TRUE(received.interface);
    EXPECT_EQ(received.options.reportLevel, 2);
    EXPECT_STREQ(received.options.characterName.CStr(), "Hero");
    EXPECT_TRUE(received.options.asLevel);
    EXPECT_TRUE(received.options.ForceSkinToMorph);
    EXPECT_EQ(received.options.reduceBlendShapesKeysThreshold, 0.5f);
    EXPECT_FALSE(received.options.convertToSkin);
}

namespace {

constexpr char kTriangle[] = R"({"id": "tri", "kind": "mesh", "vertices": [[0, 0, 0], [1, 0, 0], [0, 1, 0]],
                                 "faces": [[0, 1, 2]]})";

// A scene of one triangle object shown by the given nodes, with more
// top-level members (texmaps, materials) when given.
std::string SceneText(const std::string& nodes, const std::string& more = "")
{
    return R"({"format": "qdx-host-scene", "version": 1, "scene": {"animation": {"start": 0, "end": 1600}},)" + more +
           R"("objects": [)" + kTriangle + R"(], "nodes": [)" + nodes + "]}";
}

std::string StaticNode(const char* name, bool selected = false)
{
    return std::string(R"({"id": ")") + name + R"(", "name": ")" + name + R"(", "object": "tri", "selected": )" +
           (selected ? "true" : "false") + "}";
}

// A node whose position has keys at the given times.
std::string MovingNode(const char* name, int first, int last)
{
    return std::string(R"({"id": ")") + name + R"(", "name": ")" + name +
           R"(", "object": "tri", "transform": {"position": {"interpolation": "linear", "keys": [{"time": )" +
           std::to_string(first) + R"(, "value": [0, 0, 0]}, {"time": )" + std::to_string(last) +
           R"(, "value": [0, 0, 2]}]}}})";
}

// qdxexport on scenes written for the case, the library loaded.
class QdxExportRuns : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_EQ(ExporterLoad(), 0); }
    void TearDown() override { ExporterUnload(); }

    CommandRun Run(const std::string& scene, std::vector<std::string> args, const char* out = "out.qdx")
    {
        const std::string path = m_Dir.File("scene.json");
        TestWriteFile(path, scene);
        args.insert(args.begin(), {path, m_Dir.File(out)});
        return RunQdxExport(args);
    }
    // qdxinfo's totals of the last file written.
    std::string ReadBack(const char* out = "out.qdx")
    {
        std::string summary;
        EXPECT_TRUE(DescribeEngineFile(m_Dir.File(out).c_str(), false, summary)) << summary;
        return SummaryTotals(summary);
    }

    TestTempDir m_Dir;
};

} // namespace

// An export that lost nothing says nothing on standard error, and standard
// output ends with what it built, as qdxinfo reads it back.
TEST_F(QdxExportRuns, NothingLostNothingSaidAndTheBuiltTotalsAreReadBack)
{
    const CommandRun run = Run(SceneText(StaticNode("Tri")), {});
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, "built: 2 objects, 1 meshes, 3 vertices, 1 faces, 0 materials, 0 textures, 0 animation keys\n");
    EXPECT_EQ(ReadBack(), BuiltTotals(run.out));
}

// What an export loses is named in one closing line on standard error.
TEST_F(QdxExportRuns, TheClosingLineNamesWhatWasLost)
{
    const std::string animated = SceneText(StaticNode("Tri", true) + "," + MovingNode("Mover", 0, 1600));
    // Two maps of one missing file and a missing opacity map.
    const std::string bitmaps = SceneText(
        R"({"id": "n1", "name": "Tri", "object": "tri", "material": "a"},
           {"id": "n2", "name": "Other", "object": "tri", "material": "b"})",
        R"("texmaps": [{"id": "m1", "name": "M1", "file": "nothere.png"},
                       {"id": "m2", "name": "M2", "file": "nothere.png"}, {"id": "g", "name": "G", "file": "gone.png"}],
           "materials": [{"id": "a", "name": "A", "maps": {"diffuse": {"texmap": "m1"}}},
                         {"id": "b", "name": "B", "maps": {"diffuse": {"texmap": "m2"}, "opacity": {"texmap": "g"}}}],)");
    const struct
    {
        std::string scene;
        std::vector<std::string> args;
        const char* out;
        std::string closing;
    } cases[] = {
        {animated, {}, "out.qdx", "the scene's animation left out (exportAnimation is off)"},
        {animated, {"--opt", "exportAnimation=true"}, "out.qdx", ""},
        // Keys outside the range: nothing moves within it.
        {SceneText(MovingNode("Mover", 3200, 4800)), {}, "out.qdx", ""},
        // The animated node is not exported.
        {animated, {"--selected"}, "out.qdx", ""},
        {SceneText(StaticNode("Tri")), {"--selected"}, "out.qdx", "nothing exported"},
        {SceneText(StaticNode("Tri")), {"--selected"}, "out.qbx", "nothing exported"},
        {SceneText(StaticNode("Tri")), {"--as", "animation"}, "out.qdx", "nothing exported"},
        {SceneText(MovingNode("Mover", 0, 1600)),
         {"--as", "animation"},
         "out.qdx",
         "nothing exported, the scene's animation left out (exportAnimation is off)"},
        {bitmaps, {"--opt", "exportAlphaMap=true"}, "out.qdx", "2 bitmaps not found"},
        {bitmaps, {}, "out.qdx", "1 bitmap not found"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.closing + " " + c.out);
        const CommandRun run = Run(c.scene, c.args, c.out);
        ASSERT_EQ(run.code, 0) << run.err;
        EXPECT_EQ(run.err, c.closing.empty() ? "" : "qdxexport: saved with " + c.closing + "\n");
        EXPECT_EQ(BuiltTotals(run.out), ReadBack(c.out));
    }
}

// The report's warnings and errors are counted whatever its level keeps.
TEST_F(QdxExportRuns, TheReportsWarningsAreCountedWithoutTheReport)
{
    const std::string path = TestSourceDir() + "/tests/tools/data/geometry_objects.json";
    const CommandRun run = RunQdxExport({path, m_Dir.File("out.qdx")});
    ASSERT_EQ(run.code, 0) << run.err;
    // "Warning wide.png ..." and "nothere.png : file not found...".
    EXPECT_EQ(run.err, "qdxexport: saved with 1 warning, 1 bitmap not found\n");
    EXPECT_EQ(ReportOf(run.out), "") << "reportLevel 0 keeps no line";
}

// What the import mended or left out is told before the export, one line
// each, and the closing line counts those lines apart from the report's
// warnings.
TEST_F(QdxExportRuns, TheImportsWarningsAreCountedInTheClosingLine)
{
    const std::string nan = m_Dir.File("nan.gltf"), both = m_Dir.File("both.gltf");
    WriteNanNormalTriangle(nan);
    WriteNanNormalTriangle(both, true);
    const std::string normal = ": 1 normal was not a finite number: rebuilt from the face that uses it";
    const std::string points = "/usr/share/assimp/models/glTF2/glTF-Asset-Generator/Mesh_PrimitiveMode/"
                               "Mesh_PrimitiveMode_00.gltf";
    const struct
    {
        std::string model;
        std::vector<std::string> warnings;
        const char* closing;
    } cases[] = {
        {nan, {nan + normal}, "1 import warning"},
        {both, {both + normal, both + ": 3 points were left out: meshes hold triangles only"}, "2 import warnings"},
        {points, {points + ": 1024 points were left out: meshes hold triangles only"}, "1 import warning"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.model);
        if (access(c.model.c_str(), R_OK) != 0)
            GTEST_SKIP() << "the assimp-testmodels package is not installed";
        const CommandRun run = RunQdxExport({c.model, m_Dir.File("out.qdx")});
        ASSERT_EQ(run.code, 0) << run.err;
        std::string told;
        for (const std::string& warning : c.warnings)
            told += "qdxexport: warning: " + warning + "\n";
        EXPECT_EQ(run.err, told + "qdxexport: saved with " + c.closing + "\n");
    }
}

// A value the export would take as another is noted with the value it
// takes: the sampling steps by the exporter's rule, the compression level
// by the engine's.
TEST_F(QdxExportRuns, ReplacedValuesAreNotedWithTheValueUsed)
{
    const std::string scene = SceneText(StaticNode("Tri"));
    const struct
    {
        std::vector<std::string> args;
        std::string notes;
    } cases[] = {
        {{"--opt", "samplingStepForKeyFrames=0"}, "qdxexport: samplingStepForKeyFrames=0 is taken as 1\n"},
        {{"--opt", "samplingStepForBlendShapes=-5", "--opt", "samplingStepForDeformables=2"},
         "qdxexport: samplingStepForBlendShapes=-5 is taken as 1\n"},
        {{"--opt", "samplingStepForDeformables=1"}, ""},
        {{"--opt", "compressionLevel=99"}, "qdxexport: compressionLevel=99 is taken as 4\n"},
        {{"--opt", "compressionLevel=-1"}, "qdxexport: compressionLevel=-1 is taken as 4\n"},
        {{"--opt", "compressionLevel=9"}, ""},
        {{"--opt", "compressionLevel=0"}, ""},
        // reportLevel and resizeMethod are used as given.
        {{"--opt", "reportLevel=99", "--opt", "resizeMethod=7"}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.notes);
        const CommandRun run = Run(scene, c.args);
        ASSERT_EQ(run.code, 0) << run.err;
        EXPECT_EQ(run.err, c.notes);
    }
}

// The output name is checked by the script function's own rule: a name it
// would refuse is a bad argument, before any scene is read.
TEST_F(QdxExportRuns, AnOutputNameTheScriptFunctionRefusesIsABadArgument)
{
    const std::string scene = m_Dir.File("scene.json");
    TestWriteFile(scene, SceneText(StaticNode("Tri")));
    // The whole name counts: ".qdx" alone has no extension, "dir/.qdx" has.
    for (const char* out : {".qdx", ".QBX", "out.qdx.bak", "qfx", "out.txt"}) {
        SCOPED_TRACE(out);
        const CommandRun run = RunQdxExport({scene, out});
        EXPECT_EQ(run.code, 2);
        EXPECT_EQ(run.err, std::string("qdxexport: the output file must be a name ending in .qdx, .qbx or .qfx: \"") +
                               out + "\" (qdxexport --help shows the usage)\n");
    }
    EXPECT_EQ(Run(SceneText(StaticNode("Tri")), {}, "x.QDX").code, 0);
    EXPECT_EQ(Run(SceneText(StaticNode("Tri")), {}, ".qfx").code, 0) << "a file .qfx in a folder";
    // Refused before the scene is read.
    const CommandRun refused = RunQdxExport({"/nonexistent/scene.json", ".qfx"});
    EXPECT_EQ(refused.code, 2);
    EXPECT_EQ(refused.err.rfind("qdxexport: the output file must", 0), 0u) << refused.err;
}

// Booleans are one value in any case, as the host's script language reads
// them.
TEST_F(QdxExportRuns, BooleansAreTakenInAnyCase)
{
    const std::string scene = SceneText(MovingNode("Mover", 0, 1600));
    for (const char* on : {"TRUE", "True", "true", "On", "YES", "1"}) {
        SCOPED_TRACE(on);
        const CommandRun run = Run(scene, {"--opt", std::string("exportAnimation=") + on});
        ASSERT_EQ(run.code, 0) << run.err;
        EXPECT_EQ(run.err, "");
    }
    for (const char* off : {"FALSE", "False", "oFF", "No", "0"}) {
        SCOPED_TRACE(off);
        const CommandRun run = Run(scene, {"--opt", std::string("exportAnimation=") + off});
        ASSERT_EQ(run.code, 0) << run.err;
        EXPECT_NE(run.err.find("animation left out"), std::string::npos) << run.err;
    }
}

// --help lists every option of the script function's table, in its order,
// with its type and default as the function's usage and defaults give them.
TEST(QdxExport, HelpListsEveryOptionWithItsTypeAndDefault)
{
    const CommandRun run = RunQdxExport({"--help"});
    EXPECT_EQ(run.code, 0);
    size_t at = 0;
    for (const ExportOption& option : kExportOptions) {
        if (option.argument < kExportRequiredArguments) {
            EXPECT_EQ(run.out.find(std::string("  ") + option.name + " "), std::string::npos) << option.name;
            continue;
        }
        const std::string start = std::string("\n  ") + option.name + " ";
        const size_t line = run.out.find(start, at);
        ASSERT_NE(line, std::string::npos) << option.name;
        const std::string text = run.out.substr(line + 1, run.out.find('\n', line + 1) - line - 1);
        at = line + 1;
        std::string fallback;
        switch (option.type) {
        case ExportOptionType::Bool: fallback = option.integerDefault ? "true" : "false"; break;
        case ExportOptionType::Int: fallback = std::to_string(option.integerDefault); break;
        case ExportOptionType::Float: fallback = option.realDefault == 0.0f ? "0" : "0.1"; break;
        case ExportOptionType::String: fallback = std::string("\"") + option.textDefault + "\""; break;
        }
        char expected[256];
        std::snprintf(expected, sizeof(expected), "  %-36s %-7s %s", option.name, ExportOptionTypeWord(option.type),
                      fallback.c_str());
        EXPECT_EQ(text.substr(0, std::strlen(expected)), expected);
    }
    EXPECT_NE(run.out.find("resizeMethod                         int     0  (NearestPowerOfTwo=0, LowerPowerOfTwo=1, "
                           "HigherPowerOfTwo=2)\n"),
              std::string::npos)
        << run.out;
}

// A character export writes its body parts' meshes.
TEST_F(QdxExportRuns, ACharacterExportWritesItsBodyPartsMeshes)
{
    const std::string file = m_Dir.File("hero.qdx");
    const CommandRun run = RunQdxExport({TestSourceDir() + "/tests/tools/data/animation_objects.json", file, "--as",
                                         "character", "--opt", "exportAnimation=true"});
    ASSERT_EQ(run.code, 0) << run.err;
    std::string dump;
    ASSERT_TRUE(DescribeEngineFile(file.c_str(), true, dump)) << dump;
    EXPECT_NE(dump.find("RCKCharacter \"Character\""), std::string::npos);
    for (const char* part : {"Face", "Skinned", "Body", "Wave"}) {
        const std::string block = DumpBlock(dump, std::string("RCKBodyPart \"") + part + "\"");
        EXPECT_NE(block.find(std::string("  mesh \"") + part + "_Mesh\" of 1\n"), std::string::npos) << block;
    }
    EXPECT_EQ(BuiltTotals(run.out), ReadBack("hero.qdx"));
    EXPECT_EQ(BuiltTotals(run.out).find("16 objects, 4 meshes, 16 vertices, 8 faces"), 0u) << run.out;
}

// An option's value among the arguments, by its field; its default when the
// arguments stop before it.
TEST(QdxExport, OptionsAreReadByTheirField)
{
    const std::vector<HostExportArgument> table = QdxExportArguments();
    std::vector<Value> arguments = DefaultExportArguments(table, "a.qdx", true, 1);
    std::string error;
    ASSERT_TRUE(SetExportOption(table, arguments, "compressionLevel", "7", error)) << error;
    ASSERT_TRUE(SetExportOption(table, arguments, "exportAnimation", "true", error)) << error;
    EXPECT_EQ(QdxExportOption(arguments, &Max2Qdx::compressionLevel), 7);
    EXPECT_EQ(QdxExportOption(arguments, &Max2Qdx::exportAnimation), 1);
    EXPECT_EQ(QdxExportOption(arguments, &Max2Qdx::reduceRedondantKeys), 1);
    const std::vector<Value> three(arguments.begin(), arguments.begin() + 3);
    EXPECT_EQ(QdxExportOption(three, &Max2Qdx::compressionLevel), 0);
    EXPECT_EQ(QdxExportOption(three, &Max2Qdx::reduceRedondantKeys), 1) << "its default";
    EXPECT_EQ(QdxExportOption(arguments, &Max2Qdx::progressStarted), 0) << "not an option";
    // The table's rules are the script function's: the file name's kind and
    // the sampling steps'.
    ASSERT_TRUE(table[0].fileKind);
    EXPECT_EQ(table[0].fileKind("a.qbx"), 4);
    EXPECT_EQ(table[0].fileKind(".qdx"), 0);
    for (const HostExportArgument& row : table)
        EXPECT_EQ(bool(row.inEffect), std::string(row.name).rfind("samplingStepFor", 0) == 0) << row.name;
    EXPECT_EQ(table[8].inEffect(Value::Int(-4)), Value::Int(1));
    EXPECT_EQ(table[8].inEffect(Value::Int(4)), Value::Int(4));
    EXPECT_EQ(table[27].note, "(NearestPowerOfTwo=0, LowerPowerOfTwo=1, HigherPowerOfTwo=2)");
    EXPECT_EQ(table[6].note, "");
}
