#include "render/objects/RCKSpriteText.h"

#include <cstring>
#include <new>

#include "core/chunk/CKStateChunk.h"
#include "core/object/CKClassRegistry.h"
#include "platform/PlatformMulDiv.h"
#include "system/image/QxBitmap.h"
#include "system/image/QxDrawText.h"
#include "system/image/QxFont.h"

namespace {

char* CopyText(const char* text)
{
    if (!text)
        return nullptr;
    const size_t n = std::strlen(text) + 1;
    char* copy = new (std::nothrow) char[n];
    if (copy)
        std::memcpy(copy, text, n);
    return copy;
}

char16_t* CopyWideText(const char16_t* text)
{
    if (!text)
        return nullptr;
    size_t n = 0;
    while (text[n])
        ++n;
    char16_t* copy = new (std::nothrow) char16_t[n + 1];
    if (copy)
        std::memcpy(copy, text, (n + 1) * sizeof(char16_t));
    return copy;
}

// Every pixel of the image set to the colour (32-bit ARGB as the bitmap
// data gives it).
void Fill(CKBitmapData& bitmap, int slot, CKDWORD color)
{
    for (int y = 0; y < bitmap.GetHeight(); ++y)
        for (int x = 0; x < bitmap.GetWidth(); ++x)
            bitmap.SetPixel(x, y, color, slot);
}

} // namespace

RCKSpriteText::RCKSpriteText(CKContext* context, const char* name) : CKSpriteText(context, name)
{
    m_ObjectFlags &= ~CK_OBJECT_DYNAMICMARK;
    m_Bitmap.SetTransparent(TRUE);
    m_Bitmap.SetSystemCaching(CKBITMAP_PROCEDURAL);
}

RCKSpriteText::~RCKSpriteText()
{
    PlatformDeleteObject(m_Font);
    delete[] m_Text;
    delete[] m_WideText;
}

void RCKSpriteText::Register()
{
    CKClassSetDeletionCheck(m_ClassID, 1);
    CKClassSetParameterGuid(m_ClassID, CKGUID(0x5C2E69E3, 0xFE156F09));
}

int RCKSpriteText::PointSizeOf(int logicalHeight)
{
    const int pixels = logicalHeight < 0 ? -logicalHeight : logicalHeight;
    const int size = PlatformMulDiv(pixels, 72, PLATFORM_SCREEN_DPI);
    return size < 0 ? 0 : size;
}

int RCKSpriteText::GetMemoryOccupation()
{
    int size = RCKSprite::GetMemoryOccupation() + (int) (sizeof(RCKSpriteText) - sizeof(RCKSprite));
    if (m_Text)
        size += (int) std::strlen(m_Text) + 1;
    if (m_WideText)
        for (const char16_t* c = m_WideText; *c; ++c)
            size += 2;
    return size;
}

void RCKSpriteText::DrawText()
{
    const int slot = m_Bitmap.GetCurrentSlot();
    CKBYTE* pixels = m_Bitmap.GetSlotImageData(slot);
    if (!pixels)
        return;
    Fill(m_Bitmap, slot, m_Bitmap.GetTransparentColor());
    if (m_Text || m_WideText) {
        QxImageDesc desc;
        m_Bitmap.GetImageDesc(desc);
        desc.Image = pixels;
        if (PlatformBitmap* bitmap = QxCreateBitmapFromImage(desc)) {
            // The text is clipped to the sprite.
            const PlatformRect rect{0, 0, desc.Width, desc.Height};
            // Without a font of its own, the platform's default font.
            PlatformFont* font = m_Font ? nullptr : PlatformCreateFont(PlatformLogFont());
            const PlatformFont* used = m_Font ? m_Font : font;
            const CKDWORD align = GetAlign();
            if (m_WideText)
                QxDrawTextW(bitmap, used, m_WideText, rect, align);
            else
                QxDrawText(bitmap, used, m_Text, rect, align, m_BackgroundColor & 0xFFFFFF, m_FontColor & 0xFFFFFF);
            QxCopyBitmapToImage(bitmap, desc);
            PlatformDeleteObject(font);
            PlatformDeleteObject(bitmap);
        }
    }
    m_TextFlags |= CK_SPRITETEXT_DRAWN;
    m_Bitmap.MarkSlotModified(slot);
}

void RCKSpriteText::SetText(const char* text)
{
    char* copy = CopyText(text);
    delete[] m_Text;
    m_Text = copy;
    DrawText();
}

void RCKSpriteText::SetWideText(const char16_t* text)
{
    char16_t* copy = CopyWideText(text);
    delete[] m_WideText;
    m_WideText = copy;
    DrawText();
}

void RCKSpriteText::SetFontColor(CKDWORD color)
{
    m_FontColor = color;
    DrawText();
}

void RCKSpriteText::SetBackgroundColor(CKDWORD color)
{
    m_BackgroundColor = color;
    DrawText();
}

void RCKSpriteText::SetFont(const char* face, int size, int weight, CKBOOL italic, CKBOOL underline)
{
    PlatformDeleteObject(m_Font);
    m_Font = QxCreateFont(face, size, weight, italic, underline);
    DrawText();
}

void RCKSpriteText::SetFontFrom(const PlatformFont* font)
{
    QxFontInfo info;
    if (QxGetFontInfo(font, info))
        SetFont(info.FaceName.CStr(), PointSizeOf(info.Height), info.Weight, info.Italic, info.Underline);
}

void RCKSpriteText::SetAlign(CKDWORD align)
{
    m_TextFlags = (m_TextFlags & ~CK_SPRITETEXT_ALIGNMASK) | (align & CK_SPRITETEXT_ALIGNMASK);
    DrawText();
}

CKERROR RCKSpriteText::Render(CKRenderContext* context)
{
    if (!(m_TextFlags & CK_SPRITETEXT_DRAWN) && IsVisible())
        DrawText();
    return RCKSprite::Render(context);
}

CKStateChunk* RCKSpriteText::Save(CKFile* file, CKDWORD flags)
{
    // The image is drawn again on load: no bitmap section.
    CKStateChunk* base = RCK2dEntity::Save(file, flags);
    CKStateChunk* chunk = CKCreateStateChunk(CKCID_SPRITETEXT, file);
    if (!chunk)
        return base;
    chunk->StartWrite();
    chunk->AddChunkAndDelete(base);
    chunk->WriteIdentifier(CK_STATESAVE_SPRITETEXT);
    chunk->WriteString(m_Text);
    QxFontInfo font;
    if (QxGetFontInfo(m_Font, font)) {
        chunk->WriteIdentifier(CK_STATESAVE_SPRITEFONT);
        chunk->WriteString(font.FaceName.CStr());
        chunk->WriteInt(font.Height);
        chunk->WriteInt(font.Weight);
        chunk->WriteInt(font.Italic);
        chunk->WriteInt(font.Underline);
    }
    chunk->WriteIdentifier(CK_STATESAVE_SPRITETEXTCOLOR);
    chunk->WriteDword(m_FontColor);
    chunk->WriteDword(m_BackgroundColor);
    // Older readers stop after the colours; the alignment would be lost.
    chunk->WriteDword(GetAlign());
    chunk->CloseChunk();
    return chunk;
}

CKERROR RCKSpriteText::Load(CKStateChunk* chunk, CKFile* file)
{
    if (!chunk)
        return CKErr::InvalidParameter;
    RCKSprite::Load(chunk, file);
    if (chunk->SeekIdentifier(CK_STATESAVE_SPRITETEXT)) {
        char* text = nullptr;
        chunk->ReadString(&text);
        SetText(text);
        delete[] text;
    }
    if (chunk->SeekIdentifier(CK_STATESAVE_SPRITEFONT)) {
        const XString face = chunk->ReadXString();
        // The saved height is the font's logical one: back to points.
        const int size = PointSizeOf(chunk->ReadInt());
        const int weight = chunk->ReadInt();
        const int italic = chunk->ReadInt();
        const int underline = chunk->ReadInt();
        SetFont(face.CStr(), size, weight, italic, underline);
    }
    const int colorBytes = chunk->SeekIdentifierAndReturnSize(CK_STATESAVE_SPRITETEXTCOLOR);
    if (colorBytes >= 8) {
        m_FontColor = chunk->ReadDword();
        m_BackgroundColor = chunk->ReadDword();
        if (colorBytes >= 12)
            m_TextFlags = (m_TextFlags & ~CK_SPRITETEXT_ALIGNMASK) | (chunk->ReadDword() & CK_SPRITETEXT_ALIGNMASK);
    }
    DrawText();
    return CKErr::Ok;
}

CKERROR RCKSpriteText::Copy(CKObject& source, CKDependenciesContext& context)
{
    CKERROR error = RCKSprite::Copy(source, context);
    if (error != CKErr::Ok)
        return error;
    if (!CKIsChildClassOfObject(&source, CKCID_SPRITETEXT) || &source == this)
        return CKErr::Ok;
    RCKSpriteText& from = static_cast<RCKSpriteText&>(source);
    char* text = CopyText(from.m_Text);
    delete[] m_Text;
    m_Text = text;
    char16_t* wide = CopyWideText(from.m_WideText);
    delete[] m_WideText;
    m_WideText = wide;
    m_FontColor = from.m_FontColor;
    m_BackgroundColor = from.m_BackgroundColor;
    m_TextFlags = from.m_TextFlags;
    PlatformDeleteObject(m_Font);
    m_Font = nullptr;
    if (from.m_Font)
        SetFontFrom(from.m_Font);
    return CKErr::Ok;
}
