// Sprites: images through files of every save option, render options,
// drawing states and the life of the copy in video memory.
#include <string>
#include <vector>

#include "core/bitmap/CKBitmapReader.h"
#include "core/chunk/CKStateChunk.h"
#include "core/context/CKFunctions.h"
#include "core/context/CKPathManager.h"
#include "core/context/CKPluginManager.h"
#include "core/file/CKFile.h"
#include "includes/CKByteOrder.h"
#include "readers/png/PngReaderPlugin.h"
#include "render/context/rasterizer/CKRasterizerContext.h"
#include "render/objects/RCKSprite.h"
#include "tests/render/support/Render2dTestSupport.h"

namespace {

class SpriteTest : public Render2dFixture
{
protected:
    void RegisterMoreClasses() override
    {
        Render2dFixture::RegisterMoreClasses();
        CKGetPluginManager()->RegisterPlugin(0, CKGetPngPluginInfo(0), nullptr, CKGetPngReader);
    }
    RCKSprite* NewSprite(CKContext* context, const char* name)
    {
        return static_cast<RCKSprite*>(context->CreateObject(CKCID_SPRITE, name));
    }
    // A 24 x 16 picture with varied colours and alpha, written as a PNG.
    std::string WritePicture()
    {
        RCKSprite* maker = NewSprite(m_Context, "maker");
        EXPECT_TRUE(maker->Create(24, 16));
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 24; ++x)
                maker->SetPixel(x, y,
                                ((CKDWORD) (x * 10) << 24) | ((CKDWORD) (x * 7) << 16) | (CKDWORD) (y * 13) << 8 | 77u);
        const std::string path = m_Dir.File("picture.png");
        EXPECT_TRUE(maker->SaveImage(path.c_str()));
        m_Context->DestroyObject(maker);
        return path;
    }
    static CKBitmapProperties PngFormat()
    {
        CKBitmapProperties format;
        CKBitmapReader* reader = static_cast<CKBitmapReader*>(CKGetPluginManager()->GetBitmapReader("png"));
        CKBitmapProperties* defaults = nullptr;
        if (reader) {
            reader->GetBitmapDefaultProperties(&defaults);
            if (defaults)
                format = *defaults;
            reader->Release();
        }
        return format;
    }
    static std::vector<CKDWORD> Pixels(CKSprite* sprite)
    {
        std::vector<CKDWORD> pixels;
        for (int y = 0; y < sprite->GetHeight(); ++y)
            for (int x = 0; x < sprite->GetWidth(); ++x)
                pixels.push_back(sprite->GetPixel(x, y));
        return pixels;
    }
    // The recorded calls since the last clear.
    std::vector<std::string> Calls()
    {
        std::vector<std::string> out;
        for (const XString& call : Recorder(m_RC)->GetCalls())
            out.push_back(call.CStr());
        return out;
    }
    int Count(const std::string& call)
    {
        int n = 0;
        for (const std::string& c : Calls())
            n += c == call;
        return n;
    }
};

TEST_F(SpriteTest, APngSpriteComesBackThroughEverySaveOption)
{
    const std::string png = WritePicture();
    RCKSprite* sprite = NewSprite(m_Context, "sprite");
    ASSERT_TRUE(sprite->LoadImage(png.c_str()));
    EXPECT_EQ(sprite->GetWidth(), 24);
    QxRect r;
    sprite->GetRect(r);
    EXPECT_EQ(r, QxRect(0, 0, 24, 16)) << "the entity takes the image's size";
    sprite->GetSourceRect(r);
    EXPECT_EQ(r, QxRect(0, 0, 24, 16));
    sprite->SetParent(nullptr);
    const std::vector<CKDWORD> decoded = Pixels(sprite);
    ASSERT_EQ(decoded.size(), 24u * 16u);
    EXPECT_EQ(decoded[5], sprite->GetPixel(5, 0));

    sprite->SetAlphaTest(TRUE, 0x80, 7);
    sprite->SetBlending(TRUE, 2, 9);
    sprite->SetModulate(TRUE, QxColor(1.0f, 0.0f, 1.0f, 1.0f));
    sprite->SetFiltering(TRUE);
    sprite->SetTransparentColor(0x00FF00FF);
    sprite->SetTransparent(TRUE);
    const CKSpriteRenderOptions options = sprite->GetRenderOptions();
    EXPECT_EQ(options.Options, 0x8009027Fu);
    EXPECT_EQ(options.ModulateColor, 0xFFFF00FFu);
    const CKBitmapProperties pngFormat = PngFormat();
    ASSERT_EQ(pngFormat.m_Size, 160u) << "the PNG reader's record";
    sprite->SetSaveFormat(&pngFormat);

    struct Case
    {
        int saveOptions;
        int caching;
    };
    for (const Case& c : {Case{CKBITMAP_SAVERAWDATA, CKBITMAP_DISCARD}, Case{CKBITMAP_SAVEREFERENCES, 0},
                          Case{CKBITMAP_SAVEFORMAT, CKBITMAP_VIDEOSHADOW}, Case{CKBITMAP_SAVEINCLUDEFILES, 0}}) {
        SCOPED_TRACE(c.saveOptions);
        sprite->SetSaveOptions(c.saveOptions);
        sprite->SetSystemCaching(c.caching);
        // A change of caching lets pixels that files can give again go.
        if (!sprite->GetSlotImageData(0)) {
            ASSERT_TRUE(sprite->GetBitmapData().ReadSlotImage(0, nullptr));
        }
        CKContext* other = NewContext();
        ASSERT_NE(other, nullptr);
        // References are found beside the picture.
        other->GetPathManager()->AddPath(CKPathManager::BITMAP_PATH_IDX, XString(m_Dir.Path().c_str()));
        SaveAndLoad({sprite}, other);
        CKSprite* copy = static_cast<CKSprite*>(other->GetObjectByNameAndClass("sprite", CKCID_SPRITE));
        ASSERT_NE(copy, nullptr);
        EXPECT_EQ(copy->GetSaveOptions(), c.saveOptions);
        EXPECT_EQ(copy->GetSystemCaching(), c.caching);
        EXPECT_EQ(Pixels(copy), decoded);
        EXPECT_EQ(copy->GetRenderOptions().Options, options.Options);
        EXPECT_EQ(copy->GetRenderOptions().ModulateColor, options.ModulateColor);
        EXPECT_EQ(copy->GetTransparentColor(), 0x00FF00FFu);
        EXPECT_TRUE(copy->IsTransparent());
        EXPECT_EQ(copy->GetCurrentSlot(), 0);
        ASSERT_NE(copy->GetSaveFormat(), nullptr);
        EXPECT_EQ(copy->GetSaveFormat()->m_Size, 160u);
        EXPECT_EQ(copy->GetSaveFormat()->m_ReaderGuid, pngFormat.m_ReaderGuid);
        copy->GetSourceRect(r);
        EXPECT_EQ(r, QxRect(0, 0, 24, 16));
    }
}

TEST_F(SpriteTest, ASpriteWithoutRenderOptionsWritesNoneAndReadsTheDefaults)
{
    RCKSprite* sprite = NewSprite(m_Context, "plain");
    ASSERT_TRUE(sprite->Create(4, 4));
    sprite->SetAlphaTest(TRUE, 3, 2);
    sprite->SetAlphaTest(FALSE, 9, 8);
    EXPECT_EQ(sprite->GetAlphaRef(), 3) << "off keeps the reference and the function";
    EXPECT_EQ(sprite->GetAlphaFunc(), 2);
    EXPECT_FALSE(sprite->IsAlphaTestEnabled());
    sprite->SetSaveOptions(CKBITMAP_SAVERAWDATA);
    sprite->SetSystemCaching(CKBITMAP_PROCEDURAL);
    CKFile* file = m_Context->CreateCKFile();
    CKStateChunk* chunk = sprite->Save(file, 0);
    EXPECT_LT(chunk->SeekIdentifierAndReturnSize(CK_STATESAVE_SPRITERENDEROPTIONS), 0);
    EXPECT_LT(chunk->SeekIdentifierAndReturnSize(CK_STATESAVE_SPRITESYSTEMCACHING), 0) << "procedural";
    RCKSprite* loaded = NewSprite(m_Context, "loaded");
    loaded->SetModulate(TRUE, QxColor(0, 0, 0, 0));
    ASSERT_EQ(loaded->Load(chunk, file), 0);
    EXPECT_EQ(loaded->GetRenderOptions().Options, CKSPRITE_DEFAULTOPTIONS);
    EXPECT_EQ(loaded->GetRenderOptions().ModulateColor, 0xFFFFFFFFu);
    EXPECT_EQ(loaded->GetSystemCaching(), CKBITMAP_PROCEDURAL);
    EXPECT_EQ(loaded->GetPixel(1, 1), sprite->GetPixel(1, 1));
    CKDeleteStateChunk(chunk);
    m_Context->DeleteCKFile(file);

    // Without a file, only the sections the flags ask for follow the 2D
    // entity's.
    chunk = CKSaveObjectState(sprite, CK_STATESAVE_SPRITECURRENTSLOT);
    EXPECT_GE(chunk->SeekIdentifierAndReturnSize(CK_STATESAVE_SPRITECURRENTSLOT), 0);
    EXPECT_LT(chunk->SeekIdentifierAndReturnSize(CK_STATESAVE_SPRITETRANSPARENT), 0);
    EXPECT_LT(chunk->SeekIdentifierAndReturnSize(CK_STATESAVE_SPRITEVIDEOFORMAT), 0);
    CKDeleteStateChunk(chunk);
    EXPECT_EQ(loaded->Load(nullptr, nullptr), -1);
}

TEST_F(SpriteTest, AnOlderSaveFormatRecordIsConvertedOnLoad)
{
    RCKSprite* sprite = NewSprite(m_Context, "s");
    CKDWORD record[13 + 2] = {52, 0x1234, 0x5678, 0x676E70 /* "png" */, 8, 8, 32, 32, 0xFF0000, 0xFF00, 0xFF, 0,
                              0,  6,      7};
    std::vector<CKBYTE> bytes;
    for (CKDWORD w : record)
        for (int i = 0; i < 4; ++i)
            bytes.push_back((CKBYTE) (w >> (8 * i)));
    CKStateChunk* chunk = HandChunk(CKCID_SPRITE, 7, [&](CKStateChunk* c) {
        c->WriteIdentifier(CK_STATESAVE_SPRITESAVEFORMAT);
        c->WriteInt(CKBITMAP_SAVEFORMAT);
        c->WriteBuffer((int) bytes.size(), bytes.data());
    });
    CKFile* file = m_Context->CreateCKFile();
    ASSERT_EQ(sprite->Load(chunk, file), 0);
    const CKBitmapProperties* format = sprite->GetSaveFormat();
    ASSERT_NE(format, nullptr);
    EXPECT_EQ(format->m_Size, 148u);
    EXPECT_EQ(format->m_ReaderGuid, CKGUID(0x1234, 0x5678));
    EXPECT_STREQ(format->m_Ext.CStr(), "png");
    EXPECT_EQ(format->m_Format.Width, 8);
    EXPECT_EQ(format->m_Words[0], 6u);
    EXPECT_EQ(format->m_Words[1], 7u);
    EXPECT_EQ(sprite->GetSaveOptions(), CKBITMAP_SAVEFORMAT);
    m_Context->DeleteCKFile(file);
    CKDeleteStateChunk(chunk);
}

// The size word of a saved record picks its layout: below 140 bytes an older
// one, converted; from 140 bytes (the current base, with or without reader
// words) the current one, taken as it is. Chunks of data version 6 and
// below hold records of another kind that are not read.
TEST_F(SpriteTest, TheSizeWordOfASavedRecordPicksItsLayoutFromExactlyTheCurrentSize)
{
    CKBitmapProperties current;
    current.m_ReaderGuid = CKGUID(0x1234, 0x5678);
    current.m_Ext.Set("png");
    current.m_Format.Width = 8;
    current.m_Format.Height = 4;
    current.m_Format.BitsPerPixel = 32;
    current.m_Words[0] = 99;
    // A 72-byte record of the older layout: its 52-byte description holds
    // width 8.
    std::vector<CKDWORD> older = {72, 0x1234, 0x5678, 0x676E70, 52, 0, 8, 4, 32, 32};
    older.resize(18, 0);
    auto bytesOf = [](const std::vector<CKDWORD>& words) {
        std::vector<CKBYTE> bytes(words.size() * 4);
        for (size_t i = 0; i < words.size(); ++i)
            StoreLE32(&bytes[4 * i], words[i]);
        return bytes;
    };
    struct Case
    {
        const char* what;
        int dataVersion;
        CKDWORD sizeWord;
        CKDWORD kept; // the size of the record the sprite keeps; 0: none
    };
    // A current record read as an older one: 72 bytes of layout, the rest of
    // its buffer as reader words.
    const CKDWORD misread = 140 + (140 - 72);
    const Case cases[] = {
        {"the older 72-byte layout", 7, 72, 140},
        {"one byte short of the current size", 7, 139, misread},
        {"exactly the current size", 7, 140, 140},
        {"the current size and one reader word", 7, 144, 144},
        {"exactly the current size, chunk version 6", 6, 140, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<CKBYTE> record;
        if (c.sizeWord == 72) {
            record = bytesOf(older);
        } else {
            CKBitmapProperties format = current;
            format.m_Size = c.sizeWord < 140 ? 140 : c.sizeWord;
            record.resize(format.m_Size);
            ASSERT_EQ(CKWriteBitmapProperties(format, record.data(), (CKDWORD) record.size()), format.m_Size);
            StoreLE32(record.data(), c.sizeWord);
        }
        CKStateChunk* chunk = HandChunk(CKCID_SPRITE, c.dataVersion, [&](CKStateChunk* k) {
            k->WriteIdentifier(CK_STATESAVE_SPRITESAVEFORMAT);
            k->WriteInt(CKBITMAP_SAVEFORMAT);
            k->WriteBuffer((int) record.size(), record.data());
        });
        RCKSprite* sprite = NewSprite(m_Context, "record");
        const CKBitmapProperties* before = sprite->GetSaveFormat();
        const CKDWORD beforeSize = before ? before->m_Size : 0;
        CKFile* file = m_Context->CreateCKFile();
        ASSERT_EQ(sprite->Load(chunk, file), 0);
        const CKBitmapProperties* format = sprite->GetSaveFormat();
        if (c.kept == 0) {
            EXPECT_EQ(format ? format->m_Size : 0, beforeSize) << "the record is not taken";
        } else {
            ASSERT_NE(format, nullptr);
            EXPECT_EQ(format->m_Size, c.kept);
            EXPECT_EQ(format->m_ReaderGuid, CKGUID(0x1234, 0x5678));
            EXPECT_EQ(format->m_Format.Width, 8);
            EXPECT_EQ(format->m_Format.Height, 4);
            if (c.kept != misread) {
                EXPECT_STREQ(format->m_Ext.CStr(), "png");
                EXPECT_EQ(format->m_Words[0], c.kept == 144 ? 99u : 0u);
            }
        }
        m_Context->DeleteCKFile(file);
        CKDeleteStateChunk(chunk);
        m_Context->DestroyObject(sprite);
    }
}

TEST_F(SpriteTest, DrawingSetsTheStatesOfEachCombinationOfOptions)
{
    RCKSprite* sprite = NewSprite(m_Context, "s");
    ASSERT_TRUE(sprite->Create(8, 8));
    sprite->SetParent(nullptr);
    sprite->SetRect(QxRect(10, 20, 18, 28));
    ASSERT_TRUE(sprite->UpdateExtents(m_RC));
    ASSERT_EQ(sprite->Draw(m_RC), 0);
    const CKDWORD index = sprite->GetRasterizerIndex();
    const std::string draw = "DrawSprite(" + std::to_string(index) + ",0,0,8,8,10,20,18,28)";
    for (int combination = 0; combination < 17; ++combination) {
        const bool alpha = combination & 1, blend = combination & 2, modulate = combination & 4,
                   filter = combination & 8, keyed = combination == 16;
        SCOPED_TRACE(combination);
        sprite->SetAlphaTest(alpha, 0x40, 4);
        sprite->SetBlending(blend, 3, 10);
        sprite->SetModulate(modulate, QxColor(0.0f, 1.0f, 0.0f, 1.0f));
        sprite->SetFiltering(filter);
        sprite->SetTransparent(keyed);
        ASSERT_EQ(sprite->Draw(m_RC), 0); // a colour key on makes the copy again
        Recorder(m_RC)->ClearCalls();
        ASSERT_EQ(sprite->Draw(m_RC), 0);
        std::vector<std::string> expected;
        if (keyed)
            expected = {"SetRenderState(24,0)", "SetRenderState(25,6)", "SetRenderState(15,1)"};
        else if (alpha)
            expected = {"SetRenderState(15,1)", "SetRenderState(24,64)", "SetRenderState(25,4)"};
        else
            expected = {"SetRenderState(15,0)"};
        if (blend)
            expected.insert(expected.end(), {"SetRenderState(27,1)", "SetRenderState(19,3)", "SetRenderState(20,10)"});
        else
            expected.push_back("SetRenderState(27,0)");
        const std::string f = filter ? "2)" : "1)";
        expected.insert(expected.end(), {"SetTextureStageState(0,17," + f, "SetTextureStageState(0,16," + f,
                                         modulate ? "SetTextureStageState(0,39,4)" : "SetTextureStageState(0,39,1)",
                                         "SetTextureStageState(0,13,3)", "SetTextureStageState(0,14,3)", draw});
        EXPECT_EQ(Calls(), expected);
        if (modulate) {
            EXPECT_EQ(Recorder(m_RC)->GetSpriteData(index)->ModulateColor, 0xFF00FF00u);
        }
    }
}

TEST_F(SpriteTest, TheVideoCopyIsMadeOnceAndUploadedAgainWhenTheImageChanges)
{
    RCKSprite* sprite = NewSprite(m_Context, "s");
    EXPECT_EQ(sprite->Draw(m_RC), -1) << "no image";
    EXPECT_EQ(sprite->Draw(nullptr), -1);
    ASSERT_TRUE(sprite->Create(8, 4));
    EXPECT_EQ(sprite->Draw(nullptr), -18);
    const std::string index = std::to_string(sprite->GetRasterizerIndex());
    const std::string create = "CreateObject(" + index + ",2)", upload = "LoadSprite(" + index + ",8x4)",
                      remove = "DeleteObject(" + index + ",2)";
    auto draw = [&] {
        Recorder(m_RC)->ClearCalls();
        return sprite->Draw(m_RC);
    };
    Recorder(m_RC)->ClearCalls();
    ASSERT_TRUE(sprite->UpdateExtents(m_RC));
    ASSERT_EQ(sprite->Draw(m_RC), 0);
    EXPECT_EQ(Count(create), 1);
    EXPECT_EQ(Count(upload), 1);
    EXPECT_TRUE(sprite->IsInVideoMemory());
    EXPECT_EQ(sprite->GetVideoTileCount(), 1);
    EXPECT_EQ(sprite->GetVideoPixelFormat(), 1) << "the render manager's sprite format, 32-bit ARGB";
    EXPECT_FALSE(sprite->IsImageModified());

    ASSERT_EQ(draw(), 0);
    EXPECT_EQ(Count(create), 0);
    EXPECT_EQ(Count(upload), 0);

    sprite->SetPixel(1, 1, 0xFF123456);
    sprite->MarkSlotModified();
    ASSERT_EQ(draw(), 0);
    EXPECT_EQ(Count(create), 0);
    EXPECT_EQ(Count(upload), 1);
    QxImageDesc surface;
    QxRect tile;
    ASSERT_TRUE(sprite->LockVideoTile(0, surface, tile));
    EXPECT_EQ(tile, QxRect(0, 0, 8, 4));
    CKDWORD texel;
    std::memcpy(&texel, surface.Image + surface.BytesPerLine + 4, 4);
    EXPECT_EQ(texel, 0xFF123456u) << "the new pixel in video memory";
    EXPECT_TRUE(sprite->UnlockVideoTile(0));

    // A colour key needs a copy with alpha: made again, and the keyed
    // pixels are transparent there.
    sprite->SetTransparentColor(0xFF123456);
    sprite->SetTransparent(TRUE);
    ASSERT_EQ(draw(), 0);
    EXPECT_EQ(Count(remove), 1);
    EXPECT_EQ(Count(create), 1);
    EXPECT_EQ(Count(upload), 1);
    ASSERT_TRUE(sprite->LockVideoTile(0, surface, tile));
    std::memcpy(&texel, surface.Image + surface.BytesPerLine + 4, 4);
    EXPECT_EQ(texel >> 24, 0u);
    sprite->UnlockVideoTile(0);
    ASSERT_EQ(draw(), 0);
    EXPECT_EQ(Count(create), 0);
    EXPECT_EQ(Count(upload), 0);

    // A new size frees the copy; the next draw makes it again.
    ASSERT_TRUE(sprite->Create(6, 6));
    EXPECT_FALSE(sprite->IsInVideoMemory());
    EXPECT_EQ(sprite->GetVideoTileCount(), 0);
    ASSERT_EQ(draw(), 0);
    EXPECT_EQ(Count(create), 1);

    // The render context's device goes: the sprite no longer holds it.
    ASSERT_EQ(m_RC->ChangeDriver(-1), 0);
    EXPECT_FALSE(sprite->IsInVideoMemory());
    EXPECT_FALSE(sprite->FreeVideoMemory());
}

TEST_F(SpriteTest, AnOlderChunkShowsTheImageOfAnotherSprite)
{
    RCKSprite* shown = NewSprite(m_Context, "shown");
    ASSERT_TRUE(shown->Create(3, 2));
    shown->SetPixel(2, 1, 0xFFABCDEF);
    shown->SetSlotFileName(0, "shown.png");
    shown->SetBlending(TRUE, 2, 2);
    CKStateChunk* chunk = HandChunk(CKCID_SPRITE, 0, [&](CKStateChunk* c) {
        c->WriteIdentifier(CK_STATESAVE_SPRITESHARED);
        c->WriteObject(shown);
    });
    RCKSprite* sprite = NewSprite(m_Context, "s");
    ASSERT_EQ(sprite->Load(chunk, nullptr), 0);
    EXPECT_EQ(sprite->GetWidth(), 3);
    EXPECT_EQ(sprite->GetPixel(2, 1), 0xFFABCDEFu);
    EXPECT_STREQ(sprite->GetSlotFileName(0), "shown.png");
    EXPECT_TRUE(sprite->IsBlendingEnabled());
    EXPECT_NE(sprite->GetSlotImageData(0), shown->GetSlotImageData(0)) << "a copy of the pixels";
    CKDeleteStateChunk(chunk);
}

TEST_F(SpriteTest, ASpriteChunkCutAnywhereLoadsWithoutHarm)
{
    RCKSprite* sprite = NewSprite(m_Context, "s");
    ASSERT_TRUE(sprite->Create(5, 3));
    sprite->SetPixel(4, 2, 0xFF00FF00);
    sprite->SetAlphaTest(TRUE, 1, 2);
    const CKBitmapProperties png = PngFormat();
    sprite->SetSaveFormat(&png);
    CKFile* file = m_Context->CreateCKFile();
    for (int options : {CKBITMAP_SAVERAWDATA, CKBITMAP_SAVEFORMAT}) {
        sprite->SetSaveOptions(options);
        CKStateChunk* whole = sprite->Save(file, 0);
        ASSERT_NE(whole, nullptr);
        const int words = whole->GetDataSize() / 4;
        const CKDWORD* data = whole->GetBuffer() + 1;
        for (int n = 0; n <= words; ++n) {
            CKStateChunk* cut = HandChunk(CKCID_SPRITE, whole->GetDataVersion(), [&](CKStateChunk* c) {
                for (int i = 0; i < n; ++i)
                    c->WriteDword(data[i]);
            });
            RCKSprite* loaded = NewSprite(m_Context, "cut");
            EXPECT_EQ(loaded->Load(cut, file), 0);
            if (n == words) {
                EXPECT_EQ(loaded->GetPixel(4, 2), 0xFF00FF00u) << options;
                EXPECT_TRUE(loaded->IsAlphaTestEnabled());
            }
            m_Context->DestroyObject(loaded);
            CKDeleteStateChunk(cut);
        }
        CKDeleteStateChunk(whole);
    }
    m_Context->DeleteCKFile(file);
}

} // namespace
