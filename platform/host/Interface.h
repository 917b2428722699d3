#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "platform/host/Color.h"
#include "platform/host/Interval.h"
#include "platform/host/MaxTypes.h"
#include "platform/host/Point3.h"
#include "platform/host/TSTR.h"
#include "platform/host/Tab.h"
#include "platform/host/TimeValue.h"

class Atmospheric;
class Bitmap;
class BitmapInfo;
class HostScene;
class INode;

// One thing the host was asked to show or tell: the recording that stands
// in for its progress bar, message boxes, script listener and cancel button.
struct HostEvent
{
    enum class Kind
    {
        ProgressStart,  // text: the title
        ProgressUpdate, // number: the percentage; text: the title given, if any
        ProgressEnd,
        MessageBox,   // caption and text
        ScriptOutput, // text
        CancelCheck,  // number: 1 when the answer was "cancelled"
        ReportDialog  // text: the report shown
    };
    Kind kind;
    int number = 0;
    std::string text;
    std::string caption;
};

// The progress bar's worker, called once by ProgressStart.
typedef DWORD (*LPTHREAD_START_ROUTINE)(void* arg);

typedef Tab<INode*> INodeTab;

// How CloneNodes copies: a plain copy, an instance, a reference.
enum CloneType
{
    NODE_COPY,
    NODE_INSTANCE,
    NODE_REFERENCE,
    NODE_NONE
};

// Which folder GetDir names.
constexpr int APP_SCRIPTS_DIR = 15;

// Stands in for the host's Interface: the running application as the
// exporter sees it, over one HostScene (which must outlive it). Everything
// shown to a user is recorded in order (Events); message boxes and script
// output are also printed on standard error (unless echo is turned off), and
// the progress bar is drawn there when standard error is a terminal. Nothing
// ever waits for a user.
//
// While it lives, an Interface is the process's current one (GetCOREInterface,
// MAXScript_interface); the last one made wins and its destruction clears it.
class Interface
{
public:
    explicit Interface(HostScene& scene);
    ~Interface();
    Interface(const Interface&) = delete;
    Interface& operator=(const Interface&) = delete;

    HostScene& Scene() const { return m_Scene; }

    // The scene.
    INode* GetRootNode() const;
    Interval GetAnimRange() const;
    TimeValue GetTime() const { return 0; }
    int GetNumNamedSelSets() const;
    // null / 0 for an index out of range.
    const char* GetNamedSelSetName(int setNum) const;
    int GetNamedSelSetItemCount(int setNum) const;
    INode* GetNamedSelSetItem(int setNum, int i) const;
    Point3 GetAmbient(TimeValue t, Interval& valid) const;
    Point3 GetBackGround(TimeValue t, Interval& valid) const;
    Point3 GetLightTint(TimeValue t, Interval& valid) const;
    float GetLightLevel(TimeValue t, Interval& valid) const;
    int NumAtmospheric() const;
    Atmospheric* GetAtmospheric(int i) const;

    // Copies each node, under its own parent with its name, flags, material,
    // target, transform controller (shared), object offset and user
    // properties, and a copy of its object with its whole modifier stack
    // (modifier settings and animation copied; an object that cannot be
    // copied, such as a camera, is shared; custom attributes are not
    // copied). Only plain copies (NODE_COPY) of the nodes alone
    // (expandHierarchies false) at no offset are made; anything else is
    // refused (false, nothing made), as is a list with a null node or the
    // root. The originals and the copies are appended to the result lists
    // when given. Undone by the hold.
    bool CloneNodes(INodeTab& nodes, const Point3& offset, bool expandHierarchies = true,
                    CloneType cloneType = NODE_COPY, INodeTab* resultSource = nullptr,
                    INodeTab* resultTarget = nullptr);

    // The application.
    HWND GetMAXHWnd() const;
    // The folder of the given kind; "" for a kind the scene does not name.
    const char* GetDir(int which) const;

    // Progress bar and cancel button.
    BOOL ProgressStart(const char* title, BOOL dispBar, LPTHREAD_START_ROUTINE fn, void* arg);
    void ProgressUpdate(int percent, BOOL showPercent = TRUE, const char* title = nullptr);
    void ProgressEnd();
    BOOL GetCancel();
    void SetCancel(BOOL cancel);

    // Records a message box; printed, never waited for.
    void RecordMessageBox(const char* text, const char* caption);
    // Records text written to the script listener.
    void RecordScriptOutput(const char* text);
    // A plug-in's modal report window: recorded, and its text printed on
    // the report output (standard output unless set; null prints nothing).
    void ShowReportDialog(const char* text);
    void SetReportOutput(FILE* out) { m_ReportOutput = out; }
    // The command line's --report: a plug-in shows its report whatever its
    // own settings say.
    bool AlwaysShowReport() const { return m_AlwaysShowReport; }
    void SetAlwaysShowReport(bool always) { m_AlwaysShowReport = always; }

    // For tests and the command line: what was shown, in order.
    const std::vector<HostEvent>& Events() const { return m_Events; }
    void ClearEvents() { m_Events.clear(); }
    // Everything written to the script listener, joined.
    std::string ScriptOutput() const;
    // The user presses cancel just before the given GetCancel call (1 for
    // the first); 0 never.
    void CancelAtCheck(int check) { m_CancelAtCheck = check; }
    int CancelChecks() const { return m_CancelChecks; }
    // Whether message boxes and script output are also printed on standard
    // error (on by default).
    void SetEcho(bool echo) { m_Echo = echo; }
    // Where the progress bar is drawn: standard error when it is a terminal
    // (the default), else nowhere; null draws nothing.
    void SetProgressOutput(FILE* out) { m_ProgressOutput = out; }

private:
    HostScene& m_Scene;
    std::vector<HostEvent> m_Events;
    bool m_Cancel = false;
    int m_CancelChecks = 0;
    int m_CancelAtCheck = 0;
    bool m_Echo = true;
    bool m_AlwaysShowReport = false;
    FILE* m_ReportOutput = stdout;
    FILE* m_ProgressOutput = nullptr;
    bool m_ProgressShown = false;
    std::string m_ProgressTitle;

    // Erases the bar's line (a carriage return and an erase to its end) so
    // that what follows starts on a clean line; the next update draws it
    // again.
    void ClearProgressLine();
};

// The current Interface; null when none lives.
Interface* GetCOREInterface();
#define MAXScript_interface (GetCOREInterface())

// Ticks per frame of the current Interface's scene (160, 30 frames a second,
// when none lives).
int GetTicksPerFrame();
// Frames a second: 4800 ticks over the ticks per frame (30 when none lives).
int GetFrameRate();
// The scene's system unit: its type (0 inches, 1 feet, 2 miles, 3
// millimetres, 4 centimetres, 5 metres, 6 kilometres) and how many of them
// one scene unit is (inches and 1.0 when no Interface lives).
void GetMasterUnitInfo(int* type, float* scale);

// The bitmap manager: the list of map folders, from the current scene, and
// bitmaps made to a description.
class BitmapManager
{
public:
    int GetMapDirCount() const;
    // null for an index out of range.
    const char* GetMapDir(int i) const;
    // A new bitmap of the description's size (without storage when a side
    // is not positive), the caller's until DelBitmap; null for no
    // description.
    Bitmap* Create(BitmapInfo* bi);
    BOOL DelBitmap(Bitmap* bitmap);
};
extern BitmapManager* TheManager;

// Writes to the script listener of the current Interface (standard error
// when none lives), as printf does.
void mprintf(const char* format, ...) __attribute__((format(printf, 1, 2)));
void mputs(const char* text);

// The Windows message box: recorded as a notice on the current Interface
// and printed on standard error; gives IDOK at once.
constexpr unsigned MB_OK = 0;
constexpr int IDOK = 1;
int MessageBox(HWND owner, const char* text, const char* caption, unsigned type);
