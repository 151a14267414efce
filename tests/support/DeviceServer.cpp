#include "support/DeviceServer.h"

#include <QElapsedTimer>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

namespace meridial::testing {

int FreeLoopbackPort() {
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0)) return 0;
    return probe.serverPort();
}

bool DeviceServer::Available() {
    return !QStandardPaths::findExecutable(QStringLiteral("ser2net")).isEmpty() ||
           !QStandardPaths::findExecutable(QStringLiteral("ser2net"), {QStringLiteral("/usr/sbin")})
                .isEmpty();
}

DeviceServer::DeviceServer(const QString& device, Mode mode) : m_mode(mode) {
    QString program = QStandardPaths::findExecutable(QStringLiteral("ser2net"));
    if (program.isEmpty())
        program = QStandardPaths::findExecutable(QStringLiteral("ser2net"),
                                                 {QStringLiteral("/usr/sbin")});
    if (program.isEmpty()) return;
    // Another test may take the port between the probe and the server's start: try a few.
    for (int attempt = 0; attempt < 5 && m_port == 0; ++attempt) {
        const int port = FreeLoopbackPort();
        const QString accepter =
            (mode == Mode::Rfc2217 ? QStringLiteral("telnet(rfc2217),") : QString()) +
            QStringLiteral("tcp,127.0.0.1,%1").arg(port);
        // A line setting the client does not set would show here: the server starts the line
        // slower than the sign, and only the client's RFC 2217 settings make it 9600.
        const QString line =
            mode == Mode::Rfc2217 ? QStringLiteral("4800n81") : QStringLiteral("9600n81");
        const QStringList args{
            QStringLiteral("-n"),
            QStringLiteral("-u"),
            QStringLiteral("-Y"),
            QStringLiteral("connection: &sign"),
            QStringLiteral("-Y"),
            QStringLiteral("  accepter: ") + accepter,
            QStringLiteral("-Y"),
            QStringLiteral("  connector: serialdev,%1,%2,local").arg(device, line),
            QStringLiteral("-Y"),
            QStringLiteral("  options:"),
            QStringLiteral("-Y"),
            QStringLiteral("    kickolduser: true")};
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(program, args);
        if (!m_process.waitForStarted(5000)) return;
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 5000 && m_process.state() == QProcess::Running) {
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(port));
            if (probe.waitForConnected(200)) {
                probe.abort();
                m_port = port;
                break;
            }
            QThread::msleep(50);
        }
        if (m_port == 0) Stop();
    }
}

DeviceServer::~DeviceServer() { Stop(); }

QString DeviceServer::Target() const {
    return QStringLiteral("%1://127.0.0.1:%2")
        .arg(m_mode == Mode::Rfc2217 ? QStringLiteral("rfc2217") : QStringLiteral("tcp"))
        .arg(m_port);
}

void DeviceServer::Stop() {
    if (m_process.state() == QProcess::NotRunning) return;
    m_process.kill();
    m_process.waitForFinished(3000);
}

}  // namespace meridial::testing
