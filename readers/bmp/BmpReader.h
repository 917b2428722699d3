#pragma once

#include "readers/common/ImageReaderBase.h"

// Windows bitmaps. Its record (144 bytes) adds one word, the bit depth to
// save with: 8, 9 (8 bits, RLE8), 16, 24 (default) or 32.
class BmpReader : public ImageReaderBase
{
public:
    static constexpr CKDWORD kPropertiesSize = 144;
    static constexpr int kBitDepthWord = 0;

    BmpReader();

    CKPluginInfo* GetReaderInfo() override;
    int GetOptionsCount() override { return 1; }
    const char* GetOptionDescription(int index) override;
    CKDWORD GetFlags() override
    {
        return CK_DATAREADER_FILELOAD | CK_DATAREADER_FILESAVE | CK_DATAREADER_MEMORYLOAD | CK_DATAREADER_MEMORYSAVE;
    }
    // Only a BMP record with bit depth 32.
    CKBOOL IsAlphaSaved(const CKBitmapProperties* properties) override;
    // 0 on success; 1 null arguments, 2 unreadable file, 3 invalid or
    // unsupported image, 4 file shorter than its headers announce.
    int ReadFile(const char* name, CKBitmapProperties** out) override;
    int ReadMemory(const void* memory, CKDWORD size, CKBitmapProperties** out) override;
    // The file size; 0 for null arguments or an image that cannot be saved
    // with the bit depth; 5 when the file cannot be written.
    int SaveFile(const char* name, const CKBitmapProperties* properties) override;
    int SaveMemory(void** out, const CKBitmapProperties* properties) override;

    static CKBitmapProperties DefaultProperties();
};
