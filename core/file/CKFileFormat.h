#pragma once

#include "core/file/CKFile.h"
#include "includes/CKTypes.h"

// The byte layout of engine files: a 64-byte header in two parts, the header
// data (object descriptors, plug-in dependencies, included-file table), the
// data (manager and object records holding serialised state chunks), then
// the included files. All numbers are 32-bit little-endian words.

constexpr int CK_FILE_HEADER_PART_SIZE = 32;
constexpr int CK_FILE_HEADER_SIZE = 64;
constexpr char CK_FILE_SIGNATURE[8] = {'D', 'o', 'r', 'n', ' ', 'F', 'i', 0};
constexpr CKDWORD CK_FILE_ENGINE_VERSION = 0x07032008;
// Written by this engine; 9 is the newest read.
constexpr CKDWORD CK_FILE_VERSION_WRITTEN = 8;
constexpr CKDWORD CK_FILE_VERSION_NEWEST = 9;
// Named version thresholds of older layouts.
constexpr CKDWORD CK_FILE_VERSION_HEADERDATA = 8;  // packed header data, dependencies, included files
constexpr CKDWORD CK_FILE_VERSION_DESCRIPTORS = 7; // object descriptors in the header data
constexpr CKDWORD CK_FILE_VERSION_MANAGERS = 6;    // manager records in the data
constexpr CKDWORD CK_FILE_VERSION_PART1 = 5;       // header part 1 present
constexpr CKDWORD CK_FILE_VERSION_OLDEST = 4;      // the oldest read
constexpr CKDWORD CK_FILE_PRODUCT_BUILD = 0x04001000;
// The plug-in that always counts as present.
constexpr CKGUID CK_FILE_ALWAYS_PRESENT_PLUGIN(0x511928D5, 0x536A4D32);
// Marker of the thumbnail trailer, and the included file holding it.
constexpr CKGUID CK_THUMBNAIL_GUID(0x53800EA4, 0x65D47D2D);
constexpr const char* CK_THUMBNAIL_NAME = "zkthumbnail.jpg";
constexpr int CK_THUMBNAIL_TRAILER_SIZE = 20;
constexpr int CK_THUMBNAIL_SIDE = 128;
// Bit 31 of a descriptor's id: the object is saved as a reference only.
constexpr CK_ID CK_FILE_REFERENCE_BIT = 0x80000000u;

// Writes both header parts (64 bytes) from the values.
void CKWriteFileHeader(const CKFileInfo& info, CKBYTE out[CK_FILE_HEADER_SIZE]);
// Reads part 0 into info (checksum, engine and file version, save options,
// header-data stored size); returns the reserved word.
CKDWORD CKReadFileHeaderPart0(const CKBYTE in[CK_FILE_HEADER_PART_SIZE], CKFileInfo& info);
// Reads part 1 into info.
void CKReadFileHeaderPart1(const CKBYTE in[CK_FILE_HEADER_PART_SIZE], CKFileInfo& info);
// True when the first four bytes are "Dorn".
bool CKHasFileSignature(const void* bytes, int size);

// Padding bytes that end the descriptor block of L bytes.
inline int CKDescriptorPadding(int64_t blockBytes)
{
    return (int) ((4 - blockBytes % 4) % 4);
}
