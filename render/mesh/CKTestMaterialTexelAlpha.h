#pragma once

#include "includes/CKTypes.h"

class CKMaterial;

// Whether the material lets the texel at (u, v) of its first texture through
// its alpha test: true without a material, without alpha test or texture,
// or when the texture's current image has no pixels in system memory;
// otherwise the texel's alpha (with colour-key transparency on: 0 where the
// key matches it, else 255) compared with the reference by the alpha
// function. u and v follow the
// material's address mode (wrap, mirror, clamp; outside the image with
// border, and for a coordinate that is not a finite number, the border
// colour's alpha).
bool CKTestMaterialTexelAlpha(CKMaterial* material, float u, float v);
