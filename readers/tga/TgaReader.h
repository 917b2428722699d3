#pragma once

#include "readers/common/ImageReaderBase.h"

// Truevision Targa. Its record (148 bytes) adds the bit depth to save with
// (16, 24, 32 (default) or 64 for 8-bit greyscale) and the run-length flag
// (default 0).
class TgaReader : public ImageReaderBase
{
public:
    static constexpr CKDWORD kPropertiesSize = 148;
    static constexpr int kBitDepthWord = 0;
    static constexpr int kRleWord = 1;

    TgaReader();

    CKPluginInfo* GetReaderInfo() override;
    int GetOptionsCount() override { return 2; }
    const char* GetOptionDescription(int index) override;
    CKDWORD GetFlags() override
    {
        return CK_DATAREADER_FILELOAD | CK_DATAREADER_FILESAVE | CK_DATAREADER_MEMORYLOAD | CK_DATAREADER_MEMORYSAVE;
    }
    // A TGA record with bit depth 32; TRUE for a record of any other size.
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
