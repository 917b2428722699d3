#include "render/mesh/CKTestMaterialTexelAlpha.h"

#include <cmath>

#include "render/mesh/CKMaterial.h"
#include "render/mesh/CKTexture.h"

namespace {

// The texel index of a coordinate along a side of size texels, or -1
// outside it in border mode.
int TexelIndex(float t, int size, int mode)
{
    float f = t;
    switch (mode) {
    case CK_TEXADDRESS_MIRROR: {
        float period = f - 2.0f * std::floor(f * 0.5f); // 0 .. 2
        f = period > 1.0f ? 2.0f - period : period;
        break;
    }
    case CK_TEXADDRESS_CLAMP: f = f < 0.0f ? 0.0f : (f > 1.0f ? 1.0f : f); break;
    case CK_TEXADDRESS_BORDER:
        if (!(f >= 0.0f && f <= 1.0f))
            return -1;
        break;
    default: f = f - std::floor(f); break;
    }
    if (!std::isfinite(f))
        return -1;
    int index = (int) (f * (float) size);
    return index < 0 ? 0 : (index >= size ? size - 1 : index);
}

} // namespace

bool CKTestMaterialTexelAlpha(CKMaterial* material, float u, float v)
{
    if (!material || !material->AlphaTestEnabled())
        return true;
    CKTexture* texture = material->GetTexture(0);
    if (!texture)
        return true;
    int width = texture->GetWidth();
    int height = texture->GetHeight();
    if (width < 1 || height < 1 || !texture->LockSurfacePtr(-1))
        return true;
    int mode = material->GetTextureAddressMode();
    int x = TexelIndex(u, width, mode);
    int y = TexelIndex(v, height, mode);
    int alpha;
    if (x < 0 || y < 0) {
        alpha = (int) (material->GetTextureBorderColor() >> 24);
    } else {
        CKDWORD texel = texture->GetPixel(x, y);
        alpha = (int) (texel >> 24);
        // As the upload applies the colour key: a match is clear, the rest opaque.
        if (texture->IsTransparent())
            alpha = (texel & 0xFEFEFE) == (texture->GetTransparentColor() & 0xFEFEFE) ? 0 : 255;
    }
    return CKCompare(material->GetAlphaFunc(), alpha, material->GetAlphaRef());
}
