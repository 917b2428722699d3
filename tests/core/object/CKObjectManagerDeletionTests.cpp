#include <gtest/gtest.h>

#include <vector>

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
}

} // namespace
