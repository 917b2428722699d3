#pragma once

#include "includes/CKTypes.h"
#include "includes/XString.h"
#include "platform/host/PluginClasses.h"
#include "platform/host/Point3.h"

// What the host sees of the exporter library: its exports, its two classes
// (the scene exporter Max2Qdx and the utility KeltraneTool) with their
// descriptors, its string table and its load and unload.

// Text id of the string table; null before ExporterLoad or for an unknown
// id. Each call overwrites the text of the previous one.
const char* GetString(int id);

// The library's load: once, engine start-up with the floating-point control
// word kept as it was around it. Then GetString answers. Calling it again
// while loaded does nothing. 0 or the start-up's error.
CKERROR ExporterLoad();
// The library's unload: the shared export context is closed, then the engine
// shuts down and the driver's process-wide state is reset. Nothing when not
// loaded.
void ExporterUnload();
CKBOOL IsExporterLoaded();

// The About window's texts (caption, then the static text), one per line.
const char* ExporterAboutText();

class AsciiExpClassDesc : public ClassDesc
{
public:
    // Closes the shared export context when the engine still runs.
    ~AsciiExpClassDesc() override;
    int IsPublic() override { return 1; }
    // A new Max2Qdx (the caller deletes it).
    void* Create(BOOL loading = FALSE) override;
    const char* ClassName() override { return GetString(1); }
    SClass_ID SuperClassID() override { return SCENE_EXPORT_CLASS_ID; }
    Class_ID ClassID() override { return Class_ID(0x04C01EFD, 0x3F64C2D5); }
    const char* Category() override { return GetString(2); }
};

class KeltraneToolClassDesc : public ClassDesc
{
public:
    int IsPublic() override { return 1; }
    // The one static KeltraneTool, on every call.
    void* Create(BOOL loading = FALSE) override;
    const char* ClassName() override { return "Keltrane Halvex Exporter"; }
    SClass_ID SuperClassID() override { return UTILITY_CLASS_ID; }
    Class_ID ClassID() override { return Class_ID(0x569AA4F8, 0x0F3F9C18); }
    const char* Category() override { return ""; }
};

// The utility panel: its user interface is a script file, which reads the
// file name File > Export chose from the script global
// "alreadyGivenFileName".
class KeltraneTool : public UtilityObj
{
public:
    // Sets the global (undefined for no name) as a script value, runs
    // "<scripts folder>/CKInstScripts/NewKeltraneUtility.ms"; a script
    // error prints "Error occurred in file: " and the file on the script
    // listener. The name is then forgotten.
    void BeginEditParams(Interface* ip, IUtil* iu) override;
    void EndEditParams(Interface*, IUtil*) override {}
    void SelectionSetChanged(Interface*, IUtil*) override {}
    void DeleteThis() override {} // static
    void SetStartupParam(const char*) override {}

    XString givenFileName;
};

KeltraneTool& GetKeltraneTool();

// The pick mode of the morph-target picker: its filter is itself, a right
// click ends it.
class GetMorphNode : public PickModeCallback, public PickNodeCallback
{
public:
    PickNodeCallback* GetFilter() override { return this; }
    BOOL RightClick(IObjParam*, ViewExp*) override { return TRUE; }
    BOOL Filter(INode*) override { return TRUE; }
};

// The library's exports.
const char* LibDescription();
int LibNumberClasses();
// 0 the exporter's descriptor, 1 the utility's; null otherwise.
ClassDesc* LibClassDesc(int i);
unsigned long LibVersion();
int CanAutoDefer();

// Texture-space corners of faces without mapping (mesh conversion).
extern const Point3 kUnmappedCornersA[3];
extern const Point3 kUnmappedCornersB[3];
