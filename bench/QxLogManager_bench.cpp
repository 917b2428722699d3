#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "bench/BenchCase.h"
#include "bench/BenchTempFile.h"
#include "system/log/QxLogListener.h"
#include "system/log/QxLogManager.h"

// The cost of one message: with no listener at all (nothing is formatted),
// with one listener that does not take the message's source, and with one
// file listener (formatting, the line layout, a write and a flush), whose
// peer is one write(2) of a line of the same bytes into a file. The first
// two are measured against formatting the message's text alone, which is
// what a logger that formats before it looks for a reader pays.
namespace {

// A fresh ENGINE_LOG_DIR for the file listener, under the temporary folder;
// its log files are removed at the end of the benchmark (a failed removal
// is reported on the benchmark).
class BenchLogDir
{
public:
    explicit BenchLogDir(benchmark::State& state) : m_State(state), m_Dir(BenchTempFile("logs"))
    {
        std::filesystem::create_directory(m_Dir);
        setenv("ENGINE_LOG_DIR", m_Dir.c_str(), 1);
    }
    ~BenchLogDir()
    {
        unsetenv("ENGINE_LOG_DIR");
        std::error_code ec;
        if (std::filesystem::remove_all(m_Dir, ec) == static_cast<std::uintmax_t>(-1))
            m_State.SkipWithError("cleanup failed");
    }
    BenchLogDir(const BenchLogDir&) = delete;
    BenchLogDir& operator=(const BenchLogDir&) = delete;

private:
    benchmark::State& m_State;
    std::string m_Dir;
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

// The line the file listener writes for a message of LogMessages, with the
// date part of time format 3 (of the same length) when asked.
std::string SameLine(int timeFormat)
{
    char line[128];
    std::snprintf(line, sizeof(line), "[QxMath] [INFO] %s: value %d of bench\n",
                  timeFormat == 3 ? "[01/02/25 12:34:56:789] " : "", 1000000);
    return line;
}

void BM_Log_WritePeer(benchmark::State& state)
{
    const std::string path = BenchTempFile("peer.log");
    const std::string line = SameLine(static_cast<int>(state.range(0)));
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) {
        state.SkipWithError("cannot open the peer's file");
        return;
    }
    for (auto _ : state)
        if (::write(fd, line.data(), line.size()) != static_cast<ssize_t>(line.size()))
            state.SkipWithError("write failed");
    ::close(fd);
    std::remove(path.c_str());
}

// The message's text formatted into a buffer, and nothing else.
void BM_Log_SnprintfPeer(benchmark::State& state)
{
    int i = 0;
    char text[256];
    for (auto _ : state) {
        std::snprintf(text, sizeof(text), "value %d of %s", i++, "bench");
        benchmark::DoNotOptimize(text);
    }
}

} // namespace

BENCHMARK(BM_Log_NoListener)->Name("LogNoListener/ours");
BENCHMARK(BM_Log_SnprintfPeer)->Name("LogNoListener/snprintf");
BENCHMARK(BM_Log_FilteredOut)->Name("LogFilteredOut/ours");
BENCHMARK(BM_Log_SnprintfPeer)->Name("LogFilteredOut/snprintf");
BENCHMARK(BM_Log_FileListener)->Name("LogToFile/ours")->ArgName("timeformat")->Arg(0)->Arg(3);
BENCHMARK(BM_Log_WritePeer)->Name("LogToFile/write")->ArgName("timeformat")->Arg(0)->Arg(3);
BENCH_CASE_DOES("LogNoListener", "ours: a formatted message with no listener (nothing formatted); snprintf: the "
                                 "message's text formatted into a buffer, nothing else");
BENCH_CASE_PEER_KIND("LogNoListener", "snprintf", "other work");
BENCH_CASE_DOES("LogFilteredOut", "ours: a formatted message that the only listener does not take; snprintf: the "
                                  "message's text formatted into a buffer, nothing else");
BENCH_CASE_PEER_KIND("LogFilteredOut", "snprintf", "other work");
BENCH_CASE_DOES("LogToFile", "ours: a formatted message to a file listener (text, line layout, write, flush); "
                             "write: one write(2) of a line of the same bytes");
