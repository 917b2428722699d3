#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "includes/XHashTable.h"
#include "tests/support/AssertCapture.h"

// What the random comparison with an ordered model leaves out: pointer
// keys, lookups of string keys by C string, caller-given hashes and the
// bucket-count limit.
namespace {

TEST(QxNextPowerOf2, SmallestPowerNotBelowUpToTwoToThe30)
{
    const std::pair<int, int> cases[] = {
        {1, 1},          {5, 8},         {64, 64}, {0, 0}, {-3, 0}, {0x40000000, 0x40000000}, {0x3FFFFFFF, 0x40000000},
        {0x40000001, 0}, {0x7FFFFFFF, 0}};
    AssertCapture capture;
    for (const auto& [n, power] : cases)
        EXPECT_EQ(QxNextPowerOf2(n), power) << n;
    EXPECT_EQ(capture.Texts().size(), 2u);
}

TEST(XHashTable, PointerKeysHashAsTheAddressShiftedRightByEight)
{
    XHashTable<int, void*> t(16);
    EXPECT_EQ(t.Index((void*) 0x1234), 2);
    char objects[3 * 256];
    for (int i = 0; i < 3; ++i)
        t.Insert(objects + i * 256, i);
    EXPECT_TRUE(t.Remove(objects));
    EXPECT_EQ(*t.FindPtr(objects + 512), 2);
    EXPECT_EQ(t.FindPtr(objects + 1), nullptr);
}

TEST(XHashTable, StringKeysAreFoundByCString)
{
    XHashTable<int, XString> t(4);
    t.Insert(XString("ab"), 1);
    t.Insert(XString("ba"), 2);
    EXPECT_EQ(t.Index("ab"), 583 & 3);
    EXPECT_EQ(*t.FindPtr("ab"), 1);
    EXPECT_EQ(t.FindPtr("abc"), nullptr);
    EXPECT_TRUE(t.IsHere("ba"));
    EXPECT_FALSE(t.IsHere("b"));
    EXPECT_TRUE(t.Find("zz") == t.End());
    const XHashTable<int, XString>& c = t;
    EXPECT_EQ(*c.FindPtr("ba"), 2);
    EXPECT_EQ(*c.Find("ba"), 2);
    EXPECT_TRUE(c.Find(XString("zz")) == c.End());
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

// Grows a table from 4 buckets to n entries, with keys that collide in
// chains (every bucket is shared by keys that differ only above its mask),
// then checks every entry is found, iteration keeps insertion order, and the
// table still removes and refinds after so many growths.
template <class T>
void GrowAndCheck(int n, T (*value)(int))
{
    XHashTable<T, int> t(1);
    for (int i = 0; i < n; ++i) {
        const int key = (i % 7) << 20 | i >> 3 | (i & 7) << 24;
        t.Insert(key, value(i));
        int buckets = 4;
        while (buckets * 3 / 4 < i + 1)
            buckets *= 2;
        ASSERT_EQ(t.BucketCount(), buckets) << i;
    }
    ASSERT_EQ(t.Size(), n);
    int i = 0, wrong = 0;
    for (auto it = t.Begin(); it != t.End(); ++it, ++i)
        wrong += it.GetKey() != ((i % 7) << 20 | i >> 3 | (i & 7) << 24) || !(*it == value(i));
    EXPECT_EQ(wrong, 0);
    for (i = 0; i < n; ++i) {
        const T* found = t.FindPtr((i % 7) << 20 | i >> 3 | (i & 7) << 24);
        wrong += !found || !(*found == value(i));
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_FALSE(t.IsHere(7 << 20));
    // A copy has chains of its own that find the same entries.
    const XHashTable<T, int> copy(t);
    for (i = 0; i < n; i += 97) {
        const T* found = copy.FindPtr((i % 7) << 20 | i >> 3 | (i & 7) << 24);
        wrong += !found || !(*found == value(i)) || found == t.FindPtr((i % 7) << 20 | i >> 3 | (i & 7) << 24);
    }
    EXPECT_EQ(wrong, 0);
    for (i = 0; i < n; i += 2)
        ASSERT_TRUE(t.Remove((i % 7) << 20 | i >> 3 | (i & 7) << 24)) << i;
    for (i = 0; i < n; ++i)
        wrong += t.IsHere((i % 7) << 20 | i >> 3 | (i & 7) << 24) != (i % 2 == 1);
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(t.Size(), n / 2);
}

TEST(XHashTable, ManyGrowthsKeepEveryEntryFindableAndInInsertionOrder)
{
    // Plain entries grow in place, into a mapping past a few megabytes;
    // string values move into new arrays.
    GrowAndCheck<CKDWORD>(400000, [](int i) { return (CKDWORD) i * 2654435761u; });
    GrowAndCheck<XString>(20000, [](int i) {
        XString s;
        s.Format("v%d", i);
        return s;
    });
}

} // namespace
