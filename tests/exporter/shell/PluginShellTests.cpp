#include <string>

#include <gtest/gtest.h>

#include "exporter/driver/DriverState.h"
#include "exporter/options/Max2Qdx.h"
#include "exporter/shell/PluginShell.h"
#include "platform/PlatformFpu.h"
#include "platform/host/HostScene.h"
#include "platform/host/Interface.h"
#include "platform/host/ScriptLayer.h"

namespace {

// The library loaded for one test, unloaded after.
class PluginShell : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(ExporterLoad(), 0);
        m_Interface.SetEcho(false);
        m_Scene.Settings().scriptsDir = "/host/scripts";
    }
    void TearDown() override
    {
        SetScriptFileRunner(nullptr);
        ClearScriptGlobals();
        ExporterUnload();
    }

    HostScene m_Scene;
    Interface m_Interface{m_Scene};
};

} // namespace

TEST_F(PluginShell, TheLibraryExportsAnswerAsTheHostExpects)
{
    EXPECT_EQ(LibNumberClasses(), 2);
    EXPECT_NE(LibClassDesc(0), nullptr);
    EXPECT_NE(LibClassDesc(1), nullptr);
    EXPECT_EQ(LibClassDesc(2), nullptr);
    EXPECT_EQ(LibClassDesc(-1), nullptr);
    EXPECT_EQ(LibVersion(), 0x2AF81900ul);
    EXPECT_EQ(CanAutoDefer(), 0);
    EXPECT_STREQ(LibDescription(), "Keltrane file exporter");

    ClassDesc* exporterDesc = LibClassDesc(0);
    EXPECT_EQ(exporterDesc->IsPublic(), 1);
    EXPECT_STREQ(exporterDesc->ClassName(), "Max2Qdx");
    EXPECT_EQ(exporterDesc->SuperClassID(), 0xA20u);
    EXPECT_EQ(exporterDesc->ClassID(), Class_ID(0x04C01EFD, 0x3F64C2D5));
    EXPECT_STREQ(exporterDesc->Category(), "Standard");
    auto* exporter = static_cast<Max2Qdx*>(exporterDesc->Create());
    ASSERT_NE(exporter, nullptr);
    EXPECT_EQ(exporter->ExtCount(), 3);
    EXPECT_STREQ(exporter->Ext(0), "Qdx");
    EXPECT_STREQ(exporter->Ext(1), "Qfx");
    EXPECT_STREQ(exporter->Ext(2), "Qbx");
    EXPECT_STREQ(exporter->Ext(3), "");
    EXPECT_STREQ(exporter->Ext(-1), "");
    EXPECT_STREQ(exporter->LongDesc(), "3D Studio MAX To Keltrane Exporter");
    EXPECT_STREQ(exporter->ShortDesc(), "Keltrane Halvex Export");
    EXPECT_EQ(exporter->Version(), 100u);
    EXPECT_STREQ(exporter->OtherMessage1(), "");
    EXPECT_TRUE(exporter->SupportsOptions(0, 1));
    EXPECT_FALSE(exporter->SupportsOptions(0, 0));
    EXPECT_FALSE(exporter->SupportsOptions(2, 3));
    delete exporter;

    ClassDesc* toolDesc = LibClassDesc(1);
    EXPECT_STREQ(toolDesc->ClassName(), "Keltrane Halvex Exporter");
    EXPECT_EQ(toolDesc->SuperClassID(), 0x1020u);
    EXPECT_EQ(toolDesc->ClassID(), Class_ID(0x569AA4F8, 0x0F3F9C18));
    EXPECT_STREQ(toolDesc->Category(), "");
    void* first = toolDesc->Create();
    EXPECT_EQ(first, toolDesc->Create()) << "the one static utility";
    EXPECT_EQ(first, &GetKeltraneTool());
}

TEST_F(PluginShell, StringsAnswerOnlyWhileLoaded)
{
    EXPECT_STREQ(GetString(7), "Exporting file...");
    EXPECT_EQ(GetString(0), nullptr);
    EXPECT_EQ(GetString(10), nullptr);
    ExporterUnload();
    EXPECT_EQ(GetString(1), nullptr);
    ASSERT_EQ(ExporterLoad(), 0);
    EXPECT_STREQ(GetString(1), "Max2Qdx");
}

// File > Export hands the name to the utility's script as a value: slashes
// for backslashes, a quote kept, no name left undefined; the name is
// forgotten once the script ran.
TEST_F(PluginShell, DoExportHandsTheFileNameToTheUtilityScript)
{
    struct Case
    {
        const char* name;
        Value global;
    };
    const Case cases[] = {
        {"C:\\scenes\\out.qdx", Value::String("C:/scenes/out.qdx")},
        {"say \"hi\".qbx", Value::String("say \"hi\".qbx")},
        {nullptr, Value()},
        {"", Value()},
    };
    for (const Case& c : cases) {
        std::string ranPath;
        Value seen = Value::Int(-1);
        SetScriptFileRunner([&](const std::string& path, std::string&) {
            ranPath = path;
            seen = GetScriptGlobal("alreadyGivenFileName");
            return true;
        });
        Max2Qdx exporter;
        EXPECT_EQ(exporter.DoExport(c.name, nullptr, &m_Interface), 1);
        EXPECT_EQ(seen, c.global) << (c.name ? c.name : "null");
        EXPECT_EQ(ranPath, "/host/scripts/CKInstScripts/NewKeltraneUtility.ms");
        EXPECT_EQ(exporter.maxInterface, &m_Interface);
        EXPECT_EQ(GetKeltraneTool().givenFileName.Length(), 0);
    }
}

TEST_F(PluginShell, AScriptErrorIsPrintedAndTheNameStillForgotten)
{
    SetScriptFileRunner([](const std::string&, std::string& error) {
        error = "syntax";
        return false;
    });
    GetKeltraneTool().givenFileName = "a.qdx";
    GetKeltraneTool().BeginEditParams(&m_Interface, nullptr);
    EXPECT_EQ(m_Interface.ScriptOutput(),
              "Error occurred in file: <FileStream:/host/scripts/CKInstScripts/NewKeltraneUtility.ms>\n");
    EXPECT_EQ(GetKeltraneTool().givenFileName.Length(), 0);
    SetScriptFileRunner(nullptr);
    std::string error;
    EXPECT_FALSE(RunScriptFile("x.ms", error)) << "no runner: the file cannot be opened";
    EXPECT_EQ(error, "x.ms: cannot be opened");
}

TEST_F(PluginShell, MorphPickingFiltersThroughItselfAndEndsOnARightClick)
{
    GetMorphNode pick;
    EXPECT_EQ(pick.GetFilter(), static_cast<PickNodeCallback*>(&pick));
    EXPECT_TRUE(pick.RightClick(nullptr, nullptr));
    EXPECT_EQ(kUnmappedCornersA[1], Point3(1, 1, 0));
    EXPECT_EQ(kUnmappedCornersB[0], Point3(0, 1, 0));
}

// Loading keeps the floating-point control word around the engine start;
// unloading closes the shared context and resets the driver's state, and a
// second load works again.
TEST_F(PluginShell, LoadKeepsTheControlWordAndUnloadResetsTheDriver)
{
    ExporterUnload();
    PlatformSetFpuControlWord(0x037F);
    ASSERT_EQ(ExporterLoad(), 0);
    EXPECT_EQ(PlatformGetFpuControlWord(), 0x037F);
    EXPECT_EQ(ExporterLoad(), 0) << "loading twice does nothing";
    EXPECT_TRUE(IsExporterLoaded());
    GetExportDriverState().pluginsRegistered = TRUE;
    GetExportDriverState().onlySelectedNodes = TRUE;
    ExporterUnload();
    EXPECT_FALSE(IsExporterLoaded());
    EXPECT_FALSE(GetExportDriverState().pluginsRegistered);
    EXPECT_FALSE(GetExportDriverState().onlySelectedNodes);
    EXPECT_EQ(GetExportDriverState().context, nullptr);
    ExporterUnload();
    PlatformSetFpuControlWord(kPlatformDefaultFpuControlWord);
    ASSERT_EQ(ExporterLoad(), 0);
}
