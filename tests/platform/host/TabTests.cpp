#include <gtest/gtest.h>

#include "platform/host/TSTR.h"
#include "platform/host/Tab.h"
#include "tests/support/AssertCapture.h"

TEST(HostTab, AppendInsertAndDeleteKeepTheOrder)
{
    Tab<int> tab;
    const int a[] = {1, 2, 3};
    EXPECT_EQ(tab.Append(3, a, 25), 0);
    EXPECT_EQ(tab.Append(1, a), 3);
    const int b[] = {9};
    EXPECT_EQ(tab.Insert(1, 1, b), 1);
    ASSERT_EQ(tab.Count(), 5);
    EXPECT_EQ(tab[0], 1);
    EXPECT_EQ(tab[1], 9);
    EXPECT_EQ(tab[4], 1);
    EXPECT_EQ(tab.Delete(0, 2), 3);
    EXPECT_EQ(tab[0], 2);
    EXPECT_EQ(*tab.Addr(2), 1);
    EXPECT_EQ(tab.Addr(3), nullptr);
    tab.SetCount(1);
    EXPECT_EQ(tab.Count(), 1);
    tab.ZeroCount();
    EXPECT_EQ(tab.Count(), 0);
}

TEST(HostTab, BrokenPreconditionsAreReportedAndChangeNothing)
{
    AssertCapture capture;
    Tab<int> tab;
    const int a[] = {5};
    tab.Append(1, a);
    EXPECT_EQ(tab[1], 0);
    tab[-1] = 7;
    EXPECT_EQ(tab.Delete(0, 2), 1);
    EXPECT_EQ(tab.Insert(3, 1, a), 3);
    EXPECT_EQ(tab.Append(-1, a), 1);
    tab.SetCount(-1);
    EXPECT_EQ(tab.Count(), 1);
    EXPECT_EQ(tab[0], 5);
    EXPECT_EQ(capture.Texts().size(), 6u);
}

TEST(HostTab, StringsFormatAndNeverGiveNull)
{
    TSTR s;
    EXPECT_STREQ(s.data(), "");
    EXPECT_TRUE(s.isNull());
    EXPECT_EQ(s.printf("%s %d %.1f", "a", 12, 0.5), 8);
    EXPECT_EQ(s, "a 12 0.5");
    TSTR n(static_cast<const char*>(nullptr));
    EXPECT_EQ(n.Length(), 0);
    n += TSTR("x");
    EXPECT_EQ(n + "y", TSTR("xy"));
}
