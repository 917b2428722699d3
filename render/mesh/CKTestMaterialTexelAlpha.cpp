#include "render/mesh/CKMaterial.h"
#include "render/mesh/CKTexture.h"

namespace {

int TexelIndex(float t, int size)
{
    // NaN and anything outside the texture land on its nearest edge.
    if (!(t > 0.0f))
        return 0;
    if (t >= 1.0f)
        return size - 1;
    int i = (int) (t * (float) size);
    return i < size ? i : size - 1;
}

} // namespace

CKBOOL CKTestMaterialTexelAlpha(CKMaterial* material, float u, float v)
{
    if (!material)
        return FALSE;
    CKTexture* texture = material->GetTexture(0);
    if (!texture || !material->AlphaTestEnabled())
        return TRUE;
    int width = texture->GetWidth();
    int height = texture->GetHeight();
    if (width <= 0 || height <= 0)
        return TRUE;
    int alpha = (int) (texture->GetPixel(TexelIndex(u, width), TexelIndex(v, height)) >> 24);
    int ref = material->GetAlphaRef();
    switch (material->GetAlphaFunc()) {
    case 1: return FALSE;
    case 2: return alpha < ref;
    case 3: return alpha == ref;
    case 4: return alpha <= ref;
    case 5: return alpha > ref;
    case 6: return alpha != ref;
    case 7: return alpha >= ref;
    default: return TRUE;
    }
}
