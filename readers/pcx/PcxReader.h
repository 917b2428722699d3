#pragma once

#include "readers/common/BufferedImageReader.h"

// ZSoft PCX, read only: SaveFile and SaveMemory give 0. Its record (148
// bytes) adds a bit depth (default 24) and a run-length flag (default 0),
// which no save uses. The image's colour map belongs to the reader, like its
// pixels.
class PcxReader : public BufferedImageReader
{
public:
    static constexpr CKDWORD kPropertiesSize = 148;
    static constexpr int kBitDepthWord = 0;
    static constexpr int kRleWord = 1;

    PcxReader();

    CKPluginInfo* GetReaderInfo() override;
    int GetOptionsCount() override { return 2; }
    const char* GetOptionDescription(int index) override;
    CKDWORD GetFlags() override { return CK_DATAREADER_FILELOAD | CK_DATAREADER_MEMORYLOAD; }
    // A PCX record with bit depth 32.
    CKBOOL IsAlphaSaved(const CKBitmapProperties* properties) override;

    static CKBitmapProperties DefaultProperties();
};
