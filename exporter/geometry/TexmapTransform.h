#pragma once

#include "includes/CKTypes.h"

class Face;
class Mtl;

// The placement of a standard material's diffuse bitmap: tiling and mirror
// flags, crop rectangle, offsets, scales and angle, at time 0.
struct TexmapTransform
{
    CKBOOL uTile = 0, vTile = 0, uMirror = 0, vMirror = 0;
    CKBOOL cropApply = 0;
    float uOffset = 0.0f, vOffset = 0.0f, uScale = 1.0f, vScale = 1.0f, angle = 0.0f;
    float cropU = 0.0f, cropV = 0.0f, cropWidth = 1.0f, cropHeight = 1.0f;
};

// 1, with t filled, for a standard material whose diffuse map is a bitmap
// texture; else 0 and t untouched.
int GetTexmapTransform(Mtl* material, TexmapTransform& t);
// Flips v (always); with apply, the crop (when it applies), then the
// scales and offsets. Angle and tiling are left to the engine.
void ApplyTexmapTransform(float& u, float& v, const TexmapTransform& t, CKBOOL apply);
// The face-mapping coordinates (u, v pairs) of a face's three corners, from
// its visible edges and vertex indices.
void MakeFaceMapCoordinates(const Face& face, float uvs[3][2]);
