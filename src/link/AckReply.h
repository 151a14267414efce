#pragma once

#include <string>
#include <string_view>

namespace meridial {

class SignLink;

// What the sign sent back after a transfer, in the terms a field engineer needs: a refusal, some
// other device or a wrong baud rate, a reply cut short, or nothing at all on the line.
enum class ReplyKind {
    Ack,       // "ACK": the transfer was taken
    Negative,  // four bytes starting with 'N' ("NACK"): the sign heard the frames and refused them
    Other,     // three bytes that are not "ACK"
    Partial,   // fewer bytes than a whole answer before a read timed out
    Silent,    // no byte at all within the reads' time-outs
};

struct AckReply {
    ReplyKind kind = ReplyKind::Silent;
    std::string bytes;  // the bytes that arrived, in order; a 0x00 that arrived is kept
    int timedOutReads = 0;

    bool Acknowledged() const { return kind == ReplyKind::Ack; }
};

// Reads the sign's reply: three bytes, a fourth when the first is 'N', each within the link's
// read time-out, and judges them. Nothing beyond those bytes is read.
AckReply WaitForAck(SignLink& link);

// Classifies reply bytes read this way; timedOutReads only feeds the text.
AckReply JudgeReply(std::string bytes, int timedOutReads);

// The reply as a quoted C-style string: printable ASCII as is, the rest as \xHH ("AC\x15").
std::string EscapedBytes(std::string_view bytes);

// Text from outside the program (a process's name, a device path, a file's line) made safe for a
// terminal: control characters (C0, DEL, C1) and bytes that are not UTF-8 as \xHH, the rest
// unchanged. A name with escape sequences in it could otherwise rewrite the user's screen.
std::string EscapedText(std::string_view text);

// One line, no trailing full stop, saying why a reply is not an acknowledgement (or that it is).
std::string DescribeReply(const AckReply& reply);

}  // namespace meridial
