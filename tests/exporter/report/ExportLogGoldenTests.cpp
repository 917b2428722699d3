#include <string>

#include <gtest/gtest.h>

#include "core/object/CKClassRegistry.h"
#include "exporter/builder/ExportBuilder.h"
#include "exporter/options/Max2Qdx.h"
#include "exporter/report/GeFileLog.h"
#include "exporter/report/ReportPrintf.h"
#include "platform/PlatformTime.h"
#include "tests/exporter/support/ExporterTestSupport.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestPaths.h"
#include "tests/system/support/FixedLocalTime.h"

namespace {

using ExportLog = EngineFixture;

} // namespace

// The log holds its header, the report messages that pass the level filter
// and the builder's own lines, in the order they were written.
TEST_F(ExportLog, TheLogOfAnExportEqualsItsGoldenFile)
{
    PlatformLocalTimeHook previous = PlatformSetLocalTimeHook(&March5);
    TestTempDir dir;
    Max2Qdx exporter;
    exporter.reportLevel = 1;
    auto* log = new GeFileLog(XString(dir.File("export.log").c_str()));
    ASSERT_EQ(log->Open(), 1);
    exporter.reportLog = log;
    ExportBuilder builder(m_Context, TRUE);
    builder.log = log;
    builder.exporter = &exporter;

    ReportPrintf(&exporter, 1, "---------Exporting materials----------\r\n");
    ReportPrintf(&exporter, 2, "a detail that is dropped\r\n");
    ReportPrintf(&exporter, 1, "Node : %s\r\n", "Box%s%n");
    builder.log->WriteLine("Sharing textures");
    builder.log->WriteSeparator();
    builder.log->Printf("%d removed", 2);
    builder.log->NewLine();
    CKClassDesc* desc = CKGetClassDesc(CKCID_3DOBJECT);
    CKCLASSCREATIONFCT saved = desc->m_CreationFct;
    desc->m_CreationFct = nullptr;
    EXPECT_EQ(builder.CreateObject3D("Sphere", 0x1000), nullptr);
    desc->m_CreationFct = saved;
    ReportPrintf(&exporter, 3, "another detail\r\n");
    ReportPrintf(&exporter, 0, "File saved successfully\r\n");
    EXPECT_EQ(log->Close(), 1);
    delete log;
    PlatformSetLocalTimeHook(previous);

    const std::string golden = TestReadFile(TestSourceDir() + "/tests/exporter/report/data/export-log.golden");
    ASSERT_FALSE(golden.empty());
    EXPECT_EQ(TestReadFile(dir.File("export.log")), golden);
    EXPECT_STREQ(exporter.GetReportText(), "---------Exporting materials----------\r\nNode : Box%s%n\r\n"
                                           "Error : cannot create the RCK3dObject \"Sphere\"\r\n"
                                           "File saved successfully\r\n")
        << "the builder's own lines go to the log only";
}
