#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "bench/BenchCase.h"
#include "includes/XString.h"

// String appends and formatting against std::string and snprintf. XString
// grows to the exact size on every append, so appends reallocate each time.
namespace {

void BM_XString_AppendChars(benchmark::State& state)
{
    for (auto _ : state) {
        XString s;
        for (int i = 0; i < state.range(0); ++i)
            s += (char) ('a' + i % 26);
        benchmark::DoNotOptimize(s.CStr());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_Std_AppendChars(benchmark::State& state)
{
    for (auto _ : state) {
        std::string s;
        for (int i = 0; i < state.range(0); ++i)
            s += (char) ('a' + i % 26);
        benchmark::DoNotOptimize(s.c_str());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_XString_AppendWords(benchmark::State& state)
{
    for (auto _ : state) {
        XString s;
        for (int i = 0; i < state.range(0); ++i)
            s += "node_";
        benchmark::DoNotOptimize(s.CStr());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_Std_AppendWords(benchmark::State& state)
{
    for (auto _ : state) {
        std::string s;
        for (int i = 0; i < state.range(0); ++i)
            s += "node_";
        benchmark::DoNotOptimize(s.c_str());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_XString_Format(benchmark::State& state)
{
    XString s;
    int i = 0;
    for (auto _ : state) {
        s.Format("%s%d_%08.3f", "Box", i++, 1.25);
        benchmark::DoNotOptimize(s.CStr());
    }
}

void BM_Snprintf_Format(benchmark::State& state)
{
    char buffer[512];
    std::string s;
    int i = 0;
    for (auto _ : state) {
        int n = std::snprintf(buffer, sizeof(buffer), "%s%d_%08.3f", "Box", i++, 1.25);
        s.assign(buffer, (size_t) n);
        benchmark::DoNotOptimize(s.c_str());
    }
}

void BM_XString_CopyShort(benchmark::State& state)
{
    XString src("Object_Mesh_0001");
    for (auto _ : state) {
        XString copy(src);
        benchmark::DoNotOptimize(copy.CStr());
    }
}

void BM_Std_CopyShort(benchmark::State& state)
{
    // Longer than the small-string buffer, so both allocate.
    std::string src("Object_Mesh_0001");
    for (auto _ : state) {
        std::string copy(src);
        benchmark::DoNotOptimize(copy.c_str());
    }
}

} // namespace

BENCHMARK(BM_XString_AppendChars)->Name("StringAppendChars/ours")->ArgName("chars")->Arg(64)->Arg(1024)->Arg(16384);
BENCHMARK(BM_Std_AppendChars)->Name("StringAppendChars/std")->ArgName("chars")->Arg(64)->Arg(1024)->Arg(16384);
BENCHMARK(BM_XString_AppendWords)->Name("StringAppendWords/ours")->ArgName("words")->Arg(64)->Arg(1024);
BENCHMARK(BM_Std_AppendWords)->Name("StringAppendWords/std")->ArgName("words")->Arg(64)->Arg(1024);
BENCHMARK(BM_XString_Format)->Name("StringFormat/ours");
BENCHMARK(BM_Snprintf_Format)->Name("StringFormat/snprintf");
BENCHMARK(BM_XString_CopyShort)->Name("StringCopyShort/ours");
BENCHMARK(BM_Std_CopyShort)->Name("StringCopyShort/std");
BENCH_CASE_DOES("StringAppendChars", "ours: a new XString grown one character at a time to the length named; std: the "
                                     "same into a new std::string");
BENCH_CASE_DOES("StringAppendWords", "ours: a new XString grown by the five-character word the number of times named; "
                                     "std: the same into a new std::string");
BENCH_CASE_DOES("StringFormat", "ours: XString::Format of a name, an int and a float; snprintf: the same text "
                                "formatted into a buffer and assigned to a std::string");
BENCH_CASE_DOES("StringCopyShort", "ours: an XString copy of a 16-character name; std: a std::string copy of it, past "
                                   "its small-string buffer so that both allocate");
