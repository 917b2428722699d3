// The "LOD Options" record, its text form and its parameter type.
#include <cstring>
#include <string>

#include "core/object/CKBeObject.h"
#include "core/parameter/CKParameterOut.h"
#include "lod/LODOptions.h"
#include "render/objects/CK3dEntity.h"
#include "tests/lod/LodTestSupport.h"

namespace {

CKDWORD Bits(float f)
{
    CKDWORD w;
    std::memcpy(&w, &f, 4);
    return w;
}

std::string Text(const LODOptions& options)
{
    char text[kLODOptionsTextSize];
    LODOptionsToText(options, text, sizeof text);
    return text;
}

TEST(LodOptions, TheDefaultRecordIsSevenLittleEndianWords)
{
    // Flags 0, then 0.4, 0.01, 1.0, 0.02, 0.1 and 0.05 as single floats.
    const CKBYTE golden[28] = {0x00, 0x00, 0x00, 0x00, 0xCD, 0xCC, 0xCC, 0x3E, 0x0A, 0xD7, 0x23, 0x3C, 0x00, 0x00,
                               0x80, 0x3F, 0x0A, 0xD7, 0xA3, 0x3C, 0xCD, 0xCC, 0xCC, 0x3D, 0xCD, 0xCC, 0x4C, 0x3D};
    LODOptions defaults;
    EXPECT_EQ(std::memcmp(&defaults, golden, 28), 0);
}

TEST(LodOptions, TheDefaultRecordWritesItsPercentages)
{
    EXPECT_EQ(Text(LODOptions()), "FALSE:FALSE:FALSE:FALSE:40:1:100:2:10:5");
    // The words follow the bits 0x2, 0x4, 0x8 and 0x1, in that order.
    const struct
    {
        CKDWORD flags;
        const char* words;
    } cases[] = {
        {0x2, "TRUE:FALSE:FALSE:FALSE"}, {0x4, "FALSE:TRUE:FALSE:FALSE"}, {0x8, "FALSE:FALSE:TRUE:FALSE"},
        {0x1, "FALSE:FALSE:FALSE:TRUE"}, {0xF, "TRUE:TRUE:TRUE:TRUE"},    {0xF0, "FALSE:FALSE:FALSE:FALSE"},
    };
    for (const auto& c : cases) {
        LODOptions o;
        o.Flags = c.flags;
        EXPECT_EQ(Text(o), std::string(c.words) + ":40:1:100:2:10:5") << c.flags;
    }
    LODOptions o;
    o.ScreenMag = 0.125f;
    o.FaceMin = -0.5f;
    o.ScreenAlphaMin = 1e-9f;
    EXPECT_EQ(Text(o), "FALSE:FALSE:FALSE:FALSE:12.5:1:100:-50:10:1e-07");
}

TEST(LodOptions, ANullTextAsksForTheSize)
{
    const int size = (int) std::strlen("FALSE:FALSE:FALSE:FALSE:40:1:100:2:10:5") + 1;
    EXPECT_EQ(LODOptionsToText(LODOptions(), nullptr, 0), size);
    // A short buffer takes what fits, terminated; the answer stays the size.
    char small[8];
    std::memset(small, 'x', sizeof small);
    EXPECT_EQ(LODOptionsToText(LODOptions(), small, sizeof small), size);
    EXPECT_STREQ(small, "FALSE:F");
    char none = 'x';
    EXPECT_EQ(LODOptionsToText(LODOptions(), &none, 0), size);
    EXPECT_EQ(none, 'x');
}

TEST(LodOptions, ReadingGivesTheExactFloats)
{
    LODOptions o;
    o.Flags = 0xF;
    ASSERT_TRUE(LODOptionsFromText("TRUE:FALSE:FALSE:FALSE:40:1:100:2:10:5", o));
    EXPECT_EQ(o.Flags, 0x2u);
    // Each percentage times the single-precision 0.01 widened to double.
    EXPECT_EQ(Bits(o.ScreenMag), 0x3ECCCCCCu);
    EXPECT_EQ(Bits(o.ScreenMin), 0x3C23D70Au);
    EXPECT_EQ(Bits(o.FaceMag), 0x3F800000u);
    EXPECT_EQ(Bits(o.FaceMin), 0x3CA3D70Au);
    EXPECT_EQ(Bits(o.ScreenAlphaMag), 0x3DCCCCCCu);
    EXPECT_EQ(Bits(o.ScreenAlphaMin), 0x3D4CCCCCu);
    ASSERT_TRUE(LODOptionsFromText("FALSE:TRUE:TRUE:TRUE:50:12.5:3", o));
    EXPECT_EQ(o.Flags, 0xDu);
    EXPECT_EQ(Bits(o.ScreenMag), 0x3F000000u);
    EXPECT_EQ(Bits(o.ScreenMin), 0x3E000000u);
    EXPECT_EQ(Bits(o.FaceMag), 0x3CF5C28Fu);
    // The numbers the text lacks keep the defaults, not the earlier value.
    EXPECT_EQ(Bits(o.FaceMin), 0x3CA3D70Au);
    EXPECT_EQ(Bits(o.ScreenAlphaMag), 0x3DCCCCCDu);
    EXPECT_EQ(Bits(o.ScreenAlphaMin), 0x3D4CCCCDu);
    ASSERT_TRUE(LODOptionsFromText("FALSE:FALSE:FALSE:TRUE:", o));
    const LODOptions defaults;
    EXPECT_EQ(std::memcmp(&o.ScreenMag, &defaults.ScreenMag, 24), 0);
    EXPECT_EQ(o.Flags, 0x1u);
}

TEST(LodOptions, TextsWithoutTheFourWordsAreRefused)
{
    const char* refused[] = {
        "TRUE:FALSE:FALSE:40:1:100:2:10:5", // three words, as one exporter writes it
        "",
        "TRUE",
        "TRUE:TRUE:TRUE:TRUE",
        "true:FALSE:FALSE:FALSE:",
        "TRUE FALSE FALSE FALSE 40",
        "FALSE:FALSE:FALSE:1:40",
        " TRUE:FALSE:FALSE:FALSE:",
    };
    for (const char* text : refused) {
        LODOptions o;
        o.Flags = 0x5;
        o.FaceMag = 0.75f;
        EXPECT_FALSE(LODOptionsFromText(text, o)) << text;
        EXPECT_EQ(o.Flags, 0x5u) << text;
        EXPECT_EQ(o.FaceMag, 0.75f) << text;
    }
    LODOptions o;
    EXPECT_FALSE(LODOptionsFromText(nullptr, o));
}

TEST(LodOptions, EveryCutOfATextReadsOrIsRefused)
{
    const std::string full = "TRUE:TRUE:FALSE:TRUE:12.5:0.5:75:3.25:20:7";
    for (size_t n = 0; n <= full.size(); ++n) {
        std::string cut = full.substr(0, n);
        LODOptions o;
        o.Flags = 0x80;
        bool read = LODOptionsFromText(cut.c_str(), o);
        // The words end at 21 characters ("TRUE:TRUE:FALSE:TRUE:").
        EXPECT_EQ(read, n >= 21) << cut;
        if (read)
            EXPECT_EQ(o.Flags, 0x7u) << cut;
        else
            EXPECT_EQ(o.Flags, 0x80u) << cut;
    }
}

TEST(LodOptions, AWrittenTextReadsBackToTheSameText)
{
    LODOptions o;
    o.Flags = 0x9;
    o.ScreenMag = 0.3f;
    o.ScreenMin = 0.0125f;
    o.FaceMag = 0.9f;
    o.FaceMin = 0.25f;
    o.ScreenAlphaMag = 0.2f;
    o.ScreenAlphaMin = 0.0f;
    std::string text = Text(o);
    EXPECT_EQ(text, "FALSE:FALSE:TRUE:TRUE:30:1.25:90:25:20:0");
    LODOptions back;
    ASSERT_TRUE(LODOptionsFromText(text.c_str(), back));
    EXPECT_EQ(Text(back), text);
    EXPECT_EQ(back.Flags, 0x9u);
}

class LodOptionsParameterTest : public LodFixture
{};

TEST_F(LodOptionsParameterTest, ANewParameterHoldsTheDefaults)
{
    CKParameterOut* p = m_Context->CreateCKParameterOut("o", LOD_OPTIONS_GUID);
    ASSERT_NE(p, nullptr);
    ASSERT_EQ(p->GetDataSize(), 28);
    LODOptions defaults;
    EXPECT_EQ(std::memcmp(p->GetReadDataPtr(FALSE), &defaults, 28), 0);
    char text[kLODOptionsTextSize];
    EXPECT_EQ(p->GetStringValue(text, sizeof text), 40);
    EXPECT_STREQ(text, "FALSE:FALSE:FALSE:FALSE:40:1:100:2:10:5");
    EXPECT_EQ(p->GetStringValue(nullptr, 0), 40);
}

TEST_F(LodOptionsParameterTest, TheTextFormSetsTheValueOrLeavesIt)
{
    CKParameterOut* p = m_Context->CreateCKParameterOut("o", LOD_OPTIONS_GUID);
    ASSERT_EQ(p->SetStringValue("FALSE:FALSE:TRUE:FALSE:50"), 0);
    auto* o = static_cast<LODOptions*>(p->GetReadDataPtr(FALSE));
    EXPECT_EQ(o->Flags, (CKDWORD) LOD_PATCHMESH);
    EXPECT_EQ(o->ScreenMag, 0.5f);
    // The three-word text is refused: the value stays.
    EXPECT_EQ(p->SetStringValue("TRUE:FALSE:FALSE:40:1:100:2:10:5"), 0);
    EXPECT_EQ(o->Flags, (CKDWORD) LOD_PATCHMESH);
    EXPECT_EQ(o->ScreenMag, 0.5f);
    EXPECT_EQ(p->SetStringValue(nullptr), 0);
    EXPECT_EQ(o->ScreenMag, 0.5f);
    EXPECT_EQ(LODManager::OptionsToFromString(nullptr, nullptr, 0, TRUE), 0);
    EXPECT_EQ(LODManager::OptionsToFromString(nullptr, nullptr, 0, FALSE), 0);
    EXPECT_NE(LODManager::CreateDefaultOptions(nullptr), 0);
}

TEST_F(LodOptionsParameterTest, AValueOfAnotherSizeIsNoRecord)
{
    CK3dEntity* entity = New<CK3dEntity>(CKCID_3DOBJECT, "e");
    LODOptions* options = Attach(entity, LODOptions());
    ASSERT_NE(options, nullptr);
    CKParameter* p = entity->GetAttributeParameter(Manager()->GetLodAttribute());
    // A loaded parameter of the type may hold fewer bytes.
    CKDWORD shorter[3] = {LOD_ALPHA, 0, 0};
    ASSERT_EQ(p->SetValue(shorter, 12), 0);
    ASSERT_EQ(p->GetDataSize(), 12);
    EXPECT_EQ(Manager()->GetLodOptions(entity), nullptr);
    // Its text shows what it holds over the defaults.
    char text[kLODOptionsTextSize];
    p->GetStringValue(text, sizeof text);
    EXPECT_STREQ(text, "FALSE:FALSE:FALSE:TRUE:0:0:100:2:10:5");
    EXPECT_EQ(Manager()->GetLodOptions(nullptr), nullptr);
    EXPECT_EQ(Manager()->GetLodOptions(New<CK3dEntity>(CKCID_3DOBJECT, "bare")), nullptr);
}

} // namespace
