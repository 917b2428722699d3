#include "core/context/CKPathManager.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "core/context/CKContext.h"
#include "system/io/CKPathSplitter.h"
#include "system/io/QxFile.h"
#include "system/io/QxPackedFile.h"
#include "system/io/QxPaths.h"
#include "system/io/QxUrl.h"
#include "system/memory/QxMemoryManager.h"

namespace {

XString Join(const char* a, const char* b)
{
    XString result;
    size_t size = std::strlen(a ? a : "") + std::strlen(b ? b : "") + 2;
    char* buffer = new char[size];
    if (QxConcatPath(buffer, size, a, b))
        result = buffer;
    delete[] buffer;
    return result;
}

bool StartsWith(const XString& s, const char* prefix, bool noCase)
{
    size_t n = std::strlen(prefix);
    if ((size_t) s.Length() < n)
        return false;
    return noCase ? strncasecmp(s.CStr(), prefix, n) == 0 : std::strncmp(s.CStr(), prefix, n) == 0;
}

} // namespace

CKPathManager::CKPathManager(CKContext* context) : CKBaseManager(context, PATH_MANAGER_GUID, "Path Manager")
{
    AddCategory(XString("Bitmap Paths"));
    AddCategory(XString("Data Paths"));
    AddCategory(XString("Sound Paths"));
    m_Context->RegisterNewManager(this);
}

CKPathManager::~CKPathManager()
{
    if (m_TempFolderCreated)
        QxDeleteDirectory(m_TempFolder.CStr());
    for (QxPackedFile* archive : m_Archives)
        delete archive;
}

int CKPathManager::AddCategory(const XString& name)
{
    if (GetCategoryIndex(name) >= 0)
        return -1;
    Category c;
    c.m_Name = name;
    m_Categories.PushBack(c);
    return m_Categories.Size() - 1;
}

int CKPathManager::GetCategoryIndex(const XString& name)
{
    for (int i = 0; i < m_Categories.Size(); ++i)
        if (m_Categories[i].m_Name == name)
            return i;
    return -1;
}

int CKPathManager::AddPath(int category, const XString& folder)
{
    if (category < 0 || category >= m_Categories.Size() || GetPathIndex(category, folder) >= 0)
        return -1;
    m_Categories[category].m_Paths.PushBack(folder);
    return m_Categories[category].m_Paths.Size() - 1;
}

int CKPathManager::GetPathIndex(int category, const XString& folder)
{
    if (category < 0 || category >= m_Categories.Size())
        return -1;
    XClassArray<XString>& paths = m_Categories[category].m_Paths;
    for (int i = 0; i < paths.Size(); ++i)
        if (paths[i].ICompare(folder) == 0)
            return i;
    return -1;
}

int CKPathManager::GetPathCount(int category)
{
    return category >= 0 && category < m_Categories.Size() ? m_Categories[category].m_Paths.Size() : 0;
}

const char* CKPathManager::GetPathName(int category, int index)
{
    if (category < 0 || category >= m_Categories.Size())
        return "";
    XClassArray<XString>& paths = m_Categories[category].m_Paths;
    return index >= 0 && index < paths.Size() ? paths[index].CStr() : "";
}

XString CKPathManager::GetTempFolder()
{
    if (!m_TempFolderCreated) {
        // A unique, unpredictable name, so that no other process can take it.
        XString pattern = Join(QxGetTempPath().CStr(), "ZKmpXXXXXX");
        char* buffer = QxGetMemoryManager()->DuplicateString(pattern.CStr());
        if (buffer && mkdtemp(buffer)) {
            m_TempFolder = buffer;
            m_TempFolderCreated = TRUE;
        }
        QxGetMemoryManager()->Free(buffer);
    }
    return m_TempFolder;
}

CKBOOL CKPathManager::IsAbsolutePath(const XString& name)
{
    if (name.Length() >= 3 && name[1] == ':' && (name[2] == '\\' || name[2] == '/'))
        return TRUE;
    return name.Length() >= 1 && name[0] == '/' && !IsUNCPath(name);
}

CKBOOL CKPathManager::IsUNCPath(const XString& name)
{
    return StartsWith(name, "\\\\", false) || StartsWith(name, "//", false);
}

CKBOOL CKPathManager::IsURL(const XString& name)
{
    return StartsWith(name, "http:", true) || StartsWith(name, "ftp:", true) || StartsWith(name, "javascript:", true);
}

CKBOOL CKPathManager::IsFileURL(const XString& name)
{
    return StartsWith(name, "file:", true);
}

CKBOOL CKPathManager::FileExists(const XString& name)
{
    if (name.IsEmpty())
        return FALSE;
    QxFile f;
    return f.Open(name.CStr(), QX_FILE_READ);
}

CKBOOL CKPathManager::FileURLExists(const XString& name)
{
    const char* s = name.CStr();
    if (!StartsWith(name, "file://", true))
        return FALSE;
    return FileExists(XString(s + 7));
}

int CKPathManager::AddPackedFile(QxPackedFile* archive)
{
    if (!archive)
        return -1;
    m_Archives.PushBack(archive);
    return m_Archives.Size() - 1;
}

int CKPathManager::ResolveCategoryPrefixedName(const char* name, QxSubFile* subFile)
{
    if (!name || name[0] != '%')
        return 0;
    const char* second = std::strchr(name + 1, '%');
    if (!second)
        return 0;
    int k = std::atoi(name + 1);
    if (k < 0 || k >= m_Archives.Size())
        return 0;
    return m_Archives[k]->FindFile(second + 1, subFile);
}

CKBOOL CKPathManager::TryFolder(const XString& candidate, XString& name)
{
    if (FileExists(candidate)) {
        name = candidate;
        return TRUE;
    }
    return FALSE;
}

CKERROR CKPathManager::ResolveFileName(XString& name, int category, int start)
{
    if (name.IsEmpty())
        return CKErr::InvalidFile;
    if (start == -1) {
        int count = m_Archives.Size();
        if (count > 0) {
            int current = m_CurrentArchive >= 0 && m_CurrentArchive < count ? m_CurrentArchive : 0;
            // The current archive, then outward: one below, one above, ...
            auto found = [&](int k) {
                if (k < 0 || k >= count || !m_Archives[k]->FindFile(name.CStr(), nullptr))
                    return false;
                XString prefixed;
                prefixed.Format("%%%d%%%s", k, name.CStr());
                name = prefixed;
                m_CurrentArchive = k;
                return true;
            };
            if (found(current))
                return CKErr::Ok;
            for (int step = 1; current - step >= 0 || current + step < count; ++step)
                if (found(current - step) || found(current + step))
                    return CKErr::Ok;
        }
        if (IsAbsolutePath(name) && FileExists(name))
            return CKErr::Ok;
        if (IsURL(name)) {
            XString escaped;
            QxEscapeUrl(name.CStr(), escaped);
            name = escaped;
            return CKErr::Ok;
        }
        if (IsFileURL(name) || IsUNCPath(name))
            return CKErr::Ok;
        if (FileExists(name))
            return CKErr::Ok;
        const char* lastFolder = m_Context->GetLastCompositionFolder();
        if (lastFolder && *lastFolder && TryFolder(Join(lastFolder, name.CStr()), name))
            return CKErr::Ok;
        char current[260];
        if (QxGetCurrentDirectory(current) && TryFolder(Join(current, name.CStr()), name))
            return CKErr::Ok;
        XString temp = GetTempFolder();
        if (!temp.IsEmpty() && TryFolder(Join(temp.CStr(), name.CStr()), name))
            return CKErr::Ok;
        start = 0;
    }
    if (category < 0 || category >= m_Categories.Size())
        return CKErr::NotFound;
    CKPathSplitter splitter(name.CStr());
    XString fileName(splitter.GetName());
    fileName += splitter.GetExtension();
    XClassArray<XString>& paths = m_Categories[category].m_Paths;
    for (int i = start < 0 ? 0 : start; i < paths.Size(); ++i) {
        const XString& folder = paths[i];
        XString joined = Join(folder.CStr(), fileName.CStr());
        if (IsAbsolutePath(folder) || IsUNCPath(folder)) {
            QxUnescapeUrl(joined);
            if (TryFolder(joined, name))
                return CKErr::Ok;
        } else if (IsFileURL(folder)) {
            QxUnescapeUrl(joined);
            XString local(joined.Length() >= 7 ? joined.CStr() + 7 : "");
            if (FileURLExists(joined)) {
                name = local;
                return CKErr::Ok;
            }
        } else if (IsURL(folder)) {
            XString escaped;
            QxEscapeUrl(joined.CStr(), escaped);
            name = escaped;
            return CKErr::Ok;
        }
    }
    return CKErr::NotFound;
}
