#include "render/context/rasterizer/CKRasterizer.h"

#include "render/context/rasterizer/CKRasterizerContext.h"
#include "system/image/QxPixelFormat.h"

CKRasterizerDriver::~CKRasterizerDriver()
{
    for (CKTextureDesc* format : m_TextureFormats)
        delete format;
}

void CKRasterizerDriver::DestroyContext(CKRasterizerContext* context)
{
    delete context;
}

const CKTextureDesc* CKRasterizerDriver::GetTextureFormat(int index) const
{
    return index >= 0 && index < m_TextureFormats.Size() ? m_TextureFormats[index] : nullptr;
}

void CKRasterizerDriver::AddTextureFormat(int pixelFormat)
{
    CKTextureDesc* desc = new CKTextureDesc;
    if (!desc)
        return;
    QxPixelFormat2ImageDesc(pixelFormat, desc->Format);
    m_TextureFormats.PushBack(desc);
}

CKRasterizer::~CKRasterizer()
{
    for (CKRasterizerDriver* driver : m_Drivers)
        delete driver;
}
