#include "link/IntegerText.h"

#include <charconv>
#include <limits>

namespace meridial {

std::string_view Trim(std::string_view text, std::string_view blanks) {
    const auto first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

namespace {

std::optional<int> ParseWhole(std::string_view text, int base) {
    if (text.empty()) return std::nullopt;
    bool negative = false;
    if (text.front() == '+' || text.front() == '-') {
        negative = text.front() == '-';
        text.remove_prefix(1);
        if (text.empty() || text.front() == '+' || text.front() == '-') return std::nullopt;
    }
    long long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (ec != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    if (negative) value = -value;
    if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(value);
}

}  // namespace

std::optional<int> ParseDecimal(std::string_view text) { return ParseWhole(Trim(text), 10); }

std::string NotAnIntegerMessage(std::string_view text) {
    std::string message(1, '\'');
    message.append(text);
    message.append("' is not a valid integer value");
    return message;
}

int ParseProfileInt(std::string_view text, int defaultValue) {
    const std::string_view t = Trim(text);
    std::optional<int> value;
    if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
        const std::string_view digits = t.substr(2);
        // from_chars would accept a second sign here; hex digits only.
        if (digits.find_first_of("+-") == std::string_view::npos) value = ParseWhole(digits, 16);
    } else {
        value = ParseWhole(t, 10);
    }
    return value.value_or(defaultValue);
}

}  // namespace meridial
