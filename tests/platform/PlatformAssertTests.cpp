#include <gtest/gtest.h>

#include "platform/PlatformAssert.h"
#include "tests/support/AssertCapture.h"

TEST(PlatformAssert, CheckReportsItsTextAndEvaluatesToTheCondition)
{
    AssertCapture capture;
    int i = 3;
    EXPECT_TRUE(PLATFORM_CHECK(i >= 0));
    EXPECT_TRUE(capture.Texts().empty());
    EXPECT_FALSE(PLATFORM_CHECK_TEXT(i >= 0 && i < 2, "i>=0 && i<2"));
    EXPECT_FALSE(PLATFORM_CHECK(i < 2));
    ASSERT_EQ(capture.Texts().size(), 2u);
    EXPECT_EQ(capture.Texts()[0], "i>=0 && i<2");
    EXPECT_EQ(capture.Texts()[1], "i < 2");
}
