#include "platform/host/Interface.h"

#include <cstdarg>
#include <cstdio>
#include <unistd.h>

#include "platform/host/HostScene.h"
#include "platform/host/INode.h"
#include "platform/host/Modifier.h"

namespace {
Interface* g_Current = nullptr;
BitmapManager g_BitmapManager;

// A copy of an object and its stack, each part made the scene's; an object
// that cannot be copied is shared.
Object* CopyObject(HostScene& scene, Object* object, INode* node)
{
    if (!object)
        return nullptr;
    // Nested stacks are copied from the top down, iteratively.
    std::vector<IDerivedObject*> stacks;
    Object* base = object;
    while (IDerivedObject* d = dynamic_cast<IDerivedObject*>(base)) {
        stacks.push_back(d);
        base = d->GetObjRef();
    }
    Object* below = nullptr;
    if (base) {
        std::unique_ptr<Object> copy = base->Clone();
        below = copy ? scene.Adopt(std::move(copy)) : base;
    }
    for (size_t i = stacks.size(); i-- > 0;) {
        IDerivedObject* d = scene.Adopt(std::make_unique<IDerivedObject>());
        for (int m = 0; m < stacks[i]->NumModifiers(); ++m)
            d->AddModifierAtBottom(scene.Adopt(stacks[i]->GetModifier(m)->CloneModifier()));
        d->ReferenceObject(below);
        d->SetEvalNode(node);
        below = d;
    }
    return below;
}

} // namespace

BitmapManager* TheManager = &g_BitmapManager;

Interface::Interface(HostScene& scene) : m_Scene(scene)
{
    g_Current = this;
    if (isatty(STDERR_FILENO))
        m_ProgressOutput = stderr;
}

Interface::~Interface()
{
    ClearProgressLine();
    if (g_Current == this)
        g_Current = nullptr;
}

void Interface::ClearProgressLine()
{
    if (!m_ProgressShown || !m_ProgressOutput)
        return;
    std::fputs("\r\033[K", m_ProgressOutput);
    std::fflush(m_ProgressOutput);
    m_ProgressShown = false;
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
    if (m_ProgressOutput) {
        std::fprintf(m_ProgressOutput, "\r%s %3d%%", m_ProgressTitle.c_str(), percent);
        std::fflush(m_ProgressOutput);
        m_ProgressShown = true;
    }
}

void Interface::ProgressEnd()
{
    m_Events.push_back({HostEvent::Kind::ProgressEnd, 0, "", ""});
    ClearProgressLine();
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
        ClearProgressLine();
    if (m_Echo)
        std::fprintf(stderr, "[%s] %s\n", caption ? caption : "", text ? text : "");
}

void Interface::RecordScriptOutput(const char* text)
{
    m_Events.push_back({HostEvent::Kind::ScriptOutput, 0, text ? text : "", ""});
    if (m_Echo)
        ClearProgressLine();
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

bool Interface::CloneNodes(INodeTab& nodes, const Point3& offset, bool expandHierarchies, CloneType cloneType,
                           INodeTab* resultSource, INodeTab* resultTarget)
{
    if (expandHierarchies || cloneType != NODE_COPY || offset != Point3())
        return false;
    for (int i = 0; i < nodes.Count(); ++i)
        if (!nodes[i] || nodes[i]->IsRootNode() || &nodes[i]->Scene() != &m_Scene)
            return false;
    for (int i = 0; i < nodes.Count(); ++i) {
        INode* source = nodes[i];
        INode* copy = m_Scene.AddNode(source->GetName(), source->GetParentNode());
        copy->SetSelected(source->Selected() != 0);
        copy->Hide(source->IsHidden());
        copy->SetGroupHead(source->IsGroupHead() != 0);
        copy->SetGroupMember(source->IsGroupMember() != 0);
        copy->SetMtl(source->GetMtl());
        copy->SetTarget(source->GetTarget());
        copy->SetTMController(source->GetTMController());
        copy->SetObjOffsetPos(source->GetObjOffsetPos());
        copy->SetObjOffsetRot(source->GetObjOffsetRot());
        copy->SetObjOffsetScale(source->GetObjOffsetScale());
        copy->SetCVertMode(source->GetCVertMode());
        TSTR props;
        source->GetUserPropBuffer(props);
        copy->SetUserPropBuffer(props);
        copy->SetObjectRef(CopyObject(m_Scene, source->GetObjectRef(), copy));
        if (resultSource)
            resultSource->Append(1, &source);
        if (resultTarget)
            resultTarget->Append(1, &copy);
    }
    return true;
}
