#include "core/bitmap/CKBitmapSaveResult.h"

namespace {

// Results of the BMP and TGA writers that are not byte counts: an invalid
// image (0) and a file that cannot be written (5); no file of theirs is as
// short as 5 bytes.
constexpr int kLastImageWriterFailure = 5;
// The DDS signature and header come before any pixel.
constexpr int kSmallestDdsFile = 128;

} // namespace

CKBOOL CKIsBitmapSaved(CKGUID reader, int result)
{
    if (reader == CKBMP_READER_GUID || reader == CKTGA_READER_GUID)
        return result > kLastImageWriterFailure;
    if (reader == CKDDS_READER_GUID)
        return result >= kSmallestDdsFile;
    if (reader == CKJPG_READER_GUID || reader == CKPNG_READER_GUID)
        return result == 1;
    if (reader == CKTIF_READER_GUID)
        return result == 0;
    if (reader == CKPCX_READER_GUID)
        return FALSE;
    return result != 0;
}
