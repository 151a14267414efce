#include <unistd.h>

#include <QFile>
#include <QFileInfo>

#include "link/LinkTarget.h"
#include "link/SerialPlatform.h"

namespace meridial {

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
    if (::access(QFile::encodeName(device).constData(), R_OK | W_OK) != 0)
        return fail(OpenFailure::NoPermission, "permission denied");
    return std::nullopt;
}

}  // namespace meridial
