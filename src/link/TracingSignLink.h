#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "link/SignLink.h"

namespace meridial {

// One frame the sequence is about to send, so the trace can say which frame a byte belongs to.
struct TracedFrame {
    std::string label;  // "clock", "zone", "message", "reset"
    std::size_t size = 0;
};

enum class TraceDetail {
    Bursts,  // one line per run of bytes sent without a pause, within one frame
    Bytes,   // one line per byte
};

// Passes everything to another link and reports what went out and what (if anything) came back,
// with the time since the open, so a field engineer can see the frames, their pauses and the
// reply. In bursts, each line names the frame, the offset of its first byte in that frame, the
// pause before it, and the bytes in hex and as text; a reply is one line of its own.
class TracingSignLink final : public SignLink {
public:
    using Sink = std::function<void(const std::string& line)>;
    // Milliseconds on a monotonic clock; by default the system's steady clock.
    using Clock = std::function<long long()>;

    // A pause at least this long starts a new line: the header and frame pauses do, the
    // spacing between a message's bytes does not.
    static constexpr long long kBurstGapMs = 50;
    // A longer run of bytes continues on the next line, as a hex dump does.
    static constexpr std::size_t kBytesPerLine = 16;

    TracingSignLink(SignLink& inner, Sink sink, TraceDetail detail = TraceDetail::Bursts,
                    Clock clock = {});

    // The frames of the next sequence, in sending order. Bytes beyond them are "frame".
    void ExpectFrames(std::vector<TracedFrame> frames) { m_frames = std::move(frames); }

    OpenResult OpenPort(int portNumber, int baudRate) override;
    bool IsOpen() const override { return m_inner.IsOpen(); }
    int ReadByte(std::uint8_t& destination) override;
    bool WriteByte(std::uint8_t value) override;
    void ClosePort() override;
    void Delay(int milliseconds) override { m_inner.Delay(milliseconds); }
    std::string LineError() const override { return m_inner.LineError(); }
    void Abort() override { m_inner.Abort(); }

private:
    struct Burst {
        bool written = true;
        std::string label;
        std::size_t offset = 0;
        long long firstMs = 0;
        long long pauseMs = 0;
        std::string bytes;
        bool failed = false;
    };

    // "[  1.234] " : milliseconds since the open, as seconds.
    std::string Stamp(long long atMs) const;
    void Record(bool written, std::uint8_t byte, long long atMs, bool ok);
    void Flush();

    SignLink& m_inner;
    Sink m_sink;
    TraceDetail m_detail;
    Clock m_clock;
    std::vector<TracedFrame> m_frames;
    long long m_openedAt = 0;
    long long m_lastByteAt = 0;  // the open, until a byte has gone either way
    std::size_t m_frameIndex = 0;
    std::size_t m_frameOffset = 0;
    std::size_t m_replyOffset = 0;
    std::optional<Burst> m_burst;
};

}  // namespace meridial
