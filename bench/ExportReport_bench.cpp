#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "bench/BenchCase.h"
#include "exporter/options/Max2Qdx.h"
#include "exporter/report/ReportPrintf.h"

// The export report: n per-node lines formatted into a fresh exporter's
// report with ReportPrintf, against formatting each line with snprintf into
// a stack buffer and appending it to a fresh std::string. Same format, same
// arguments, no log on either side.
namespace {

const char kFormat[] = "  Node %s : %d faces, %d vertices, material \"%s\"\r\n";
const char* const kNames[] = {"Box01", "Sphere_Large_002", "Teapot", "Bip01 L Forearm"};

BENCH_CASE_DOES("ReportLines", "ours: ReportPrintf of n node lines into a new exporter's report; "
                               "std: snprintf of each line into a 256-byte buffer appended to a new std::string");

void BM_ReportOurs(benchmark::State& state)
{
    const int lines = (int) state.range(0);
    for (auto _ : state) {
        Max2Qdx exporter;
        exporter.reportLevel = 3;
        for (int i = 0; i < lines; ++i)
            ReportPrintf(&exporter, 1 + (i & 1), kFormat, kNames[i & 3], i * 12, i * 7, kNames[(i >> 2) & 3]);
        benchmark::DoNotOptimize(exporter.GetReportText());
        state.counters["bytes"] = exporter.reportLength;
    }
    state.SetItemsProcessed(state.iterations() * lines);
}

void BM_ReportStd(benchmark::State& state)
{
    const int lines = (int) state.range(0);
    for (auto _ : state) {
        std::string report;
        char buffer[256];
        for (int i = 0; i < lines; ++i) {
            int n = std::snprintf(buffer, sizeof(buffer), kFormat, kNames[i & 3], i * 12, i * 7, kNames[(i >> 2) & 3]);
            report.append(buffer, (size_t) n);
        }
        benchmark::DoNotOptimize(report.data());
        state.counters["bytes"] = (double) report.size();
    }
    state.SetItemsProcessed(state.iterations() * lines);
}

} // namespace

BENCHMARK(BM_ReportOurs)->Name("ReportLines/ours")->ArgName("lines")->Arg(100000)->Arg(1000000);
BENCHMARK(BM_ReportStd)->Name("ReportLines/std")->ArgName("lines")->Arg(100000)->Arg(1000000);
