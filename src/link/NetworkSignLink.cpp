#include "link/NetworkSignLink.h"

#include <QElapsedTimer>

#include "link/DeviceWait.h"

namespace meridial {

NetworkSignLink::NetworkSignLink(LinkTarget target, Waiter& waiter)
    : m_target(std::move(target)), m_waiter(waiter) {
    QObject::connect(&m_socket, &QAbstractSocket::errorOccurred, &m_socket,
                     [this](QAbstractSocket::SocketError error) {
                         // A read that waited in vain is not a failed line.
                         if (m_open && error != QAbstractSocket::SocketTimeoutError)
                             Fail(m_socket.errorString());
                     });
    QObject::connect(&m_socket, &QAbstractSocket::disconnected, &m_socket, [this] {
        if (m_open) Fail(QStringLiteral("the device server closed the connection"));
    });
}

NetworkSignLink::~NetworkSignLink() { ClosePort(); }

bool NetworkSignLink::Connect() {
    m_socket.connectToHost(QString::fromStdString(m_target.host),
                           static_cast<quint16>(m_target.port));
    return WaitConnected(m_waiter, m_socket, kConnectTimeoutMs);
}

OpenResult NetworkSignLink::OpenPort(int, int baudRate) {
    const QString name = QString::fromStdString(m_target.address);
    if (m_open)
        return OpenResult::Fail(
            {OpenFailure::Busy,
             (name + QStringLiteral(": in use by another sequence")).toStdString()});
    m_lineError.clear();
    m_incoming.clear();
    m_drained = false;
    m_telnet = TelnetCodec();
    m_waiter.Reset();
    if (!Connect()) {
        const bool timedOut = m_socket.state() != QAbstractSocket::UnconnectedState ||
                              m_socket.error() == QAbstractSocket::SocketTimeoutError;
        const QString why =
            timedOut ? QStringLiteral("no connection within %1 s").arg(kConnectTimeoutMs / 1000)
                     : m_socket.errorString();
        m_socket.abort();
        return OpenResult::Fail(
            {OpenFailure::Other, (name + QStringLiteral(": ") + why).toStdString()});
    }
    m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    m_open = true;
    if (m_target.kind == LinkKind::Rfc2217) Send(m_telnet.Greeting(baudRate));
    Drain();
    return Nothing{};
}

void NetworkSignLink::Drain() {
    // A device server keeps what its serial side received while no client was connected (an
    // old reply, line noise) and hands it to the next client at once; taken for the sign's
    // answer, a stale "ACK" would report a transfer the sign never saw. A serial device is
    // flushed at open; here the bytes are still on their way, so wait for the line to fall
    // quiet. The RFC 2217 negotiation is answered meanwhile.
    QElapsedTimer total;
    total.start();
    QElapsedTimer quiet;
    quiet.start();
    while (m_open && !m_waiter.Aborted() && total.elapsed() < kDrainLimitMs) {
        const qint64 left = kDrainQuietMs - quiet.elapsed();
        if (left <= 0) break;
        if (m_socket.bytesAvailable() == 0)
            WaitReadable(m_waiter, m_socket, static_cast<int>(left));
        if (m_socket.bytesAvailable() > 0) {
            Pump();
            m_incoming.clear();
            quiet.restart();
        }
    }
    m_incoming.clear();
}

void NetworkSignLink::Fail(const QString& why) {
    if (m_lineError.isEmpty()) m_lineError = why;
    m_open = false;
    m_socket.abort();
}

void NetworkSignLink::Send(const std::string& bytes) {
    if (!m_open) return;
    if (m_socket.write(bytes.data(), static_cast<qint64>(bytes.size())) !=
        static_cast<qint64>(bytes.size())) {
        Fail(m_socket.errorString());
        return;
    }
    // Push it out now: the pauses between bytes are part of the protocol.
    m_socket.flush();
    // Without the events handled the socket only writes inside its blocking calls.
    if (m_open && !m_waiter.HandlesEvents() && m_socket.bytesToWrite() > 0)
        m_socket.waitForBytesWritten(kReadTimeoutMs);
}

void NetworkSignLink::Pump() {
    if (!m_open) return;
    const QByteArray bytes = m_socket.readAll();
    if (bytes.isEmpty()) return;
    if (m_target.kind != LinkKind::Rfc2217) {
        m_incoming.append(bytes.constData(), static_cast<std::size_t>(bytes.size()));
        return;
    }
    std::string reply;
    m_telnet.Decode(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
                    m_incoming, reply);
    if (!reply.empty()) Send(reply);
}

int NetworkSignLink::ReadByte(std::uint8_t& destination) {
    QElapsedTimer clock;
    clock.start();
    Pump();
    while (m_incoming.empty() && m_open && !m_waiter.Aborted()) {
        const qint64 remaining = kReadTimeoutMs - clock.elapsed();
        if (remaining <= 0) return 0;
        WaitReadable(m_waiter, m_socket, static_cast<int>(remaining));
        Pump();
    }
    if (m_incoming.empty() || m_waiter.Aborted()) return 0;
    destination = static_cast<std::uint8_t>(m_incoming.front());
    m_incoming.erase(0, 1);
    return 1;
}

bool NetworkSignLink::WriteByte(std::uint8_t value) {
    if (!m_open || m_waiter.Aborted()) return false;
    if (!m_drained) {
        // Whatever came between the open and now is no answer to this transfer either.
        Pump();
        m_incoming.clear();
        m_drained = true;
    }
    Send(m_target.kind == LinkKind::Rfc2217 ? TelnetCodec::EncodeData(value)
                                            : std::string(1, static_cast<char>(value)));
    return m_open;
}

void NetworkSignLink::ClosePort() {
    const bool wasOpen = m_open;
    m_open = false;
    if (m_socket.state() == QAbstractSocket::UnconnectedState) return;
    // What was written is in the system's hands; a graceful close still delivers it.
    if (wasOpen && m_socket.bytesToWrite() > 0) m_socket.waitForBytesWritten(kReadTimeoutMs);
    m_socket.disconnectFromHost();
    if (m_socket.state() != QAbstractSocket::UnconnectedState) m_socket.abort();
}

}  // namespace meridial
