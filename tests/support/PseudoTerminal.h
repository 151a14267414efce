#pragma once

#include <QByteArray>
#include <QString>

namespace meridial::testing {

// A raw pseudo-terminal: the program under test opens Path() as its serial device, the test
// reads and writes the far side.
class PseudoTerminal {
public:
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    bool ok() const { return m_master >= 0; }
    const QString& Path() const { return m_path; }

    void Write(const QByteArray& bytes);
    // Everything that arrives within the time, stopping early once `expected` bytes are in.
    QByteArray Read(int expected, int timeoutMs);
    // The far side goes away, as when a USB adapter is pulled.
    void CloseFarSide();

private:
    int m_master = -1;
    int m_slaveHold = -1;  // keeps the line up between the program's opens
    QString m_path;
};

}  // namespace meridial::testing
