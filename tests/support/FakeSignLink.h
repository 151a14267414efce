#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "link/SignLink.h"

namespace meridial::testing {

// A link on a virtual clock: Delay advances the clock, every written byte is recorded with its
// time, and the reply is played from a script, so pacing can be asserted to the millisecond.
class FakeSignLink final : public SignLink {
public:
    struct Written {
        long long timeMs;
        std::uint8_t byte;
    };
    struct ReplyByte {
        long long availableAtMs;  // virtual time from which the byte can be read
        std::uint8_t byte;
    };

    // The reply bytes, all available at once.
    void ReplyWith(const std::string& bytes, long long availableAtMs = 0);
    void FailOpenWith(OpenFailure failure) { m_openFailure = failure; }
    // The line dies after this many bytes: later writes fail and, unless told to keep quiet as
    // some drivers do, the reason is kept.
    void DieAfterBytes(std::size_t count, bool givesReason = true) {
        m_dieAfter = count;
        m_deathGivesReason = givesReason;
    }
    std::string LineError() const override { return m_lineError; }

    OpenResult OpenPort(int portNumber, int baudRate) override;
    bool IsOpen() const override { return m_open; }
    int ReadByte(std::uint8_t& destination) override;
    bool WriteByte(std::uint8_t value) override;
    void ClosePort() override;
    void Delay(int milliseconds) override;

    long long Now() const { return m_now; }
    std::string WrittenBytes() const;
    const std::vector<Written>& Writes() const { return m_writes; }

    int OpenCount() const { return m_openCount; }
    int CloseCount() const { return m_closeCount; }
    int ReadCount() const { return m_readCount; }
    int LastPortNumber() const { return m_lastPort; }
    int LastBaudRate() const { return m_lastBaud; }

private:
    long long m_now = 0;
    std::vector<Written> m_writes;
    std::deque<ReplyByte> m_reply;
    OpenFailure m_openFailure = OpenFailure::None;
    std::size_t m_dieAfter = static_cast<std::size_t>(-1);
    bool m_deathGivesReason = true;
    std::string m_lineError;
    bool m_open = false;
    int m_openCount = 0;
    int m_closeCount = 0;
    int m_readCount = 0;
    int m_lastPort = 0;
    int m_lastBaud = 0;
};

std::string Bytes(std::initializer_list<int> values);

}  // namespace meridial::testing
