#pragma once

#include <QProcess>
#include <QString>

namespace meridial::testing {

// Debian's ser2net in front of a serial device, on a free loopback port: raw TCP or RFC 2217.
class DeviceServer {
public:
    enum class Mode { Raw, Rfc2217 };

    DeviceServer(const QString& device, Mode mode);
    ~DeviceServer();

    static bool Available();
    bool ok() const { return m_port != 0; }
    int Port() const { return m_port; }
    // The link target meridial-cli takes: "tcp://127.0.0.1:N" or "rfc2217://127.0.0.1:N".
    QString Target() const;
    void Stop();

private:
    Mode m_mode;
    QProcess m_process;
    int m_port = 0;
};

// A loopback port on which nothing listens.
int FreeLoopbackPort();

}  // namespace meridial::testing
