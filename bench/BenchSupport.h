#pragma once

// What the benchmarks share: starting the programs they measure and reading their own CPU time.

#include <spawn.h>
#include <sys/resource.h>
#include <unistd.h>

#include <string>
#include <vector>

extern char** environ;

namespace meridial::bench {

// Starts a program (found on PATH when the name has no slash); its standard output, and its
// standard error with it, go to the descriptor when one is given. -1 when it cannot start.
inline pid_t Spawn(const std::vector<std::string>& args, int outputFd = -1,
                   bool withErrors = false) {
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (outputFd >= 0) {
        posix_spawn_file_actions_adddup2(&actions, outputFd, STDOUT_FILENO);
        if (withErrors) posix_spawn_file_actions_adddup2(&actions, outputFd, STDERR_FILENO);
    }
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// This process's user and system time so far.
inline double CpuMs() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 +
           (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

}  // namespace meridial::bench
