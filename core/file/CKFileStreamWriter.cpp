#include "core/file/CKFileStreamWriter.h"

#include <cstdio>

#include "includes/XString.h"
#include "platform/PlatformPaths.h"

CKBOOL CKFileStreamWriter::Open(const char* name)
{
    m_FileName = name;
    return m_File.Open(name, QX_FILE_WRITE);
}

CKDWORD CKFileStreamWriter::Write(const void* buffer, CKDWORD size)
{
    if (!buffer || size == 0)
        return 0;
    return m_File.Write(buffer, size);
}

CKBOOL CKFileStreamWriter::Close()
{
    m_FileName = nullptr;
    CKBOOL flushed = m_File.GetFileHandle() ? m_File.Flush() == 0 : TRUE;
    return m_File.Close() && flushed;
}

CKBOOL CKFileStreamWriter::CheckAppendable(const char* name)
{
    if (!name || !*name)
        return FALSE;
    // QxFile cleans the name the same way before opening it.
    XString cleaned(name);
    cleaned.MakeValidFileName();
    bool existed = PlatformPathExists(cleaned.CStr());
    QxFile probe;
    if (!probe.Open(name, QX_FILE_APPEND))
        return FALSE;
    probe.Close();
    if (!existed)
        std::remove(PlatformNativePath(cleaned.CStr()).c_str());
    return TRUE;
}
