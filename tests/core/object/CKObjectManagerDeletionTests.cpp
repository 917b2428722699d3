#include <gtest/gtest.h>

#include <vector>

#include "core/object/CKObjectManager.h"
#include "tests/core/support/CoreTestSupport.h"

namespace {

using DeletionTest = EngineFixture;

TEST_F(DeletionTest, OneCallOfMixedClassesTellsEachListeningClassOnce)
{
    CKObject* listener = m_Context->CreateObject(TestListener::m_ClassID, nullptr);
    m_Context->CreateObject(TestListenerChild::m_ClassID, nullptr);
    std::vector<CK_ID> ids = {
        m_Context->CreateObject(CKCID_OBJECT, nullptr)->GetID(),
        m_Context->CreateObject(TestObject::m_ClassID, nullptr)->GetID(),
        listener->GetID(),
        m_Context->CreateObject(TestObject::m_ClassID, nullptr)->GetID(),
        m_Context->CreateObject(CKCID_OBJECT, nullptr)->GetID(),
    };
    ids.push_back(ids[1]); // given twice: deleted once
    m_Context->DestroyObjects(ids.data(), (int) ids.size());
    // The listener deleted with them has left its list: only the child hears.
    EXPECT_EQ(TestListener::s_PreCount, 1);
    EXPECT_EQ(TestListener::s_PostCount, 1);
    for (CK_ID id : ids)
        EXPECT_EQ(m_Context->GetObject(id), nullptr);

    // Calls of one object each, of either class, alternating: each call with
    // a TestObject is heard, the others are not.
    for (int i = 0; i < 6; ++i) {
        CK_ID id = m_Context->CreateObject(i % 2 ? CKCID_OBJECT : TestObject::m_ClassID, nullptr)->GetID();
        m_Context->DestroyObjects(&id, 1);
    }
    EXPECT_EQ(TestListener::s_PreCount, 4);
    EXPECT_EQ(TestListener::s_PostCount, 4);

    // Without class notices nobody hears, and the next call is heard again.
    CK_ID quiet[2] = {m_Context->CreateObject(TestObject::m_ClassID, nullptr)->GetID(),
                      m_Context->CreateObject(CKCID_OBJECT, nullptr)->GetID()};
    m_Context->GetObjectManager()->DeleteObjects(quiet, 2, 0, CK_DESTROY_NOCLASSNOTIFY);
    EXPECT_EQ(TestListener::s_PreCount, 4);
    CK_ID loud = m_Context->CreateObject(TestObject::m_ClassID, nullptr)->GetID();
    m_Context->DestroyObjects(&loud, 1);
    EXPECT_EQ(TestListener::s_PreCount, 5);
}

// A listener that deletes another object while it is told: the nested
// deletion joins the one in progress and is told in turn.
class ChainListener : public CKClass<ChainListener, TestListener, 0>
{
public:
    explicit ChainListener(CKContext* context) : CKClass(context) {}
    void CheckPreDeletion() override
    {
        TestListener::CheckPreDeletion();
        if (s_Next) {
            CK_ID next = s_Next;
            s_Next = 0;
            m_Context->DestroyObjects(&next, 1);
        }
    }
    static CK_ID s_Next;
    static const char* GetClassName() { return "Chain Listener"; }
};
CK_ID ChainListener::s_Next = 0;

TEST_F(DeletionTest, ADeletionAskedWhileTellingRunsAfterTheCurrentOne)
{
    // The fixture's engine again, with the chain listener's class.
    StopEngine();
    ASSERT_EQ(CKStartUp(), 0);
    CKClassRegisterT<TestObject, CKObject>("TestObject");
    CKClassRegisterT<TestListener, CKObject>("TestListener");
    CKClassRegisterT<ChainListener, TestListener>("ChainListener");
    CKBuildClassHierarchyTable();
    ASSERT_EQ(CKCreateContext(&m_Context, nullptr, nullptr), 0);
    m_Started = true;
    TestListener::s_PreCount = 0;
    TestListener::s_PostCount = 0;
    m_Context->CreateObject(ChainListener::m_ClassID, nullptr);
    CK_ID first = m_Context->CreateObject(TestObject::m_ClassID, nullptr)->GetID();
    ChainListener::s_Next = m_Context->CreateObject(TestObject::m_ClassID, nullptr)->GetID();
    const CK_ID second = ChainListener::s_Next;
    m_Context->DestroyObjects(&first, 1);
    EXPECT_EQ(m_Context->GetObject(first), nullptr);
    EXPECT_EQ(m_Context->GetObject(second), nullptr);
    EXPECT_EQ(TestListener::s_PreCount, 2);
    EXPECT_EQ(TestListener::s_PostCount, 2);
}

} // namespace
