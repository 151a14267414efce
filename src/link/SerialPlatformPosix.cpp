#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <cerrno>

#include "link/LinkTarget.h"
#include "link/SerialPlatform.h"

namespace meridial {
namespace {

// Where programs that follow the UUCP convention leave LCK..<device name>: Debian keeps them in
// /run/lock (/var/lock links there); Qt falls back to the others when those are not writable.
constexpr const char* kLockDirectories[] = {"/run/lock", "/var/lock", "/var/spool/locks",
                                            "/var/spool/uucp", "/tmp"};

QString ProgramOf(int pid) {
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    return comm.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(comm.readAll()).trimmed()
                                          : QString();
}

// The program holding a flock on the device, from the kernel's list of locks.
std::optional<PortHolder> FlockHolder(const QString& device) {
    struct stat st {};
    if (::stat(QFile::encodeName(device).constData(), &st) != 0) return std::nullopt;
    QFile locks(QStringLiteral("/proc/locks"));
    if (!locks.open(QIODevice::ReadOnly | QIODevice::Text)) return std::nullopt;
    const QString inode = QStringLiteral(":%1").arg(static_cast<qulonglong>(st.st_ino));
    for (const QByteArray& line : locks.readAll().split('\n')) {
        // "1: FLOCK  ADVISORY  WRITE 4242 00:05:1234 0 EOF"
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 6 || fields[1] != "FLOCK" ||
            !QString::fromLatin1(fields[5]).endsWith(inode))
            continue;
        bool ok = false;
        const int pid = fields[4].toInt(&ok);
        if (ok && pid > 0) return PortHolder{pid, ProgramOf(pid)};
    }
    return std::nullopt;
}

OpenError Busy(const QString& device, const QString& why, std::optional<PortHolder> holder) {
    OpenError error{OpenFailure::Busy, QStringLiteral("%1: %2").arg(device, why).toStdString()};
    if (holder) {
        const QString heldBy =
            holder->program.isEmpty()
                ? QStringLiteral("held by process %1").arg(holder->pid)
                : QStringLiteral("held by %1 (process %2)").arg(holder->program).arg(holder->pid);
        error.detail = QStringLiteral("%1: %2").arg(device, heldBy).toStdString();
        error.holderPid = holder->pid;
        error.holderProgram = holder->program.toStdString();
    }
    return error;
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
    auto fail = [&](OpenFailure failure, const char* why) {
        return OpenError{failure,
                         QStringLiteral("%1: %2").arg(device, QLatin1String(why)).toStdString()};
    };
    if (!QFileInfo::exists(device)) return fail(OpenFailure::Missing, "no such device");
    if (!MayOpen(device)) {
        struct stat st {};
        ::stat(QFile::encodeName(device).constData(), &st);
        // Joining the group helps only when the group may read and write the device.
        constexpr mode_t kGroupReadWrite = S_IRGRP | S_IWGRP;
        if ((st.st_mode & kGroupReadWrite) != kGroupReadWrite)
            return fail(OpenFailure::NoPermission,
                        "permission denied (only its owner may open it)");
        OpenError error = fail(OpenFailure::NoPermission, "permission denied");
        error.group = DeviceGroup(device).toStdString();
        return error;
    }
    // Another program's hold on the device, looked at without disturbing it: its exclusive mode
    // (which root would open through, and whose close would then clear it) and its flock.
    const int fd =
        ::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return std::nullopt;  // the open proper says why
    int exclusive = 0;
    const bool heldExclusive = ::ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0;
    const bool flocked = !heldExclusive && ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    ::close(fd);  // lets go of the look's own flock too
    if (heldExclusive)
        return Busy(device, QStringLiteral("held exclusively by another program"),
                    LockHolder(device));
    if (flocked)
        return Busy(device, QStringLiteral("locked by another program"), FlockHolder(device));
    return std::nullopt;
}

bool LockOpenDevice(qintptr handle) {
    return ::flock(static_cast<int>(handle), LOCK_EX | LOCK_NB) == 0;
}

std::optional<PortHolder> LockHolder(const QString& device) {
    // Named after the device below /dev with '/' as '_', as Qt names it: /dev/pts/3 is
    // LCK..pts_3, /dev/ttyUSB0 LCK..ttyUSB0.
    QString name = DeviceToOpen(device);
    if (name.startsWith(QStringLiteral("/dev/"))) name.remove(0, 5);
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    if (name.isEmpty()) return std::nullopt;
    for (const char* directory : kLockDirectories) {
        QFile lock(QStringLiteral("%1/LCK..%2").arg(QLatin1String(directory), name));
        if (!lock.open(QIODevice::ReadOnly)) continue;
        // An ASCII PID padded to ten characters (UUCP), or a PID on the first line (Qt's locks);
        // binary PIDs of the oldest UUCP programs are not worth guessing at.
        bool ok = false;
        const int pid = QString::fromLatin1(lock.readLine(64)).trimmed().toInt(&ok);
        if (!ok || pid <= 0) continue;
        // A lock left behind by a program that died holds nothing; the next open replaces it.
        if (::kill(pid, 0) != 0 && errno == ESRCH) continue;
        return PortHolder{pid, ProgramOf(pid)};
    }
    return std::nullopt;
}

QString DeviceGroup(const QString& device) {
    struct stat st {};
    if (::stat(QFile::encodeName(device).constData(), &st) != 0) return {};
    if (const group* g = ::getgrgid(st.st_gid)) return QString::fromLocal8Bit(g->gr_name);
    return QString::number(st.st_gid);
}

bool MayOpen(const QString& device) {
    return ::access(QFile::encodeName(device).constData(), R_OK | W_OK) == 0;
}

}  // namespace meridial
