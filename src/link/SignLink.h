#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "link/Result.h"

namespace meridial {

// The line always runs at this rate; every sender passes it to OpenPort.
inline constexpr int kBaudRate = 9600;

enum class OpenFailure { None, Missing, Busy, NoPermission, Other };

// One byte read gives up after this long.
inline constexpr int kReadTimeoutMs = 1100;

struct OpenError {
    OpenError() = default;
    OpenError(OpenFailure why, std::string text) : failure(why), detail(std::move(text)) {}

    OpenFailure failure = OpenFailure::Other;
    std::string detail;  // the device and the system's reason, for logs and the CLI
    // Busy: the program holding the port, when it can be found (0 / empty otherwise).
    int holderPid = 0;
    std::string holderProgram;
    // Busy with no program to name: the lock file that refuses the port (stale, or naming no
    // process that can be checked); the detail says what to do about it.
    std::string lockFile;
    // NoPermission: the group that owns the device, whose members may open it.
    std::string group;
};

using OpenResult = Result<Nothing, OpenError>;

// One serial connection to the sign. Senders open it at the start of a sequence, move single
// bytes, and close it at the end; it is never held between sequences. It knows nothing of frames.
class SignLink {
public:
    virtual ~SignLink() = default;

    // Port numbers outside 1..8 select COM1. A link that is already open refuses a second open
    // (Busy) and leaves the running sequence's port alone.
    virtual OpenResult OpenPort(int portNumber, int baudRate) = 0;

    // True from a successful open until the close: a sequence holds the link.
    virtual bool IsOpen() const = 0;

    // Reads one byte; returns 1, or 0 when none arrived within kReadTimeoutMs,
    // leaving the destination unchanged.
    virtual int ReadByte(std::uint8_t& destination) = 0;

    // Writes one byte unchanged (any value, 0x00, XON and XOFF included).
    virtual bool WriteByte(std::uint8_t value) = 0;

    virtual void ClosePort() = 0;

    // Waits the given milliseconds; the desktop program keeps its windows alive meanwhile.
    virtual void Delay(int milliseconds) = 0;

    // Non-empty once the line has failed during a sequence (the device went away): the reason,
    // for the operator. Reads and writes then return at once.
    virtual std::string LineError() const { return {}; }

    // Ends every wait at once and lets the running sequence fall through to its end, where it
    // closes the port (the program is closing). Links that do not wait ignore it.
    virtual void Abort() {}
};

}  // namespace meridial
