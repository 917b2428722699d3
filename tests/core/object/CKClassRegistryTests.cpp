#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/context/CKError.h"
#include "core/context/CKPluginManager.h"
#include "core/context/CKStartUp.h"
#include "core/object/CKClassRegistry.h"
#include "tests/core/support/CoreTestSupport.h"

namespace {

struct ClassRow
{
    CK_CLASSID id;
    CK_CLASSID parent;
    const char* name;
};

const ClassRow kCoreClasses[] = {
    {1, 0, "CKObject"},
    {2, 1, "CKParameterIn"},
    {46, 1, "CKParameter"},
    {3, 46, "CKParameterOut"},
    {45, 46, "CKParameterLocal"},
    {55, 45, "CKParameterVariable"},
    {4, 1, "CKParameterOperation"},
    {6, 1, "CKBehaviorLink"},
    {9, 1, "CKBehaviorIO"},
    {11, 1, "CKSceneObject"},
    {20, 1, "CKSynchroObject"},
    {5, 1, "CKStateObject"},
    {49, 1, "CKCriticalSectionObject"},
    {48, 1, "CKInterfaceObjectManager"},
    {19, 11, "CKBeObject"},
    {8, 11, "CKBehavior"},
    {10, 19, "CKScene"},
    {21, 19, "CKLevel"},
    {23, 19, "CKGroup"},
    {24, 19, "CKSound"},
    {52, 19, "CKDataArray"},
    {25, 24, "CKWaveSound"},
    {26, 24, "CKMidiSound"},
};

class ClassRegistryTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_EQ(CKStartUp(), 0); }
    void TearDown() override { CKShutdown(); }
};

} // namespace

TEST_F(ClassRegistryTest, CoreClassesHaveTheirIdsNamesAndParents)
{
    ASSERT_EQ(CKGetClassCount(), 58);
    EXPECT_EQ(CKGetGlobalClassCount(), 58);
    for (const ClassRow& row : kCoreClasses) {
        CKClassDesc* desc = CKGetClassDesc(row.id);
        ASSERT_NE(desc, nullptr) << row.name;
        EXPECT_STREQ(desc->m_Name.CStr(), row.name);
        EXPECT_EQ(desc->m_Parent, row.parent) << row.name;
    }
    for (CK_CLASSID empty : {0, 7, 14, 17, 44, 54, 57})
        EXPECT_TRUE(CKGetClassDesc(empty)->m_Name.IsEmpty());
}

TEST_F(ClassRegistryTest, AncestorAndDerivedSetsAndLevelsFollowTheParents)
{
    for (const ClassRow& row : kCoreClasses) {
        // Every class derives from itself and from each ancestor up to CKObject.
        for (CK_CLASSID c = row.id; c != 0; c = CKGetParentClassID(c))
            EXPECT_TRUE(CKIsChildClassOf(row.id, c)) << row.name << " of " << c;
        EXPECT_TRUE(CKIsChildClassOf(row.id, CKCID_OBJECT));
    }
    EXPECT_TRUE(CKIsChildClassOf(CKCID_PARAMETERVARIABLE, CKCID_PARAMETER));
    EXPECT_FALSE(CKIsChildClassOf(CKCID_OBJECT, CKCID_SCENEOBJECT));
    EXPECT_FALSE(CKIsChildClassOf(CKCID_PARAMETERIN, CKCID_PARAMETER));
    EXPECT_FALSE(CKIsChildClassOf(58, CKCID_OBJECT));
    EXPECT_FALSE(CKIsChildClassOf(1000, CKCID_OBJECT));
    EXPECT_FALSE(CKIsChildClassOf(-1, CKCID_OBJECT));
    EXPECT_FALSE(CKIsChildClassOf(CKCID_BEOBJECT, 5000));

    // Derived sets and levels match the hierarchy.
    const XBitArray& beObjectChildren = CKGetClassDesc(CKCID_BEOBJECT)->m_Children;
    std::vector<int> derived;
    for (const ClassRow& row : kCoreClasses)
        if (beObjectChildren.IsSet(row.id))
            derived.push_back(row.id);
    std::sort(derived.begin(), derived.end());
    EXPECT_EQ(derived, (std::vector<int>{10, 19, 21, 23, 24, 25, 26, 52}));

    EXPECT_EQ(CKGetClassDesc(0)->m_DerivationLevel, 0);
    EXPECT_EQ(CKGetClassDesc(CKCID_OBJECT)->m_DerivationLevel, 1);
    EXPECT_EQ(CKGetClassDesc(CKCID_SCENEOBJECT)->m_DerivationLevel, 2);
    EXPECT_EQ(CKGetClassDesc(CKCID_BEOBJECT)->m_DerivationLevel, 3);
    EXPECT_EQ(CKGetClassDesc(CKCID_SOUND)->m_DerivationLevel, 4);
    EXPECT_EQ(CKGetClassDesc(CKCID_WAVESOUND)->m_DerivationLevel, 5);
    EXPECT_EQ(CKGetClassDesc(CKCID_PARAMETERVARIABLE)->m_DerivationLevel, 4);
}

TEST_F(ClassRegistryTest, RegisterFunctionsSetGuidsAndDefaultDependencies)
{
    EXPECT_EQ(CKGetClassParameterGuid(CKCID_OBJECT), CKGUID(0x30EC20AB, 0x6DF6517D));
    EXPECT_EQ(CKGetClassParameterGuid(CKCID_SCENEOBJECT), CKGUID(0x5BDF2D37, 0x64EA731F));
    CKDependencies* copy = CKGetDefaultClassDependencies(CK_DEPENDENCIES_COPY);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->m_Flags, (CKDWORD) CK_DEPENDENCIES_CUSTOM);
    EXPECT_EQ(copy->Get(CKCID_OBJECT), 1u);
    EXPECT_EQ(copy->Get(CKCID_SCENEOBJECT), 1u);
    EXPECT_EQ(CKGetDefaultClassDependencies(CK_DEPENDENCIES_DELETE)->m_Flags, (CKDWORD) CK_DEPENDENCIES_NONE);
    EXPECT_EQ(CKGetDefaultClassDependencies(CK_DEPENDENCIES_BUILD), copy);
    EXPECT_EQ(CKGetDefaultClassDependencies(0), nullptr);
    EXPECT_EQ(CKGetDefaultClassDependencies(6), nullptr);

    CKClassRegisterDefaultDependencies(CKCID_OBJECT, 7, 0);
    CKClassRegisterDefaultDependencies(CKCID_OBJECT, 7, 5);
    for (int mode = 1; mode <= 4; ++mode)
        EXPECT_EQ(CKGetClassDesc(CKCID_OBJECT)->m_DefaultOptions[mode - 1], mode == 1 ? 1u : 0u);

    EXPECT_STREQ(CKObject::GetDependencies(0, 1), "Name");
    EXPECT_STREQ(CKObject::GetDependencies(1, 1), "Unique Name");
    EXPECT_EQ(CKObject::GetDependenciesCount(1), 2);
    EXPECT_EQ(CKObject::GetDependenciesCount(4), 1);
    EXPECT_EQ(CKObject::GetDependenciesCount(2), 0);
}

TEST_F(ClassRegistryTest, AllocatedIdsAreStableUntilRegisteredAndSurviveARebuild)
{
    CK_CLASSID first = CKAllocateClassID();
    EXPECT_EQ(first, 58);
    EXPECT_EQ(CKAllocateClassID(), 58);
    EXPECT_EQ(CKGetGlobalClassCount(), 59);
    CKClassRegister("Extra", first, CKCID_BEOBJECT, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(CKAllocateClassID(), 59);
    CKBuildClassHierarchyTable();
    CKBuildClassHierarchyTable();
    ASSERT_EQ(CKGetClassCount(), 59);
    EXPECT_STREQ(CKClassIDToString(58), "Extra");
    EXPECT_TRUE(CKIsChildClassOf(58, CKCID_SCENEOBJECT));
    EXPECT_TRUE(CKGetClassDesc(CKCID_BEOBJECT)->m_Children.IsSet(58));
    EXPECT_EQ(CKGetClassDesc(58)->m_DerivationLevel, 4);
}

TEST_F(ClassRegistryTest, NotificationsReachDerivedClassesAndAreInherited)
{
    // 58 asks about CKBeObject; 59 derives from 58 and asks nothing.
    CKClassRegister(
        "Asker", 58, CKCID_OBJECT, [] { CKClassNeedNotificationFrom(58, CKCID_BEOBJECT); }, nullptr, nullptr, nullptr,
        nullptr, nullptr);
    CKClassRegister("AskerChild", 59, 58, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    CKBuildClassHierarchyTable();
    auto notifies = [](CK_CLASSID target, CK_CLASSID listener) {
        for (CK_CLASSID c : CKGetClassDesc(target)->m_ToNotify)
            if (c == listener)
                return true;
        return false;
    };
    for (CK_CLASSID c : {19, 10, 21, 23, 24, 25, 26, 52}) {
        EXPECT_TRUE(notifies(c, 58)) << c;
        EXPECT_TRUE(notifies(c, 59)) << c;
    }
    EXPECT_FALSE(notifies(CKCID_SCENEOBJECT, 58));
    EXPECT_FALSE(notifies(CKCID_OBJECT, 58));
    // Lists are in increasing class id.
    const XCompactArray<CK_CLASSID>& list = CKGetClassDesc(CKCID_GROUP)->m_ToNotify;
    for (int i = 1; i < list.Size(); ++i)
        EXPECT_LT(list[i - 1], list[i]);
}

TEST(ErrorStrings, SentencesAreThoseOfTheTable)
{
    EXPECT_STREQ(CKErrorToString(0), "Operation successful");
    EXPECT_STREQ(CKErrorToString(-1), "One of the parameter passed to the function was invalid");
    EXPECT_STREQ(CKErrorToString(-2), CKErrorToString(-1));
    EXPECT_STREQ(CKErrorToString(-7), "The function  is not yet implemented");
    EXPECT_STREQ(CKErrorToString(-30), "This dll has already been registred ");
    EXPECT_STREQ(CKErrorToString(-35), "Invalid window was provided as console window ");
    EXPECT_STREQ(CKErrorToString(-51), "The behavior cannnot be added to this entity");
    EXPECT_STREQ(CKErrorToString(-52), CKErrorToString(-51));
    EXPECT_STREQ(CKErrorToString(-59), "Operation was cancelled ");
    EXPECT_STREQ(CKErrorToString(-123), "the animation is invalid (no entity associated or zero length)");
    const CKERROR unknown[] = {
        -8,        -9, -10, -12, -15, -26, -27, -32, -33, -41, -42, -43, -60, -100, -120, -124, 1, 59, -2147483647 - 1,
        2147483647};
    for (CKERROR error : unknown)
        EXPECT_STREQ(CKErrorToString(error), "Unknown Error") << error;
}

TEST(EngineStartUp, StartsAndStopsSeveralTimesWithAFreshState)
{
    for (int round = 0; round < 3; ++round) {
        ASSERT_EQ(CKStartUp(), 0);
        EXPECT_EQ(CKGetClassCount(), 58);
        EXPECT_EQ(CKGetGlobalClassCount(), 58);
        ASSERT_NE(CKGetPluginManager(), nullptr);
        EXPECT_EQ(CKGetPluginManager()->GetCategoryCount(), 8);
        EXPECT_EQ(CKGetPluginManager()->GetCategoryIndex("Movie Readers"), 6);
        EXPECT_GT(CKGetLogSourceId(), 0);
        EXPECT_GT(std::strlen(CKGetStartPath()), 0u);
        CKContext* context = nullptr;
        ASSERT_EQ(CKCreateContext(&context, nullptr, nullptr), 0);
        EXPECT_EQ(CKGetContextCount(), 1);
        EXPECT_EQ(CKCloseContext(context), 0);
        EXPECT_EQ(CKGetContextCount(), 0);
        EXPECT_EQ(CKShutdown(), 0);
        EXPECT_STREQ(CKGetStartPath(), "");
        CKShutdown();
    }
    EXPECT_EQ(CKCloseContext(nullptr), -1);
}
