#pragma once

#include <array>
#include <chrono>
#include <optional>
#include <string>

#include "sign/SignDecoder.h"

namespace meridial::sign {

// What the virtual sign remembers from the frames it accepted, and what its three lines show.
//
// Display rules:
//   time line: local time = the UTC clock it was given, running on, plus the zone offset, plus
//              one hour while daylight time is in force (both DST rows set; between start and
//              end, or outside end..start when the end comes first in the year, as in the south);
//              "HH:MM:SS" in 24-hour form, "h:MM:SS AM|PM" in 12-hour form.
//   date line: the local date in the chosen order joined by "-"; in the "ALPHABET" style the
//              month is written as three letters and the weekday is put in front ("MON MAR-01-10").
//   info line: the message body, bytes outside printable ASCII written as \xNN.
class SignState {
public:
    // Frames with faults change nothing but the verdict on their transfer.
    void Apply(const DecodedFrame& frame, long long nowMs);

    // A transfer is the frames up to and including a message frame, which the sign answers: ACK
    // only when none of them had a fault. A clock frame after a quiet line starts a new one.
    // Whether the transfer the last message ended was clean.
    bool LastTransferClean() const { return m_lastTransferClean; }

    std::array<std::string, 3> Display(long long nowMs) const;

    std::optional<std::chrono::sys_seconds> UtcNow(long long nowMs) const;
    bool DaylightInForce(std::chrono::sys_seconds utc) const;
    // When the clock line next changes: the running clock moves on a whole second after it was set.
    std::optional<long long> NextSecondAt(long long nowMs) const;

    // The message as received, and how and since when it scrolls.
    const std::string& Message() const { return m_message; }
    char Speed() const { return m_speed; }
    long long MessageSinceMs() const { return m_messageSetAtMs; }

private:
    void BookTransfer(const DecodedFrame& frame);

    bool m_transferClean = true;
    bool m_lastTransferClean = true;
    // When the last byte of any frame arrived.
    std::optional<long long> m_lastByteMs;
    // When the last message frame ended, until the next frame.
    std::optional<long long> m_answeredAtMs;
    std::optional<std::chrono::sys_seconds> m_clockUtc;
    long long m_clockSetAtMs = 0;
    std::optional<ZoneContent> m_zone;
    std::string m_message;
    char m_speed = 'C';
    long long m_messageSetAtMs = 0;
};

// Printable form of sign bytes for a terminal or a log.
std::string Printable(const std::string& bytes);

}  // namespace meridial::sign
