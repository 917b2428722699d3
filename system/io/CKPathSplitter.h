#pragma once

// Splits a path into drive ("c:"), directory (up to and including the last
// '\' or '/'), file name and extension (from the last '.' of the file name
// on, dot included). A null path gives four empty parts; a path of 260
// characters or more is not split (four empty parts, one ERROR line).
class CKPathSplitter
{
public:
    // The platform's maximum path length, terminator included.
    static constexpr int kMaxPath = 260;

    explicit CKPathSplitter(const char* path);

    char* GetDrive() { return m_Drive; }
    char* GetDir() { return m_Dir; }
    char* GetName() { return m_Name; }
    char* GetExtension() { return m_Ext; }

private:
    // Each part can hold a whole accepted path, so no split can overrun.
    char m_Drive[3];
    char m_Dir[kMaxPath];
    char m_Name[kMaxPath];
    char m_Ext[kMaxPath];
};
