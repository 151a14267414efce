#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "link/Result.h"

namespace meridial {

class SignLink;

// A frame, or the reason it could not be built. Frames are byte strings and may hold 0x00.
using FrameResult = Result<std::string>;

inline constexpr std::string_view kEndMarker = "<E>";

// The sign takes the first ten bytes (address tag and command opening) into its header buffer and
// needs this long before the payload starts.
inline constexpr int kHeaderPauseMs = 100;
inline constexpr std::size_t kHeaderPauseBeforeByte = 11;  // 1-based

// "<ID" + two decimal digits + ">" for a Sign ID 0..99.
std::string AddressTag(int signId);

std::uint8_t XorChecksum(std::string_view bytes);

// 0..99 as one byte, tens digit in the high nibble.
std::uint8_t PackedBcd(int value);

// "<IDnn><" + command + ">" + payload + checksum + "<E>", the checksum over the payload alone.
std::string AddressedFrame(int signId, std::string_view command, std::string_view payload);

// Called before each byte goes out, with its 1-based position.
using ByteProgress = std::function<void(int position)>;

// Writes every byte in order, pausing before the 11th; with an interval, each byte also waits
// that long before it leaves. Stops at the first byte the line does not take and says so: the
// pauses of a dead line would only keep the operator waiting.
bool SendFramePaced(SignLink& link, std::string_view frame, int byteIntervalMs = 0,
                    const ByteProgress& beforeByte = {});

// Upper-case hex bytes separated by single spaces.
std::string HexBytes(std::string_view bytes);

// One byte as two upper-case hex digits: 10 is "0A".
std::string HexByte(std::uint8_t value);

// 0..99 as two decimal digits: 7 is "07"; other values keep their last two digits.
std::string TwoDigits(int value);

}  // namespace meridial
