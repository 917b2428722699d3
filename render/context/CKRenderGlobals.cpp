#include "render/context/CKRenderGlobals.h"

#include <cstdarg>
#include <cstdio>

#include "system/log/QxLogManager.h"

CKRenderGlobals& CKGetRenderGlobals()
{
    CKGlobalState& g = CKGetGlobals();
    if (!g.m_RenderGlobals)
        g.m_RenderGlobals = new CKRenderGlobals;
    return *static_cast<CKRenderGlobals*>(g.m_RenderGlobals);
}

void CKRenderLog(CKDWORD level, int line, const char* file, const char* format, ...)
{
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof(text), format, args);
    va_end(args);
    CKRenderGlobals& r = CKGetRenderGlobals();
    if (!r.m_LogSourceId)
        r.m_LogSourceId = QxGetLogManager()->RegisterSource("CK2_3D");
    QxGetLogManager()->SetContext(r.m_LogSourceId, level, line, file)->Log("%s", text);
}
