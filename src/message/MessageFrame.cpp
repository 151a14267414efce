#include "message/MessageFrame.h"

#include <algorithm>

#include "link/SignFrame.h"

namespace meridial {

char SpeedLetter(int speedPosition) {
    return static_cast<char>('E' - std::clamp(speedPosition, kSlowestSpeed, kFastestSpeed));
}

std::string MessageBody(std::string_view editorText) {
    std::string body;
    body.reserve(editorText.size());
    for (char c : editorText)
        if (c != '\r' && c != '\n') body += c;
    return body;
}

std::uint8_t MessageChecksum(std::string_view body) { return XorChecksum(body); }

FrameResult BuildMessageFrame(int signId, int speedPosition, std::string_view editorText) {
    const std::string command = std::string("F") + SpeedLetter(speedPosition);
    return AddressedFrame(signId, command, MessageBody(editorText));
}

std::string_view MarkerInBody(std::string_view body) {
    const std::size_t end = body.find("<E>");
    const std::size_t id = body.find("<ID");
    if (end == std::string_view::npos && id == std::string_view::npos) return {};
    return end < id ? std::string_view("<E>") : std::string_view("<ID");
}

}  // namespace meridial
