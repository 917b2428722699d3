#pragma once

#include "includes/CKTypes.h"
#include "includes/XString.h"

class BitmapTex;
class CKParameter;
class IParamBlock2;
class Mtl;
class StdMat2;
class Texmap;
struct MaterialDesc;

// The parameters of the DirectX shader effect that the export reads.
constexpr int kDxLightmapBitmap = 0;
constexpr int kDxDiffuseBitmap = 1;
constexpr int kDxLightmapOn = 5;
constexpr int kDxDiffuseOn = 6;
constexpr int kDxLightmapChannel = 7;

// The parameter block 0 of the DirectX shader effect the material shows in
// the viewports, when that effect is active; null otherwise.
const IParamBlock2* GetDxShaderParamBlock(Mtl* m);
// An integer parameter at time 0; fallback when it does not read.
int GetDxShaderIntParam(const IParamBlock2* block, int id, int fallback);
// The file of a bitmap parameter; null when it holds none.
const char* GetDxShaderBitmapName(const IParamBlock2* block, int id);

// The file-name part of a path: no drive, folder or extension ("" for null).
XString FileNamePart(const char* path);
// The map as a bitmap texture, the material as a standard one; null when
// it is not.
BitmapTex* AsBitmapTexture(Texmap* map);
StdMat2* AsStandardMaterial(Mtl* m);
// A side of a power of two, 2 or more.
CKBOOL IsPowerOfTwoSide(int side);

// Puts the parameter's text under name into the description's effect
// table, then destroys the parameter (made for its text alone). false,
// nothing stored, for a null name or parameter or an empty text.
bool AddEffectParameter(MaterialDesc& d, const char* name, CKParameter* parameter);
