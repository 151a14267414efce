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

// A client that set the exclusive flag (TIOCEXCL) and was killed never cleared it, and the flag
// outlives its close while the sign keeps the device open: every later client would be refused
// until the sign restarted. Clears the flag once no other program has the far side open; whether
// it did.
bool ReleaseAbandonedExclusive(const PseudoTerminal& pty);

// Tells when a program closes the far side, the moment to look at its exclusive flag.
class FarSideWatch {
public:
    explicit FarSideWatch(const PseudoTerminal& pty);
    ~FarSideWatch();
    FarSideWatch(const FarSideWatch&) = delete;
    FarSideWatch& operator=(const FarSideWatch&) = delete;

    // Readable after a close; -1 when the system cannot watch.
    int Fd() const { return m_fd; }
    // Takes the notices and releases an abandoned exclusive flag.
    void Check();

private:
    const PseudoTerminal& m_pty;
    int m_fd = -1;
};

// 9600 baud, 8 data bits, no parity, one stop bit, no translation of any byte.
void MakeRaw(int fd);

}  // namespace meridial::sign
