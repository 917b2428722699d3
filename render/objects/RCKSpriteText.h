#pragma once

#include "render/objects/CKSpriteText.h"

class PlatformFont;

// Chunk identifiers of a sprite text's section.
enum : CKDWORD
{
    CK_STATESAVE_SPRITETEXT = 0x01000000,
    CK_STATESAVE_SPRITEFONT = 0x02000000,
    CK_STATESAVE_SPRITETEXTCOLOR = 0x04000000, // font and background colours, then the alignment
};

// Text flags: the alignment in the low 16 bits, and whether the text was
// drawn into the image.
constexpr CKDWORD CK_SPRITETEXT_ALIGNMASK = 0xFFFF;
constexpr CKDWORD CK_SPRITETEXT_DRAWN = 0x10000;

// The render library's sprite text. Only the text, the font, the colours
// and the alignment are saved: the image is drawn again from them.
class RCKSpriteText : public CKSpriteText
{
public:
    // Colour-key transparency on, procedural caching.
    explicit RCKSpriteText(CKContext* context, const char* name = nullptr);
    ~RCKSpriteText() override;

    static CKObject* CreateInstance(CKContext* context) { return new RCKSpriteText(context); }
    static const char* GetClassName() { return "Sprite Text"; }
    static void Register();

    // CKObject
    CKStateChunk* Save(CKFile* file, CKDWORD flags) override;
    CKERROR Load(CKStateChunk* chunk, CKFile* file) override;
    int GetMemoryOccupation() override;
    CKERROR Copy(CKObject& source, CKDependenciesContext& context) override;

    // CK2dEntity
    CKERROR Render(CKRenderContext* context) override;

    // CKSpriteText
    void SetText(const char* text) override;
    const char* GetText() override { return m_Text; }
    void SetFontColor(CKDWORD color) override;
    CKDWORD GetFontColor() override { return m_FontColor; }
    void SetBackgroundColor(CKDWORD color) override;
    CKDWORD GetBackgroundColor() override { return m_BackgroundColor; }
    void SetFont(const char* face, int size = 12, int weight = 400, CKBOOL italic = FALSE,
                 CKBOOL underline = FALSE) override;
    void SetAlign(CKDWORD align) override;
    CKDWORD GetAlign() override { return m_TextFlags & CK_SPRITETEXT_ALIGNMASK; }
    void SetWideText(const char16_t* text) override;
    const char16_t* GetWideText() override { return m_WideText; }

    // Null when none was set.
    const PlatformFont* GetFont() const { return m_Font; }
    CKBOOL IsTextDrawn() const { return (m_TextFlags & CK_SPRITETEXT_DRAWN) != 0; }
    // Draws the text into the current slot (nothing without pixels).
    void DrawText();
    // The point size of a font's logical height (negative for a character
    // height in pixels of the screen).
    static int PointSizeOf(int logicalHeight);

private:
    void SetFontFrom(const PlatformFont* font);

    char* m_Text = nullptr;         // owned
    char16_t* m_WideText = nullptr; // owned
    CKDWORD m_FontColor = 0xFFFFFFFF;
    CKDWORD m_BackgroundColor = 0;
    PlatformFont* m_Font = nullptr; // owned
    CKDWORD m_TextFlags = CKSPRITETEXT_CENTER;
};
