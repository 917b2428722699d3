#include "render/objects/pointcloud/CloudAttribute.h"

#include <cstring>

#include "includes/CKByteOrder.h"

// A value starts at byte (i x bits) / 8, shifted by (i x bits) mod 8, and
// covers at most 5 bytes (shift 7 + 32 bits); the data always holds them:
// its size rounds up past the last value by at least 31 bits.

CKDWORD CloudAttribute::GetNearEnd(size_t byte, int shift) const
{
    const size_t span = (size_t) (shift + Bits + 7) / 8;
    if (byte + span > Data.size())
        return 0;
    unsigned long long window = 0;
    for (size_t b = 0; b < span; ++b)
        window |= (unsigned long long) Data[byte + b] << (8 * b);
    return (CKDWORD) (window >> shift) & Mask;
}

void CloudAttribute::Set(int i, CKDWORD value)
{
    if (i < 0)
        return;
    const unsigned long long bit = (unsigned long long) i * (unsigned) Bits;
    const size_t byte = bit >> 3;
    const int shift = (int) (bit & 7);
    const size_t span = (size_t) (shift + Bits + 7) / 8;
    if (byte + span > Data.size())
        return;
    unsigned long long window = 0;
    for (size_t b = 0; b < span; ++b)
        window |= (unsigned long long) Data[byte + b] << (8 * b);
    const unsigned long long mask = (unsigned long long) MaskOf(Bits) << shift;
    window = (window & ~mask) | (((unsigned long long) value << shift) & mask);
    for (size_t b = 0; b < span; ++b)
        Data[byte + b] = (CKBYTE) (window >> (8 * b));
}

float CloudAttribute::GetFloat(int i) const
{
    if (i < 0 || (size_t) i * 4 + 4 > Data.size())
        return 0.0f;
    return LoadLEFloat(&Data[(size_t) i * 4]);
}

void CloudAttribute::SetFloat(int i, float value)
{
    if (i < 0 || (size_t) i * 4 + 4 > Data.size())
        return;
    StoreLEFloat(&Data[(size_t) i * 4], value);
}
