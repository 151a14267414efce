#include "link/LinkTarget.h"
#include "link/SerialPlatform.h"

namespace meridial {

QString DefaultDeviceForPort(int portNumber) {
    return QStringLiteral("COM%1").arg(ClampPortNumber(portNumber));
}

QString DeviceToOpen(const QString& device) { return device; }

// The open itself tells a missing port from a held one.
std::optional<OpenError> CheckDevice(const QString&) { return std::nullopt; }

// Ports are opened without sharing; there is nothing more to take.
bool LockOpenDevice(qintptr) { return true; }

// Windows keeps no lock files and no owning groups for COM ports; the open tells a held port.
PortHold JudgeHold(const QString&, StaleLocks) { return {}; }
OpenError BusyError(const QString& device, const PortHold& hold) {
    return {OpenFailure::Busy, QStringLiteral("%1: %2").arg(device, hold.detail).toStdString()};
}
QString DeviceGroup(const QString&) { return {}; }
bool MayOpen(const QString&) { return true; }

}  // namespace meridial
