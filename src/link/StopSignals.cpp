#include "link/StopSignals.h"

#include <atomic>
#include <cerrno>
#include <csignal>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

namespace meridial {
namespace {

// Written from the handler: only a lock-free atomic and write() may be touched there.
std::atomic<int> g_signal{0};
static_assert(std::atomic<int>::is_always_lock_free);
#ifndef _WIN32
int g_pipe[2] = {-1, -1};
#endif

extern "C" void OnStopSignal(int signal) {
    const int savedErrno = errno;
    int none = 0;
    g_signal.compare_exchange_strong(none, signal);
#ifndef _WIN32
    if (g_pipe[1] >= 0) {
        const char byte = 1;
        // A full pipe already wakes the reader; nothing is lost by dropping this byte.
        [[maybe_unused]] const auto written = ::write(g_pipe[1], &byte, 1);
    }
#endif
    errno = savedErrno;
}

}  // namespace

void CatchStopSignals() {
#ifndef _WIN32
    if (g_pipe[0] < 0 && ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) g_pipe[0] = g_pipe[1] = -1;
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a sleep or poll the signal interrupts returns, and the waits look at the
    // flag again at once.
    action.sa_flags = 0;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signal, &action, nullptr);
    // A closed output (`meridial-cli transfer -v 2>&1 | head`) is no reason to stop sending: the
    // default would end the program mid-frame, leaving a cut frame on the line and the lock file
    // behind. Ignored, the trace and the result that no one reads any more fail quietly with
    // EPIPE and the sequence ends as it would have.
    ::signal(SIGPIPE, SIG_IGN);
#else
    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);
#endif
}

int StopSignal() { return g_signal.load(); }

int StopExitCode() { return StopSignal() == 0 ? 0 : 128 + StopSignal(); }

const char* StopSignalName() {
    switch (StopSignal()) {
        case SIGINT:
            return "SIGINT";
        case SIGTERM:
            return "SIGTERM";
#ifndef _WIN32
        case SIGHUP:
            return "SIGHUP";
#endif
        default:
            return "";
    }
}

int StopSignalFd() {
#ifndef _WIN32
    return g_pipe[0];
#else
    return -1;
#endif
}

void DrainStopSignalFd() {
#ifndef _WIN32
    char bytes[64];
    while (g_pipe[0] >= 0 && ::read(g_pipe[0], bytes, sizeof bytes) > 0) {
    }
#endif
}

}  // namespace meridial
