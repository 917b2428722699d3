#include <random>
#include <set>

#include "core/context/CKRandom.h"
#include "core/parameter/CKParameter.h"
#include "core/parameter/CKParameterGuids.h"
#include "tests/core/parameter/ParameterTestSupport.h"

namespace {

using ParameterManager = ParameterFixture;

// Values and names of an enumeration or flags record, as "name=value" texts.
template <class Record>
std::vector<std::string> Members(const Record* r)
{
    std::vector<std::string> out;
    for (int i = 0; r && i < r->NbData; ++i)
        out.push_back(std::string(r->Desc[i]) + "=" + std::to_string(r->Vals[i]));
    return out;
}

using Texts = std::vector<std::string>;

CKParameterTypeDesc Desc(CKGUID guid, const char* name, CKGUID parent = CKGUID())
{
    CKParameterTypeDesc d;
    d.Guid = guid;
    d.Name = name;
    d.ParentGuid = parent;
    d.DefaultSize = 4;
    return d;
}

} // namespace

TEST_F(ParameterManager, MemberTextsParseMemberByMember)
{
    struct Case
    {
        const char* text;
        Texts asEnum, asFlags;
    } cases[] = {
        {"Zero,One,Two", {"Zero=0", "One=1", "Two=2"}, {"Zero=1", "One=2", "Two=4"}},
        {"A=5,B", {"A=5", "B=6"}, {"A=5", "B=10"}},
        // A name ends at its own "=", never at a later member's.
        {"A=1,B,C=4", {"A=1", "B=2", "C=4"}, {"A=1", "B=2", "C=4"}},
        {"Color(r,g,b,a)=18", {"Color(r=0", "g=1", "b=2", "a)=18"}, {"Color(r=1", "g=2", "b=4", "a)=18"}},
        {"", {"=0"}, {"=1"}},
        {"X=-3,Y", {"X=-3", "Y=-2"}, {"X=-3", "Y=-6"}},
        {"Big=2147483648,Next", {"Big=-2147483648", "Next=-2147483647"}, {"Big=-2147483648", "Next=0"}},
        {"a= 12x,b=+4", {"a=12", "b=4"}, {"a=12", "b=4"}},
    };
    int n = 0;
    for (const Case& c : cases) {
        CKGUID e(0xE0000 + n, 1), f(0xF0000 + n, 1);
        ++n;
        ASSERT_EQ(m_Manager->RegisterNewEnum(e, "E", c.text), 0) << c.text;
        ASSERT_EQ(m_Manager->RegisterNewFlags(f, "F", c.text), 0) << c.text;
        EXPECT_EQ(Members(m_Manager->GetEnumDescByType(m_Manager->ParameterGuidToType(e))), c.asEnum) << c.text;
        EXPECT_EQ(Members(m_Manager->GetFlagsDescByType(m_Manager->ParameterGuidToType(f))), c.asFlags) << c.text;
        // Declarations replaced later count the same way.
        ASSERT_EQ(m_Manager->ChangeEnumDeclaration(e, c.text), 0);
        ASSERT_EQ(m_Manager->ChangeFlagsDeclaration(f, c.text), 0);
        EXPECT_EQ(Members(m_Manager->GetEnumDescByType(m_Manager->ParameterGuidToType(e))), c.asEnum) << c.text;
        EXPECT_EQ(Members(m_Manager->GetFlagsDescByType(m_Manager->ParameterGuidToType(f))), c.asFlags) << c.text;
    }
    XString text;
    m_Manager->GetEnumAsString(m_Manager->ParameterNameToType("Fill Mode"), text);
    EXPECT_STREQ(text.CStr(), "Point=1,WireFrame=2,Solid=3,OnlyZ=4");
    m_Manager->GetFlagsAsString(m_Manager->ParameterNameToType("Fill Mode"), text);
    EXPECT_STREQ(text.CStr(), "");
}

TEST_F(ParameterManager, RefusalsLeaveTheTableUnchanged)
{
    int count = m_Manager->GetParameterTypesCount();
    CKParameterTypeDesc d = Desc(CKPGUID_FLOAT, "Other Float");
    EXPECT_EQ(m_Manager->RegisterParameterType(&d), -2);
    CKParameterTypeDesc none = Desc(CKGUID(), "No GUID");
    EXPECT_EQ(m_Manager->RegisterParameterType(&none), -1);
    EXPECT_EQ(m_Manager->RegisterParameterType(nullptr), -1);
    EXPECT_EQ(m_Manager->RegisterNewEnum(CKPGUID_FLOAT, "E", "A"), -48);
    EXPECT_EQ(m_Manager->RegisterNewFlags(CKGUID(1, 2), nullptr, "A"), -1);
    EXPECT_EQ(m_Manager->RegisterNewEnum(CKGUID(1, 2), "E", nullptr), -1);
    EXPECT_EQ(m_Manager->RegisterNewStructure(CKGUID(1, 2), "S", "", XArray<CKGUID>()), -1);
    EXPECT_EQ(m_Manager->RegisterNewStructure(CKPGUID_INT, "S", "a", XArray<CKGUID>()), -48);
    EXPECT_EQ(m_Manager->UnRegisterParameterType(CKGUID(1, 2)), -1);
    EXPECT_EQ(m_Manager->GetParameterTypesCount(), count);
    EXPECT_STREQ(m_Manager->TypeToName(6), "Float");

    // A declaration acts on a type of its own kind only: Float stays a value
    // type, an enumeration is not rewritten by a flags declaration.
    EXPECT_EQ(m_Manager->ChangeEnumDeclaration(CKPGUID_FLOAT, "A=1"), -48);
    EXPECT_EQ(m_Manager->ChangeFlagsDeclaration(CKGUID(0x2B0F1617, 0x53CE1B0E), "A=1"), -48);
    EXPECT_EQ(m_Manager->ChangeEnumDeclaration(CKPGUID_NONE, "A=1"), -48);
    EXPECT_EQ(m_Manager->ChangeEnumDeclaration(CKGUID(1, 2), "A=1"), -48);
    EXPECT_EQ(m_Manager->ChangeEnumDeclaration(CKPGUID_ERROR, nullptr), -1);
    XString fill;
    m_Manager->GetEnumAsString(m_Manager->ParameterNameToType("Fill Mode"), fill);
    EXPECT_STREQ(fill.CStr(), "Point=1,WireFrame=2,Solid=3,OnlyZ=4");
}

TEST_F(ParameterManager, ParentsNamedByGuidNeverCloseACycle)
{
    CKGUID a(0xA, 1), b(0xB, 1), c(0xC, 1);
    CKParameterTypeDesc da = Desc(a, "A", b); // its parent comes later
    ASSERT_EQ(m_Manager->RegisterParameterType(&da), 0);
    CKParameterTypeDesc dc = Desc(c, "C", a);
    ASSERT_EQ(m_Manager->RegisterParameterType(&dc), 0);
    CKParameterTypeDesc db = Desc(b, "B", c);
    EXPECT_EQ(m_Manager->RegisterParameterType(&db), -2);
    CKParameterTypeDesc self = Desc(b, "B", b);
    EXPECT_EQ(m_Manager->RegisterParameterType(&self), -2);
    CKParameterTypeDesc root = Desc(b, "B", CKPGUID_FLOAT);
    ASSERT_EQ(m_Manager->RegisterParameterType(&root), 0);
    int flt = m_Manager->ParameterGuidToType(CKPGUID_FLOAT);
    EXPECT_TRUE(m_Manager->IsDerivedFrom(dc.Index, flt));
    EXPECT_FALSE(m_Manager->IsDerivedFrom(flt, dc.Index));
    EXPECT_TRUE(m_Manager->IsTypeCompatible(flt, dc.Index));
    CKGUID parent;
    EXPECT_TRUE(m_Manager->GetParentGuid(c, parent));
    EXPECT_EQ(parent, a);
    EXPECT_FALSE(m_Manager->GetParentGuid(CKPGUID_FLOAT, parent));
    EXPECT_EQ(parent, CKGUID());
    parent = CKGUID(7, 7);
    EXPECT_FALSE(m_Manager->GetParentGuid(CKGUID(9, 9), parent));
    EXPECT_EQ(parent, CKGUID(7, 7));
}

TEST_F(ParameterManager, RemovingATypeRemovesItsDescendantsAndFreesSlotsForReuse)
{
    CKGUID a(0xA, 2), b(0xB, 2), c(0xC, 2), other(0xD, 2);
    CKParameterTypeDesc da = Desc(a, "A", CKPGUID_FLOAT), db = Desc(b, "B", a), dc = Desc(c, "C", b),
                        dother = Desc(other, "Other", CKPGUID_FLOAT);
    for (CKParameterTypeDesc* d : {&da, &db, &dc, &dother})
        ASSERT_EQ(m_Manager->RegisterParameterType(d), 0);
    int count = m_Manager->GetParameterTypesCount();
    auto* user = static_cast<CKParameter*>(m_Context->CreateObject(CKCID_PARAMETERLOCAL));
    user->SetGUID(c);

    EXPECT_EQ(m_Manager->UnRegisterParameterType(a), 0);
    EXPECT_EQ(m_Manager->ParameterGuidToType(b), -1);
    EXPECT_EQ(m_Manager->ParameterGuidToType(c), -1);
    EXPECT_FALSE(m_Manager->IsParameterTypeValid(da.Index));
    EXPECT_EQ(m_Manager->GetParameterTypeDescriptionByIndex(db.Index), nullptr);
    EXPECT_EQ(m_Manager->ParameterGuidToType(other), dother.Index);
    EXPECT_EQ(m_Manager->GetParameterTypesCount(), count);
    EXPECT_EQ(m_Console, Texts{"Warning : Some parameters are not valid any more."});
    EXPECT_EQ(user->GetType(), -1);

    // The lowest free slot is taken first.
    CKParameterTypeDesc again = Desc(CKGUID(0xE, 2), "Again");
    ASSERT_EQ(m_Manager->RegisterParameterType(&again), 0);
    EXPECT_EQ(again.Index, da.Index);
    EXPECT_EQ(m_Manager->TypeToGuid(again.Index), CKGUID(0xE, 2));
    EXPECT_EQ(m_Manager->TypeToGuid(-1), CKGUID());
    EXPECT_EQ(m_Manager->TypeToName(db.Index), nullptr);
    EXPECT_EQ(m_Manager->TypeToClassID(db.Index), 0);
}

TEST_F(ParameterManager, IsTypeCompatibleAgreesWithAWalkOverParents)
{
    std::mt19937 rng(15);
    std::vector<CKGUID> user;
    // Either index derives from the other: walk each one's parents by hand.
    auto derives = [&](int a, int b) {
        for (int steps = 0; steps < 1000; ++steps) {
            if (a == b)
                return true;
            CKParameterTypeDesc* d = m_Manager->GetParameterTypeDescriptionByIndex(a);
            if (!d || !d->ParentGuid.IsValid())
                return false;
            a = m_Manager->ParameterGuidToType(d->ParentGuid);
            if (a < 0)
                return false;
        }
        return false;
    };
    auto check = [&] {
        int n = m_Manager->GetParameterTypesCount();
        for (int a = -1; a <= n; ++a)
            for (int b = -1; b <= n; ++b) {
                bool valid = m_Manager->IsParameterTypeValid(a) && m_Manager->IsParameterTypeValid(b);
                bool expected = valid && (derives(a, b) || derives(b, a));
                ASSERT_EQ(m_Manager->IsTypeCompatible(a, b), (CKBOOL) expected) << a << " " << b;
            }
    };
    check();
    for (int round = 0; round < 60; ++round) {
        if (!user.empty() && rng() % 3 == 0) {
            CKGUID victim = user[rng() % user.size()];
            m_Manager->UnRegisterParameterType(victim);
            std::erase_if(user, [&](CKGUID g) { return m_Manager->ParameterGuidToType(g) < 0; });
        } else {
            // A parent among the registered types, an unregistered GUID or none.
            int n = m_Manager->GetParameterTypesCount();
            CKGUID parent;
            int pick = (int) (rng() % (n + 4));
            if (pick < n)
                parent = m_Manager->TypeToGuid(pick);
            else if (pick == n)
                parent = CKGUID(0x7777, rng() % 8);
            CKGUID guid(0x7777, rng() % 8);
            if (m_Manager->ParameterGuidToType(guid) >= 0)
                guid = CKGUID(0x8000 + round, 3);
            CKParameterTypeDesc d = Desc(guid, "User", parent);
            if (m_Manager->RegisterParameterType(&d) == 0) {
                user.push_back(guid);
                int lowestFree = -1;
                for (int i = 0; i < d.Index && lowestFree < 0; ++i)
                    if (!m_Manager->IsParameterTypeValid(i))
                        lowestFree = i;
                EXPECT_EQ(lowestFree, -1) << "a lower slot was free";
            }
        }
        check();
    }
}

TEST_F(ParameterManager, RegisteredParameterListsTheVisibleTypesByName)
{
    EXPECT_FALSE(m_Manager->IsParameterTypeEnumUpToDate());
    m_Manager->UpdateParameterEnum();
    EXPECT_TRUE(m_Manager->IsParameterTypeEnumUpToDate());
    const CKEnumDesc* e = m_Manager->GetEnumDescByType(m_Manager->ParameterGuidToType(CKPGUID_PARAMETERTYPE));
    ASSERT_NE(e, nullptr);
    Texts members = Members(e);
    EXPECT_EQ(members.front(), "2D Curve=25");
    EXPECT_EQ(members[1], "2D Entity=79");
    // The last comma leaves an empty member worth the previous one plus 1.
    EXPECT_EQ(members[members.size() - 2], "Z Compare Function=39");
    EXPECT_EQ(members.back(), "=40");
    int visible = 0;
    for (int i = 0; i < m_Manager->GetParameterTypesCount(); ++i)
        visible += !(m_Manager->GetParameterTypeDescriptionByIndex(i)->Flags & CKPARAMETERTYPE_HIDDEN);
    EXPECT_EQ((int) members.size(), visible + 1);

    CKParameterTypeDesc d = Desc(CKGUID(5, 5), "Zzz");
    m_Manager->RegisterParameterType(&d);
    EXPECT_FALSE(m_Manager->IsParameterTypeEnumUpToDate());
}

TEST_F(ParameterManager, StructuresKeepTheirMemberNamesAndTypes)
{
    XArray<CKGUID> two;
    two.PushBack(CKPGUID_FLOAT);
    two.PushBack(CKPGUID_INT);
    ASSERT_EQ(m_Manager->RegisterNewStructure(CKGUID(3, 3), "Pair", "Weight,Count,Extra", two), 0);
    int type = m_Manager->ParameterGuidToType(CKGUID(3, 3));
    CKParameterTypeDesc* d = m_Manager->GetParameterTypeDescriptionByIndex(type);
    EXPECT_EQ(d->DefaultSize, 12);
    EXPECT_EQ(d->Flags, (CKDWORD) CKPARAMETERTYPE_STRUCT);
    EXPECT_EQ(MarkerName(d->CreateDefault), "StructCreate");
    EXPECT_EQ(MarkerName(d->StringConvert), "StructText");
    const CKStructDesc* s = m_Manager->GetStructDescByType(type);
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(s->NbData, 3);
    EXPECT_STREQ(s->Desc[1], "Count");
    EXPECT_EQ(s->Guids[1], CKPGUID_INT);
    EXPECT_EQ(s->Guids[2], CKGUID()); // no type was given for it
    EXPECT_EQ(m_Manager->GetEnumDescByType(type), nullptr);

    ASSERT_EQ(m_Manager->RegisterNewStructure(CKGUID(4, 4), "Empty", "", {CKPGUID_FLOAT}), 0);
    s = m_Manager->GetStructDescByType(m_Manager->ParameterGuidToType(CKGUID(4, 4)));
    ASSERT_EQ(s->NbData, 1);
    EXPECT_STREQ(s->Desc[0], "");
}

TEST_F(ParameterManager, DefaultCopiesFollowTheValue)
{
    CKParameterTypeDesc chunked = Desc(CKGUID(6, 1), "Chunked");
    chunked.SaveLoad = CKSaveLoadPointerValue;
    CKParameterTypeDesc word = Desc(CKGUID(6, 2), "Word");
    CKParameterTypeDesc text = Desc(CKGUID(6, 3), "Text");
    text.Flags = CKPARAMETERTYPE_VARIABLESIZE;
    CKParameterTypeDesc big = Desc(CKGUID(6, 4), "Big");
    big.DefaultSize = 8;
    for (CKParameterTypeDesc* d : {&chunked, &word, &text, &big})
        ASSERT_EQ(m_Manager->RegisterParameterType(d), 0);
    auto copyOf = [&](CKGUID g) { return MarkerName(m_Manager->GetParameterTypeDescription(g)->Copy); };
    EXPECT_EQ(copyOf(CKGUID(6, 1)), "CopyBySaveLoad");
    EXPECT_EQ(copyOf(CKGUID(6, 2)), "Copy4Bytes");
    EXPECT_EQ(copyOf(CKGUID(6, 3)), "CopyGeneric");
    EXPECT_EQ(copyOf(CKGUID(6, 4)), "CopyGeneric");
    EXPECT_EQ(m_Manager->GetParameterTypeDescription(CKGUID(6, 2))->DeclaringPlugin, nullptr);
}

TEST_F(ParameterManager, GeneratedGuidsAvoidTypesAndOperations)
{
    CKSrand(77);
    CKGUID first = m_Context->GenerateGuid();
    CKGUID second = m_Context->GenerateGuid();
    CKGUID third = m_Context->GenerateGuid();
    CKParameterTypeDesc d = Desc(first, "Taken");
    ASSERT_EQ(m_Manager->RegisterParameterType(&d), 0);
    ASSERT_GE(m_Manager->RegisterOperationType(second, "Taken too"), 0);
    CKSrand(77);
    EXPECT_EQ(m_Context->GenerateGuid(), third);
}
