#include "system/log/QxOutputDebugListener.h"

#include "platform/PlatformDebugOutput.h"
#include "system/log/QxLogManager.h"

const CKGUID* QxOutputDebugListener::GetGuid()
{
    static const CKGUID guid = QXLOG_OUTPUTDEBUG_LISTENER_GUID;
    return &guid;
}

void QxOutputDebugListener::WriteMessage(int source, CKDWORD level, int line, const char* file, const char* text)
{
    XString lineText;
    FormatLine(lineText, source, level, line, file, text);
    PlatformOutputDebugString(lineText.CStr());
}
