#pragma once

#include <cstddef>

#include "readers/common/ImageReaderBase.h"

// The readers of the Image Reader plug-in (BMP, TGA, PCX): a file is read
// whole into memory and decoded from there, with the results of
// ImageReaderResults.h.
class BufferedImageReader : public ImageReaderBase
{
public:
    // Decodes a whole image in memory: IMAGEREADER_OK or the failure result.
    using MemoryDecoder = int (*)(const CKBYTE* data, size_t size, DecodedImage& out);

    // tag names the format in log lines ("BMP"); it and decode outlive the
    // reader.
    BufferedImageReader(const CKBitmapProperties& defaults, const char* tag, MemoryDecoder decode);

    // 0 on success; 1 null arguments, 2 unreadable file, 3 invalid or
    // unsupported image, 4 file shorter than its headers announce.
    int ReadFile(const char* name, CKBitmapProperties** out) override;
    int ReadMemory(const void* memory, CKDWORD size, CKBitmapProperties** out) override;
    // The file size; 0 for null arguments or an image that cannot be saved
    // with the record (always, for a reader that does not save); 5 when the
    // file cannot be written.
    int SaveFile(const char* name, const CKBitmapProperties* properties) override;

private:
    const char* m_Tag;
    MemoryDecoder m_Decode;
};
