#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "link/SignLink.h"

namespace meridial {

// Passes everything to another link and reports each byte written and read, with the time since
// the open, so a field engineer can see what went out and what (if anything) came back.
class TracingSignLink final : public SignLink {
public:
    using Sink = std::function<void(const std::string& line)>;

    TracingSignLink(SignLink& inner, Sink sink) : m_inner(inner), m_sink(std::move(sink)) {}

    OpenResult OpenPort(int portNumber, int baudRate) override;
    bool IsOpen() const override { return m_inner.IsOpen(); }
    int ReadByte(std::uint8_t& destination) override;
    bool WriteByte(std::uint8_t value) override;
    void ClosePort() override;
    void Delay(int milliseconds) override { m_inner.Delay(milliseconds); }
    std::string LineError() const override { return m_inner.LineError(); }
    void Abort() override { m_inner.Abort(); }

private:
    // "[  1.234] " : seconds since the open, to the millisecond.
    std::string Stamp() const;

    SignLink& m_inner;
    Sink m_sink;
    std::chrono::steady_clock::time_point m_openedAt = std::chrono::steady_clock::now();
};

}  // namespace meridial
