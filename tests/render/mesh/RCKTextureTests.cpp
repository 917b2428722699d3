// The texture: a PNG through the three ways a file keeps images, the video
// copy on the rasterizer (uploads, colour key, mipmaps, discard caching),
// its options section (golden words, every cut, hostile values), copies
// and the readers a saved file needs.
#include <string>
#include <vector>

#include "core/bitmap/CKBitmapReader.h"
#include "core/context/CKFunctions.h"
#include "core/context/CKPathManager.h"
#include "core/object/CKBeObjectLinks.h"
#include "readers/png/PngReaderPlugin.h"
#include "render/context/rasterizer/CKRasterizerContext.h"
#include "system/image/QxPixelFormat.h"
#include "tests/render/mesh/MaterialTestSupport.h"

namespace {

using Texture = MaterialFixture;

// Every pixel of slot 0, row by row.
std::vector<CKDWORD> Pixels(CKTexture* t)
{
    std::vector<CKDWORD> out;
    for (int y = 0; y < t->GetHeight(); ++y)
        for (int x = 0; x < t->GetWidth(); ++x)
            out.push_back(t->GetPixel(x, y, 0));
    return out;
}

// A 7 x 5 image of varied colours and alphas.
void Paint(CKTexture* t, CKDWORD seed)
{
    ASSERT_TRUE(t->Create(7, 5));
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) {
            seed = seed * 214013u + 2531011u;
            t->SetPixel(x, y, seed ^ (CKDWORD) (x * 977 + y * 131));
        }
}

int Count(RCKRenderContext* rc, const std::string& prefix)
{
    int n = 0;
    auto* recorder = static_cast<CKRecordingRasterizerContext*>(rc->GetRasterizerContext());
    for (const XString& call : recorder->GetCalls())
        n += std::string(call.CStr()).rfind(prefix, 0) == 0 ? 1 : 0;
    return n;
}

TEST_F(Texture, APngKeepsItsPixelsThroughRawReferenceAndOwnFormatSaves)
{
    CKTexture* source = NewTexture("source");
    Paint(source, 7);
    std::string png = m_Dir.File("pattern.png");
    ASSERT_TRUE(source->SaveImage(png.c_str(), 0, FALSE));
    std::vector<CKDWORD> expected = Pixels(source);

    CKBitmapReader* reader = static_cast<CKBitmapReader*>(CKGetPngReader(0));
    CKBitmapProperties* pngFormat = nullptr;
    reader->GetBitmapDefaultProperties(&pngFormat);
    std::vector<CKObject*> saved;
    const char* names[] = {"raw", "reference", "own format"};
    for (int options = 0; options < 3; ++options) {
        CKTexture* t = NewTexture(names[options]);
        ASSERT_TRUE(t->LoadImage(png.c_str()));
        EXPECT_EQ(Pixels(t), expected) << "as read";
        t->SetSaveOptions(options);
        if (options == CKBITMAP_SAVEFORMAT)
            t->SetSaveFormat(pngFormat);
        saved.push_back(t);
    }
    reader->Release();

    // The fresh context finds the referenced file in its bitmap folders.
    Fresh()->GetPathManager()->AddPath(CKPathManager::BITMAP_PATH_IDX, XString(m_Dir.Path().c_str()));
    SaveAndLoad(saved);
    for (int options = 0; options < 3; ++options) {
        SCOPED_TRACE(names[options]);
        CKTexture* t = Loaded<CKTexture>(names[options], CKCID_TEXTURE);
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(t->GetSaveOptions(), options);
        EXPECT_EQ(t->GetWidth(), 7);
        EXPECT_EQ(t->GetHeight(), 5);
        EXPECT_EQ(Pixels(t), expected);
    }
    CKBitmapProperties* kept = Loaded<CKTexture>("own format", CKCID_TEXTURE)->GetSaveFormat();
    ASSERT_NE(kept, nullptr);
    EXPECT_STREQ(kept->m_Ext.m_Data, "png");
}

TEST_F(Texture, TheVideoCopyIsMadeOnceAndUploadedAgainOnlyWhenTheImageChanges)
{
    RCKRenderContext* rc = NewRecordingContext();
    CKRasterizerContext* rst = rc->GetRasterizerContext();
    CKTexture* t = NewTexture("t");
    Paint(t, 3);
    EXPECT_FALSE(t->IsInVideoMemory());
    ASSERT_TRUE(t->SetAsCurrent(rc, FALSE, 2));
    CKDWORD index = t->GetRstTextureIndex();
    ASSERT_NE(index, 0u);
    EXPECT_EQ(rst->GetTexture(2), index);
    EXPECT_TRUE(t->IsInVideoMemory());
    EXPECT_EQ(t->GetBitmapFlags() & (CKBITMAPDATA_MODIFIED | CKBITMAPDATA_VIDEOCHANGED), 0u);
    EXPECT_EQ(t->GetVideoPixelFormat(), (int) _32_ARGB8888);

    QxImageDesc video;
    ASSERT_TRUE(rst->LockTexture(index, video));
    EXPECT_EQ(video.Width, 7);
    EXPECT_EQ(reinterpret_cast<CKDWORD*>(video.Image)[8], t->GetPixel(1, 1));
    rst->UnlockTexture(index);

    Recorder(rc)->ClearCalls();
    ASSERT_TRUE(t->SetAsCurrent(rc));
    EXPECT_EQ(Count(rc, "LoadTexture"), 0) << "nothing changed";
    t->SetPixel(1, 1, 0x12345678);
    t->MarkSlotModified();
    ASSERT_TRUE(t->SetAsCurrent(rc, TRUE));
    EXPECT_EQ(Count(rc, "LoadTexture"), 1);
    EXPECT_EQ(Count(rc, "CreateObject"), 0) << "same size and format";
    ASSERT_TRUE(rst->LockTexture(index, video));
    EXPECT_EQ(reinterpret_cast<CKDWORD*>(video.Image)[8], 0x12345678u);
    rst->UnlockTexture(index);
    CKDWORD address = 0;
    rst->GetTextureStageState(0, CKRST_TSS_ADDRESSU, &address);
    EXPECT_EQ(address, 3u) << "clamped";

    t->FreeVideoMemory();
    EXPECT_EQ(rst->GetTextureData(index), nullptr);
    EXPECT_FALSE(t->IsInVideoMemory());
    ASSERT_TRUE(t->SetAsCurrent(rc));
    index = t->GetRstTextureIndex();
    m_Context->DestroyObject(t);
    EXPECT_EQ(rst->GetTextureData(index), nullptr) << "a destroyed texture leaves the device";
}

TEST_F(Texture, TheColourKeyBecomesAlphaInTheVideoCopyOnly)
{
    RCKRenderContext* rc = NewRecordingContext();
    CKTexture* t = NewTexture("keyed");
    ASSERT_TRUE(t->Create(2, 1));
    t->SetPixel(0, 0, 0xFF00FF00);
    t->SetPixel(1, 0, 0x80FF0000);
    t->SetTransparentColor(0xFF00FF01);
    t->SetTransparent(TRUE);
    ASSERT_TRUE(t->SetAsCurrent(rc));
    QxImageDesc video;
    ASSERT_TRUE(rc->GetRasterizerContext()->LockTexture(t->GetRstTextureIndex(), video));
    const CKDWORD* p = reinterpret_cast<CKDWORD*>(video.Image);
    EXPECT_EQ(p[0] >> 24, 0u) << "the key, compared without the lowest bits";
    EXPECT_EQ(p[1] >> 24, 0xFFu);
    EXPECT_EQ(t->GetPixel(0, 0), 0xFF00FF00u) << "the system pixels stay";
}

TEST_F(Texture, MipmapsGiveEveryLevelDownToOnePixel)
{
    RCKRenderContext* rc = NewRecordingContext();
    CKTexture* t = NewTexture("t");
    ASSERT_TRUE(t->Create(16, 4));
    EXPECT_EQ(t->GetMipmapCount(), 0);
    t->UseMipmap(1);
    EXPECT_EQ(t->GetMipmapCount(), 4);
    ASSERT_TRUE(t->SetAsCurrent(rc));
    EXPECT_EQ(rc->GetRasterizerContext()->GetTextureData(t->GetRstTextureIndex())->MipMapCount, 4u);
    t->UseMipmap(0);
    EXPECT_TRUE(t->GetBitmapFlags() & CKBITMAPDATA_VIDEOCHANGED) << "the video copy is made again";
}

TEST_F(Texture, DiscardCachingFreesReloadablePixelsAfterTheUploadAndReadsThemForTheNext)
{
    RCKRenderContext* rc = NewRecordingContext();
    CKTexture* source = NewTexture("source");
    Paint(source, 11);
    std::string png = m_Dir.File("discard.png");
    ASSERT_TRUE(source->SaveImage(png.c_str(), 0, FALSE));
    CKTexture* t = NewTexture("t");
    ASSERT_TRUE(t->LoadImage(png.c_str()));
    t->SetSaveOptions(CKBITMAP_SAVEREFERENCES);
    t->SetSystemCaching(CKBITMAP_DISCARD);
    ASSERT_TRUE(t->SetAsCurrent(rc));
    EXPECT_EQ(t->LockSurfacePtr(), nullptr) << "freed after the upload";
    t->MarkSlotModified();
    Recorder(rc)->ClearCalls();
    ASSERT_TRUE(t->SetAsCurrent(rc));
    EXPECT_EQ(Count(rc, "LoadTexture"), 1) << "read again from the file";
    EXPECT_EQ(t->LockSurfacePtr(), nullptr);
}

TEST_F(Texture, AnImagelessTextureBindsNothing)
{
    RCKRenderContext* rc = NewRecordingContext();
    CKTexture* t = NewTexture("empty");
    EXPECT_FALSE(t->SetAsCurrent(rc, FALSE, 1));
    EXPECT_EQ(rc->GetRasterizerContext()->GetTexture(1), 0u);
    EXPECT_FALSE(t->SetAsCurrent(nullptr));
    EXPECT_FALSE(t->LoadImage(nullptr));
    EXPECT_FALSE(t->LoadImage(m_Dir.File("missing.png").c_str()));
    EXPECT_EQ(t->GetSlotCount(), 0) << "a failed load leaves no slot";
}

TEST_F(Texture, ItsOptionsSectionHasTheDocumentedWords)
{
    CKTexture* t = NewTexture("t");
    t->UseMipmap(1);
    t->SetTransparentColor(0xFF00FF00);
    t->SetTransparent(TRUE);
    t->SetDesiredVideoFormat(_16_RGB565);
    t->SetSystemCaching(CKBITMAP_PROCEDURAL);
    t->SetSaveOptions(CKBITMAP_SAVEREFERENCES);
    const std::vector<CKDWORD> golden = {1, 3, 4, 0, 1, 0xFF00FF00, 0};
    EXPECT_EQ(SectionWords(t, CK_STATESAVE_TEXTUREOPTIONS, 100), golden);
}

TEST_F(Texture, AnOptionsSectionCutAnywhereLoadsNothingAndHostileValuesTakeDefaults)
{
    const std::vector<CKDWORD> words = {1, 3, 4, 0, 1, 0xFF00FF00, 0};
    for (size_t cut = 0; cut < words.size(); ++cut) {
        CKTexture* t = NewTexture("cut");
        std::vector<CKDWORD> prefix(words.begin(), words.begin() + (long) cut);
        CKStateChunk* chunk = SectionChunk(CKCID_TEXTURE, CK_STATESAVE_TEXTUREOPTIONS, prefix);
        EXPECT_EQ(t->Load(chunk, nullptr), CKErr::InvalidFile) << cut;
        EXPECT_EQ(t->GetMipmapCount(), 0);
        EXPECT_FALSE(t->IsTransparent());
        CKDeleteStateChunk(chunk);
    }
    CKTexture* newer = NewTexture("newer");
    CKStateChunk* chunk = SectionChunk(CKCID_TEXTURE, CK_STATESAVE_TEXTUREOPTIONS, {2, 3, 4, 0, 1, 0, 0});
    EXPECT_EQ(newer->Load(chunk, nullptr), CKErr::InvalidFile);
    EXPECT_FALSE(newer->IsTransparent());
    CKDeleteStateChunk(chunk);

    CKTexture* hostile = NewTexture("hostile");
    chunk = SectionChunk(CKCID_TEXTURE, CK_STATESAVE_TEXTUREOPTIONS, {1, 0, 1000, 9, 77, 0, 5});
    EXPECT_EQ(hostile->Load(chunk, nullptr), CKErr::Ok);
    EXPECT_EQ(hostile->GetDesiredVideoFormat(), 0);
    EXPECT_EQ(hostile->GetSystemCaching(), (int) CKBITMAP_PROCEDURAL);
    EXPECT_EQ(hostile->GetSaveOptions(), (int) CKBITMAP_SAVEGLOBAL);
    EXPECT_EQ(hostile->GetCurrentSlot(), 0) << "no slot 5";
    CKDeleteStateChunk(chunk);
}

TEST_F(Texture, ACopyHasItsOwnPixelsAndSettings)
{
    CKTexture* t = NewTexture("t");
    Paint(t, 5);
    ASSERT_TRUE(t->Create(7, 5, 32, 1));
    t->SetPixel(2, 2, 0xCAFEBABE, 1);
    t->SetSlotFileName(1, "second.png");
    t->SetCurrentSlot(1);
    t->UseMipmap(1);
    t->SetTransparentColor(0xFF123456);
    t->SetTransparent(TRUE);
    CKTexture* copy = static_cast<CKTexture*>(m_Context->CopyObjects(t));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(Pixels(copy), Pixels(t));
    EXPECT_EQ(copy->GetPixel(2, 2, 1), 0xCAFEBABEu);
    EXPECT_NE(copy->LockSurfacePtr(0), t->LockSurfacePtr(0));
    EXPECT_STREQ(copy->GetSlotFileName(1), "second.png");
    EXPECT_EQ(copy->GetCurrentSlot(), 1);
    EXPECT_EQ(copy->GetMipmapCount(), t->GetMipmapCount());
    EXPECT_TRUE(copy->IsTransparent());
    EXPECT_EQ(copy->GetTransparentColor(), 0xFF123456u);
}

TEST_F(Texture, ASavedFileKnowsTheBitmapDataOfItsTextures)
{
    CKTexture* t = NewTexture("t");
    ASSERT_NE(CKGetBeObjectLinks().GetBitmapData, nullptr);
    EXPECT_EQ(CKGetBeObjectLinks().GetBitmapData(t), &t->GetBitmapData());
    EXPECT_EQ(CKGetBeObjectLinks().GetBitmapData(NewMaterial("m")), nullptr);
}

} // namespace
