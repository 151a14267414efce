#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>

#include "link/LinkTarget.h"
#include "link/SerialPlatform.h"

namespace meridial {
namespace {

// The program holding a flock on the device, from the kernel's list of locks: " (process PID,
// name)", or nothing when it cannot be told.
QString FlockHolder(const QString& device) {
    struct stat st {};
    if (::stat(QFile::encodeName(device).constData(), &st) != 0) return {};
    QFile locks(QStringLiteral("/proc/locks"));
    if (!locks.open(QIODevice::ReadOnly | QIODevice::Text)) return {};
    const QString inode = QStringLiteral(":%1").arg(static_cast<qulonglong>(st.st_ino));
    for (const QByteArray& line : locks.readAll().split('\n')) {
        // "1: FLOCK  ADVISORY  WRITE 4242 00:05:1234 0 EOF"
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 6 || fields[1] != "FLOCK" ||
            !QString::fromLatin1(fields[5]).endsWith(inode))
            continue;
        const QString pid = QString::fromLatin1(fields[4]);
        QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
        const QString name = comm.open(QIODevice::ReadOnly)
                                 ? QString::fromLocal8Bit(comm.readAll()).trimmed()
                                 : QString();
        return name.isEmpty() ? QStringLiteral(" (process %1)").arg(pid)
                              : QStringLiteral(" (process %1, %2)").arg(pid, name);
    }
    return {};
}

}  // namespace

QString DefaultDeviceForPort(int portNumber) {
    return QStringLiteral("/dev/ttyS%1").arg(ClampPortNumber(portNumber) - 1);
}

QString DeviceToOpen(const QString& device) {
    // The lock that keeps other programs off the port is named after the device; open the real
    // device behind a link (/dev/serial/by-id/..., a symlink in the settings) so that every
    // program takes the same lock.
    const QString canonical = QFileInfo(device).canonicalFilePath();
    return canonical.isEmpty() ? device : canonical;
}

std::optional<OpenError> CheckDevice(const QString& device) {
    auto fail = [&](OpenFailure failure, const QString& why) {
        return OpenError{failure, QStringLiteral("%1: %2").arg(device, why).toStdString()};
    };
    if (!QFileInfo::exists(device))
        return fail(OpenFailure::Missing, QStringLiteral("no such device"));
    const QByteArray path = QFile::encodeName(device);
    if (::access(path.constData(), R_OK | W_OK) != 0)
        return fail(OpenFailure::NoPermission, QStringLiteral("permission denied"));
    // Another program's hold on the device, looked at without disturbing it: its exclusive mode
    // (which root would open through, and whose close would then clear it) and its flock.
    const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return std::nullopt;  // the open proper says why
    int exclusive = 0;
    const bool heldExclusive = ::ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0;
    const bool flocked = !heldExclusive && ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    ::close(fd);  // lets go of the look's own flock too
    if (heldExclusive)
        return fail(OpenFailure::Busy, QStringLiteral("held exclusively by another program"));
    if (flocked)
        return fail(OpenFailure::Busy,
                    QStringLiteral("locked by another program") + FlockHolder(device));
    return std::nullopt;
}

bool LockOpenDevice(qintptr handle) {
    return ::flock(static_cast<int>(handle), LOCK_EX | LOCK_NB) == 0;
}

}  // namespace meridial
