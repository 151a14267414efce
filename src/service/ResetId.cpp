#include "service/ResetId.h"

#include <cstdint>

#include "link/SignFrame.h"

namespace meridial {

std::string ResetIdText(int newId) { return HexByte(static_cast<std::uint8_t>(newId)); }

std::optional<int> ParseResetId(std::string_view text) {
    if (text.size() != 2) return std::nullopt;
    int value = 0;
    for (char c : text) {
        int digit = -1;
        if (c >= '0' && c <= '9') digit = c - '0';
        if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        if (digit < 0) return std::nullopt;
        value = value * 16 + digit;
    }
    if (value < kFirstResetId || value > kLastResetId) return std::nullopt;
    return value;
}

std::string BuildResetFrame(int newId) {
    return "<ID><" + ResetIdText(newId) + ">" + std::string(kEndMarker);
}

OpenResult RunResetId(SignLink& link, int portNumber, int newId) {
    OpenResult opened = link.OpenPort(portNumber, kBaudRate);
    if (!opened.ok()) return opened;
    for (char c : BuildResetFrame(newId)) link.WriteByte(static_cast<std::uint8_t>(c));
    link.ClosePort();
    return opened;
}

}  // namespace meridial
