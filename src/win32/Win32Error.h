#pragma once

#include <string>
#include <string_view>

namespace meridial {

// "<what>: <the system's text for the error>", e.g. "COM3: Access is denied."
std::string SystemErrorText(std::string_view what, unsigned long errorCode);

}  // namespace meridial
