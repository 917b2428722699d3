#include "system/QxTransformPoints.h"

#include "platform/PlatformAssert.h"
#include "system/QxFloat4.h"

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
        float p[3];
        std::memcpy(p, s, sizeof(p));
        QxFloat4 v = p[0] * r0 + p[1] * r1 + p[2] * r2;
        if constexpr (Translate)
            v = v + r3;
        if constexpr (OutFloats == 4)
            QxStoreFloat4(d, v);
        else
            QxStoreFloat3(d, v);
    }
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
    TransformLoop<true, 3>(static_cast<Byte*>(destination), stride, static_cast<const Byte*>(source), stride, m, count);
}

void QxTransformPointsStrided(const QxStridedData& destination, const QxStridedData& source, const QxMatrix& m,
                              int count)
{
    if (!Usable(destination.Ptr, source.Ptr, count))
        return;
    TransformLoop<true, 3>(static_cast<Byte*>(destination.Ptr), destination.Stride,
                           static_cast<const Byte*>(source.Ptr), source.Stride, m, count);
}

void QxTransformPoints4Strided(const QxStridedData& destination, const QxStridedData& source, const QxMatrix& m,
                               int count)
{
    if (!Usable(destination.Ptr, source.Ptr, count))
        return;
    TransformLoop<true, 4>(static_cast<Byte*>(destination.Ptr), destination.Stride,
                           static_cast<const Byte*>(source.Ptr), source.Stride, m, count);
}

void QxRotateVectorsSameStride(void* destination, const QxMatrix& m, const void* source, int count, CKDWORD stride)
{
    if (!Usable(destination, source, count))
        return;
    TransformLoop<false, 3>(static_cast<Byte*>(destination), stride, static_cast<const Byte*>(source), stride, m,
                            count);
}

void QxRotateVectors(const QxStridedData& destination, const QxStridedData& source, const QxMatrix& m, int count)
{
    if (!Usable(destination.Ptr, source.Ptr, count))
        return;
    TransformLoop<false, 3>(static_cast<Byte*>(destination.Ptr), destination.Stride,
                            static_cast<const Byte*>(source.Ptr), source.Stride, m, count);
}
