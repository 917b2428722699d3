#include "core/file/CKFileChecksum.h"

#include <cstdint>
#include <zlib.h>

#include "system/runtime/QxProcessor.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define CK_CHECKSUM_AVX2 1
#endif

namespace {

constexpr uint32_t kBase = 65521;
// Most bytes summed before the sums must be reduced (zlib's NMAX) so that the
// second sum stays within 32 bits, rounded down to whole 32-byte blocks.
constexpr size_t kBlockRun = 5552 / 32 * 32;

// zlib for what the vector path does not take: short runs, and starting
// sums that are not reduced (whose result only zlib itself defines).
CKDWORD Zlib(CKDWORD previous, const CKBYTE* p, size_t n)
{
    uLong sum = previous;
    while (n > 0) {
        uInt piece = n > 0x40000000u ? 0x40000000u : (uInt) n;
        sum = adler32(sum, p, piece);
        p += piece;
        n -= piece;
    }
    return (CKDWORD) sum;
}

#ifdef CK_CHECKSUM_AVX2

__attribute__((target("avx2"))) uint32_t HorizontalSum(__m256i v)
{
    __m128i s = _mm_add_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
    s = _mm_add_epi32(s, _mm_shuffle_epi32(s, 0x4E));
    s = _mm_add_epi32(s, _mm_shuffle_epi32(s, 0xB1));
    return (uint32_t) _mm_cvtsi128_si32(s);
}

// Per 32-byte block b[0..31]: s1 grows by the sum of the bytes, s2 by 32
// times s1 before the block plus the sum of (32 - i) x b[i].
__attribute__((target("avx2"))) CKDWORD Avx2(CKDWORD previous, const CKBYTE* p, size_t n)
{
    uint32_t s1 = previous & 0xFFFF;
    uint32_t s2 = previous >> 16;
    const __m256i weights = _mm256_setr_epi8(32, 31, 30, 29, 28, 27, 26, 25, 24, 23, 22, 21, 20, 19, 18, 17, 16, 15, 14,
                                             13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1);
    const __m256i ones = _mm256_set1_epi16(1);
    const __m256i zero = _mm256_setzero_si256();
    while (n >= 32) {
        size_t run = n < kBlockRun ? n / 32 * 32 : kBlockRun;
        n -= run;
        __m256i v1 = _mm256_zextsi128_si256(_mm_cvtsi32_si128((int) s1));
        __m256i v2 = _mm256_zextsi128_si256(_mm_cvtsi32_si128((int) s2));
        __m256i prefix = zero; // the sum of s1 before each block
        for (; run > 0; run -= 32, p += 32) {
            __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
            prefix = _mm256_add_epi32(prefix, v1);
            v1 = _mm256_add_epi32(v1, _mm256_sad_epu8(bytes, zero));
            v2 = _mm256_add_epi32(v2, _mm256_madd_epi16(_mm256_maddubs_epi16(bytes, weights), ones));
        }
        v2 = _mm256_add_epi32(v2, _mm256_slli_epi32(prefix, 5));
        s1 = HorizontalSum(v1) % kBase;
        s2 = HorizontalSum(v2) % kBase;
    }
    while (n-- > 0) {
        s1 += *p++;
        s2 += s1;
    }
    return (CKDWORD) ((s2 % kBase) << 16 | (s1 % kBase));
}

#endif

} // namespace

CKDWORD CKFileChecksum(CKDWORD previous, const void* bytes, size_t n)
{
    const CKBYTE* p = static_cast<const CKBYTE*>(bytes);
    if (n < 64) {
        // Size words and small chunks come one by one: a plain loop, which
        // gives zlib's value for any starting sums at these lengths.
        uint32_t s1 = previous & 0xFFFF;
        uint32_t s2 = previous >> 16;
        for (size_t i = 0; i < n; ++i) {
            s1 += p[i];
            s2 += s1;
        }
        return (CKDWORD) ((s2 % kBase) << 16 | (s1 % kBase));
    }
#ifdef CK_CHECKSUM_AVX2
    if ((previous & 0xFFFF) < kBase && (previous >> 16) < kBase && QxProcessorHasAvx2())
        return Avx2(previous, p, n);
#endif
    return Zlib(previous, p, n);
}

CKDWORD CKFileChecksumCombine(CKDWORD first, CKDWORD second, uint64_t secondLength)
{
    // Summing B after A adds B's byte sum to the first sum, and to the second
    // sum B's own second sum plus the first sum of A once per byte of B.
    uint64_t a1 = first & 0xFFFF, a2 = first >> 16;
    uint64_t b1 = second & 0xFFFF, b2 = second >> 16;
    uint64_t s1 = (a1 + b1) % kBase;
    uint64_t s2 = (a2 + b2 + (secondLength % kBase) * a1) % kBase;
    return (CKDWORD) (s2 << 16 | s1);
}
