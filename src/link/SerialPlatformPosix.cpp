#include <grp.h>
#include <signal.h>
#include <sys/stat.h>
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
    return std::nullopt;
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
        PortHolder holder{pid, {}};
        QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
        if (comm.open(QIODevice::ReadOnly))
            holder.program = QString::fromLocal8Bit(comm.readAll()).trimmed();
        return holder;
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
