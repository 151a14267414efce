#include "sign/SignState.h"

#include <cstdio>

namespace meridial::sign {
namespace {

using namespace std::chrono;

std::optional<sys_seconds> MomentUtc(const MomentContent& m) {
    const year_month_day date{year{2000 + m.year}, month{static_cast<unsigned>(m.month)},
                              day{static_cast<unsigned>(m.day)}};
    if (m.IsEmpty() || !date.ok()) return std::nullopt;
    return sys_days{date} + hours{m.hour};
}

std::string TwoDigits(int v) {
    char text[4];
    std::snprintf(text, sizeof text, "%02d", v % 100);
    return text;
}

}  // namespace

void SignState::BookTransfer(const DecodedFrame& frame) {
    // A transfer opens with its clock frame; one that begins after the line went quiet is a new
    // transfer. What a sender killed mid-transfer left behind (a frame cut short) failed that
    // transfer, which nobody is waiting on any more, not this one.
    const bool afterPause =
        m_lastByteMs && frame.firstByteMs - *m_lastByteMs >= SignDecoder::kIdleFlushMs;
    m_lastByteMs = frame.lastByteMs;
    if (frame.kind == FrameKind::Clock && afterPause) m_transferClean = true;
    // A body holding "<E>" right after a byte equal to the checksum so far ends the frame there
    // (the line has no escaping), and the rest of the body arrives as noise behind the answered
    // message. Those bytes belong to the transfer that sent them, already answered; the next
    // transfer starts with the next frame or after the line went quiet.
    const bool trailsAnswer = m_answeredAtMs && frame.kind == FrameKind::Invalid &&
                              !frame.bytes.starts_with("<ID") &&
                              frame.firstByteMs - *m_answeredAtMs < SignDecoder::kIdleFlushMs;
    // Noise comes in pieces (it is cut wherever a "<" might begin a frame); the burst goes on.
    m_answeredAtMs = trailsAnswer ? std::optional(frame.lastByteMs) : std::nullopt;
    if (frame.kind == FrameKind::Message) {
        m_lastTransferClean = m_transferClean && frame.faults.empty();
        m_transferClean = true;
        m_answeredAtMs = frame.lastByteMs;
        return;
    }
    if (!frame.faults.empty() && !trailsAnswer) m_transferClean = false;
}

void SignState::Apply(const DecodedFrame& frame, long long nowMs) {
    BookTransfer(frame);
    if (!frame.faults.empty()) return;
    switch (frame.kind) {
        case FrameKind::Clock: {
            const ClockContent& c = frame.clock;
            const year_month_day date{year{c.year}, month{static_cast<unsigned>(c.month)},
                                      day{static_cast<unsigned>(c.day)}};
            if (!date.ok()) return;
            m_clockUtc = sys_days{date} + hours{c.hour} + minutes{c.minute} + seconds{c.second};
            m_clockSetAtMs = nowMs;
            break;
        }
        case FrameKind::Zone:
            m_zone = frame.zone;
            break;
        case FrameKind::Message:
            m_message = frame.message.body;
            m_speed = frame.message.speed;
            m_messageSetAtMs = nowMs;
            break;
        default:
            break;
    }
}

std::optional<sys_seconds> SignState::UtcNow(long long nowMs) const {
    if (!m_clockUtc) return std::nullopt;
    return *m_clockUtc + duration_cast<seconds>(milliseconds{nowMs - m_clockSetAtMs});
}

std::optional<long long> SignState::NextSecondAt(long long nowMs) const {
    if (!m_clockUtc) return std::nullopt;
    const long long elapsed = nowMs - m_clockSetAtMs;
    const long long next = elapsed < 0 ? 0 : (elapsed / 1000 + 1) * 1000;
    return m_clockSetAtMs + next;
}

bool SignState::DaylightInForce(sys_seconds utc) const {
    if (!m_zone) return false;
    const auto start = MomentUtc(m_zone->start);
    const auto end = MomentUtc(m_zone->end);
    if (!start || !end) return false;
    return *start <= *end ? (utc >= *start && utc < *end) : (utc >= *start || utc < *end);
}

std::array<std::string, 3> SignState::Display(long long nowMs) const {
    static constexpr const char* kMonths[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                              "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
    static constexpr const char* kDays[] = {"SUN", "MON", "TUE", "WED", "THU", "FRI", "SAT"};
    const auto utc = UtcNow(nowMs);
    if (!utc) return {"--:--:--", "--------", Printable(m_message)};

    ZoneContent zone = m_zone.value_or(ZoneContent{});
    const minutes offset{(zone.east ? 1 : -1) * (zone.offsetHours * 60 + zone.offsetMinutes)};
    const sys_seconds local = *utc + offset + hours{DaylightInForce(*utc) ? 1 : 0};
    const sys_days localDay = floor<days>(local);
    const year_month_day date{localDay};
    const hh_mm_ss<seconds> time{local - localDay};

    const int h = static_cast<int>(time.hours().count());
    std::string timeLine;
    if (zone.twelveHour) {
        const int h12 = h % 12 == 0 ? 12 : h % 12;
        timeLine = std::to_string(h12) + ":" + TwoDigits(static_cast<int>(time.minutes().count())) +
                   ":" + TwoDigits(static_cast<int>(time.seconds().count())) +
                   (h < 12 ? " AM" : " PM");
    } else {
        timeLine = TwoDigits(h) + ":" + TwoDigits(static_cast<int>(time.minutes().count())) + ":" +
                   TwoDigits(static_cast<int>(time.seconds().count()));
    }

    const unsigned monthNumber = static_cast<unsigned>(date.month());
    const std::string mm =
        zone.numericDate ? TwoDigits(static_cast<int>(monthNumber)) : kMonths[monthNumber - 1];
    const std::string dd = TwoDigits(static_cast<int>(static_cast<unsigned>(date.day())));
    const std::string yy = TwoDigits(static_cast<int>(date.year()));
    std::string dateLine = zone.dateOrder == 1   ? yy + "-" + mm + "-" + dd
                           : zone.dateOrder == 2 ? dd + "-" + mm + "-" + yy
                                                 : mm + "-" + dd + "-" + yy;
    if (!zone.numericDate)
        dateLine = std::string(kDays[weekday{localDay}.c_encoding()]) + " " + dateLine;
    return {timeLine, dateLine, Printable(m_message)};
}

std::string Printable(const std::string& bytes) {
    std::string out;
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x20 && b < 0x7F && b != '\\') {
            out += c;
        } else {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\x%02X", b);
            out += esc;
        }
    }
    return out;
}

}  // namespace meridial::sign
