// Sprite texts: the text drawn into the image where its alignment puts it,
// drawn again on every change, and kept through files.
#include <string>

#include "core/chunk/CKStateChunk.h"
#include "core/file/CKFile.h"
#include "platform/PlatformText.h"
#include "render/objects/RCKSpriteText.h"
#include "system/image/QxFont.h"
#include "tests/render/support/Render2dTestSupport.h"

namespace {

class SpriteTextTest : public Render2dFixture
{
protected:
    RCKSpriteText* NewText(CKContext* context, const char* name)
    {
        return static_cast<RCKSpriteText*>(context->CreateObject(CKCID_SPRITETEXT, name));
    }
    // The box of the pixels that differ from the colour key (empty when
    // none), compared as the colour key is.
    static PlatformRect Ink(RCKSpriteText* text)
    {
        PlatformRect box{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
        const CKDWORD key = text->GetTransparentColor() & 0xFEFEFE;
        for (int y = 0; y < text->GetHeight(); ++y)
            for (int x = 0; x < text->GetWidth(); ++x)
                if ((text->GetPixel(x, y) & 0xFEFEFE) != key) {
                    box.Left = std::min(box.Left, x);
                    box.Top = std::min(box.Top, y);
                    box.Right = std::max(box.Right, x + 1);
                    box.Bottom = std::max(box.Bottom, y + 1);
                }
        return box.Left == INT32_MAX ? PlatformRect() : box;
    }
    // Clears the modified bit, so that the next change shows.
    static void Settle(RCKSpriteText* text)
    {
        CKBitmapData& bitmap = text->GetBitmapData();
        bitmap.SetBitmapFlags(bitmap.GetBitmapFlags() & ~CKBITMAPDATA_MODIFIED);
    }
};

TEST_F(SpriteTextTest, WithoutTextEveryPixelIsKeyedOutAndEveryChangeDrawsAgain)
{
    RCKSpriteText* text = NewText(m_Context, "t");
    EXPECT_TRUE(text->IsTransparent());
    EXPECT_EQ(text->GetSystemCaching(), CKBITMAP_PROCEDURAL);
    EXPECT_EQ(text->GetAlign(), (CKDWORD) CKSPRITETEXT_CENTER);
    text->SetText("drawn into nothing");
    EXPECT_FALSE(text->IsTextDrawn()) << "no image yet";
    text->SetTransparentColor(0x00123456);
    ASSERT_TRUE(text->Create(40, 20));
    text->SetText(nullptr);
    EXPECT_EQ(text->GetText(), nullptr);
    EXPECT_TRUE(text->IsTextDrawn());
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 40; ++x)
            ASSERT_EQ(text->GetPixel(x, y), 0x00123456u) << x << "," << y;

    // Every change draws the text again.
    ASSERT_TRUE(text->Create(64, 24));
    const std::function<void()> changes[] = {
        [&] { text->SetText("Hello"); },
        [&] { text->SetFont("DejaVu Sans Mono", 10, 700, TRUE, FALSE); },
        [&] { text->SetAlign(CKSPRITETEXT_RIGHT); },
        [&] { text->SetFontColor(0xFFFF0000); },
        [&] { text->SetBackgroundColor(0xFF0000FF); },
        [&] { text->SetWideText(u"wide"); },
    };
    for (const auto& change : changes) {
        Settle(text);
        change();
        EXPECT_TRUE(text->IsImageModified());
    }
    EXPECT_EQ(text->GetPixel(0, 0) & 0xFFFFFF, 0x123456u) << "the background outside the text's cell keeps the key";
    const PlatformRect ink = Ink(text);
    EXPECT_GT(ink.Right, ink.Left) << "the wide text was drawn";
    EXPECT_EQ(ink.Right, 64) << "right aligned";
}

TEST_F(SpriteTextTest, TheTextLiesInsideItsAlignedRectangle)
{
    RCKSpriteText* text = NewText(m_Context, "t");
    ASSERT_TRUE(text->Create(120, 40));
    text->SetFont("DejaVu Sans", 12, 400, FALSE, FALSE);
    text->SetText("Hello");
    int32_t w = 0, h = 0;
    ASSERT_TRUE(PlatformGetTextExtent(text->GetFont(), "Hello", -1, &w, &h));
    struct Case
    {
        CKDWORD align;
        int32_t left, top;
    };
    for (const Case& c : {Case{CKSPRITETEXT_LEFT | CKSPRITETEXT_TOP, 0, 0}, Case{CKSPRITETEXT_CENTER, (120 - w) / 2, 0},
                          Case{CKSPRITETEXT_RIGHT | CKSPRITETEXT_BOTTOM, 120 - w, 40 - h},
                          Case{CKSPRITETEXT_HCENTER | CKSPRITETEXT_VCENTER, (120 - w) / 2, (40 - h) / 2}}) {
        SCOPED_TRACE(c.align);
        text->SetAlign(c.align);
        const PlatformRect ink = Ink(text);
        ASSERT_LT(ink.Left, ink.Right) << "something was drawn";
        EXPECT_GE(ink.Left, c.left);
        EXPECT_GE(ink.Top, c.top);
        EXPECT_LE(ink.Right, c.left + w);
        EXPECT_LE(ink.Bottom, c.top + h);
    }

    // Text larger than the sprite is cut at its edges.
    text->SetFont("DejaVu Sans", 40, 400, FALSE, FALSE);
    text->SetText("WWWWWWWWWWWW");
    const PlatformRect ink = Ink(text);
    EXPECT_GE(ink.Left, 0);
    EXPECT_LE(ink.Right, 120);
}

TEST_F(SpriteTextTest, TextColoursAlignmentAndFontSurviveAFile)
{
    RCKSpriteText* text = NewText(m_Context, "label");
    const std::string longFace(45, 'F');
    text->SetFont((std::string("DejaVu Serif") + longFace).c_str(), 11, 700, TRUE, TRUE);
    text->SetText("Score: 42");
    text->SetFontColor(0xFF20C040);
    text->SetBackgroundColor(0xFF101010);
    text->SetAlign(CKSPRITETEXT_RIGHT | CKSPRITETEXT_BOTTOM);
    text->SetParent(nullptr);
    QxFontInfo before;
    ASSERT_TRUE(QxGetFontInfo(text->GetFont(), before));
    EXPECT_EQ(before.FaceName.Length(), PLATFORM_FACE_SIZE - 1) << "cut to the platform's length";
    EXPECT_EQ(before.Height, -15) << "11 points at 96 dots per inch";

    CKContext* other = NewContext();
    ASSERT_NE(other, nullptr);
    SaveAndLoad({text}, other);
    RCKSpriteText* copy = static_cast<RCKSpriteText*>(other->GetObjectByNameAndClass("label", CKCID_SPRITETEXT));
    ASSERT_NE(copy, nullptr);
    EXPECT_STREQ(copy->GetText(), "Score: 42");
    EXPECT_EQ(copy->GetFontColor(), 0xFF20C040u);
    EXPECT_EQ(copy->GetBackgroundColor(), 0xFF101010u);
    EXPECT_EQ(copy->GetAlign(), (CKDWORD) (CKSPRITETEXT_RIGHT | CKSPRITETEXT_BOTTOM));
    QxFontInfo after;
    ASSERT_TRUE(QxGetFontInfo(copy->GetFont(), after));
    EXPECT_STREQ(after.FaceName.CStr(), before.FaceName.CStr());
    EXPECT_EQ(after.Height, before.Height) << "the point size came back unchanged";
    EXPECT_EQ(after.Weight, 700);
    EXPECT_TRUE(after.Italic);
    EXPECT_TRUE(after.Underline);
    EXPECT_EQ(copy->GetWidth(), -1) << "the image itself is not saved";

    // Made afterwards, the image gets the text at the first visible render.
    ASSERT_TRUE(copy->Create(100, 30));
    EXPECT_EQ(Ink(copy).Right, 0);
    RCKRenderContext* rc = static_cast<RCKRenderContext*>(other->GetMainRenderContext());
    ASSERT_EQ(copy->Render(rc), 0);
    EXPECT_TRUE(copy->IsTextDrawn());
    EXPECT_EQ(Ink(copy).Right, 100);
}

TEST_F(SpriteTextTest, WithoutAFontSectionTheDefaultFontDraws)
{
    RCKSpriteText* text = NewText(m_Context, "t");
    CKStateChunk* chunk = CKCreateStateChunk(CKCID_SPRITETEXT);
    chunk->StartWrite();
    chunk->WriteIdentifier(CK_STATESAVE_SPRITETEXT);
    chunk->WriteString("abc");
    chunk->WriteIdentifier(CK_STATESAVE_SPRITETEXTCOLOR);
    chunk->WriteDword(0xFFFFFFFF);
    chunk->WriteDword(0);
    chunk->CloseChunk();
    ASSERT_TRUE(text->Create(50, 20));
    ASSERT_EQ(text->Load(chunk, nullptr), 0);
    EXPECT_EQ(text->GetFont(), nullptr);
    EXPECT_STREQ(text->GetText(), "abc");
    EXPECT_EQ(text->GetAlign(), (CKDWORD) CKSPRITETEXT_CENTER) << "an older section has no alignment";
    EXPECT_GT(Ink(text).Right, 0) << "drawn with the default font";
    CKDeleteStateChunk(chunk);
}

} // namespace
