#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/PlatformConsole.h"
#include "platform/PlatformSharedLibrary.h"
#include "platform/PlatformTime.h"
#include "system/log/QxConsoleListener.h"
#include "system/log/QxFileListener.h"
#include "system/log/QxLogManager.h"
#include "system/log/QxOutputDebugListener.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestPaths.h"
#include "tests/system/support/FixedLocalTime.h"
#include "tests/system/support/LogCapture.h"

namespace {

PlatformLocalTime g_Now;
uint64_t g_Ticks = 0;

PlatformLocalTime FakeLocalTime()
{
    return g_Now;
}
uint64_t FakeCounter()
{
    return g_Ticks;
}

// Replaces both clocks for the life of a test.
class FakeClocks
{
public:
    FakeClocks()
    {
        g_Now = March5();
        g_Ticks = 1000000000ull;
        m_Time = PlatformSetLocalTimeHook(FakeLocalTime);
        m_Counter = PlatformSetCounterHook(FakeCounter);
    }
    ~FakeClocks()
    {
        PlatformSetLocalTimeHook(m_Time);
        PlatformSetCounterHook(m_Counter);
    }

private:
    PlatformLocalTimeHook m_Time;
    PlatformCounterHook m_Counter;
};

// Points ENGINE_LOG_DIR at a fresh folder for the life of a test.
class LogDir
{
public:
    LogDir()
    {
        const char* old = std::getenv("ENGINE_LOG_DIR");
        m_Had = old != nullptr;
        if (old)
            m_Old = old;
        setenv("ENGINE_LOG_DIR", m_Dir.Path().c_str(), 1);
    }
    ~LogDir()
    {
        if (m_Had)
            setenv("ENGINE_LOG_DIR", m_Old.c_str(), 1);
        else
            unsetenv("ENGINE_LOG_DIR");
    }
    std::string File(const std::string& name) const { return m_Dir.File(name); }

private:
    TestTempDir m_Dir;
    bool m_Had = false;
    std::string m_Old;
};

std::string g_Console;
void CaptureConsole(const char* data, size_t size)
{
    g_Console.append(data, size);
}

QxLogListener* MakeNothing(const char*)
{
    return nullptr;
}

} // namespace

TEST(QxLogManager, SourcesListenerTypesAndLevelNames)
{
    QxLogManager log;
    EXPECT_EQ(log.RegisterSource("A"), 1);
    EXPECT_EQ(log.RegisterSource("B"), 2);
    EXPECT_EQ(log.RegisterSource("A"), 1);
    EXPECT_EQ(log.RegisterSource(""), -1);
    EXPECT_EQ(log.RegisterSource(nullptr), -1);
    EXPECT_STREQ(log.GetSourceName(2), "B");
    for (int id : {3, 0, -1})
        EXPECT_EQ(log.GetSourceName(id), nullptr) << id;
    EXPECT_EQ(log.GetSourceCount(), 2);
    const char* names[] = {"", "DEBUG", "TRACE", "", "ERROR", "", "", "",    "WARNING",
                           "", "",      "",      "", "",      "", "", "INFO"};
    for (int level = 0; level <= 16; ++level)
        EXPECT_STREQ(QxLogManager::GetLevelName(level), names[level]) << level;
    // Listener types register once; a factory that makes nothing makes no listener.
    EXPECT_EQ(log.RegisterListenerType(QXLOG_FILE_LISTENER_GUID, MakeNothing), 0);
    EXPECT_EQ(log.RegisterListenerType(CKGUID(1, 2), MakeNothing), 1);
    EXPECT_EQ(log.RegisterListenerType(CKGUID(1, 2), MakeNothing), 0);
    EXPECT_EQ(log.CreateListener(CKGUID(1, 2), "none", 1), nullptr);
    EXPECT_EQ(log.CreateListener(CKGUID(9, 9), "unknown", 1), nullptr);
    EXPECT_EQ(log.GetListenerCount(), 0);
    // A name is reused only for a listener of the same kind.
    QxLogListener* console = log.CreateListener(QXLOG_CONSOLE_LISTENER_GUID, "shared", 1);
    ASSERT_NE(console, nullptr);
    EXPECT_EQ(log.CreateListener(QXLOG_FILE_LISTENER_GUID, "shared", 2), nullptr);
    EXPECT_EQ(log.CreateListener(QXLOG_CONSOLE_LISTENER_GUID, "shared", 2), console);
    EXPECT_TRUE(console->HasSource(1) && console->HasSource(2) && !console->HasSource(3));
    EXPECT_EQ(log.GetListener("shared"), console);
    EXPECT_EQ(log.GetListener("other"), nullptr);
}

TEST(QxLogManager, DeliversOnlyMatchingSourcesAndLevelsWithoutTimeOrFlags)
{
    LogCapture capture;
    QxLogManager* log = QxGetLogManager();
    int other = log->RegisterSource("Other");
    capture.Listener()->SetLevelMask(QXLOG_ERROR | QXLOG_WARNING);
    log->SetContext(capture.Source(), QXLOG_TRACE, 1, "f")->Log("hidden");
    log->SetContext(other, QXLOG_ERROR, 1, "f")->Log("not my source");
    log->SetContext(capture.Source(), QXLOG_WARNING, 1, "f")->Log("shown %d", 7);
    capture.Listener()->AddSource(42); // an id without a name
    log->SetContext(42, QXLOG_ERROR, 3, "x.cpp")->Log("text");
    log->SetContext(capture.Source(), 32, 3, "x.cpp")->Log("odd level");
    capture.Listener()->SetLevelMask(0xFFFFFFFF);
    log->SetContext(capture.Source(), 32, 3, "x.cpp")->Log("odd level");
    EXPECT_EQ(capture.Lines(), (std::vector<std::string>{"[QxMath] [WARNING] : shown 7\n", "[ERROR] : text\n",
                                                         "[QxMath] [] : odd level\n"}));
}

TEST(QxLogManager, Flag2AddsTheFileNameAndTheLineAndTimeSelectorsZeroToSeven)
{
    FakeClocks clocks;
    LogCapture capture;
    capture.Listener()->SetFlags(QXLOG_FLAG_SOURCE_LINE);
    capture.Listener()->SetTimeFormat(3);
    QxLogManager* log = QxGetLogManager();
    log->SetContext(capture.Source(), QXLOG_ERROR, 120, "c:\\work\\src\\Parser")->Log("bad token");
    log->SetContext(capture.Source(), QXLOG_ERROR, 7, "/home/dev/src/QxFile.cpp")->Log("x");
    log->SetContext(capture.Source(), QXLOG_ERROR, -1, "plain")->Log("y");
    log->SetContext(capture.Source(), QXLOG_ERROR, 0, nullptr)->Log("z");
    const std::string head = "[QxMath] [ERROR] [05/03/09 14:07:31:042] ";
    EXPECT_EQ(capture.Lines(),
              (std::vector<std::string>{head + "[Parser:120] : bad token\n", head + "[QxFile.cpp:7] : x\n",
                                        head + "[plain:-1] : y\n", head + "[:0] : z\n"}));
    // Time selectors 0 to 7, without the file and line.
    capture.Listener()->SetFlags(0);
    // Elapsed time since the listener's start: 1 h 2 min 3 s 4.5 ms.
    g_Ticks += 3723004500000ull;
    const char* expected[] = {
        "[QxMath] [INFO] : m\n",
        "[QxMath] [INFO] [01h 02m 03s 004ms] : m\n",
        "[QxMath] [INFO] : m\n",
        "[QxMath] [INFO] [05/03/09 14:07:31:042] : m\n",
        "[QxMath] [INFO] [05/03/2009 14:07:31] : m\n",
        "[QxMath] [INFO] [05/03/2009 14:07:31:042] : m\n",
        "[QxMath] [INFO] [05/03/09 14:07:31:042 (1236262051)] : m\n",
        "[QxMath] [INFO] : m\n",
    };
    for (int selector = 0; selector <= 7; ++selector) {
        capture.Lines().clear();
        capture.Listener()->SetTimeFormat(selector);
        log->SetContext(capture.Source(), QXLOG_INFO, 1, "f")->Log("m");
        ASSERT_EQ(capture.Lines().size(), 1u);
        EXPECT_EQ(capture.Lines()[0], expected[selector]) << "selector " << selector;
    }
}

TEST(QxLogManager, TheDateFollowsTheClockFromOneMessageToTheNext)
{
    // The date part is formatted again when the second changes, the
    // milliseconds every time.
    FakeClocks clocks;
    LogCapture capture;
    QxLogManager* log = QxGetLogManager();
    capture.Listener()->SetTimeFormat(3);
    log->SetContext(capture.Source(), QXLOG_INFO, 1, "f")->Log("a");
    g_Now.millisecond = 999;
    log->SetContext(capture.Source(), QXLOG_INFO, 1, "f")->Log("b");
    g_Now.second += 1;
    g_Now.unixSeconds += 1;
    g_Now.millisecond = 0;
    log->SetContext(capture.Source(), QXLOG_INFO, 1, "f")->Log("c");
    g_Now.day += 1;
    g_Now.unixSeconds += 86400;
    log->SetContext(capture.Source(), QXLOG_INFO, 1, "f")->Log("d");
    EXPECT_EQ(capture.Lines(), (std::vector<std::string>{"[QxMath] [INFO] [05/03/09 14:07:31:042] : a\n",
                                                         "[QxMath] [INFO] [05/03/09 14:07:31:999] : b\n",
                                                         "[QxMath] [INFO] [05/03/09 14:07:32:000] : c\n",
                                                         "[QxMath] [INFO] [06/03/09 14:07:32:000] : d\n"}));
}

TEST(QxLogManager, TheFormatBufferDoublesAndTooLongTextsAreDropped)
{
    LogCapture capture;
    QxLogManager* log = QxGetLogManager();
    EXPECT_EQ(log->GetFormatBufferSize(), 256);
    std::string text300(300, 'x');
    log->SetContext(capture.Source(), QXLOG_INFO, 1, "f")->Log("%s", text300.c_str());
    EXPECT_EQ(log->GetFormatBufferSize(), 512);
    ASSERT_EQ(capture.Lines().size(), 1u);
    EXPECT_EQ(capture.Lines()[0], "[QxMath] [INFO] : " + text300 + "\n");

    std::string longest(65535, 'y');
    log->SetContext(capture.Source(), QXLOG_INFO, 1, "f")->Log("%s", longest.c_str());
    EXPECT_EQ(log->GetFormatBufferSize(), 65536);
    ASSERT_EQ(capture.Lines().size(), 2u);
    std::string tooLong(65536, 'z');
    log->SetContext(capture.Source(), QXLOG_INFO, 1, "f")->Log("%s", tooLong.c_str());
    EXPECT_EQ(capture.Lines().size(), 2u);
    EXPECT_EQ(log->GetFormatBufferSize(), 65536);
    // Without listeners nothing is formatted.
    QxLogManager quiet;
    quiet.SetContext(1, QXLOG_INFO, 1, "f")->Log("%s", text300.c_str());
    EXPECT_EQ(quiet.GetFormatBufferSize(), 256);
}

TEST(QxFileListener, TruncatesOnOpenUnlessFlag4AppendsCreatesItsFolderAndRetriesLater)
{
    LogDir dir;
    std::ofstream(dir.File("plain.log")) << "old\n";
    std::ofstream(dir.File("kept.log")) << "old\n";
    {
        LogCapture capture;
        QxLogManager* log = QxGetLogManager();
        log->CreateListener(QXLOG_FILE_LISTENER_GUID, "plain", capture.Source());
        QxLogListener* kept = log->CreateListener(QXLOG_FILE_LISTENER_GUID, "kept", capture.Source());
        kept->SetFlags(QXLOG_FLAG_APPEND);
        QxLogListener* nested = log->CreateListener(QXLOG_FILE_LISTENER_GUID, "sub/dir/nested", capture.Source());
        ASSERT_NE(nested, nullptr);
        log->SetContext(capture.Source(), QXLOG_INFO, 1, "f")->Log("new");
        EXPECT_EQ(capture.Lines().size(), 1u) << "every listener of the source has the line";
    }
    EXPECT_EQ(TestReadFile(dir.File("plain.log")), "[QxMath] [INFO] : new\n");
    EXPECT_EQ(TestReadFile(dir.File("kept.log")), "old\n[QxMath] [INFO] : new\n");
    EXPECT_EQ(TestReadFile(dir.File("sub/dir/nested.log")), "[QxMath] [INFO] : new\n");
    // A file that cannot be opened is tried again later.
    LogCapture later;
    std::ofstream(dir.File("blocker")) << "a file where a folder should be";
    QxLogManager* log = QxGetLogManager();
    log->CreateListener(QXLOG_FILE_LISTENER_GUID, "blocker/late", later.Source());
    log->SetContext(later.Source(), QXLOG_INFO, 1, "f")->Log("lost");
    std::remove(dir.File("blocker").c_str());
    log->SetContext(later.Source(), QXLOG_INFO, 1, "f")->Log("found");
    EXPECT_EQ(TestReadFile(dir.File("blocker/late.log")), "[QxMath] [INFO] : found\n");
    EXPECT_EQ(later.Lines().size(), 2u);
}

TEST(QxFileListener, Flag1PutsTheDateInTheNameAndOpensANewFileEachDay)
{
    FakeClocks clocks;
    LogDir dir;
    LogCapture capture;
    QxLogManager* log = QxGetLogManager();
    QxLogListener* trace = log->CreateListener(QXLOG_FILE_LISTENER_GUID, "trace", capture.Source());
    trace->SetFlags(QXLOG_FLAG_DATE);
    log->SetContext(capture.Source(), QXLOG_INFO, 1, "f")->Log("first day");
    log->SetContext(capture.Source(), QXLOG_INFO, 1, "f")->Log("still first day");
    EXPECT_EQ(TestReadFile(dir.File("trace[09 03 05].log")),
              "[QxMath] [INFO] : first day\n[QxMath] [INFO] : still first day\n");
    g_Now.day = 6;
    g_Now.yearDay = 64;
    log->SetContext(capture.Source(), QXLOG_INFO, 1, "f")->Log("next day");
    EXPECT_EQ(TestReadFile(dir.File("trace[09 03 06].log")), "[QxMath] [INFO] : next day\n");
    EXPECT_STREQ(static_cast<QxFileListener*>(trace)->GetFilePath(), dir.File("trace[09 03 06].log").c_str());
}

TEST(QxFileListener, WithoutTheOverrideTheFolderIsTheProgramsOwn)
{
    const char* old = std::getenv("ENGINE_LOG_DIR");
    std::string saved = old ? old : "";
    unsetenv("ENGINE_LOG_DIR");
    QxFileListener listener("x");
    if (old)
        setenv("ENGINE_LOG_DIR", saved.c_str(), 1);
    std::string program = PlatformGetModuleFileName(nullptr);
    std::string folder = program.substr(0, program.find_last_of('/') + 1);
    EXPECT_EQ(listener.GetDirectory(), folder);
}

TEST(QxConsoleListener, AllocatesAConsoleTitledWithItsNameAndDate)
{
    FakeClocks clocks;
    g_Console.clear();
    PlatformConsoleHook previous = PlatformSetConsoleHook(CaptureConsole);
    {
        QxLogManager log;
        int source = log.RegisterSource("CK2");
        QxLogListener* console = log.CreateListener(QXLOG_CONSOLE_LISTENER_GUID, "Engine", source);
        console->SetFlags(QXLOG_FLAG_DATE);
        log.SetContext(source, QXLOG_WARNING, 1, "f")->Log("careful");
        EXPECT_EQ(PlatformGetConsoleTitle(), "Engine [09 03 05]");
        // A second console listener cannot have a console of its own.
        QxLogListener* other = log.CreateListener(QXLOG_CONSOLE_LISTENER_GUID, "Other", source);
        ASSERT_NE(other, nullptr);
        log.SetContext(source, QXLOG_INFO, 1, "f")->Log("again");
    }
    EXPECT_EQ(PlatformGetConsoleOutput(), nullptr); // freed with the listener
    PlatformSetConsoleHook(previous);
    EXPECT_EQ(g_Console, "[CK2] [WARNING] : careful\n[CK2] [INFO] : again\n[CK2] [INFO] : again\n");
}
