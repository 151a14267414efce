#pragma once

#include <string>
#include <string_view>

namespace meridial {

// The models speak UTF-8; the windows' W functions UTF-16.
std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

}  // namespace meridial
