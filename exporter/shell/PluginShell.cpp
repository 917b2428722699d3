#include "exporter/shell/PluginShell.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "core/context/CKDefines.h"
#include "core/context/CKStartUp.h"
#include "exporter/driver/DriverState.h"
#include "exporter/options/Max2Qdx.h"
#include "platform/host/Interface.h"
#include "platform/host/ScriptLayer.h"
#include "system/runtime/QxFpu.h"

namespace {

// The library's state: loaded (the stand-in for a stored module handle) and
// the text GetString hands out.
bool g_Loaded = false;
char g_StringBuffer[256];

const char kRights[] = "Copyright (c) Keltrane. All rights reserved.";

struct StringEntry
{
    int id;
    const char* text;
};

const StringEntry kStrings[] = {
    {1, "Max2Qdx"},
    {2, "Standard"},
    {3, "QDX"},
    {4, "3D Studio MAX To Keltrane Exporter"},
    {5, "Keltrane Halvex Export"},
    {6, kRights},
    {7, "Exporting file..."},
    {8, "KeltraneExport Version"},
    {9, "Keltrane file exporter"},
};

const char kAboutText[] = "About Keltrane Export\nKeltrane File Exporter\n\n"
                          "Copyright (c) Keltrane. All rights reserved.\n";

KeltraneTool g_Tool;
KeltraneToolClassDesc g_ToolDesc;
AsciiExpClassDesc g_ExporterDesc;

} // namespace

const Point3 kUnmappedCornersA[3] = {Point3(0, 0, 0), Point3(1, 1, 0), Point3(1, 0, 0)};
const Point3 kUnmappedCornersB[3] = {Point3(0, 1, 0), Point3(1, 1, 0), Point3(0, 0, 0)};

const char* GetString(int id)
{
    if (!g_Loaded)
        return nullptr;
    for (const StringEntry& entry : kStrings)
        if (entry.id == id) {
            std::snprintf(g_StringBuffer, sizeof(g_StringBuffer), "%s", entry.text);
            return g_StringBuffer;
        }
    return nullptr;
}

CKERROR ExporterLoad()
{
    if (g_Loaded)
        return CKErr::Ok;
    const CKWORD before = QxGetFPUControlWord();
    CKERROR error = CKStartUp();
    if (QxGetFPUControlWord() != before)
        QxSetFPUControlWord(before);
    if (error == CKErr::Ok)
        g_Loaded = true;
    return error;
}

void ExporterUnload()
{
    if (!g_Loaded)
        return;
    // The shared context goes while the engine still runs.
    ResetExportDriverState();
    CKShutdown();
    g_Loaded = false;
}

CKBOOL IsExporterLoaded()
{
    return g_Loaded ? TRUE : FALSE;
}

const char* ExporterAboutText()
{
    return kAboutText;
}

// Class descriptors.

AsciiExpClassDesc::~AsciiExpClassDesc()
{
    if (g_Loaded)
        ResetExportDriverState();
}

void* AsciiExpClassDesc::Create(BOOL)
{
    return new Max2Qdx();
}

void* KeltraneToolClassDesc::Create(BOOL)
{
    return &g_Tool;
}

KeltraneTool& GetKeltraneTool()
{
    return g_Tool;
}

// The utility.

void KeltraneTool::BeginEditParams(Interface* ip, IUtil*)
{
    SetScriptGlobal("alreadyGivenFileName", givenFileName.Length() > 0 ? Value::String(givenFileName.CStr()) : Value());
    std::string path = ip ? ip->GetDir(APP_SCRIPTS_DIR) : "";
    path += "/CKInstScripts/NewKeltraneUtility.ms";
    std::string error;
    if (!RunScriptFile(path, error))
        mprintf("Error occurred in file: <FileStream:%s>\n", path.c_str());
    givenFileName = "";
}

// The scene exporter's host interface.

const char* Max2Qdx::Ext(int n)
{
    static const char* const kExtensions[] = {"Qdx", "Qfx", "Qbx"};
    return n >= 0 && n < 3 ? kExtensions[n] : "";
}

const char* Max2Qdx::LongDesc()
{
    return GetString(4);
}

const char* Max2Qdx::ShortDesc()
{
    return GetString(5);
}

const char* Max2Qdx::AuthorName()
{
    return "Keltrane";
}

const char* Max2Qdx::CopyrightMessage()
{
    return GetString(6);
}

void Max2Qdx::ShowAbout(HWND)
{
    std::fputs(kAboutText, stdout);
    std::fflush(stdout);
}

int Max2Qdx::DoExport(const char* name, ExpInterface*, Interface* ip, BOOL, DWORD)
{
    maxInterface = ip;
    XString given = name ? name : "";
    for (int i = 0; i < given.Length(); ++i)
        if (given[i] == '\\')
            given[i] = '/';
    g_Tool.givenFileName = given;
    g_Tool.BeginEditParams(ip, nullptr);
    return 1;
}

BOOL Max2Qdx::SupportsOptions(int, DWORD options)
{
    return options == SCENE_EXPORT_SELECTED ? TRUE : FALSE;
}

// The library's exports.

const char* LibDescription()
{
    return GetString(9);
}

int LibNumberClasses()
{
    return 2;
}

ClassDesc* LibClassDesc(int i)
{
    switch (i) {
    case 0: return &g_ExporterDesc;
    case 1: return &g_ToolDesc;
    default: return nullptr;
    }
}

unsigned long LibVersion()
{
    return 0x2AF81900;
}

int CanAutoDefer()
{
    return 0;
}
