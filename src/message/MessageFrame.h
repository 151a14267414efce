#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "link/SignFrame.h"

namespace meridial {

// The editor holds at most this many characters (encoded bytes, a line break counting two).
inline constexpr int kMaxMessageLength = 150;

// The longest message frame meridial-sign's decoder takes, and so the longest this program lets
// a script send: anything longer takes minutes on the line only to be dropped as noise.
inline constexpr int kMaxMessageFrameBytes = 4096;
// Its body: the frame less "<IDnn><Fx>", the checksum and "<E>".
inline constexpr int kMaxMessageBodyBytes = kMaxMessageFrameBytes - 14;

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

// "<E>" or "<ID" in the body, the first found, empty when neither is: a sign that looks for its
// end marker, or for the next frame, may cut the message there.
std::string_view MarkerInBody(std::string_view body);

// An empty text opens no port; line breaks alone are a message (with an empty body).
inline bool IsEmptyMessage(std::string_view text) { return text.empty(); }

// Typing stops once the text holds the maximum; pasted text is kept whole.
inline bool AcceptsTypedCharacter(int lengthBefore) { return lengthBefore < kMaxMessageLength; }
inline bool IsAtLengthLimit(int length) { return length >= kMaxMessageLength; }

}  // namespace meridial
