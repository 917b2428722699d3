#pragma once

#include <bit>
#include <cstring>
#include <vector>

#include "includes/CKTypes.h"
#include "includes/XString.h"

// Types of cloud attributes.
enum : int
{
    CLOUD_ATTRIBUTE_INTEGER = 0, // packed unsigned values of 1 to 32 bits
    CLOUD_ATTRIBUTE_FLOAT = 1,   // 32-bit floats
};

// Attribute flags.
enum : CKDWORD
{
    CLOUD_ATTRIBUTE_BUILTIN = 0x1,
    CLOUD_ATTRIBUTE_DRAWN = 0x4, // a change of its values asks for the drawing data again
};

// What AddAttribute and SetAttributeDescription take.
struct CloudAttributeDesc
{
    int Type = CLOUD_ATTRIBUTE_INTEGER;
    XString Name;
    int Bits = 0; // 0 means 32
    CKDWORD Flags = 0;
};

// One per-point attribute of a cloud: values packed without gaps, value i
// starting at bit i x bits of the data (little-endian); a float attribute
// is 32 bits a value. Values of any width, 26 to 31 bits included, are read
// and written whole, reaching into a fifth byte where they must.
struct CloudAttribute
{
    int Type = CLOUD_ATTRIBUTE_INTEGER;
    XString Name;
    int Bits = 32;
    CKDWORD Flags = 0;
    int Enabled = 0;
    CKDWORD Mask = 0xFFFFFFFF;
    std::vector<CKBYTE> Data;

    // (1 << bits) - 1, all ones for 32.
    static CKDWORD MaskOf(int bits) { return bits >= 32 ? 0xFFFFFFFF : (1u << bits) - 1u; }
    // (count x bits + 31) / 8.
    static size_t ByteSize(int count, int bits) { return ((size_t) count * (size_t) bits + 31) / 8; }
    size_t ByteSizeFor(int count) const { return ByteSize(count, Bits); }

    // The packed value at i (0 beyond the data).
    CKDWORD Get(int i) const
    {
        if (i < 0)
            return 0;
        const unsigned long long bit = (unsigned long long) i * (unsigned) Bits;
        const size_t byte = bit >> 3;
        if (byte + 8 <= Data.size()) {
            unsigned long long window;
            std::memcpy(&window, &Data[byte], 8);
            if constexpr (std::endian::native == std::endian::big)
                window = __builtin_bswap64(window);
            return (CKDWORD) (window >> (bit & 7)) & Mask;
        }
        return GetNearEnd(byte, (int) (bit & 7));
    }
    // Replaces the packed value at i with the value's low bits (nothing
    // beyond the data): a wider value never spills into its neighbour.
    void Set(int i, CKDWORD value);
    float GetFloat(int i) const;
    void SetFloat(int i, float value);

private:
    // Get for a value whose eight-byte window passes the end of the data.
    CKDWORD GetNearEnd(size_t byte, int shift) const;
};
