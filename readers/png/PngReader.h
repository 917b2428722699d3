#pragma once

#include "readers/common/ImageReaderBase.h"

struct PngFileInfo;

// PNG through libpng. Its record (160 bytes) adds five words: compression
// level (0..9, default 3), filters (1 Sub, 2 Up, 4 Average, 8 Paeth;
// default 8), bit depth (1, 2, 4, 8 or 24; default 24), options (1
// grayscale, 2 alpha channel; default 2) and interlace (0 none, 1 Adam7).
class PngReader : public ImageReaderBase
{
public:
    static constexpr CKDWORD kPropertiesSize = 160;
    static constexpr int kCompressionWord = 0;
    static constexpr int kFilterWord = 1;
    static constexpr int kBitDepthWord = 2;
    static constexpr int kOptionsWord = 3;
    static constexpr int kInterlaceWord = 4;

    PngReader();

    CKPluginInfo* GetReaderInfo() override;
    // The plug-in record for index 0, null otherwise (the plug-in's info
    // getter).
    static CKPluginInfo* GetReaderInfo(int index);
    int GetOptionsCount() override { return 4; }
    const char* GetOptionDescription(int index) override;
    // By the record's words (the defaults for a record of another size):
    // the alpha option with bit depth 24, or the alpha and grayscale options
    // with bit depth 8.
    CKBOOL IsAlphaSaved(const CKBitmapProperties* properties) override;
    // A record of another size also gives its description's bits per pixel
    // as the bit depth.
    void SetBitmapDefaultProperties(const CKBitmapProperties* properties) override;
    // 32-bit ARGB pixels; the record's interlace word becomes the file's, a
    // grey file sets the bit depth to 8, a colour one to 24 (an RGBA one also
    // sets the alpha option). 0 on success, -1 on failure.
    int ReadFile(const char* name, CKBitmapProperties** out) override;
    int ReadMemory(const void* memory, CKDWORD size, CKBitmapProperties** out) override;
    // The properties over the defaults (a record of another size gives its
    // bits per pixel as the bit depth, and a depth above 24 becomes 24).
    // 1 on success, 0 on failure. SaveMemory takes the properties over the
    // defaults by the base-record rule only.
    int SaveFile(const char* name, const CKBitmapProperties* properties) override;

    static CKBitmapProperties DefaultProperties();

protected:
    int EncodeImage(const CKBitmapProperties& p, CKBYTE** block) override;

private:
    int FinishRead(bool ok, DecodedImage& image, const PngFileInfo& info, CKBitmapProperties** out);
};
