#include "link/LinkFactory.h"

#include "link/NetworkSignLink.h"
#include "link/SerialSignLink.h"

namespace meridial {

std::unique_ptr<SignLink> MakeSignLink(const LinkTarget& target, Waiter& waiter) {
    switch (target.kind) {
        case LinkKind::Tcp:
        case LinkKind::Rfc2217:
            return std::make_unique<NetworkSignLink>(target, waiter);
        case LinkKind::SerialDevice:
            break;
    }
    return std::make_unique<SerialSignLink>(QString::fromStdString(target.address), waiter);
}

PortLink::PortLink(TargetResolver resolver, Waiter& waiter)
    : m_resolver(std::move(resolver)), m_waiter(waiter) {}

PortLink::~PortLink() { ClosePort(); }

OpenResult PortLink::OpenPort(int portNumber, int baudRate) {
    if (m_current)
        return OpenResult::Fail(
            {OpenFailure::Busy, m_target.address + ": in use by another sequence"});
    const int number = ClampPortNumber(portNumber);
    const Result<LinkTarget> target = m_resolver(number);
    if (!target)
        return OpenResult::Fail({OpenFailure::Other, PortName(number) + ": " + target.error()});
    m_target = *target;
    m_lastLineError.clear();
    auto link = MakeSignLink(m_target, m_waiter);
    OpenResult opened = link->OpenPort(number, baudRate);
    if (opened) m_current = std::move(link);
    return opened;
}

int PortLink::ReadByte(std::uint8_t& destination) {
    return m_current ? m_current->ReadByte(destination) : 0;
}

bool PortLink::WriteByte(std::uint8_t value) { return m_current && m_current->WriteByte(value); }

void PortLink::ClosePort() {
    if (!m_current) return;
    m_current->ClosePort();
    m_lastLineError = m_current->LineError();
    m_current.reset();
}

void PortLink::Delay(int milliseconds) {
    if (m_current) m_current->Delay(milliseconds);
}

std::string PortLink::LineError() const {
    return m_current ? m_current->LineError() : m_lastLineError;
}

void PortLink::Abort() {
    if (m_current) m_current->Abort();
}

}  // namespace meridial
