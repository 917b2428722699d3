#pragma once

#include <cstddef>

#include "readers/common/ImageReaderBase.h"

// TIFF through libtiff. Its record (144 bytes) adds the compression to save
// with: 1 none or 32773 PackBits (default).
class TiffReader : public ImageReaderBase
{
public:
    static constexpr CKDWORD kPropertiesSize = 144;
    static constexpr int kCompressionWord = 0;

    TiffReader();

    CKPluginInfo* GetReaderInfo() override;
    // The plug-in record for index 0, null otherwise (the plug-in's info
    // getter).
    static CKPluginInfo* GetReaderInfo(int index);
    int GetOptionsCount() override { return 1; }
    const char* GetOptionDescription(int index) override;
    CKBOOL IsAlphaSaved(const CKBitmapProperties*) override { return FALSE; }
    // 32-bit pixels, bytes R, G, B, A, lines top-down. 0 on success, -1 on
    // failure.
    int ReadFile(const char* name, CKBitmapProperties** out) override;
    // The same from memory; 1 on failure.
    int ReadMemory(const void* memory, CKDWORD size, CKBitmapProperties** out) override;
    // Note the inverted result: 0 on success, 1 on failure.
    int SaveFile(const char* name, const CKBitmapProperties* properties) override;

    static CKBitmapProperties DefaultProperties();

protected:
    int EncodeImage(const CKBitmapProperties& p, CKBYTE** block) override;

private:
    // Decodes the named file or the memory into the embedded record; false
    // on failure.
    bool Decode(const char* name, const CKBYTE* data, size_t size, CKBitmapProperties** out);
};
