#pragma once

#include "includes/CKTypes.h"
#include "system/math/QxVector.h"

// How a cloud packs a point's colour and normal.

// ARGB to 5-6-5: red in bits 11-15, green in bits 5-10, blue in bits 0-4.
inline CKDWORD CloudColorTo565(CKDWORD argb)
{
    return ((argb >> 8) & 0xF800) | ((argb >> 5) & 0x7E0) | ((argb >> 3) & 0x1F);
}
// 5-6-5 back to ARGB: alpha 255, the low bits of each channel zero.
inline CKDWORD CloudColorFrom565(CKDWORD v)
{
    return 0xFF000000 | ((v >> 11 & 0x1F) << 19) | ((v >> 5 & 0x3F) << 10) | ((v & 0x1F) << 3);
}

// The 1024 unit vectors that stored normals index, built on first use:
// entry i has x = (i & 31) * 2/31 - 1, y = ((i >> 5) & 31) * 2/31 - 1 and
// z = sqrt(1 - x² - y²) (0 where x² + y² > 1).
const QxVector* CloudNormalTable();
// The table index of a normal: (trunc((y + 1) / 2 * 31) << 5) |
// trunc((x + 1) / 2 * 31); z is not kept, so normals come back with
// z >= 0. Components outside -1..1 (or not numbers) take the nearest end.
CKDWORD CloudNormalIndex(const QxVector& normal);
