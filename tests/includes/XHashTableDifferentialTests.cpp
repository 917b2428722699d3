#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

#include "includes/XHashTable.h"

// Long random sequences of hash-table operations checked against an ordered
// model: the entries in iteration order (append on insert; on removal the
// last entry moves into the hole) and the bucket count the table must have.
// Now and then the run goes on with a copy.
namespace {

template <class K, class KeyGen, class Same, class Hash>
void RunAgainstModel(unsigned seed, int steps, KeyGen makeKey, Same same, Hash hash)
{
    std::mt19937 rng(seed);
    auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };

    int initial = pick(0, 20);
    XHashTable<int, K> table(initial);
    int buckets = QxNextPowerOf2(initial) < 4 ? 4 : QxNextPowerOf2(initial);
    std::vector<std::pair<K, int>> model;
    auto find = [&](const K& key) {
        for (size_t i = 0; i < model.size(); ++i)
            if (same(model[i].first, key))
                return (int) i;
        return -1;
    };

    for (int step = 0; step < steps; ++step) {
        K key = makeKey(rng);
        int value = pick(0, 1 << 30);
        int op = pick(0, 99);
        int at = find(key);
        if (op < 45) {
            table.Insert(key, value);
            if (at >= 0) {
                model[(size_t) at].second = value;
            } else {
                if ((int) model.size() == buckets * 3 / 4)
                    buckets *= 2;
                model.emplace_back(key, value);
            }
        } else if (op < 60) {
            CKBOOL created = FALSE;
            typename XHashTable<int, K>::Iterator it = table.FindOrInsert(key, value, &created);
            ASSERT_EQ(created, at < 0 ? TRUE : FALSE) << step;
            if (at < 0) {
                if ((int) model.size() == buckets * 3 / 4)
                    buckets *= 2;
                model.emplace_back(key, value);
            }
            ASSERT_EQ(*it, model[(size_t) (at < 0 ? (int) model.size() - 1 : at)].second) << step;
        } else if (op < 85) {
            CKBOOL removed = table.Remove(key);
            ASSERT_EQ(removed, at >= 0 ? TRUE : FALSE) << step;
            if (at >= 0) {
                model[(size_t) at] = model.back();
                model.pop_back();
            }
        } else if (op < 99) {
            int* found = table.FindPtr(key);
            if (at < 0) {
                ASSERT_EQ(found, nullptr) << step;
            } else {
                ASSERT_TRUE(found && *found == model[(size_t) at].second) << step;
            }
            ASSERT_EQ((CKDWORD) table.Index(key), hash(key) & (CKDWORD) (buckets - 1)) << step;
        } else if (pick(0, 30) == 0) {
            table.Clear();
            model.clear();
        } else {
            // Carry on with a copy of a copy moved back in: the original then dies.
            XHashTable<int, K> copy(table), assigned(1);
            assigned = copy;
            table = std::move(assigned);
        }

        ASSERT_EQ(table.Size(), (int) model.size()) << step;
        ASSERT_EQ(table.BucketCount(), buckets) << step;
        ASSERT_EQ(table.Capacity(), buckets * 3 / 4) << step;
        if (step % 7 == 0 || step + 1 == steps) {
            size_t i = 0;
            for (typename XHashTable<int, K>::Iterator it = table.Begin(); it != table.End(); ++it, ++i) {
                ASSERT_TRUE(same(it.GetKey(), model[i].first)) << step << " entry " << i;
                ASSERT_EQ(*it, model[i].second) << step << " entry " << i;
            }
        }
    }
}

TEST(XHashTableDifferential, IntegerKeysMatchTheOrderedModel)
{
    // Keys spread over several buckets, with many sharing one.
    RunAgainstModel<int>(
        7, 30000, [](std::mt19937& rng) { return std::uniform_int_distribution<int>(-2000, 60000)(rng) & ~0x3F; },
        [](int a, int b) { return a == b; }, [](int k) { return (CKDWORD) (k >> 8); });
}

TEST(XHashTableDifferential, SmallSequentialIdsMatchTheOrderedModel)
{
    RunAgainstModel<CKDWORD>(
        8, 20000, [](std::mt19937& rng) { return (CKDWORD) std::uniform_int_distribution<int>(0, 600)(rng); },
        [](CKDWORD a, CKDWORD b) { return a == b; }, [](CKDWORD k) { return (CKDWORD) ((int32_t) k >> 8); });
}

TEST(XHashTableDifferential, StringKeysMatchTheOrderedModel)
{
    RunAgainstModel<XString>(
        9, 20000,
        [](std::mt19937& rng) {
            XString s;
            s.Format("k%d", std::uniform_int_distribution<int>(0, 700)(rng));
            return s;
        },
        [](const XString& a, const XString& b) { return a.Compare(b) == 0; },
        [](const XString& k) { return QxHashString(k); });
}

TEST(XHashTableDifferential, GuidKeysMatchTheOrderedModel)
{
    RunAgainstModel<CKGUID>(
        10, 20000,
        [](std::mt19937& rng) {
            std::uniform_int_distribution<int> d(0, 30);
            return CKGUID((CKDWORD) d(rng) * 0x01000193u, (CKDWORD) d(rng));
        },
        [](const CKGUID& a, const CKGUID& b) { return a == b; }, [](const CKGUID& k) { return k.d1; });
}

} // namespace
