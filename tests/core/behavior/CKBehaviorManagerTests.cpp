#include <gtest/gtest.h>

#include <random>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/behavior/CKActiveObjectTable.h"
#include "core/behavior/CKBehavior.h"
#include "core/behavior/CKBehaviorManager.h"
#include "core/behavior/CKBehaviorPrototype.h"
#include "core/context/CKContext.h"
#include "core/object/CKBeObject.h"
#include "tests/core/support/CoreTestSupport.h"

namespace {

class BehaviorManagerTest : public EngineFixture
{
protected:
    CKBehaviorManager* Manager() { return m_Context->GetBehaviorManager(); }
    CKBeObject* NewObject() { return static_cast<CKBeObject*>(m_Context->CreateObject(CKCID_BEOBJECT)); }
};

} // namespace

TEST(ActiveObjectTable, RandomSequencesMatchAMapEvenWhenEveryKeySharesItsHomeSlot)
{
    std::mt19937 random(18);
    for (int round = 0; round < 20; ++round) {
        CKActiveObjectTable table;
        std::unordered_map<CK_ID, int> model;
        // Keys 64 apart share their home slot until the table has 128 slots.
        const int stride = round % 2 ? 64 : 1;
        for (int step = 0; step < 400; ++step) {
            const CK_ID key = 1 + (CK_ID) (random() % 24) * stride;
            switch (random() % 4) {
            case 0:
            case 1:
                table.Add(key, 1);
                model[key] += 1;
                break;
            case 2:
                table.Add(key, -1);
                model[key] -= 1;
                break;
            default: EXPECT_EQ(table.Erase(key), model.erase(key) == 1); break;
            }
            ASSERT_EQ(table.GetUsedCount(), (int) model.size()) << "round " << round << " step " << step;
            for (int k = 0; k < 24; ++k) {
                const CK_ID probe = 1 + (CK_ID) k * stride;
                const int* found = table.Find(probe);
                auto it = model.find(probe);
                ASSERT_EQ(found != nullptr, it != model.end()) << "key " << probe;
                if (found) {
                    ASSERT_EQ(*found, it->second) << "key " << probe;
                }
            }
            ASSERT_LT(table.GetFilledCount(), table.GetSlotCount());
        }
    }
}

TEST(ActiveObjectTable, SixKeysGrowTheTableToSixteenSlots)
{
    CKActiveObjectTable table;
    for (CK_ID key = 1; key <= 5; ++key)
        table.Add(key, 1);
    EXPECT_EQ(table.GetSlotCount(), 8);
    table.Add(6, 1);
    EXPECT_EQ(table.GetSlotCount(), 16);
    for (CK_ID key = 1; key <= 6; ++key)
        ASSERT_NE(table.Find(key), nullptr);
}

TEST_F(BehaviorManagerTest, CountsGoUpAndDownFromZero)
{
    CKBeObject* object = NewObject();
    CKBeObject* other = NewObject();
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(Manager()->AddActiveObject(object), 0);
    EXPECT_EQ(Manager()->RemoveActiveObject(object), 0);
    EXPECT_EQ(Manager()->GetActiveObjectCount(object->GetID()), 2);
    EXPECT_EQ(Manager()->RemoveActiveObject(other), 0);
    EXPECT_EQ(Manager()->GetActiveObjectCount(other->GetID()), -1);
    EXPECT_EQ(Manager()->AddActiveObject(nullptr), CKErr::InvalidObject);
    EXPECT_EQ(Manager()->GetMaxIteration(), 8000);
}

TEST_F(BehaviorManagerTest, ADestroyedObjectsSlotIsFreedAndProbingStillFindsTheOthers)
{
    CKBeObject* object = NewObject();
    Manager()->AddActiveObject(object);
    const CK_ID gone = object->GetID();
    const int usedBefore = Manager()->GetActiveObjects().GetUsedCount();
    m_Context->DestroyObject(object);
    EXPECT_EQ(Manager()->GetActiveObjectCount(gone), 0);
    EXPECT_EQ(Manager()->GetActiveObjects().GetUsedCount(), usedBefore - 1);
    // Later objects whose home slot may be the freed one are counted apart.
    std::vector<CKBeObject*> later;
    for (int i = 0; i < 20; ++i) {
        later.push_back(NewObject());
        for (int j = 0; j <= i % 3; ++j)
            Manager()->AddActiveObject(later.back());
    }
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(Manager()->GetActiveObjectCount(later[i]->GetID()), i % 3 + 1);
}

namespace {

std::vector<std::pair<CK_ID, CKDWORD>>& PauseHeard()
{
    static std::vector<std::pair<CK_ID, CKDWORD>> heard;
    return heard;
}

CKERROR PauseRecorder(const CKBehaviorContext& context)
{
    PauseHeard().emplace_back(context.Behavior->GetID(), context.CallbackMessage);
    return 0;
}

} // namespace

TEST_F(BehaviorManagerTest, PauseAndPlayReachEveryBehaviourWithAnOwner)
{
    CKBehaviorPrototype proto("Listener");
    proto.SetBehaviorCallbackFct(PauseRecorder, 0x30);
    CKBeObject* owner = NewObject();
    CKBehavior* owned = nullptr;
    for (int i = 0; i < 2; ++i) {
        auto* b = static_cast<CKBehavior*>(m_Context->CreateObject(CKCID_BEHAVIOR));
        b->InitFromPrototype(&proto);
        if (i == 0) {
            owned = b;
            b->SetOwner(owner, FALSE);
        }
    }
    PauseHeard().clear();
    m_Context->ExecuteManagersOnCKPause();
    m_Context->ExecuteManagersOnCKPlay();
    EXPECT_EQ(PauseHeard(), (std::vector<std::pair<CK_ID, CKDWORD>>{{owned->GetID(), CKM_BEHAVIORPAUSE},
                                                                    {owned->GetID(), CKM_BEHAVIORRESUME}}));
}
