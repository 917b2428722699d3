// The NULL rasterizer keeps what it is given: buffers, textures and sprites
// lock into real memory, states read back, and the colour buffer holds the
// last clear colour.
#include <cstring>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "render/context/rasterizer/CKNULLRasterizer.h"
#include "render/context/rasterizer/CKSharedBufferPool.h"
#include "system/image/QxPixelFormat.h"

namespace {

class NullRasterizerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_Context = m_Rasterizer.GetDriver(0)->CreateContext();
        ASSERT_TRUE(m_Context->Create(nullptr, 0, 0, 320, 200, 32, FALSE));
    }
    void TearDown() override { m_Rasterizer.GetDriver(0)->DestroyContext(m_Context); }

    CKNULLRasterizer m_Rasterizer;
    CKRasterizerContext* m_Context = nullptr;
};

TEST_F(NullRasterizerTest, TheDriverPublishesItsTextureFormats)
{
    CKRasterizerDriver* driver = m_Rasterizer.GetDriver(0);
    ASSERT_GE(driver->GetTextureFormatCount(), 1);
    EXPECT_EQ(QxImageDesc2PixelFormat(driver->GetTextureFormat(0)->Format), _32_ARGB8888);
    EXPECT_EQ(driver->GetTextureFormat(driver->GetTextureFormatCount()), nullptr);
    EXPECT_EQ(driver->GetTextureFormat(-1), nullptr);
    EXPECT_STREQ(driver->GetDescription(), "NULL Rasterizer");
}

TEST_F(NullRasterizerTest, AVertexBufferLocksIntoWritableMemoryAndReadsBack)
{
    CKVertexBufferDesc desc;
    desc.VertexSize = 24;
    desc.MaxVertexCount = 100;
    ASSERT_TRUE(m_Context->CreateObject(5, CKRST_OBJ_VERTEXBUFFER, &desc));
    EXPECT_EQ(m_Context->GetVertexBufferData(5)->MaxVertexCount, 100u);
    CKBYTE* all = static_cast<CKBYTE*>(m_Context->LockVertexBuffer(5, 0, 100));
    ASSERT_NE(all, nullptr);
    for (int i = 0; i < 2400; ++i)
        all[i] = (CKBYTE) (i * 7);
    EXPECT_TRUE(m_Context->UnlockVertexBuffer(5));
    CKBYTE* part = static_cast<CKBYTE*>(m_Context->LockVertexBuffer(5, 10, 5));
    ASSERT_EQ(part, all + 240) << "a range starts at its first vertex";
    EXPECT_EQ(part[0], (CKBYTE) (240 * 7));
    EXPECT_EQ(m_Context->LockVertexBuffer(5, 96, 5), nullptr) << "past the end";
    EXPECT_EQ(m_Context->LockVertexBuffer(6, 0, 1), nullptr) << "no buffer there";
    EXPECT_TRUE(m_Context->DrawPrimitiveVB(CKRST_PT_POINTLIST, 5, 0, 100));
    EXPECT_FALSE(m_Context->DrawPrimitiveVB(CKRST_PT_POINTLIST, 5, 50, 51));
    EXPECT_TRUE(m_Context->DeleteObject(5, CKRST_OBJ_VERTEXBUFFER));
    EXPECT_EQ(m_Context->GetVertexBufferData(5), nullptr);
}

TEST_F(NullRasterizerTest, SharedBuffersTakeSeparateRangesAndReadBack)
{
    // Three vertex buffers of one size share a pool; each keeps its bytes.
    for (CKDWORD index = 1; index <= 3; ++index) {
        CKSharedVBDesc desc;
        desc.VertexSize = 16;
        desc.MaxVertexCount = 10 * index;
        ASSERT_TRUE(m_Context->CreateObject(index, CKRST_OBJ_SHAREDVB, &desc));
        CKBYTE* bytes = static_cast<CKBYTE*>(m_Context->LockSharedVB(index, 0, desc.MaxVertexCount));
        ASSERT_NE(bytes, nullptr);
        std::memset(bytes, (int) index, 16 * desc.MaxVertexCount);
        m_Context->UnlockSharedVB(index);
    }
    EXPECT_EQ(m_Context->GetSharedVBData(2)->Pool, m_Context->GetSharedVBData(3)->Pool);
    for (CKDWORD index = 1; index <= 3; ++index) {
        CKSharedVBDesc* desc = m_Context->GetSharedVBData(index);
        const CKBYTE* bytes = static_cast<const CKBYTE*>(m_Context->LockSharedVB(index, 0, desc->MaxVertexCount));
        for (CKDWORD i = 0; i < 16 * desc->MaxVertexCount; ++i)
            ASSERT_EQ(bytes[i], (CKBYTE) index) << "buffer " << index << " byte " << i;
    }
    CKSharedBufferPool* pool = m_Context->GetSharedVBData(1)->Pool;
    CKDWORD freeBefore = pool->GetFreeCount();
    EXPECT_TRUE(m_Context->DeleteObject(2, CKRST_OBJ_SHAREDVB));
    EXPECT_EQ(pool->GetFreeCount(), freeBefore + 20) << "the range went back to the pool";

    CKSharedIBDesc ib;
    ib.MaxIndexCount = 6;
    ASSERT_TRUE(m_Context->CreateObject(9, CKRST_OBJ_SHAREDIB, &ib));
    CKWORD* indices = static_cast<CKWORD*>(m_Context->LockSharedIB(9, 0, 6));
    ASSERT_NE(indices, nullptr);
    for (int i = 0; i < 6; ++i)
        indices[i] = (CKWORD) (i * 3);
    EXPECT_EQ(static_cast<CKWORD*>(m_Context->LockSharedIB(9, 4, 2))[1], 15);
    EXPECT_EQ(m_Context->LockSharedIB(9, 4, 3), nullptr);
    EXPECT_TRUE(m_Context->DrawPrimitiveSharedVBIB(CKRST_PT_TRIANGLELIST, 1, 0, 9, 0, 10, 6));
    EXPECT_FALSE(m_Context->DrawPrimitiveSharedVBIB(CKRST_PT_TRIANGLELIST, 2, 0, 9, 0, 10, 6)) << "deleted";
}

TEST_F(NullRasterizerTest, ObjectsOfBadIndexKindOrSizeAreRefused)
{
    CKVertexBufferDesc vb;
    vb.VertexSize = 12;
    vb.MaxVertexCount = 1;
    EXPECT_FALSE(m_Context->CreateObject(0, CKRST_OBJ_VERTEXBUFFER, &vb));
    EXPECT_FALSE(m_Context->CreateObject(CKRST_MAX_OBJECTINDEX + 1, CKRST_OBJ_VERTEXBUFFER, &vb));
    EXPECT_FALSE(m_Context->CreateObject(1, 3, &vb));
    EXPECT_FALSE(m_Context->CreateObject(1, CKRST_OBJ_VERTEXBUFFER, nullptr));
    vb.MaxVertexCount = 0x7FFFFFFF;
    EXPECT_FALSE(m_Context->CreateObject(1, CKRST_OBJ_VERTEXBUFFER, &vb)) << "a huge buffer is refused";
    CKTextureDesc texture;
    texture.Format = QxMakeImageDesc32(100000, 4);
    EXPECT_FALSE(m_Context->CreateObject(1, CKRST_OBJ_TEXTURE, &texture));
    texture.Format = QxMakeImageDesc32(0, 4);
    EXPECT_FALSE(m_Context->CreateObject(1, CKRST_OBJ_SPRITE, &texture)) << "a sprite of no width";
    EXPECT_FALSE(m_Context->DeleteObject(1, CKRST_OBJ_TEXTURE));
}

TEST_F(NullRasterizerTest, EveryStateLightMaterialAndClipPlaneReadsBack)
{
    for (CKDWORD state = 0; state < CKRST_RS_COUNT; ++state)
        ASSERT_TRUE(m_Context->SetRenderState(state, state * 2654435761u));
    for (CKDWORD state = 0; state < CKRST_RS_COUNT; ++state) {
        CKDWORD value = 0;
        ASSERT_TRUE(m_Context->GetRenderState(state, &value));
        EXPECT_EQ(value, state * 2654435761u) << "state " << state;
    }
    EXPECT_FALSE(m_Context->SetRenderState(CKRST_RS_COUNT, 1));
    for (int stage = 0; stage < CKRST_MAX_STAGES; ++stage)
        for (CKDWORD state = 0; state < CKRST_TSS_COUNT; ++state)
            ASSERT_TRUE(m_Context->SetTextureStageState(stage, state, (CKDWORD) stage * 100 + state));
    CKDWORD value = 0;
    ASSERT_TRUE(m_Context->GetTextureStageState(3, CKRST_TSS_STAGEBLEND, &value));
    EXPECT_EQ(value, 300u + CKRST_TSS_STAGEBLEND);
    m_Context->SetTexture(7, 2);
    EXPECT_EQ(m_Context->GetTexture(2), 7u);
    m_Context->ResetTextureStages();
    EXPECT_EQ(m_Context->GetTexture(2), 0u);
    ASSERT_TRUE(m_Context->GetTextureStageState(2, CKRST_TSS_TEXCOORDINDEX, &value));
    EXPECT_EQ(value, 2u) << "each stage reads its own coordinate set again";
    EXPECT_FALSE(m_Context->SetTextureStageState(CKRST_MAX_STAGES, 0, 0));

    // Lights, the material and clip planes are kept.
    CKLightRecord light;
    light.Light.Type = 3;
    light.LightingModel = 1;
    EXPECT_TRUE(m_Context->SetLight(4, light));
    EXPECT_TRUE(m_Context->EnableLight(4, TRUE));
    EXPECT_EQ(m_Context->GetLight(4)->Light.Type, 3u);
    EXPECT_TRUE(m_Context->IsLightEnabled(4));
    EXPECT_FALSE(m_Context->SetLight(CKRST_MAX_LIGHTS, light));
    CKMaterialData material;
    material.SpecularPower = 12.0f;
    m_Context->SetMaterial(material);
    EXPECT_EQ(m_Context->GetMaterial().SpecularPower, 12.0f);
    const float plane[4] = {1, 2, 3, 4};
    float back[4] = {};
    EXPECT_TRUE(m_Context->SetUserClipPlane(1, plane));
    EXPECT_TRUE(m_Context->GetUserClipPlane(1, back));
    EXPECT_EQ(std::memcmp(plane, back, sizeof(plane)), 0);
}

TEST_F(NullRasterizerTest, TexturesAndSpriteTilesLoadAndLockTheirPixels)
{
    CKTextureDesc desc;
    desc.Format = QxMakeImageDesc32(8, 4);
    ASSERT_TRUE(m_Context->CreateObject(2, CKRST_OBJ_TEXTURE, &desc));
    std::vector<CKDWORD> pixels(32);
    for (int i = 0; i < 32; ++i)
        pixels[i] = 0xFF000000u | (CKDWORD) i * 0x010203u;
    QxImageDesc image = QxMakeImageDesc32(8, 4);
    image.Image = reinterpret_cast<CKBYTE*>(pixels.data());
    ASSERT_TRUE(m_Context->LoadTexture(2, image));
    QxImageDesc locked;
    ASSERT_TRUE(m_Context->LockTexture(2, locked));
    ASSERT_EQ(locked.Width, 8);
    EXPECT_EQ(std::memcmp(locked.Image, pixels.data(), 128), 0);
    EXPECT_TRUE(m_Context->UnlockTexture(2));
    EXPECT_FALSE(m_Context->LockTexture(3, locked));
    EXPECT_TRUE(m_Context->DeleteObject(2, CKRST_OBJ_TEXTURE));

    // Sprites wider than the driver's largest texture: two tiles side by side.
    int side = m_Rasterizer.GetDriver(0)->GetCaps().MaxTextureWidth;
    desc.Format = QxMakeImageDesc32(side + 3, 2);
    ASSERT_TRUE(m_Context->CreateObject(1, CKRST_OBJ_SPRITE, &desc));
    CKSpriteDesc* sprite = m_Context->GetSpriteData(1);
    ASSERT_NE(sprite, nullptr);
    ASSERT_EQ(sprite->Tiles.Size(), 2);
    EXPECT_EQ(sprite->Tiles[1].x, side);
    EXPECT_EQ(sprite->Tiles[1].Width, 3);
    pixels.resize((size_t) (side + 3) * 2);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = 0xFF000000u | (CKDWORD) i;
    image = QxMakeImageDesc32(side + 3, 2);
    image.Image = reinterpret_cast<CKBYTE*>(pixels.data());
    ASSERT_TRUE(m_Context->LoadSprite(1, image));
    QxImageDesc tile;
    ASSERT_TRUE(m_Context->LockTexture(sprite->Tiles[1].TextureIndex, tile));
    CKDWORD second = 0;
    std::memcpy(&second, tile.Image + tile.BytesPerLine + 4, 4);
    EXPECT_EQ(second, pixels[(size_t) (side + 3) + side + 1]) << "line 1, column side + 1";
    CKDWORD tileTexture = sprite->Tiles[0].TextureIndex;
    EXPECT_TRUE(m_Context->DrawSprite(1, QxRect(0, 0, 1, 1), QxRect(0, 0, 1, 1)));
    EXPECT_TRUE(m_Context->DeleteObject(1, CKRST_OBJ_SPRITE));
    EXPECT_EQ(m_Context->GetTextureData(tileTexture), nullptr) << "the tiles go with the sprite";
}

TEST_F(NullRasterizerTest, TheColourBufferHoldsTheLastClearColour)
{
    ASSERT_TRUE(m_Context->Clear(CKRST_CTXCLEAR_COLOR | CKRST_CTXCLEAR_DEPTH, 0xFF336699, 1.0f, 0, 0, nullptr));
    QxImageDesc desc;
    EXPECT_EQ(m_Context->CopyToMemoryBuffer(QxRect(0, 0, 320, 200), 1, desc), 320 * 200 * 4);
    EXPECT_EQ(desc.Image, nullptr) << "no pointer: only the description";
    EXPECT_EQ(desc.Width, 320);
    EXPECT_EQ(desc.BitsPerPixel, 32);
    std::vector<CKDWORD> pixels(10 * 5);
    desc.Image = reinterpret_cast<CKBYTE*>(pixels.data());
    EXPECT_EQ(m_Context->CopyToMemoryBuffer(QxRect(315, 195, 400, 300), 1, desc), 5 * 5 * 4) << "cut to the device";
    EXPECT_EQ(desc.Height, 5);
    EXPECT_EQ(pixels[0], 0xFF336699u);
    EXPECT_EQ(pixels[24], 0xFF336699u);
    EXPECT_EQ(m_Context->CopyToMemoryBuffer(QxRect(0, 0, 10, 10), 2, desc), 0) << "only the colour buffer";
    EXPECT_EQ(m_Context->CopyToMemoryBuffer(QxRect(400, 0, 500, 10), 1, desc), 0);
}

} // namespace
