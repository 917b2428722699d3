#include "readers/png/PngReaderPlugin.h"

#include "core/context/CKPluginInfo.h"
#include "readers/common/ReaderPluginInfo.h"
#include "readers/png/PngReader.h"

CKPluginInfo* CKGetPngPluginInfo(int index)
{
    static CKPluginInfo info =
        ReaderMakePluginInfo(CKGUID(0x02d45c7b, 0x4aac16ec), "Png", "Portable Network Graphics", "PNG");
    return index == 0 ? &info : nullptr;
}

CKDataReader* CKGetPngReader(int index)
{
    return index == 0 ? new PngReader : nullptr;
}

CKPluginInfo* PngReader::GetReaderInfo()
{
    return CKGetPngPluginInfo(0);
}

CKPluginInfo* PngReader::GetReaderInfo(int index)
{
    return CKGetPngPluginInfo(index);
}
