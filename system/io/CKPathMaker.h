#pragma once

// Joins drive, directory, file name and extension into a path: the drive's
// first letter and ':', the directory followed by '/' unless it ends with a
// separator, the name, and the extension with a '.' in front unless it has
// one. Null or empty parts are left out. When the parts (each non-null one
// counted as its length + 1) reach 260 characters the path is empty and one
// ERROR line is logged.
class CKPathMaker
{
public:
    static constexpr int kMaxPath = 260;

    CKPathMaker(const char* drive, const char* dir, const char* name, const char* ext);

    char* GetFileName() { return m_FileName; }

private:
    char m_FileName[kMaxPath];
};
