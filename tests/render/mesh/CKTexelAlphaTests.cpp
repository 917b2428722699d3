// The material's texel alpha test against a direct read of the texel, and
// the choice of the driver's closest alpha format.
#include <random>

#include "render/mesh/CKSelectClosestAlphaFormat.h"
#include "render/mesh/CKTestMaterialTexelAlpha.h"
#include "system/image/QxPixelFormat.h"
#include "tests/render/mesh/MaterialTestSupport.h"

namespace {

using TexelAlpha = MaterialFixture;

TEST_F(TexelAlpha, AgreesWithADirectTexelReadOnRandomPoints)
{
    const int w = 13, h = 9;
    CKTexture* t = NewTexture("t");
    ASSERT_TRUE(t->Create(w, h));
    std::mt19937 random(22);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            t->SetPixel(x, y, (CKDWORD) (random() & 0xFF) << 24 | 0x336699);
    CKMaterial* m = NewMaterial("m");
    m->SetTexture0(t);
    m->EnableAlphaTest(TRUE);
    std::uniform_real_distribution<float> inside(0.05f, 0.95f);
    const int functions[] = {CK_CMP_GREATER,  CK_CMP_LESSEQUAL, CK_CMP_EQUAL,
                             CK_CMP_NOTEQUAL, CK_CMP_ALWAYS,    CK_CMP_NEVER};
    for (int function : functions) {
        m->SetAlphaFunc(function);
        for (int i = 0; i < 400; ++i) {
            int x = (int) (random() % w), y = (int) (random() % h);
            m->SetAlphaRef((CKBYTE) (i % 3 == 0 ? t->GetPixel(x, y) >> 24 : random() & 0xFF));
            float u = ((float) x + inside(random)) / (float) w;
            float v = ((float) y + inside(random)) / (float) h;
            int alpha = (int) (t->GetPixel(x, y) >> 24);
            bool expected = CKCompare(function, alpha, m->GetAlphaRef());
            // The same texel through each address mode.
            m->SetTextureAddressMode(CK_TEXADDRESS_WRAP);
            EXPECT_EQ(CKTestMaterialTexelAlpha(m, u, v), expected) << x << "," << y;
            EXPECT_EQ(CKTestMaterialTexelAlpha(m, u - 3.0f, v + 2.0f), expected) << "wrapped";
            m->SetTextureAddressMode(CK_TEXADDRESS_MIRROR);
            EXPECT_EQ(CKTestMaterialTexelAlpha(m, 2.0f - u, v), expected) << "mirrored";
            m->SetTextureAddressMode(CK_TEXADDRESS_CLAMP);
            if (x == 0) {
                EXPECT_EQ(CKTestMaterialTexelAlpha(m, -5.0f, v), expected) << "clamped";
            }
        }
    }
}

TEST_F(TexelAlpha, PassesWithoutTestTextureOrPixelsAndUsesTheBorderAndTheColourKey)
{
    CKMaterial* m = NewMaterial("m");
    EXPECT_TRUE(CKTestMaterialTexelAlpha(nullptr, 0.5f, 0.5f));
    m->SetAlphaFunc(CK_CMP_NEVER);
    EXPECT_TRUE(CKTestMaterialTexelAlpha(m, 0.5f, 0.5f)) << "no alpha test";
    m->EnableAlphaTest(TRUE);
    EXPECT_TRUE(CKTestMaterialTexelAlpha(m, 0.5f, 0.5f)) << "no texture";
    CKTexture* t = NewTexture("t");
    m->SetTexture0(t);
    EXPECT_TRUE(CKTestMaterialTexelAlpha(m, 0.5f, 0.5f)) << "no image";

    ASSERT_TRUE(t->Create(2, 2));
    t->SetPixel(0, 0, 0xFF102030);
    m->SetAlphaFunc(CK_CMP_GREATER);
    m->SetAlphaRef(0x80);
    EXPECT_TRUE(CKTestMaterialTexelAlpha(m, 0.1f, 0.1f));
    t->SetTransparentColor(0x00102031);
    t->SetTransparent(TRUE);
    EXPECT_FALSE(CKTestMaterialTexelAlpha(m, 0.1f, 0.1f)) << "the key makes it clear";
    m->SetTextureAddressMode(CK_TEXADDRESS_BORDER);
    m->SetTextureBorderColor(0x40FFFFFF);
    EXPECT_FALSE(CKTestMaterialTexelAlpha(m, 1.5f, 0.1f)) << "the border's alpha, 0x40";
    m->SetTextureBorderColor(0xC0000000);
    EXPECT_TRUE(CKTestMaterialTexelAlpha(m, -0.5f, 0.1f));
}

CKTextureDesc Format(int id)
{
    CKTextureDesc d;
    QxPixelFormat2ImageDesc(id, d.Format);
    return d;
}

TEST(CKSelectClosestAlphaFormat, PicksTheAlphaFormatOfNearestDepth)
{
    CKTextureDesc rgb565 = Format(_16_RGB565), argb1555 = Format(_16_ARGB1555), argb4444 = Format(_16_ARGB4444),
                  argb8888 = Format(_32_ARGB8888), rgb888 = Format(_24_RGB888), argb2222 = Format(_8_ARGB2222);
    QxImageDesc want16, want24, want32;
    QxPixelFormat2ImageDesc(_16_RGB565, want16);
    QxPixelFormat2ImageDesc(_24_RGB888, want24);
    QxPixelFormat2ImageDesc(_32_RGB888, want32);
    const CKTextureDesc* all[] = {&rgb565, &argb1555, &argb4444, &argb8888, &rgb888};
    EXPECT_EQ(CKSelectClosestAlphaFormat(all, 5, want16), &argb1555) << "the first of the 16-bit ones";
    EXPECT_EQ(CKSelectClosestAlphaFormat(all, 5, want32), &argb8888);
    EXPECT_EQ(CKSelectClosestAlphaFormat(all, 5, want24), &argb1555) << "as near as 32 bits: the first";
    const CKTextureDesc* low[] = {&argb2222, &argb4444};
    EXPECT_EQ(CKSelectClosestAlphaFormat(low, 2, want24), &argb4444);
    const CKTextureDesc* none[] = {&rgb565, &rgb888, nullptr};
    EXPECT_EQ(CKSelectClosestAlphaFormat(none, 3, want16), nullptr);
    EXPECT_EQ(CKSelectClosestAlphaFormat(nullptr, 4, want16), nullptr);
}

} // namespace
