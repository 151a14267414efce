#pragma once

#include <array>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sign/SignDecoder.h"
#include "sign/SignState.h"

namespace meridial::sign {

// How the sign answers a transfer.
enum class ReplyMode { Ack, Nak, Silent, Garbage, Partial, Split };

std::optional<ReplyMode> ParseReplyMode(std::string_view name);
const char* ReplyModeName(ReplyMode mode);

struct SessionOptions {
    ReplyMode reply = ReplyMode::Ack;  // Ack answers "NACK" when a frame of the transfer was faulty
    int replyDelayMs = 0;
    std::optional<int> onlyId;  // answer only transfers addressed to this Sign ID
};

// One frame the sign took in, and what its three lines show when it ended a transfer.
struct SessionEvent {
    DecodedFrame frame;
    std::optional<std::array<std::string, 3>> display;
};

// The virtual sign's behaviour without its front end: bytes in, decoded frames, the display and
// the reply out, on a millisecond clock the front end supplies. The front end owns the device,
// the waiting and the printing.
class SignSession {
public:
    explicit SignSession(SessionOptions options = {}) : m_options(options) {}

    void Feed(const unsigned char* bytes, std::size_t count, long long nowMs);

    // Frames completed since the last call (by their end marker or by the line going quiet),
    // each already applied to the sign's state.
    std::vector<SessionEvent> Advance(long long nowMs);

    // The next moment Advance or TakeDueReply has work, if any.
    std::optional<long long> NextDueAt() const;

    // The reply bytes due by now, in order.
    std::string TakeDueReply(long long nowMs);

    const SignState& State() const { return m_state; }
    ReplyMode Reply() const { return m_options.reply; }
    void SetReply(ReplyMode mode) { m_options.reply = mode; }

private:
    struct ReplyByte {
        long long dueMs;
        char byte;
    };
    void QueueReply(bool clean, long long at);

    SessionOptions m_options;
    SignDecoder m_decoder;
    SignState m_state;
    std::deque<ReplyByte> m_replies;
};

}  // namespace meridial::sign
