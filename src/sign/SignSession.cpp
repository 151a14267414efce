#include "sign/SignSession.h"

#include <algorithm>

namespace meridial::sign {
namespace {

constexpr std::array<const char*, 6> kReplyModeNames{"ack",     "nak",     "silent",
                                                     "garbage", "partial", "split"};

// The split reply's bytes arrive this far apart, to try a sender's read time-out.
constexpr int kSplitGapMs = 200;

}  // namespace

std::optional<ReplyMode> ParseReplyMode(std::string_view name) {
    for (std::size_t i = 0; i < kReplyModeNames.size(); ++i)
        if (name == kReplyModeNames[i]) return static_cast<ReplyMode>(i);
    return std::nullopt;
}

const char* ReplyModeName(ReplyMode mode) { return kReplyModeNames[static_cast<int>(mode)]; }

void SignSession::Feed(const unsigned char* bytes, std::size_t count, long long nowMs) {
    for (std::size_t i = 0; i < count; ++i) m_decoder.Feed(bytes[i], nowMs);
}

std::vector<SessionEvent> SignSession::Advance(long long nowMs) {
    m_decoder.Flush(nowMs);
    std::vector<SessionEvent> events;
    for (DecodedFrame& frame : m_decoder.TakeFrames()) {
        m_state.Apply(frame, nowMs);
        SessionEvent event{std::move(frame), std::nullopt};
        if (event.frame.kind == FrameKind::Message) {
            event.display = m_state.Display(nowMs);
            if (!m_options.onlyId || *m_options.onlyId == event.frame.signId)
                QueueReply(m_state.LastTransferClean(), nowMs + m_options.replyDelayMs);
        }
        events.push_back(std::move(event));
    }
    return events;
}

std::optional<long long> SignSession::NextDueAt() const {
    std::optional<long long> due = m_decoder.FlushDueAt();
    if (!m_replies.empty())
        due = due ? std::min(*due, m_replies.front().dueMs) : m_replies.front().dueMs;
    return due;
}

std::string SignSession::TakeDueReply(long long nowMs) {
    std::string bytes;
    while (!m_replies.empty() && m_replies.front().dueMs <= nowMs) {
        bytes += m_replies.front().byte;
        m_replies.pop_front();
    }
    return bytes;
}

void SignSession::QueueReply(bool clean, long long at) {
    auto add = [&](std::string_view bytes, int gapMs) {
        for (std::size_t i = 0; i < bytes.size(); ++i)
            m_replies.push_back({at + static_cast<long long>(i) * gapMs, bytes[i]});
    };
    switch (m_options.reply) {
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
            add("ACK", kSplitGapMs);
            break;
    }
}

}  // namespace meridial::sign
