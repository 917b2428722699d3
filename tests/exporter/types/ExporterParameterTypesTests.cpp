#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "core/parameter/CKParameterGuids.h"
#include "core/parameter/CKParameterManager.h"
#include "exporter/types/ExporterParameterTypes.h"
#include "lod/LODPlugin.h"
#include "tests/exporter/support/ExporterTestSupport.h"

namespace {

using ExporterTypes = EngineFixture;

// The rows whose GUID the engine registers itself, with its own definition:
// the engine's definition stays.
const std::set<std::string> kEngineOwnRows = {
    "Direction",         "Texture Blend Mode", "Filter Mode",  "Blend Factor", "Fill Mode", "Lit Mode",   "Shade Mode",
    "Global Shade Mode", "Z Compare Function", "Address Mode", "Wrap Mode",    "Fog Mode",  "Light Type", "Filter",
    "Render Options",
};

int MemberValue(CKParameterManager* manager, const char* typeName, const char* member)
{
    int type = manager->ParameterNameToType(typeName);
    const CKEnumDesc* enums = manager->GetEnumDescByType(type);
    const CKFlagsDesc* flags = manager->GetFlagsDescByType(type);
    int count = enums ? enums->NbData : flags ? flags->NbData : 0;
    for (int i = 0; i < count; ++i) {
        const char* name = enums ? enums->Desc[i] : flags->Desc[i];
        if (std::strcmp(name, member) == 0)
            return enums ? enums->Vals[i] : flags->Vals[i];
    }
    ADD_FAILURE() << typeName << " has no member " << member;
    return 0;
}

} // namespace

TEST_F(ExporterTypes, TheTableHoldsItsKindsAndDistinctGuidsOfItsOwn)
{
    int kinds[3] = {};
    std::set<std::pair<CKDWORD, CKDWORD>> guids;
    for (const ExporterTypeRow& row : kExporterTypeRows) {
        ++kinds[(int) row.kind];
        guids.insert({row.guid.d1, row.guid.d2});
    }
    EXPECT_EQ(kinds[(int) ExporterTypeKind::Enum], 78);
    EXPECT_EQ(kinds[(int) ExporterTypeKind::Flags], 36);
    EXPECT_EQ(kinds[(int) ExporterTypeKind::Structure], 14);
    for (const ExporterPlainType& plain : kExporterPlainTypes)
        guids.insert({plain.guid.d1, plain.guid.d2});
    EXPECT_EQ(guids.size(), 133u) << "every GUID is distinct";

    // A GUID the engine holds already belongs to a row that names the
    // engine's own type; every other GUID is new to the engine.
    CKParameterManager* manager = m_Context->GetParameterManager();
    for (const ExporterTypeRow& row : kExporterTypeRows) {
        bool engines = manager->GetParameterTypeDescription(row.guid) != nullptr;
        EXPECT_EQ(engines, kEngineOwnRows.count(row.name) == 1) << row.name;
    }
    for (const ExporterPlainType& plain : kExporterPlainTypes)
        EXPECT_EQ(manager->GetParameterTypeDescription(plain.guid), nullptr) << plain.name;
    EXPECT_STREQ(kExporterTypeRows[0].name, "Direction");
    EXPECT_STREQ(kExporterTypeRows[127].name, "Floor");
}

TEST_F(ExporterTypes, WhereTheLevelOfDetailTypesCameFirstOnlyTheirRowsAndTheEnginesOwnAreRefused)
{
    CKParameterManager* manager = m_Context->GetParameterManager();
    ASSERT_EQ(CKInitLodParameterTypes(m_Context), 0);
    const int before = manager->GetParameterTypesCount();
    CKERROR rows[kExporterTypeRowCount];
    CKERROR plains[kExporterPlainTypeCount];
    const int added = RegisterExporterEnumsAndStructs(manager, rows) + RegisterExporterPlainTypes(manager, plains);
    EXPECT_EQ(added, 133 - 3 - (int) kEngineOwnRows.size());
    EXPECT_EQ(manager->GetParameterTypesCount(), before + added);
    std::vector<std::string> refused;
    for (int i = 0; i < kExporterTypeRowCount; ++i) {
        if (rows[i] == 0)
            continue;
        EXPECT_EQ(rows[i], -48) << kExporterTypeRows[i].name;
        if (!kEngineOwnRows.count(kExporterTypeRows[i].name))
            refused.push_back(std::string(kExporterTypeRows[i].name) + "#" + std::to_string(i));
    }
    EXPECT_EQ(refused, (std::vector<std::string>{"RGB Component#104", "#105", "#106"}));
    EXPECT_EQ(kExporterTypeRows[104].guid, LOD_RGB_COMPONENT_GUID);
    EXPECT_EQ(kExporterTypeRows[105].guid, LOD_MANAGER_FLAGS_GUID);
    EXPECT_EQ(kExporterTypeRows[106].guid, LOD_ATTRIBUTE_FLAGS_GUID);
    for (int row : {104, 105, 106}) {
        XString ours, theirs;
        int type = manager->ParameterGuidToType(kExporterTypeRows[row].guid);
        if (kExporterTypeRows[row].kind == ExporterTypeKind::Flags)
            manager->GetFlagsAsString(type, theirs);
        else
            manager->GetEnumAsString(type, theirs);
        ours = kExporterTypeRows[row].definition;
        EXPECT_STREQ(ours.CStr(), theirs.CStr()) << "either registration coming first gives the same type";
    }
    for (CKERROR result : plains)
        EXPECT_EQ(result, 0);
    // The first registration keeps its definition.
    EXPECT_EQ(MemberValue(manager, "Light Type", "Directional"), 3);
    EXPECT_EQ(manager->ParameterNameToType("Light Type"), manager->ParameterGuidToType(CKGUID(0x4F0F4891, 0x340A05D1)));

    // A second registration adds nothing.
    EXPECT_EQ(RegisterExporterEnumsAndStructs(manager) + RegisterExporterPlainTypes(manager), 0);
    EXPECT_EQ(manager->GetParameterTypesCount(), before + added);
}

TEST_F(ExporterTypes, RegisteredTypesReadAsTheirDefinitionsSay)
{
    CKParameterManager* manager = m_Context->GetParameterManager();
    EXPECT_EQ(RegisterExporterParameterTypes(m_Context), 1);
    EXPECT_EQ(MemberValue(manager, "Blend Factor", "Source Alpha"), 5);
    EXPECT_EQ(MemberValue(manager, "Blend Factor", "Inverse Source Alpha"), 6);
    EXPECT_EQ(MemberValue(manager, "Filter", "32"), -2147483648);
    EXPECT_EQ(MemberValue(manager, "Filter", "1"), 1);
    EXPECT_EQ(MemberValue(manager, "Compression Method", "Macintosh RLE"), 32773);
    EXPECT_EQ(MemberValue(manager, "Font Name", "Agency FB"), 0);
    EXPECT_EQ(MemberValue(manager, "Font Name", "Wingdings 3"), 151);
    EXPECT_EQ(MemberValue(manager, "DatabaseError (Alpha)", "SqlError"), -1);
    EXPECT_EQ(MemberValue(manager, "Filter Method", "Paeth"), 8);

    // Unnamed types are found by GUID only.
    int unnamed = manager->ParameterGuidToType(CKGUID(0x7E4417E1, 0x5D0D45B3));
    ASSERT_GE(unnamed, 0);
    EXPECT_STREQ(manager->TypeToName(unnamed), "");
    ASSERT_NE(manager->GetFlagsDescByType(unnamed), nullptr);
    EXPECT_EQ(manager->GetFlagsDescByType(unnamed)->NbData, 10);

    // Structures take their members' types in order.
    const CKStructDesc* png =
        manager->GetStructDescByType(manager->ParameterGuidToType(CKGUID(0x459A1662, 0x1E606CF0)));
    ASSERT_NE(png, nullptr);
    ASSERT_EQ(png->NbData, 4);
    EXPECT_STREQ(png->Desc[1], "Filter Method");
    EXPECT_EQ(png->Guids[0], CKGUID(0x2FB47C13, 0x3F960815));
    EXPECT_EQ(png->Guids[3], CKGUID(0x4D6C08CF, 0x69E13CE9));
    const CKStructDesc* floor =
        manager->GetStructDescByType(manager->ParameterGuidToType(CKGUID(0x7B447672, 0x5798572A)));
    ASSERT_NE(floor, nullptr);
    ASSERT_EQ(floor->NbData, 5);
    EXPECT_STREQ(floor->Desc[4], "First Contact?");
    EXPECT_EQ(floor->Guids[0], CKGUID(0x7C1930A1, 0x42361A45));
    EXPECT_EQ(floor->Guids[2], CKPGUID_INT);
    const CKStructDesc* jpeg =
        manager->GetStructDescByType(manager->ParameterGuidToType(CKGUID(0x0B8A65E0, 0x05BD3D98)));
    ASSERT_NE(jpeg, nullptr);
    EXPECT_EQ(jpeg->Guids[0], CKPGUID_PERCENTAGE);
    EXPECT_EQ(jpeg->Guids[1], CKPGUID_PERCENTAGE);

    // The plain types.
    const CKParameterTypeDesc* surface = manager->GetParameterTypeDescription(CKGUID(0x23475F59, 0x1CF5559B));
    ASSERT_NE(surface, nullptr);
    EXPECT_STREQ(surface->Name.CStr(), "Physics Surface");
    EXPECT_EQ(surface->DefaultSize, 64);
    EXPECT_EQ(surface->Flags & 1u, 1u);
    EXPECT_EQ(surface->ParentGuid, CKPGUID_STRING);
    const CKParameterTypeDesc* key = manager->GetParameterTypeDescription(CKGUID(0xFA6E1BDD, 0x62D2ABD7));
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->ParentGuid, CKPGUID_INT);
    EXPECT_EQ(key->DefaultSize, 4);
    EXPECT_TRUE(
        manager->IsDerivedFrom(manager->ParameterGuidToType(key->Guid), manager->ParameterGuidToType(CKPGUID_INT)));
}

TEST_F(ExporterTypes, TheRegistriesAreListedFromTheLiveEngineByName)
{
    CKParameterManager* manager = m_Context->GetParameterManager();
    XString classes = ExporterTypeDefinition(manager, kExporterTypeRows[23]);
    XString parameters = ExporterTypeDefinition(manager, kExporterTypeRows[24]);
    ASSERT_EQ(kExporterTypeRows[23].text, ExporterTypeText::RegisteredClass);
    ASSERT_EQ(kExporterTypeRows[24].text, ExporterTypeText::RegisteredParameter);
    auto entries = [](const XString& text) {
        std::vector<std::string> out;
        std::string all = text.CStr();
        EXPECT_EQ(all.back(), ',') << "every entry ends with a comma";
        size_t start = 0;
        for (size_t comma; (comma = all.find(',', start)) != std::string::npos; start = comma + 1)
            out.push_back(all.substr(start, comma - start));
        return out;
    };
    std::vector<std::string> c = entries(classes);
    EXPECT_TRUE(std::is_sorted(c.begin(), c.end()));
    EXPECT_EQ(c.front(), "2D Entity=27");
    EXPECT_EQ(c.back(), "Wave Sound=25");
    EXPECT_NE(std::find(c.begin(), c.end(), "3D Entity=33"), c.end());
    EXPECT_NE(std::find(c.begin(), c.end(), "KeltraneInterfaceObject=48"), c.end());

    std::vector<std::string> p = entries(parameters);
    EXPECT_TRUE(std::is_sorted(p.begin(), p.end()));
    const std::string integer = "Integer=" + std::to_string(manager->ParameterGuidToType(CKPGUID_INT));
    EXPECT_NE(std::find(p.begin(), p.end(), integer), p.end());
    for (const std::string& entry : p)
        EXPECT_NE(entry.rfind("Buffer=", 0), 0u) << "hidden types are left out";

    // Registered, the trailing comma gives a last, empty entry one above the
    // previous value.
    RegisterExporterParameterTypes(m_Context);
    const CKEnumDesc* registered = manager->GetEnumDescByType(manager->ParameterGuidToType(kExporterTypeRows[23].guid));
    ASSERT_NE(registered, nullptr);
    ASSERT_EQ(registered->NbData, (int) c.size() + 1);
    EXPECT_STREQ(registered->Desc[c.size()], "");
    EXPECT_EQ(registered->Vals[c.size()], 26);
}
