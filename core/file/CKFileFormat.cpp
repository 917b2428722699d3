#include "core/file/CKFileFormat.h"

#include <cstring>

#include "includes/CKByteOrder.h"

static_assert(sizeof(CK_FILE_SIGNATURE) == 8);
static_assert(CK_FILE_HEADER_SIZE == 2 * CK_FILE_HEADER_PART_SIZE);
static_assert(CK_THUMBNAIL_TRAILER_SIZE == 4 + 4 + 4 + 8);

namespace {

// The header fields of each part as (byte offset in the part, value);
// reading and writing walk the same table. Part 0 also holds the signature
// (0) and the reserved word (20), handled apart.
struct HeaderField
{
    int Offset;
    CKDWORD CKFileInfo::*Value;
};

constexpr HeaderField kPart0[] = {
    {8, &CKFileInfo::Crc},           {12, &CKFileInfo::CKVersion},
    {16, &CKFileInfo::FileVersion},  {24, &CKFileInfo::FileWriteMode},
    {28, &CKFileInfo::Hdr1PackSize},
};
constexpr HeaderField kPart1[] = {
    {0, &CKFileInfo::DataPackSize},  {4, &CKFileInfo::DataUnPackSize},  {8, &CKFileInfo::ManagerCount},
    {12, &CKFileInfo::ObjectCount},  {16, &CKFileInfo::MaxIDSaved},     {20, &CKFileInfo::ProductVersion},
    {24, &CKFileInfo::ProductBuild}, {28, &CKFileInfo::Hdr1UnPackSize},
};
constexpr int kReservedOffset = 20;

template <size_t N>
void StoreFields(const HeaderField (&fields)[N], const CKFileInfo& info, CKBYTE* part)
{
    for (const HeaderField& field : fields)
        StoreLE32(part + field.Offset, info.*field.Value);
}

template <size_t N>
void LoadFields(const HeaderField (&fields)[N], const CKBYTE* part, CKFileInfo& info)
{
    for (const HeaderField& field : fields)
        info.*field.Value = LoadLE32(part + field.Offset);
}

} // namespace

void CKWriteFileHeader(const CKFileInfo& info, CKBYTE out[CK_FILE_HEADER_SIZE])
{
    std::memcpy(out, CK_FILE_SIGNATURE, 8);
    StoreLE32(out + kReservedOffset, 0);
    StoreFields(kPart0, info, out);
    StoreFields(kPart1, info, out + CK_FILE_HEADER_PART_SIZE);
}

CKDWORD CKReadFileHeaderPart0(const CKBYTE in[CK_FILE_HEADER_PART_SIZE], CKFileInfo& info)
{
    LoadFields(kPart0, in, info);
    return LoadLE32(in + kReservedOffset);
}

void CKReadFileHeaderPart1(const CKBYTE in[CK_FILE_HEADER_PART_SIZE], CKFileInfo& info)
{
    LoadFields(kPart1, in, info);
}

bool CKHasFileSignature(const void* bytes, int size)
{
    return bytes && size >= 4 && std::memcmp(bytes, CK_FILE_SIGNATURE, 4) == 0;
}
