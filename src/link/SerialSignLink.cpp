#include "link/SerialSignLink.h"

#include <unistd.h>

#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>
#include <chrono>
#include <thread>

namespace meridial {

int ClampPortNumber(int portNumber) { return portNumber < 1 || portNumber > 8 ? 1 : portNumber; }

QString DefaultDeviceForPort(int portNumber) {
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(ClampPortNumber(portNumber));
#else
    return QStringLiteral("/dev/ttyS%1").arg(ClampPortNumber(portNumber) - 1);
#endif
}

SerialSignLink::SerialSignLink(PortResolver resolver, WaitMode mode)
    : m_resolver(std::move(resolver)), m_mode(mode) {
    QObject::connect(&m_port, &QSerialPort::errorOccurred, &m_port,
                     [this](QSerialPort::SerialPortError error) { OnError(error); });
}

SerialSignLink::~SerialSignLink() { ClosePort(); }

OpenResult SerialSignLink::OpenPort(int portNumber, int baudRate) {
    const int number = ClampPortNumber(portNumber);
    QString device = m_resolver ? m_resolver(number) : DefaultDeviceForPort(number);
#ifndef Q_OS_WIN
    // The lock that keeps other programs off the port is named after the device; open the real
    // device behind a link (/dev/serial/by-id/..., a symlink in the settings) so that every
    // program takes the same lock.
    const QString canonical = QFileInfo(device).canonicalFilePath();
    if (!canonical.isEmpty()) device = canonical;
#endif
    auto fail = [&](OpenFailure failure, const QString& why) {
        return OpenResult{failure, QStringLiteral("%1: %2").arg(device, why).toStdString()};
    };
    // One sequence at a time: a second sender gets the ordinary open failure and the running
    // sequence keeps its port.
    if (m_port.isOpen())
        return fail(OpenFailure::Busy, QStringLiteral("in use by another sequence"));

#ifndef Q_OS_WIN
    const QFileInfo info(device);
    if (!info.exists()) return fail(OpenFailure::Missing, QStringLiteral("no such device"));
    if (::access(QFile::encodeName(device).constData(), R_OK | W_OK) != 0)
        return fail(OpenFailure::NoPermission, QStringLiteral("permission denied"));
#endif

    m_device = device;
    m_lineError.clear();
    m_aborted = false;
    m_port.setPortName(device);
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
        // Access was checked above, so a refusal here means another program holds the port
        // (its lock file or exclusive mode).
        if (error == QSerialPort::PermissionError) return fail(OpenFailure::Busy, why);
        return fail(OpenFailure::Other, why);
    }
    // Bytes that reached the device before this sequence are not the sign's answer to it.
    m_port.clear(QSerialPort::Input);
    return {};
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

bool SerialSignLink::WaitReadable(int milliseconds) {
    if (m_mode == WaitMode::Blocking) {
        const bool ready = m_port.waitForReadyRead(milliseconds);
        if (!ready && m_port.error() == QSerialPort::TimeoutError) m_port.clearError();
        return ready;
    }
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(&m_port, &QSerialPort::readyRead, &loop, &QEventLoop::quit);
    QObject::connect(&m_port, &QSerialPort::aboutToClose, &loop, &QEventLoop::quit);
    timer.start(milliseconds);
    RunLoop(loop);
    return m_port.isOpen() && m_port.bytesAvailable() > 0;
}

int SerialSignLink::ReadByte(std::uint8_t& destination) {
    QElapsedTimer clock;
    clock.start();
    while (m_port.isOpen() && !m_aborted && m_port.bytesAvailable() == 0) {
        const qint64 remaining = kReadTimeoutMs - clock.elapsed();
        if (remaining <= 0) return 0;
        WaitReadable(static_cast<int>(remaining));
    }
    char c = 0;
    if (!m_port.isOpen() || m_aborted || m_port.read(&c, 1) != 1) return 0;
    destination = static_cast<std::uint8_t>(c);
    return 1;
}

bool SerialSignLink::WriteByte(std::uint8_t value) {
    if (!m_port.isOpen() || m_aborted) return false;
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

void SerialSignLink::Delay(int milliseconds) {
    if (milliseconds <= 0) return;
    QElapsedTimer clock;
    clock.start();
    if (m_mode == WaitMode::Blocking) {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
        return;
    }
    while (!m_aborted) {
        const qint64 remaining = milliseconds - clock.elapsed();
        if (remaining <= 0) break;
        QEventLoop loop;
        QTimer::singleShot(static_cast<int>(remaining), Qt::PreciseTimer, &loop, &QEventLoop::quit);
        RunLoop(loop);
    }
}

std::string SerialSignLink::LineError() const { return m_lineError.toStdString(); }

void SerialSignLink::RunLoop(QEventLoop& loop) {
    QEventLoop* outer = m_currentLoop;
    m_currentLoop = &loop;
    loop.exec();
    m_currentLoop = outer;
}

void SerialSignLink::Abort() {
    m_aborted = true;
    if (m_currentLoop) m_currentLoop->quit();
}

}  // namespace meridial
