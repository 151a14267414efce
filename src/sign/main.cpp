// meridial-sign: a virtual sign on a pseudo-terminal. It decodes every frame it receives, shows
// what its three lines would display, answers a transfer the way it is told to, and can log
// every frame with its timing as JSON lines.

#include <fcntl.h>
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
  --help
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
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> const char* {
            if (i + 1 >= argc) Die(a + " needs a value");
            return argv[++i];
        };
        if (a == "--help") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        } else if (a == "--link") {
            o.link = value();
        } else if (a == "--device") {
            o.device = value();
        } else if (a == "--log") {
            o.log = value();
        } else if (a == "--reply") {
            const std::string m = value();
            const auto mode = ParseReplyMode(m);
            if (!mode) Die("--reply: unknown mode '" + m + "'");
            o.session.reply = *mode;
        } else if (a == "--reply-delay") {
            const auto ms = Number(value(), 0, 60000);
            if (!ms) Die("--reply-delay: give milliseconds 0..60000");
            o.session.replyDelayMs = *ms;
        } else if (a == "--id") {
            o.session.onlyId = Number(value(), 0, 99);
            if (!o.session.onlyId) Die("--id: give a Sign ID 0..99");
        } else {
            Die("unknown option '" + a + "' (see --help)");
        }
    }
    return o;
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = Parse(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);

    int fd = -1;
    int slaveHold = -1;
    std::string path;
    if (!options.device.empty()) {
        path = options.device;
        fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd < 0) Die("cannot open " + path + ": " + std::strerror(errno));
        MakeRaw(fd);
    } else {
        const Result<PseudoTerminal> pty = OpenPseudoTerminal();
        if (!pty) Die(pty.error());
        fd = pty->fd;
        slaveHold = pty->slaveHold;
        path = pty->path;
    }
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
    while (!g_stop) {
        long long now = NowMs();
        int timeout = -1;
        if (const auto due = session.NextDueAt())
            timeout = static_cast<int>(std::max(0LL, *due - now));

        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, timeout);
        now = NowMs();
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
    if (slaveHold >= 0) ::close(slaveHold);
    ::close(fd);
    return 0;
}
