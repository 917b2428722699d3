#include "system/math/QxTransformPoints.h"

#include "platform/PlatformAssert.h"
#include "system/math/QxFloat4.h"

namespace {

using Byte = unsigned char;

// The rows are kept in registers across the whole array; each lane computes
// x·m[0][j] + y·m[1][j] + z·m[2][j] (+ m[3][j]) in that order, exactly the
// single-vector routines.
template <bool Translate, int OutFloats>
void TransformLoop(Byte* d, CKDWORD ds, const Byte* s, CKDWORD ss, const QxMatrix& m, int count)
{
    const QxFloat4 r0 = QxLoadFloat4(m[0]);
    const QxFloat4 r1 = QxLoadFloat4(m[1]);
    const QxFloat4 r2 = QxLoadFloat4(m[2]);
    const QxFloat4 r3 = QxLoadFloat4(m[3]);
    for (int i = 0; i < count; ++i, d += ds, s += ss) {
        float x, y, z;
        std::memcpy(&x, s, 4);
        std::memcpy(&y, s + 4, 4);
        std::memcpy(&z, s + 8, 4);
        QxFloat4 v = x * r0 + y * r1 + z * r2;
        if constexpr (Translate)
            v = v + r3;
        if constexpr (OutFloats == 4)
            QxStoreFloat4(d, v);
        else
            QxStoreFloat3(d, v);
    }
}

// Packed points (stride 12): four points are three 16-byte words. They are
// regrouped into x, y and z lanes, transformed lane-wise with the very same
// operations in the same order, and regrouped back, so every result is bit for
// bit the one of the per-point loop.
template <bool Translate>
int TransformPacked(Byte* d, const Byte* s, const QxMatrix& m, int count)
{
    const QxFloat4 m00 = QxSplat(m[0][0]), m01 = QxSplat(m[0][1]), m02 = QxSplat(m[0][2]);
    const QxFloat4 m10 = QxSplat(m[1][0]), m11 = QxSplat(m[1][1]), m12 = QxSplat(m[1][2]);
    const QxFloat4 m20 = QxSplat(m[2][0]), m21 = QxSplat(m[2][1]), m22 = QxSplat(m[2][2]);
    const QxFloat4 m30 = QxSplat(m[3][0]), m31 = QxSplat(m[3][1]), m32 = QxSplat(m[3][2]);
    int done = 0;
    for (; done + 4 <= count; done += 4, d += 48, s += 48) {
        const QxFloat4 v0 = QxLoadFloat4(s);      // x0 y0 z0 x1
        const QxFloat4 v1 = QxLoadFloat4(s + 16); // y1 z1 x2 y2
        const QxFloat4 v2 = QxLoadFloat4(s + 32); // z2 x3 y3 z3
        // Each shuffle takes two lanes of its first operand and two of its
        // second, which one SSE2 instruction does.
        const QxFloat4 x = __builtin_shufflevector(v0, __builtin_shufflevector(v1, v2, 2, 2, 5, 5), 0, 3, 4, 6);
        const QxFloat4 y = __builtin_shufflevector(__builtin_shufflevector(v0, v1, 1, 1, 4, 4),
                                                   __builtin_shufflevector(v1, v2, 3, 3, 6, 6), 0, 2, 4, 6);
        const QxFloat4 z = __builtin_shufflevector(__builtin_shufflevector(v0, v1, 2, 2, 5, 5), v2, 0, 2, 4, 7);
        QxFloat4 ox = x * m00 + y * m10 + z * m20;
        QxFloat4 oy = x * m01 + y * m11 + z * m21;
        QxFloat4 oz = x * m02 + y * m12 + z * m22;
        if constexpr (Translate) {
            ox = ox + m30;
            oy = oy + m31;
            oz = oz + m32;
        }
        const QxFloat4 o0 = __builtin_shufflevector(__builtin_shufflevector(ox, oy, 0, 0, 4, 4),
                                                    __builtin_shufflevector(oz, ox, 0, 0, 5, 5), 0, 2, 4, 6);
        const QxFloat4 o1 = __builtin_shufflevector(__builtin_shufflevector(oy, oz, 1, 1, 5, 5),
                                                    __builtin_shufflevector(ox, oy, 2, 2, 6, 6), 0, 2, 4, 6);
        const QxFloat4 o2 = __builtin_shufflevector(__builtin_shufflevector(oz, ox, 2, 2, 7, 7),
                                                    __builtin_shufflevector(oy, oz, 3, 3, 7, 7), 0, 2, 4, 6);
        QxStoreFloat4(d, o0);
        QxStoreFloat4(d + 16, o1);
        QxStoreFloat4(d + 32, o2);
    }
    return done;
}

template <bool Translate, int OutFloats>
void Transform(Byte* d, CKDWORD ds, const Byte* s, CKDWORD ss, const QxMatrix& m, int count)
{
    if constexpr (OutFloats == 3) {
        if (ds == 12 && ss == 12) {
            const int done = TransformPacked<Translate>(d, s, m, count);
            d += size_t(done) * 12;
            s += size_t(done) * 12;
            count -= done;
        }
    }
    TransformLoop<Translate, OutFloats>(d, ds, s, ss, m, count);
}

bool Usable(const void* destination, const void* source, int count)
{
    if (count <= 0)
        return false;
    return PLATFORM_CHECK(destination && source);
}

} // namespace

void QxTransformPoints(void* destination, const QxMatrix& m, const void* source, int count, CKDWORD stride)
{
    if (!Usable(destination, source, count))
        return;
    Transform<true, 3>(static_cast<Byte*>(destination), stride, static_cast<const Byte*>(source), stride, m, count);
}

void QxTransformPointsStrided(const QxStridedData& destination, const QxStridedData& source, const QxMatrix& m,
                              int count)
{
    if (!Usable(destination.Ptr, source.Ptr, count))
        return;
    Transform<true, 3>(static_cast<Byte*>(destination.Ptr), destination.Stride, static_cast<const Byte*>(source.Ptr),
                       source.Stride, m, count);
}

void QxTransformPoints4Strided(const QxStridedData& destination, const QxStridedData& source, const QxMatrix& m,
                               int count)
{
    if (!Usable(destination.Ptr, source.Ptr, count))
        return;
    Transform<true, 4>(static_cast<Byte*>(destination.Ptr), destination.Stride, static_cast<const Byte*>(source.Ptr),
                       source.Stride, m, count);
}

void QxRotateVectorsSameStride(void* destination, const QxMatrix& m, const void* source, int count, CKDWORD stride)
{
    if (!Usable(destination, source, count))
        return;
    Transform<false, 3>(static_cast<Byte*>(destination), stride, static_cast<const Byte*>(source), stride, m, count);
}

void QxRotateVectors(const QxStridedData& destination, const QxStridedData& source, const QxMatrix& m, int count)
{
    if (!Usable(destination.Ptr, source.Ptr, count))
        return;
    Transform<false, 3>(static_cast<Byte*>(destination.Ptr), destination.Stride, static_cast<const Byte*>(source.Ptr),
                        source.Stride, m, count);
}
