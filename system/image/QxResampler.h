#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "includes/CKTypes.h"

// Separable resampling of 32-bit pixels (four 8-bit channels, each filtered
// alone) in 16.16 fixed point: linear interpolation when enlarging, a box
// filter with partial edge weights when shrinking. All sums are 64-bit, so no
// size overflows them.
class QxResampler
{
public:
    QxResampler() = default;
    QxResampler(const QxResampler&) = delete;
    QxResampler& operator=(const QxResampler&) = delete;

    // Prepares a resampling from srcWidth x srcHeight to dstWidth x dstHeight.
    // False when a size is below 1 or the work lines cannot be allocated.
    bool Setup(int srcWidth, int srcHeight, int dstWidth, int dstHeight);

    // Destination line y (0 <= y < dstHeight) from the source image whose
    // first line is at `src`, lines `srcPitch` bytes apart (pixels read as
    // little-endian words at any alignment). Returns dstWidth pixels, valid
    // until the next call.
    const CKDWORD* ResampleLine(const CKBYTE* src, ptrdiff_t srcPitch, int y);

    // Bytes held by the work lines, which grow to the largest sizes set up.
    size_t GetWorkBytes() const
    {
        return (m_RowCapacity + m_Row2Capacity + m_OutCapacity) * sizeof(CKDWORD) + m_SumCapacity * sizeof(uint64_t);
    }

private:
    void LoadLine(const CKBYTE* line, CKDWORD* out) const;
    void Horizontal(const CKDWORD* in, CKDWORD* out) const;

    int m_SrcWidth = 0;
    int m_SrcHeight = 0;
    int m_DstWidth = 0;
    int m_DstHeight = 0;
    int64_t m_XStep = 0;
    int64_t m_XScale = 0;
    int64_t m_YStep = 0;
    int64_t m_YScale = 0;
    size_t m_RowCapacity = 0;
    size_t m_Row2Capacity = 0;
    size_t m_OutCapacity = 0;
    size_t m_SumCapacity = 0;
    std::unique_ptr<CKDWORD[]> m_Row;   // source width: the line after the vertical step
    std::unique_ptr<CKDWORD[]> m_Row2;  // source width: the second line of an interpolation
    std::unique_ptr<CKDWORD[]> m_Out;   // destination width
    std::unique_ptr<uint64_t[]> m_Sums; // source width x 4 channels: vertical box sums
};
