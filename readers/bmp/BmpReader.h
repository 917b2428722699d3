#pragma once

#include "readers/common/BufferedImageReader.h"

// Windows bitmaps. Its record (144 bytes) adds one word, the bit depth to
// save with: 8, 9 (8 bits, RLE8), 16, 24 (default) or 32.
class BmpReader : public BufferedImageReader
{
public:
    static constexpr CKDWORD kPropertiesSize = 144;
    static constexpr int kBitDepthWord = 0;

    BmpReader();

    CKPluginInfo* GetReaderInfo() override;
    int GetOptionsCount() override { return 1; }
    const char* GetOptionDescription(int index) override;
    // Only a BMP record with bit depth 32.
    CKBOOL IsAlphaSaved(const CKBitmapProperties* properties) override;

    static CKBitmapProperties DefaultProperties();

protected:
    int EncodeImage(const CKBitmapProperties& p, CKBYTE** block) override;
};
