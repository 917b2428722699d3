#include "system/image/QxResampler.h"

#include <cstring>
#include <new>

#include "system/image/QxSpanConverters.h"

namespace {

constexpr int64_t kOne = 0x10000;

inline CKDWORD Lerp(CKDWORD a, CKDWORD b, CKDWORD f)
{
    const CKDWORD g = CKDWORD(kOne) - f;
    CKDWORD out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const CKDWORD ca = (a >> shift) & 0xFF;
        const CKDWORD cb = (b >> shift) & 0xFF;
        out |= ((ca * g + cb * f) >> 16) << shift;
    }
    return out;
}

inline void Accumulate(uint64_t* sum, CKDWORD p, uint64_t weight)
{
    sum[0] += uint64_t(p & 0xFF) * weight;
    sum[1] += uint64_t((p >> 8) & 0xFF) * weight;
    sum[2] += uint64_t((p >> 16) & 0xFF) * weight;
    sum[3] += uint64_t(p >> 24) * weight;
}

// A sum of weights totalling at most one step, times the inverse scale,
// rounded: never above 255 because step x scale <= 2^32.
inline CKDWORD Scale(const uint64_t* sum, int64_t scale)
{
    CKDWORD out = 0;
    for (int c = 0; c < 4; ++c)
        out |= CKDWORD((sum[c] * uint64_t(scale) + 0x80000000u) >> 32) << (8 * c);
    return out;
}

template <typename T>
bool Grow(std::unique_ptr<T[]>& buffer, size_t& capacity, size_t wanted)
{
    if (wanted <= capacity)
        return true;
    buffer.reset(new (std::nothrow) T[wanted]);
    capacity = buffer ? wanted : 0;
    return buffer != nullptr;
}

} // namespace

bool QxResampler::Setup(int srcWidth, int srcHeight, int dstWidth, int dstHeight)
{
    if (srcWidth < 1 || srcHeight < 1 || dstWidth < 1 || dstHeight < 1)
        return false;
    m_SrcWidth = srcWidth;
    m_SrcHeight = srcHeight;
    m_DstWidth = dstWidth;
    m_DstHeight = dstHeight;
    m_XStep = (int64_t(srcWidth) << 16) / dstWidth;
    m_XScale = (int64_t(dstWidth) << 16) / srcWidth;
    m_YStep = (int64_t(srcHeight) << 16) / dstHeight;
    m_YScale = (int64_t(dstHeight) << 16) / srcHeight;
    if (!Grow(m_Row, m_RowCapacity, size_t(srcWidth)) || !Grow(m_Row2, m_Row2Capacity, size_t(srcWidth)))
        return false;
    if (!Grow(m_Out, m_OutCapacity, size_t(dstWidth)))
        return false;
    if (dstHeight < srcHeight && !Grow(m_Sums, m_SumCapacity, size_t(srcWidth) * 4))
        return false;
    return true;
}

void QxResampler::LoadLine(const CKBYTE* line, CKDWORD* out) const
{
    for (int x = 0; x < m_SrcWidth; ++x)
        out[x] = QxReadPixel<4>(line + size_t(x) * 4);
}

void QxResampler::Horizontal(const CKDWORD* in, CKDWORD* out) const
{
    if (m_DstWidth == m_SrcWidth) {
        std::memcpy(out, in, size_t(m_SrcWidth) * sizeof(CKDWORD));
        return;
    }
    if (m_DstWidth > m_SrcWidth) {
        const int64_t limit = int64_t(m_SrcWidth - 1) << 16;
        int64_t pos = 0;
        int x = 0;
        for (; x < m_DstWidth && pos < limit; ++x, pos += m_XStep) {
            const int64_t s = pos >> 16;
            out[x] = Lerp(in[s], in[s + 1], CKDWORD(pos & 0xFFFF));
        }
        for (; x < m_DstWidth; ++x)
            out[x] = in[m_SrcWidth - 1];
        return;
    }
    int64_t pos = 0;
    for (int x = 0; x < m_DstWidth; ++x, pos += m_XStep) {
        const int64_t end = pos + m_XStep;
        const int64_t s0 = pos >> 16;
        const int64_t s1 = end >> 16;
        const int64_t f1 = end & 0xFFFF;
        uint64_t sum[4] = {};
        Accumulate(sum, in[s0], uint64_t(kOne - (pos & 0xFFFF)));
        for (int64_t s = s0 + 1; s < s1; ++s)
            Accumulate(sum, in[s], uint64_t(kOne));
        if (f1 != 0 && s1 < m_SrcWidth)
            Accumulate(sum, in[s1], uint64_t(f1));
        out[x] = Scale(sum, m_XScale);
    }
}

const CKDWORD* QxResampler::ResampleLine(const CKBYTE* src, ptrdiff_t srcPitch, int y)
{
    CKDWORD* row = m_Row.get();
    if (m_DstHeight == m_SrcHeight) {
        LoadLine(src + ptrdiff_t(y) * srcPitch, row);
    } else if (m_DstHeight > m_SrcHeight) {
        const int64_t pos = int64_t(y) * m_YStep;
        if (pos < (int64_t(m_SrcHeight - 1) << 16)) {
            const int64_t s = pos >> 16;
            const CKDWORD f = CKDWORD(pos & 0xFFFF);
            CKDWORD* next = m_Row2.get();
            LoadLine(src + ptrdiff_t(s) * srcPitch, row);
            LoadLine(src + ptrdiff_t(s + 1) * srcPitch, next);
            for (int x = 0; x < m_SrcWidth; ++x)
                row[x] = Lerp(row[x], next[x], f);
        } else {
            LoadLine(src + ptrdiff_t(m_SrcHeight - 1) * srcPitch, row);
        }
    } else {
        const int64_t pos = int64_t(y) * m_YStep;
        const int64_t end = pos + m_YStep;
        const int64_t s0 = pos >> 16;
        const int64_t s1 = end >> 16;
        const int64_t f1 = end & 0xFFFF;
        uint64_t* sums = m_Sums.get();
        std::memset(sums, 0, size_t(m_SrcWidth) * 4 * sizeof(uint64_t));
        auto addLine = [&](int64_t line, uint64_t weight) {
            const CKBYTE* p = src + ptrdiff_t(line) * srcPitch;
            for (int x = 0; x < m_SrcWidth; ++x)
                Accumulate(sums + size_t(x) * 4, QxReadPixel<4>(p + size_t(x) * 4), weight);
        };
        addLine(s0, uint64_t(kOne - (pos & 0xFFFF)));
        for (int64_t s = s0 + 1; s < s1; ++s)
            addLine(s, uint64_t(kOne));
        if (f1 != 0 && s1 < m_SrcHeight)
            addLine(s1, uint64_t(f1));
        for (int x = 0; x < m_SrcWidth; ++x)
            row[x] = Scale(sums + size_t(x) * 4, m_YScale);
    }
    Horizontal(row, m_Out.get());
    return m_Out.get();
}
