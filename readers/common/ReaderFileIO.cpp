#include "readers/common/ReaderFileIO.h"

#include <cstdio>
#include <string>

#include "includes/XString.h"
#include "platform/PlatformPaths.h"
#include "system/io/QxFile.h"

bool ReaderReadWholeFile(const char* name, XArray<CKBYTE>& bytes)
{
    bytes.Clear();
    if (!name)
        return false;
    QxFile file;
    if (!file.Open(name, QX_FILE_READ))
        return false;
    const CKDWORD size = file.GetSize();
    if (size >= 0x80000000u)
        return false;
    bytes.Resize((int) size);
    if (size != 0 && file.Read(bytes.Begin(), size) != size) {
        bytes.Clear();
        return false;
    }
    return true;
}

bool ReaderWriteWholeFile(const char* name, const void* data, size_t size)
{
    if (!name || (!data && size != 0))
        return false;
    XString cleaned(name);
    cleaned.MakeValidFileName();
    const std::string target = PlatformNativePath(cleaned.CStr());
    const std::string temporary = target + ".tmp~";
    FILE* f = PlatformOpenFile(temporary.c_str(), "wb");
    if (!f)
        return false;
    bool ok = size == 0 || std::fwrite(data, 1, size, f) == size;
    ok = std::fclose(f) == 0 && ok;
    if (ok)
        ok = std::rename(temporary.c_str(), target.c_str()) == 0;
    if (!ok)
        std::remove(temporary.c_str());
    return ok;
}
