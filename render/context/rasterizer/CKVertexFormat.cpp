#include "render/context/rasterizer/CKVertexFormat.h"

namespace {

// 1 + the index of the highest set bit, 0 for none.
int HighestBitCount(CKDWORD bits)
{
    int n = 0;
    while (bits) {
        ++n;
        bits >>= 1;
    }
    return n;
}

} // namespace

CKDWORD CKGetVertexFormatFVF(CKDWORD format, CKDWORD& vertexSize)
{
    CKDWORD fvf = 0;
    CKDWORD size = 0;
    if (format & CKRST_DP_CLIPSPACE) {
        fvf = CKRST_FVF_XYZW;
        size = 16;
    } else if (format & CKRST_DP_TRANSFORM) {
        int weights = HighestBitCount((format & CKRST_DP_WEIGHTMASK) / CKRST_DP_WEIGHTS1);
        int betas = weights + ((format & CKRST_DP_MATRIXPAL) ? 1 : 0);
        if (betas > 5)
            betas = 5;
        if (betas == 0) {
            fvf = CKRST_FVF_XYZ;
        } else {
            fvf = CKRST_FVF_XYZB1 + 2 * (CKDWORD) (betas - 1);
            if (format & CKRST_DP_MATRIXPAL)
                fvf |= CKRST_FVF_LASTBETA_UBYTE4;
        }
        size = 12 + 4 * (CKDWORD) betas;
    } else {
        fvf = CKRST_FVF_XYZRHW;
        size = 16;
    }
    if (format & CKRST_DP_LIGHT) {
        fvf |= CKRST_FVF_NORMAL;
        size += 12;
    }
    if (format & CKRST_DP_DIFFUSE) {
        fvf |= CKRST_FVF_DIFFUSE;
        size += 4;
    }
    if (format & CKRST_DP_SPECULAR) {
        fvf |= CKRST_FVF_SPECULAR;
        size += 4;
    }
    int sets = HighestBitCount((format & CKRST_DP_STAGESMASK) / CKRST_DP_STAGES0);
    size += 8 * (CKDWORD) sets;
    if (format & CKRST_DP_TANGENTS) {
        // Tangents and binormals take the sets right after set 0.
        int first = sets > 0 ? 1 : 0;
        fvf |= CKRST_FVF_TEXCOORDSIZE3(first) | CKRST_FVF_TEXCOORDSIZE3(first + 1);
        sets += 2;
        size += 24;
    }
    if (sets > 8)
        sets = 8;
    fvf |= (CKDWORD) sets << CKRST_FVF_TEXCOUNT_SHIFT;
    vertexSize = size;
    return fvf;
}
