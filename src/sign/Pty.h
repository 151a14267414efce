#pragma once

#include <string>

#include "link/Result.h"

namespace meridial::sign {

// A pseudo-terminal the virtual sign serves on. The far side stays open for the sign's whole
// life: without it the line drops every time a program closes the device.
struct PseudoTerminal {
    int fd = -1;         // the sign's side, non-blocking
    int slaveHold = -1;  // the far side, held open
    std::string path;    // what programs open, /dev/pts/N
};

Result<PseudoTerminal> OpenPseudoTerminal();
void ClosePseudoTerminal(PseudoTerminal& pty);

// 9600 baud, 8 data bits, no parity, one stop bit, no translation of any byte.
void MakeRaw(int fd);

}  // namespace meridial::sign
