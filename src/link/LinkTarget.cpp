#include "link/LinkTarget.h"

#include "link/IntegerText.h"

namespace meridial {

int ClampPortNumber(int portNumber) {
    return portNumber < kFirstPortNumber || portNumber > kLastPortNumber ? kDefaultPortNumber
                                                                         : portNumber;
}

std::string PortName(int portNumber) { return "COM" + std::to_string(portNumber); }

std::optional<int> ParsePortName(std::string_view text) {
    if (text.size() < 4) return std::nullopt;
    for (std::size_t i = 0; i < 3; ++i)
        if ((text[i] & ~0x20) != "COM"[i]) return std::nullopt;
    const std::string_view digits = text.substr(3);
    for (char c : digits)
        if (c < '0' || c > '9') return std::nullopt;
    return ParseDecimal(digits);
}

Result<LinkTarget> ParseLinkTarget(std::string_view text) {
    const std::string_view trimmed = Trim(text);
    if (trimmed.empty()) return Result<LinkTarget>::Fail("no device given");
    return LinkTarget{LinkKind::SerialDevice, std::string(trimmed)};
}

}  // namespace meridial
