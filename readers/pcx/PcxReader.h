#pragma once

#include "readers/common/ImageReaderBase.h"

// ZSoft PCX, read only. Its record (148 bytes) adds a bit depth (default
// 24) and a run-length flag (default 0), which no save uses.
class PcxReader : public ImageReaderBase
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
    // 0 on success; 1 null arguments, 2 unreadable file, 3 invalid or
    // unsupported image, 4 file shorter than its headers announce. The
    // image's colour map belongs to the reader, like its pixels.
    int ReadFile(const char* name, CKBitmapProperties** out) override;
    int ReadMemory(const void* memory, CKDWORD size, CKBitmapProperties** out) override;
    // Nothing is written: 0.
    int SaveFile(const char* name, const CKBitmapProperties* properties) override;
    int SaveMemory(void** out, const CKBitmapProperties* properties) override;

    static CKBitmapProperties DefaultProperties();
};
