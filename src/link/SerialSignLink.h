#pragma once

#include <QElapsedTimer>
#include <QEventLoop>
#include <QSerialPort>
#include <QString>
#include <functional>

#include "link/SignLink.h"

namespace meridial {

// How the link passes the time while it waits for the clock or for a byte.
enum class WaitMode {
    Blocking,   // sleep the thread: command-line use
    EventLoop,  // run a local event loop: windows keep painting, ticking and taking clicks
};

// COM port number (already clamped to 1..8) to the device to open.
using PortResolver = std::function<QString(int portNumber)>;

// The serial line on a real device: exclusive open, 8 data bits, no parity, one stop bit, no flow
// control, every byte passed through unchanged.
class SerialSignLink final : public SignLink {
public:
    SerialSignLink(PortResolver resolver, WaitMode mode);
    ~SerialSignLink() override;

    OpenResult OpenPort(int portNumber, int baudRate) override;
    int ReadByte(std::uint8_t& destination) override;
    bool WriteByte(std::uint8_t value) override;
    void ClosePort() override;
    void Delay(int milliseconds) override;
    std::string LineError() const override;

    bool IsOpen() const { return m_port.isOpen(); }
    QString DeviceName() const { return m_device; }

    void Abort() override;

    // Read time-out for one byte.
    static constexpr int kReadTimeoutMs = 1100;

private:
    void OnError(QSerialPort::SerialPortError error);
    bool WaitReadable(int milliseconds);
    void RunLoop(QEventLoop& loop);

    PortResolver m_resolver;
    WaitMode m_mode;
    QSerialPort m_port;
    QString m_device;
    QString m_lineError;
    bool m_aborted = false;
    QEventLoop* m_currentLoop = nullptr;
};

// The device a COM number maps to when the settings file names none.
QString DefaultDeviceForPort(int portNumber);

// 1..8 as is, anything else COM1.
int ClampPortNumber(int portNumber);

}  // namespace meridial
