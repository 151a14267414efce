#include "link/SerialSignLink.h"

#include <QElapsedTimer>

#include "link/AckReply.h"
#include "link/DeviceWait.h"
#include "link/SerialPlatform.h"

namespace meridial {

SerialSignLink::SerialSignLink(QString device, Waiter& waiter)
    : m_device(DeviceToOpen(device)), m_waiter(waiter) {
    QObject::connect(&m_port, &QSerialPort::errorOccurred, &m_port,
                     [this](QSerialPort::SerialPortError error) { OnError(error); });
}

SerialSignLink::~SerialSignLink() { ClosePort(); }

OpenResult SerialSignLink::OpenPort(int, int baudRate) {
    auto fail = [&](OpenFailure failure, const QString& why) {
        return OpenResult::Fail(
            {failure, EscapedText(QStringLiteral("%1: %2").arg(m_device, why).toStdString())});
    };
    // One sequence at a time: a second sender gets the ordinary open failure and the running
    // sequence keeps its port.
    if (m_port.isOpen())
        return fail(OpenFailure::Busy, QStringLiteral("in use by another sequence"));
    if (auto refused = CheckDevice(m_device)) return OpenResult::Fail(*refused);

    m_lineError.clear();
    m_waiter.Reset();
    m_port.setPortName(m_device);
    m_port.setBaudRate(baudRate);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setStopBits(QSerialPort::OneStop);
    // XON/XOFF would swallow the 0x11 and 0x13 that checksums and payloads carry.
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    m_port.setReadBufferSize(1024);
    if (!m_port.open(QIODevice::ReadWrite)) {
        const auto error = m_port.error();
        const QString why = m_port.errorString();
        m_port.clearError();
        if (error == QSerialPort::DeviceNotFoundError) return fail(OpenFailure::Missing, why);
        // Access was checked above, so a refusal here means another program took the port
        // after the look (its lock file or exclusive mode).
        if (error == QSerialPort::PermissionError) {
            const PortHold hold = JudgeHold(m_device, StaleLocks::Keep);
            return hold.Busy() ? OpenResult::Fail(BusyError(m_device, hold))
                               : fail(OpenFailure::Busy, why);
        }
        return fail(OpenFailure::Other, why);
    }
    // Other serial programs keep off a device by its flock; so does this one, for the whole
    // sequence. Losing the race to one of them after the look before opening is still "busy".
    if (!LockOpenDevice(m_port.handle())) {
        m_port.close();
        return fail(OpenFailure::Busy, QStringLiteral("locked by another program"));
    }
    // Bytes that reached the device before this sequence are not the sign's answer to it.
    m_port.clear(QSerialPort::Input);
    return Nothing{};
}

void SerialSignLink::OnError(QSerialPort::SerialPortError error) {
    switch (error) {
        case QSerialPort::ReadError:
        case QSerialPort::WriteError:
        case QSerialPort::ResourceError:
            break;
        default:
            return;
    }
    if (!m_port.isOpen()) return;
    // The device has gone (a pseudo-terminal whose far side closed reports a read error again
    // and again until the port is closed): remember why once and close now.
    if (m_lineError.isEmpty()) m_lineError = m_port.errorString();
    m_port.close();
}

int SerialSignLink::ReadByte(std::uint8_t& destination) {
    QElapsedTimer clock;
    clock.start();
    while (m_port.isOpen() && !m_waiter.Aborted() && m_port.bytesAvailable() == 0) {
        const qint64 remaining = kReadTimeoutMs - clock.elapsed();
        if (remaining <= 0) return 0;
        if (!WaitReadable(m_waiter, m_port, static_cast<int>(remaining)) &&
            m_port.error() == QSerialPort::TimeoutError)
            m_port.clearError();
    }
    char c = 0;
    if (!m_port.isOpen() || m_waiter.Aborted() || m_port.read(&c, 1) != 1) return 0;
    destination = static_cast<std::uint8_t>(c);
    return 1;
}

bool SerialSignLink::WriteByte(std::uint8_t value) {
    if (!m_port.isOpen() || m_waiter.Aborted()) return false;
    const char c = static_cast<char>(value);
    if (m_port.write(&c, 1) != 1) return false;
    // Push the byte out now: the pauses between bytes are part of the protocol.
    m_port.flush();
    if (m_port.isOpen() && m_port.bytesToWrite() > 0) m_port.waitForBytesWritten(kReadTimeoutMs);
    return m_port.isOpen() && m_port.bytesToWrite() == 0;
}

void SerialSignLink::ClosePort() {
    if (m_port.isOpen()) m_port.close();
}

std::string SerialSignLink::LineError() const { return m_lineError.toStdString(); }

}  // namespace meridial
