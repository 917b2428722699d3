#pragma once

#include "includes/CKTypes.h"
#include "system/math/QxBbox.h"
#include "system/math/QxMatrix.h"
#include "system/math/QxRect.h"

// Clip-code bits of a homogeneous point (x, y, z, w).
enum QxClipCode : CKDWORD
{
    QX_CLIP_LEFT = 16,    // x < -w
    QX_CLIP_RIGHT = 32,   // x > w
    QX_CLIP_TOP = 64,     // y > w
    QX_CLIP_BOTTOM = 128, // y < -w
    QX_CLIP_FRONT = 256,  // z < 0 (behind the viewer)
    QX_CLIP_BACK = 512,   // z > w
    QX_CLIP_ALL = 0x3F0,
};

// Projects the box's corners (8, or 4 when Max.z = Min.z) by projection and
// returns TRUE unless every corner lies outside one same clip plane.
// orFlags and andFlags (may be null) receive the OR and the AND of the
// corners' clip codes. When viewport and extents are both given and no clip
// bit is common to all corners, extents receives the screen bounds (min x,
// min y, max x, max y) of the corners in front of the viewer (w > 0): a corner
// maps to (cx + hw·x/w, cy - hh·y/w) with hw, hh the viewport's half width and
// height and (cx, cy) its centre; untouched bounds stay at 1e10 / -1e10. When
// some corner is behind the viewer, the sides its clip codes cross are
// widened to the viewport's.
CKBOOL QxTransformBox2D(const QxMatrix& projection, const QxBbox& box, const QxRect* viewport, QxRect* extents,
                        CKDWORD* orFlags, CKDWORD* andFlags);
