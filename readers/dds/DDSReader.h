#pragma once

#include "readers/common/ImageReaderBase.h"

// DirectDraw Surface images: the top-level image of a file, read and saved
// through the platform's surface layer. Its record (144 bytes) adds the
// surface format to save in (default 21, A8R8G8B8; the DXT formats by their
// four-character codes). A read converts the file to the surface format that
// the record's current pixel format saves as (A8R8G8B8 when it has none), so
// the defaults decide what a read gives.
class DDSReader : public ImageReaderBase
{
public:
    static constexpr CKDWORD kPropertiesSize = 144;
    static constexpr int kFormatWord = 0;

    // ReadFile and ReadMemory results.
    static constexpr int kReadNullArgument = 1;
    static constexpr int kReadFailed = 2;
    // SaveFile's result when the pixels cannot be converted.
    static constexpr int kSaveConversionFailed = 2;

    DDSReader();

    CKPluginInfo* GetReaderInfo() override;
    // The plug-in record for index 0, null otherwise (the plug-in's info
    // getter).
    static CKPluginInfo* GetReaderInfo(int index);
    int GetOptionsCount() override { return 1; }
    const char* GetOptionDescription(int index) override;
    // True for a record of another size; else false for the formats without
    // alpha (R8G8B8, X8R8G8B8, R5G6B5, X1R5G5B5, R3G3B2).
    CKBOOL IsAlphaSaved(const CKBitmapProperties* properties) override;
    // 0 on success; 1 for null arguments; 2 for a file that cannot be read,
    // parsed or converted.
    int ReadFile(const char* name, CKBitmapProperties** out) override;
    int ReadMemory(const void* memory, CKDWORD size, CKBitmapProperties** out) override;
    // The file's size (at least 128) on success; 0 for null arguments, a
    // format that has no surface, or a file that cannot be written; 2 when
    // the pixels cannot be converted.
    int SaveFile(const char* name, const CKBitmapProperties* properties) override;

    static CKBitmapProperties DefaultProperties();

protected:
    int EncodeImage(const CKBitmapProperties& p, CKBYTE** block) override;
};
