#pragma once

// The values a material stores for its render states, as the engine's
// parameter types name them. Blend factors, comparison functions, fill and
// shade modes and address modes reach the rasterizer unchanged (they follow
// its numbering); filter and texture blend modes are the engine's own.

// "Blend Factor".
enum CK_BLENDFACTOR : int
{
    CK_BLEND_ZERO = 1,
    CK_BLEND_ONE = 2,
    CK_BLEND_SRCCOLOR = 3,
    CK_BLEND_INVSRCCOLOR = 4,
    CK_BLEND_SRCALPHA = 5,
    CK_BLEND_INVSRCALPHA = 6,
    CK_BLEND_DESTALPHA = 7,
    CK_BLEND_INVDESTALPHA = 8,
    CK_BLEND_DESTCOLOR = 9,
    CK_BLEND_INVDESTCOLOR = 10,
    CK_BLEND_SRCALPHASAT = 11,
    CK_BLEND_BOTHSRCALPHA = 12,
    CK_BLEND_BOTHINVSRCALPHA = 13,
};

// "Z Compare Function", also the alpha test's.
enum CK_COMPAREFUNC : int
{
    CK_CMP_NEVER = 1,
    CK_CMP_LESS = 2,
    CK_CMP_EQUAL = 3,
    CK_CMP_LESSEQUAL = 4,
    CK_CMP_GREATER = 5,
    CK_CMP_NOTEQUAL = 6,
    CK_CMP_GREATEREQUAL = 7,
    CK_CMP_ALWAYS = 8,
};

// "Fill Mode". OnlyZ writes depth and no colour.
enum CK_FILLMODE : int
{
    CK_FILL_POINT = 1,
    CK_FILL_WIREFRAME = 2,
    CK_FILL_SOLID = 3,
    CK_FILL_ONLYZ = 4,
};

// "Mode of Shading", with the exporter's Phong.
enum CK_SHADEMODE : int
{
    CK_SHADE_FLAT = 1,
    CK_SHADE_GOURAUD = 2,
    CK_SHADE_PHONG = 3,
};

// "Texture Blend Mode".
enum CK_TEXTUREBLEND : int
{
    CK_TEXBLEND_DECAL = 1,
    CK_TEXBLEND_MODULATE = 2,
    CK_TEXBLEND_DECALALPHA = 3,
    CK_TEXBLEND_MODULATEALPHA = 4,
    CK_TEXBLEND_DECALMASK = 5,
    CK_TEXBLEND_MODULATEMASK = 6,
    CK_TEXBLEND_COPY = 7,
    CK_TEXBLEND_ADD = 8,
};

// "Filter Mode".
enum CK_TEXTUREFILTER : int
{
    CK_TEXFILTER_NEAREST = 1,
    CK_TEXFILTER_LINEAR = 2,
    CK_TEXFILTER_MIPNEAREST = 3,
    CK_TEXFILTER_MIPLINEAR = 4,
    CK_TEXFILTER_LINEARMIPNEAREST = 5,
    CK_TEXFILTER_LINEARMIPLINEAR = 6,
    CK_TEXFILTER_ANISOTROPIC = 7,
};

// "Address Mode".
enum CK_TEXTUREADDRESS : int
{
    CK_TEXADDRESS_WRAP = 1,
    CK_TEXADDRESS_MIRROR = 2,
    CK_TEXADDRESS_CLAMP = 3,
    CK_TEXADDRESS_BORDER = 4,
};

// Whether value compares to reference as the function says (Never fails,
// Always passes).
inline bool CKCompare(int function, int value, int reference)
{
    switch (function) {
    case CK_CMP_NEVER: return false;
    case CK_CMP_LESS: return value < reference;
    case CK_CMP_EQUAL: return value == reference;
    case CK_CMP_LESSEQUAL: return value <= reference;
    case CK_CMP_GREATER: return value > reference;
    case CK_CMP_NOTEQUAL: return value != reference;
    case CK_CMP_GREATEREQUAL: return value >= reference;
    default: return true;
    }
}
