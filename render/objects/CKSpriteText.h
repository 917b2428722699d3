#pragma once

#include "render/objects/RCKSprite.h"

// Alignment of a sprite text (the "Sprite Text Alignment" enumeration).
enum CKSPRITETEXT_ALIGNMENT : CKDWORD
{
    CKSPRITETEXT_CENTER = 1,
    CKSPRITETEXT_LEFT = 2,
    CKSPRITETEXT_RIGHT = 4,
    CKSPRITETEXT_TOP = 8,
    CKSPRITETEXT_BOTTOM = 16,
    CKSPRITETEXT_VCENTER = 32,
    CKSPRITETEXT_HCENTER = 64,
};

// A sprite (class 29) whose image is a text drawn with a font into its
// current slot: the text is drawn again whenever the text, the font, the
// colours or the alignment change, and once when the sprite is first
// rendered visible. Colours are 0xAARRGGBB; the image keys out the
// transparent colour.
class CKSpriteText : public CKClass<CKSpriteText, RCKSprite, CKCID_SPRITETEXT>
{
public:
    using CKClass::CKClass;

    // Keeps a copy (null for none).
    virtual void SetText(const char* text) = 0;
    virtual const char* GetText() = 0;
    virtual void SetFontColor(CKDWORD color) = 0;
    virtual CKDWORD GetFontColor() = 0;
    virtual void SetBackgroundColor(CKDWORD color) = 0;
    virtual CKDWORD GetBackgroundColor() = 0;
    // A new font of the face (cut to the platform's length) and point size.
    virtual void SetFont(const char* face, int size = 12, int weight = 400, CKBOOL italic = FALSE,
                         CKBOOL underline = FALSE) = 0;
    // CKSPRITETEXT_ bits.
    virtual void SetAlign(CKDWORD align) = 0;
    virtual CKDWORD GetAlign() = 0;
    // A 16-bit text, drawn instead of the 8-bit one while there is one.
    virtual void SetWideText(const char16_t* text) = 0;
    virtual const char16_t* GetWideText() = 0;
};
