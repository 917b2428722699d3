#pragma once

#include <string>
#include <utility>
#include <vector>

#include "tests/support/HostCommandLineRun.h"
#include "tools/QdxExportArguments.h"

// qdxexport in this process, as its main runs it, with the arguments after
// the program name.
inline CommandRun RunQdxExport(std::vector<std::string> args)
{
    return RunCommandLine("qdxexport", std::move(args), QdxExportArguments(), QdxExportFunction);
}

// What an export printed on standard output: the report, then after a save
// the line "built: " and its totals. The report is the output without that
// line; BuiltTotals is the line's text after "built: ", "" when there is
// none.
inline std::string ReportOf(const std::string& out)
{
    const size_t at = out.rfind("built: ");
    return at != std::string::npos && (at == 0 || out[at - 1] == '\n') ? out.substr(0, at) : out;
}
inline std::string BuiltTotals(const std::string& out)
{
    const std::string report = ReportOf(out);
    if (report.size() == out.size() || out.back() != '\n')
        return "";
    return out.substr(report.size() + 7, out.size() - report.size() - 8);
}
// The totals of a qdxinfo summary: its last line's text after "totals: ",
// "" when it has none.
inline std::string SummaryTotals(const std::string& summary)
{
    const size_t line = summary.rfind('\n', summary.size() > 1 ? summary.size() - 2 : 0);
    const size_t at = line == std::string::npos || summary.size() < 2 ? 0 : line + 1;
    if (summary.compare(at, 8, "totals: ") != 0 || summary.back() != '\n')
        return "";
    return summary.substr(at + 8, summary.size() - at - 9);
}

// The block of a file dump that describes one object: its header line and the
// indented lines under it; empty when the dump has no such header.
inline std::string DumpBlock(const std::string& dump, const std::string& header)
{
    const size_t at = dump.find(header + "\n");
    if (at == std::string::npos)
        return "";
    size_t end = at + header.size() + 1;
    while (end < dump.size() && dump[end] == ' ')
        end = dump.find('\n', end) + 1;
    return dump.substr(at, end - at);
}
