#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "exporter/options/Max2Qdx.h"
#include "platform/host/Interface.h"
#include "tests/support/TestPaths.h"
#include "tests/tools/QdxExportRun.h"

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
