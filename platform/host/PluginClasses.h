#pragma once

#include "platform/host/Class_ID.h"
#include "platform/host/MaxTypes.h"

class INode;
class Interface;

// The host's plug-in classes as a plug-in library implements them: the
// stand-in only gives their shape (the host that would call them is the
// command line and the tests).

typedef Interface IObjParam;
class ExpInterface;
class IUtil;
class ViewExp;

constexpr SClass_ID SCENE_EXPORT_CLASS_ID = 0xA20;
constexpr SClass_ID UTILITY_CLASS_ID = 0x1020;

// A class descriptor: what the host asks of a plug-in class before it
// makes one.
class ClassDesc
{
public:
    virtual ~ClassDesc() = default;
    virtual int IsPublic() = 0;
    virtual void* Create(BOOL loading = FALSE) = 0;
    virtual const char* ClassName() = 0;
    virtual SClass_ID SuperClassID() = 0;
    virtual Class_ID ClassID() = 0;
    virtual const char* Category() = 0;
};

// A file exporter, as File > Export drives it.
class SceneExport
{
public:
    virtual ~SceneExport() = default;
    virtual int ExtCount() = 0;
    virtual const char* Ext(int n) = 0;
    virtual const char* LongDesc() = 0;
    virtual const char* ShortDesc() = 0;
    virtual const char* AuthorName() = 0;
    virtual const char* CopyrightMessage() = 0;
    virtual const char* OtherMessage1() = 0;
    virtual const char* OtherMessage2() = 0;
    virtual unsigned int Version() = 0;
    virtual void ShowAbout(HWND hWnd) = 0;
    virtual int DoExport(const char* name, ExpInterface* ei, Interface* i, BOOL suppressPrompts = FALSE,
                         DWORD options = 0) = 0;
    virtual BOOL SupportsOptions(int ext, DWORD options) = 0;
};

// Export only the selected nodes.
constexpr DWORD SCENE_EXPORT_SELECTED = 1;

// A utility panel.
class UtilityObj
{
public:
    virtual ~UtilityObj() = default;
    virtual void BeginEditParams(Interface* ip, IUtil* iu) = 0;
    virtual void EndEditParams(Interface* ip, IUtil* iu) = 0;
    virtual void SelectionSetChanged(Interface* ip, IUtil* iu) = 0;
    virtual void DeleteThis() = 0;
    virtual void SetStartupParam(const char* param) = 0;
};

// Picking nodes in the viewports: the mode and its node filter.
class PickNodeCallback
{
public:
    virtual ~PickNodeCallback() = default;
    virtual BOOL Filter(INode* node) = 0;
};

class PickModeCallback
{
public:
    virtual ~PickModeCallback() = default;
    virtual PickNodeCallback* GetFilter() { return nullptr; }
    virtual BOOL RightClick(IObjParam*, ViewExp*) { return FALSE; }
};
