#include "core/CKFileFormat.h"

#include <cstring>

#include "includes/CKByteOrder.h"

static_assert(sizeof(CK_FILE_SIGNATURE) == 8);
static_assert(CK_FILE_HEADER_SIZE == 2 * CK_FILE_HEADER_PART_SIZE);
static_assert(CK_THUMBNAIL_TRAILER_SIZE == 4 + 4 + 4 + 8);

void CKWriteFileHeader(const CKFileInfo& info, CKBYTE out[CK_FILE_HEADER_SIZE])
{
    std::memcpy(out, CK_FILE_SIGNATURE, 8);
    StoreLE32(out + 8, info.Crc);
    StoreLE32(out + 12, info.CKVersion);
    StoreLE32(out + 16, info.FileVersion);
    StoreLE32(out + 20, 0);
    StoreLE32(out + 24, info.FileWriteMode);
    StoreLE32(out + 28, info.Hdr1PackSize);
    CKBYTE* p1 = out + CK_FILE_HEADER_PART_SIZE;
    StoreLE32(p1 + 0, info.DataPackSize);
    StoreLE32(p1 + 4, info.DataUnPackSize);
    StoreLE32(p1 + 8, info.ManagerCount);
    StoreLE32(p1 + 12, info.ObjectCount);
    StoreLE32(p1 + 16, info.MaxIDSaved);
    StoreLE32(p1 + 20, info.ProductVersion);
    StoreLE32(p1 + 24, info.ProductBuild);
    StoreLE32(p1 + 28, info.Hdr1UnPackSize);
}

CKDWORD CKReadFileHeaderPart0(const CKBYTE in[CK_FILE_HEADER_PART_SIZE], CKFileInfo& info)
{
    info.Crc = LoadLE32(in + 8);
    info.CKVersion = LoadLE32(in + 12);
    info.FileVersion = LoadLE32(in + 16);
    info.FileWriteMode = LoadLE32(in + 24);
    info.Hdr1PackSize = LoadLE32(in + 28);
    return LoadLE32(in + 20);
}

void CKReadFileHeaderPart1(const CKBYTE in[CK_FILE_HEADER_PART_SIZE], CKFileInfo& info)
{
    info.DataPackSize = LoadLE32(in + 0);
    info.DataUnPackSize = LoadLE32(in + 4);
    info.ManagerCount = LoadLE32(in + 8);
    info.ObjectCount = LoadLE32(in + 12);
    info.MaxIDSaved = LoadLE32(in + 16);
    info.ProductVersion = LoadLE32(in + 20);
    info.ProductBuild = LoadLE32(in + 24);
    info.Hdr1UnPackSize = LoadLE32(in + 28);
}

bool CKHasFileSignature(const void* bytes, int size)
{
    return bytes && size >= 4 && std::memcmp(bytes, CK_FILE_SIGNATURE, 4) == 0;
}
