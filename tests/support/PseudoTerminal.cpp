#include "support/PseudoTerminal.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <cstdlib>

namespace meridial::testing {

PseudoTerminal::PseudoTerminal() {
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0) return;
    if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
        CloseFarSide();
        return;
    }
    m_path = QString::fromLocal8Bit(::ptsname(m_master));
    m_slaveHold = ::open(m_path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    termios tio{};
    ::tcgetattr(m_slaveHold, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(m_slaveHold, TCSANOW, &tio);
}

PseudoTerminal::~PseudoTerminal() {
    CloseFarSide();
    if (m_slaveHold >= 0) ::close(m_slaveHold);
}

void PseudoTerminal::Write(const QByteArray& bytes) {
    if (m_master >= 0) [[maybe_unused]]
        auto n = ::write(m_master, bytes.constData(), bytes.size());
}

QByteArray PseudoTerminal::Read(int expected, int timeoutMs) {
    QByteArray data;
    QElapsedTimer clock;
    clock.start();
    while (m_master >= 0 && data.size() < expected) {
        const qint64 left = timeoutMs - clock.elapsed();
        if (left <= 0) break;
        pollfd p{m_master, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left)) <= 0) continue;
        char buffer[256];
        const auto n = ::read(m_master, buffer, sizeof buffer);
        if (n <= 0) break;
        data.append(buffer, n);
    }
    return data;
}

void PseudoTerminal::CloseFarSide() {
    if (m_master >= 0) ::close(m_master);
    m_master = -1;
}

}  // namespace meridial::testing
