#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <unistd.h>

#include "system/log/QxLogListener.h"
#include "system/log/QxLogManager.h"

// The cost of one message: with no listener at all (nothing is formatted),
// with one listener that does not take the message's source, and with one
// file listener (formatting, the line layout, a write and a flush).
namespace {

// A fresh ENGINE_LOG_DIR for the file listener, removed at the end of the
// benchmark (a failed removal is reported on the benchmark).
class BenchLogDir
{
public:
    explicit BenchLogDir(benchmark::State& state) : m_State(state)
    {
        ::mkdtemp(m_Dir);
        setenv("ENGINE_LOG_DIR", m_Dir, 1);
    }
    ~BenchLogDir()
    {
        std::string cleanup = std::string("rm -rf ") + m_Dir;
        if (std::system(cleanup.c_str()) != 0)
            m_State.SkipWithError("cleanup failed");
    }
    BenchLogDir(const BenchLogDir&) = delete;
    BenchLogDir& operator=(const BenchLogDir&) = delete;

private:
    benchmark::State& m_State;
    char m_Dir[28] = "/tmp/engine-logbench-XXXXXX";
};

// The measured loop: one formatted message of the source an iteration.
void LogMessages(benchmark::State& state, QxLogManager& log, int source)
{
    int i = 0;
    for (auto _ : state)
        log.SetContext(source, QXLOG_INFO, __LINE__, __FILE__)->Log("value %d of %s", i++, "bench");
}

void BM_Log_NoListener(benchmark::State& state)
{
    QxLogManager log;
    int source = log.RegisterSource("QxMath");
    LogMessages(state, log, source);
}

void BM_Log_FilteredOut(benchmark::State& state)
{
    BenchLogDir dir(state);
    QxLogManager log;
    int source = log.RegisterSource("QxMath");
    int other = log.RegisterSource("CK2");
    log.CreateListener(QXLOG_FILE_LISTENER_GUID, "bench", other);
    LogMessages(state, log, source);
}

void BM_Log_FileListener(benchmark::State& state)
{
    BenchLogDir dir(state);
    QxLogManager log;
    int source = log.RegisterSource("QxMath");
    QxLogListener* file = log.CreateListener(QXLOG_FILE_LISTENER_GUID, "bench", source);
    file->SetTimeFormat(static_cast<int>(state.range(0)));
    LogMessages(state, log, source);
}

} // namespace

BENCHMARK(BM_Log_NoListener);
BENCHMARK(BM_Log_FilteredOut);
BENCHMARK(BM_Log_FileListener)->Arg(0)->Arg(3);
