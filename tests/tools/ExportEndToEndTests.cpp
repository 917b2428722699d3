#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/behavior/CKBehavior.h"
#include "core/context/CKContext.h"
#include "core/context/CKError.h"
#include "core/context/CKPluginManager.h"
#include "core/context/CKStartUp.h"
#include "core/file/CKFile.h"
#include "core/object/CKClassRegistry.h"
#include "core/parameter/CKParameterGuids.h"
#include "exporter/driver/DriverState.h"
#include "exporter/shell/PluginShell.h"
#include "platform/PlatformTime.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestPaths.h"
#include "tests/system/support/FixedLocalTime.h"
#include "tests/tools/QdxExportRun.h"
#include "tools/info/EngineFileInfo.h"

namespace {

std::string Replaced(std::string text, const std::string& what, const std::string& with)
{
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
    return text;
}

// A script file as the engine writes one: a behaviour "Spin" that is a
// script, with a text parameter "Target".
void WriteSpinScript(const std::string& path)
{
    CKContext* context = nullptr;
    ASSERT_EQ(CKCreateContext(&context, nullptr), 0);
    auto* script = static_cast<CKBehavior*>(context->CreateObject(CKCID_BEHAVIOR, "Spin"));
    script->SetType(1);
    script->UseGraph();
    script->CreateLocalParameter("Target", CKPGUID_STRING);
    CKFile* file = context->CreateCKFile();
    ASSERT_EQ(file->StartSave(path.c_str()), 0);
    file->SaveObject(script);
    ASSERT_EQ(file->EndSave(), 0);
    context->DeleteCKFile(file);
    CKCloseContext(context);
}

class EndToEnd : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(ExporterLoad(), 0);
        GetExportDriverState().scriptFolder = m_Dir.Path().c_str();
        WriteSpinScript(m_Dir.File("Spin.qhx"));
        m_PreviousClock = PlatformSetLocalTimeHook(&March5);
    }
    void TearDown() override
    {
        PlatformSetLocalTimeHook(m_PreviousClock);
        ExporterUnload();
    }

    std::vector<std::string> LevelArguments(const std::string& out) const
    {
        return {TestSourceDir() + "/tests/tools/data/every_kind_level.json",
                out,
                "--report",
                "--opt",
                "ReportToFile=true",
                "--opt",
                "ReportFilename=" + m_Dir.File("report.log"),
                "--opt",
                "SelectionAsGroup=true",
                "--opt",
                "EnableInstructions=true"};
    }

    std::string Golden(const char* name) const { return TestReadFile(TestSourceDir() + "/tests/tools/data/" + name); }

    TestTempDir m_Dir;
    PlatformLocalTimeHook m_PreviousClock = nullptr;
};

} // namespace

// Every kind of node but meshes, exported as a level with the report in
// detail, a log, named selections as groups and instructions: the file,
// the report and the log equal their golden texts.
TEST_F(EndToEnd, ALevelWithEveryKindOfNodeEqualsItsGoldenDumpReportAndLog)
{
    const std::string file = m_Dir.File("level.qbx");
    const CommandRun run = RunQdxExport(LevelArguments(file));
    ASSERT_EQ(run.code, 0) << run.err;
    std::string dump;
    ASSERT_TRUE(DescribeEngineFile(file.c_str(), true, dump)) << dump;
    if (std::getenv("ENGINE_WRITE_GOLDEN")) {
        TestWriteFile(TestSourceDir() + "/tests/tools/data/every_kind_level.dump", dump);
        TestWriteFile(TestSourceDir() + "/tests/tools/data/every_kind_level.report",
                      Replaced(ReportOf(run.out), m_Dir.Path(), "$DIR"));
        TestWriteFile(TestSourceDir() + "/tests/tools/data/every_kind_level.log",
                      Replaced(TestReadFile(m_Dir.File("report.log")), m_Dir.Path(), "$DIR"));
    }
    EXPECT_EQ(dump, Golden("every_kind_level.dump"));
    EXPECT_EQ(Replaced(ReportOf(run.out), m_Dir.Path(), "$DIR"), Golden("every_kind_level.report"));
    EXPECT_EQ(Replaced(TestReadFile(m_Dir.File("report.log")), m_Dir.Path(), "$DIR"), Golden("every_kind_level.log"));
    std::string summary;
    ASSERT_TRUE(DescribeEngineFile(file.c_str(), false, summary)) << summary;
    EXPECT_EQ(BuiltTotals(run.out), SummaryTotals(summary));
    EXPECT_EQ(SummaryTotals(summary),
              "16 objects, 0 meshes, 0 vertices, 0 faces, 0 materials, 0 textures, 0 animation keys");
}

// The context stays for the next export and is emptied after each; nothing
// is registered twice, and the same export gives the same bytes.
TEST_F(EndToEnd, TheSameExportTwiceGivesTheSameBytesAndLeavesTheContextEmpty)
{
    std::vector<std::string> files;
    CKContext* shared = nullptr;
    int dlls = -1;
    for (int i = 0; i < 2; ++i) {
        files.push_back(m_Dir.File("level" + std::to_string(i) + ".qbx"));
        ASSERT_EQ(RunQdxExport(LevelArguments(files.back())).code, 0);
        CKContext* context = GetExportDriverState().context;
        ASSERT_NE(context, nullptr);
        if (i == 0) {
            shared = context;
            dlls = CKGetPluginManager()->GetPluginDllCount();
        }
        EXPECT_EQ(context, shared) << "the context is kept";
        EXPECT_EQ(CKGetPluginManager()->GetPluginDllCount(), dlls) << "nothing registered twice";
        // What the render manager keeps for itself (its default materials)
        // stays; nothing of the export does.
        for (CKObject* object : context->GetObjectListByType(CKCID_BEOBJECT, TRUE))
            EXPECT_TRUE(CKIsChildClassOfObject(object, CKCID_MATERIAL)) << object->GetName() << " after export " << i;
        EXPECT_EQ(context->GetObjectListByType(CKCID_BEOBJECT, TRUE).Size(), 4) << "export " << i;
    }
    EXPECT_EQ(dlls, 8);
    const std::string first = TestReadFile(files[0]);
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(first, TestReadFile(files[1]));
}

// A scene whose save fails: the script function still answers ok, the
// command line tells the engine's error and exits with 1.
TEST_F(EndToEnd, ASaveErrorIsToldAndExitsWithOne)
{
    const CommandRun run = RunQdxExport(
        {TestSourceDir() + "/tests/tools/data/every_kind_level.json", m_Dir.File("missing-folder/level.qbx")});
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.err.find("qdxexport: error while saving the file: "), std::string::npos) << run.err;
    EXPECT_NE(GetExportDriverState().lastSaveError, 0);
}

TEST_F(EndToEnd, AboutPrintsTheAboutTexts)
{
    SetHostAboutText(ExporterAboutText());
    const CommandRun run = RunQdxExport({"--about"});
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.out, ExporterAboutText());
    EXPECT_NE(run.out.find("About Keltrane Export\nKeltrane File Exporter\n"), std::string::npos);
    SetHostAboutText(nullptr);
}

// qdxinfo's summary lists the objects by class, in the order the classes
// first appear; a file that does not load gives the engine's error.
TEST_F(EndToEnd, TheSummaryListsTheObjectsByClass)
{
    const std::string file = m_Dir.File("level.qbx");
    ASSERT_EQ(RunQdxExport(LevelArguments(file)).code, 0);
    std::string summary;
    ASSERT_TRUE(DescribeEngineFile(file.c_str(), false, summary));
    EXPECT_NE(summary.find("CKGroup (3)\n"), std::string::npos) << summary;
    EXPECT_NE(summary.find("RCKCurvePoint (3)\n"), std::string::npos) << summary;
    EXPECT_NE(summary.find("  \"Spot01\"\n"), std::string::npos) << summary;
    std::string error;
    EXPECT_FALSE(DescribeEngineFile(m_Dir.File("nothing.qbx").c_str(), false, error));
    EXPECT_EQ(error, "no such file");
    // Something that is there but no engine file gives the engine's error.
    TestWriteFile(m_Dir.File("text.qbx"), "not an engine file");
    EXPECT_FALSE(DescribeEngineFile(m_Dir.File("text.qbx").c_str(), false, error));
    EXPECT_EQ(error, CKErrorToString(CKErr::InvalidFile));
    EXPECT_FALSE(DescribeEngineFile(m_Dir.Path().c_str(), true, error));
    EXPECT_NE(error, "no such file");
}

// Degenerate scenes leave no NaN or infinity in the file: cameras and lights
// scaled to nothing, a starting camera with equal environment ranges, a fog
// as thick at both ends, an effect that is no fog; script names that climb
// out of the script folder load nothing.
TEST_F(EndToEnd, DegenerateScenesLeaveNoNaNInTheFile)
{
    const std::string file = m_Dir.File("flat.qbx");
    std::string dump;
    const CommandRun run = RunQdxExport({TestSourceDir() + "/tests/tools/data/degenerate_level.json", file, "--report",
                                         "--opt", "EnableInstructions=true"});
    ASSERT_EQ(run.code, 0) << run.err;
    ASSERT_TRUE(DescribeEngineFile(file.c_str(), true, dump));
    for (const char* bad : {"nan", "inf"})
        EXPECT_EQ(dump.find(bad), std::string::npos) << bad << " in\n" << dump;
    EXPECT_NE(dump.find("fog mode 1 color 0xFFFFFFFF start 0.5 end 0.5 density 0"), std::string::npos) << dump;
    EXPECT_EQ(dump.find("script"), std::string::npos) << dump;
    EXPECT_NE(run.out.find("Warning : the fog of Camera01 cannot be fitted to its range: raw values kept\r\n"),
              std::string::npos)
        << run.out;
}

// qdxinfo starts the engine for itself when it is not running and stops it
// again; a running engine (here loaded, with no context yet) is left
// running.
TEST_F(EndToEnd, DescribingAFileLeavesTheEngineAsItFoundIt)
{
    const std::string file = m_Dir.File("level.qbx");
    ASSERT_EQ(RunQdxExport(LevelArguments(file)).code, 0);
    std::string dump;
    ASSERT_TRUE(DescribeEngineFile(file.c_str(), true, dump));
    ExporterUnload();
    ASSERT_EQ(CKGetStartPath()[0], '\0');
    std::string alone;
    ASSERT_TRUE(DescribeEngineFile(file.c_str(), true, alone));
    EXPECT_EQ(alone, dump);
    EXPECT_EQ(CKGetStartPath()[0], '\0') << "stopped again";
    ASSERT_EQ(ExporterLoad(), 0);
    ASSERT_EQ(CKGetContextCount(), 0);
    ASSERT_TRUE(DescribeEngineFile(file.c_str(), true, alone));
    EXPECT_EQ(alone, dump);
    EXPECT_NE(CKGetStartPath()[0], '\0') << "still running";
}
