#pragma once

#include <cstddef>
#include <cstdio>

#include "readers/common/ImageReaderBase.h"

// JPEG through libjpeg. Its record (152 bytes) adds the quality (float,
// default 0.75), the smoothing (float, default 0) and option bits (1
// optimize coding, 2 grayscale, 4 baseline; default 5).
class JpgReader : public ImageReaderBase
{
public:
    static constexpr CKDWORD kPropertiesSize = 152;
    static constexpr int kQualityWord = 0;
    static constexpr int kSmoothingWord = 1;
    static constexpr int kOptionsWord = 2;

    JpgReader();

    CKPluginInfo* GetReaderInfo() override;
    // The plug-in record for index 0, null otherwise (the plug-in's info
    // getter).
    static CKPluginInfo* GetReaderInfo(int index);
    int GetOptionsCount() override { return 3; }
    const char* GetOptionDescription(int index) override;
    CKBOOL IsAlphaSaved(const CKBitmapProperties*) override { return FALSE; }
    // 24-bit R, G, B pixels; a grey image sets option bit 2 of the record,
    // a colour one clears it. 0 on success, -1 on failure.
    int ReadFile(const char* name, CKBitmapProperties** out) override;
    // The same from memory; 1 on failure.
    int ReadMemory(const void* memory, CKDWORD size, CKBitmapProperties** out) override;
    // 1 on success, 0 on failure.
    int SaveFile(const char* name, const CKBitmapProperties* properties) override;

    static CKBitmapProperties DefaultProperties();

protected:
    int EncodeImage(const CKBitmapProperties& p, CKBYTE** block) override;

private:
    // Decodes from the file or memory into the embedded record (option bit
    // 2 set for a grey image, cleared for a colour one); false on failure.
    bool Decode(FILE* file, const CKBYTE* data, size_t size, CKBitmapProperties** out);
};
