#pragma once

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

// A writer of the DCT plane stream and a simple encoder for it (the engine
// only decodes), so that the decoder can be checked on hand-built bit
// strings and on round trips, and fed seeds when fuzzed.

class TextureBitWriter
{
public:
    // Stream bit n is bit (n mod 8) of byte n / 8.
    void PutBit(int bit)
    {
        if (m_Bits % 8 == 0)
            m_Bytes.push_back(0);
        if (bit)
            m_Bytes.back() |= (uint8_t) (1u << (m_Bits % 8));
        ++m_Bits;
    }
    // Fixed fields: least significant bit first.
    void PutField(uint32_t value, int bits)
    {
        for (int k = 0; k < bits; ++k)
            PutBit((value >> k) & 1);
    }
    // Codes: most significant bit first.
    void PutCode(uint32_t value, int bits)
    {
        for (int k = bits - 1; k >= 0; --k)
            PutBit((value >> k) & 1);
    }
    void PutHeader(int quality, uint32_t width, uint32_t height)
    {
        PutField((uint32_t) quality, 8);
        PutField(width, 32);
        PutField(height, 32);
    }
    // A run of `count` zeros (1..16) as one zero-run code.
    void PutZeroRun(int count)
    {
        PutCode(0, 2);
        PutCode((uint32_t) (count - 1), 4);
    }
    // A non-zero value of magnitude below 1024.
    void PutValue(int value)
    {
        int magnitude = std::abs(value);
        int s = 0;
        while ((1 << s) <= magnitude)
            ++s;
        if (s <= 2) {
            PutCode(1, 2);
            PutCode((uint32_t) (s - 1), 1);
        } else if (s <= 6) {
            PutCode(2, 2);
            PutCode((uint32_t) (s - 3), 2);
        } else {
            PutCode(3, 2);
            PutCode((uint32_t) (s - 7), 2);
        }
        uint32_t code = value > 0 ? (uint32_t) value : (uint32_t) (value + (1 << s) - 1);
        PutCode(code, s);
    }

    const std::vector<uint8_t>& Bytes() const { return m_Bytes; }
    size_t BitCount() const { return m_Bits; }

private:
    std::vector<uint8_t> m_Bytes;
    size_t m_Bits = 0;
};

// Encodes a plane with the codec's own tables: forward DCT of each 8 x 8
// block (edges repeated), quantised by rounding, coefficients in zigzag
// order with zero runs that may continue into the next block.
inline std::vector<uint8_t> EncodeTexturePlane(const uint8_t* plane, int width, int height, int quality)
{
    // clang-format off
    static const int base[8][8] = {
        {16, 11, 10, 16, 24, 40, 51, 61},     {12, 12, 14, 19, 26, 58, 60, 55},
        {14, 13, 16, 24, 40, 57, 69, 56},     {14, 17, 22, 29, 51, 87, 80, 62},
        {18, 22, 37, 56, 68, 109, 103, 77},   {24, 35, 55, 64, 81, 104, 113, 92},
        {49, 64, 78, 87, 103, 121, 120, 101}, {72, 92, 95, 98, 112, 100, 103, 99},
    };
    // clang-format on
    static const int zigzag[64] = {
        0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
        41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
        30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63,
    };
    int quant[64];
    for (int i = 0; i < 64; ++i) {
        int b = base[i / 8][i % 8];
        int v = b + b * (50 - quality) / 50;
        quant[i] = v == 0 ? 1 : v;
    }
    double c[8][8];
    const double pi = 4.0 * std::atan(1.0);
    for (int u = 0; u < 8; ++u)
        for (int x = 0; x < 8; ++x)
            c[u][x] = u == 0 ? 1.0 / std::sqrt(8.0) : 0.5 * std::cos((2 * x + 1) * u * pi / 16.0);

    TextureBitWriter w;
    w.PutHeader(quality, (uint32_t) width, (uint32_t) height);
    int pendingZeros = 0;
    auto flushZeros = [&]() {
        while (pendingZeros > 0) {
            int n = pendingZeros > 16 ? 16 : pendingZeros;
            w.PutZeroRun(n);
            pendingZeros -= n;
        }
    };
    for (int by = 0; by < height; by += 8)
        for (int bx = 0; bx < width; bx += 8) {
            double p[8][8];
            for (int y = 0; y < 8; ++y)
                for (int x = 0; x < 8; ++x) {
                    int sy = by + y < height ? by + y : height - 1;
                    int sx = bx + x < width ? bx + x : width - 1;
                    p[y][x] = plane[sy * width + sx] - 128.0;
                }
            int coeff[64];
            for (int u = 0; u < 8; ++u)
                for (int v = 0; v < 8; ++v) {
                    double s = 0.0;
                    for (int y = 0; y < 8; ++y)
                        for (int x = 0; x < 8; ++x)
                            s += c[u][y] * c[v][x] * p[y][x];
                    int q = (int) std::lround(s / quant[u * 8 + v]);
                    coeff[u * 8 + v] = q > 1023 ? 1023 : (q < -1023 ? -1023 : q);
                }
            for (int i = 0; i < 64; ++i) {
                int v = coeff[zigzag[i]];
                if (v == 0) {
                    ++pendingZeros;
                    continue;
                }
                flushZeros();
                w.PutValue(v);
            }
        }
    flushZeros();
    return w.Bytes();
}
