#include "system/io/QxFile.h"

#include <cstdarg>

#include "includes/XString.h"
#include "platform/PlatformPaths.h"

namespace {
const char* FopenMode(int mode)
{
    switch (mode) {
    case QX_FILE_WRITE: return "wb";
    case QX_FILE_READWRITE: return "r+b";
    case QX_FILE_APPEND: return "ab";
    case QX_FILE_READAPPEND: return "a+b";
    case QX_FILE_TEXT_READ: return "r";
    case QX_FILE_TEXT_WRITE: return "w";
    case QX_FILE_TEXT_READWRITE: return "r+";
    case QX_FILE_TEXT_APPEND: return "a";
    case QX_FILE_TEXT_READAPPEND: return "a+";
    default: return "rb";
    }
}
} // namespace

QxFile::~QxFile()
{
    if (m_File)
        std::fclose(m_File);
}

CKBOOL QxFile::Open(const char* name, int mode)
{
    Close();
    XString cleaned(name);
    cleaned.MakeValidFileName();
    m_File = PlatformOpenFile(cleaned.CStr(), FopenMode(mode));
    return IsValid();
}

CKBOOL QxFile::Close()
{
    if (!m_File)
        return TRUE;
    int result = std::fclose(m_File);
    m_File = nullptr;
    return result == 0 ? TRUE : FALSE;
}

CKDWORD QxFile::Tell()
{
    if (!m_File)
        return 0;
    return static_cast<CKDWORD>(std::ftell(m_File));
}

CKBOOL QxFile::Seek(int offset, int origin)
{
    if (!m_File)
        return FALSE;
    int whence = origin == QX_SEEK_BEGIN ? SEEK_SET : origin == QX_SEEK_END ? SEEK_END : SEEK_CUR;
    return std::fseek(m_File, offset, whence) == 0 ? TRUE : FALSE;
}

CKDWORD QxFile::GetSize()
{
    if (!m_File)
        return 0;
    long position = std::ftell(m_File);
    std::fseek(m_File, 0, SEEK_END);
    long size = std::ftell(m_File);
    std::fseek(m_File, position, SEEK_SET);
    return size < 0 ? 0 : static_cast<CKDWORD>(size);
}

CKBOOL QxFile::IsValid()
{
    return m_File && !std::ferror(m_File) ? TRUE : FALSE;
}

CKDWORD QxFile::Read(void* buffer, CKDWORD size)
{
    if (!m_File || !buffer)
        return 0;
    return static_cast<CKDWORD>(std::fread(buffer, 1, size, m_File));
}

CKDWORD QxFile::Write(const void* buffer, CKDWORD size)
{
    if (!m_File || !buffer)
        return 0;
    return static_cast<CKDWORD>(std::fwrite(buffer, 1, size, m_File));
}

CKDWORD QxFile::ReadItems(void* buffer, CKDWORD itemSize, CKDWORD count)
{
    if (!m_File || !buffer)
        return 0;
    return static_cast<CKDWORD>(std::fread(buffer, itemSize, count, m_File));
}

CKBOOL QxFile::GetString(char* buffer, int size)
{
    if (!m_File || !buffer || size <= 0)
        return FALSE;
    return std::fgets(buffer, size, m_File) ? TRUE : FALSE;
}

int QxFile::Printf(const char* format, ...)
{
    if (!m_File || !format)
        return 0;
    va_list args;
    va_start(args, format);
    int result = std::vfprintf(m_File, format, args);
    va_end(args);
    return result;
}

int QxFile::Scanf(const char* format, ...)
{
    if (!m_File || !format)
        return 0;
    va_list args;
    va_start(args, format);
    int result = std::vfscanf(m_File, format, args);
    va_end(args);
    return result;
}

int QxFile::Flush()
{
    if (!m_File)
        return 0;
    return std::fflush(m_File);
}

CKBOOL QxFile::IsEof()
{
    if (!m_File)
        return FALSE;
    return std::feof(m_File) ? TRUE : FALSE;
}
