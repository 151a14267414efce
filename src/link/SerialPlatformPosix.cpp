#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "link/AckReply.h"
#include "link/LinkTarget.h"
#include "link/SerialPlatform.h"

namespace meridial {
namespace {

// Where programs that follow the UUCP convention leave LCK..<device name>: Debian keeps them in
// /run/lock (/var/lock links there); Qt's serial ports take the first writable one of these.
constexpr const char* kLockDirectories[] = {"/run/lock",        "/var/lock",        "/etc/locks",
                                            "/var/spool/locks", "/var/spool/uucp",  "/tmp",
                                            "/var/tmp",         "/var/lock/lockdev"};

QString Shown(const QString& text) {
    return QString::fromStdString(EscapedText(text.toStdString()));
}

QString ProgramOf(int pid) {
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    return comm.open(QIODevice::ReadOnly) ? QString::fromUtf8(comm.readAll()).trimmed() : QString();
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

// The pseudo-terminal whose master this descriptor is (/proc/PID/fdinfo says), or -1.
int PtyIndexOfMaster(const QString& pid, const QString& fd) {
    QFile info(QStringLiteral("/proc/%1/fdinfo/%2").arg(pid, fd));
    if (!info.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : info.readAll().split('\n'))
        if (line.startsWith("tty-index:")) return line.mid(10).trimmed().toInt();
    return -1;
}

// The program that made the device exclusive: the kernel does not record it, so take a process
// that has the device open, found through the processes' open files (only those this user may
// look into). The far end of a pseudo-terminal (a virtual sign, socat) keeps it open too, and is
// named only when no one else has it open.
std::optional<PortHolder> ExclusiveHolder(const QString& name) {
    const QString device = DeviceToOpen(name);
    struct stat target {};
    if (::stat(QFile::encodeName(device).constData(), &target) != 0 || !S_ISCHR(target.st_mode))
        return std::nullopt;
    const bool isPty = device.startsWith(QStringLiteral("/dev/pts/"));
    const int ptyIndex = isPty ? QStringView(device).mid(9).toInt() : -1;
    std::optional<PortHolder> farEnd;
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs, QDir::Name);
    for (const QString& pid : pids) {
        bool numeric = false;
        const int number = pid.toInt(&numeric);
        if (!numeric) continue;
        const QString fdDir = QStringLiteral("/proc/%1/fd/").arg(pid);
        bool opened = false, master = false;
        for (const QString& fd : QDir(fdDir).entryList(QDir::System | QDir::NoDotAndDotDot)) {
            struct stat st {};
            if (::stat(QFile::encodeName(fdDir + fd).constData(), &st) != 0 || !S_ISCHR(st.st_mode))
                continue;
            if (st.st_rdev == target.st_rdev)
                opened = true;
            else if (isPty && major(st.st_rdev) == 5 && minor(st.st_rdev) == 2)
                master = master || PtyIndexOfMaster(pid, fd) == ptyIndex;
        }
        if (!opened) continue;
        const PortHolder holder{number, ProgramOf(number)};
        if (!master) return holder;
        if (!farEnd) farEnd = holder;
    }
    return farEnd;
}

// What a lock file says, in the formats in use: the PID as ten ASCII digits and a newline
// (UUCP, minicom, lockdev), as four binary bytes (the oldest UUCP programs), or on a line of its
// own followed by the program and the host (Qt's QLockFile).
struct LockContent {
    int pid = 0;  // 0 when the file holds none
    QString program;
    QString host;
};

LockContent ReadLockContent(const QByteArray& bytes) {
    LockContent content;
    bool text = true;
    for (const char c : bytes) text = text && (c == '\n' || c == '\r' || (c >= 0x20 && c < 0x7F));
    if (!text && bytes.size() == 4) {
        std::int32_t pid = 0;
        std::memcpy(&pid, bytes.constData(), sizeof pid);
        content.pid = pid > 0 ? pid : 0;
        return content;
    }
    if (!text) return content;
    const QList<QByteArray> lines = bytes.split('\n');
    bool ok = false;
    const int pid = lines[0].trimmed().toInt(&ok);
    content.pid = ok && pid > 0 ? pid : 0;
    if (lines.size() > 1) content.program = QString::fromUtf8(lines[1].trimmed());
    if (lines.size() > 2) content.host = QString::fromUtf8(lines[2].trimmed());
    return content;
}

QStringList LockDirectories() {
    QStringList directories;
    const QString extra = qEnvironmentVariable("MERIDIAL_LOCK_DIR");
    if (!extra.isEmpty()) directories << extra;
    for (const char* directory : kLockDirectories) directories << QLatin1String(directory);
    return directories;
}

// The lock files named after the device, judged in turn: a running holder first, then one that
// cannot be judged, then a stale one that stays.
PortHold JudgeLockFiles(const QString& device, StaleLocks stale) {
    // Named after the device below /dev with '/' as '_', as Qt names it: /dev/pts/3 is
    // LCK..pts_3, /dev/ttyUSB0 LCK..ttyUSB0.
    QString name = DeviceToOpen(device);
    if (name.startsWith(QStringLiteral("/dev/"))) name.remove(0, 5);
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    if (name.isEmpty()) return {};
    PortHold unjudged, leftOver;
    for (const QString& directory : LockDirectories()) {
        const QString path = QStringLiteral("%1/LCK..%2").arg(directory, name);
        QFile lock(path);
        if (!lock.open(QIODevice::ReadOnly)) continue;
        const LockContent content = ReadLockContent(lock.read(4096));
        struct stat st {};
        const bool seen = ::fstat(lock.handle(), &st) == 0;
        lock.close();
        PortHold hold{HoldKind::UnjudgedLock, std::nullopt, path, {}};
        const bool otherHost = !content.host.isEmpty() &&
                               content.host != QSysInfo::machineHostName() &&
                               content.host != QStringLiteral("localhost");
        if (content.pid == 0) {
            // Also a lock file another program has made but not yet written.
            hold.detail = QStringLiteral("locked by %1, which names no process").arg(path);
        } else if (otherHost) {
            hold.detail = QStringLiteral("locked by %1, written on host %2 by process %3")
                              .arg(path, content.host, QString::number(content.pid));
        } else if (::kill(content.pid, 0) == 0 || errno == EPERM) {
            const QString program = ProgramOf(content.pid);
            return {HoldKind::LockFile,
                    PortHolder{content.pid, program.isEmpty() ? content.program : program},
                    path,
                    {}};
        } else {
            // Its process has ended: this user's own leftover holds nothing, another user's is
            // theirs to remove.
            if (seen && st.st_uid == ::geteuid()) {
                if (stale == StaleLocks::Keep || QFile::remove(path)) continue;
            }
            hold.kind = HoldKind::StaleLock;
            hold.detail =
                QStringLiteral("stale lock file %1 (process %2 has ended): remove it with %3rm %1")
                    .arg(path, QString::number(content.pid),
                         ::geteuid() == 0 ? QString() : QStringLiteral("sudo "));
            if (leftOver.kind == HoldKind::Free) leftOver = hold;
            continue;
        }
        if (unjudged.kind == HoldKind::Free) unjudged = hold;
    }
    return unjudged.kind != HoldKind::Free ? unjudged : leftOver;
}

QString HeldBy(const PortHolder& holder) {
    return holder.program.isEmpty()
               ? QStringLiteral("held by process %1").arg(holder.pid)
               : QStringLiteral("held by %1 (process %2)").arg(holder.program).arg(holder.pid);
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

PortHold JudgeHold(const QString& device, StaleLocks stale) {
    PortHold hold = JudgeLockFiles(device, stale);
    if (hold.Busy()) {
        if (hold.holder) hold.detail = HeldBy(*hold.holder);
        return hold;
    }
    if (!MayOpen(device)) return hold;
    // Opening a serial device raises its DTR and RTS lines, which resets some boards: a mere
    // look (the port listing) opens only what another process has open already, the only way
    // an exclusive mode or a flock can be held.
    if (stale == StaleLocks::Keep && !ExclusiveHolder(device)) return hold;
    // The device's exclusive mode (which root would open through, and whose close would then
    // clear it) and its flock, looked at without disturbing either.
    const int fd =
        ::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    int exclusive = 0;
    const bool heldExclusive =
        fd < 0 ? errno == EBUSY : ::ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0;
    const bool flocked = fd >= 0 && !heldExclusive && ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    if (fd >= 0) ::close(fd);  // lets go of the look's own flock too
    if (heldExclusive) {
        hold = {HoldKind::Exclusive,
                ExclusiveHolder(device),
                {},
                QStringLiteral("held exclusively by another program")};
    } else if (flocked) {
        hold = {
            HoldKind::Flock, FlockHolder(device), {}, QStringLiteral("locked by another program")};
    } else {
        return hold;
    }
    if (hold.holder) hold.detail = HeldBy(*hold.holder);
    return hold;
}

std::optional<OpenError> CheckDevice(const QString& device) {
    auto fail = [&](OpenFailure failure, const QString& why) {
        return OpenError{failure, Shown(QStringLiteral("%1: %2").arg(device, why)).toStdString()};
    };
    if (!QFileInfo::exists(device))
        return fail(OpenFailure::Missing, QStringLiteral("no such device"));
    if (!MayOpen(device)) {
        struct stat st {};
        ::stat(QFile::encodeName(device).constData(), &st);
        // Joining the group helps only when the group may read and write the device.
        constexpr mode_t kGroupReadWrite = S_IRGRP | S_IWGRP;
        if ((st.st_mode & kGroupReadWrite) != kGroupReadWrite)
            return fail(OpenFailure::NoPermission,
                        QStringLiteral("permission denied (only its owner may open it)"));
        OpenError error = fail(OpenFailure::NoPermission, QStringLiteral("permission denied"));
        error.group = DeviceGroup(device).toStdString();
        return error;
    }
    const PortHold hold = JudgeHold(device, StaleLocks::RemoveOurs);
    if (!hold.Busy()) return std::nullopt;
    return BusyError(device, hold);
}

OpenError BusyError(const QString& device, const PortHold& hold) {
    OpenError error{OpenFailure::Busy,
                    Shown(QStringLiteral("%1: %2").arg(device, hold.detail)).toStdString()};
    if (hold.holder) {
        error.holderPid = hold.holder->pid;
        error.holderProgram = Shown(hold.holder->program).toStdString();
    } else {
        error.lockFile = Shown(hold.lockFile).toStdString();
    }
    return error;
}

bool LockOpenDevice(qintptr handle) {
    return ::flock(static_cast<int>(handle), LOCK_EX | LOCK_NB) == 0;
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
