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
