#include "tests/readers/support/ReaderLogCapture.h"

#include "platform/PlatformDebugOutput.h"
#include "system/log/QxLogListener.h"
#include "system/log/QxLogManager.h"

namespace {

std::vector<std::string>& CapturedLines()
{
    static std::vector<std::string> lines;
    return lines;
}

void Hook(const char* text)
{
    CapturedLines().emplace_back(text);
}

PlatformDebugOutputHook g_Previous = nullptr;

} // namespace

ReaderLogCapture::ReaderLogCapture()
{
    QxDestroyLogManager();
    CapturedLines().clear();
    g_Previous = PlatformSetDebugOutputHook(Hook);
    QxLogManager* log = QxGetLogManager();
    log->CreateListener(QXLOG_OUTPUTDEBUG_LISTENER_GUID, "OUTPUTDEBUG LISTENER", log->RegisterSource("CK2"));
}

ReaderLogCapture::~ReaderLogCapture()
{
    PlatformSetDebugOutputHook(g_Previous);
    QxDestroyLogManager();
    CapturedLines().clear();
}

bool ReaderLogCapture::Saw(const std::string& text) const
{
    for (const std::string& line : CapturedLines())
        if (line.find(text) != std::string::npos)
            return true;
    return false;
}

const std::vector<std::string>& ReaderLogCapture::Lines() const
{
    return CapturedLines();
}
