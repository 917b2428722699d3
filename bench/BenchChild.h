#pragma once

#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>

#include "bench/BenchTempFile.h"

extern char** environ;

// Runs the command line in a child process, its output thrown away; returns
// the child's peak resident memory in MB, or -1 when it failed. GNU time
// measures it: a child started straight from this process would count this
// process's own memory, which it shares until it runs the command.
inline double RunChild(const std::vector<std::string>& command)
{
    const std::string peakFile = BenchTempFile("peak.txt");
    std::vector<std::string> args = {"/usr/bin/time", "-f", "%M", "-o", peakFile};
    args.insert(args.end(), command.begin(), command.end());
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    std::FILE* file = std::fopen(peakFile.c_str(), "r");
    long kilobytes = -1;
    if (file) {
        if (std::fscanf(file, "%ld", &kilobytes) != 1)
            kilobytes = -1;
        std::fclose(file);
    }
    return kilobytes < 0 ? -1 : double(kilobytes) / 1024.0;
}
