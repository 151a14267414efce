// Transfer timing against the virtual sign: wall time of meridial-cli's Transfer, the protocol
// floor it cannot beat, their ratio, and the CLI's CPU time as a share of its wall time.
//
//   bench/transfer [runs]      (run from the build folder's bench/ or anywhere; paths are built in)

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "link/SignFrame.h"
#include "message/TransferSequence.h"

#include "BenchSupport.h"

namespace {

using meridial::bench::Spawn;

using Clock = std::chrono::steady_clock;

constexpr double kByteLineMs = 10.0 / 9600.0 * 1000.0;  // start, 8 data, stop bits at 9600 baud

// Mandated pauses and message spacing: all a pseudo-terminal (which has no line time) imposes.
double PauseFloorMs(std::size_t messageFrameBytes) {
    return 3.0 * meridial::kHeaderPauseMs + 2.0 * meridial::kFramePauseMs +
           static_cast<double>(messageFrameBytes) * meridial::kMessageByteIntervalMs;
}

// Mandated pauses, message spacing and the line time of every byte, the reply's included.
double FloorMs(std::size_t messageFrameBytes) {
    constexpr std::size_t kClockBytes = 21, kZoneBytes = 26, kReplyBytes = 3;
    const double pauses = 3.0 * meridial::kHeaderPauseMs + 2.0 * meridial::kFramePauseMs;
    const double spacing =
        static_cast<double>(messageFrameBytes) * meridial::kMessageByteIntervalMs;
    const double line =
        static_cast<double>(kClockBytes + kZoneBytes + messageFrameBytes + kReplyBytes) *
        kByteLineMs;
    return pauses + spacing + line;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::atoi(argv[1]) : 5;
    const std::string link = "/tmp/meridial-bench-sign-" + std::to_string(::getpid());
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return 1;
    const pid_t sign = Spawn({MERIDIAL_SIGN_PATH, "--link", link}, pipeFds[1]);
    ::close(pipeFds[1]);
    if (sign < 0) {
        std::fprintf(stderr, "cannot start the virtual sign\n");
        return 1;
    }
    char first[256] = {};
    [[maybe_unused]] const auto n = ::read(pipeFds[0], first, sizeof first - 1);  // device line

    const int devNull = ::open("/dev/null", O_WRONLY);
    std::printf("%-8s %5s %10s %10s %7s %12s %9s %8s\n", "message", "run", "wall ms", "floor ms",
                "ratio", "no-line ms", "ratio", "cpu %");
    for (int length : {5, 150}) {
        const std::string message(static_cast<std::size_t>(length), 'M');
        const double floor = FloorMs(14 + message.size());
        const double pauseFloor = PauseFloorMs(14 + message.size());
        double worstRatio = 0, worstPauseRatio = 0, worstCpu = 0;
        for (int run = 1; run <= runs; ++run) {
            const auto start = Clock::now();
            const pid_t cli = Spawn(
                {MERIDIAL_CLI_PATH, "transfer", "--port", link, "--message", message}, devNull);
            int status = 0;
            rusage usage{};
            ::wait4(cli, &status, 0, &usage);
            const double wall =
                std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            const double cpu = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
                               (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
            const bool ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
            std::printf("%-8d %5d %10.1f %10.1f %7.3f %12.1f %9.3f %8.2f%s\n", length, run, wall,
                        floor, wall / floor, pauseFloor, wall / pauseFloor, 100.0 * cpu / wall,
                        ok ? "" : "  (not acknowledged)");
            worstRatio = std::max(worstRatio, wall / floor);
            worstPauseRatio = std::max(worstPauseRatio, wall / pauseFloor);
            worstCpu = std::max(worstCpu, 100.0 * cpu / wall);
        }
        std::printf(
            "%-8d worst: ratio %.3f to the full floor (target <= 1.03), %.3f to the pauses "
            "alone, cpu %.2f %% (target <= 2 %%)\n",
            length, worstRatio, worstPauseRatio, worstCpu);
    }
    std::printf(
        "A pseudo-terminal has no line time, so wall times fall under the full floor; the\n"
        "ratio to the pauses alone is the program's own overhead (process start included).\n");
    ::kill(sign, SIGTERM);
    ::waitpid(sign, nullptr, 0);
    return 0;
}
