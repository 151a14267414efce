// meridial-sign: a virtual sign on a pseudo-terminal. It decodes every frame it receives, shows
// what its three lines would display, answers a transfer the way it is told to, and can log
// every frame with its timing as JSON lines.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <optional>
#include <string>

#include "link/SignFrame.h"
#include "sign/SignDecoder.h"
#include "sign/SignState.h"

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

enum class ReplyMode { Ack, Nak, Silent, Garbage, Partial, Split };

struct Options {
    std::string link;
    std::string device;
    std::string log;
    ReplyMode reply = ReplyMode::Ack;
    int replyDelayMs = 0;
    std::optional<int> id;
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
            if (m == "ack")
                o.reply = ReplyMode::Ack;
            else if (m == "nak")
                o.reply = ReplyMode::Nak;
            else if (m == "silent")
                o.reply = ReplyMode::Silent;
            else if (m == "garbage")
                o.reply = ReplyMode::Garbage;
            else if (m == "partial")
                o.reply = ReplyMode::Partial;
            else if (m == "split")
                o.reply = ReplyMode::Split;
            else
                Die("--reply: unknown mode '" + m + "'");
        } else if (a == "--reply-delay") {
            const auto ms = Number(value(), 0, 60000);
            if (!ms) Die("--reply-delay: give milliseconds 0..60000");
            o.replyDelayMs = *ms;
        } else if (a == "--id") {
            o.id = Number(value(), 0, 99);
            if (!o.id) Die("--id: give a Sign ID 0..99");
        } else {
            Die("unknown option '" + a + "' (see --help)");
        }
    }
    return o;
}

void MakeRaw(int fd) {
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) return;
    ::cfmakeraw(&tio);
    ::cfsetispeed(&tio, B9600);
    ::cfsetospeed(&tio, B9600);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | PARENB | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    ::tcsetattr(fd, TCSANOW, &tio);
}

std::string JsonString(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (b < 0x20 || b >= 0x7F) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", b);
            out += esc;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string Moment(const MomentContent& m) {
    char text[48];
    if (m.IsEmpty())
        std::snprintf(text, sizeof text, "none (20%02d)", m.year);
    else
        std::snprintf(text, sizeof text, "20%02d-%02d-%02d %02d:00 UTC", m.year, m.month, m.day,
                      m.hour);
    return text;
}

char OffsetSign(const ZoneContent& z) {
    return z.east || (z.offsetHours == 0 && z.offsetMinutes == 0) ? '+' : '-';
}

// One line for the terminal, and the decoded fields for the log.
void Describe(const DecodedFrame& f, std::string& line, std::string& fields) {
    char text[256];
    static const char* const kOrders[] = {"MM-DD-YY", "YY-MM-DD", "DD-MM-YY", "?"};
    switch (f.kind) {
        case FrameKind::Clock: {
            const ClockContent& c = f.clock;
            std::snprintf(text, sizeof text,
                          "clock   id=%02d %04d-%02d-%02d %02d:%02d:%02d UTC weekday=%d", f.signId,
                          c.year, c.month, c.day, c.hour, c.minute, c.second, c.weekday);
            line = text;
            std::snprintf(text, sizeof text,
                          "{\"utc\":\"%04d-%02d-%02dT%02d:%02d:%02dZ\",\"weekday\":%d}", c.year,
                          c.month, c.day, c.hour, c.minute, c.second, c.weekday);
            fields = text;
            break;
        }
        case FrameKind::Zone: {
            const ZoneContent& z = f.zone;
            std::snprintf(text, sizeof text,
                          "zone    id=%02d dst-start=%s dst-end=%s offset=%c%02d:%02d time=%s "
                          "date=%s order=%s",
                          f.signId, Moment(z.start).c_str(), Moment(z.end).c_str(), OffsetSign(z),
                          z.offsetHours, z.offsetMinutes, z.twelveHour ? "12h" : "24h",
                          z.numericDate ? "number" : "alphabet", kOrders[z.dateOrder]);
            line = text;
            std::snprintf(text, sizeof text,
                          "{\"dstStart\":%s,\"dstEnd\":%s,\"offset\":\"%c%02d:%02d\","
                          "\"timeFormat\":\"%s\",\"dateStyle\":\"%s\",\"dateOrder\":\"%s\"}",
                          JsonString(Moment(z.start)).c_str(), JsonString(Moment(z.end)).c_str(),
                          OffsetSign(z), z.offsetHours, z.offsetMinutes, z.twelveHour ? "12" : "24",
                          z.numericDate ? "number" : "alphabet", kOrders[z.dateOrder]);
            fields = text;
            break;
        }
        case FrameKind::Message: {
            const std::string checksum =
                f.bytes.size() >= 4 ? HexBytes(f.bytes.substr(f.bytes.size() - 4, 1)) : "";
            std::snprintf(text, sizeof text, "message id=%02d", f.signId);
            line = std::string(text) + " speed=" + f.message.speed + " body=\"" +
                   Printable(f.message.body) + "\" sum=" + checksum;
            fields = "{\"speed\":\"" + std::string(1, f.message.speed) +
                     "\",\"body\":" + JsonString(f.message.body) + ",\"checksum\":\"" + checksum +
                     "\"}";
            break;
        }
        case FrameKind::Reset: {
            std::snprintf(text, sizeof text, "reset   new-id=%02X", f.newId);
            line = text;
            std::snprintf(text, sizeof text, "{\"newId\":\"%02X\"}", f.newId);
            fields = text;
            break;
        }
        case FrameKind::Invalid:
            line = "invalid " + std::to_string(f.bytes.size()) + " bytes skipped";
            fields = "{}";
            break;
    }
    if (f.checksumOk) line += *f.checksumOk ? " checksum ok" : "";
    if (!f.faults.empty()) {
        line += " FAULT:";
        for (const std::string& fault : f.faults) line += " " + fault + ";";
    }
}

std::string JsonLine(const DecodedFrame& f, const std::string& fields) {
    std::string faults = "[";
    for (const std::string& fault : f.faults)
        faults += (faults.size() > 1 ? "," : "") + JsonString(fault);
    faults += "]";
    char text[256];
    std::snprintf(text, sizeof text,
                  "\"firstByteMs\":%lld,\"lastByteMs\":%lld,\"byte11Ms\":%s,\"longestGapMs\":%lld,"
                  "\"shortestGapMs\":%lld,",
                  f.firstByteMs, f.lastByteMs,
                  f.byte11Ms ? std::to_string(*f.byte11Ms).c_str() : "null", f.longestGapMs,
                  f.shortestGapMs);
    return "{\"kind\":\"" + std::string(KindName(f.kind)) +
           "\",\"signId\":" + (f.signId >= 0 ? std::to_string(f.signId) : "null") + ",\"hex\":\"" +
           HexBytes(f.bytes) + "\"," + text +
           "\"checksumOk\":" + (f.checksumOk ? (*f.checksumOk ? "true" : "false") : "null") +
           ",\"faults\":" + faults + ",\"decoded\":" + fields + "}\n";
}

struct Reply {
    long long dueMs;
    char byte;
};

void QueueReply(std::deque<Reply>& queue, ReplyMode mode, bool clean, long long at) {
    auto add = [&](const char* bytes, int gapMs) {
        for (int i = 0; bytes[i] != '\0'; ++i) queue.push_back({at + i * gapMs, bytes[i]});
    };
    switch (mode) {
        case ReplyMode::Ack:
            add(clean ? "ACK" : "NACK", 0);
            break;
        case ReplyMode::Nak:
            add("NACK", 0);
            break;
        case ReplyMode::Silent:
            break;
        case ReplyMode::Garbage:
            add("XYZ", 0);
            break;
        case ReplyMode::Partial:
            add("AC", 0);
            break;
        case ReplyMode::Split:
            add("ACK", 200);
            break;
    }
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
        fd = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd < 0 || ::grantpt(fd) != 0 || ::unlockpt(fd) != 0)
            Die(std::string("cannot open a pseudo-terminal: ") + std::strerror(errno));
        path = ::ptsname(fd);
        // Held open so the line stays up while programs open and close the device.
        slaveHold = ::open(path.c_str(), O_RDWR | O_NOCTTY);
        if (slaveHold < 0) Die("cannot open " + path + ": " + std::strerror(errno));
        MakeRaw(slaveHold);
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

    SignDecoder decoder;
    SignState state;
    std::deque<Reply> replies;

    while (!g_stop) {
        long long now = NowMs();
        int timeout = -1;
        auto consider = [&](std::optional<long long> due) {
            if (!due) return;
            const int wait = static_cast<int>(std::max(0LL, *due - now));
            timeout = timeout < 0 ? wait : std::min(timeout, wait);
        };
        consider(decoder.FlushDueAt());
        if (!replies.empty()) consider(replies.front().dueMs);

        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, timeout);
        now = NowMs();
        if (ready > 0 && (p.revents & POLLIN)) {
            unsigned char buffer[512];
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            for (ssize_t i = 0; i < n; ++i) decoder.Feed(buffer[i], now);
        } else if (ready > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL))) {
            if (!options.device.empty()) Die("the device went away");
            ::usleep(20000);  // a pseudo-terminal between two users of its far side
        }
        decoder.Flush(now);

        for (const DecodedFrame& frame : decoder.TakeFrames()) {
            std::string line, fields;
            Describe(frame, line, fields);
            std::printf("%s\n", line.c_str());
            if (log) {
                std::fputs(JsonLine(frame, fields).c_str(), log);
                std::fflush(log);
            }
            state.Apply(frame, now);
            if (frame.kind != FrameKind::Message) continue;
            const auto lines = state.Display(now);
            std::printf("display | %s | %s | %s\n", lines[0].c_str(), lines[1].c_str(),
                        lines[2].c_str());
            if (!options.id || *options.id == frame.signId)
                QueueReply(replies, options.reply, state.LastTransferClean(),
                           now + options.replyDelayMs);
        }
        while (!replies.empty() && replies.front().dueMs <= NowMs()) {
            [[maybe_unused]] const auto written = ::write(fd, &replies.front().byte, 1);
            replies.pop_front();
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
