#include "sign/Pty.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace meridial::sign {

Result<PseudoTerminal> OpenPseudoTerminal() {
    PseudoTerminal pty;
    pty.fd = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (pty.fd < 0 || ::grantpt(pty.fd) != 0 || ::unlockpt(pty.fd) != 0) {
        const std::string reason = std::strerror(errno);
        if (pty.fd >= 0) ::close(pty.fd);
        return Result<PseudoTerminal>::Fail("cannot open a pseudo-terminal: " + reason);
    }
    pty.path = ::ptsname(pty.fd);
    pty.slaveHold = ::open(pty.path.c_str(), O_RDWR | O_NOCTTY);
    if (pty.slaveHold < 0) {
        const std::string reason = std::strerror(errno);
        ::close(pty.fd);
        return Result<PseudoTerminal>::Fail("cannot open " + pty.path + ": " + reason);
    }
    MakeRaw(pty.slaveHold);
    return pty;
}

void ClosePseudoTerminal(PseudoTerminal& pty) {
    if (pty.slaveHold >= 0) ::close(pty.slaveHold);
    if (pty.fd >= 0) ::close(pty.fd);
    pty.slaveHold = pty.fd = -1;
}

void MakeRaw(int fd) {
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) return;
    ::cfmakeraw(&tio);
    ::cfsetispeed(&tio, B9600);
    ::cfsetospeed(&tio, B9600);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | PARENB | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    ::tcsetattr(fd, TCSANOW, &tio);
}

}  // namespace meridial::sign
