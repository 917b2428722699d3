#pragma once

// Results of the BMP, TGA and PCX readers' ReadFile and ReadMemory.
enum ImageReaderResult
{
    IMAGEREADER_OK = 0,
    IMAGEREADER_NULLARGUMENT = 1,
    IMAGEREADER_CANNOTREAD = 2, // the file cannot be opened or read
    IMAGEREADER_INVALID = 3,    // invalid or unsupported image
    IMAGEREADER_SHORTFILE = 4,  // shorter than its headers announce
};

// Result of the BMP and TGA writers' SaveFile when the file cannot be
// opened or written (0 is an invalid image, anything else the byte count).
constexpr int IMAGEWRITER_CANNOTWRITE = 5;
