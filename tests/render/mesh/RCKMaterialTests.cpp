// The material: its defaults and setters, the transparency flag and change
// stamp, its states on the rasterizer, its chunk section (golden words,
// every cut, a newer version), file and copy round trips and the textures
// it lets go of when they are deleted.
#include <bit>
#include <functional>
#include <string>
#include <vector>

#include "core/context/CKFunctions.h"
#include "core/object/CKDependencies.h"
#include "core/parameter/CKParameter.h"
#include "render/context/CKEffectDescription.h"
#include "render/context/CKRenderGlobals.h"
#include "render/context/rasterizer/CKRasterizerContext.h"
#include "tests/render/mesh/MaterialTestSupport.h"

namespace {

using Material = MaterialFixture;

CKDWORD F(float f)
{
    return std::bit_cast<CKDWORD>(f);
}

// Every setter with a value other than the default.
void SetEverything(CKMaterial* m, CKTexture* t0, CKTexture* t2)
{
    m->SetDiffuse(QxColor(0.1f, 0.2f, 0.3f, 0.4f));
    m->SetAmbient(QxColor(0.5f, 0.6f, 0.7f, 0.8f));
    m->SetSpecular(QxColor(0.9f, 0.25f, 0.125f, 1.0f));
    m->SetEmissive(QxColor(0.75f, 0.5f, 0.0625f, 0.5f));
    m->SetPower(37.5f);
    m->SetTexture0(t0);
    m->SetTexture(2, t2);
    m->SetTextureBlendMode(CK_TEXBLEND_ADD);
    m->SetTextureMinMode(CK_TEXFILTER_LINEARMIPLINEAR);
    m->SetTextureMagMode(CK_TEXFILTER_NEAREST);
    m->SetTextureAddressMode(CK_TEXADDRESS_BORDER);
    m->SetTextureBorderColor(0x80FF4020);
    m->EnablePerspectiveCorrection(FALSE);
    m->EnableAlphaBlend(TRUE);
    m->SetSourceBlend(CK_BLEND_SRCALPHA);
    m->SetDestBlend(CK_BLEND_INVSRCALPHA);
    m->EnableAlphaTest(TRUE);
    m->SetAlphaFunc(CK_CMP_GREATEREQUAL);
    m->SetAlphaRef(0x7F);
    m->EnableZWrite(FALSE);
    m->SetZFunc(CK_CMP_LESS);
    m->SetTwoSided(TRUE);
    m->SetFillMode(CK_FILL_WIREFRAME);
    m->SetShadeMode(CK_SHADE_FLAT);
    m->SetEffect(2);
}

// Every getter, the textures by name.
std::vector<std::string> Getters(CKMaterial* m)
{
    auto c = [](const QxColor& x) {
        return std::to_string(x.r) + "," + std::to_string(x.g) + "," + std::to_string(x.b) + "," + std::to_string(x.a);
    };
    auto t = [m](int stage) {
        CKTexture* texture = m->GetTexture(stage);
        return std::string(texture ? texture->GetName() : "-");
    };
    return {c(m->GetDiffuse()),
            c(m->GetAmbient()),
            c(m->GetSpecular()),
            c(m->GetEmissive()),
            std::to_string(m->GetPower()),
            t(0),
            t(1),
            t(2),
            t(3),
            std::to_string(m->GetTextureBlendMode()),
            std::to_string(m->GetTextureMinMode()),
            std::to_string(m->GetTextureMagMode()),
            std::to_string(m->GetTextureAddressMode()),
            std::to_string(m->GetTextureBorderColor()),
            std::to_string(m->PerspectiveCorrectionEnabled()),
            std::to_string(m->AlphaBlendEnabled()),
            std::to_string(m->GetSourceBlend()),
            std::to_string(m->GetDestBlend()),
            std::to_string(m->IsAlphaTransparent()),
            std::to_string(m->AlphaTestEnabled()),
            std::to_string(m->GetAlphaFunc()),
            std::to_string(m->GetAlphaRef()),
            std::to_string(m->ZWriteEnabled()),
            std::to_string(m->GetZFunc()),
            std::to_string(m->IsTwoSided()),
            std::to_string(m->GetFillMode()),
            std::to_string(m->GetShadeMode()),
            std::to_string(m->GetEffect()),
            std::to_string(m->GetFlags())};
}

TEST_F(Material, StartsWithTheDefaultsTheExporterAssumes)
{
    CKMaterial* m = NewMaterial("m");
    EXPECT_EQ(m->GetDiffuse(), QxColor(0.7f, 0.7f, 0.7f, 1.0f));
    EXPECT_EQ(m->GetEmissive(), QxColor(0.0f, 0.0f, 0.0f, 1.0f));
    EXPECT_EQ(m->GetPower(), 0.0f);
    EXPECT_EQ(m->GetFillMode(), CK_FILL_SOLID);
    EXPECT_EQ(m->GetShadeMode(), CK_SHADE_GOURAUD);
    EXPECT_FALSE(m->AlphaBlendEnabled());
    EXPECT_EQ(m->GetSourceBlend(), CK_BLEND_ONE);
    EXPECT_EQ(m->GetDestBlend(), CK_BLEND_ZERO);
    EXPECT_TRUE(m->PerspectiveCorrectionEnabled());
    EXPECT_EQ(m->GetTextureMinMode(), CK_TEXFILTER_LINEAR);
    EXPECT_EQ(m->GetTextureMagMode(), CK_TEXFILTER_LINEAR);
    EXPECT_EQ(m->GetTextureBlendMode(), CK_TEXBLEND_MODULATEALPHA);
    EXPECT_EQ(m->GetZFunc(), CK_CMP_LESSEQUAL);
    EXPECT_TRUE(m->ZWriteEnabled());
    EXPECT_FALSE(m->IsTwoSided());
    EXPECT_EQ(m->GetEffect(), 0);
    EXPECT_EQ(m->GetTexture(0), nullptr);
    EXPECT_EQ(m->GetShaderData(0), nullptr) << "materials hold no shader data";
    EXPECT_EQ(m->GetTexture(4), nullptr) << "four stages";
}

TEST_F(Material, BlendingAndAlphaTestSettersRaiseTheTransparencyFlagOthersOnlyTheStamp)
{
    struct Case
    {
        const char* setter;
        std::function<void(CKMaterial*)> set;
        bool transparency;
    };
    const Case cases[] = {
        {"EnableAlphaBlend", [](CKMaterial* m) { m->EnableAlphaBlend(TRUE); }, true},
        {"SetSourceBlend", [](CKMaterial* m) { m->SetSourceBlend(CK_BLEND_SRCALPHA); }, true},
        {"SetDestBlend", [](CKMaterial* m) { m->SetDestBlend(CK_BLEND_ONE); }, true},
        {"EnableAlphaTest", [](CKMaterial* m) { m->EnableAlphaTest(TRUE); }, true},
        {"SetAlphaFunc", [](CKMaterial* m) { m->SetAlphaFunc(CK_CMP_LESS); }, true},
        {"SetAlphaRef", [](CKMaterial* m) { m->SetAlphaRef(9); }, true},
        {"SetDiffuse", [](CKMaterial* m) { m->SetDiffuse(QxColor(1, 0, 0, 1)); }, false},
        {"SetPower", [](CKMaterial* m) { m->SetPower(2.0f); }, false},
        {"SetFillMode", [](CKMaterial* m) { m->SetFillMode(CK_FILL_POINT); }, false},
        {"SetTwoSided", [](CKMaterial* m) { m->SetTwoSided(TRUE); }, false},
        {"EnableZWrite", [](CKMaterial* m) { m->EnableZWrite(FALSE); }, false},
        {"SetTextureBorderColor", [](CKMaterial* m) { m->SetTextureBorderColor(5); }, false},
        {"SetEffect", [](CKMaterial* m) { m->SetEffect(1); }, false},
    };
    CKRenderGlobals& globals = CKGetRenderGlobals();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.setter);
        CKMaterial* m = NewMaterial(c.setter);
        globals.m_TransparencyChanged = FALSE;
        CKDWORD stamp = m->GetModificationStamp();
        c.set(m);
        EXPECT_EQ(globals.m_TransparencyChanged != FALSE, c.transparency);
        EXPECT_GT(m->GetModificationStamp(), stamp);
        // The same value again changes nothing.
        globals.m_TransparencyChanged = FALSE;
        stamp = m->GetModificationStamp();
        c.set(m);
        EXPECT_FALSE(globals.m_TransparencyChanged);
        EXPECT_EQ(m->GetModificationStamp(), stamp);
    }
}

TEST_F(Material, TheRenderedSceneClearsTheTransparencyFlag)
{
    RCKRenderContext* rc = NewRecordingContext();
    NewMaterial("m")->EnableAlphaBlend(TRUE);
    ASSERT_TRUE(CKGetRenderGlobals().m_TransparencyChanged);
    rc->Render();
    EXPECT_FALSE(CKGetRenderGlobals().m_TransparencyChanged);
}

TEST_F(Material, IsAlphaTransparentWhenItBlendsOtherThanOneZero)
{
    struct Case
    {
        CKBOOL blend;
        int source, dest;
        bool transparent;
    };
    const Case cases[] = {
        {FALSE, CK_BLEND_SRCALPHA, CK_BLEND_INVSRCALPHA, false},
        {TRUE, CK_BLEND_SRCALPHA, CK_BLEND_INVSRCALPHA, true},
        {TRUE, CK_BLEND_ONE, CK_BLEND_ONE, true},
        {TRUE, CK_BLEND_ONE, CK_BLEND_ZERO, false},
        {TRUE, CK_BLEND_ZERO, CK_BLEND_SRCCOLOR, true},
    };
    CKMaterial* m = NewMaterial("m");
    for (const Case& c : cases) {
        m->EnableAlphaBlend(c.blend);
        m->SetSourceBlend(c.source);
        m->SetDestBlend(c.dest);
        EXPECT_EQ(m->IsAlphaTransparent() != FALSE, c.transparent) << c.blend << " " << c.source << " " << c.dest;
    }
}

TEST_F(Material, EffectNumbersLiveInBits8To13)
{
    CKMaterial* m = NewMaterial("m");
    EXPECT_TRUE(m->SetEffect(63));
    EXPECT_EQ(m->GetFlags() & 0x3F00u, 0x3F00u);
    EXPECT_FALSE(m->SetEffect(64));
    EXPECT_FALSE(m->SetEffect(-1));
    EXPECT_EQ(m->GetEffect(), 63);
    EXPECT_TRUE(m->SetEffect(0));
    EXPECT_EQ(m->GetFlags() & 0x3F00u, 0u);
    // An effect with a structure gets a parameter of that structure, owned by
    // the material; changing the effect replaces it.
    EXPECT_TRUE(m->SetEffect(1));
    CKParameter* bump = m->GetEffectParameter();
    ASSERT_NE(bump, nullptr);
    EXPECT_EQ(bump->GetOwner(), m);
    EXPECT_EQ(bump->GetGUID(), Manager()->GetEffectDescription(1)->ParameterType);
    const CK_ID bumpId = bump->GetID();
    EXPECT_TRUE(m->SetEffect(2));
    ASSERT_NE(m->GetEffectParameter(), nullptr);
    EXPECT_NE(m->GetEffectParameter()->GetGUID(), Manager()->GetEffectDescription(1)->ParameterType);
    EXPECT_EQ(m_Context->GetObject(bumpId), nullptr) << "the old effect's parameter is destroyed";
    EXPECT_TRUE(m->SetEffect(0));
    EXPECT_EQ(m->GetEffectParameter(), nullptr);
}

TEST_F(Material, SetAsCurrentPutsItsStatesAndTextureOnTheRasterizer)
{
    RCKRenderContext* rc = NewRecordingContext();
    CKRasterizerContext* rst = rc->GetRasterizerContext();
    CKTexture* texture = NewTexture("t");
    ASSERT_TRUE(texture->Create(4, 4));
    CKMaterial* m = NewMaterial("m");
    SetEverything(m, texture, nullptr);
    m->SetFillMode(CK_FILL_SOLID);
    ASSERT_TRUE(m->SetAsCurrent(rc, TRUE, 0));

    auto state = [rst](CKDWORD s) {
        CKDWORD v = 0xDEAD;
        rst->GetRenderState(s, &v);
        return v;
    };
    EXPECT_EQ(rst->GetMaterial().Diffuse, m->GetDiffuse());
    EXPECT_EQ(rst->GetMaterial().SpecularPower, 37.5f);
    EXPECT_EQ(state(CKRST_RS_SPECULARENABLE), 1u);
    EXPECT_EQ(state(CKRST_RS_CULLMODE), CKRST_CULL_NONE) << "two-sided";
    EXPECT_EQ(state(CKRST_RS_SHADEMODE), (CKDWORD) CK_SHADE_FLAT);
    EXPECT_EQ(state(CKRST_RS_FILLMODE), (CKDWORD) CK_FILL_SOLID);
    EXPECT_EQ(state(CKRST_RS_ZWRITEENABLE), 0u);
    EXPECT_EQ(state(CKRST_RS_ZFUNC), (CKDWORD) CK_CMP_LESS);
    EXPECT_EQ(state(CKRST_RS_ALPHABLENDENABLE), 1u);
    EXPECT_EQ(state(CKRST_RS_SRCBLEND), (CKDWORD) CK_BLEND_SRCALPHA);
    EXPECT_EQ(state(CKRST_RS_DESTBLEND), (CKDWORD) CK_BLEND_INVSRCALPHA);
    EXPECT_EQ(state(CKRST_RS_ALPHATESTENABLE), 1u);
    EXPECT_EQ(state(CKRST_RS_ALPHAFUNC), (CKDWORD) CK_CMP_GREATEREQUAL);
    EXPECT_EQ(state(CKRST_RS_ALPHAREF), 0x7Fu);
    EXPECT_EQ(state(CKRST_RS_TEXTUREPERSPECTIVE), 0u);

    EXPECT_NE(rst->GetTexture(0), 0u);
    EXPECT_EQ(rst->GetTexture(0), texture->GetRstTextureIndex());
    auto stage = [rst](int s, CKDWORD t) {
        CKDWORD v = 0xDEAD;
        rst->GetTextureStageState(s, t, &v);
        return v;
    };
    EXPECT_EQ(stage(0, CKRST_TSS_TEXTUREMAPBLEND), (CKDWORD) CK_TEXBLEND_ADD);
    EXPECT_EQ(stage(0, CKRST_TSS_MINFILTER), (CKDWORD) CK_TEXFILTER_LINEARMIPLINEAR);
    EXPECT_EQ(stage(0, CKRST_TSS_MAGFILTER), (CKDWORD) CK_TEXFILTER_NEAREST);
    EXPECT_EQ(stage(0, CKRST_TSS_ADDRESSU), (CKDWORD) CK_TEXADDRESS_BORDER);
    EXPECT_EQ(stage(0, CKRST_TSS_BORDERCOLOR), 0x80FF4020u);

    // On a later stage only the texture and its stage states change.
    m->SetTextureBlendMode(CK_TEXBLEND_MODULATE);
    rst->SetRenderState(CKRST_RS_ZFUNC, CK_CMP_ALWAYS);
    ASSERT_TRUE(m->SetAsCurrent(rc, FALSE, 1));
    EXPECT_EQ(rst->GetTexture(1), texture->GetRstTextureIndex());
    EXPECT_EQ(stage(1, CKRST_TSS_TEXTUREMAPBLEND), (CKDWORD) CK_TEXBLEND_MODULATE);
    EXPECT_EQ(state(CKRST_RS_ZFUNC), (CKDWORD) CK_CMP_ALWAYS);

    // Without a texture the stage is unbound; only-z draws no colour.
    m->SetTexture0(nullptr);
    m->SetFillMode(CK_FILL_ONLYZ);
    m->EnableAlphaBlend(FALSE);
    ASSERT_TRUE(m->SetAsCurrent(rc));
    EXPECT_EQ(rst->GetTexture(0), 0u);
    EXPECT_EQ(state(CKRST_RS_FILLMODE), (CKDWORD) CK_FILL_SOLID);
    EXPECT_EQ(state(CKRST_RS_ALPHABLENDENABLE), 1u);
    EXPECT_EQ(state(CKRST_RS_SRCBLEND), (CKDWORD) CK_BLEND_ZERO);
    EXPECT_EQ(state(CKRST_RS_DESTBLEND), (CKDWORD) CK_BLEND_ONE);
    EXPECT_FALSE(m->SetAsCurrent(nullptr)) << "no device";
}

TEST_F(Material, EveryFieldGoesThroughAFileIntoAFreshContext)
{
    CKTexture* t0 = NewTexture("first");
    CKTexture* t2 = NewTexture("third");
    ASSERT_TRUE(t0->Create(2, 2));
    ASSERT_TRUE(t2->Create(2, 2));
    CKMaterial* m = NewMaterial("everything");
    SetEverything(m, t0, t2);
    std::vector<std::string> before = Getters(m);
    SaveAndLoad({m});
    CKMaterial* loaded = Loaded<CKMaterial>("everything", CKCID_MATERIAL);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(Getters(loaded), before);
    EXPECT_NE(loaded->GetTexture(0), t0) << "the fresh context's texture";
    EXPECT_EQ(loaded->GetTexture(0)->GetCKContext(), Fresh());
}

TEST_F(Material, ACopyHasEveryFieldAndSharesTheTextures)
{
    CKTexture* t0 = NewTexture("first");
    CKMaterial* m = NewMaterial("original");
    SetEverything(m, t0, nullptr);
    CKMaterial* copy = static_cast<CKMaterial*>(m_Context->CopyObjects(m));
    ASSERT_NE(copy, nullptr);
    ASSERT_NE(copy, m);
    EXPECT_EQ(Getters(copy), Getters(m));
    EXPECT_EQ(copy->GetTexture(0), t0);
}

TEST_F(Material, ACopyWithItsTexturesOptionCopiesThemToo)
{
    CKTexture* t0 = NewTexture("first");
    ASSERT_TRUE(t0->Create(2, 2));
    CKMaterial* m = NewMaterial("original");
    m->SetTexture0(t0);
    CKDependencies deps;
    deps.m_Flags = CK_DEPENDENCIES_CUSTOM;
    deps.Resize(CKGetClassCount());
    deps.m_Options[CKCID_MATERIAL] = 1;
    CKMaterial* copy = static_cast<CKMaterial*>(m_Context->CopyObjects(m, &deps));
    ASSERT_NE(copy, nullptr);
    ASSERT_NE(copy->GetTexture(0), nullptr);
    EXPECT_NE(copy->GetTexture(0), t0);
    EXPECT_EQ(copy->GetTexture(0)->GetWidth(), 2);
}

TEST_F(Material, DeletingATextureClearsItFromTheMaterialsThatShowIt)
{
    CKTexture* t = NewTexture("t");
    CKTexture* kept = NewTexture("kept");
    CKMaterial* a = NewMaterial("a");
    CKMaterial* b = NewMaterial("b");
    a->SetTexture0(t);
    a->SetTexture(3, kept);
    b->SetTexture(2, t);
    CKDWORD stamp = b->GetModificationStamp();
    EXPECT_TRUE(a->IsObjectUsed(t, CKCID_TEXTURE));
    m_Context->DestroyObject(t);
    EXPECT_EQ(a->GetTexture(0), nullptr);
    EXPECT_EQ(a->GetTexture(3), kept);
    EXPECT_EQ(b->GetTexture(2), nullptr);
    EXPECT_GT(b->GetModificationStamp(), stamp);
}

TEST_F(Material, ItsSectionHasTheDocumentedWords)
{
    CKMaterial* m = NewMaterial("m");
    SetEverything(m, nullptr, nullptr);
    const std::vector<CKDWORD> golden = {
        1,                                                  // layout version
        F(0.1f),    F(0.2f),  F(0.3f),    F(0.4f),          // diffuse
        F(0.5f),    F(0.6f),  F(0.7f),    F(0.8f),          // ambient
        F(0.9f),    F(0.25f), F(0.125f),  F(1.0f),          // specular
        F(0.75f),   F(0.5f),  F(0.0625f), F(0.5f),          // emissive
        F(37.5f),                                           // power
        0x0219,                                             // two-sided, blend, test, effect 2
        8,          6,        1,          4,                // texture blend, min, mag, address
        0x80FF4020,                                         // border colour
        5,          6,        7,          0x7F,    2, 2, 1, // blends, alpha test, z, fill, shade
        0,          0,        0,          0,       0,       // textures, effect parameter
    };
    std::vector<CKDWORD> words = SectionWords(m, CK_STATESAVE_MATERIALDATA, 100);
    ASSERT_EQ(words.size(), golden.size());
    ASSERT_NE(m->GetEffectParameter(), nullptr);
    EXPECT_EQ(words.back(), m->GetEffectParameter()->GetID()) << "effect 2 has a parameter";
    words.back() = 0;
    EXPECT_EQ(words, golden);
    EXPECT_EQ((int) golden.size(), CK_MATERIAL_SECTION_WORDS);
}

TEST_F(Material, ASectionCutAnywhereLoadsNothingAndANewerOneIsRefused)
{
    CKMaterial* source = NewMaterial("source");
    SetEverything(source, nullptr, nullptr);
    std::vector<CKDWORD> words = SectionWords(source, CK_STATESAVE_MATERIALDATA, 100);
    ASSERT_EQ((int) words.size(), CK_MATERIAL_SECTION_WORDS);
    CKMaterial* target = NewMaterial("target");
    std::vector<std::string> defaults = Getters(target);
    for (size_t cut = 0; cut < words.size(); ++cut) {
        std::vector<CKDWORD> prefix(words.begin(), words.begin() + (long) cut);
        CKStateChunk* chunk = SectionChunk(CKCID_MATERIAL, CK_STATESAVE_MATERIALDATA, prefix);
        EXPECT_EQ(target->Load(chunk, nullptr), CKErr::InvalidFile) << cut;
        EXPECT_EQ(Getters(target), defaults) << cut;
        CKDeleteStateChunk(chunk);
    }
    CKStateChunk* whole = SectionChunk(CKCID_MATERIAL, CK_STATESAVE_MATERIALDATA, words);
    EXPECT_EQ(target->Load(whole, nullptr), CKErr::Ok);
    EXPECT_EQ(Getters(target), Getters(source));
    CKDeleteStateChunk(whole);

    CKMaterial* other = NewMaterial("other");
    words[0] = CK_MATERIAL_LAYOUT_VERSION + 1;
    CKStateChunk* newer = SectionChunk(CKCID_MATERIAL, CK_STATESAVE_MATERIALDATA, words);
    EXPECT_EQ(other->Load(newer, nullptr), CKErr::InvalidFile);
    EXPECT_EQ(Getters(other), defaults);
    CKDeleteStateChunk(newer);
}

TEST_F(Material, AReferenceToAnythingButATextureIsDropped)
{
    CKMaterial* source = NewMaterial("source");
    std::vector<CKDWORD> words = SectionWords(source, CK_STATESAVE_MATERIALDATA, 100);
    ASSERT_EQ((int) words.size(), CK_MATERIAL_SECTION_WORDS);
    CKMaterial* notATexture = NewMaterial("not a texture");
    words[31] = notATexture->GetID();
    words[32] = 0x7FFFFFF0; // no object
    words[35] = notATexture->GetID();
    CKStateChunk* chunk = SectionChunk(CKCID_MATERIAL, CK_STATESAVE_MATERIALDATA, words);
    CKMaterial* target = NewMaterial("target");
    EXPECT_EQ(target->Load(chunk, nullptr), CKErr::Ok);
    EXPECT_EQ(target->GetTexture(0), nullptr);
    EXPECT_EQ(target->GetTexture(1), nullptr);
    EXPECT_EQ(target->GetEffectParameter(), nullptr);
    CKDeleteStateChunk(chunk);
}

} // namespace
