#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "includes/XArray.h"
#include "includes/XBitArray.h"
#include "includes/XClassArray.h"
#include "includes/XCompactArray.h"
#include "includes/XString.h"
#include "tests/support/AssertCapture.h"

// Long random sequences of array operations checked against a vector and the
// capacity each array must have: XArray and XClassArray grow to twice the
// size (2 when empty) on PushBack and twice the capacity (1 when empty) on
// Insert, reserve exactly (XArray only ever more than its capacity), and
// XClassArray frees on Clear; XCompactArray is
// always exactly as large as its contents.
namespace {

enum class Kind
{
    Plain,
    Class,
    Compact
};

template <class T>
T Make(int v)
{
    return T(v);
}
template <>
XString Make<XString>(int v)
{
    return XString(std::to_string(v).c_str());
}
int Value(int v)
{
    return v;
}
int Value(const XString& s)
{
    return std::stoi(s.CStr());
}

template <class A, class T, Kind K>
void RunAgainstModel(unsigned seed)
{
    std::mt19937 rng(seed);
    auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    A a;
    std::vector<int> m;
    int capacity = 0;
    for (int step = 0; step < 6000; ++step) {
        const int size = (int) m.size(), v = pick(0, 40);
        switch (pick(0, K == Kind::Compact ? 6 : 8)) {
        case 0:
        case 1: { // an element of the array itself half the time
            const int own = size > 0 && pick(0, 1) ? pick(0, size - 1) : -1;
            const int pushed = own >= 0 ? m[(size_t) own] : v;
            if (own >= 0)
                a.PushBack(a[own]);
            else
                a.PushBack(Make<T>(v));
            if (size == capacity)
                capacity = size ? size * 2 : 2;
            m.push_back(pushed);
            break;
        }
        case 2: {
            const int at = pick(0, size);
            const int own = size > 0 && pick(0, 1) ? pick(0, size - 1) : -1;
            const int inserted = own >= 0 ? m[(size_t) own] : v;
            a.Insert(at, own >= 0 ? a[own] : Make<T>(v));
            if (size == capacity)
                capacity = capacity ? capacity * 2 : 1;
            m.insert(m.begin() + at, inserted);
            break;
        }
        case 3:
            if (size > 0) {
                const int at = pick(0, size - 1);
                a.RemoveAt(at);
                m.erase(m.begin() + at);
            }
            break;
        case 4: {
            auto it = std::find(m.begin(), m.end(), v);
            ASSERT_EQ(a.Remove(Make<T>(v)), it != m.end()) << step;
            if (it != m.end())
                m.erase(it);
            break;
        }
        case 5: {
            const int n = pick(0, size + 6);
            a.Resize(n);
            if (K == Kind::Compact) {
                for (int i = size; i < n; ++i)
                    ASSERT_EQ(Value(a[i]), 0) << "new compact elements are zero";
            } else if (n > capacity) {
                capacity = n;
            }
            m.resize((size_t) n);
            for (int i = size; i < n; ++i)
                a[i] = Make<T>(m[(size_t) i] = pick(0, 40));
            break;
        }
        case 6: { // a copy and an assignment are independent of the original
            A copy(a);
            A assigned;
            int before = 0;
            if constexpr (K != Kind::Compact) {
                if (pick(0, 1))
                    assigned.Reserve(size + 3);
                before = assigned.Capacity();
            }
            assigned = a;
            if (size > 0)
                copy[0] = assigned[0] = Make<T>(99);
            for (int i = 0; i < size; ++i)
                ASSERT_EQ(Value(a[i]), m[(size_t) i]) << step;
            if constexpr (K != Kind::Compact) {
                ASSERT_EQ(copy.Capacity(), size) << step;
                ASSERT_EQ(assigned.Capacity(), before >= size ? before : size) << step;
            }
            break;
        }
        case 7:
            if constexpr (K == Kind::Plain) {
                // XArray grows only: a smaller room keeps the elements where they are.
                const int n = pick(0, std::max(size, capacity) + 4);
                const int* before = a.Begin();
                a.Reserve(n);
                if (n > capacity)
                    capacity = n;
                else
                    ASSERT_EQ(a.Begin(), before) << step << ": no reallocation for " << n;
            } else if constexpr (K != Kind::Compact) {
                const int n = pick(0, size + 4);
                a.Reserve(n);
                capacity = n;
                m.resize((size_t) std::min(n, size));
            }
            break;
        case 8:
            if (pick(0, 20) == 0) {
                a.Clear();
                m.clear();
                if (K == Kind::Class)
                    capacity = 0;
            }
            break;
        }
        ASSERT_EQ(a.Size(), (int) m.size()) << step;
        if constexpr (K != Kind::Compact) {
            ASSERT_EQ(a.Capacity(), capacity) << step;
        }
        for (int i = 0; i < (int) m.size(); ++i)
            ASSERT_EQ(Value(a[i]), m[(size_t) i]) << "step " << step << " index " << i;
        if (m.empty() && K == Kind::Compact) {
            ASSERT_EQ(a.Begin(), nullptr);
        }
    }
}

TEST(XArrayDifferential, XArrayMatchesTheModel)
{
    RunAgainstModel<XArray<int>, int, Kind::Plain>(1);
}

TEST(XArrayDifferential, XClassArrayMatchesTheModel)
{
    RunAgainstModel<XClassArray<XString>, XString, Kind::Class>(2);
}

TEST(XArrayDifferential, XCompactArrayMatchesTheModel)
{
    RunAgainstModel<XCompactArray<int>, int, Kind::Compact>(3);
}

TEST(XArray, GrowsFromTheHeapIntoAMappingAndOnKeepingEveryElement)
{
    // Past kPlatformMappedArrayBytes the storage leaves the heap for a
    // mapping, and keeps growing there: the elements stay, in order, through
    // push, insert at the front, reserve, copies and assignments either way.
    const int big = (int) (3 * kPlatformMappedArrayBytes / sizeof(int));
    XArray<int> a;
    for (int i = 0; i < big; ++i)
        a.PushBack(i);
    ASSERT_EQ(a.Size(), big);
    EXPECT_GE((size_t) a.Capacity() * sizeof(int), 3 * kPlatformMappedArrayBytes);
    int wrong = 0;
    for (int i = 0; i < big; ++i)
        wrong += a[i] != i;
    EXPECT_EQ(wrong, 0);

    const int reserved = a.Capacity() + 1;
    a.Reserve(reserved);
    EXPECT_EQ(a.Capacity(), reserved);
    while (a.Size() < a.Capacity())
        a.PushBack(a.Size());
    a.Insert(0, -1); // full: grows to twice the capacity
    ASSERT_EQ(a[0], -1);
    wrong = 0;
    for (int i = 1; i < a.Size(); ++i)
        wrong += a[i] != i - 1;
    EXPECT_EQ(wrong, 0);

    XArray<int> small;
    small.PushBack(5);
    XArray<int> copy(a);
    EXPECT_EQ(copy.Size(), a.Size());
    EXPECT_EQ(copy[copy.Size() - 1], a[a.Size() - 1]);
    copy = small; // a mapping reused for two elements' worth
    EXPECT_EQ(copy.Size(), 1);
    EXPECT_EQ(copy[0], 5);
    small = a; // the heap block swapped for a mapping
    EXPECT_EQ(small.Size(), a.Size());
    EXPECT_EQ(small[a.Size() - 1], a[a.Size() - 1]);
    copy = std::move(small);
    EXPECT_EQ(copy.Size(), a.Size());
    copy.Free();
    EXPECT_EQ(copy.Capacity(), 0);
}

TEST(XArray, UniqueAdditionsAndFreeing)
{
    XArray<void*> a;
    int x, y;
    EXPECT_TRUE(a.AddIfNotHere(&x));
    EXPECT_FALSE(a.AddIfNotHere(&x));
    EXPECT_EQ(a.AddUnique(&y), 1);
    EXPECT_EQ(a.AddUnique(&x), 0);
    EXPECT_EQ(a.Size(), 2);
    XCompactArray<float> c;
    EXPECT_TRUE(c.AddIfNotHere(1.f));
    EXPECT_FALSE(c.AddIfNotHere(1.f));
    a.Free();
    EXPECT_EQ(a.Begin(), nullptr);
    EXPECT_EQ(XArray<int>(0).Begin(), nullptr);
    EXPECT_EQ(XArray<int>(3).Capacity(), 3);
}

TEST(XArray, BadIndicesAndSizesAreReportedWithTheEngineTextsAndIgnored)
{
    AssertCapture capture;
    XArray<int> a;
    a.Resize(2);
    a.Resize(-1);
    a[2] = 9;
    EXPECT_EQ(a[7], 0) << "a bad index reads a zero element";
    a.Insert(3, 1);
    a.RemoveAt(2);
    XClassArray<XString> s;
    EXPECT_STREQ(s[0].CStr(), "");
    s.Reserve(-3);
    XCompactArray<float> c;
    c.Insert(-1, 1.f);
    EXPECT_EQ(a.Size() + s.Size() + c.Size(), 2);
    EXPECT_EQ(capture.Texts(), (std::vector<std::string>{"size>=0", "i>=0 && i<Size()", "i>=0 && i<Size()",
                                                         "pos>=0 && pos<=Size()", "pos>=0 && pos<Size()",
                                                         "i>=0 && i<Size()", "size>=0", "pos>=0 && pos<=Size()"}));
}

TEST(XBitArray, OneWordStaysInlineGrowsByDoublingAndCopiesAreIndependent)
{
    XBitArray bits;
    EXPECT_EQ(bits.Size(), 32);
    bits.Set(31);
    EXPECT_FALSE(bits.IsSet(1000));
    bits.Unset(1000);
    EXPECT_EQ(bits.Size(), 32);
    bits.Set(100);
    EXPECT_EQ(bits.Size(), 128);
    for (int i = 0; i < 128; ++i)
        EXPECT_EQ(bits.IsSet(i), i == 31 || i == 100) << i;
    XBitArray copy(bits), assigned;
    assigned = bits;
    bits.Unset(31);
    EXPECT_TRUE(copy.IsSet(31) && assigned.IsSet(31));
    EXPECT_EQ(bits.GetUnsetBitPosition(), 0);
    bits.Clear();
    EXPECT_FALSE(bits.IsSet(100));
    EXPECT_EQ(bits.Size(), 128);
    XBitArray two(2), zero(0);
    EXPECT_EQ(zero.Size(), 32);
    for (int i = 0; i < 40; ++i)
        two.Set(i);
    EXPECT_EQ(two.GetUnsetBitPosition(), 40);
    for (int i = 40; i < 64; ++i)
        EXPECT_FALSE(two.IsSet(i)) << "the second word starts zeroed";
    for (int i = 40; i < 64; ++i)
        two.Set(i);
    EXPECT_EQ(two.Size(), 64);
    EXPECT_EQ(two.GetUnsetBitPosition(), 64);
}

} // namespace
