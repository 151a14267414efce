#pragma once

#include <QString>
#include <optional>

#include "link/SignLink.h"

// What differs between platforms when a serial device is opened: one source file per platform.
namespace meridial {

// The device behind COMn when the settings file names none.
QString DefaultDeviceForPort(int portNumber);

// The name to open: where devices are reached through links, the real device behind them.
QString DeviceToOpen(const QString& device);

// Why the device cannot be opened before trying (missing, no permission, held by another
// program), when that can be told.
std::optional<OpenError> CheckDevice(const QString& device);

// Takes the advisory lock other serial programs take on the open device; false when another
// holds it.
bool LockOpenDevice(qintptr handle);

// The program that holds the device, as its lock file (LCK..name) names it.
struct PortHolder {
    int pid = 0;
    QString program;  // empty when the process has gone or cannot be seen
};
std::optional<PortHolder> LockHolder(const QString& device);

// The group that owns the device node; empty where devices have no owning group.
QString DeviceGroup(const QString& device);

// Whether this user may open the device for reading and writing.
bool MayOpen(const QString& device);

}  // namespace meridial
