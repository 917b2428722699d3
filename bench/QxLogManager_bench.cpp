#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <unistd.h>

#include "system/QxLogListener.h"
#include "system/QxLogManager.h"

// The cost of one message: with no listener at all (nothing is formatted),
// with one listener that does not take the message's source, and with one
// file listener (formatting, the line layout, a write and a flush).
namespace {

void BM_Log_NoListener(benchmark::State& state)
{
    QxLogManager log;
    int source = log.RegisterSource("QxMath");
    int i = 0;
    for (auto _ : state)
        log.SetContext(source, QXLOG_INFO, __LINE__, __FILE__)->Log("value %d of %s", i++, "bench");
}

void BM_Log_FilteredOut(benchmark::State& state)
{
    char dir[] = "/tmp/engine-logbench-XXXXXX";
    ::mkdtemp(dir);
    setenv("ENGINE_LOG_DIR", dir, 1);
    {
        QxLogManager log;
        int source = log.RegisterSource("QxMath");
        int other = log.RegisterSource("CK2");
        log.CreateListener(QXLOG_FILE_LISTENER_GUID, "bench", other);
        int i = 0;
        for (auto _ : state)
            log.SetContext(source, QXLOG_INFO, __LINE__, __FILE__)->Log("value %d of %s", i++, "bench");
    }
    std::string cleanup = std::string("rm -rf ") + dir;
    if (std::system(cleanup.c_str()) != 0)
        state.SkipWithError("cleanup failed");
}

void BM_Log_FileListener(benchmark::State& state)
{
    char dir[] = "/tmp/engine-logbench-XXXXXX";
    ::mkdtemp(dir);
    setenv("ENGINE_LOG_DIR", dir, 1);
    {
        QxLogManager log;
        int source = log.RegisterSource("QxMath");
        QxLogListener* file = log.CreateListener(QXLOG_FILE_LISTENER_GUID, "bench", source);
        file->SetTimeFormat(static_cast<int>(state.range(0)));
        int i = 0;
        for (auto _ : state)
            log.SetContext(source, QXLOG_INFO, __LINE__, __FILE__)->Log("value %d of %s", i++, "bench");
    }
    std::string cleanup = std::string("rm -rf ") + dir;
    if (std::system(cleanup.c_str()) != 0)
        state.SkipWithError("cleanup failed");
}

} // namespace

BENCHMARK(BM_Log_NoListener);
BENCHMARK(BM_Log_FilteredOut);
BENCHMARK(BM_Log_FileListener)->Arg(0)->Arg(3);
