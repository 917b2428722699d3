#include "platform/host/Interface.h"

#include <cstdarg>
#include <cstdio>
#include <unistd.h>

#include "platform/host/HostScene.h"
#include "platform/host/INode.h"

namespace {
Interface* g_Current = nullptr;
BitmapManager g_BitmapManager;
} // namespace

BitmapManager* TheManager = &g_BitmapManager;

Interface::Interface(HostScene& scene) : m_Scene(scene)
{
    g_Current = this;
}

Interface::~Interface()
{
    if (m_ProgressShown)
        std::fputc('\n', stderr);
    if (g_Current == this)
        g_Current = nullptr;
}

INode* Interface::GetRootNode() const
{
    return m_Scene.GetRootNode();
}

Interval Interface::GetAnimRange() const
{
    return Interval(m_Scene.Settings().animStart, m_Scene.Settings().animEnd);
}

int Interface::GetNumNamedSelSets() const
{
    return int(m_Scene.NamedSelectionSets().size());
}

const char* Interface::GetNamedSelSetName(int setNum) const
{
    if (setNum < 0 || setNum >= GetNumNamedSelSets())
        return nullptr;
    return m_Scene.NamedSelectionSets()[size_t(setNum)].name.c_str();
}

int Interface::GetNamedSelSetItemCount(int setNum) const
{
    if (setNum < 0 || setNum >= GetNumNamedSelSets())
        return 0;
    return int(m_Scene.NamedSelectionSets()[size_t(setNum)].nodes.size());
}

INode* Interface::GetNamedSelSetItem(int setNum, int i) const
{
    if (i < 0 || i >= GetNamedSelSetItemCount(setNum))
        return nullptr;
    return m_Scene.NamedSelectionSets()[size_t(setNum)].nodes[size_t(i)];
}

Point3 Interface::GetAmbient(TimeValue, Interval&) const
{
    return Point3(m_Scene.Settings().ambient);
}

Point3 Interface::GetBackGround(TimeValue, Interval&) const
{
    return Point3(m_Scene.Settings().background);
}

Point3 Interface::GetLightTint(TimeValue, Interval&) const
{
    return Point3(m_Scene.Settings().lightTint);
}

float Interface::GetLightLevel(TimeValue, Interval&) const
{
    return m_Scene.Settings().lightLevel;
}

int Interface::NumAtmospheric() const
{
    return int(m_Scene.Atmospherics().size());
}

Atmospheric* Interface::GetAtmospheric(int i) const
{
    if (i < 0 || i >= NumAtmospheric())
        return nullptr;
    return m_Scene.Atmospherics()[size_t(i)];
}

HWND Interface::GetMAXHWnd() const
{
    // Some non-null handle: callers only pass it on.
    return const_cast<Interface*>(this);
}

const char* Interface::GetDir(int which) const
{
    return which == APP_SCRIPTS_DIR ? m_Scene.Settings().scriptsDir.c_str() : "";
}

BOOL Interface::ProgressStart(const char* title, BOOL, LPTHREAD_START_ROUTINE fn, void* arg)
{
    m_ProgressTitle = title ? title : "";
    m_Events.push_back({HostEvent::Kind::ProgressStart, 0, m_ProgressTitle, ""});
    if (fn)
        fn(arg);
    return TRUE;
}

void Interface::ProgressUpdate(int percent, BOOL, const char* title)
{
    if (title)
        m_ProgressTitle = title;
    m_Events.push_back({HostEvent::Kind::ProgressUpdate, percent, title ? title : "", ""});
    if (isatty(STDERR_FILENO)) {
        std::fprintf(stderr, "\r%s %3d%%", m_ProgressTitle.c_str(), percent);
        std::fflush(stderr);
        m_ProgressShown = true;
    }
}

void Interface::ProgressEnd()
{
    m_Events.push_back({HostEvent::Kind::ProgressEnd, 0, "", ""});
    if (m_ProgressShown) {
        std::fputc('\n', stderr);
        m_ProgressShown = false;
    }
}

BOOL Interface::GetCancel()
{
    ++m_CancelChecks;
    if (m_CancelAtCheck > 0 && m_CancelChecks == m_CancelAtCheck)
        m_Cancel = true;
    m_Events.push_back({HostEvent::Kind::CancelCheck, m_Cancel ? 1 : 0, "", ""});
    return m_Cancel ? TRUE : FALSE;
}

void Interface::SetCancel(BOOL cancel)
{
    m_Cancel = cancel != 0;
}

void Interface::RecordMessageBox(const char* text, const char* caption)
{
    m_Events.push_back({HostEvent::Kind::MessageBox, 0, text ? text : "", caption ? caption : ""});
    if (m_Echo)
        std::fprintf(stderr, "[%s] %s\n", caption ? caption : "", text ? text : "");
}

void Interface::RecordScriptOutput(const char* text)
{
    m_Events.push_back({HostEvent::Kind::ScriptOutput, 0, text ? text : "", ""});
    if (m_Echo)
        std::fputs(text ? text : "", stderr);
}

void Interface::ShowReportDialog(const char* text)
{
    m_Events.push_back({HostEvent::Kind::ReportDialog, 0, text ? text : "", ""});
    if (m_ReportOutput) {
        std::fputs(text ? text : "", m_ReportOutput);
        std::fflush(m_ReportOutput);
    }
}

std::string Interface::ScriptOutput() const
{
    std::string all;
    for (const HostEvent& e : m_Events)
        if (e.kind == HostEvent::Kind::ScriptOutput)
            all += e.text;
    return all;
}

Interface* GetCOREInterface()
{
    return g_Current;
}

int GetTicksPerFrame()
{
    return g_Current ? g_Current->Scene().Settings().ticksPerFrame : 160;
}

int GetFrameRate()
{
    return TIME_TICKSPERSEC / GetTicksPerFrame();
}

void GetMasterUnitInfo(int* type, float* scale)
{
    const HostSceneSettings defaults;
    const HostSceneSettings& s = g_Current ? g_Current->Scene().Settings() : defaults;
    if (type)
        *type = s.unitType;
    if (scale)
        *scale = s.unitScale;
}

int BitmapManager::GetMapDirCount() const
{
    return g_Current ? int(g_Current->Scene().Settings().mapDirs.size()) : 0;
}

const char* BitmapManager::GetMapDir(int i) const
{
    if (i < 0 || i >= GetMapDirCount())
        return nullptr;
    return g_Current->Scene().Settings().mapDirs[size_t(i)].c_str();
}

void mputs(const char* text)
{
    if (g_Current)
        g_Current->RecordScriptOutput(text);
    else
        std::fputs(text ? text : "", stderr);
}

void mprintf(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    TSTR text;
    text.vprintf(format, args);
    va_end(args);
    mputs(text.data());
}

int MessageBox(HWND, const char* text, const char* caption, unsigned)
{
    if (g_Current)
        g_Current->RecordMessageBox(text, caption);
    else
        std::fprintf(stderr, "[%s] %s\n", caption ? caption : "", text ? text : "");
    return IDOK;
}
