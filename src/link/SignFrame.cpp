#include "link/SignFrame.h"

#include <algorithm>
#include <array>

#include "link/SignLink.h"

namespace meridial {

std::string AddressTag(int signId) { return "<ID" + TwoDigits(std::clamp(signId, 0, 99)) + ">"; }

std::string HexByte(std::uint8_t value) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    return {kDigits[value >> 4], kDigits[value & 0x0F]};
}

std::string TwoDigits(int value) {
    const int v = ((value % 100) + 100) % 100;
    return {static_cast<char>('0' + v / 10), static_cast<char>('0' + v % 10)};
}

std::uint8_t XorChecksum(std::string_view bytes) {
    std::uint8_t sum = 0;
    for (char c : bytes) sum ^= static_cast<std::uint8_t>(c);
    return sum;
}

std::uint8_t PackedBcd(int value) {
    const int v = ((value % 100) + 100) % 100;
    return static_cast<std::uint8_t>((v / 10) << 4 | (v % 10));
}

std::string AddressedFrame(int signId, std::string_view command, std::string_view payload) {
    std::string frame = AddressTag(signId);
    frame += '<';
    frame += command;
    frame += '>';
    frame += payload;
    frame += static_cast<char>(XorChecksum(payload));
    frame += kEndMarker;
    return frame;
}

bool SendFramePaced(SignLink& link, std::string_view frame, int byteIntervalMs,
                    const ByteProgress& beforeByte) {
    for (std::size_t j = 1; j <= frame.size(); ++j) {
        if (beforeByte) beforeByte(static_cast<int>(j));
        if (byteIntervalMs > 0) link.Delay(byteIntervalMs);
        if (j == kHeaderPauseBeforeByte) link.Delay(kHeaderPauseMs);
        if (!link.WriteByte(static_cast<std::uint8_t>(frame[j - 1]))) return false;
    }
    return true;
}

bool WaitForAck(SignLink& link) {
    // Positions 4 and 5 stay zero: a missing byte reads as 0, and a fourth byte spoils the match.
    std::array<std::uint8_t, 6> reply{};
    for (int i = 0; i < 3; ++i) link.ReadByte(reply[i]);
    // A negative reply is four bytes long; take it whole so it is not mistaken for anything else.
    if (reply[0] == 'N') link.ReadByte(reply[3]);
    return reply[0] == 'A' && reply[1] == 'C' && reply[2] == 'K' && reply[3] == 0;
}

std::string HexBytes(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() * 3);
    for (char c : bytes) {
        if (!out.empty()) out += ' ';
        out += HexByte(static_cast<std::uint8_t>(c));
    }
    return out;
}

}  // namespace meridial
