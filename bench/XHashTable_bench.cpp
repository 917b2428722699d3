#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

#include "bench/BenchCase.h"
#include "includes/XHashTable.h"

// XHashTable against std::unordered_map: insert n keys, then look each up.
// Small sequential ids all hash to bucket 0 (key >> 8), which the engine's
// own tables keep: their lookups walk one chain.
namespace {

struct Object
{
    char bytes[64];
};

template <class Map, class Key>
void InsertAndFind(benchmark::State& state, const std::vector<Key>& keys)
{
    for (auto _ : state) {
        Map map;
        for (size_t i = 0; i < keys.size(); ++i)
            map[keys[i]] = (int) i;
        long sum = 0;
        for (const Key& k : keys)
            sum += map[k];
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * (int64_t) keys.size());
}

template <class K>
struct XMap
{
    XHashTable<int, K> table;
    int& operator[](const K& k) { return *table.FindOrInsert(k, 0); }
};

std::vector<CKDWORD> SequentialIds(int n)
{
    std::vector<CKDWORD> keys;
    for (int i = 0; i < n; ++i)
        keys.push_back((CKDWORD) i + 1);
    return keys;
}

std::vector<Object*> Pointers(int n)
{
    static std::vector<Object> objects(1 << 16);
    std::vector<Object*> keys;
    for (int i = 0; i < n; ++i)
        keys.push_back(&objects[(size_t) i]);
    return keys;
}

std::vector<XString> StringKeys(int n)
{
    std::vector<XString> keys;
    for (int i = 0; i < n; ++i) {
        XString s;
        s.Format("Object_%d_Mesh", i);
        keys.push_back(s);
    }
    return keys;
}

struct XStringStdHash
{
    size_t operator()(const XString& s) const
    {
        return std::hash<std::string_view>()(std::string_view(s.CStr(), (size_t) s.Length()));
    }
};

void BM_XHash_SequentialIds(benchmark::State& state)
{
    InsertAndFind<XMap<CKDWORD>>(state, SequentialIds((int) state.range(0)));
}
void BM_Std_SequentialIds(benchmark::State& state)
{
    InsertAndFind<std::unordered_map<CKDWORD, int>>(state, SequentialIds((int) state.range(0)));
}
void BM_XHash_Pointers(benchmark::State& state)
{
    InsertAndFind<XMap<Object*>>(state, Pointers((int) state.range(0)));
}
void BM_Std_Pointers(benchmark::State& state)
{
    InsertAndFind<std::unordered_map<Object*, int>>(state, Pointers((int) state.range(0)));
}
void BM_XHash_Strings(benchmark::State& state)
{
    InsertAndFind<XMap<XString>>(state, StringKeys((int) state.range(0)));
}
void BM_Std_Strings(benchmark::State& state)
{
    InsertAndFind<std::unordered_map<XString, int, XStringStdHash>>(state, StringKeys((int) state.range(0)));
}

} // namespace

BENCHMARK(BM_XHash_SequentialIds)->Name("HashSequentialIds/ours")->ArgName("keys")->Arg(256)->Arg(4096);
BENCHMARK(BM_Std_SequentialIds)->Name("HashSequentialIds/std")->ArgName("keys")->Arg(256)->Arg(4096);
BENCHMARK(BM_XHash_Pointers)->Name("HashPointers/ours")->ArgName("keys")->Arg(256)->Arg(4096)->Arg(65536);
BENCHMARK(BM_Std_Pointers)->Name("HashPointers/std")->ArgName("keys")->Arg(256)->Arg(4096)->Arg(65536);
BENCHMARK(BM_XHash_Strings)->Name("HashStrings/ours")->ArgName("keys")->Arg(256)->Arg(4096)->Arg(65536);
BENCHMARK(BM_Std_Strings)->Name("HashStrings/std")->ArgName("keys")->Arg(256)->Arg(4096)->Arg(65536);
BENCH_CASE_DOES("HashSequentialIds", "ours: XHashTable FindOrInsert of the ids 1..n into a new table, then each looked "
                                     "up; std: the same through std::unordered_map::operator[]");
BENCH_CASE_DOES("HashPointers", "ours: XHashTable FindOrInsert of n object pointers into a new table, then each looked "
                                "up; std: the same through std::unordered_map::operator[]");
BENCH_CASE_DOES("HashStrings", "ours: XHashTable FindOrInsert of n XString names into a new table, then each looked "
                               "up; std: the same through std::unordered_map with std::hash of the characters");
