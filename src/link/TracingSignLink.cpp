#include "link/TracingSignLink.h"

#include <cstdio>

#include "link/AckReply.h"
#include "link/SignFrame.h"

namespace meridial {
namespace {

std::string Shown(std::uint8_t byte) {
    return EscapedBytes(std::string(1, static_cast<char>(byte)));
}

}  // namespace

std::string TracingSignLink::Stamp() const {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - m_openedAt)
                        .count();
    char text[32];
    std::snprintf(text, sizeof text, "[%4lld.%03lld] ", static_cast<long long>(ms / 1000),
                  static_cast<long long>(ms % 1000));
    return text;
}

OpenResult TracingSignLink::OpenPort(int portNumber, int baudRate) {
    m_openedAt = std::chrono::steady_clock::now();
    OpenResult opened = m_inner.OpenPort(portNumber, baudRate);
    m_sink(Stamp() + (opened ? "open at " + std::to_string(baudRate) + " baud"
                             : "open failed: " + opened.error().detail));
    return opened;
}

int TracingSignLink::ReadByte(std::uint8_t& destination) {
    const int count = m_inner.ReadByte(destination);
    m_sink(Stamp() + (count == 1 ? "< " + HexByte(destination) + " " + Shown(destination)
                                 : "< (nothing within " + std::to_string(kReadTimeoutMs) + " ms)"));
    return count;
}

bool TracingSignLink::WriteByte(std::uint8_t value) {
    const bool written = m_inner.WriteByte(value);
    m_sink(Stamp() + "> " + HexByte(value) + " " + Shown(value) +
           (written ? "" : " (write failed)"));
    return written;
}

void TracingSignLink::ClosePort() {
    m_inner.ClosePort();
    m_sink(Stamp() + "closed");
}

}  // namespace meridial
