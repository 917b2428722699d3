#include "core/bitmap/CKTextureCodec.h"

#include <cmath>
#include <cstring>

#include "core/bitmap/CKBitmapReader.h"
#include "core/bitmap/CKTextureBitReader.h"

// ITU-T T.81 Annex K, Table K.1 (luminance), row by row.
// clang-format off
static const int kBaseQuant[8][8] = {
    {16, 11, 10, 16, 24, 40, 51, 61},
    {12, 12, 14, 19, 26, 58, 60, 55},
    {14, 13, 16, 24, 40, 57, 69, 56},
    {14, 17, 22, 29, 51, 87, 80, 62},
    {18, 22, 37, 56, 68, 109, 103, 77},
    {24, 35, 55, 64, 81, 104, 113, 92},
    {49, 64, 78, 87, 103, 121, 120, 101},
    {72, 92, 95, 98, 112, 100, 103, 99},
};
// clang-format on

// JPEG zigzag order as (row, column) pairs.
// clang-format off
static const CKBYTE kZigzag[64][2] = {
    {0, 0}, {0, 1}, {1, 0}, {2, 0}, {1, 1}, {0, 2}, {0, 3}, {1, 2},
    {2, 1}, {3, 0}, {4, 0}, {3, 1}, {2, 2}, {1, 3}, {0, 4}, {0, 5},
    {1, 4}, {2, 3}, {3, 2}, {4, 1}, {5, 0}, {6, 0}, {5, 1}, {4, 2},
    {3, 3}, {2, 4}, {1, 5}, {0, 6}, {0, 7}, {1, 6}, {2, 5}, {3, 4},
    {4, 3}, {5, 2}, {6, 1}, {7, 0}, {7, 1}, {6, 2}, {5, 3}, {4, 4},
    {3, 5}, {2, 6}, {1, 7}, {2, 7}, {3, 6}, {4, 5}, {5, 4}, {6, 3},
    {7, 2}, {7, 3}, {6, 4}, {5, 5}, {4, 6}, {3, 7}, {4, 7}, {5, 6},
    {6, 5}, {7, 4}, {7, 5}, {6, 6}, {5, 7}, {6, 7}, {7, 6}, {7, 7},
};
// clang-format on

// Header: quality, width and height fields.
static constexpr CKDWORD kFirstCodeBit = 72;
// A 2-bit code 0 and its 4-bit count give at most 16 coefficients for 6
// bits, the densest code there is: a block needs at least 24 bits.
static constexpr unsigned long long kMinBitsPerBlock = 24;

CKTextureCodec::CKTextureCodec()
{
    BuildTables(50);
}

void CKTextureCodec::BuildTables(int quality)
{
    const int q = quality & 0xFF;
    for (int r = 0; r < 8; ++r)
        for (int c = 0; c < 8; ++c) {
            const int base = kBaseQuant[r][c];
            int v = base + base * (50 - q) / 50;
            m_Quant[r][c] = v == 0 ? 1 : v;
        }
    const double pi = 4.0 * std::atan(1.0);
    for (int x = 0; x < 8; ++x)
        m_Cos[0][x] = 1.0 / std::sqrt(8.0);
    for (int u = 1; u < 8; ++u)
        for (int x = 0; x < 8; ++x)
            m_Cos[u][x] = 0.5 * std::cos((2 * x + 1) * u * pi / 16.0);
    for (int u = 0; u < 8; ++u)
        for (int x = 0; x < 8; ++x)
            m_CosT[x][u] = m_Cos[u][x];
    m_ZeroRun = 0;
}

int CKTextureCodec::DecodeCoefficient(CKTextureBitReader& bits)
{
    if (m_ZeroRun > 0) {
        --m_ZeroRun;
        return 0;
    }
    const int c = (int) bits.ReadCode(2);
    int s;
    if (c == 0) {
        m_ZeroRun = (int) bits.ReadCode(4);
        return 0;
    }
    if (c == 1)
        s = (int) bits.ReadCode(1) + 1;
    else
        s = (int) bits.ReadCode(2) + 4 * c - 5;
    const int v = (int) bits.ReadCode(s);
    if ((v & (1 << (s - 1))) == 0)
        return v - (1 << s) + 1;
    return v;
}

void CKTextureCodec::DecodeBlock(CKTextureBitReader& bits, CKBYTE out[64])
{
    double f[8][8] = {};
    for (int i = 0; i < 64; ++i) {
        const int r = kZigzag[i][0];
        const int c = kZigzag[i][1];
        f[r][c] = (double) DecodeCoefficient(bits) * m_Quant[r][c];
    }
    // t[u][x] = sum over v of F[u][v] C[v][x]
    double t[8][8];
    for (int u = 0; u < 8; ++u)
        for (int x = 0; x < 8; ++x) {
            double s = 0.0;
            for (int v = 0; v < 8; ++v)
                s += f[u][v] * m_Cos[v][x];
            t[u][x] = s;
        }
    // p[y][x] = sum over u of C[u][y] t[u][x] + 128
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            double s = 0.0;
            for (int u = 0; u < 8; ++u)
                s += m_CosT[y][u] * t[u][x];
            const double p = s + 128.0;
            CKBYTE b;
            if (p < 0.0)
                b = 0;
            else if (p > 255.0)
                b = 255;
            else
                b = (CKBYTE) (int) (p + 0.5);
            out[y * 8 + x] = b;
        }
}

CKDWORD CKTextureCodec::Decode(const void* data, CKDWORD size, CKBYTE** plane, int* width, int* height)
{
    if (plane)
        *plane = nullptr;
    if (width)
        *width = 0;
    if (height)
        *height = 0;
    if (!plane || !data)
        return 0;
    CKTextureBitReader bits(data, size);
    const CKDWORD quality = bits.ReadField8(0);
    const CKDWORD w = bits.ReadField32(8);
    const CKDWORD h = bits.ReadField32(40);
    if (!bits.Ok() || bits.GetBitCount() < kFirstCodeBit)
        return 0;
    if (!CKIsValidImageSize((int32_t) w, (int32_t) h))
        return 0;
    const unsigned long long blocks = (unsigned long long) ((w + 7) / 8) * ((h + 7) / 8);
    if ((unsigned long long) (bits.GetBitCount() - kFirstCodeBit) < blocks * kMinBitsPerBlock)
        return 0;

    CKBYTE* out = static_cast<CKBYTE*>(CKReaderAllocate((size_t) w * h));
    if (!out)
        return 0;
    BuildTables((int) quality);
    bits.SetCursor(kFirstCodeBit);
    CKBYTE block[64];
    for (CKDWORD y = 0; y < h; y += 8) {
        for (CKDWORD x = 0; x < w; x += 8) {
            DecodeBlock(bits, block);
            if (!bits.Ok()) {
                CKReaderFree(out);
                return 0;
            }
            const CKDWORD rows = h - y < 8 ? h - y : 8;
            const CKDWORD cols = w - x < 8 ? w - x : 8;
            for (CKDWORD r = 0; r < rows; ++r)
                std::memcpy(out + (size_t) (y + r) * w + x, block + r * 8, cols);
        }
    }
    *plane = out;
    if (width)
        *width = (int) w;
    if (height)
        *height = (int) h;
    return w * h;
}

CKDWORD CKTextureCodecDecode(CKTextureCodec* codec, const void* data, CKDWORD size, CKBYTE** plane, int* width,
                             int* height)
{
    if (codec)
        return codec->Decode(data, size, plane, width, height);
    CKTextureCodec local;
    return local.Decode(data, size, plane, width, height);
}
