#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/context/CKContext.h"
#include "core/context/CKPluginManager.h"
#include "core/context/CKStartUp.h"
#include "core/parameter/CKParameter.h"
#include "exporter/builder/ExportBuilder.h"
#include "exporter/materials/MaterialConversion.h"
#include "exporter/options/Max2Qdx.h"
#include "platform/host/StdMat.h"
#include "platform/host/Texmap.h"
#include "readers/png/PngReaderPlugin.h"
#include "render/mesh/CKMaterial.h"
#include "render/mesh/CKTexture.h"
#include "tests/exporter/support/ExporterTestSupport.h"
#include "tests/support/TestPaths.h"

namespace {

std::string Image(const char* name)
{
    return TestSourceDir() + "/tests/tools/data/geometry/" + name;
}

class Materials : public SceneExportTest
{
protected:
    // Bitmaps load through the PNG reader, as in an export.
    void SetUp() override
    {
        SceneExportTest::SetUp();
        CKGetPluginManager()->RegisterPlugin(0, CKGetPngPluginInfo(0), nullptr, &CKGetPngReader);
        CKGetPluginManager()->AddStaticDll("PNG Reader", 1);
    }
    StdMat2* Standard(const char* name) { return AddObject<StdMat2>(name); }
    Mtl* Other(Class_ID cid, const char* name, std::vector<Mtl*> subs = {})
    {
        Mtl* m = AddObject<Mtl>(cid, "Other", name);
        m->SetSubMtls(std::move(subs));
        return m;
    }
    BitmapTex* Bitmap(const std::string& file, int channel = 1)
    {
        auto* map = AddObject<BitmapTex>(file);
        map->SetMapName(file.c_str());
        map->GetTheUVGen()->SetMapChannel(channel);
        return map;
    }
    CKMaterial* Engine(ExportKey key) { return m_Builder->FindMaterial(key); }
};

TEST_F(Materials, ChannelMaterialsWalkTheTree)
{
    StdMat2* a = Standard("a");
    StdMat2* b = Standard("b");
    StdMat2* c = Standard("c");
    Mtl* multi = Other(MULTI_CLASS_ID, "multi", {a, b, c});
    ExportKey key = 99;
    EXPECT_EQ(m_Exporter.FindChannelMaterial(multi, 4, 0, &key), b);
    EXPECT_EQ(key, (ExportKey) b);
    EXPECT_EQ(m_Exporter.FindChannelMaterial(Other(MULTI_CLASS_ID, "none"), 0, 0, &key), nullptr);
    EXPECT_EQ(key, 0u);
    EXPECT_EQ(m_Exporter.FindChannelMaterial(nullptr, 0, 0, &key), nullptr);
    EXPECT_EQ(m_Exporter.FindChannelMaterial(Other(Class_ID(0x77, 0), "odd"), 0, 0, &key), nullptr);

    // Explicit map channels: the diffuse map's gives the material, the
    // self-illumination map's its lightmap (the complement key).
    a->SetSubTexmap(ID_DI, Bitmap("d.png", 3));
    a->SetSubTexmap(ID_SI, Bitmap("s.png", 2));
    EXPECT_EQ(m_Exporter.FindChannelMaterial(a, 0, 3, &key), a);
    EXPECT_EQ(key, (ExportKey) a);
    EXPECT_EQ(m_Exporter.FindChannelMaterial(a, 0, 2, &key), a);
    EXPECT_EQ(key, ~(ExportKey) a);
    EXPECT_EQ(m_Exporter.FindChannelMaterial(a, 0, 5, &key), nullptr);
    a->GetSubTexmap(ID_DI)->GetTheUVGen()->SetUVWSource(UVWSRC_OBJXYZ);
    EXPECT_EQ(m_Exporter.FindChannelMaterial(a, 0, 3, &key), nullptr);

    // Shells: the baked one with both exported, else the one rendered.
    Mtl* shell = Other(BAKE_SHELL_CLASS_ID, "shell", {b, c});
    EXPECT_EQ(m_Exporter.FindChannelMaterial(shell, 0, 0, &key), c);
    IParamBlock2* block = shell->AddParamBlock();
    IParamBlock2::Entry render;
    render.def.ID = 0;
    render.def.type = TYPE_INT;
    render.i = 0;
    block->AddParam(render);
    EXPECT_EQ(m_Exporter.FindChannelMaterial(shell, 0, 0, &key), b);
    m_Exporter.shellMaterialExportBoth = TRUE;
    EXPECT_EQ(m_Exporter.FindChannelMaterial(shell, 0, 0, &key), c);

    // Blends and layers: sub-material 0, or the one whose diffuse map takes
    // the channel.
    c->SetSubTexmap(ID_DI, Bitmap("c.png", 4));
    Mtl* blend = Other(Class_ID(0x250, 0), "blend", {b, c});
    EXPECT_EQ(m_Exporter.FindChannelMaterial(blend, 0, 0, &key), b);
    EXPECT_EQ(m_Exporter.FindChannelMaterial(blend, 0, 4, &key), c);
    EXPECT_EQ(m_Exporter.FindChannelMaterial(blend, 0, 6, &key), nullptr);

    // A material that holds itself ends the walk.
    Mtl* loop = Other(MULTI_CLASS_ID, "loop");
    loop->SetSubMtls({loop});
    EXPECT_EQ(m_Exporter.FindChannelMaterial(loop, 0, 0, &key), nullptr);
    EXPECT_EQ(key, 0u);
}

TEST_F(Materials, TexturesByFileByNameAndByMap)
{
    const std::string checker = Image("checker.png");
    CKTexture* t = m_Builder->CreateTexture(checker.c_str(), nullptr, 0x7700);
    ASSERT_NE(t, nullptr);
    EXPECT_STREQ(t->GetName(), "checker");
    EXPECT_EQ(t->GetWidth(), 4);
    EXPECT_EQ(m_Builder->CreateTexture(checker.c_str(), "other", 0), t);
    EXPECT_EQ(m_Builder->CreateTexture(nullptr, "checker", 0), t);
    ASSERT_NE(m_Builder->textures.FindPtr(0x7700), nullptr);
    // Unknown names: a texture each, found again by name.
    CKTexture* x = m_Builder->CreateTexture(nullptr, "x", 0);
    CKTexture* y = m_Builder->CreateTexture(nullptr, "y", 0);
    ASSERT_NE(x, nullptr);
    EXPECT_NE(x, y);
    EXPECT_EQ(m_Builder->CreateTexture(nullptr, "x", 0), x);
    // A name with dots of its own is found by its whole name.
    CKTexture* dotted = m_Builder->CreateTexture(nullptr, "wood.old", 0);
    EXPECT_EQ(m_Builder->CreateTexture(nullptr, "wood.old", 0), dotted);
    EXPECT_EQ(m_Builder->CreateTexture(nullptr, nullptr, 0), nullptr);
    // A file that cannot be read still gives a texture, without image.
    CKTexture* missing = m_Builder->CreateTexture("/no/such/file.png", nullptr, 0);
    ASSERT_NE(missing, nullptr);
    EXPECT_STREQ(missing->GetName(), "file");
    EXPECT_EQ(m_Builder->textureFiles.Size(), 5);
    // Forgetting a texture drops it from the file table.
    m_Builder->ForgetObject(missing);
    EXPECT_EQ(m_Builder->textureFiles.Size(), 4);

    for (int side : {2, 4, 256, 512})
        EXPECT_TRUE(IsPowerOfTwoSide(side)) << side;
    for (int side : {0, 1, 3, 300, -4})
        EXPECT_FALSE(IsPowerOfTwoSide(side)) << side;
}

TEST_F(Materials, MapTexturesSetTheirMapAndAmountAndWarn)
{
    StdMat2* m = Standard("m");
    m->SetSubTexmap(ID_DI, Bitmap(Image("checker.png")), true, 0.5f);
    m->SetSubTexmap(ID_BU, Bitmap(Image("nothere.png")));
    m->SetSubTexmap(ID_RL, AddObject<Texmap>(Class_ID(0x999, 0), "Checker", "procedural"));
    float amount = 0.0f;
    Texmap* map = nullptr;
    CKTexture* t = m_Exporter.GetMapTexture(m, ID_DI, &amount, &map);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(amount, 0.5f);
    EXPECT_EQ(map, m->GetSubTexmap(ID_DI));
    EXPECT_EQ(Report().find("Warning"), std::string::npos);
    map = nullptr;
    EXPECT_NE(m_Exporter.GetMapTexture(m, ID_BU, nullptr, &map), nullptr);
    EXPECT_EQ(map, m->GetSubTexmap(ID_BU)) << "set on a missing file too";
    EXPECT_NE(Report().find("nothere.png : file not found...\r\n"), std::string::npos);
    EXPECT_EQ(m_Exporter.GetMapTexture(m, ID_RL, nullptr, nullptr), nullptr);
    EXPECT_EQ(m_Exporter.GetMapTexture(Other(MULTI_CLASS_ID, "multi"), ID_DI, &amount, nullptr), nullptr);
}

TEST_F(Materials, StandardMaterialsTheirColoursAndStates)
{
    StdMat2* m = Standard("glass");
    m->SetDiffuse(Color(1, 0.5f, 0.25f));
    m->SetSpecular(Color(1, 1, 1));
    m->SetShinStr(0.0f);
    m->SetShininess(0.5f);
    m->SetSelfIllum(0.5f);
    m->SetXParency(0.25f);
    m->SetTwoSided(true);
    m->SetWire(true);
    m->SetShading(SHADE_CONST);
    CKMaterial* material = m_Exporter.ExportMaterial(m);
    ASSERT_NE(material, nullptr);
    EXPECT_EQ(material->GetDiffuse(), QxColor(1, 0.5f, 0.25f, 0.75f));
    EXPECT_EQ(material->GetSpecular(), QxColor(0, 0, 0, 1));
    EXPECT_EQ(material->GetPower(), 50.0f);
    EXPECT_EQ(material->GetEmissive(), QxColor(0.5f, 0.25f, 0.125f, 0.75f));
    EXPECT_TRUE(material->IsTwoSided());
    EXPECT_EQ(material->GetFillMode(), 2);
    EXPECT_EQ(material->GetShadeMode(), 1);
    EXPECT_TRUE(material->AlphaBlendEnabled());
    EXPECT_FALSE(material->ZWriteEnabled());
    EXPECT_EQ(material->GetTextureMinMode(), 6);
    EXPECT_EQ(m_Exporter.ExportMaterial(m), material) << "converted once";

    // The shader's self-illumination colour wins; opaque keeps blending off.
    StdMat2* lit = Standard("lit");
    lit->GetShader()->SetSelfIllumClrOn(true);
    lit->GetShader()->SetSelfIllumClr(Color(0, 1, 0));
    CKMaterial* litMaterial = m_Exporter.ExportMaterial(lit);
    EXPECT_EQ(litMaterial->GetEmissive(), QxColor(0, 1, 0, 1));
    EXPECT_FALSE(litMaterial->AlphaBlendEnabled());
    EXPECT_TRUE(litMaterial->ZWriteEnabled());

    // Mirrored and cropped.
    StdMat2* placed = Standard("placed");
    BitmapTex* map = Bitmap(Image("checker.png"));
    map->GetTheUVGen()->SetTextureTiling(U_MIRROR | V_MIRROR);
    map->GetTheUVGen()->SetUScl(2.0f);
    map->SetCrop(true, 0, 0, 0.5f, 0.5f);
    placed->SetSubTexmap(ID_DI, map);
    CKMaterial* placedMaterial = m_Exporter.ExportMaterial(placed);
    EXPECT_EQ(placedMaterial->GetTextureAddressMode(), 2);
    EXPECT_NE(Report().find("Cropping and (tiling or mirroring) are used on this texture\r\n"), std::string::npos);

    // An unknown class: the grey default.
    CKMaterial* odd = m_Exporter.ExportMaterial(Other(Class_ID(0x77, 0), "odd"));
    ASSERT_NE(odd, nullptr);
    EXPECT_EQ(odd->GetDiffuse(), QxColor(0.7f, 0.7f, 0.7f, 1.0f));
}

// Cropping warns only with an offset or a scale beside it, each alone
// enough; an offset without cropping says nothing.
TEST_F(Materials, CroppingWarnsWithAnyOffsetOrScale)
{
    struct Case
    {
        const char* what;
        bool crop;
        float uOffset, vOffset, uScale, vScale;
        bool warns;
    };
    const Case cases[] = {
        {"cropped alone", true, 0, 0, 1, 1, false}, {"u offset", true, 0.5f, 0, 1, 1, true},
        {"v offset", true, 0, 0.5f, 1, 1, true},    {"u scale", true, 0, 0, 2, 1, true},
        {"v scale", true, 0, 0, 1, 2, true},        {"offset, no crop", false, 0.5f, 0.5f, 2, 2, false},
    };
    const std::string line = "Cropping and (tiling or mirroring) are used on this texture";
    auto count = [&] {
        const std::string report = Report();
        int n = 0;
        for (size_t at = report.find(line); at != std::string::npos; at = report.find(line, at + 1))
            ++n;
        return n;
    };
    for (const Case& c : cases) {
        StdMat2* m = Standard(c.what);
        BitmapTex* map = Bitmap(Image("checker.png"));
        map->GetTheUVGen()->SetUOffs(c.uOffset);
        map->GetTheUVGen()->SetVOffs(c.vOffset);
        map->GetTheUVGen()->SetUScl(c.uScale);
        map->GetTheUVGen()->SetVScl(c.vScale);
        map->SetCrop(c.crop, 0, 0, 0.5f, 0.5f);
        m->SetSubTexmap(ID_DI, map);
        const int before = count();
        ASSERT_NE(m_Exporter.ExportMaterial(m), nullptr) << c.what;
        EXPECT_EQ(count(), before + (c.warns ? 1 : 0)) << c.what;
    }
}

TEST_F(Materials, MultiShellAndLayeredMaterials)
{
    StdMat2* a = Standard("a");
    StdMat2* b = Standard("b");
    b->SetSubTexmap(ID_DI, Bitmap(Image("checker.png"), 3));
    EXPECT_EQ(m_Exporter.ExportMaterial(Other(MULTI_CLASS_ID, "multi", {a, nullptr, b})), nullptr);
    ASSERT_NE(Engine((ExportKey) a), nullptr);
    ASSERT_NE(Engine((ExportKey) b), nullptr);

    StdMat2* c = Standard("c");
    EXPECT_EQ(m_Exporter.ExportMaterial(Other(Class_ID(0x61dc0cd7, 0x13640af6), "layers", {c, b, a})), nullptr);
    ASSERT_EQ(m_Builder->multiMaterials.Size(), 1);
    const MultiMaterialRecord& record = m_Builder->multiMaterials[0];
    EXPECT_EQ(record.base, Engine((ExportKey) c));
    ASSERT_EQ(record.channels.Size(), 2);
    EXPECT_EQ(record.channels[0].material, Engine((ExportKey) b));
    EXPECT_EQ(record.channels[0].uvSource, 3);
    EXPECT_EQ(record.channels[1].uvSource, -1);
    EXPECT_EQ(record.channels[1].sourceBlend, 5);

    // A shell shown by its original: the original first, then the baked
    // one by the sub-material walk; the shell gets a default material.
    StdMat2* original = Standard("original");
    StdMat2* baked = Standard("baked");
    Mtl* shell = Other(BAKE_SHELL_CLASS_ID, "shell", {original, baked});
    shell->SetVPDisplaySubMtl(0);
    const int before = m_Builder->createdObjects.Size();
    ASSERT_NE(m_Exporter.ExportMaterial(shell), nullptr);
    ASSERT_EQ(m_Builder->createdObjects.Size(), before + 3);
    EXPECT_STREQ(m_Builder->createdObjects[before]->GetName(), "original");
    EXPECT_STREQ(m_Builder->createdObjects[before + 1]->GetName(), "baked");
    // Shown by the baked one: the baked first.
    StdMat2* original2 = Standard("original2");
    StdMat2* baked2 = Standard("baked2");
    Mtl* shell2 = Other(BAKE_SHELL_CLASS_ID, "shell2", {original2, baked2});
    shell2->SetVPDisplaySubMtl(1);
    const int before2 = m_Builder->createdObjects.Size();
    m_Exporter.ExportMaterial(shell2);
    EXPECT_STREQ(m_Builder->createdObjects[before2]->GetName(), "baked2");

    // A material holding itself stops at the depth limit.
    Mtl* loop = Other(MULTI_CLASS_ID, "loop");
    loop->SetSubMtls({loop, a});
    EXPECT_EQ(m_Exporter.ExportMaterial(loop), nullptr);
}

// Trees that name a material on many paths are walked once per material:
// thirty multi/sub-object levels, each holding the one below twice and
// itself, would otherwise take 3^30 walks. A layered material reached on two
// paths gives one record; an unknown class holding itself, one material.
TEST_F(Materials, MaterialsNamedOnManyPathsAreWalkedOnce)
{
    StdMat2* leaf = Standard("leaf");
    Mtl* below = leaf;
    for (int level = 0; level < 30; ++level) {
        Mtl* multi = Other(MULTI_CLASS_ID, "level");
        multi->SetSubMtls({below, multi, below});
        below = multi;
    }
    Mtl* layers = Other(Class_ID(0x61dc0cd7, 0x13640af6), "layers", {leaf, Standard("top")});
    Mtl* odd = Other(Class_ID(0x77, 0), "odd");
    odd->SetSubMtls({odd});
    Mtl* top = Other(MULTI_CLASS_ID, "top", {below, layers, layers, odd});
    const int before = m_Builder->createdObjects.Size();
    EXPECT_EQ(m_Exporter.ExportMaterial(top), nullptr);
    EXPECT_EQ(m_Builder->createdObjects.Size(), before + 3) << "leaf, top and odd";
    EXPECT_EQ(m_Builder->multiMaterials.Size(), 1);
    ASSERT_NE(Engine((ExportKey) odd), nullptr);
    // A new materials pass walks again.
    m_Exporter.sceneMaterials.Append(1, &top, 1);
    m_Exporter.ExportMaterials();
    EXPECT_EQ(m_Builder->multiMaterials.Size(), 2);
}

TEST_F(Materials, DirectXShaderMaterials)
{
    auto shaderMaterial = [&](const char* name, const std::string& diffuse, const std::string& lightmap) {
        StdMat2* m = Standard(name);
        auto effect = std::make_unique<ViewportEffect>(DX_SHADER_EFFECT_CLASS_ID, "DirectX Shader");
        IParamBlock2* block = effect->GetParamBlock(0);
        auto add = [&](int id, ParamType2 type, int i, const std::string& file) {
            IParamBlock2::Entry e;
            e.def.ID = (ParamID) id;
            e.def.type = type;
            e.i = i;
            e.bitmap.bi.SetName(file.c_str());
            block->AddParam(e);
        };
        add(kDxDiffuseBitmap, TYPE_BITMAP, 0, diffuse);
        add(kDxDiffuseOn, TYPE_INT, 1, "");
        add(kDxLightmapBitmap, TYPE_BITMAP, 0, lightmap);
        add(kDxLightmapOn, TYPE_INT, 1, "");
        m->SetViewportShader(std::make_unique<ViewportShaderManager>(std::move(effect), true));
        return m;
    };
    StdMat2* first = shaderMaterial("first", Image("checker.png"), Image("self.png"));
    StdMat2* second = shaderMaterial("second", Image("checker.png"), "");
    ASSERT_NE(GetDxShaderParamBlock(first), nullptr);
    EXPECT_EQ(GetDxShaderParamBlock(Standard("plain")), nullptr);
    CKMaterial* a = m_Exporter.ExportMaterial(first);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(a->GetTexture(), nullptr);
    EXPECT_STREQ(a->GetTexture()->GetName(), "checker");
    EXPECT_EQ(a->GetEmissive(), QxColor(1, 1, 1, 1));
    EXPECT_EQ(a->GetPower(), 0.0f);
    CKMaterial* lightmap = Engine(~(ExportKey) first);
    ASSERT_NE(lightmap, nullptr);
    EXPECT_STREQ(lightmap->GetName(), "self");
    EXPECT_EQ(lightmap->GetTextureAddressMode(), 3);
    EXPECT_EQ(lightmap->GetTextureMinMode(), 6);
    MaterialDesc d;
    EXPECT_FALSE(m_Exporter.ConvertDirectXShaderMaterial(second, d)) << "its bitmap came first with another";
    // Channel 0 of either answers the first material; the lightmap channel
    // (3 unless given) its complement.
    ExportKey key = 0;
    EXPECT_EQ(m_Exporter.FindChannelMaterial(second, 0, 0, &key), first);
    EXPECT_EQ(key, (ExportKey) first);
    EXPECT_EQ(m_Exporter.FindChannelMaterial(first, 0, 3, &key), first);
    EXPECT_EQ(key, ~(ExportKey) first);
    EXPECT_EQ(m_Exporter.FindChannelMaterial(first, 0, 2, &key), nullptr);
    // The table is emptied by each materials pass.
    m_Exporter.ExportMaterials();
    EXPECT_EQ(m_Exporter.dxShaderBitmaps.Size(), 0);
}

// The alpha byte of pixel (x, y) of the material's texture.
int Alpha(CKMaterial* m, int x, int y)
{
    return m && m->GetTexture() ? (int) (m->GetTexture()->GetPixel(x, y) >> 24) : -1;
}

TEST_F(Materials, OpacityMapsGoIntoTheTexturesAlpha)
{
    m_Exporter.exportAlphaMap = TRUE;
    auto opaque = [&](const char* name, const char* base, const char* grey, float amount) {
        StdMat2* m = Standard(name);
        m->SetSubTexmap(ID_DI, Bitmap(Image(base)));
        if (grey)
            m->SetSubTexmap(ID_OP, Bitmap(Image(grey)), true, amount);
        return m;
    };
    // grey.png: x * 64 + y * 16; at 100 % the grey byte itself, at 60 %
    // raised by 102 and clamped.
    CKMaterial* full = m_Exporter.ExportMaterial(opaque("full", "base.png", "grey.png", 1.0f));
    EXPECT_EQ(Alpha(full, 0, 0), 0);
    EXPECT_EQ(Alpha(full, 1, 1), 80);
    EXPECT_TRUE(full->AlphaBlendEnabled());
    EXPECT_EQ(full->GetSourceBlend(), 5);
    EXPECT_EQ(full->GetDiffuse().a, 1.0f);
    EXPECT_NE(Report().find("Generating alpha from opacity map : "), std::string::npos);

    // The same base file with another opacity: a copy of its own.
    CKMaterial* sixty = m_Exporter.ExportMaterial(opaque("sixty", "base.png", "grey.png", 0.6f));
    EXPECT_NE(sixty->GetTexture(), full->GetTexture());
    EXPECT_EQ(Alpha(sixty, 0, 0), 102);
    EXPECT_EQ(Alpha(sixty, 3, 3), 255);
    EXPECT_EQ(Alpha(full, 1, 1), 80) << "the first keeps its own";
    // The same base without opacity: the file's own image.
    CKMaterial* plain = m_Exporter.ExportMaterial(opaque("plain", "base.png", nullptr, 0));
    EXPECT_EQ(Alpha(plain, 1, 1), 255);
    EXPECT_NE(plain->GetTexture(), full->GetTexture());
    // The same opacity again: the same texture.
    CKMaterial* again = m_Exporter.ExportMaterial(opaque("again", "base.png", "grey.png", 1.0f));
    EXPECT_EQ(again->GetTexture(), full->GetTexture());

    // A smaller opacity map is resized to the base.
    CKMaterial* resized = m_Exporter.ExportMaterial(opaque("resized", "checker.png", "half.png", 1.0f));
    EXPECT_EQ(Alpha(resized, 0, 0), 255);
    EXPECT_EQ(Alpha(resized, 3, 0), 0);

    // A missing opacity file, or an opacity map that is no bitmap: blended,
    // the texture untouched.
    CKMaterial* missing = m_Exporter.ExportMaterial(opaque("missing", "env.png", "nothere.png", 1.0f));
    EXPECT_NE(Report().find("Opacity map : "), std::string::npos);
    EXPECT_TRUE(missing->AlphaBlendEnabled());
    EXPECT_EQ(Alpha(missing, 0, 0), 255);
    StdMat2* procedural = opaque("procedural", "self.png", nullptr, 0);
    procedural->SetSubTexmap(ID_OP, AddObject<Texmap>(Class_ID(0x999, 0), "Noise", "noise"));
    CKMaterial* noise = m_Exporter.ExportMaterial(procedural);
    EXPECT_TRUE(noise->AlphaBlendEnabled());
    EXPECT_EQ(noise->GetDestBlend(), 6);
    EXPECT_EQ(Alpha(noise, 0, 0), 255);

    // Without the option the opacity map is ignored.
    m_Exporter.exportAlphaMap = FALSE;
    CKMaterial* off = m_Exporter.ExportMaterial(opaque("off", "wide.png", "grey.png", 1.0f));
    EXPECT_FALSE(off->AlphaBlendEnabled());
    EXPECT_EQ(Alpha(off, 0, 0), 255);
}

TEST_F(Materials, EffectParametersAreStoredAsTexts)
{
    MaterialDesc d;
    EXPECT_FALSE(AddEffectParameter(d, "x", nullptr));
    EXPECT_FALSE(AddEffectParameter(d, nullptr, m_Builder->MakeFloatParameter(1.0f)));
    EXPECT_FALSE(AddEffectParameter(d, "empty", m_Builder->MakeObjectParameter(nullptr, 33)));
    EXPECT_TRUE(AddEffectParameter(d, "Amplitude", m_Builder->MakeFloatParameter(0.5f)));
    EXPECT_EQ(d.effectParameters.Size(), 1);
    EXPECT_STREQ(d.effectParameters.FindPtr(XString("Amplitude"))->CStr(), "0.5");
    // The parameters made for their text are gone.
    EXPECT_EQ(m_Context->GetObjectListByType(CKCID_PARAMETER, TRUE).Size(), 0);
    // An effect no one registered leaves the material without one.
    d.effectName = "No Such Effect";
    EXPECT_EQ(m_Builder->ApplyMaterialEffect(d, m_Builder->CreateMaterial(nullptr, "m", 0)), -1);
}

} // namespace
