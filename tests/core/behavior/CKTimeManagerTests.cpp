#include <gtest/gtest.h>

#include <limits>

#include "core/behavior/CKTimeManager.h"
#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "tests/core/support/CoreTestSupport.h"

namespace {

float g_Now = 0.0f;

float TestClock(void*)
{
    return g_Now;
}

class TimeManagerTest : public EngineFixture
{
protected:
    void SetUp() override
    {
        EngineFixture::SetUp();
        g_Now = 1000.0f;
        Time()->SetClock(TestClock, nullptr);
    }

    CKTimeManager* Time() { return m_Context->GetTimeManager(); }

    // A saved section of the given float values (the fifth as a word).
    static CKStateChunk* Section(std::initializer_list<float> values)
    {
        CKStateChunk* chunk = CKCreateStateChunk(CKCID_OBJECT);
        chunk->StartWrite();
        chunk->WriteIdentifier(128);
        int i = 0;
        for (float v : values) {
            if (++i == 5)
                chunk->WriteDword((CKDWORD) v);
            else
                chunk->WriteFloat(v);
        }
        chunk->CloseChunk();
        return chunk;
    }
};

} // namespace

TEST_F(TimeManagerTest, PausedPassesMoveNothing)
{
    ASSERT_TRUE(Time()->IsPaused());
    const float time = Time()->GetTime();
    EXPECT_EQ(Time()->PreProcess(), CKErr::Paused);
    EXPECT_EQ(Time()->GetMainTickCount(), 0u);
    EXPECT_EQ(Time()->GetTime(), time);
    EXPECT_EQ(Time()->GetPlayTime(), 0.0f);
}

TEST_F(TimeManagerTest, DeltasAreClampedThenScaled)
{
    struct Case
    {
        float scale, step, delta, raw;
    };
    const Case cases[] = {
        {1.0f, 0.25f, 1.0f, 0.25f}, {1.0f, 500.0f, 200.0f, 500.0f}, {1.0f, 16.0f, 16.0f, 16.0f},
        {0.5f, 0.25f, 0.5f, 0.25f}, {0.5f, 500.0f, 100.0f, 500.0f},
    };
    for (const Case& c : cases) {
        Time()->SetTimeScaleFactor(c.scale);
        Time()->OnCKPlay();
        const float play = Time()->GetPlayTime();
        const CKDWORD ticks = Time()->GetMainTickCount();
        g_Now += c.step;
        ASSERT_EQ(Time()->PreProcess(), 0);
        EXPECT_EQ(Time()->GetLastDeltaTime(), c.delta) << "step " << c.step << " scale " << c.scale;
        EXPECT_EQ(Time()->GetLastDeltaTimeFree(), c.raw);
        EXPECT_EQ(Time()->GetPlayTime(), play + c.delta);
        EXPECT_EQ(Time()->GetMainTickCount(), ticks + 1);
    }
    Time()->OnCKReset();
    EXPECT_TRUE(Time()->IsPaused());
    EXPECT_EQ(Time()->GetPlayTime(), 0.0f);
}

TEST_F(TimeManagerTest, SettersRefuseValuesThatAreNotAboveZero)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    Time()->SetMaximumDeltaTime(0.0f);
    Time()->SetFrameRateLimit(-5.0f);
    Time()->SetBehavioralRateLimit(nan);
    Time()->SetMinimumDeltaTime(nan);
    EXPECT_EQ(Time()->GetMaximumDeltaTime(), 200.0f);
    EXPECT_EQ(Time()->GetFrameRateLimit(), 60.0f);
    EXPECT_EQ(Time()->GetBehavioralRateLimit(), 60.0f);
    EXPECT_EQ(Time()->GetMinimumDeltaTime(), 1.0f);
    Time()->SetFrameRateLimit(50.0f);
    EXPECT_EQ(Time()->GetFramePeriod(), 20.0f);
}

TEST_F(TimeManagerTest, SettersAndLoadingRefuseValuesThatAreNotFinite)
{
    const float inf = std::numeric_limits<float>::infinity();
    const float tiny = std::numeric_limits<float>::denorm_min();
    for (float v : {inf, -inf, tiny}) {
        Time()->SetFrameRateLimit(v);
        Time()->SetBehavioralRateLimit(v);
    }
    for (float v : {inf, -inf}) {
        Time()->SetMinimumDeltaTime(v);
        Time()->SetMaximumDeltaTime(v);
    }
    EXPECT_EQ(Time()->GetFrameRateLimit(), 60.0f);
    EXPECT_EQ(Time()->GetFramePeriod(), 1000.0f / 60.0f);
    EXPECT_EQ(Time()->GetBehavioralRateLimit(), 60.0f) << "a rate whose period overflows is refused";
    EXPECT_EQ(Time()->GetMinimumDeltaTime(), 1.0f);
    EXPECT_EQ(Time()->GetMaximumDeltaTime(), 200.0f);

    CKStateChunk* stored = Section({inf, 40.0f, 0.0f, 2.0f, 17.0f, 3.0f});
    EXPECT_EQ(Time()->LoadData(stored, nullptr), 0);
    EXPECT_EQ(Time()->GetFrameRateLimit(), 60.0f) << "an infinite rate has a period of 0";
    EXPECT_EQ(Time()->GetBehavioralRateLimit(), 40.0f);
    EXPECT_EQ(Time()->GetBehavioralPeriod(), 25.0f);
    EXPECT_EQ(Time()->GetMinimumDeltaTime(), 3.0f);
    CKDeleteStateChunk(stored);

    // A maximum stored as a rate so small that its period overflows.
    CKStateChunk* slow = Section({30.0f, 30.0f, tiny, 1.0f, 17.0f, inf});
    EXPECT_EQ(Time()->LoadData(slow, nullptr), 0);
    EXPECT_EQ(Time()->GetMaximumDeltaTime(), 200.0f);
    EXPECT_EQ(Time()->GetMinimumDeltaTime(), 3.0f);
    CKDeleteStateChunk(slow);
}

TEST_F(TimeManagerTest, OlderFiveValueSectionsKeepTheMinimumAndAZeroRateIsRefused)
{
    CKStateChunk* five = Section({30.0f, 20.0f, 10.0f, 2.0f, 5.0f});
    EXPECT_EQ(Time()->LoadData(five, nullptr), 0);
    EXPECT_EQ(Time()->GetFrameRateLimit(), 30.0f);
    EXPECT_EQ(Time()->GetBehavioralPeriod(), 50.0f);
    EXPECT_EQ(Time()->GetMaximumDeltaTime(), 100.0f);
    EXPECT_EQ(Time()->GetTimeScaleFactor(), 2.0f);
    EXPECT_EQ(Time()->GetLimitOptions(), 5u);
    EXPECT_EQ(Time()->GetMinimumDeltaTime(), 1.0f);
    CKDeleteStateChunk(five);

    CKStateChunk* six = Section({30.0f, 20.0f, 0.0f, 1.0f, 17.0f, 4.0f});
    EXPECT_EQ(Time()->LoadData(six, nullptr), 0);
    EXPECT_EQ(Time()->GetMaximumDeltaTime(), 100.0f) << "a rate of 0 gives no maximum";
    EXPECT_EQ(Time()->GetMinimumDeltaTime(), 4.0f);
    CKDeleteStateChunk(six);

    EXPECT_EQ(Time()->LoadData(nullptr, nullptr), CKErr::InvalidParameter);
    EXPECT_EQ(Time()->SaveData(nullptr), nullptr) << "no level, no chunk";
}
