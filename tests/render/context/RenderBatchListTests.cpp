// Batches replay their items in key order, groups from the highest
// priority down.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "render/context/RenderBatchList.h"

namespace {

std::vector<std::string> g_Drawn;

void Draw(CKRenderContext*, const CKBatchKey& key, const CKBatchItem& item)
{
    g_Drawn.push_back(std::to_string(key.Hash) + ":" + static_cast<const char*>(item.Data[0]));
}

CKBatchItem Item(const char* name)
{
    CKBatchItem item;
    item.Draw = &Draw;
    item.Data[0] = const_cast<char*>(name);
    return item;
}

CKBatchKey Key(CKDWORD hash, CKDWORD format = 0)
{
    CKBatchKey key;
    key.Hash = hash;
    key.Format = format;
    return key;
}

TEST(RenderBatchList, ItemsReplayByKeyThenArrivalAndGroupsByDecreasingPriority)
{
    g_Drawn.clear();
    RenderBatchList list;
    RenderBatchGroup* low = list.GetGroup(100);
    RenderBatchGroup* high = list.GetGroup(15000);
    EXPECT_EQ(list.GetGroup(100), low);
    RenderBatchList::AddToChannelBatch(low, Key(9), Item("a"));
    RenderBatchList::AddToChannelBatch(low, Key(3), Item("b"));
    RenderBatchList::AddToChannelBatch(low, Key(9), Item("c"));
    RenderBatchList::AddToBatch(low, Key(1), Item("line"));
    RenderBatchList::AddToChannelBatch(high, Key(5, 2), Item("d"));
    RenderBatchList::AddToChannelBatch(high, Key(5, 1), Item("e"));
    ChannelSignature signature;
    CKDWORD blends[2] = {0x13, 0x56};
    signature.Build(2, nullptr, blends);
    CKKeyedBatch* material = RenderBatchList::GetMaterialBatch(high, signature);
    EXPECT_EQ(RenderBatchList::GetMaterialBatch(high, signature), material) << "one batch per signature";
    material->Add(Key(7), Item("multi"));
    EXPECT_EQ(low->m_ChannelBatches.GetKeyCount(), 2);
    EXPECT_EQ(low->m_ChannelBatches.GetItemCount(), 3);
    list.Replay(nullptr, 0);
    EXPECT_EQ(g_Drawn, (std::vector<std::string>{"7:multi", "5:e", "5:d", "3:b", "9:a", "9:c", "1:line"}));
    EXPECT_TRUE(low->IsEmpty());
    EXPECT_TRUE(high->IsEmpty());
    g_Drawn.clear();
    list.Replay(nullptr, 0);
    EXPECT_TRUE(g_Drawn.empty()) << "a replay empties the groups";
}

} // namespace
