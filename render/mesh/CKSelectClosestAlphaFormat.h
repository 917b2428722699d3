#pragma once

#include "render/context/rasterizer/CKRasterizerTypes.h"
#include "system/image/QxImageDesc.h"

// Among a driver's texture formats, the one with alpha (an alpha mask) whose
// depth is nearest the description's; the first of equally near ones. Null
// when none has alpha (or count is 0).
const CKTextureDesc* CKSelectClosestAlphaFormat(const CKTextureDesc* const* formats, int count,
                                                const QxImageDesc& desc);
