#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "link/SignFrame.h"

namespace meridial {

// The editor holds at most this many characters (encoded bytes, a line break counting two).
inline constexpr int kMaxMessageLength = 150;

inline constexpr int kSlowestSpeed = 0;
inline constexpr int kFastestSpeed = 4;
inline constexpr int kInitialSpeed = 2;

// 'E' for the slowest scroll down to 'A' for the fastest.
char SpeedLetter(int speedPosition);

// The editor text without its line breaks: the sign shows one scrolling line.
std::string MessageBody(std::string_view editorText);

std::uint8_t MessageChecksum(std::string_view body);

// "<IDnn><F" + speed letter + ">" + body + checksum + "<E>". The text is the editor's text as
// bytes in the sign's code page; line breaks are dropped, everything else is sent as it stands.
FrameResult BuildMessageFrame(int signId, int speedPosition, std::string_view editorText);

// Typing stops once the text holds the maximum; pasted text is kept whole.
inline bool AcceptsTypedCharacter(int lengthBefore) { return lengthBefore < kMaxMessageLength; }
inline bool IsAtLengthLimit(int length) { return length >= kMaxMessageLength; }

}  // namespace meridial
