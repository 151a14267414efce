#include "win32/Win32Error.h"

#include <windows.h>

#include "link/IntegerText.h"

namespace meridial {

std::string SystemErrorText(std::string_view what, unsigned long errorCode) {
    char buffer[512];
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, errorCode, 0, buffer, sizeof buffer, nullptr);
    std::string text(what);
    text += ": ";
    if (length == 0)
        text += "system error " + std::to_string(errorCode);
    else
        text += Trim(std::string_view(buffer, length));  // the system's text ends in CR LF
    return text;
}

}  // namespace meridial
