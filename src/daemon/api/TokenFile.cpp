#include "daemon/api/TokenFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <cstring>

namespace meridial::daemon {

namespace {

constexpr qsizetype kMinTokenChars = 32;
constexpr int kRandomBytes = 32;

using TokenResult = Result<QByteArray, QString>;

QString Why() { return QString::fromLocal8Bit(std::strerror(errno)); }

bool WriteAll(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += n;
    }
    return true;
}

// Reads the token through the one descriptor it checks, so the file cannot be swapped between
// the check and the read; a link is not followed.
TokenResult Read(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return TokenResult::Fail(QStringLiteral("cannot read %1: %2").arg(path, Why()));
    struct stat info {};
    QByteArray bytes(4096, '\0');
    qsizetype size = 0;
    const bool stated = ::fstat(fd, &info) == 0;
    if (stated && S_ISREG(info.st_mode)) {
        ssize_t n = 0;
        while (size < bytes.size() &&
               ((n = ::read(fd, bytes.data() + size, size_t(bytes.size() - size))) > 0 ||
                (n < 0 && errno == EINTR))) {
            size += qMax<ssize_t>(n, 0);
        }
    }
    ::close(fd);
    if (!stated || !S_ISREG(info.st_mode)) {
        return TokenResult::Fail(QStringLiteral("%1 is not a regular file").arg(path));
    }
    if (info.st_uid != ::geteuid()) {
        return TokenResult::Fail(
            QStringLiteral("%1 belongs to another user; it must belong to the service's")
                .arg(path));
    }
    if ((info.st_mode & 077) != 0) {
        return TokenResult::Fail(
            QStringLiteral("%1 is open to other users (mode %2); make it private: chmod 600 %1")
                .arg(path)
                .arg(info.st_mode & 0777, 4, 8, QLatin1Char('0')));
    }
    const QByteArray token = bytes.left(size).trimmed();
    if (token.size() < kMinTokenChars) {
        return TokenResult::Fail(QStringLiteral("%1 holds a token of %2 characters; it needs at "
                                                "least %3 (delete the file to have one made)")
                                     .arg(path)
                                     .arg(token.size())
                                     .arg(kMinTokenChars));
    }
    for (const char c : token) {
        if (c < '!' || c > '~') {
            return TokenResult::Fail(
                QStringLiteral("%1 holds characters a token cannot have (only visible ASCII)")
                    .arg(path));
        }
    }
    return token;
}

// Writes the token into a file of its own made 0600 with O_EXCL, syncs it and only then links
// it into place: no instant when others can read it, and no half-written token after a crash.
// When another start made the file meanwhile, that one is used.
TokenResult Create(const QString& dir, const QString& path) {
    quint32 random[kRandomBytes / 4];
    QRandomGenerator::system()->fillRange(random);
    const QByteArray token =
        QByteArray(reinterpret_cast<const char*>(random), sizeof random).toHex();
    QByteArray scratch = QFile::encodeName(dir + QStringLiteral("/.token-XXXXXX"));
    const int fd = ::mkostemp(scratch.data(), O_CLOEXEC);
    if (fd < 0) return TokenResult::Fail(QStringLiteral("cannot write in %1: %2").arg(dir, Why()));
    const bool written = ::fchmod(fd, 0600) == 0 && WriteAll(fd, token + '\n') && ::fsync(fd) == 0;
    const QString writeError = Why();
    ::close(fd);
    const bool linked = written && ::link(scratch.constData(), QFile::encodeName(path)) == 0;
    const int linkErrno = errno;
    ::unlink(scratch.constData());
    if (!written) {
        return TokenResult::Fail(QStringLiteral("cannot write %1: %2").arg(path, writeError));
    }
    if (!linked && linkErrno == EEXIST) return Read(path);
    if (!linked) {
        errno = linkErrno;
        return TokenResult::Fail(QStringLiteral("cannot make %1: %2").arg(path, Why()));
    }
    const int dirFd =
        ::open(QFile::encodeName(dir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return token;
}

}  // namespace

TokenResult LoadOrCreateToken(const QString& stateDir) {
    const QString dir = QDir::cleanPath(QFileInfo(stateDir).absoluteFilePath());
    const QByteArray encodedDir = QFile::encodeName(dir);
    if (!QFileInfo(dir).isDir()) {
        const QString parent = QFileInfo(dir).absolutePath();
        if (!QDir().mkpath(parent) ||
            (::mkdir(encodedDir.constData(), 0700) != 0 && errno != EEXIST)) {
            return TokenResult::Fail(
                QStringLiteral("cannot make the folder %1: %2").arg(dir, Why()));
        }
    }
    const QString path = dir + QStringLiteral("/token");
    if (::access(QFile::encodeName(path).constData(), F_OK) != 0 && errno == ENOENT) {
        return Create(dir, path);
    }
    return Read(path);
}

}  // namespace meridial::daemon
