#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "link/SignLink.h"

namespace meridial {

inline constexpr int kFirstResetId = 0x01;
inline constexpr int kLastResetId = 0xFF;

// Two upper-case hex digits: 10 is "0A", 255 is "FF".
std::string ResetIdText(int newId);

// "01".."FF" (either case) to the id; nullopt for anything else.
std::optional<int> ParseResetId(std::string_view text);

// "<ID><" + two hex digits + "><E>": 11 bytes, sent to whatever sign is on the line. No checksum.
std::string BuildResetFrame(int newId);

// Opens the port, writes the frame without pauses, closes the port. No reply is read.
OpenResult RunResetId(SignLink& link, int portNumber, int newId);

}  // namespace meridial
