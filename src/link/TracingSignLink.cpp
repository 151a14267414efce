#include "link/TracingSignLink.h"

#include <chrono>
#include <cstdio>

#include "link/AckReply.h"
#include "link/SignFrame.h"

namespace meridial {
namespace {

long long SteadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::string Shown(std::uint8_t byte) {
    return HexByte(byte) + " " + EscapedBytes(std::string(1, static_cast<char>(byte)));
}

}  // namespace

TracingSignLink::TracingSignLink(SignLink& inner, Sink sink, TraceDetail detail, Clock clock)
    : m_inner(inner),
      m_sink(std::move(sink)),
      m_detail(detail),
      m_clock(clock ? std::move(clock) : Clock(SteadyMs)) {
    m_openedAt = m_lastByteAt = m_clock();
}

std::string TracingSignLink::Stamp(long long atMs) const {
    const long long ms = atMs - m_openedAt;
    char text[32];
    std::snprintf(text, sizeof text, "[%4lld.%03lld] ", ms / 1000, ms % 1000);
    return text;
}

OpenResult TracingSignLink::OpenPort(int portNumber, int baudRate) {
    m_burst.reset();
    m_frameIndex = m_frameOffset = m_replyOffset = 0;
    m_openedAt = m_clock();
    OpenResult opened = m_inner.OpenPort(portNumber, baudRate);
    // A network link spends a moment at the open; the first pause is counted from its end.
    m_lastByteAt = m_clock();
    m_sink(Stamp(m_lastByteAt) + (opened ? "open at " + std::to_string(baudRate) + " baud"
                                         : "open failed: " + opened.error().detail));
    return opened;
}

void TracingSignLink::Flush() {
    if (!m_burst) return;
    const Burst& b = *m_burst;
    char head[64];
    std::snprintf(head, sizeof head, "%c %-7s @%-4zu after %4lld ms  ", b.written ? '>' : '<',
                  b.label.c_str(), b.offset, b.pauseMs);
    m_sink(Stamp(b.firstMs) + head + HexBytes(b.bytes) + "  " + EscapedBytes(b.bytes) +
           (b.failed ? " (write failed)" : ""));
    m_burst.reset();
}

void TracingSignLink::Record(bool written, std::uint8_t byte, long long atMs, bool ok) {
    const std::string label = !written                         ? "reply"
                              : m_frameIndex < m_frames.size() ? m_frames[m_frameIndex].label
                                                               : "frame";
    const std::size_t offset = written ? m_frameOffset : m_replyOffset;
    const long long pause = atMs - m_lastByteAt;
    const bool continues = m_burst && m_burst->written == written && m_burst->label == label &&
                           offset > 0 && pause < kBurstGapMs &&
                           m_burst->bytes.size() < kBytesPerLine;
    if (!continues) {
        Flush();
        m_burst = Burst{written, label, offset, atMs, pause, {}, false};
    }
    m_burst->bytes += static_cast<char>(byte);
    m_burst->failed = !ok;
    m_lastByteAt = atMs;
    if (!written) {
        ++m_replyOffset;
        return;
    }
    if (m_frameIndex < m_frames.size() && ++m_frameOffset == m_frames[m_frameIndex].size) {
        ++m_frameIndex;
        m_frameOffset = 0;
        Flush();  // a whole frame shows at once, not only when the next one starts
    } else if (m_frameIndex >= m_frames.size()) {
        ++m_frameOffset;
    }
    if (!ok) Flush();
}

int TracingSignLink::ReadByte(std::uint8_t& destination) {
    const int count = m_inner.ReadByte(destination);
    const long long now = m_clock();
    if (m_detail == TraceDetail::Bytes) {
        m_sink(Stamp(now) + (count == 1
                                 ? "< " + Shown(destination)
                                 : "< (nothing within " + std::to_string(kReadTimeoutMs) + " ms)"));
        return count;
    }
    if (count == 1) {
        Record(false, destination, now, true);
    } else {
        Flush();
        m_sink(Stamp(now) + "< (nothing within " + std::to_string(kReadTimeoutMs) + " ms)");
    }
    return count;
}

bool TracingSignLink::WriteByte(std::uint8_t value) {
    const long long now = m_clock();
    const bool written = m_inner.WriteByte(value);
    if (m_detail == TraceDetail::Bytes) {
        m_sink(Stamp(now) + "> " + Shown(value) + (written ? "" : " (write failed)"));
        return written;
    }
    Record(true, value, now, written);
    return written;
}

void TracingSignLink::ClosePort() {
    Flush();
    m_inner.ClosePort();
    m_sink(Stamp(m_clock()) + "closed");
}

}  // namespace meridial
