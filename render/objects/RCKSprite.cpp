// The sprite: its image, its size and its render options.
#include "render/objects/RCKSprite.h"

#include "core/context/CKContext.h"
#include "core/context/CKPathManager.h"
#include "core/object/CKClassRegistry.h"
#include "render/context/RCKRenderManager.h"
#include "render/context/rasterizer/CKRasterizerTypes.h"

RCKSprite::RCKSprite(CKContext* context, const char* name) : CKSprite(context, name), m_Bitmap(context)
{
    if (RCKRenderManager* manager = GetRenderManager()) {
        // The render manager's defaults, without the change bits of the
        // setters: nothing was shown yet.
        const CKDWORD flags = m_Bitmap.GetBitmapFlags();
        m_Bitmap.SetSystemCaching(manager->GetSettings().DefaultSystemCaching);
        m_Bitmap.SetDesiredVideoFormat(manager->GetSettings().SpriteVideoFormat);
        m_Bitmap.SetStoredFormat(manager->GetSettings().SpriteVideoFormat);
        m_Bitmap.SetBitmapFlags(flags);
        m_RasterizerIndex = manager->CreateObjectIndex(CKRST_OBJ_SPRITE);
    }
}

RCKSprite::~RCKSprite()
{
    if (m_RasterizerIndex)
        if (RCKRenderManager* manager = GetRenderManager())
            manager->ReleaseObjectIndex(m_RasterizerIndex, CKRST_OBJ_SPRITE);
}

void RCKSprite::Register()
{
    CKClassSetDeletionCheck(m_ClassID, 1);
    CKClassSetParameterGuid(m_ClassID, CKGUID(0x577E2EA8, 0x5B901969));
    CKClassSetCreationFlags(m_ClassID, 2);
}

CKBitmapData* RCKSprite::BitmapDataOf(CKObject* object)
{
    return CKIsChildClassOfObject(object, CKCID_SPRITE) ? &static_cast<RCKSprite*>(object)->m_Bitmap : nullptr;
}

int RCKSprite::GetMemoryOccupation()
{
    int size = RCK2dEntity::GetMemoryOccupation() + (int) (sizeof(RCKSprite) - sizeof(RCK2dEntity));
    const int slots = m_Bitmap.GetSlotCount();
    QxImageDesc desc;
    m_Bitmap.GetImageDesc(desc);
    if (m_Bitmap.GetMovieReader())
        return size + desc.Height * desc.BytesPerLine + 20;
    const int slotArray = slots * 4;
    if (!m_Context || !m_Context->IsInSave()) {
        for (int i = 0; i < slots; ++i)
            if (m_Bitmap.GetSlotImageData(i))
                size += desc.Height * desc.BytesPerLine + 16;
        return size + slotArray;
    }
    if (m_Bitmap.IsFileReloadable())
        return size + slotArray;
    return size + slotArray + slots * m_Bitmap.GetWidth() * m_Bitmap.GetHeight() * 4;
}

void RCKSprite::TakeImageSize(int oldWidth, int oldHeight, bool sourceRect)
{
    const int width = m_Bitmap.GetWidth();
    const int height = m_Bitmap.GetHeight();
    if (width != oldWidth || height != oldHeight)
        FreeVideoMemory();
    SetSize(Qx2DVector((float) width, (float) height));
    if (sourceRect)
        m_SourceRect = QxRect(0.0f, 0.0f, (float) width, (float) height);
}

CKBOOL RCKSprite::Create(int width, int height, int bpp, int slot)
{
    const int oldWidth = m_Bitmap.GetWidth(), oldHeight = m_Bitmap.GetHeight();
    if (!m_Bitmap.CreateImage(width, height, bpp, slot))
        return FALSE;
    TakeImageSize(oldWidth, oldHeight, true);
    return TRUE;
}

namespace {

// The name as the bitmap paths find it, or as given.
XString ResolvedName(CKContext* context, const char* name)
{
    XString resolved(name);
    CKPathManager* paths = context ? context->GetPathManager() : nullptr;
    if (paths && !paths->HasCategoryPrefix(resolved)) {
        XString found = resolved;
        if (paths->ResolveFileName(found, CKPathManager::BITMAP_PATH_IDX) == CKErr::Ok)
            resolved = found;
    }
    return resolved;
}

} // namespace

CKBOOL RCKSprite::LoadImage(const char* name, int slot)
{
    if (!name)
        return FALSE;
    const int oldWidth = m_Bitmap.GetWidth(), oldHeight = m_Bitmap.GetHeight();
    if (!m_Bitmap.LoadSlotImage(ResolvedName(m_Context, name), slot)) {
        m_Bitmap.SetSlotFileName(slot, name);
        return FALSE;
    }
    TakeImageSize(oldWidth, oldHeight, slot == 0);
    return TRUE;
}

CKBOOL RCKSprite::SaveImage(const char* name, int slot, CKBOOL useFormat)
{
    return m_Bitmap.SaveImage(name, slot, useFormat);
}

CKBOOL RCKSprite::LoadMovie(const char* name)
{
    if (!name)
        return FALSE;
    const int oldWidth = m_Bitmap.GetWidth(), oldHeight = m_Bitmap.GetHeight();
    if (!m_Bitmap.LoadMovieFile(ResolvedName(m_Context, name)))
        return FALSE;
    TakeImageSize(oldWidth, oldHeight, true);
    return TRUE;
}

void RCKSprite::RestoreInitialSize()
{
    SetRect(QxRect(m_Rect.left, m_Rect.top, m_Rect.left + (float) m_Bitmap.GetWidth(),
                   m_Rect.top + (float) m_Bitmap.GetHeight()));
}

QxRect RCKSprite::GetFrameSourceRect()
{
    if (m_Flags & CK2D_USESOURCERECT)
        return m_SourceRect;
    // A discarded image whose size was never known is read once for it.
    if (m_Bitmap.GetSystemCaching() == CKBITMAP_DISCARD && m_Bitmap.GetWidth() == -1 && m_Bitmap.GetHeight() == -1)
        m_Bitmap.ReadSlotImage(0, nullptr);
    return QxRect(0.0f, 0.0f, (float) m_Bitmap.GetWidth(), (float) m_Bitmap.GetHeight());
}

void RCKSprite::SetAlphaTest(CKBOOL enable, CKBYTE ref, int func)
{
    CKDWORD& o = m_RenderOptions.Options;
    if (!enable) {
        o &= ~CKSPRITE_ALPHATEST;
        return;
    }
    o = (o & ~(0xFFu << CKSPRITE_ALPHAREFSHIFT) & ~(0xFu << CKSPRITE_ALPHAFUNCSHIFT)) | CKSPRITE_ALPHATEST |
        ((CKDWORD) ref << CKSPRITE_ALPHAREFSHIFT) | (((CKDWORD) func & 0xF) << CKSPRITE_ALPHAFUNCSHIFT);
}

void RCKSprite::SetFiltering(CKBOOL enable)
{
    if (enable)
        m_RenderOptions.Options |= CKSPRITE_FILTER;
    else
        m_RenderOptions.Options &= ~CKSPRITE_FILTER;
}

void RCKSprite::SetBlending(CKBOOL enable, int sourceBlend, int destBlend)
{
    CKDWORD& o = m_RenderOptions.Options;
    if (!enable) {
        o &= ~CKSPRITE_BLEND;
        return;
    }
    o = (o & ~(0xFu << CKSPRITE_SRCBLENDSHIFT) & ~(0xFFu << CKSPRITE_DESTBLENDSHIFT)) | CKSPRITE_BLEND |
        (((CKDWORD) sourceBlend & 0xF) << CKSPRITE_SRCBLENDSHIFT) |
        (((CKDWORD) destBlend & 0xFF) << CKSPRITE_DESTBLENDSHIFT);
}

void RCKSprite::SetModulate(CKBOOL enable, const QxColor& color)
{
    if (!enable) {
        m_RenderOptions.Options &= ~CKSPRITE_MODULATE;
        return;
    }
    m_RenderOptions.Options |= CKSPRITE_MODULATE;
    m_RenderOptions.ModulateColor = color.GetARGB();
}

void RCKSprite::SetBitmapFlag40(CKBOOL on)
{
    const CKDWORD flags = m_Bitmap.GetBitmapFlags();
    m_Bitmap.SetBitmapFlags(on ? (flags | CKBITMAPDATA_FLAG40) : (flags & ~CKBITMAPDATA_FLAG40));
}
