#pragma once

#include "readers/common/BufferedImageReader.h"

// Truevision Targa. Its record (148 bytes) adds the bit depth to save with
// (16, 24, 32 (default) or 64 for 8-bit greyscale) and the run-length flag
// (default 0).
class TgaReader : public BufferedImageReader
{
public:
    static constexpr CKDWORD kPropertiesSize = 148;
    static constexpr int kBitDepthWord = 0;
    static constexpr int kRleWord = 1;

    TgaReader();

    CKPluginInfo* GetReaderInfo() override;
    int GetOptionsCount() override { return 2; }
    const char* GetOptionDescription(int index) override;
    // A TGA record with bit depth 32; TRUE for a record of any other size.
    CKBOOL IsAlphaSaved(const CKBitmapProperties* properties) override;

    static CKBitmapProperties DefaultProperties();

protected:
    int EncodeImage(const CKBitmapProperties& p, CKBYTE** block) override;
};
