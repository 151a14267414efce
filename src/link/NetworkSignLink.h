#pragma once

#include <QString>
#include <QTcpSocket>
#include <string>

#include "link/LinkTarget.h"
#include "link/SignLink.h"
#include "link/TelnetCodec.h"
#include "link/Waiter.h"

namespace meridial {

// A sign behind a serial device server: raw bytes over TCP, or the same bytes inside Telnet with
// the COM port control option, which also sets the server's line to 9600 8N1 without flow
// control. Each byte leaves at once (no Nagle delay), so the pauses between bytes hold on the
// server's serial side too. Reads, the acknowledgement and a line that fails behave as on a
// serial device.
class NetworkSignLink final : public SignLink {
public:
    // A server that takes longer than this to accept is taken as one that cannot be reached.
    static constexpr int kConnectTimeoutMs = 3000;
    // Before the first byte goes out, what the server sends is read and dropped until it has
    // been quiet this long (or for at most kDrainLimitMs on a line that keeps talking).
    static constexpr int kDrainQuietMs = 100;
    static constexpr int kDrainLimitMs = 1000;

    // The waiter outlives the link.
    NetworkSignLink(LinkTarget target, Waiter& waiter);
    ~NetworkSignLink() override;

    OpenResult OpenPort(int portNumber, int baudRate) override;
    bool IsOpen() const override { return m_open; }
    int ReadByte(std::uint8_t& destination) override;
    bool WriteByte(std::uint8_t value) override;
    void ClosePort() override;
    void Delay(int milliseconds) override { m_waiter.Delay(milliseconds); }
    std::string LineError() const override { return m_lineError.toStdString(); }
    void Abort() override { m_waiter.Abort(); }

private:
    bool Connect();
    void Pump();
    void Drain();
    void Send(const std::string& bytes);
    void Fail(const QString& why);

    LinkTarget m_target;
    Waiter& m_waiter;
    QTcpSocket m_socket;
    TelnetCodec m_telnet;
    std::string m_incoming;  // the sign's bytes received and not yet read
    bool m_open = false;
    bool m_drained = false;  // what arrived before the first write has been dropped
    QString m_lineError;
};

}  // namespace meridial
