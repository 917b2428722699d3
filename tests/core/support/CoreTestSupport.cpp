#include "tests/core/support/CoreTestSupport.h"

int TestListener::s_PreCount = 0;
int TestListener::s_PostCount = 0;

std::vector<std::string>& EngineFixture_Console();

namespace {
CKERROR ConsoleHook(CKUICallbackStruct& message, void*)
{
    if (message.Reason == CKUIM_OUTTOCONSOLE)
        EngineFixture_Console().push_back(reinterpret_cast<const char*>(message.Param2));
    return 0;
}
} // namespace

std::vector<std::string>& EngineFixture_Console()
{
    static std::vector<std::string> lines;
    return lines;
}

std::vector<std::string>& EngineFixture::Console()
{
    return EngineFixture_Console();
}

void EngineFixture::SetUp()
{
    StartEngine();
}

void EngineFixture::TearDown()
{
    StopEngine();
}

void EngineFixture::StartEngine(const char* settingsFile)
{
    ASSERT_EQ(CKStartUp(), 0);
    CKClassRegisterT<TestObject, CKObject>("TestObject");
    CKClassRegisterT<TestListener, CKObject>("TestListener");
    CKClassRegisterT<TestListenerChild, TestListener>("TestListenerChild");
    CKBuildClassHierarchyTable();
    ASSERT_EQ(CKCreateContext(&m_Context, nullptr, settingsFile), 0);
    m_Context->SetInterfaceMode(TRUE, ConsoleHook, nullptr);
    Console().clear();
    TestListener::s_PreCount = 0;
    TestListener::s_PostCount = 0;
    m_Started = true;
}

void EngineFixture::StopEngine()
{
    if (!m_Started)
        return;
    EXPECT_EQ(CKCloseContext(m_Context), 0);
    m_Context = nullptr;
    EXPECT_EQ(CKShutdown(), 0);
    m_Started = false;
}
