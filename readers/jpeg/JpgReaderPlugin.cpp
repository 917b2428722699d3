#include "readers/jpeg/JpgReaderPlugin.h"

#include "core/context/CKPluginInfo.h"
#include "readers/common/ReaderPluginInfo.h"
#include "readers/jpeg/JpgReader.h"

CKPluginInfo* CKGetJpgPluginInfo(int index)
{
    static CKPluginInfo info =
        ReaderMakePluginInfo(CKGUID(0x4ae51ac4, 0x04587d76), "Jpg", "Joint Photographic Experts Group", "JPEG");
    return index == 0 ? &info : nullptr;
}

CKDataReader* CKGetJpgReader(int index)
{
    return index == 0 ? new JpgReader : nullptr;
}

CKPluginInfo* JpgReader::GetReaderInfo()
{
    return CKGetJpgPluginInfo(0);
}

CKPluginInfo* JpgReader::GetReaderInfo(int index)
{
    return CKGetJpgPluginInfo(index);
}
