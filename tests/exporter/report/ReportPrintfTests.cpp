#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "exporter/options/Max2Qdx.h"
#include "exporter/report/GeFileLog.h"
#include "exporter/report/GeLog.h"
#include "exporter/report/ReportPrintf.h"
#include "tests/exporter/support/ExporterTestSupport.h"
#include "tests/support/TestPaths.h"

TEST(ReportPrintf, KeepsMessagesUpToTheReportLevelInReportAndLog)
{
    Max2Qdx exporter;
    MemoryLog log;
    exporter.reportLog = &log;
    EXPECT_STREQ(exporter.GetReportText(), "") << "an export without message has an empty report";
    exporter.reportLevel = 0;
    for (int level = 0; level <= 3; ++level)
        ReportPrintf(&exporter, level, "level %d\r\n", level);
    EXPECT_STREQ(exporter.GetReportText(), "level 0\r\n");
    EXPECT_EQ(log.m_Text, "level 0\r\n");

    exporter.reportLevel = 2;
    for (int level = 0; level <= 3; ++level)
        ReportPrintf(&exporter, level, "L%d;", level);
    EXPECT_STREQ(exporter.GetReportText(), "level 0\r\nL0;L1;L2;");
    EXPECT_EQ(exporter.reportLength, 18);
    EXPECT_EQ(log.m_Text, exporter.GetReportText());
}

TEST(ReportPrintf, LongMessagesArriveWhole)
{
    for (int length : {16383, 16384, 20000, 100000}) {
        Max2Qdx exporter;
        MemoryLog log;
        exporter.reportLog = &log;
        exporter.reportLevel = 1;
        ReportPrintf(&exporter, 1, "head\r\n");
        std::string message(length, 'x');
        message[0] = 'a';
        message.back() = 'z';
        ReportPrintf(&exporter, 1, "%s", message.c_str());
        ReportPrintf(&exporter, 1, "tail");
        std::string expected = "head\r\n" + message + "tail";
        EXPECT_EQ(exporter.reportLength, (int) expected.size()) << length;
        EXPECT_EQ(std::string(exporter.GetReportText()), expected) << length;
        EXPECT_EQ(log.m_Text, expected) << length;
    }
}

TEST(ReportPrintf, ANameHoldingFormatCharactersIsPrintedAsWritten)
{
    Max2Qdx exporter;
    MemoryLog log;
    exporter.reportLog = &log;
    const char* nodeName = "Box%s%n%d%%";
    ReportPrintf(&exporter, 0, "Node : %s\r\n", nodeName);
    EXPECT_STREQ(exporter.GetReportText(), "Node : Box%s%n%d%%\r\n");
    EXPECT_EQ(log.m_Text, "Node : Box%s%n%d%%\r\n");
}

TEST(ReportPrintf, ManyMessagesGrowOneText)
{
    Max2Qdx exporter;
    exporter.reportLevel = 3;
    std::string expected;
    for (int i = 0; i < 5000; ++i) {
        ReportPrintf(&exporter, i % 4, "%d,", i);
        expected += std::to_string(i) + ",";
    }
    EXPECT_EQ(std::string(exporter.GetReportText()), expected);
    EXPECT_LT(exporter.reportText.Capacity(), 4 * ((int) expected.size() + 16384)) << "growth stays geometric";
}

TEST(ReportPrintf, NothingHappensWithoutExporterOrFormat)
{
    ReportPrintf(nullptr, 0, "x");
    Max2Qdx exporter;
    const char* noFormat = nullptr;
    ReportPrintf(&exporter, 0, noFormat);
    EXPECT_EQ(exporter.reportLength, 0);
    ReportPrintf(&exporter, 0, "%s", "");
    EXPECT_STREQ(exporter.GetReportText(), "");
}

TEST(ReportPrintf, TheIndentIsThatManyBlanks)
{
    Max2Qdx exporter;
    EXPECT_STREQ(exporter.GetReportIndent().CStr(), "");
    exporter.reportIndent = -2;
    EXPECT_STREQ(exporter.GetReportIndent().CStr(), "");
    exporter.reportIndent = 3;
    EXPECT_STREQ(exporter.GetReportIndent().CStr(), "   ");
}

TEST(ReportPrintf, ALogThatCannotBeOpenedLeavesTheReportGoing)
{
    Max2Qdx exporter;
    TestTempDir dir;
    // As the driver does: a log that fails to open is dropped at once.
    auto* log = new GeFileLog(XString(dir.File("no/such/folder/report.txt").c_str()));
    exporter.reportLog = log->Open() ? log : nullptr;
    if (!exporter.reportLog)
        delete log;
    EXPECT_EQ(exporter.reportLog, nullptr);
    ReportPrintf(&exporter, 0, "File saved successfully\r\n");
    EXPECT_STREQ(exporter.GetReportText(), "File saved successfully\r\n");
}

// The command line's closing line counts what the report words as warnings
// and errors: by the word a message begins with, whatever the level keeps.
TEST(ReportPrintf, WarningsAndErrorsAreCountedByTheirWordsWhateverTheLevelKeeps)
{
    using K = ReportMessageKind;
    const struct
    {
        const char* format;
        ReportMessageKind kind;
    } rows[] = {
        {"Warning : %s = %d is below 1 frame\r\n", K::Warning},
        {"\r\nWarning Indirect Matrix detected for %s object...\r\n", K::Warning},
        {"WARNING: %d vertices of %s have no skinned host vertex\r\n", K::Warning},
        {" \t\r\n\nWarning", K::Warning},
        {"Error : cannot create the %s \"%s\"\r\n", K::Error},
        {"\r\nError while saving file: %s\r\n", K::Error},
        {"Mesh : %s.....", K::Plain},
        {"\r\n%s : file not found...\r\n", K::Plain},
        {"A Warning inside", K::Plain},
        {"warning : lower case", K::Plain},
        {"Warn", K::Plain},
        {"Erro", K::Plain},
        {"%sWarning", K::Plain},
        {"", K::Plain},
        {"\r\n", K::Plain},
        {nullptr, K::Plain},
    };
    for (const auto& row : rows)
        EXPECT_EQ(ReportMessageKindOf(row.format), row.kind) << (row.format ? row.format : "null");

    Max2Qdx exporter;
    exporter.reportLevel = 0;
    ReportPrintf(&exporter, 1, "Warning : %s\r\n", "dropped by the level");
    ReportPrintf(&exporter, 3, "\r\nWARNING: %d dropped too", 2);
    ReportPrintf(&exporter, 0, "Error : %s\r\n", "kept");
    ReportPrintf(&exporter, 0, "Done\r\n");
    ReportPrintf(nullptr, 0, "Error : no exporter\r\n");
    EXPECT_EQ(exporter.reportWarnings, 2);
    EXPECT_EQ(exporter.reportErrors, 1);
    EXPECT_STREQ(exporter.GetReportText(), "Error : kept\r\nDone\r\n");
}
