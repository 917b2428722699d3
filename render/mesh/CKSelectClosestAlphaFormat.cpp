#include "render/mesh/CKSelectClosestAlphaFormat.h"

#include <cstdlib>

const CKTextureDesc* CKSelectClosestAlphaFormat(const CKTextureDesc* const* formats, int count, const QxImageDesc& desc)
{
    const CKTextureDesc* best = nullptr;
    int bestDistance = 0;
    for (int i = 0; i < count && formats; ++i) {
        const CKTextureDesc* format = formats[i];
        if (!format || format->Format.AlphaMask == 0)
            continue;
        int distance = std::abs(format->Format.BitsPerPixel - desc.BitsPerPixel);
        if (!best || distance < bestDistance) {
            best = format;
            bestDistance = distance;
        }
    }
    return best;
}
