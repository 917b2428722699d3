#pragma once

#include <iterator>

#include "core/file/CKFile.h"
#include "includes/CKByteOrder.h"
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

// The header data is written and read field by field through the cursors
// of CKByteOrder.h. Its records of 32-bit words are described once, as
// tables of their fields in file order, which both directions walk.

// An object descriptor; its name's characters follow (name length bytes,
// no terminating zero).
struct CKFileDescriptor
{
    CKDWORD ObjectID = 0; // bit 31: saved as a reference only
    CKDWORD ClassID = 0;
    CKDWORD DataOffset = 0;
    CKDWORD NameLength = 0; // the last descriptor's counts the block's padding
};
// The head of a plug-in dependency entry; GuidCount GUIDs follow.
struct CKFileDependencyHead
{
    CKDWORD Category = 0;
    CKDWORD GuidCount = 0;
};
// The bytes of the included-file table after its size word: the count.
constexpr CKDWORD CK_FILE_INCLUDED_TABLE_SIZE = 4;

// The word fields of a record, in file order.
template <class Record>
struct CKFileWords;
template <>
struct CKFileWords<CKFileDescriptor>
{
    static constexpr CKDWORD CKFileDescriptor::*Fields[] = {&CKFileDescriptor::ObjectID, &CKFileDescriptor::ClassID,
                                                            &CKFileDescriptor::DataOffset,
                                                            &CKFileDescriptor::NameLength};
};
template <>
struct CKFileWords<CKFileDependencyHead>
{
    static constexpr CKDWORD CKFileDependencyHead::*Fields[] = {&CKFileDependencyHead::Category,
                                                                &CKFileDependencyHead::GuidCount};
};
template <>
struct CKFileWords<CKGUID>
{
    static constexpr CKDWORD CKGUID::*Fields[] = {&CKGUID::d1, &CKGUID::d2};
};

// Bytes of a record in the file.
template <class Record>
constexpr int CKFileWordBytes = 4 * (int) std::size(CKFileWords<Record>::Fields);

// Reads a record word by word; false (reader failed, missing words zeroed)
// when it passes the end.
template <class Record>
bool CKReadFileWords(ByteReader& reader, Record& record)
{
    for (CKDWORD Record::*field : CKFileWords<Record>::Fields)
        reader.Read32(record.*field);
    return reader.Ok();
}

// Writes a record word by word; false (writer failed) when it passes the end.
template <class Record>
bool CKWriteFileWords(ByteWriter& writer, const Record& record)
{
    for (CKDWORD Record::*field : CKFileWords<Record>::Fields)
        writer.Write32(record.*field);
    return writer.Ok();
}

// Padding bytes that end the descriptor block of L bytes.
inline int CKDescriptorPadding(int64_t blockBytes)
{
    return (int) ((4 - blockBytes % 4) % 4);
}
