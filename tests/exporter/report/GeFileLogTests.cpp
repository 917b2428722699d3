#include <string>

#include <gtest/gtest.h>

#include "exporter/report/GeFileLog.h"
#include "platform/PlatformPaths.h"
#include "platform/PlatformTime.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestPaths.h"
#include "tests/system/support/FixedLocalTime.h"

namespace {

// Puts the fixed clock in place for one test.
class FixedClockScope
{
public:
    FixedClockScope() : m_Previous(PlatformSetLocalTimeHook(&March5)) {}
    ~FixedClockScope() { PlatformSetLocalTimeHook(m_Previous); }

private:
    PlatformLocalTimeHook m_Previous;
};

const std::string kRule(73, '-');
const std::string kHeader =
    kRule + "\n Keltrane Export Log File\n\n Date: 2009- 3- 5\n Time: 14 h  7\n" + kRule + "\n\n";

} // namespace

TEST(GeFileLog, OpenWritesTheHeaderWithTheLocalDateAndTimeEachTime)
{
    FixedClockScope clock;
    TestTempDir dir;
    GeFileLog log(XString(dir.File("a.log").c_str()));
    EXPECT_FALSE(log.IsOpen());
    EXPECT_FALSE(PlatformPathExists(dir.File("a.log").c_str())) << "the constructor opens nothing";
    ASSERT_EQ(log.Open(), 1);
    ASSERT_EQ(log.Open(), 1) << "opening an open log writes the header again";
    EXPECT_EQ(log.Close(), 1);
    EXPECT_EQ(TestReadFile(dir.File("a.log")), kHeader + kHeader);
    EXPECT_EQ(log.Close(), 1) << "closing a closed log succeeds";
}

TEST(GeFileLog, WritersAddTheirEndingsAndFlush)
{
    FixedClockScope clock;
    TestTempDir dir;
    GeFileLog log(XString(dir.File("b.log").c_str()));
    ASSERT_EQ(log.Open(), 1);
    log.WriteLine("one");
    log.WriteSeparator();
    log.NewLine();
    log.Printf("%s=%d\r\n", "two", 2);
    log.WriteLine(nullptr);
    // Every writer flushes: the file holds everything before closing.
    EXPECT_EQ(TestReadFile(dir.File("b.log")), kHeader + "one\r\n ; \r\ntwo=2\r\n\r\n");
    EXPECT_EQ(log.Close(), 1);
}

TEST(GeFileLog, EveryWriterDoesNothingOnAClosedLog)
{
    TestTempDir dir;
    GeFileLog log(XString(dir.File("c.log").c_str()));
    log.WriteLine("x");
    log.NewLine();
    log.WriteSeparator();
    log.Printf("%s", "y");
    EXPECT_FALSE(PlatformPathExists(dir.File("c.log").c_str()));
}

TEST(GeFileLog, ALogThatCannotBeOpenedSaysSo)
{
    TestTempDir dir;
    GeFileLog log(XString(dir.File("missing/folder/d.log").c_str()));
    EXPECT_EQ(log.Open(), 0);
    EXPECT_FALSE(log.IsOpen());
    log.Printf("nothing %d", 1);
    EXPECT_EQ(log.Close(), 1);
}

TEST(GeFileLog, AFailedCloseIsReportedAndTheFileForgotten)
{
    if (!PlatformPathExists("/dev/full"))
        GTEST_SKIP() << "/dev/full is needed to make closing fail";
    GeFileLog log(XString("/dev/full"));
    ASSERT_EQ(log.Open(), 1) << "the header waits in the stream's buffer";
    EXPECT_EQ(log.Close(), 0) << "writing the header out fails on closing";
    EXPECT_FALSE(log.IsOpen()) << "the stream is gone: nothing may touch it again";
    log.WriteLine("after");
    EXPECT_EQ(log.Close(), 1);
}

TEST(GeFileLog, TheDefaultPathIsTheLogInTheTemporaryFolder)
{
    std::string saved;
    bool had = PlatformGetEnv("TMPDIR", saved);
    for (const char* folder : {"/some/tmp", "/some/tmp/"}) {
        PlatformSetEnv("TMPDIR", folder);
        GeFileLog log((XString()));
        EXPECT_STREQ(log.path.CStr(), "/some/tmp/KeltraneExport.log") << folder;
    }
    if (had)
        PlatformSetEnv("TMPDIR", saved.c_str());
    else
        unsetenv("TMPDIR");
    GeFileLog given(XString("x/y.log"));
    EXPECT_STREQ(given.path.CStr(), "x/y.log");
}
