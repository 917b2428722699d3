#pragma once

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
    void FinishRead(bool grayscale);
};
