#pragma once

#include <benchmark/benchmark.h>

#include <string>

// What both sides of a case do, in one line: scripts/bench prints it under
// the case's rows, so that a ratio is read with the work behind it. It goes
// into the "context" part of the JSON results as "does <Case>".
inline int BenchCaseDoes(const char* name, const char* text)
{
    benchmark::AddCustomContext(std::string("does ") + name, text);
    return 0;
}

#define BENCH_CASE_JOIN2(a, b) a##b
#define BENCH_CASE_JOIN(a, b) BENCH_CASE_JOIN2(a, b)
// BENCH_CASE_DOES("FileLoad", "ours: ...; loader: ...") at namespace scope.
#define BENCH_CASE_DOES(name, text)                                                                                    \
    [[maybe_unused]] static const int BENCH_CASE_JOIN(g_BenchCaseDoes, __LINE__) = BenchCaseDoes(name, text)
