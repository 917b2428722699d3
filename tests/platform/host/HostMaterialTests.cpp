#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "platform/host/Bitmap.h"
#include "platform/host/HostScene.h"
#include "platform/host/HostSceneFile.h"
#include "platform/host/INode.h"
#include "platform/host/Interface.h"
#include "platform/host/StdMat.h"
#include "platform/host/Texmap.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestPaths.h"

namespace {

// An uncompressed 32-bit TGA, rows from the top, pixels as r, g, b, a.
std::string Tga(int w, int h, const std::vector<unsigned char>& rgba)
{
    std::string bytes(18, '\0');
    bytes[2] = 2;
    bytes[12] = char(w & 0xFF);
    bytes[13] = char(w >> 8);
    bytes[14] = char(h & 0xFF);
    bytes[15] = char(h >> 8);
    bytes[16] = 32;
    bytes[17] = 0x28;
    for (size_t i = 0; i + 3 < rgba.size(); i += 4) {
        bytes += char(rgba[i + 2]);
        bytes += char(rgba[i + 1]);
        bytes += char(rgba[i]);
        bytes += char(rgba[i + 3]);
    }
    return bytes;
}

Mtl* MaterialById(const HostScene& scene, const char* id)
{
    for (const auto& item : scene.Items())
        if (item->HostId() == id)
            return dynamic_cast<Mtl*>(item.get());
    return nullptr;
}

} // namespace

TEST(HostBitmap, FilesDecodeIntoSixteenBitsAChannelAndReadAsGrey)
{
    TestTempDir dir;
    // Red, green, blue / white, black, half grey.
    TestWriteFile(dir.File("six.tga"), Tga(3, 2, {255, 0,   0,   255, 0, 255, 0, 128, 0,   0,   255, 0,
                                                  255, 255, 255, 255, 0, 0,   0, 255, 128, 128, 128, 255}));
    std::unique_ptr<Bitmap> bm = LoadBitmapFile(dir.File("six.tga"));
    ASSERT_NE(bm, nullptr);
    EXPECT_EQ(bm->Width(), 3);
    EXPECT_EQ(bm->Height(), 2);
    const BMM_Color_64& green = bm->Storage()->Pixels()[1];
    EXPECT_EQ(green.g, 65535);
    EXPECT_EQ(green.a, 128 * 257);
    WORD grey[3] = {1, 1, 1};
    ASSERT_EQ(bm->Storage()->Get16Gray(0, 0, 3, grey), 1);
    // 0.299, 0.587 and 0.114 of full scale, rounded.
    EXPECT_EQ(grey[0], 19595);
    EXPECT_EQ(grey[1], 38469);
    EXPECT_EQ(grey[2], 7471);
    ASSERT_EQ(bm->Storage()->Get16Gray(1, 1, 2, grey), 1);
    EXPECT_EQ(grey[0], 0);
    EXPECT_EQ(grey[1], 128 * 257);
    // Reads that leave the image write nothing.
    grey[0] = 7;
    EXPECT_EQ(bm->Storage()->Get16Gray(2, 0, 2, grey), 0);
    EXPECT_EQ(bm->Storage()->Get16Gray(0, 2, 1, grey), 0);
    EXPECT_EQ(bm->Storage()->Get16Gray(-1, 0, 1, grey), 0);
    EXPECT_EQ(bm->Storage()->Get16Gray(0, 0, 1, nullptr), 0);
    EXPECT_EQ(grey[0], 7);
    // Not an image, or no file: nothing.
    TestWriteFile(dir.File("text.png"), "not an image");
    EXPECT_EQ(LoadBitmapFile(dir.File("text.png")), nullptr);
    EXPECT_EQ(LoadBitmapFile(dir.File("missing.png")), nullptr);
}

// The size comes from the header; the pixels are decoded when first asked
// for, from the file as it was named. A file whose header reads and whose
// pixels do not (cut short) keeps its size and gives black transparent
// pixels.
TEST(HostBitmap, PixelsAreDecodedWhenFirstAskedFor)
{
    TestTempDir dir;
    const std::string whole = Tga(2, 2, {10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120, 130, 140, 150, 160});
    TestWriteFile(dir.File("late.tga"), whole);
    std::unique_ptr<Bitmap> late = LoadBitmapFile(dir.File("late.tga"));
    ASSERT_NE(late, nullptr);
    // Changed after the header was read: the decode reads the new pixels.
    TestWriteFile(dir.File("late.tga"), Tga(2, 2, std::vector<unsigned char>(16, 255)));
    EXPECT_EQ(late->Width(), 2);
    EXPECT_EQ(late->Height(), 2);
    ASSERT_NE(late->Storage(), nullptr);
    EXPECT_EQ(late->Storage()->Pixels()[3].a, 65535);
    const Bitmap& constant = *late;
    EXPECT_EQ(constant.Storage(), late->Storage()) << "decoded once";

    // A PNG header of 2 x 2 pixels of 8-bit RGBA, and no image data.
    const unsigned char header[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R', 0,
                                    0,    0,   2,   0,   0,    0,    2,    8,    6, 0, 0, 0,  0,   0,   0,   0};
    TestWriteFile(dir.File("cut.png"), std::string(reinterpret_cast<const char*>(header), sizeof header));
    std::unique_ptr<Bitmap> cut = LoadBitmapFile(dir.File("cut.png"));
    ASSERT_NE(cut, nullptr);
    EXPECT_EQ(cut->Width(), 2);
    EXPECT_EQ(cut->Height(), 2);
    const BitmapStorage* storage = static_cast<const Bitmap&>(*cut).Storage();
    ASSERT_NE(storage, nullptr);
    EXPECT_EQ(storage->Width(), 2);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(storage->Pixels()[i].r + storage->Pixels()[i].a, 0) << i;

    // A resize reads the source's pixels through the same decode.
    std::unique_ptr<Bitmap> source = LoadBitmapFile(dir.File("late.tga"));
    Bitmap target(4, 4);
    ASSERT_EQ(target.CopyImage(source.get(), COPY_IMAGE_RESIZE_HI_QUALITY, BMM_Color_64()), 1);
    EXPECT_EQ(target.Storage()->Pixels()[5].g, 65535);
}

TEST(HostBitmap, CopyImageResizesBilinearly)
{
    Bitmap from(2, 1);
    from.Storage()->Pixels()[1] = BMM_Color_64{65535, 65535, 65535, 65535};
    BitmapInfo bi;
    bi.SetWidth(4);
    bi.SetHeight(1);
    bi.SetType(BMM_TRUE_32);
    Bitmap* to = TheManager->Create(&bi);
    ASSERT_NE(to, nullptr);
    ASSERT_EQ(to->CopyImage(&from, COPY_IMAGE_RESIZE_HI_QUALITY, BMM_Color_64()), 1);
    // Centres at -0.25 (clamped to 0), 0.25, 0.75 and 1.25 (clamped to 1).
    const WORD expected[4] = {0, 16384, 49151, 65535};
    for (int x = 0; x < 4; ++x)
        EXPECT_EQ(to->Storage()->Pixels()[x].r, expected[x]) << x;
    // Down from four (0, 100, 200, 300) to three: centres at 1/6, 3/2 and
    // 17/6, each between its two neighbours; down a column likewise.
    Bitmap row(4, 1), column(1, 4);
    for (int i = 0; i < 4; ++i) {
        row.Storage()->Pixels()[i].g = WORD(100 * i);
        column.Storage()->Pixels()[i].b = WORD(100 * i);
    }
    Bitmap narrow(3, 1), short_(1, 3);
    ASSERT_EQ(narrow.CopyImage(&row, COPY_IMAGE_RESIZE_HI_QUALITY, BMM_Color_64()), 1);
    ASSERT_EQ(short_.CopyImage(&column, COPY_IMAGE_RESIZE_HI_QUALITY, BMM_Color_64()), 1);
    const WORD thirds[3] = {17, 150, 283};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(narrow.Storage()->Pixels()[i].g, thirds[i]) << i;
        EXPECT_EQ(short_.Storage()->Pixels()[i].b, thirds[i]) << i;
    }
    // Other operations, and bitmaps without storage, copy nothing.
    EXPECT_EQ(to->CopyImage(&from, 1, BMM_Color_64()), 0);
    Bitmap empty(0, 5);
    EXPECT_EQ(empty.Width(), 0);
    EXPECT_EQ(empty.Height(), 0);
    EXPECT_EQ(empty.Storage(), nullptr);
    EXPECT_EQ(to->CopyImage(&empty, COPY_IMAGE_RESIZE_HI_QUALITY, BMM_Color_64()), 0);
    EXPECT_EQ(empty.CopyImage(&from, COPY_IMAGE_RESIZE_HI_QUALITY, BMM_Color_64()), 0);
    EXPECT_EQ(to->CopyImage(nullptr, COPY_IMAGE_RESIZE_HI_QUALITY, BMM_Color_64()), 0);
    EXPECT_TRUE(TheManager->DelBitmap(to));
    EXPECT_EQ(TheManager->Create(nullptr), nullptr);
}

TEST(HostBitmap, FullFileNamesComeFromTheMapFoldersThenTheScenesFolder)
{
    TestTempDir dir;
    TestWriteFile(dir.File("here.tga"), Tga(1, 1, {1, 2, 3, 4}));
    mkdir((dir.Path() + "/maps").c_str(), 0755);
    mkdir((dir.Path() + "/more").c_str(), 0755);
    TestWriteFile(dir.File("maps/wood.tga"), Tga(1, 1, {1, 2, 3, 4}));
    TestWriteFile(dir.File("more/wood.tga"), Tga(1, 1, {1, 2, 3, 4}));
    TestWriteFile(dir.File("more/stone.tga"), Tga(1, 1, {1, 2, 3, 4}));
    HostScene scene;
    // Without an Interface only the name as given counts.
    BitmapInfo bi("C:\\textures\\wood.tga");
    EXPECT_FALSE(BMMGetFullFilename(&bi));
    scene.Settings().mapDirs = {"maps", dir.File("more")};
    scene.Settings().sceneDir = dir.Path();
    Interface ip(scene);
    struct Case
    {
        std::string name, found;
    };
    const Case cases[] = {
        // A Windows path: its file part in the first map folder (relative:
        // from the scene's folder).
        {"C:\\textures\\wood.tga", dir.File("maps/wood.tga")},
        {"stone.tga", dir.File("more/stone.tga")},
        {"sub/here.tga", dir.File("here.tga")},
        {dir.File("maps/wood.tga"), dir.File("maps/wood.tga")},
        // Names that differ only in case: after every place as named, the
        // same places without regard to case, folders included.
        {"C:\\textures\\WOOD.TGA", dir.File("maps/wood.tga")},
        {"Stone.Tga", dir.File("more/stone.tga")},
        {dir.File("MORE/STONE.tga"), dir.File("more/stone.tga")},
        {"SUB/HERE.TGA", dir.File("here.tga")},
        {"nowhere.tga", ""},
        {"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BitmapInfo info(c.name.c_str());
        EXPECT_EQ(BMMGetFullFilename(&info), c.found.empty() ? FALSE : TRUE);
        EXPECT_EQ(std::string(info.Name()), c.found.empty() ? c.name : c.found);
    }
    EXPECT_FALSE(BMMGetFullFilename(nullptr));
    // A bitmap texture loads its file once, through the same search.
    BitmapTex tex;
    tex.SetMapName("D:\\old\\stone.tga");
    Bitmap* bm = tex.GetBitmap(0);
    ASSERT_NE(bm, nullptr);
    EXPECT_EQ(bm->Width(), 1);
    EXPECT_EQ(tex.GetBitmap(0), bm);
    EXPECT_STREQ(tex.GetMapName(), "D:\\old\\stone.tga");
    tex.SetMapName("nowhere.tga");
    EXPECT_EQ(tex.GetBitmap(0), nullptr);
}

TEST(HostBitmap, TheSearchTakesEveryPlaceAsNamedBeforeAnyWithoutRegardToCase)
{
    TestTempDir dir;
    mkdir(dir.File("a").c_str(), 0755);
    mkdir(dir.File("b").c_str(), 0755);
    mkdir(dir.File("b/Deep").c_str(), 0755);
    mkdir(dir.File("b/deep").c_str(), 0755);
    for (const char* name : {"a/Top.tga", "b/top.tga", "b/x.PNG", "b/x.png", "b/X.Png", "b/Deep/d.tga", "b/deep/y.tga"})
        TestWriteFile(dir.File(name), "x");
    struct Case
    {
        std::vector<BitmapPlace> places;
        int place;
        std::string found;
        bool caseBlind;
    };
    const std::string a = dir.File("a"), b = dir.File("b");
    const Case cases[] = {
        // The later place as named wins over the earlier one by case.
        {{{a, "top.tga"}, {b, "top.tga"}}, 1, b + "/top.tga", false},
        {{{a, "TOP.TGA"}, {b, "top.tga"}}, 1, b + "/top.tga", false},
        {{{a, "TOP.TGA"}, {b, "TOP.TGA"}}, 0, a + "/Top.tga", true},
        // Of names that differ only in case, the first in byte order.
        {{{b, "x.pNg"}}, 0, b + "/X.Png", true},
        {{{b, "x.png"}}, 0, b + "/x.png", false},
        // Folders below the place's folder fold too; "." and ".." stay.
        {{{b, "deep\\D.TGA"}}, -1, "", false},
        {{{b, "DEEP\\D.TGA"}}, 0, b + "/Deep/d.tga", true},
        // A folder as named comes before its other cases.
        {{{b, "deep/Y.TGA"}}, 0, b + "/deep/y.tga", true},
        {{{a, "./../B/DEEP/d.tga"}}, 0, a + "/../b/Deep/d.tga", true},
        {{{"", b + "/DEEP/D.tga"}}, 0, b + "/Deep/d.tga", true},
        // The place's own folder is taken as it is.
        {{{dir.File("B"), "top.tga"}}, -1, "", false},
        // A folder is no bitmap.
        {{{dir.Path(), "b"}, {dir.Path(), "B/"}, {"", b}}, -1, "", false},
        {{{b, ""}, {b, "none.tga"}}, -1, "", false},
        {{}, -1, "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.found);
        std::string found = "untouched";
        bool caseBlind = false;
        EXPECT_EQ(FindBitmapFile(c.places, found, caseBlind), c.place);
        EXPECT_EQ(found, c.place < 0 ? "untouched" : c.found);
        EXPECT_EQ(caseBlind, c.caseBlind);
    }
}

TEST(HostMaterials, StandardMaterialsShellsAndShadersReadBack)
{
    HostScene scene;
    std::string error;
    ASSERT_TRUE(LoadHostSceneFile(TestSourceDir() + "/tests/platform/host/data/geometry.json", scene, error)) << error;
    auto* std = dynamic_cast<StdMat2*>(MaterialById(scene, "mat-std"));
    ASSERT_NE(std, nullptr);
    EXPECT_EQ(std->ClassID(), DMTL_CLASS_ID);
    EXPECT_EQ(std->GetDiffuse(0), Color(0.8f, 0.4f, 0.2f));
    EXPECT_EQ(std->GetXParency(0, FALSE), 0.25f);
    EXPECT_EQ(std->GetShininess(0), 0.5f);
    EXPECT_EQ(std->GetShinStr(0), 0.8f);
    EXPECT_EQ(std->GetSelfIllum(0), 0.25f);
    EXPECT_TRUE(std->GetTwoSided());
    EXPECT_FALSE(std->GetWire());
    EXPECT_EQ(std->GetShading(), SHADE_PHONG);
    EXPECT_TRUE(std->SupportsShaders());
    EXPECT_TRUE(std->GetShader()->IsSelfIllumClrOn());
    EXPECT_EQ(std->GetShader()->GetSelfIllumClr(0), Color(0.2f, 0.3f, 0.4f));
    EXPECT_EQ(std->Requirements(-1) & MTLREQ_FACEMAP, MTLREQ_FACEMAP);
    EXPECT_EQ(std->NumSubTexmaps(), 12);
    // Slots: diffuse a bitmap on channel 2, self-illumination at 60 %,
    // opacity present but off, bump on without a map.
    auto* diffuse = dynamic_cast<BitmapTex*>(std->GetSubTexmap(ID_DI));
    ASSERT_NE(diffuse, nullptr);
    EXPECT_TRUE(std->MapEnabled(ID_DI));
    EXPECT_EQ(diffuse->ClassID(), BMTEX_CLASS_ID);
    EXPECT_EQ(diffuse->GetMapChannel(), 2);
    EXPECT_EQ(diffuse->GetUVWSource(), UVWSRC_EXPLICIT);
    const StdUVGen* uv = diffuse->GetTheUVGen();
    EXPECT_EQ(uv->GetUOffs(0), 0.25f);
    EXPECT_EQ(uv->GetUScl(0), 2.0f);
    EXPECT_EQ(uv->GetAng(0), 0.5f);
    EXPECT_EQ(uv->GetTextureTiling(), U_WRAP | V_MIRROR);
    const IParamBlock2* crop = diffuse->GetParamBlock(0);
    EXPECT_EQ(crop->GetInt(BMTEX_APPLY), 1);
    EXPECT_EQ(crop->GetFloat(BMTEX_CLIPU), 0.1f);
    EXPECT_EQ(crop->GetFloat(BMTEX_CLIPH), 0.25f);
    EXPECT_EQ(diffuse->GetParamBlock(1), nullptr);
    EXPECT_EQ(std->GetTexmapAmt(ID_SI, 0), 0.6f);
    EXPECT_FALSE(std->MapEnabled(ID_OP));
    EXPECT_NE(std->GetSubTexmap(ID_OP), nullptr);
    EXPECT_EQ(std->GetSubTexmap(ID_OP)->GetUVWSource(), UVWSRC_WORLDXYZ);
    EXPECT_TRUE(std->MapEnabled(ID_BU));
    EXPECT_EQ(std->GetSubTexmap(ID_BU), nullptr);
    EXPECT_FALSE(std->MapEnabled(12));
    EXPECT_EQ(std->GetSubTexmap(-1), nullptr);

    // The shell: viewport shows sub-material 1, rendering uses 0.
    Mtl* shell = MaterialById(scene, "mat-shell");
    ASSERT_NE(shell, nullptr);
    EXPECT_EQ(shell->ClassID(), Class_ID(0x255, 0));
    EXPECT_EQ(shell->VPDisplaySubMtl(), 1);
    ASSERT_NE(shell->GetParamBlock(0), nullptr);
    EXPECT_EQ(shell->GetParamBlock(0)->GetInt(0), 0);
    EXPECT_EQ(shell->GetSubMtl(1), MaterialById(scene, "mat-dx"));
    EXPECT_EQ(shell->GetSubTexmap(0), nullptr);
    EXPECT_EQ(MaterialById(scene, "mat-holder")->ClassID(), Class_ID(0x61DC0CD7, 0x13640AF6));

    // The DirectX shader, through the viewport shader interfaces.
    auto* core = static_cast<IViewportShaderCore*>(GetCOREInterface(VIEWPORT_SHADER_CORE_INTERFACE));
    ASSERT_NE(core, nullptr);
    EXPECT_EQ(GetCOREInterface(Interface_ID(1, 2)), nullptr);
    EXPECT_EQ(core->GetViewportShaderManager(std), nullptr);
    EXPECT_EQ(core->GetViewportShaderManager(shell), nullptr);
    ReferenceTarget* manager = core->GetViewportShaderManager(MaterialById(scene, "mat-dx"));
    ASSERT_NE(manager, nullptr);
    auto* first = static_cast<IViewportShaderManager*>(manager->GetInterface(VIEWPORT_SHADER_MANAGER_INTERFACE));
    auto* second = static_cast<IViewportShaderManager2*>(manager->GetInterface(VIEWPORT_SHADER_MANAGER_INTERFACE2));
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(second->IsEffectActive());
    ReferenceTarget* effect = first->GetActiveEffect();
    ASSERT_NE(effect, nullptr);
    EXPECT_EQ(effect->ClassID(), DX_SHADER_EFFECT_CLASS_ID);
    EXPECT_NE(effect->GetInterface(DX_SHADER_EFFECT_INTERFACE), nullptr);
    EXPECT_EQ(effect->GetInterface(VIEWPORT_SHADER_MANAGER_INTERFACE), nullptr);
    const IParamBlock2* block = effect->GetParamBlock(0);
    PBBitmap* bitmap = nullptr;
    Interval valid;
    ASSERT_TRUE(block->GetValue(1, 0, bitmap, valid));
    ASSERT_NE(bitmap, nullptr);
    EXPECT_STREQ(bitmap->bi.Name(), "wood.png");
    EXPECT_EQ(block->GetInt(7), 2);
    EXPECT_EQ(block->GetInt(6), 1);
    EXPECT_FALSE(block->GetValue(7, 0, bitmap, valid));
    EXPECT_FALSE(block->GetValue(9, 0, bitmap, valid));
}
