#include "readers/common/ReaderDataCoverage.h"

#include "readers/common/ReaderLog.h"

bool ReaderDataMayDescribeImage(const char* tag, unsigned long long decodedBytes, unsigned long long pixels,
                                unsigned long long describablePixels)
{
    if (decodedBytes <= READER_LARGE_IMAGE_BYTES)
        return true;
    const unsigned long long least = (pixels + READER_LEAST_DESCRIBED_PART - 1) / READER_LEAST_DESCRIBED_PART;
    if (describablePixels >= least)
        return true;
    ReaderLogError("%s: %llu MB image whose data could describe at most %llu of its %llu pixels", tag,
                   decodedBytes >> 20, describablePixels, pixels);
    return false;
}

unsigned long long ReaderSaturatingProduct(unsigned long long a, unsigned long long b)
{
    if (a != 0 && b > READER_ANY_PIXEL_COUNT / a)
        return READER_ANY_PIXEL_COUNT;
    return a * b;
}
