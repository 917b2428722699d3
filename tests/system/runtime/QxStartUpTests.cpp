#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/PlatformCpu.h"
#include "platform/PlatformTime.h"
#include "system/log/QxLibraryLog.h"
#include "system/log/QxLogListener.h"
#include "system/log/QxLogManager.h"
#include "system/math/QxMathTables.h"
#include "system/math/QxMatrix.h"
#include "system/runtime/QxFpu.h"
#include "system/runtime/QxStartUp.h"
#include "system/runtime/QxThread.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestPaths.h"
#include "tests/system/support/FixedLocalTime.h"

namespace {
std::string LogDir()
{
    const char* dir = std::getenv("ENGINE_LOG_DIR");
    return dir ? dir : "";
}
} // namespace

TEST(QxStartUp, StartsAndStopsTwiceInOneProcess)
{
    // The test harness points ENGINE_LOG_DIR at a folder of the build tree;
    // when run by hand, use a temporary one.
    TestTempDir fallback;
    if (LogDir().empty())
        setenv("ENGINE_LOG_DIR", fallback.Path().c_str(), 1);
    std::string logFile = LogDir() + "/QxMath.log";
    PlatformLocalTimeHook previous = PlatformSetLocalTimeHook(March5);

    for (int run = 0; run < 2; ++run) {
        QxStartUp();
        QxThread* main = QxGetMainThread();
        ASSERT_NE(main, nullptr);
        EXPECT_STREQ(main->GetName(), "QRKMAINTHREAD");
        EXPECT_EQ(main->GetFlags(), 3u);
        EXPECT_EQ(main->GetHandle(), PlatformGetCurrentThreadHandle());
        EXPECT_EQ(main->GetId(), PlatformGetCurrentThreadId());
        EXPECT_EQ(QxFindThread(PlatformGetCurrentThreadHandle()), main);
        main->SetName("renamed");
        EXPECT_STREQ(main->GetName(), "QRKMAINTHREAD");
        EXPECT_EQ(QxGetFPUControlWord() & 0x0F3F, 0x003F);

        // Spot values of what start-up fills.
        EXPECT_EQ(QxGetSinTable()[4096], 1.0f);
        EXPECT_EQ(QxGetArcSinTable()[16383], 4055);
        EXPECT_EQ(QxGetInvSqrtTable()[8192], 1.0f);
        const QxMatrix& identity = QxMatrix::Identity();
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c)
                EXPECT_EQ(identity[r][c], r == c ? 1.0f : 0.0f);

        QxLogManager* log = QxGetLogManager();
        int source = QxGetLibraryLogSource();
        EXPECT_STREQ(log->GetSourceName(source), "QxMath");
        QxLogListener* file = log->GetListener("QxMath");
        ASSERT_NE(file, nullptr);
        EXPECT_EQ(*file->GetGuid(), QXLOG_FILE_LISTENER_GUID);
        EXPECT_EQ(file->GetLevelMask(), 31u);
        EXPECT_EQ(file->GetFlags(), 0u);
        EXPECT_EQ(file->GetTimeFormat(), 3);
        EXPECT_TRUE(file->HasSource(source));
        QxLogListener* debug = log->GetListener("OUTPUTDEBUG LISTENER");
        ASSERT_NE(debug, nullptr);
        EXPECT_EQ(*debug->GetGuid(), QXLOG_OUTPUTDEBUG_LISTENER_GUID);
        EXPECT_TRUE(debug->HasSource(source));

        QxLibraryLog(QXLOG_INFO, 12, "c:\\src\\QxStartUp.cpp", run == 0 ? "first run" : "second run");
        QxShutDown();

        EXPECT_EQ(QxGetMainThread(), nullptr);
        EXPECT_EQ(QxFindThread(PlatformGetCurrentThreadHandle()), nullptr);
        EXPECT_EQ(QxGetLibraryLogSource(), 0);
        // Each run starts its log afresh.
        EXPECT_EQ(TestReadFile(logFile), std::string("[QxMath] [INFO] [05/03/09 14:07:31:042] : ") +
                                             (run == 0 ? "first run" : "second run") + "\n");
    }
    PlatformSetLocalTimeHook(previous);
    QxDestroyLogManager();
    if (LogDir() == fallback.Path())
        unsetenv("ENGINE_LOG_DIR");
}
