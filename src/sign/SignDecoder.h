#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sign/FrameLayout.h"

namespace meridial::sign {

enum class FrameKind { Clock, Zone, Message, Reset, Invalid };

const char* KindName(FrameKind kind);

struct ClockContent {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    int weekday = 0;  // 1 = Sunday
};

struct MomentContent {
    int hour = 0, day = 0, month = 0, year = 0;  // year: two digits
    bool IsEmpty() const { return day == 0 || month == 0; }
};

struct ZoneContent {
    MomentContent start, end;
    bool east = false;
    int offsetHours = 0, offsetMinutes = 0;
    bool twelveHour = false;
    bool numericDate = false;
    int dateOrder = 0;  // 0 MM-DD-YY, 1 YY-MM-DD, 2 DD-MM-YY
};

struct MessageContent {
    char speed = 'C';
    std::string body;
};

struct DecodedFrame {
    FrameKind kind = FrameKind::Invalid;
    int signId = -1;  // -1: not addressed (reset, noise)
    std::string bytes;
    long long firstByteMs = 0;
    long long lastByteMs = 0;
    std::optional<long long> byte11Ms;
    long long longestGapMs = 0;
    long long shortestGapMs = 0;     // between two bytes; 0 for a one-byte frame
    std::optional<bool> checksumOk;  // frames without a checksum: none
    std::vector<std::string> faults;

    ClockContent clock;
    ZoneContent zone;
    MessageContent message;
    int newId = 0;  // reset
};

// Splits the byte stream from the line into frames. Anything that is not a well-formed frame is
// reported as an Invalid frame with its faults and skipped; decoding picks up again at the next
// "<ID". Memory stays bounded whatever arrives.
class SignDecoder {
public:
    // A frame that stops arriving for this long is reported as truncated.
    static constexpr long long kIdleFlushMs = 400;
    // A frame longer than this is not from a sign program; it is dropped.
    static constexpr std::size_t kMaxFrameBytes = kLongestFrameBytes;

    void Feed(std::uint8_t byte, long long timeMs);
    // Reports a frame that stopped arriving; call when the line is quiet.
    void Flush(long long nowMs);
    // When Flush next has something to do, if anything is pending.
    std::optional<long long> FlushDueAt() const;

    // Frames completed since the last call.
    std::vector<DecodedFrame> TakeFrames();

private:
    void Process(bool idle);
    bool TryComplete(bool idle);
    bool TryCompleteMessage(bool idle, int signId);
    // Reports the frame at the head as broken, up to where decoding resumes.
    bool Resync(bool idle, const std::string& fault);
    // A frame shorter than its command's length: waits for more unless the line went quiet.
    bool Truncated(bool idle, std::size_t expected);
    void Emit(DecodedFrame frame, std::size_t length);
    void Reject(std::size_t length, const std::string& fault);
    void SkipNoise(bool idle);

    // The bytes not yet reported, and when each arrived.
    std::string m_bytes;
    std::vector<long long> m_times;
    std::vector<DecodedFrame> m_frames;

    // What is known of the pending bytes is carried from byte to byte, so each byte is looked at
    // a bounded number of times however long a frame grows. All of it is relative to the first
    // pending byte and is forgotten when bytes are reported.
    std::size_t m_noiseChecked = 0;  // leading bytes that cannot begin "<ID"
    std::size_t m_endScanned = 0;    // message: next position where an "<E>" may begin
    std::size_t m_bodyXorEnd = 0;    // message: m_bodyXor covers the body up to here
    std::uint8_t m_bodyXor = 0;
    std::size_t m_firstEnd = std::string::npos;  // message: the first "<E>" seen
};

}  // namespace meridial::sign
