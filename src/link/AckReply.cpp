#include "link/AckReply.h"

#include <cstdint>

#include "link/SignFrame.h"
#include "link/SignLink.h"

namespace meridial {

AckReply WaitForAck(SignLink& link) {
    std::string bytes;
    int timedOut = 0;
    auto readOne = [&] {
        std::uint8_t byte = 0;
        if (link.ReadByte(byte) == 1) {
            bytes += static_cast<char>(byte);
            return true;
        }
        ++timedOut;
        return false;
    };
    // Three reads whatever happens, so silence costs three time-outs as it always has.
    const bool firstArrived = readOne();
    for (int i = 1; i < 3; ++i) readOne();
    // A negative reply is four bytes long; take it whole so it is not mistaken for anything else.
    if (firstArrived && bytes.front() == 'N') readOne();
    return JudgeReply(std::move(bytes), timedOut);
}

AckReply JudgeReply(std::string bytes, int timedOutReads) {
    AckReply reply;
    reply.timedOutReads = timedOutReads;
    const bool negative = !bytes.empty() && bytes.front() == 'N';
    const std::size_t whole = negative ? 4 : 3;
    if (bytes.empty())
        reply.kind = ReplyKind::Silent;
    else if (bytes.size() < whole)
        reply.kind = ReplyKind::Partial;
    else if (negative)
        reply.kind = ReplyKind::Negative;
    else
        reply.kind = bytes == "ACK" ? ReplyKind::Ack : ReplyKind::Other;
    reply.bytes = std::move(bytes);
    return reply;
}

std::string EscapedBytes(std::string_view bytes) {
    std::string out = "\"";
    for (const char c : bytes) {
        const auto u = static_cast<std::uint8_t>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u >= 0x20 && u < 0x7F) {
            out += c;
        } else {
            out += "\\x" + HexByte(u);
        }
    }
    return out + "\"";
}

namespace {

// The length of the well-formed UTF-8 sequence at the start of the text, 0 when it is not one.
std::size_t Utf8Length(std::string_view text) {
    const auto lead = static_cast<std::uint8_t>(text[0]);
    const std::size_t length = lead < 0xC2   ? 0
                               : lead < 0xE0 ? 2
                               : lead < 0xF0 ? 3
                               : lead < 0xF5 ? 4
                                             : 0;
    if (length == 0 || text.size() < length) return 0;
    for (std::size_t i = 1; i < length; ++i)
        if ((static_cast<std::uint8_t>(text[i]) & 0xC0) != 0x80) return 0;
    const auto second = static_cast<std::uint8_t>(text[1]);
    // Overlong forms, surrogates and code points past U+10FFFF are not text.
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second >= 0xA0) ||
        (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second >= 0x90))
        return 0;
    return length;
}

}  // namespace

std::string EscapedText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        const auto u = static_cast<std::uint8_t>(text[0]);
        std::size_t take = u >= 0x20 && u < 0x7F ? 1 : Utf8Length(text);
        // U+0080..U+009F, the C1 controls, which some terminals obey.
        if (take == 2 && u == 0xC2 && static_cast<std::uint8_t>(text[1]) < 0xA0) take = 0;
        if (take == 0) {
            out += "\\x" + HexByte(u);
            take = 1;
        } else {
            out.append(text.substr(0, take));
        }
        text.remove_prefix(take);
    }
    return out;
}

std::string DescribeReply(const AckReply& reply) {
    const std::string shown = EscapedBytes(reply.bytes);
    const std::string waited = std::to_string(kReadTimeoutMs) + " ms";
    switch (reply.kind) {
        case ReplyKind::Ack:
            return "the sign answered \"ACK\"";
        case ReplyKind::Negative:
            return "the sign answered NACK (" + shown +
                   "): it heard the transfer but refused a frame";
        case ReplyKind::Other:
            return "the sign answered " + shown +
                   ", not \"ACK\": another device or a wrong line speed on the port?";
        case ReplyKind::Partial:
            return "the sign sent part of an answer (" + shown + ") and then nothing for " + waited;
        case ReplyKind::Silent:
            break;
    }
    return "the sign stayed silent for " + std::to_string(reply.timedOutReads) + " reads of " +
           waited + ": check the cable, the port and the Sign ID";
}

}  // namespace meridial
