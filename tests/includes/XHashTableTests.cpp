#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "includes/XHashTable.h"
#include "tests/support/AssertCapture.h"

namespace {

TEST(QxNextPowerOf2, SmallestPowerNotBelow)
{
    EXPECT_EQ(QxNextPowerOf2(1), 1);
    EXPECT_EQ(QxNextPowerOf2(5), 8);
    EXPECT_EQ(QxNextPowerOf2(64), 64);
    EXPECT_EQ(QxNextPowerOf2(0), 0);
    EXPECT_EQ(QxNextPowerOf2(0x40000000), 0x40000000);
    EXPECT_EQ(QxNextPowerOf2(0x3FFFFFFF), 0x40000000);
}

TEST(QxNextPowerOf2, RefusesAboveTwoToThe30)
{
    AssertCapture capture;
    EXPECT_EQ(QxNextPowerOf2(0x40000001), 0);
    EXPECT_EQ(QxNextPowerOf2(0x7FFFFFFF), 0);
    EXPECT_EQ(capture.Texts().size(), 2u);
}

TEST(XHashTable, BucketCountIsAPowerOfTwoOfAtLeastFour)
{
    for (int n : {0, 1, 3, 4}) {
        XHashTable<int, int> t(n);
        EXPECT_EQ(t.BucketCount(), 4);
        EXPECT_EQ(t.Capacity(), 3);
    }
    XHashTable<int, int> five(5);
    EXPECT_EQ(five.BucketCount(), 8);
    EXPECT_EQ(five.Capacity(), 6);
    XHashTable<int, int> sixteen(16);
    EXPECT_EQ(sixteen.BucketCount(), 16);
    EXPECT_EQ(sixteen.Capacity(), 12);
}

TEST(XHashTable, FourthKeyDoublesTheBucketsAndKeepsInsertionOrder)
{
    XHashTable<int, int> t(4);
    for (int k = 1; k <= 3; ++k)
        t.Insert(k * 1000, k);
    EXPECT_EQ(t.BucketCount(), 4);
    t.Insert(4000, 4);
    EXPECT_EQ(t.BucketCount(), 8);
    EXPECT_EQ(t.Capacity(), 6);
    std::vector<int> order;
    for (XHashTable<int, int>::Iterator it = t.Begin(); it != t.End(); ++it) {
        order.push_back(it.GetKey());
        EXPECT_EQ(*it * 1000, it.GetKey());
    }
    EXPECT_EQ(order, (std::vector<int>{1000, 2000, 3000, 4000}));
    for (int k = 1; k <= 4; ++k)
        EXPECT_EQ(*t.FindPtr(k * 1000), k);
    t.Insert(5000, 5);
    t.Insert(6000, 6);
    t.Insert(7000, 7);
    EXPECT_EQ(t.BucketCount(), 16);
}

TEST(XHashTable, ExistingKeysAreOverwrittenByInsertAndKeptByFindOrInsert)
{
    XHashTable<int, CKDWORD> t;
    t.Insert(5, 1);
    XHashTable<int, CKDWORD>::Iterator it = t.Insert(5, 2);
    EXPECT_EQ(t.Size(), 1);
    EXPECT_EQ(*it, 2);
    CKBOOL created = TRUE;
    it = t.FindOrInsert(5, 3, &created);
    EXPECT_FALSE(created);
    EXPECT_EQ(*it, 2);
    it = t.FindOrInsert(6, 3, &created);
    EXPECT_TRUE(created);
    EXPECT_EQ(*it, 3);
    EXPECT_EQ(t.Size(), 2);
    EXPECT_TRUE(t.Find(7u) == t.End());
    EXPECT_EQ(t.FindPtr(7u), nullptr);
}

TEST(XHashTable, IntegerKeysHashAsKeyShiftedRightByEight)
{
    XHashTable<int, int> t(4);
    EXPECT_EQ(t.Index(0x100), 1);
    EXPECT_EQ(t.Index(0x500), 1);
    for (int k = 0; k < 256; ++k)
        EXPECT_EQ(t.Index(k), 0);
    EXPECT_EQ(t.Index(-256), 3);
    XHashTable<int, CKDWORD> u(4);
    EXPECT_EQ(u.Index(0xFFFFFF00u), 3);
    XHashTable<int, void*> p(16);
    EXPECT_EQ(p.Index((void*) 0x1234), 2);
}

TEST(XHashTable, StringAndGuidKeys)
{
    XHashTable<int, XString> t(4);
    t.Insert(XString("ab"), 1);
    t.Insert(XString("ba"), 2);
    EXPECT_EQ(t.Index(XString("ab")), 583 & 3);
    EXPECT_EQ(t.Index("ab"), 583 & 3);
    EXPECT_EQ(*t.FindPtr("ab"), 1);
    EXPECT_EQ(*t.FindPtr(XString("ba")), 2);
    EXPECT_EQ(t.FindPtr("abc"), nullptr);
    EXPECT_TRUE(t.IsHere("ba"));
    const XHashTable<int, XString>& c = t;
    EXPECT_TRUE(c.Find("zz") == c.End());
    EXPECT_TRUE(c.Find(XString("zz")) == c.End());
    EXPECT_EQ(*c.Find("ba"), 2);
    EXPECT_TRUE(t.Find("zz") == t.End());

    XHashTable<int, CKGUID> g;
    g.Insert(CKGUID(1, 2), 12);
    g.Insert(CKGUID(1, 3), 13);
    EXPECT_EQ(g.Index(CKGUID(5, 99)), 5);
    EXPECT_EQ(*g.FindPtr(CKGUID(1, 3)), 13);
    EXPECT_EQ(g.FindPtr(CKGUID(2, 2)), nullptr);
}

struct PairKey
{
    int a = 0, b = 0;
    bool operator==(const PairKey& o) const { return a == o.a && b == o.b; }
};
struct PairHash
{
    CKDWORD operator()(const PairKey& k) const { return (CKDWORD) (k.a * 31 + k.b); }
};

TEST(XHashTable, CallerGivenKeyTypeAndHash)
{
    XHashTable<std::string, PairKey, PairHash> t;
    t.Insert(PairKey{1, 2}, "one-two");
    t.Insert(PairKey{2, 1}, "two-one");
    EXPECT_EQ(*t.FindPtr(PairKey{2, 1}), "two-one");
    EXPECT_EQ(t.Index(PairKey{0, 5}), 5);
    EXPECT_TRUE(t.Remove(PairKey{1, 2}));
    EXPECT_EQ(t.Size(), 1);
}

TEST(XHashTable, RemoveMovesTheLastEntryIntoTheHole)
{
    XHashTable<int, void*> t(16);
    char objects[5 * 256];
    for (int i = 0; i < 5; ++i)
        t.Insert(objects + i * 256, i);
    EXPECT_TRUE(t.Remove(objects + 256));
    EXPECT_FALSE(t.Remove(objects + 256));
    std::vector<int> order;
    for (int v : t)
        order.push_back(v);
    EXPECT_EQ(order, (std::vector<int>{0, 4, 2, 3}));
    for (int i : {0, 2, 3, 4})
        EXPECT_EQ(*t.FindPtr(objects + i * 256), i);
    EXPECT_TRUE(t.Remove(objects + 3 * 256));
    EXPECT_TRUE(t.Remove(objects));
    EXPECT_TRUE(t.Remove(objects + 4 * 256));
    EXPECT_TRUE(t.Remove(objects + 2 * 256));
    EXPECT_EQ(t.Size(), 0);
}

TEST(XHashTable, RemoveWithinOneChain)
{
    // All keys in bucket 0: removal relinks within the chain.
    XHashTable<int, int> t(16);
    for (int k = 0; k < 10; ++k)
        t.Insert(k, k * 10);
    for (int k : {9, 0, 5, 3}) {
        EXPECT_TRUE(t.Remove(k));
        EXPECT_EQ(t.FindPtr(k), nullptr);
    }
    for (int k : {1, 2, 4, 6, 7, 8})
        EXPECT_EQ(*t.FindPtr(k), k * 10);
}

TEST(XHashTable, ClearKeepsStorageAndCopiesAreIndependent)
{
    XHashTable<int, XString> t;
    for (int i = 0; i < 20; ++i) {
        XString key;
        key.Format("key%d", i);
        t.Insert(key, i);
    }
    int buckets = t.BucketCount();
    XHashTable<int, XString> copy(t);
    t.Clear();
    EXPECT_EQ(t.Size(), 0);
    EXPECT_EQ(t.BucketCount(), buckets);
    EXPECT_EQ(t.FindPtr("key3"), nullptr);
    EXPECT_EQ(copy.Size(), 20);
    EXPECT_EQ(*copy.FindPtr("key3"), 3);
    int expected = 0;
    for (XHashTable<int, XString>::ConstIterator it = copy.Begin(); it != copy.End(); ++it)
        EXPECT_EQ(*it, expected++);
    t = copy;
    EXPECT_EQ(*t.FindPtr("key19"), 19);
    t.Insert(XString("again"), 99);
    EXPECT_EQ(*t.FindPtr("again"), 99);
    EXPECT_EQ(copy.FindPtr("again"), nullptr);
}

} // namespace
