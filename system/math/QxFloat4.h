#pragma once

#include <cstring>

// Four floats handled as one value by the compiler's vector extension (GCC
// and Clang): each operation is the plain IEEE operation on every lane, so a
// result is bit for bit the one the scalar formula gives in the same order,
// only computed four lanes at a time. Loads and stores need no alignment.
typedef float QxFloat4 __attribute__((vector_size(16)));

inline QxFloat4 QxLoadFloat4(const void* p)
{
    QxFloat4 v;
    std::memcpy(&v, p, sizeof(v));
    return v;
}

inline void QxStoreFloat4(void* p, QxFloat4 v)
{
    std::memcpy(p, &v, sizeof(v));
}

// The first three lanes only (a QxVector).
inline void QxStoreFloat3(void* p, QxFloat4 v)
{
    // Two lanes, then the third: no round trip through memory.
    const float z = v[2];
    std::memcpy(p, &v, 2 * sizeof(float));
    std::memcpy(static_cast<char*>(p) + 2 * sizeof(float), &z, sizeof(float));
}

inline QxFloat4 QxSplat(float f)
{
    return QxFloat4{f, f, f, f};
}

// v with its fourth lane replaced by the bits of w (an exact bit copy).
inline QxFloat4 QxSetLane3(QxFloat4 v, float w)
{
    return __builtin_shufflevector(v, QxSplat(w), 0, 1, 2, 4);
}
