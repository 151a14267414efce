#pragma once

#include <QString>

#include "link/LinkFactory.h"
#include "link/PortNumberStore.h"
#include "link/PortSettings.h"

namespace meridial {

// The program's one settings value: the remembered port, read at start-up and changed only
// through SetPortNumber, and the settings file behind it. SetCom edits it; the window and the
// service dialog read it.
class ProgramSettings final : public PortNumberStore {
public:
    explicit ProgramSettings(PortSettings file);

    int PortNumber() const override { return m_portNumber; }

    // Takes the port for this run and stores it in the file; the failure says why it could not.
    Status SetPortNumber(int portNumber) override;

    // "[Sign] codepage" as the file writes it; empty for the locale's.
    QString CodePage() const { return m_file.CodePage(); }

    const PortSettings& File() const { return m_file; }

    // COMn to its target through the file, as it reads at the moment of each open.
    TargetResolver Resolver() const;

private:
    PortSettings m_file;
    int m_portNumber;
};

}  // namespace meridial
