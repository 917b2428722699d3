#include "readers/avi/AVIReaderPlugin.h"

#include "core/context/CKPluginInfo.h"
#include "readers/avi/AVIReader.h"
#include "readers/common/ReaderPluginInfo.h"

CKPluginInfo* CKGetAviPluginInfo(int index)
{
    static CKPluginInfo info =
        ReaderMakeMoviePluginInfo(CKGUID(0x67541bfe, 0x75e510c0), "Avi", "Win32 AVI Movie Reader", "AVI Reader");
    return index == 0 ? &info : nullptr;
}

CKDataReader* CKGetAviReader(int index)
{
    return index == 0 ? new AVIReader : nullptr;
}

CKPluginInfo* AVIReader::GetReaderInfo()
{
    return CKGetAviPluginInfo(0);
}

CKPluginInfo* AVIReader::GetReaderInfo(int index)
{
    return CKGetAviPluginInfo(index);
}
