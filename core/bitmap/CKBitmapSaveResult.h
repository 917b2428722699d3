#pragma once

#include "includes/CKTypes.h"

// Plug-in GUIDs of the readers whose SaveFile results differ.
constexpr CKGUID CKBMP_READER_GUID(0x614a243f, 0x437b3343);
constexpr CKGUID CKTGA_READER_GUID(0xbca97223, 0x48578bca);
constexpr CKGUID CKPCX_READER_GUID(0x585c7216, 0x33302657);
constexpr CKGUID CKJPG_READER_GUID(0x4ae51ac4, 0x04587d76);
constexpr CKGUID CKPNG_READER_GUID(0x02d45c7b, 0x4aac16ec);
constexpr CKGUID CKTIF_READER_GUID(0x1c9165c2, 0x177a7391);
constexpr CKGUID CKDDS_READER_GUID(0x338a39dd, 0x5d0d31b5);

// Whether a reader's SaveFile result means the file was written. Each reader
// has its own convention: BMP and TGA give the byte count (0 and 5 are
// failures), DDS the byte count (at least 128), JPEG and PNG 1, TIFF 0, and
// PCX never writes; any other reader is taken to give 0 on failure.
CKBOOL CKIsBitmapSaved(CKGUID reader, int result);
