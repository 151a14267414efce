#include "link/DeviceWait.h"

#include <QAbstractSocket>
#include <QElapsedTimer>
#include <QIODevice>
#include <algorithm>

namespace meridial {
namespace {

// Connections that end with the wait they were made for.
class ScopedConnections {
public:
    ScopedConnections() = default;
    ScopedConnections(const ScopedConnections&) = delete;
    ScopedConnections& operator=(const ScopedConnections&) = delete;
    ~ScopedConnections() {
        for (const QMetaObject::Connection& connection : m_connections)
            QObject::disconnect(connection);
    }
    void Add(QMetaObject::Connection connection) { m_connections[m_count++] = connection; }

private:
    QMetaObject::Connection m_connections[2];
    int m_count = 0;
};

}  // namespace

bool WaitReadable(Waiter& waiter, QIODevice& device, int milliseconds) {
    if (!waiter.HandlesEvents()) {
        QElapsedTimer clock;
        clock.start();
        while (!waiter.Aborted() && device.isOpen()) {
            const qint64 left = milliseconds - clock.elapsed();
            if (left <= 0) return false;
            const qint64 slice = std::min<qint64>(left, Waiter::kSliceMs);
            const qint64 sliceStart = clock.elapsed();
            if (device.waitForReadyRead(static_cast<int>(slice))) return true;
            // Ended well before its time: not a time-out but a closed or failed device, which
            // would only fail again at once.
            if (clock.elapsed() - sliceStart < slice / 2) return false;
        }
        return false;
    }
    if (!waiter.Aborted()) {
        ScopedConnections wakes;
        const auto wake = [&waiter] { waiter.Wake(); };
        wakes.Add(QObject::connect(&device, &QIODevice::readyRead, wake));
        wakes.Add(QObject::connect(&device, &QIODevice::aboutToClose, wake));
        waiter.WaitFor(milliseconds);
    }
    return device.isOpen() && device.bytesAvailable() > 0;
}

bool WaitConnected(Waiter& waiter, QAbstractSocket& socket, int milliseconds) {
    if (!waiter.HandlesEvents()) return socket.waitForConnected(milliseconds);
    ScopedConnections wakes;
    const auto wake = [&waiter] { waiter.Wake(); };
    wakes.Add(QObject::connect(&socket, &QAbstractSocket::connected, wake));
    wakes.Add(QObject::connect(&socket, &QAbstractSocket::errorOccurred, wake));
    QElapsedTimer clock;
    clock.start();
    // A failed attempt leaves the socket unconnected before it reports the error.
    while (!waiter.Aborted() && socket.state() != QAbstractSocket::ConnectedState &&
           socket.state() != QAbstractSocket::UnconnectedState) {
        const qint64 left = milliseconds - clock.elapsed();
        if (left <= 0) break;
        waiter.WaitFor(static_cast<int>(left));
    }
    return socket.state() == QAbstractSocket::ConnectedState;
}

}  // namespace meridial
