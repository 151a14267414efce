#include "support/FakeSignLink.h"

namespace meridial::testing {

void FakeSignLink::ReplyWith(const std::string& bytes, long long availableAtMs) {
    for (char c : bytes) m_reply.push_back({availableAtMs, static_cast<std::uint8_t>(c)});
}

OpenResult FakeSignLink::OpenPort(int portNumber, int baudRate) {
    m_lastPort = portNumber;
    m_lastBaud = baudRate;
    if (m_open) return OpenResult::Fail({OpenFailure::Busy, "already open"});
    if (m_openFailure != OpenFailure::None)
        return OpenResult::Fail({m_openFailure, "scripted failure"});
    m_open = true;
    ++m_openCount;
    return Nothing{};
}

int FakeSignLink::ReadByte(std::uint8_t& destination) {
    ++m_readCount;
    if (!m_reply.empty() && m_reply.front().availableAtMs <= m_now + kReadTimeoutMs) {
        m_now = std::max(m_now, m_reply.front().availableAtMs);
        destination = m_reply.front().byte;
        m_reply.pop_front();
        return 1;
    }
    m_now += kReadTimeoutMs;
    return 0;
}

bool FakeSignLink::WriteByte(std::uint8_t value) {
    if (!m_open) return false;
    if (m_writes.size() >= m_dieAfter) {
        if (m_deathGivesReason) m_lineError = "Input/output error";
        return false;
    }
    m_writes.push_back({m_now, value});
    return true;
}

void FakeSignLink::ClosePort() {
    m_open = false;
    ++m_closeCount;
}

void FakeSignLink::Delay(int milliseconds) {
    if (milliseconds > 0) m_now += milliseconds;
}

std::string FakeSignLink::WrittenBytes() const {
    std::string bytes;
    for (const Written& w : m_writes) bytes += static_cast<char>(w.byte);
    return bytes;
}

std::string Bytes(std::initializer_list<int> values) {
    std::string bytes;
    for (int v : values) bytes += static_cast<char>(v);
    return bytes;
}

}  // namespace meridial::testing
