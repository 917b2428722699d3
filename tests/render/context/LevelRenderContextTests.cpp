// A level's render contexts: the list, the main render context moving on
// when one leaves, and the render option the level clears on the way out.
#include "core/scene/CKLevel.h"
#include "tests/render/support/RenderTestSupport.h"

namespace {

using LevelRenderContexts = RenderFixture;

TEST_F(LevelRenderContexts, AreListedAndTheMainOneMovesOnWhenOneLeaves)
{
    CKLevel* level = static_cast<CKLevel*>(m_Context->CreateObject(CKCID_LEVEL, "L"));
    ASSERT_NE(level, nullptr);
    CKRenderContext* first = Manager()->CreateRenderContext(nullptr);
    CKRenderContext* second = Manager()->CreateRenderContext(nullptr);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(m_Context->GetMainRenderContext(), first);
    EXPECT_EQ(level->AddRenderContext(first), CKErr::Ok);
    EXPECT_EQ(level->AddRenderContext(first), CKErr::AlreadyPresent);
    EXPECT_EQ(level->AddRenderContext(second), CKErr::Ok);
    EXPECT_EQ(level->GetRenderContextCount(), 2);
    EXPECT_EQ(level->GetRenderContext(1), second);
    EXPECT_EQ(level->GetRenderContext(2), nullptr);
    EXPECT_TRUE(level->IsObjectUsed(second, CKCID_RENDERCONTEXT));

    first->SetCurrentRenderOptions(first->GetCurrentRenderOptions() | 0x10001);
    level->RemoveRenderContext(first);
    EXPECT_EQ(first->GetCurrentRenderOptions() & 0x10001, 0x1u) << "only bit 0x10000 is cleared";
    EXPECT_EQ(level->GetRenderContextCount(), 1);
    EXPECT_EQ(m_Context->GetMainRenderContext(), second);
    level->RemoveRenderContext(second);
    EXPECT_EQ(m_Context->GetMainRenderContext(), nullptr);
}

} // namespace
