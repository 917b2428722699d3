#include "system/log/QxLibraryLog.h"

#include "system/log/QxLogManager.h"

namespace {
int g_LibrarySource = 0;
} // namespace

int QxGetLibraryLogSource()
{
    return g_LibrarySource;
}

void QxSetLibraryLogSource(int source)
{
    g_LibrarySource = source;
}

void QxLibraryLog(CKDWORD level, int line, const char* file, const char* text)
{
    QxGetLogManager()->SetContext(g_LibrarySource, level, line, file)->Log("%s", text ? text : "");
}
