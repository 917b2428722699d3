#include "readers/imagereader/ImageReaderPlugin.h"

#include "core/context/CKPluginInfo.h"
#include "core/context/CKPluginManager.h"
#include "readers/bmp/BmpReader.h"
#include "readers/common/ReaderPluginInfo.h"
#include "readers/pcx/PcxReader.h"
#include "readers/tga/TgaReader.h"

CKPluginInfo* CKGetImageReaderPluginInfo(int index)
{
    static CKPluginInfo bmp =
        ReaderMakePluginInfo(CKGUID(0x614a243f, 0x437b3343), "Bmp", "Windows Bitmap", "Windows Bitmap");
    static CKPluginInfo tga = ReaderMakePluginInfo(CKGUID(0xbca97223, 0x48578bca), "Tga", "Truevision Targa", "Targa");
    static CKPluginInfo pcx = ReaderMakePluginInfo(CKGUID(0x585c7216, 0x33302657), "Pcx", "ZSoft PCX", "PCX");
    switch (index) {
    case 0: return &bmp;
    case 1: return &tga;
    case 2: return &pcx;
    default: return nullptr;
    }
}

CKDataReader* CKGetImageReader(int index)
{
    switch (index) {
    case 0: return new BmpReader;
    case 1: return new TgaReader;
    case 2: return new PcxReader;
    default: return nullptr;
    }
}

void RegisterImageReaderPlugin(CKPluginManager* manager)
{
    if (!manager)
        return;
    for (int i = 0; i < 3; ++i)
        manager->RegisterPlugin(i, CKGetImageReaderPluginInfo(i), nullptr, CKGetImageReader);
    manager->AddStaticDll("Image Reader", 3);
}

CKPluginInfo* BmpReader::GetReaderInfo()
{
    return CKGetImageReaderPluginInfo(0);
}

CKPluginInfo* TgaReader::GetReaderInfo()
{
    return CKGetImageReaderPluginInfo(1);
}

CKPluginInfo* PcxReader::GetReaderInfo()
{
    return CKGetImageReaderPluginInfo(2);
}
