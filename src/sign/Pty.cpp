#include "sign/Pty.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

namespace meridial::sign {
namespace {

// Whether any open file under /proc but the sign's own held one is the device. Only the device's
// owner and root may open it; root's processes cannot be looked into and do not count, so a root
// program holding the far side may lose its flag when another program closes the device.
bool OpenElsewhere(dev_t device, int heldFd) {
    DIR* processes = ::opendir("/proc");
    if (!processes) return true;  // cannot judge: leave the flag alone
    const long self = static_cast<long>(::getpid());
    bool found = false;
    while (const dirent* process = ::readdir(processes)) {
        char* end = nullptr;
        const long pid = std::strtol(process->d_name, &end, 10);
        if (end == process->d_name || *end != '\0') continue;
        const std::string dir = std::string("/proc/") + process->d_name + "/fd";
        DIR* files = ::opendir(dir.c_str());
        if (!files) continue;
        while (const dirent* file = ::readdir(files)) {
            struct stat st {};
            if (file->d_name[0] == '.' || ::fstatat(::dirfd(files), file->d_name, &st, 0) != 0)
                continue;
            if (!S_ISCHR(st.st_mode) || st.st_rdev != device) continue;
            if (pid == self && std::atoi(file->d_name) == heldFd) continue;
            found = true;
            break;
        }
        ::closedir(files);
        if (found) break;
    }
    ::closedir(processes);
    return found;
}

}  // namespace

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

bool ReleaseAbandonedExclusive(const PseudoTerminal& pty) {
    int exclusive = 0;
    struct stat st {};
    if (pty.slaveHold < 0 || ::ioctl(pty.slaveHold, TIOCGEXCL, &exclusive) != 0 || !exclusive ||
        ::fstat(pty.slaveHold, &st) != 0 || OpenElsewhere(st.st_rdev, pty.slaveHold))
        return false;
    return ::ioctl(pty.slaveHold, TIOCNXCL) == 0;
}

FarSideWatch::FarSideWatch(const PseudoTerminal& pty) : m_pty(pty) {
    m_fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd >= 0 && ::inotify_add_watch(m_fd, pty.path.c_str(), IN_CLOSE) < 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

FarSideWatch::~FarSideWatch() {
    if (m_fd >= 0) ::close(m_fd);
}

void FarSideWatch::Check() {
    alignas(inotify_event) char notices[4096];
    while (m_fd >= 0 && ::read(m_fd, notices, sizeof notices) > 0) {
    }
    ReleaseAbandonedExclusive(m_pty);
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
