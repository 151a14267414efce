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

enum class LinkKind {
    SerialDevice,  // a local serial device: /dev/ttyS0, /dev/ttyUSB0, COM3 on Windows
};

// Where a sequence's bytes go, resolved once before the link is made.
struct LinkTarget {
    LinkKind kind = LinkKind::SerialDevice;
    std::string address;  // the device path

    bool operator==(const LinkTarget&) const = default;
};

// A target as the settings file or the command line names it. Only device paths today.
Result<LinkTarget> ParseLinkTarget(std::string_view text);

}  // namespace meridial
