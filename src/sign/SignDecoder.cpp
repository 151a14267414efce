#include "sign/SignDecoder.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace meridial::sign {
namespace {

constexpr std::size_t kClockFrameLength = 21;
constexpr std::size_t kZoneFrameLength = 26;
constexpr std::size_t kResetFrameLength = 11;
constexpr std::size_t kHeaderLength = 10;
constexpr std::string_view kSync = "<ID";

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsHex(char c) { return IsDigit(c) || (c >= 'A' && c <= 'F'); }

std::string Hex2(std::uint8_t b) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", b);
    return text;
}

// Reads a packed-BCD byte, noting a fault when either nibble is not a decimal digit or the value
// lies outside its range.
int Bcd(std::uint8_t b, const char* field, int low, int high, std::vector<std::string>& faults) {
    if ((b >> 4) > 9 || (b & 0x0F) > 9) {
        faults.push_back(std::string(field) + " " + Hex2(b) + " is not packed BCD");
        return 0;
    }
    const int value = (b >> 4) * 10 + (b & 0x0F);
    if (value < low || value > high)
        faults.push_back(std::string(field) + " " + std::to_string(value) + " out of range");
    return value;
}

MomentContent Moment(const std::string& p, std::size_t at, const char* row,
                     std::vector<std::string>& faults) {
    const std::string name = row;
    auto u8 = [&](std::size_t i) { return static_cast<std::uint8_t>(p[at + i]); };
    MomentContent m;
    m.hour = Bcd(u8(0), (name + " hour").c_str(), 0, 23, faults);
    m.day = Bcd(u8(1), (name + " day").c_str(), 0, 31, faults);
    m.month = Bcd(u8(2), (name + " month").c_str(), 0, 12, faults);
    m.year = Bcd(u8(3), (name + " year").c_str(), 0, 99, faults);
    return m;
}

void DecodeClock(DecodedFrame& f, const std::string& p) {
    auto u8 = [&](std::size_t i) { return static_cast<std::uint8_t>(p[i]); };
    ClockContent& c = f.clock;
    c.second = Bcd(u8(0), "second", 0, 59, f.faults);
    c.minute = Bcd(u8(1), "minute", 0, 59, f.faults);
    c.hour = Bcd(u8(2), "hour", 0, 23, f.faults);
    c.day = Bcd(u8(3), "day", 1, 31, f.faults);
    c.month = Bcd(u8(4), "month", 1, 12, f.faults);
    c.weekday = u8(5);
    if (c.weekday < 1 || c.weekday > 7)
        f.faults.push_back("weekday " + std::to_string(c.weekday) + " out of range");
    c.year = 2000 + Bcd(u8(6), "year", 0, 99, f.faults);
}

void DecodeZone(DecodedFrame& f, const std::string& p) {
    auto u8 = [&](std::size_t i) { return static_cast<std::uint8_t>(p[i]); };
    ZoneContent& z = f.zone;
    z.start = Moment(p, 0, "dst start", f.faults);
    z.end = Moment(p, 4, "dst end", f.faults);
    if (u8(8) > 1) f.faults.push_back("offset sign " + Hex2(u8(8)) + " is neither 0 nor 1");
    z.east = u8(8) == 1;
    const std::uint8_t formats = u8(9);
    if ((formats & ~0x71) != 0 || (formats & 0x60) == 0x60)
        f.faults.push_back("format byte " + Hex2(formats) + " has unknown bits");
    z.twelveHour = (formats & 0x01) != 0;
    z.numericDate = (formats & 0x10) != 0;
    z.dateOrder = (formats >> 5) & 0x03;
    z.offsetHours = Bcd(u8(10), "offset hours", 0, 14, f.faults);
    z.offsetMinutes = Bcd(u8(11), "offset minutes", 0, 59, f.faults);
}

}  // namespace

const char* KindName(FrameKind kind) {
    switch (kind) {
        case FrameKind::Clock:
            return "clock";
        case FrameKind::Zone:
            return "zone";
        case FrameKind::Message:
            return "message";
        case FrameKind::Reset:
            return "reset";
        case FrameKind::Invalid:
            break;
    }
    return "invalid";
}

void SignDecoder::Feed(std::uint8_t byte, long long timeMs) {
    m_bytes.push_back(static_cast<char>(byte));
    m_times.push_back(timeMs);
    Process(false);
}

void SignDecoder::Flush(long long nowMs) {
    if (m_bytes.empty() || nowMs - m_times.back() < kIdleFlushMs) return;
    Process(true);
}

std::optional<long long> SignDecoder::FlushDueAt() const {
    if (m_bytes.empty()) return std::nullopt;
    return m_times.back() + kIdleFlushMs;
}

std::vector<DecodedFrame> SignDecoder::TakeFrames() { return std::exchange(m_frames, {}); }

void SignDecoder::Process(bool idle) {
    while (!m_bytes.empty()) {
        SkipNoise(idle);
        if (m_bytes.empty()) return;
        if (!m_bytes.starts_with(kSync)) {
            // Only a possible start of "<ID" is left; on a quiet line it is noise.
            if (idle) Reject(m_bytes.size(), "noise outside any frame");
            return;
        }
        if (!TryComplete(idle)) return;
    }
}

void SignDecoder::SkipNoise(bool idle) {
    std::size_t i = m_noiseChecked;
    const std::size_t n = m_bytes.size();
    for (; i < n; ++i) {
        std::size_t k = 0;
        while (k < kSync.size() && i + k < n && m_bytes[i + k] == kSync[k]) ++k;
        if (k == kSync.size() || i + k == n) break;  // a sync, or a sync that may be coming
    }
    m_noiseChecked = i;
    // Noise is reported in one piece: when a frame starts after it, or when the line is quiet.
    const bool noSyncYet = i == n;
    if (i > 0 && (!noSyncYet || idle || n > kMaxFrameBytes)) Reject(i, "noise outside any frame");
}

void SignDecoder::Emit(DecodedFrame frame, std::size_t length) {
    frame.bytes = m_bytes.substr(0, length);
    for (std::size_t i = 1; i < length; ++i) {
        const long long gap = m_times[i] - m_times[i - 1];
        frame.longestGapMs = std::max(frame.longestGapMs, gap);
        frame.shortestGapMs = i == 1 ? gap : std::min(frame.shortestGapMs, gap);
    }
    frame.firstByteMs = m_times.front();
    frame.lastByteMs = m_times[length - 1];
    if (length >= 11) frame.byte11Ms = m_times[10];
    m_bytes.erase(0, length);
    m_times.erase(m_times.begin(), m_times.begin() + static_cast<std::ptrdiff_t>(length));
    m_frames.push_back(std::move(frame));
    m_noiseChecked = 0;
    m_endScanned = 0;
    m_bodyXorEnd = 0;
    m_bodyXor = 0;
    m_firstEnd = std::string::npos;
}

void SignDecoder::Reject(std::size_t length, const std::string& fault) {
    DecodedFrame frame;
    frame.faults.push_back(fault);
    Emit(std::move(frame), length);
}

bool SignDecoder::TryComplete(bool idle) {
    const std::string& b = m_bytes;
    const std::size_t n = b.size();

    if (n < 4) return idle ? Resync(idle, "truncated frame") : false;
    if (b[3] == '>') {
        const std::string shape = "<ID><XX><E>";
        for (std::size_t i = 4; i < std::min(n, kResetFrameLength); ++i) {
            const bool fits = shape[i] == 'X' ? IsHex(b[i]) : b[i] == shape[i];
            if (!fits) return Resync(idle, "malformed reset frame");
        }
        if (n < kResetFrameLength) return Truncated(idle, kResetFrameLength);
        DecodedFrame f;
        f.kind = FrameKind::Reset;
        f.newId = std::stoi(b.substr(5, 2), nullptr, 16);
        if (f.newId == 0) f.faults.push_back("new Sign ID 00 is not allowed");
        Emit(std::move(f), kResetFrameLength);
        return true;
    }

    const std::string tag = "<IDdd><";
    for (std::size_t i = 3; i < std::min(n, tag.size()); ++i) {
        const bool fits = tag[i] == 'd' ? IsDigit(b[i]) : b[i] == tag[i];
        if (!fits) return Resync(idle, "malformed address tag");
    }
    if (n < kHeaderLength) return idle ? Resync(idle, "truncated header") : false;
    const int signId = (b[3] - '0') * 10 + (b[4] - '0');
    const std::string command = b.substr(7, 3);

    if (command == "SS>" || command == "ST>") {
        const bool clock = command == "SS>";
        const std::size_t length = clock ? kClockFrameLength : kZoneFrameLength;
        // Payload bytes are packed BCD and never start "<ID": a frame starting inside this one
        // means bytes were lost.
        const std::size_t inner =
            std::string_view(b).substr(0, std::min(n, length - 1)).find(kSync, kHeaderLength);
        if (inner != std::string::npos)
            return Resync(idle,
                          "wrong length: a new frame starts at byte " + std::to_string(inner + 1));
        if (n < length) return Truncated(idle, length);
        if (b.compare(length - kFrameEnd.size(), kFrameEnd.size(), kFrameEnd) != 0)
            return Resync(idle, "wrong length: no <E> at byte " + std::to_string(length - 2));
        DecodedFrame f;
        f.kind = clock ? FrameKind::Clock : FrameKind::Zone;
        f.signId = signId;
        const std::string payload = b.substr(kHeaderLength, length - kHeaderLength - 4);
        const auto sent = static_cast<std::uint8_t>(b[length - 4]);
        f.checksumOk = sent == PayloadChecksum(payload);
        if (!*f.checksumOk)
            f.faults.push_back("checksum " + Hex2(sent) + ", expected " +
                               Hex2(PayloadChecksum(payload)));
        clock ? DecodeClock(f, payload) : DecodeZone(f, payload);
        Emit(std::move(f), length);
        return true;
    }

    const bool message = b[7] == 'F' && b[8] >= 'A' && b[8] <= 'E' && b[9] == '>';
    if (!message) return Resync(idle, "unknown command \"" + command + "\"");
    return TryCompleteMessage(idle, signId);
}

bool SignDecoder::TryCompleteMessage(bool idle, int signId) {
    const std::string& b = m_bytes;
    const std::size_t n = b.size();
    // The body may hold any text, "<E>" included: the frame ends at the first "<E>" whose
    // preceding byte is the checksum of everything between. The checksum of the body so far is
    // carried forward, so every byte is folded in once.
    m_endScanned = std::max(m_endScanned, kHeaderLength + 1);
    m_bodyXorEnd = std::max(m_bodyXorEnd, kHeaderLength);
    // An end beyond the receive buffer is never reached: the sign has dropped the frame by then.
    const std::size_t held = std::min(n, kMaxFrameBytes);
    for (; m_endScanned + kFrameEnd.size() <= held; ++m_endScanned) {
        const std::size_t p = m_endScanned;
        if (b.compare(p, kFrameEnd.size(), kFrameEnd) != 0) continue;
        if (m_firstEnd == std::string::npos) m_firstEnd = p;
        for (; m_bodyXorEnd < p - 1; ++m_bodyXorEnd)
            m_bodyXor ^= static_cast<std::uint8_t>(b[m_bodyXorEnd]);
        if (m_bodyXor == static_cast<std::uint8_t>(b[p - 1])) {
            DecodedFrame f;
            f.kind = FrameKind::Message;
            f.signId = signId;
            f.checksumOk = true;
            f.message = {b[8], b.substr(kHeaderLength, p - 1 - kHeaderLength)};
            Emit(std::move(f), p + kFrameEnd.size());
            return true;
        }
    }
    if (!idle && n <= kMaxFrameBytes) return false;
    // No valid end. A frame that started inside is decoded on its own; otherwise the message is
    // reported with its bad checksum, or as cut off.
    const std::size_t firstEnd = m_firstEnd;
    const std::size_t inner = b.find(kSync, 1);
    if (inner != std::string::npos && (firstEnd == std::string::npos || inner < firstEnd))
        return Resync(idle, "message frame interrupted");
    if (firstEnd == std::string::npos)
        return Resync(idle,
                      n > kMaxFrameBytes ? "message frame too long" : "message frame without <E>");
    DecodedFrame f;
    f.kind = FrameKind::Message;
    f.signId = signId;
    f.checksumOk = false;
    f.message = {b[8], b.substr(kHeaderLength, firstEnd - 1 - kHeaderLength)};
    const std::string& body = f.message.body;
    f.faults.push_back("checksum " + Hex2(static_cast<std::uint8_t>(b[firstEnd - 1])) +
                       ", expected " + Hex2(PayloadChecksum(body)));
    Emit(std::move(f), firstEnd + kFrameEnd.size());
    return true;
}

// Where decoding resumes after a broken frame: the next "<ID" after this one's start, or the
// beginning of one still arriving (all of it on a quiet line).
bool SignDecoder::Resync(bool idle, const std::string& fault) {
    const std::size_t n = m_bytes.size();
    std::size_t resume = m_bytes.find(kSync, 1);
    if (resume == std::string::npos && idle) resume = n;
    for (std::size_t i = 1; resume == std::string::npos; ++i) {
        const std::size_t k = std::min(kSync.size(), n - i);
        if (i == n || m_bytes.compare(i, k, kSync, 0, k) == 0) resume = i;
    }
    Reject(resume, fault);
    return true;
}

bool SignDecoder::Truncated(bool idle, std::size_t expected) {
    const std::size_t n = m_bytes.size();
    if (!idle && n <= kMaxFrameBytes) return false;
    return Resync(idle,
                  "truncated: " + std::to_string(n) + " of " + std::to_string(expected) + " bytes");
}

}  // namespace meridial::sign
