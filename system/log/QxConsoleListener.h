#pragma once

#include "platform/PlatformConsole.h"
#include "system/log/QxLogListener.h"

// Writes each line to a console allocated at the first message, titled with
// the listener's name (and with flag 1 the date " [%y %m %d]"). A console
// that cannot be allocated leaves the listener silent.
class QxConsoleListener : public QxLogListener
{
public:
    explicit QxConsoleListener(const char* name) : QxLogListener(name) {}
    ~QxConsoleListener() override;

    const CKGUID* GetGuid() override;
    void WriteMessage(int source, CKDWORD level, int line, const char* file, const char* text) override;

private:
    PlatformConsoleHandle m_Output = nullptr;
    bool m_Tried = false;
};
