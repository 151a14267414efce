// meridial-sign: a virtual sign on a pseudo-terminal. It decodes every frame it receives, shows
// what its three lines would display, answers a transfer the way it is told to, and can log
// every frame with its timing as JSON lines.

#include <fcntl.h>
#include <getopt.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>
#include <string>

#include "sign/FrameReport.h"
#include "sign/Pty.h"
#include "sign/SignSession.h"

using namespace meridial;
using namespace meridial::sign;

namespace {

volatile sig_atomic_t g_stop = 0;
void OnSignal(int) { g_stop = 1; }

long long NowMs() {
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

const char* const kUsage = R"(Usage: meridial-sign [options]
A virtual sign. Without --device it opens a pseudo-terminal and prints its path as the first line.
  --link PATH        also make a symbolic link PATH to the device
  --device PATH      serve on an existing serial device (null-modem cable) instead
  --log FILE         append one JSON object per frame received
  --reply MODE       answer to a transfer: ack (default; "NACK" when a frame was faulty),
                     nak, silent, garbage, partial, split
  --reply-delay MS   wait this long before answering (default 0)
  --id N             answer only transfers addressed to Sign ID N (default: any)
  -h, --help         this help
  --version          the program's version
Options take their value as '--opt value' or '--opt=value'.
)";

struct Options {
    std::string link;
    std::string device;
    std::string log;
    SessionOptions session;
};

[[noreturn]] void Die(const std::string& message) {
    std::fprintf(stderr, "meridial-sign: %s\n", message.c_str());
    std::exit(2);
}

std::optional<int> Number(const char* text, int low, int high) {
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || v < low || v > high) return std::nullopt;
    return static_cast<int>(v);
}

Options Parse(int argc, char** argv) {
    enum : int { kLink = 256, kDevice, kLog, kReply, kReplyDelay, kId, kVersion };
    static const option kLongOptions[] = {
        {"link", required_argument, nullptr, kLink},
        {"device", required_argument, nullptr, kDevice},
        {"log", required_argument, nullptr, kLog},
        {"reply", required_argument, nullptr, kReply},
        {"reply-delay", required_argument, nullptr, kReplyDelay},
        {"id", required_argument, nullptr, kId},
        {"help", no_argument, nullptr, 'h'},
        {"version", no_argument, nullptr, kVersion},
        {nullptr, 0, nullptr, 0},
    };
    // getopt_long's own messages would lack the usage hint; say it ourselves.
    opterr = 0;
    Options o;
    int c = 0;
    while ((c = ::getopt_long(argc, argv, ":h", kLongOptions, nullptr)) != -1) {
        switch (c) {
            case 'h':
                std::fputs(kUsage, stdout);
                std::exit(0);
            case kVersion:
                std::printf("meridial-sign %s\n", MERIDIAL_VERSION);
                std::exit(0);
            case kLink:
                o.link = optarg;
                break;
            case kDevice:
                o.device = optarg;
                break;
            case kLog:
                o.log = optarg;
                break;
            case kReply: {
                const auto mode = ParseReplyMode(optarg);
                if (!mode) Die(std::string("--reply: unknown mode '") + optarg + "'");
                o.session.reply = *mode;
                break;
            }
            case kReplyDelay: {
                const auto ms = Number(optarg, 0, 60000);
                if (!ms) Die("--reply-delay: give milliseconds 0..60000");
                o.session.replyDelayMs = *ms;
                break;
            }
            case kId:
                o.session.onlyId = Number(optarg, 0, 99);
                if (!o.session.onlyId) Die("--id: give a Sign ID 0..99");
                break;
            case ':':
                Die(std::string(argv[optind - 1]) + " needs a value");
            default:
                Die(std::string("unknown option '") + argv[optind - 1] + "' (see --help)");
        }
    }
    if (optind < argc) Die(std::string("unexpected '") + argv[optind] + "' (see --help)");
    return o;
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = Parse(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);

    PseudoTerminal pty;
    if (!options.device.empty()) {
        pty.path = options.device;
        pty.fd = ::open(pty.path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (pty.fd < 0) Die("cannot open " + pty.path + ": " + std::strerror(errno));
        MakeRaw(pty.fd);
    } else {
        Result<PseudoTerminal> opened = OpenPseudoTerminal();
        if (!opened) Die(opened.error());
        pty = std::move(opened.value());
    }
    const int fd = pty.fd;
    const std::string& path = pty.path;
    if (!options.link.empty()) {
        struct stat st {};
        if (::lstat(options.link.c_str(), &st) == 0) {
            if (!S_ISLNK(st.st_mode)) Die(options.link + " exists and is not a symbolic link");
            ::unlink(options.link.c_str());
        }
        // symlink() never follows and fails when anything took the name meanwhile: the link is
        // created exclusively, like O_EXCL.
        if (::symlink(path.c_str(), options.link.c_str()) != 0)
            Die("cannot link " + options.link + ": " + std::strerror(errno));
    }
    FILE* log = nullptr;
    if (!options.log.empty()) {
        // In a shared folder the name may be someone's symbolic link or a FIFO: append only to a
        // regular file reached without following a link, and never wait for a reader.
        const int logFd =
            ::open(options.log.c_str(),
                   O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
        struct stat st {};
        if (logFd < 0 || ::fstat(logFd, &st) != 0 || !S_ISREG(st.st_mode) ||
            !(log = ::fdopen(logFd, "a")))
            Die("cannot open log " + options.log + ": " +
                (logFd >= 0 && !S_ISREG(st.st_mode) ? "not a regular file" : std::strerror(errno)));
    }
    std::printf("%s\n", path.c_str());

    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
    ::signal(SIGPIPE, SIG_IGN);

    SignSession session(options.session);
    // A serial device's far side is another machine's; only a pseudo-terminal's is watched.
    std::optional<FarSideWatch> watch;
    if (pty.slaveHold >= 0) watch.emplace(pty);
    while (!g_stop) {
        long long now = NowMs();
        int timeout = -1;
        if (const auto due = session.NextDueAt())
            timeout = static_cast<int>(std::max(0LL, *due - now));

        pollfd polled[2] = {{fd, POLLIN, 0}, {watch ? watch->Fd() : -1, POLLIN, 0}};
        const int ready = ::poll(polled, 2, timeout);
        const pollfd& p = polled[0];
        now = NowMs();
        if (polled[1].revents & POLLIN) watch->Check();
        if (ready > 0 && (p.revents & POLLIN)) {
            unsigned char buffer[512];
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n > 0) session.Feed(buffer, static_cast<std::size_t>(n), now);
        } else if (ready > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL))) {
            if (!options.device.empty()) Die("the device went away");
            ::usleep(20000);  // a pseudo-terminal between two users of its far side
        }

        for (const SessionEvent& event : session.Advance(now)) {
            const FrameReport report = ReportFrame(event.frame);
            std::printf("%s\n", report.line.c_str());
            if (log) {
                std::fputs(report.json.c_str(), log);
                std::fflush(log);
            }
            if (const auto& lines = event.display)
                std::printf("display | %s | %s | %s\n", (*lines)[0].c_str(), (*lines)[1].c_str(),
                            (*lines)[2].c_str());
        }
        const std::string reply = session.TakeDueReply(NowMs());
        if (!reply.empty()) {
            [[maybe_unused]] const auto written = ::write(fd, reply.data(), reply.size());
        }
    }
    // Only our own link goes: the name may have been taken by someone else since.
    if (!options.link.empty()) {
        char target[4096];
        const ssize_t n = ::readlink(options.link.c_str(), target, sizeof target);
        if (n >= 0 && std::string(target, static_cast<std::size_t>(n)) == path)
            ::unlink(options.link.c_str());
    }
    watch.reset();
    ClosePseudoTerminal(pty);
    return 0;
}
