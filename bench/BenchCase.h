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

// A peer that is not a rival doing the same work: "lower bound" (less than
// the work, such as a memcpy of the bytes a reader decodes), "own code" (the
// engine's own code, such as the same frame with a manager off) or "other
// work" (a reference point that does something else). scripts/bench marks
// the case's row with it and leaves its ratio out of the median of all
// ratios. It goes into the context as "peer <Case>/<peer>".
inline int BenchCasePeerKind(const char* name, const char* peer, const char* kind)
{
    benchmark::AddCustomContext(std::string("peer ") + name + "/" + peer, kind);
    return 0;
}

// BENCH_CASE_PEER_KIND("MeshDraw", "memcpy", "lower bound") at namespace scope.
#define BENCH_CASE_PEER_KIND(name, peer, kind)                                                                         \
    [[maybe_unused]] static const int BENCH_CASE_JOIN(g_BenchCasePeerKind, __LINE__) =                                 \
        BenchCasePeerKind(name, peer, kind)
