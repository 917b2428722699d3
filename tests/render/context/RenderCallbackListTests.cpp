// A callback list refuses null and repeated pairs, keeps its flags word and
// withdraws its temporary records from the render manager.
#include "tests/render/support/RenderTestSupport.h"

namespace {

void F() {}
void G() {}

TEST(RenderCallbackList, RefusesNullAndRepeatedPairsAndKeepsTheFlagsWord)
{
    RenderCallbackList list;
    int a = 0, b = 0;
    EXPECT_FALSE(list.AddPreCallback(nullptr, &a, 0, nullptr));
    EXPECT_TRUE(list.AddPreCallback(&F, &a, 2, nullptr));
    EXPECT_FALSE(list.AddPreCallback(&F, &a, 0, nullptr));
    EXPECT_TRUE(list.AddPreCallback(&F, &b, 0, nullptr)) << "another argument is another pair";
    EXPECT_TRUE(list.AddPostCallback(&G, &a, 0, nullptr));
    EXPECT_EQ(list.GetPreCallbacks().Size(), 2);
    EXPECT_EQ(list.GetFlags(), 2u);
    EXPECT_FALSE(list.RemovePostCallback(&F, &a));
    EXPECT_TRUE(list.RemovePreCallback(&F, &a));
    EXPECT_TRUE(list.RemovePreCallback(&F, &b));
    EXPECT_EQ(list.GetFlags(), 2u) << "a post-render record remains";
    list.SetRenderCallback(&G, &b);
    list.SetRenderCallback(&F, &a);
    EXPECT_EQ(list.GetRenderCallback()->Function, &F) << "the one record is overwritten";
    EXPECT_EQ(list.GetRenderCallback()->Flags, 2u);
    EXPECT_TRUE(list.RemovePostCallback(&G, &a));
    EXPECT_EQ(list.GetFlags(), 2u) << "the render callback remains";
    EXPECT_TRUE(list.RemoveRenderCallback());
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_EQ(list.GetFlags(), 0u);
}

using RenderCallbacks = RenderFixture;

TEST_F(RenderCallbacks, TemporaryRecordsAreWithdrawnWithTheirList)
{
    RenderCallbackList* first = new RenderCallbackList;
    RenderCallbackList second;
    int a = 0;
    EXPECT_TRUE(first->AddPreCallback(&F, &a, CK_RENDERCALLBACK_TEMPORARY, Manager()));
    EXPECT_TRUE(first->AddPostCallback(&G, &a, CK_RENDERCALLBACK_TEMPORARY, Manager()));
    EXPECT_TRUE(second.AddPostCallback(&G, &a, CK_RENDERCALLBACK_TEMPORARY, Manager()));
    EXPECT_EQ(Manager()->GetTemporaryCallbackCount(), 3);
    first->RemoveAll(Manager());
    delete first;
    EXPECT_EQ(Manager()->GetTemporaryCallbackCount(), 1);
    Manager()->RemoveAllTemporaryCallbacks();
    EXPECT_TRUE(second.IsEmpty());
}

} // namespace
