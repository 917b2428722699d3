#include "render/context/rasterizer/CKDrawPrimitiveData.h"

void CKDrawPrimitiveData::ClearChannels()
{
    for (int i = 0; i < CKRST_MAX_STAGES - 1; ++i) {
        TexCoordPtrs[i] = nullptr;
        TexCoordStrides[i] = 0;
    }
}
