#include "readers/dds/DDSReaderPlugin.h"

#include "core/context/CKPluginInfo.h"
#include "readers/common/ReaderPluginInfo.h"
#include "readers/dds/DDSReader.h"

CKPluginInfo* CKGetDdsPluginInfo(int index)
{
    static CKPluginInfo info =
        ReaderMakePluginInfo(CKGUID(0x338a39dd, 0x5d0d31b5), "Dds", "Direct Draw Surface", "Direct Draw Surface");
    return index == 0 ? &info : nullptr;
}

CKDataReader* CKGetDdsReader(int index)
{
    return index == 0 ? new DDSReader : nullptr;
}

CKPluginInfo* DDSReader::GetReaderInfo()
{
    return CKGetDdsPluginInfo(0);
}

CKPluginInfo* DDSReader::GetReaderInfo(int index)
{
    return CKGetDdsPluginInfo(index);
}
