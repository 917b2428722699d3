#include "core/behavior/CKMessageManager.h"

#include <gtest/gtest.h>

#include "core/behavior/CKBehaviorIO.h"
#include "core/behavior/CKMessage.h"
#include "core/chunk/CKStateChunk.h"
#include "core/file/CKFile.h"
#include "core/parameter/CKParameterGuids.h"
#include "core/parameter/CKParameterOut.h"
#include "tests/core/scene/SceneTestSupport.h"
#include "tests/support/TestPaths.h"

namespace {

class MessageTest : public SceneFixture
{
protected:
    void SetUp() override
    {
        SceneFixture::SetUp();
        m_Level = NewLevel();
        m_Manager = m_Context->GetMessageManager();
        m_Type = m_Manager->AddMessageType("Hit");
    }

    // An object of the level, active in its scene and listening.
    CKBeObject* Listener(const char* name)
    {
        CKBeObject* object = NewBeObject(name);
        m_Level->AddObject(object);
        m_Level->GetLevelScene()->ActivateObject(object, FALSE);
        object->SetWaitingForMessages(1);
        return object;
    }

    CKLevel* m_Level = nullptr;
    CKMessageManager* m_Manager = nullptr;
    int m_Type = -1;
};

} // namespace

TEST_F(MessageTest, TypesAreNamedOnceAndTheTwoDefaultsComeBackAfterAClear)
{
    EXPECT_EQ(m_Manager->AddMessageType("null"), -1);
    EXPECT_EQ(m_Manager->AddMessageType(""), -1);
    EXPECT_EQ(m_Manager->AddMessageType(nullptr), -1);
    EXPECT_EQ(m_Manager->AddMessageType("OnClick"), 0);
    EXPECT_EQ(m_Manager->AddMessageType("OnDblClick"), 1);
    EXPECT_EQ(m_Type, 2);
    EXPECT_EQ(m_Manager->AddMessageType("hit"), 3) << "names compare exactly";
    EXPECT_EQ(m_Manager->GetMessageTypeName(4), nullptr);
    EXPECT_EQ(m_Manager->PostMessage(4, CK_MESSAGE_SINGLE, 0), nullptr);

    CKParameterOut* p = m_Context->CreateCKParameterOut("p", CKPGUID_MESSAGE);
    ASSERT_EQ(p->SetStringValue("Fresh"), CKErr::Ok);
    EXPECT_EQ(m_Manager->GetMessageTypeCount(), 5) << "a message parameter's text adds its type";
    char text[16] = {};
    p->GetStringValue(text, sizeof text);
    EXPECT_STREQ(text, "Fresh");

    m_Manager->PreClearAll();
    EXPECT_EQ(m_Manager->GetMessageTypeCount(), 2);
    EXPECT_STREQ(m_Manager->GetMessageTypeName(1), "OnDblClick");
}

TEST_F(MessageTest, TheThreeModesReachTheirObjectsAndEveryReferenceIsReleased)
{
    CKBeObject* a = Listener("A");
    CKBeObject* b = Listener("B");
    CKBeObject* deaf = NewBeObject("Deaf");
    m_Level->AddObject(deaf);
    CKBeObject* away = NewBeObject("Away"); // in no scene
    away->SetWaitingForMessages(1);

    // A group holding a group holding b; the inner group holds the outer
    // one's member a too, so a is reached twice but receives once.
    CKGroup* outer = NewGroup("Outer");
    CKGroup* inner = NewGroup("Inner");
    outer->AddObject(a);
    outer->AddObject(inner);
    inner->AddObject(b);
    inner->AddObject(a);

    m_Manager->PostMessage(m_Type, CK_MESSAGE_BROADCAST, CKCID_BEOBJECT);
    m_Manager->PostProcess();
    EXPECT_EQ(a->GetReceivedMessageCount(), 1);
    EXPECT_EQ(b->GetReceivedMessageCount(), 1);
    EXPECT_EQ(deaf->GetReceivedMessageCount(), 0);
    EXPECT_EQ(away->GetReceivedMessageCount(), 0);
    EXPECT_EQ(m_Manager->GetRecipientCount(), 2);

    CKMessage* toGroup = m_Manager->PostMessage(m_Type, CK_MESSAGE_GROUP, outer->GetID());
    CKMessage* single = m_Manager->PostMessage(m_Type, CK_MESSAGE_SINGLE, b->GetID());
    toGroup->AddRef(); // held by the test to read its count
    m_Manager->PostProcess();
    EXPECT_EQ(a->GetReceivedMessageCount(), 1);
    EXPECT_EQ(b->GetReceivedMessageCount(), 2);
    EXPECT_EQ(toGroup->GetRefCount(), 3) << "a, b and the test";
    EXPECT_EQ(single->GetRefCount(), 1);
    EXPECT_EQ(toGroup->Release(), 2);

    m_Manager->PostProcess();
    EXPECT_EQ(a->GetReceivedMessageCount(), 0);
    EXPECT_EQ(m_Manager->GetRecipientCount(), 0);
    EXPECT_FALSE(m_Manager->HasLiveMessages()) << "every count ended at zero";
}

TEST_F(MessageTest, AWaitingBehaviourOnAGroupMemberHasItsOutputActivatedUnlessItsScriptIsInactive)
{
    CKBeObject* member = Listener("Member");
    member->SetWaitingForMessages(0);
    CKGroup* group = NewGroup("Group");
    group->AddObject(member);
    SceneTestBehavior* script = NewScript(member, CKBEHAVIOR_SCRIPT | 0x1);
    SceneTestBehavior* sleeping = NewScript(member, CKBEHAVIOR_SCRIPT);
    CKBehaviorIO* out = script->CreateOutput("Out");
    script->ModifyFlags(0x40, 0);
    ASSERT_EQ(m_Manager->RegisterWait(m_Type, member, script, out), CKErr::Ok);
    ASSERT_EQ(m_Manager->RegisterWait(m_Type, member, sleeping, nullptr), CKErr::Ok);
    EXPECT_EQ(m_Manager->RegisterWait(99, member, script, out), CKErr::InvalidParameter);

    m_Manager->PostMessage(m_Type, CK_MESSAGE_GROUP, group->GetID());
    m_Manager->PostProcess();
    EXPECT_TRUE(out->IsActive());
    EXPECT_FALSE(script->GetFlags() & 0x40);
    EXPECT_EQ(member->GetReceivedMessageCount(), 1) << "a waiting record delivers without a wait count";
    EXPECT_EQ(m_Manager->GetWaitCount(m_Type), 1) << "the inactive script's record stays";

    m_Context->DestroyObject(sleeping);
    EXPECT_EQ(m_Manager->GetWaitCount(m_Type), 0);
    m_Manager->OnCKReset();
    EXPECT_EQ(member->GetReceivedMessageCount(), 0);
    EXPECT_FALSE(m_Manager->HasLiveMessages());
}

TEST_F(MessageTest, OnlyUsedTypesAreSavedAndLoadingRemapsTheValues)
{
    CKParameterOut* p = m_Context->CreateCKParameterOut("p", CKPGUID_MESSAGE);
    ASSERT_EQ(p->SetStringValue("OnDblClick"), CKErr::Ok);
    TestTempDir dir;
    const std::string path = dir.File("messages.qbx");
    CKFile* file = m_Context->CreateCKFile();
    ASSERT_EQ(file->StartSave(path.c_str()), 0);
    file->SaveObject(p);
    CKStateChunk* chunk = m_Manager->SaveData(file);
    ASSERT_NE(chunk, nullptr);
    chunk->StartRead();
    ASSERT_TRUE(chunk->SeekIdentifier(83));
    EXPECT_EQ(chunk->ReadInt(), 3);
    char* name = nullptr;
    EXPECT_EQ(chunk->ReadString(&name), 0) << "OnClick is not used";
    EXPECT_EQ(chunk->ReadXString(), "OnDblClick");
    EXPECT_EQ(chunk->ReadString(&name), 0);
    CKDeleteStateChunk(chunk);
    ASSERT_EQ(file->EndSave(), 0);
    m_Context->DeleteCKFile(file);

    CKContext* other = NewContext();
    CKMessageManager* manager = other->GetMessageManager();
    manager->AddMessageType("Before");
    ASSERT_EQ(LoadFile(other, path), 0);
    auto* loaded = static_cast<CKParameter*>(other->GetObjectByNameAndClass("p", CKCID_PARAMETEROUT));
    ASSERT_NE(loaded, nullptr);
    int type = -1;
    loaded->GetValue(&type);
    EXPECT_EQ(type, 1);
    EXPECT_EQ(manager->GetMessageTypeCount(), 3);

    // Truncated or oversized counts load nothing and crash nothing.
    CKStateChunk* bad = CKCreateStateChunk(83);
    bad->StartWrite();
    bad->WriteIdentifier(83);
    bad->WriteInt(1000);
    bad->CloseChunk();
    EXPECT_EQ(manager->LoadData(bad, nullptr), CKErr::Ok);
    EXPECT_EQ(manager->LoadData(nullptr, nullptr), CKErr::InvalidParameter);
    CKDeleteStateChunk(bad);
    EXPECT_EQ(manager->GetMessageTypeCount(), 3);
}

TEST_F(MessageTest, TheReleaseOptionDecidesWhetherAMessagesOwnParametersGoWithIt)
{
    EXPECT_TRUE(m_Manager->GetReleaseOption());
    for (CKBOOL release : {TRUE, FALSE}) {
        SCOPED_TRACE(release);
        m_Manager->SetReleaseOption(release);
        CKParameterOut* own = m_Context->CreateCKParameterOut("own", CKPGUID_INT);
        own->ModifyObjectFlags(0x08000000, 0);
        CKParameterOut* shared = m_Context->CreateCKParameterOut("shared", CKPGUID_INT);
        const CK_ID ownId = own->GetID(), sharedId = shared->GetID();
        CKMessage* message = m_Manager->PostMessage(m_Type, CK_MESSAGE_SINGLE, 0);
        message->AddParameter(own);
        message->AddParameter(shared);
        message->AddParameter(nullptr);
        EXPECT_EQ(message->GetParameterCount(), 2);
        EXPECT_EQ(message->GetParameter(0), ownId);
        EXPECT_EQ(message->GetParameter(2), 0u);
        m_Manager->PostProcess();
        EXPECT_FALSE(m_Manager->HasLiveMessages());
        EXPECT_EQ(m_Context->GetObject(ownId) == nullptr, release != FALSE);
        EXPECT_NE(m_Context->GetObject(sharedId), nullptr) << "not made for the message";
    }
}
