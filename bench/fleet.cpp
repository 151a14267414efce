// Many signs in one run: `meridial-cli sync --all` over 1, 8 and 32 virtual signs (each its own
// meridial-sign), and 8 behind ser2net. Prints the wall time against one sign's Transfer, the
// CLI's CPU share and its peak resident memory.
//
//   bench/fleet [runs]

#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "BenchSupport.h"

namespace {

using meridial::bench::Spawn;

using Clock = std::chrono::steady_clock;

struct Sign {
    pid_t pid = -1;
    std::string device;
};

Sign StartSign() {
    int fds[2];
    if (::pipe(fds) != 0) return {};
    Sign sign{Spawn({MERIDIAL_SIGN_PATH}, fds[1]), {}};
    ::close(fds[1]);
    char line[256] = {};
    const ssize_t n = ::read(fds[0], line, sizeof line - 1);
    ::close(fds[0]);
    if (n > 0) sign.device.assign(line, static_cast<std::size_t>(n));
    while (!sign.device.empty() && (sign.device.back() == '\n' || sign.device.back() == '\r'))
        sign.device.pop_back();
    return sign;
}

int FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

struct Run {
    double wallMs = 0;
    double cpuMs = 0;
    long peakRssKb = 0;
    bool ok = false;
};

Run TimeCli(const std::vector<std::string>& args) {
    const int devNull = ::open("/dev/null", O_WRONLY);
    const auto start = Clock::now();
    const pid_t cli = Spawn(args, devNull, true);
    int status = 0;
    rusage usage{};
    ::wait4(cli, &status, 0, &usage);
    ::close(devNull);
    Run run;
    run.wallMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    run.cpuMs = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
                (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    run.peakRssKb = usage.ru_maxrss;
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return run;
}

const std::string kMessage = "Opening hours 9-17";

// Fixed values, so no sign spends time on zone rules and every run sends the same bytes.
std::string Section(int i, const std::string& port) {
    return "[sign" + std::to_string(i) + "]\nport=" + port + "\nmessage=" + kMessage +
           "\ntz=UTC\n\n";
}

void Measure(const char* label, const std::vector<std::string>& ports, double oneSignMs, int runs,
             const std::string& file) {
    {
        std::ofstream out(file, std::ios::trunc);
        for (std::size_t i = 0; i < ports.size(); ++i)
            out << Section(static_cast<int>(i), ports[i]);
    }
    double worst = 0;
    for (int r = 1; r <= runs; ++r) {
        const Run run = TimeCli({MERIDIAL_CLI_PATH, "sync", "--all", "--signs", file});
        const double ratio = run.wallMs / oneSignMs;
        worst = std::max(worst, ratio);
        std::printf("%-22s %4d %10.1f %8.3f %8.2f %10.1f%s\n", label, r, run.wallMs, ratio,
                    100.0 * run.cpuMs / run.wallMs, run.peakRssKb / 1024.0,
                    run.ok ? "" : "  (not every sign acknowledged)");
    }
    std::printf("%-22s worst ratio %.3f (goal <= 1.10 at 32 signs)\n", label, worst);
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::atoi(argv[1]) : 3;
    ::setenv("MERIDIAL_SETTINGS", "/nonexistent/meridial.INI", 1);
    const std::string file = "/tmp/meridial-bench-fleet-" + std::to_string(::getpid()) + ".ini";

    std::vector<Sign> signs;
    for (int i = 0; i < 32; ++i) signs.push_back(StartSign());
    for (const Sign& sign : signs)
        if (sign.device.empty()) {
            std::fprintf(stderr, "cannot start the virtual signs\n");
            return 1;
        }

    // One sign's Transfer, the yardstick: the best of a few.
    double oneSignMs = 1e9;
    for (int r = 0; r < 3; ++r) {
        const Run run = TimeCli({MERIDIAL_CLI_PATH, "transfer", "--port", signs[0].device,
                                 "--message", kMessage, "--tz", "UTC"});
        oneSignMs = std::min(oneSignMs, run.wallMs);
    }
    std::printf("one sign's transfer: %.1f ms\n", oneSignMs);
    std::printf("%-22s %4s %10s %8s %8s %10s\n", "signs", "run", "wall ms", "ratio", "cpu %",
                "peak MiB");
    for (const int count : {1, 8, 32}) {
        std::vector<std::string> ports;
        for (int i = 0; i < count; ++i) ports.push_back(signs[static_cast<std::size_t>(i)].device);
        Measure((std::to_string(count) + " on their own ports").c_str(), ports, oneSignMs, runs,
                file);
    }

    // Eight behind one ser2net, each on its own TCP port.
    std::string config;
    std::vector<std::string> targets;
    for (int i = 0; i < 8; ++i) {
        const int port = FreePort();
        config += "connection: &s" + std::to_string(i) + "\n  accepter: tcp,127.0.0.1," +
                  std::to_string(port) + "\n  connector: serialdev," +
                  signs[static_cast<std::size_t>(i)].device + ",9600n81,local\n";
        targets.push_back("tcp://127.0.0.1:" + std::to_string(port));
    }
    const std::string configFile = file + ".yaml";
    std::ofstream(configFile) << config;
    const int devNull = ::open("/dev/null", O_WRONLY);
    // An instance of its own on its own configuration, whether or not the packaged service runs;
    // Debian puts the program in /usr/sbin, which a user's PATH lacks.
    const std::string program =
        ::access("/usr/sbin/ser2net", X_OK) == 0 ? "/usr/sbin/ser2net" : "ser2net";
    const pid_t server = Spawn({program, "-n", "-u", "-c", configFile}, devNull, true);
    if (server > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        Measure("8 behind ser2net", targets, oneSignMs, runs, file);
        ::kill(server, SIGTERM);
        ::waitpid(server, nullptr, 0);
    } else {
        std::printf("8 behind ser2net: ser2net is not installed\n");
    }
    std::printf(
        "ratio: the run's wall time over one sign's transfer; cpu: the CLI's share of "
        "one core over the run.\n");

    for (const Sign& sign : signs) ::kill(sign.pid, SIGTERM);
    for (const Sign& sign : signs) ::waitpid(sign.pid, nullptr, 0);
    std::remove(file.c_str());
    std::remove(configFile.c_str());
    return 0;
}
