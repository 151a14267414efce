#include "link/SignFrame.h"

#include "link/SignLink.h"

namespace meridial {

std::string AddressTag(int signId) { return "<ID" + TwoDigits(signId) + ">"; }

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
