#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace meridial {

// The text without the given characters at either end.
std::string_view Trim(std::string_view text, std::string_view blanks = " \t\r\n");

// A plain decimal integer: optional surrounding blanks, optional sign, digits only.
std::optional<int> ParseDecimal(std::string_view text);

// The message a failed conversion shows to the operator, e.g. "'' is not a valid integer value".
std::string NotAnIntegerMessage(std::string_view text);

// Integer values of the settings file: "0x"/"0X" followed by hex digits (more than two characters
// in all) is hexadecimal, anything else decimal; what is not an integer gives the default.
int ParseProfileInt(std::string_view text, int defaultValue);

}  // namespace meridial
