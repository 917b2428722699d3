#include "core/context/CKFunctions.h"

#include <cstring>
#include <new>
#include <zlib.h>

#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/object/CKObject.h"
#include "core/object/CKObjectIDList.h"
#include "system/io/CKPathSplitter.h"
#include "system/memory/QxMemoryManager.h"

CKObject* CKGetObject(CKContext* context, CK_ID id)
{
    return context ? context->GetObject(id) : nullptr;
}

void CKDestroyObject(CKObject* object, CKDWORD flags)
{
    if (object && object->GetCKContext())
        object->GetCKContext()->DestroyObject(object, flags, nullptr);
}

CKObjectIDList* CKCreateIdList()
{
    return new CKObjectIDList;
}

void CKDeleteIdList(CKObjectIDList* list)
{
    delete list;
}

char* CKPackData(const char* data, int size, int& packedSize, int compressionLevel)
{
    if (!data || size <= 0)
        return nullptr;
    char* work = new (std::nothrow) char[(size_t) size];
    if (!work)
        return nullptr;
    uLongf destLength = (uLongf) size;
    int rc = compress2(reinterpret_cast<Bytef*>(work), &destLength, reinterpret_cast<const Bytef*>(data), (uLong) size,
                       compressionLevel);
    if (rc != Z_OK || destLength >= (uLongf) size) {
        delete[] work;
        return nullptr;
    }
    char* result = new (std::nothrow) char[destLength];
    if (result) {
        std::memcpy(result, work, destLength);
        packedSize = (int) destLength;
    }
    delete[] work;
    return result;
}

char* CKUnPackData(int unpackedSize, const char* packedData, int packedSize)
{
    if (unpackedSize <= 0 || !packedData || packedSize <= 0)
        return nullptr;
    char* result = new (std::nothrow) char[(size_t) unpackedSize];
    if (!result)
        return nullptr;
    uLongf destLength = (uLongf) unpackedSize;
    int rc = uncompress(reinterpret_cast<Bytef*>(result), &destLength, reinterpret_cast<const Bytef*>(packedData),
                        (uLong) packedSize);
    if (rc != Z_OK || destLength != (uLongf) unpackedSize) {
        delete[] result;
        return nullptr;
    }
    return result;
}

CKDWORD CKComputeDataCRC(const char* data, int size, CKDWORD previous)
{
    if (!data || size <= 0)
        return previous;
    return (CKDWORD) adler32((uLong) previous, reinterpret_cast<const Bytef*>(data), (uInt) size);
}

char* CKStrdup(const char* text)
{
    return text ? QxGetMemoryManager()->DuplicateString(text) : nullptr;
}

char* CKStrndup(const char* text, int count)
{
    if (!text || count < 0)
        return nullptr;
    size_t n = strnlen(text, (size_t) count);
    char* copy = static_cast<char*>(QxGetMemoryManager()->Allocate(n + 1));
    if (!copy)
        return nullptr;
    std::memcpy(copy, text, n);
    copy[n] = 0;
    return copy;
}

void CKFreeString(char* text)
{
    if (text)
        QxGetMemoryManager()->Free(text);
}

void* CKCopySizedRecord(const void* record)
{
    if (!record)
        return nullptr;
    CKDWORD size;
    std::memcpy(&size, record, sizeof(size));
    if (size < 1 || size > 255)
        return nullptr;
    char* copy = new (std::nothrow) char[size];
    if (copy)
        std::memcpy(copy, record, size);
    return copy;
}

const char* CKGetFileNameFromPath(XString& path)
{
    if (!path.IsEmpty()) {
        CKPathSplitter splitter(path.CStr());
        XString name(splitter.GetName());
        name += splitter.GetExtension();
        path = name;
    }
    return path.CStr();
}

CKStateChunk* CKSaveObjectState(CKObject* object, CKDWORD flags)
{
    if (!object)
        return nullptr;
    CKStateChunk* chunk = object->Save(nullptr, flags);
    if (chunk)
        chunk->CloseChunk();
    return chunk;
}

CKERROR CKReadObjectState(CKObject* object, CKStateChunk* chunk)
{
    if (!object)
        return CKErr::InvalidParameter;
    return object->Load(chunk, nullptr);
}
