#include <gtest/gtest.h>

#include "core/behavior/CKCriticalSectionObject.h"
#include "core/behavior/CKInterfaceObjectManager.h"
#include "core/behavior/CKStateObject.h"
#include "core/behavior/CKSynchroObject.h"
#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/context/CKFunctions.h"
#include "core/object/CKBeObject.h"
#include "tests/core/support/CoreTestSupport.h"

namespace {

class SynchroTest : public EngineFixture
{
protected:
    template <class T>
    T* New(CK_CLASSID cid, const char* name = nullptr)
    {
        return static_cast<T*>(m_Context->CreateObject(cid, name));
    }
};

} // namespace

TEST_F(SynchroTest, ARendezVousLoadsWithoutTheObjectThatWentMissing)
{
    auto* synchro = New<CKSynchroObject>(CKCID_SYNCHRO, "Gate");
    auto* kept = New<CKBeObject>(CKCID_BEOBJECT);
    auto* gone = New<CKBeObject>(CKCID_BEOBJECT);
    synchro->SetRendezVousNumberOfWaiters(3);
    synchro->GetArrivedObjects().InsertRearObject(kept);
    synchro->GetArrivedObjects().InsertRearObject(gone);
    synchro->GetPassedObjects().InsertRearObject(gone);
    EXPECT_TRUE(synchro->IsObjectUsed(gone, CKCID_BEOBJECT));
    CKStateChunk* state = CKSaveObjectState(synchro, 0xFFFFFFFF);
    ASSERT_NE(state, nullptr);
    m_Context->DestroyObject(gone);

    auto* copy = New<CKSynchroObject>(CKCID_SYNCHRO, "Copy");
    EXPECT_EQ(CKReadObjectState(copy, state), 0);
    EXPECT_EQ(copy->GetRendezVousNumberOfWaiters(), 3);
    EXPECT_EQ(copy->GetArrivedObjects().GetCount(), 1);
    EXPECT_TRUE(copy->GetArrivedObjects().FindObject(kept));
    EXPECT_EQ(copy->GetPassedObjects().GetCount(), 0);
    EXPECT_EQ(synchro->GetArrivedObjects().GetCount(), 1) << "the deletion checks drop it too";
    CKDeleteStateChunk(state);
}

TEST_F(SynchroTest, ACriticalSectionLetsGoOfADestroyedHolder)
{
    auto* section = New<CKCriticalSectionObject>(CKCID_CRITICALSECTION);
    auto* holder = New<CKBeObject>(CKCID_BEOBJECT);
    section->SetHolder(holder->GetID());
    EXPECT_TRUE(section->IsObjectUsed(holder, CKCID_BEOBJECT));
    CKStateChunk* state = CKSaveObjectState(section, 0xFFFFFFFF);
    m_Context->DestroyObject(holder);
    EXPECT_EQ(section->GetHolder(), 0u);
    auto* other = New<CKCriticalSectionObject>(CKCID_CRITICALSECTION);
    EXPECT_EQ(CKReadObjectState(other, state), 0);
    CKDeleteStateChunk(state);

    auto* stateObject = New<CKStateObject>(CKCID_STATE);
    stateObject->SetState(0xA5A5);
    CKStateChunk* word = CKSaveObjectState(stateObject, 0xFFFFFFFF);
    auto* back = New<CKStateObject>(CKCID_STATE, "Back");
    EXPECT_EQ(CKReadObjectState(back, word), 0);
    EXPECT_EQ(back->GetState(), 0xA5A5u);
    CKDeleteStateChunk(word);
}

TEST_F(SynchroTest, InterfaceObjectsLoadOnlyInInterfaceMode)
{
    auto* source = New<CKInterfaceObjectManager>(CKCID_INTERFACEOBJECTMANAGER, "Layout");
    for (int i = 0; i < 2; ++i) {
        CKStateChunk* chunk = CKCreateStateChunk(CKCID_OBJECT);
        chunk->StartWrite();
        chunk->WriteInt(40 + i);
        chunk->CloseChunk();
        source->AddStateChunk(chunk);
    }
    source->SetGuid(CKGUID(7, 9));
    CKStateChunk* state = CKSaveObjectState(source, 0xFFFFFFFF);

    // The engine fixture runs in interface mode.
    ASSERT_TRUE(m_Context->IsInInterfaceMode());
    auto* on = New<CKInterfaceObjectManager>(CKCID_INTERFACEOBJECTMANAGER, "On");
    EXPECT_EQ(on->Load(state, nullptr), 0);
    ASSERT_EQ(on->GetChunkCount(), 2);
    on->GetChunk(1)->StartRead();
    EXPECT_EQ(on->GetChunk(1)->ReadInt(), 41);
    EXPECT_EQ(on->GetGuid(), CKGUID(7, 9));

    m_Context->SetInterfaceMode(FALSE, nullptr, nullptr);
    auto* off = New<CKInterfaceObjectManager>(CKCID_INTERFACEOBJECTMANAGER, "Off");
    EXPECT_EQ(off->Load(state, nullptr), CKErr::InvalidParameter);
    EXPECT_EQ(off->GetChunkCount(), 0);
    EXPECT_EQ(off->GetGuid(), CKGUID());
    CKDeleteStateChunk(state);
}
