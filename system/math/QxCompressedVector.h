#pragma once

#include "includes/CKTypes.h"

// A unit direction in two 16-bit words, as stored in files (compressed
// normals). Only the low 14 bits of each word are used: an index 0 .. 16383
// into the angle tables, angle = index x pi / 8192.
//   word 0: elevation alpha;  word 1: azimuth beta.
// The direction is (sin beta · cos alpha, -sin alpha, cos beta · cos alpha).
struct QxCompressedVector
{
    CKWORD m_Elevation;
    CKWORD m_Azimuth;

    constexpr QxCompressedVector() : m_Elevation(0), m_Azimuth(0) {}
    constexpr QxCompressedVector(CKWORD elevation, CKWORD azimuth) : m_Elevation(elevation), m_Azimuth(azimuth) {}

    // Packs a direction, expected of unit length (any float input is safe).
    void Set(float x, float y, float z);
};

static_assert(sizeof(QxCompressedVector) == 4, "a compressed direction is two 16-bit words");

// The arcsine table entry for v: index trunc(v x 8192 + 8192) clamped to
// 0 .. 16383 (NaN reads index 0).
CKWORD QxArcSinIndex(float v);
