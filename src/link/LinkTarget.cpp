#include "link/LinkTarget.h"

#include <cctype>

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

bool IsPortName(std::string_view text) {
    if (text.size() < 3 || text.find_first_of("/\\") != std::string_view::npos) return false;
    for (std::size_t i = 0; i < 3; ++i)
        if ((text[i] & ~0x20) != "COM"[i]) return false;
    return true;
}

namespace {

struct Scheme {
    std::string_view prefix;
    LinkKind kind;
};
constexpr Scheme kSchemes[] = {{"tcp://", LinkKind::Tcp}, {"rfc2217://", LinkKind::Rfc2217}};

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
    return true;
}

Result<LinkTarget> ParseNetworkTarget(std::string_view text, const Scheme& scheme) {
    using R = Result<LinkTarget>;
    const std::string quoted = "'" + std::string(text) + "'";
    std::string_view rest = text.substr(scheme.prefix.size());
    if (!rest.empty() && rest.back() == '/') rest.remove_suffix(1);
    std::string_view host;
    std::string_view portText;
    if (!rest.empty() && rest.front() == '[') {
        const auto close = rest.find(']');
        if (close == std::string_view::npos)
            return R::Fail(quoted + ": an IPv6 address needs its closing ']'");
        host = rest.substr(1, close - 1);
        rest.remove_prefix(close + 1);
        if (rest.empty() || rest.front() != ':')
            return R::Fail(quoted + ": give the port after the host, as HOST:PORT");
        portText = rest.substr(1);
    } else {
        const auto colon = rest.rfind(':');
        if (colon == std::string_view::npos)
            return R::Fail(quoted + ": give the port after the host, as HOST:PORT");
        host = rest.substr(0, colon);
        portText = rest.substr(colon + 1);
        if (host.find(':') != std::string_view::npos)
            return R::Fail(quoted + ": write an IPv6 address in brackets, as [ADDRESS]:PORT");
    }
    if (host.empty()) return R::Fail(quoted + ": no host");
    for (char c : host)
        if (std::isspace(static_cast<unsigned char>(c)) || c == '/' || c == '@')
            return R::Fail(quoted + ": the host holds a character no host name has");
    bool digitsOnly = !portText.empty() && portText.size() <= 5;
    for (char c : portText) digitsOnly = digitsOnly && c >= '0' && c <= '9';
    const auto port = digitsOnly ? ParseDecimal(portText) : std::nullopt;
    if (!port || *port < 1 || *port > 65535)
        return R::Fail(quoted + ": the port must be a number from 1 to 65535");
    LinkTarget target;
    target.kind = scheme.kind;
    target.address = std::string(text);
    target.host = std::string(host);
    target.port = *port;
    return target;
}

}  // namespace

Result<LinkTarget> ParseLinkTarget(std::string_view text) {
    const std::string_view trimmed = Trim(text);
    if (trimmed.empty()) return Result<LinkTarget>::Fail("no device given");
    for (const Scheme& scheme : kSchemes)
        if (StartsWithNoCase(trimmed, scheme.prefix)) return ParseNetworkTarget(trimmed, scheme);
    LinkTarget target;
    target.address = std::string(trimmed);
    return target;
}

}  // namespace meridial
