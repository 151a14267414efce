#include "link/ProgramSettings.h"

namespace meridial {

ProgramSettings::ProgramSettings(PortSettings file)
    : m_file(std::move(file)), m_portNumber(m_file.ReadPortNumber()) {}

Status ProgramSettings::SetPortNumber(int portNumber) {
    // The choice holds for this run even when the file cannot keep it.
    m_portNumber = portNumber;
    return m_file.WritePortNumber(portNumber);
}

TargetResolver ProgramSettings::Resolver() const {
    return [file = m_file](int portNumber) { return file.TargetForPort(portNumber); };
}

}  // namespace meridial
