#pragma once

#include <QSerialPort>
#include <QString>

#include "link/LinkTarget.h"
#include "link/SignLink.h"
#include "link/Waiter.h"

namespace meridial {

// The serial line on a real device: exclusive open, 8 data bits, no parity, one stop bit, no flow
// control, every byte passed through unchanged. It is made for one target; the port number
// given to OpenPort was already resolved to it.
class SerialSignLink final : public SignLink {
public:
    // The waiter outlives the link.
    SerialSignLink(QString device, Waiter& waiter);
    ~SerialSignLink() override;

    OpenResult OpenPort(int portNumber, int baudRate) override;
    bool IsOpen() const override { return m_port.isOpen(); }
    int ReadByte(std::uint8_t& destination) override;
    bool WriteByte(std::uint8_t value) override;
    void ClosePort() override;
    void Delay(int milliseconds) override { m_waiter.Delay(milliseconds); }
    std::string LineError() const override;
    void Abort() override { m_waiter.Abort(); }

private:
    void OnError(QSerialPort::SerialPortError error);

    QString m_device;
    Waiter& m_waiter;
    QSerialPort m_port;
    QString m_lineError;
};

}  // namespace meridial
