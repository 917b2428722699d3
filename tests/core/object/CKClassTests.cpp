#include "core/object/CKClass.h"

#include <gtest/gtest.h>

#include <utility>

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

// The declaration adds no storage, keeps the parent, and leaves a class that
// is never created in core (the render context) free of a name.
static_assert(sizeof(PlainBeObject) == sizeof(CKBeObject));
static_assert(std::is_same_v<CKBeObject::ClassParent, CKSceneObject>);
static_assert(CKClassNamesItself<CKObject> && CKClassNamesItself<PlainBeObject>);
static_assert(!CKClassNamesItself<CKRenderContext>);

class ClassDeclarationTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(CKStartUp(), 0);
        CKClassRegisterT<PlainBeObject, CKBeObject>("PlainBeObject");
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

TEST_F(ClassDeclarationTest, CoreClassesCreateObjectsOfTheirOwnIdAndNameThemselves)
{
    const std::pair<CK_CLASSID, const char*> rows[] = {
        {CKCID_OBJECT, "Basic Object"}, {CKCID_SCENEOBJECT, "Scene Object"}, {CKCID_BEOBJECT, "Behavioral Object"}};
    for (auto [id, display] : rows) {
        EXPECT_STREQ(CKGetClassDesc(id)->m_NameFct(), display);
        CKObject* object = m_Context->CreateObject(id);
        ASSERT_NE(object, nullptr);
        EXPECT_EQ(object->GetClassID(), id);
        EXPECT_EQ(m_Context->DestroyObject(object), 0);
    }
}

TEST_F(ClassDeclarationTest, AClassGetsTheDefaultsItDoesNotWriteNeverItsParentsAndKeepsItsAllocatedId)
{
    CKClassDesc* plain = CKGetClassDesc(PlainBeObject::m_ClassID);
    EXPECT_GE(PlainBeObject::m_ClassID, CKCID_FIRSTFREE);
    EXPECT_EQ(plain->m_Parent, CKCID_BEOBJECT);
    EXPECT_STREQ(plain->m_NameFct(), "Plain");
    EXPECT_EQ(plain->m_DependsCountFct(CK_DEPENDENCIES_COPY), 0);
    EXPECT_EQ(plain->m_DependsFct(0, CK_DEPENDENCIES_COPY), nullptr);
    EXPECT_FALSE(CKGetClassParameterGuid(PlainBeObject::m_ClassID).IsValid());

    CKObject* object = m_Context->CreateObject(PlainBeObject::m_ClassID);
    ASSERT_NE(dynamic_cast<PlainBeObject*>(object), nullptr);
    EXPECT_EQ(object->GetClassID(), PlainBeObject::m_ClassID);
    EXPECT_TRUE(CKIsChildClassOfObject(object, CKCID_BEOBJECT));
    EXPECT_EQ(m_Context->DestroyObject(object), 0);

    // The allocated id stays the class's across a restart.
    CK_CLASSID id = PlainBeObject::m_ClassID;
    TearDown();
    SetUp();
    EXPECT_EQ(PlainBeObject::m_ClassID, id);
    EXPECT_STREQ(CKClassIDToString(id), "PlainBeObject");
}
