#pragma once

#include "message/MessageEncoder.h"
#include "win32/Win32Settings.h"

namespace meridial {

// The message in the code page "[Sign] codepage" names, or the system's ANSI code page: read
// again at each use, since the file may change under a running program.
MessageEncoder Win32MessageEncoder(const Win32Settings& settings);

}  // namespace meridial
