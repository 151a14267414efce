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

// A process that holds a device.
struct PortHolder {
    int pid = 0;
    QString program;  // empty when the process has gone or cannot be seen
};

// Another program's claim on a device, as every front end judges it before opening.
enum class HoldKind {
    Free,
    LockFile,      // a lock file (LCK..name) whose process runs
    UnjudgedLock,  // a lock file whose process cannot be checked: another host's, or no PID
    StaleLock,     // a lock file whose process has ended, which this user may not remove
    Exclusive,     // the device's exclusive mode (TIOCEXCL), set by a program that has it open
    Flock,         // the device's advisory lock
};
struct PortHold {
    HoldKind kind = HoldKind::Free;
    std::optional<PortHolder> holder;  // whenever it can be found
    QString lockFile;                  // the lock file the judgement rests on
    QString detail;                    // for the operator, after the device's name
    bool Busy() const { return kind != HoldKind::Free; }
};

// What to do with a lock file left by a process that has ended. One this user owns holds
// nothing (the open replaces it); one owned by another user is theirs to remove.
enum class StaleLocks {
    Keep,        // a listing changes nothing
    RemoveOurs,  // before an open
};

// Every claim on the device, looked at without disturbing any: lock files in every format in use,
// the exclusive mode, the flock. The look opens the device for a moment when this user may (a
// listing only when another process has it open).
// MERIDIAL_LOCK_DIR names one more directory of lock files, looked in first.
PortHold JudgeHold(const QString& device, StaleLocks stale);

// The open failure a busy hold stands for, outside text escaped for a terminal.
OpenError BusyError(const QString& device, const PortHold& hold);

// The group that owns the device node; empty where devices have no owning group.
QString DeviceGroup(const QString& device);

// Whether this user may open the device for reading and writing.
bool MayOpen(const QString& device);

}  // namespace meridial
