#include "tests/core/support/CoreTestSupport.h"

#include <algorithm>

int TestListener::s_PreCount = 0;
int TestListener::s_PostCount = 0;
void (*TestListener::s_OnPreDeletion)(TestListener*) = nullptr;

std::vector<std::string>& EngineFixture::Console()
{
    static std::vector<std::string> lines;
    return lines;
}

CKERROR EngineFixture::ConsoleHook(CKUICallbackStruct& message, void*)
{
    if (message.Reason == CKUIM_OUTTOCONSOLE)
        Console().push_back(reinterpret_cast<const char*>(message.Param2));
    return 0;
}

bool EngineFixture::Said(const std::string& line)
{
    return std::find(Console().begin(), Console().end(), line) != Console().end();
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
    TestListener::s_OnPreDeletion = nullptr;
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
