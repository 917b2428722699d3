#include <gtest/gtest.h>

#include "platform/PlatformAssert.h"
#include "tests/support/AssertCapture.h"

TEST(PlatformAssert, CheckReportsTheConditionAsWrittenAndEvaluatesToIt)
{
    AssertCapture capture;
    int i = 3;
    EXPECT_TRUE(PLATFORM_CHECK(i >= 0));
    EXPECT_TRUE(capture.Texts().empty());
    EXPECT_FALSE(PLATFORM_CHECK(i>=0 && i<2));
    ASSERT_EQ(capture.Texts().size(), 1u);
    EXPECT_EQ(capture.Texts()[0], "i>=0 && i<2");
}
