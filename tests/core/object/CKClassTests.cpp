#include "core/object/CKClass.h"

#include <gtest/gtest.h>

#include <cstring>

#include "core/context/CKContext.h"
#include "core/context/CKRenderContext.h"
#include "core/context/CKStartUp.h"
#include "core/object/CKBeObject.h"
#include "core/object/CKClassRegistry.h"

namespace {

// Writes nothing but its name: every other function is the default, not
// CKBeObject's.
class PlainBeObject : public CKClass<PlainBeObject, CKBeObject, 0>
{
public:
    explicit PlainBeObject(CKContext* context) : CKClass(context) {}
    static const char* GetClassName() { return "Plain"; }
};

// Writes its own register function.
class FlaggedBeObject : public CKClass<FlaggedBeObject, CKBeObject, 0>
{
public:
    explicit FlaggedBeObject(CKContext* context) : CKClass(context) {}
    static const char* GetClassName() { return "Flagged"; }
    static void Register() { CKClassSetCreationFlags(m_ClassID, 4); }
};

// The declaration adds no storage, keeps the parent, and leaves a class that
// is never created in core (the render context) free of a name.
static_assert(sizeof(PlainBeObject) == sizeof(CKBeObject));
static_assert(std::is_same_v<CKBeObject::ClassParent, CKSceneObject>);
static_assert(CKClassNamesItself<CKObject> && CKClassNamesItself<PlainBeObject>);
static_assert(!CKClassNamesItself<CKRenderContext>);

struct CoreRow
{
    CK_CLASSID id;
    const char* display;
    int counts[5]; // dependency options of modes 1 to 5
    const char* firstCopyOption;
};

const CoreRow kCoreRows[] = {
    {CKCID_OBJECT, "Basic Object", {2, 0, 0, 1, 0}, "Name"},
    {CKCID_SCENEOBJECT, "Scene Object", {1, 0, 0, 0, 0}, "Scenes Belonging"},
    {CKCID_BEOBJECT, "Behavioral Object", {3, 0, 0, 3, 0}, "Scripts"},
};

class ClassDeclarationTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(CKStartUp(), 0);
        CKClassRegisterT<PlainBeObject, CKBeObject>("PlainBeObject");
        CKClassRegisterT<FlaggedBeObject, CKBeObject>("FlaggedBeObject");
        CKBuildClassHierarchyTable();
        ASSERT_EQ(CKCreateContext(&m_Context, nullptr), 0);
    }
    void TearDown() override
    {
        EXPECT_EQ(CKCloseContext(m_Context), 0);
        EXPECT_EQ(CKShutdown(), 0);
    }

    CKContext* m_Context = nullptr;
};

} // namespace

TEST_F(ClassDeclarationTest, CoreEntriesHoldTheirClassesFunctions)
{
    for (const CoreRow& row : kCoreRows) {
        CKClassDesc* desc = CKGetClassDesc(row.id);
        EXPECT_STREQ(desc->m_NameFct(), row.display);
        for (int mode = 1; mode <= 5; ++mode)
            EXPECT_EQ(desc->m_DependsCountFct(mode), row.counts[mode - 1]) << row.display << " mode " << mode;
        EXPECT_STREQ(desc->m_DependsFct(0, CK_DEPENDENCIES_COPY), row.firstCopyOption);
        CKObject* object = m_Context->CreateObject(row.id);
        ASSERT_NE(object, nullptr);
        EXPECT_EQ(object->GetClassID(), row.id);
        EXPECT_EQ(m_Context->DestroyObject(object), 0);
    }
}

TEST_F(ClassDeclarationTest, AClassGetsTheDefaultsItDoesNotWriteNeverItsParents)
{
    CKClassDesc* plain = CKGetClassDesc(PlainBeObject::m_ClassID);
    EXPECT_GE(PlainBeObject::m_ClassID, CKCID_FIRSTFREE);
    EXPECT_EQ(plain->m_Parent, CKCID_BEOBJECT);
    EXPECT_STREQ(plain->m_NameFct(), "Plain");
    EXPECT_EQ(plain->m_DependsCountFct(CK_DEPENDENCIES_COPY), 0);
    EXPECT_EQ(plain->m_DependsFct(0, CK_DEPENDENCIES_COPY), nullptr);
    EXPECT_FALSE(CKGetClassParameterGuid(PlainBeObject::m_ClassID).IsValid());
    EXPECT_EQ(CKGetClassDesc(FlaggedBeObject::m_ClassID)->m_CreationFlags, 4u);

    CKObject* object = m_Context->CreateObject(PlainBeObject::m_ClassID);
    ASSERT_NE(dynamic_cast<PlainBeObject*>(object), nullptr);
    EXPECT_EQ(object->GetClassID(), PlainBeObject::m_ClassID);
    EXPECT_TRUE(CKIsChildClassOfObject(object, CKCID_BEOBJECT));
    EXPECT_EQ(m_Context->DestroyObject(object), 0);
}

TEST_F(ClassDeclarationTest, AnAllocatedIdIsKeptAcrossRestarts)
{
    CK_CLASSID id = PlainBeObject::m_ClassID;
    TearDown();
    SetUp();
    EXPECT_EQ(PlainBeObject::m_ClassID, id);
    EXPECT_STREQ(CKClassIDToString(id), "PlainBeObject");
}
