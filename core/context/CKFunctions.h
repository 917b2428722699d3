#pragma once

#include "includes/CKTypes.h"
#include "includes/XString.h"

class CKContext;
class CKObject;
class CKObjectIDList;

// Thin engine-wide helpers.

// The object of that id in the context; null for none.
CKObject* CKGetObject(CKContext* context, CK_ID id);
// Destroys the object through its own context; nothing for null.
void CKDestroyObject(CKObject* object, CKDWORD flags = 0);

CKObjectIDList* CKCreateIdList();
void CKDeleteIdList(CKObjectIDList* list);

// zlib compress2 at the level into a block of exactly the packed size (free
// with delete[]); null on failure or when the data does not shrink.
char* CKPackData(const char* data, int size, int& packedSize, int compressionLevel);
// A block of unpackedSize bytes (free with delete[]); null on failure,
// including inflated data of another size.
char* CKUnPackData(int unpackedSize, const char* packedData, int packedSize);
// Adler-32 of the data, continuing previous.
CKDWORD CKComputeDataCRC(const char* data, int size, CKDWORD previous = 0);

// Copies in the engine's string allocator; null gives null. Free with
// CKFreeString.
char* CKStrdup(const char* text);
// At most count characters, always terminated.
char* CKStrndup(const char* text, int count);
void CKFreeString(char* text);

// A copy of a record whose first 32-bit word is its own size in bytes (free
// with delete[]); null for null or a size outside 1..255.
void* CKCopySizedRecord(const void* record);
inline CKDWORD CKReturnArgument(CKDWORD value)
{
    return value;
}
// Replaces a non-empty path by its file name and extension; returns the text.
const char* CKGetFileNameFromPath(XString& path);

class CKStateChunk;
// The object's Save into a new chunk with no file, closed; null for a null
// object or when Save gives none.
CKStateChunk* CKSaveObjectState(CKObject* object, CKDWORD flags = 0xFFFFFFFF);
// The object's Load from the chunk with no file; -1 for a null object.
CKERROR CKReadObjectState(CKObject* object, CKStateChunk* chunk);
