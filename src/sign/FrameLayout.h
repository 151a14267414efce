#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace meridial::sign {

// What the sign itself checks of a frame, kept apart from the program's encoder: a test against
// this sign then judges the encoder's checksum and lengths instead of agreeing with them.

inline constexpr std::string_view kFrameEnd = "<E>";

// The sign's receive buffer: "<IDnn><Fx>", up to 4082 body bytes, the checksum and "<E>".
inline constexpr std::size_t kLongestFrameBytes = 4096;

// The byte before "<E>": every payload byte exclusive-ored into the next.
constexpr std::uint8_t PayloadChecksum(std::string_view payload) {
    std::uint8_t sum = 0;
    for (const char c : payload)
        sum = static_cast<std::uint8_t>(sum ^ static_cast<std::uint8_t>(c));
    return sum;
}

}  // namespace meridial::sign
