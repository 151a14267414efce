#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "link/Result.h"

namespace meridial {

// The COM ports the program offers; any other number selects the first.
inline constexpr int kFirstPortNumber = 1;
inline constexpr int kLastPortNumber = 8;
inline constexpr int kDefaultPortNumber = kFirstPortNumber;

// 1..8 as is, anything else COM1.
int ClampPortNumber(int portNumber);

// "COM3" for 3.
std::string PortName(int portNumber);

// "COMn" in any case to n (not range-checked); nullopt for any other text.
std::optional<int> ParsePortName(std::string_view text);

// "COM" in any case followed by anything but a path ("COM9", "COM99999999999", "com-1"): a name
// for a COM port, good or not.
bool IsPortName(std::string_view text);

enum class LinkKind {
    SerialDevice,  // a local serial device: /dev/ttyS0, /dev/ttyUSB0, COM3 on Windows
    Tcp,           // a serial device server passing raw bytes: tcp://HOST:PORT
    Rfc2217,       // a device server that lets the client set the line: rfc2217://HOST:PORT
};

// Where a sequence's bytes go, resolved once before the link is made.
struct LinkTarget {
    LinkKind kind = LinkKind::SerialDevice;
    std::string address;  // the device path, or the target as written for network kinds
    std::string host;     // network kinds: a name or an address (IPv6 without its brackets)
    int port = 0;         // network kinds: 1..65535

    bool IsNetwork() const { return kind != LinkKind::SerialDevice; }
    bool operator==(const LinkTarget&) const = default;
};

// A target as the settings file or the command line names it: "tcp://HOST:PORT",
// "rfc2217://HOST:PORT" (an IPv6 host in brackets), or else a device path. A malformed network
// target is an error that says what is wrong with it.
Result<LinkTarget> ParseLinkTarget(std::string_view text);

}  // namespace meridial
