#pragma once

#include "core/context/CKBaseManager.h"
#include "includes/XArray.h"
#include "includes/XClassArray.h"
#include "includes/XString.h"

class QxPackedFile;
class QxSubFile;

// Finds the files objects name: categories of search folders, the folder of
// the last composition loaded, the current folder, packed archives (named in
// the form "%<archive>%<name>"), URLs, and a per-context temporary folder.
class CKPathManager : public CKBaseManager
{
public:
    enum
    {
        BITMAP_PATH_IDX = 0,
        DATA_PATH_IDX = 1,
        SOUND_PATH_IDX = 2,
    };

    // Categories "Bitmap Paths", "Data Paths", "Sound Paths".
    explicit CKPathManager(CKContext* context);
    // Deletes the temporary folder (when made) and the archives.
    ~CKPathManager() override;

    // -1 when a category of that name exists (exact), else its index.
    int AddCategory(const XString& name);
    int GetCategoryIndex(const XString& name);
    int GetCategoryCount() const { return m_Categories.Size(); }
    // -1 when the category already has the folder (without case) or does
    // not exist; else the folder's index.
    int AddPath(int category, const XString& folder);
    int GetPathIndex(int category, const XString& folder);
    int GetPathCount(int category);
    // "" for bad indices.
    const char* GetPathName(int category, int index);

    // Makes the folder on the first call (a unique name under the system's
    // temporary folder) and returns it; "" when it cannot be made.
    XString GetTempFolder();

    // 0 when found (name possibly rewritten), -22 for an empty name, -11
    // when not found (name unchanged). start -1: a fresh search; else the
    // category search from that folder index.
    CKERROR ResolveFileName(XString& name, int category, int start = -1);
    // For "%k%file": archive k's FindFile of file; 0 otherwise.
    int ResolveCategoryPrefixedName(const char* name, QxSubFile* subFile);
    CKBOOL HasCategoryPrefix(const XString& name) const { return name.Length() > 0 && name[0] == '%'; }

    // Drive form ("c:\" or "c:/"), or a rooted path ("/tmp") on this platform.
    static CKBOOL IsAbsolutePath(const XString& name);
    static CKBOOL IsUNCPath(const XString& name);
    static CKBOOL IsURL(const XString& name);
    static CKBOOL IsFileURL(const XString& name);
    static CKBOOL FileExists(const XString& name);
    static CKBOOL FileURLExists(const XString& name);

    // Takes ownership of an archive index; its number is the returned index.
    int AddPackedFile(QxPackedFile* archive);
    int GetCurrentArchive() const { return m_CurrentArchive; }
    void SetCurrentArchive(int index) { m_CurrentArchive = index; }

private:
    struct Category
    {
        XString m_Name;
        XClassArray<XString> m_Paths;
    };
    CKBOOL TryFolder(const XString& candidate, XString& name);

    XClassArray<Category> m_Categories;
    XString m_TempFolder;
    CKBOOL m_TempFolderCreated = FALSE;
    XArray<QxPackedFile*> m_Archives;
    int m_CurrentArchive = 0;
};
