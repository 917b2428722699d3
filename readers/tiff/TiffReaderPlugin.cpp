#include "readers/tiff/TiffReaderPlugin.h"

#include "core/context/CKPluginInfo.h"
#include "readers/common/ReaderPluginInfo.h"
#include "readers/tiff/TiffReader.h"

CKPluginInfo* CKGetTiffPluginInfo(int index)
{
    static CKPluginInfo info =
        ReaderMakePluginInfo(CKGUID(0x1c9165c2, 0x177a7391), "Tif", "Tagged-Image File Format", "TIFF");
    return index == 0 ? &info : nullptr;
}

CKDataReader* CKGetTiffReader(int index)
{
    return index == 0 ? new TiffReader : nullptr;
}

CKPluginInfo* TiffReader::GetReaderInfo()
{
    return CKGetTiffPluginInfo(0);
}

CKPluginInfo* TiffReader::GetReaderInfo(int index)
{
    return CKGetTiffPluginInfo(index);
}
