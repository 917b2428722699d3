#include <gtest/gtest.h>

#include <string>

#include "includes/XArray.h"
#include "includes/XBitArray.h"
#include "includes/XClassArray.h"
#include "includes/XCompactArray.h"
#include "includes/XString.h"
#include "tests/support/AssertCapture.h"

namespace {

TEST(XArray, PushBackGrowsToTwiceTheSizeTwoWhenEmpty)
{
    XArray<int> a;
    EXPECT_EQ(a.Capacity(), 0);
    a.PushBack(1);
    EXPECT_EQ(a.Capacity(), 2);
    a.PushBack(2);
    a.PushBack(3);
    EXPECT_EQ(a.Capacity(), 4);
    a.PushBackValue(4);
    a.PushBack(5);
    EXPECT_EQ(a.Capacity(), 8);
    EXPECT_EQ(a.Size(), 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(a[i], i + 1);
}

TEST(XArray, PushBackOfOwnElementCopiesItBeforeReallocating)
{
    XArray<int> a;
    a.PushBack(7);
    a.PushBack(8);
    ASSERT_EQ(a.Size(), a.Capacity());
    a.PushBack(a[0]);
    EXPECT_EQ(a[2], 7);
    XClassArray<XString> s;
    s.PushBack(XString("first"));
    s.PushBack(XString("second"));
    s.PushBack(s[0]);
    EXPECT_STREQ(s[2].CStr(), "first");
}

TEST(XArray, ReserveKeepsTheFirstElementsAndSetsExactCapacity)
{
    XArray<int> a(3);
    EXPECT_EQ(a.Capacity(), 3);
    EXPECT_EQ(a.Size(), 0);
    for (int i = 0; i < 3; ++i)
        a.PushBack(i);
    a.Reserve(2);
    EXPECT_EQ(a.Size(), 2);
    EXPECT_EQ(a.Capacity(), 2);
    a.Reserve(0);
    EXPECT_EQ(a.Begin(), nullptr);
    XArray<int> none(0);
    EXPECT_EQ(none.Begin(), nullptr);
}

TEST(XArray, ResizeAndIndexChecksReportTheEngineTexts)
{
    AssertCapture capture;
    XArray<int> a;
    a.Resize(4);
    EXPECT_EQ(a.Capacity(), 4);
    a.Resize(-1);
    EXPECT_EQ(a.Size(), 4);
    a[0] = 5;
    a[4] = 9;
    a[-1] = 9;
    EXPECT_EQ(a[0], 5);
    EXPECT_EQ(a[4], 0);
    const XArray<int>& c = a;
    EXPECT_EQ(c[100], 0);
    ASSERT_EQ(capture.Texts().size(), 5u);
    EXPECT_EQ(capture.Texts()[0], "size>=0");
    for (size_t i = 1; i < capture.Texts().size(); ++i)
        EXPECT_EQ(capture.Texts()[i], "i>=0 && i<Size()");
}

TEST(XArray, InsertGrowsToTwiceTheCapacityOneWhenEmpty)
{
    XArray<int> a;
    a.Insert(0, 10);
    EXPECT_EQ(a.Capacity(), 1);
    a.Insert(0, 5);
    EXPECT_EQ(a.Capacity(), 2);
    a.Insert(2, 20);
    EXPECT_EQ(a.Capacity(), 4);
    a.Insert(1, 7);
    ASSERT_EQ(a.Size(), 4);
    EXPECT_EQ(a[0], 5);
    EXPECT_EQ(a[1], 7);
    EXPECT_EQ(a[2], 10);
    EXPECT_EQ(a[3], 20);
    AssertCapture capture;
    a.Insert(9, 1);
    EXPECT_EQ(a.Size(), 4);
    EXPECT_EQ(capture.Texts().size(), 1u);
}

TEST(XArray, RemovalByIndexAndValueMovesTheTailDown)
{
    XArray<int> a;
    for (int i = 0; i < 6; ++i)
        a.PushBack(i);
    a.RemoveAt(0);
    EXPECT_TRUE(a.Remove(3));
    EXPECT_FALSE(a.Remove(42));
    ASSERT_EQ(a.Size(), 4);
    EXPECT_EQ(a[0], 1);
    EXPECT_EQ(a[1], 2);
    EXPECT_EQ(a[2], 4);
    EXPECT_EQ(a[3], 5);
    AssertCapture capture;
    a.RemoveAt(4);
    EXPECT_EQ(a.Size(), 4);
    EXPECT_EQ(capture.Texts().size(), 1u);
}

TEST(XArray, AddIfNotHereAndAddUnique)
{
    XArray<void*> a;
    int x, y;
    EXPECT_TRUE(a.AddIfNotHere(&x));
    EXPECT_FALSE(a.AddIfNotHere(&x));
    EXPECT_EQ(a.AddUnique(&y), 1);
    EXPECT_EQ(a.AddUnique(&x), 0);
    EXPECT_EQ(a.Size(), 2);
    EXPECT_EQ(a.GetPosition(&y), 1);
    EXPECT_TRUE(a.IsHere(&y));
}

TEST(XArray, AssignmentReusesALargeEnoughBlock)
{
    XArray<int> big(10);
    big.Resize(10);
    XArray<int> small;
    small.PushBack(1);
    small.PushBack(2);
    int* before = big.Begin();
    big = small;
    EXPECT_EQ(big.Begin(), before);
    EXPECT_EQ(big.Size(), 2);
    EXPECT_EQ(big.Capacity(), 10);
    XArray<int> empty;
    empty = big;
    EXPECT_EQ(empty.Capacity(), 2);
    XArray<int> copy(big);
    EXPECT_EQ(copy.Capacity(), 2);
    EXPECT_EQ(copy[1], 2);
    copy.Clear();
    EXPECT_EQ(copy.Size(), 0);
    EXPECT_EQ(copy.Capacity(), 2);
    copy.Free();
    EXPECT_EQ(copy.Begin(), nullptr);
}

TEST(XClassArray, ElementsAreCopiedAndAssignedOneByOne)
{
    XClassArray<XString> a;
    a.PushBack(XString("b"));
    a.Insert(0, XString("a"));
    a.Insert(2, XString("d"));
    a.Insert(2, XString("c"));
    ASSERT_EQ(a.Size(), 4);
    std::string joined;
    for (const XString& s : a)
        joined += s.CStr();
    EXPECT_EQ(joined, "abcd");
    XClassArray<XString> b(a);
    b[0] = "z";
    EXPECT_STREQ(a[0].CStr(), "a");
    a = b;
    EXPECT_STREQ(a[0].CStr(), "z");
    a.RemoveAt(1);
    EXPECT_TRUE(a.Remove(XString("d")));
    ASSERT_EQ(a.Size(), 2);
    EXPECT_STREQ(a[1].CStr(), "c");
    a.Clear();
    EXPECT_EQ(a.Begin(), nullptr);
    EXPECT_EQ(a.Capacity(), 0);
}

TEST(XClassArray, ChecksReportTheEngineTexts)
{
    AssertCapture capture;
    XClassArray<XString> a;
    a.Resize(1);
    a[1] = "x";
    a.Resize(-3);
    EXPECT_STREQ(a[5].CStr(), "");
    ASSERT_EQ(capture.Texts().size(), 3u);
    EXPECT_EQ(capture.Texts()[0], "i>=0 && i<Size()");
    EXPECT_EQ(capture.Texts()[1], "size>=0");
    EXPECT_EQ(capture.Texts()[2], "i>=0 && i<Size()");
}

TEST(XClassArray, ArrayOfArrays)
{
    XClassArray<XArray<int>> a;
    for (int i = 0; i < 5; ++i) {
        XArray<int> inner;
        inner.PushBack(i);
        a.PushBack(inner);
    }
    a.Insert(0, a[4]);
    EXPECT_EQ(a[0][0], 4);
    EXPECT_EQ(a[5][0], 4);
}

TEST(XCompactArray, SizedExactlyOnEveryChange)
{
    XCompactArray<float> a;
    EXPECT_EQ(a.Size(), 0);
    a.PushBack(1.f);
    a.PushBack(2.f);
    a.Insert(0, 0.5f);
    ASSERT_EQ(a.Size(), 3);
    EXPECT_EQ(a[0], 0.5f);
    EXPECT_EQ(a[2], 2.f);
    a.Resize(5);
    EXPECT_EQ(a[4], 0.f);
    a.Resize(2);
    EXPECT_EQ(a[1], 1.f);
    a.RemoveAt(0);
    EXPECT_TRUE(a.Remove(1.f));
    EXPECT_EQ(a.Begin(), nullptr);
    XCompactArray<float> b;
    b.PushBack(3.f);
    a = b;
    EXPECT_EQ(a[0], 3.f);
    AssertCapture capture;
    a.Resize(-1);
    EXPECT_EQ(a[1], 0.f);
    ASSERT_EQ(capture.Texts().size(), 2u);
    EXPECT_EQ(capture.Texts()[0], "size>=0");
    EXPECT_EQ(capture.Texts()[1], "i>=0 && i<Size()");
}

TEST(XBitArray, OneWordStaysInlineAndGrowsByDoubling)
{
    XBitArray small;
    EXPECT_EQ(small.Size(), 32);
    small.Set(31);
    EXPECT_TRUE(small.IsSet(31));
    EXPECT_FALSE(small.IsSet(30));
    EXPECT_FALSE(small.IsSet(1000));
    small.Unset(1000);
    EXPECT_EQ(small.Size(), 32);
    small.Set(100);
    EXPECT_EQ(small.Size(), 128);
    EXPECT_TRUE(small.IsSet(31));
    EXPECT_TRUE(small.IsSet(100));
    EXPECT_FALSE(small.IsSet(99));
    small.Unset(31);
    EXPECT_FALSE(small.IsSet(31));
    small.Clear();
    EXPECT_FALSE(small.IsSet(100));
    EXPECT_EQ(small.Size(), 128);

    XBitArray two(2);
    EXPECT_EQ(two.Size(), 64);
    for (int i = 0; i < 64; ++i)
        EXPECT_FALSE(two.IsSet(i));
    XBitArray zero(0);
    EXPECT_EQ(zero.Size(), 32);
}

TEST(XBitArray, CopiesAreIndependentAndLowestClearBitIsFound)
{
    XBitArray a;
    for (int i = 0; i < 40; ++i)
        a.Set(i);
    XBitArray b(a);
    b.Unset(35);
    EXPECT_TRUE(a.IsSet(35));
    EXPECT_EQ(b.GetUnsetBitPosition(), 35);
    EXPECT_EQ(a.GetUnsetBitPosition(), 40);
    XBitArray c;
    c = b;
    EXPECT_FALSE(c.IsSet(35));
    XBitArray full;
    for (int i = 0; i < 32; ++i)
        full.Set(i);
    EXPECT_EQ(full.GetUnsetBitPosition(), 32);
}

} // namespace
