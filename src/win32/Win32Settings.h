#pragma once

#include <string>
#include <string_view>

#include "link/PortNumberStore.h"
#include "link/Result.h"

namespace meridial {

// The program's path with its extension replaced by ".INI" ("C:\Tools\Meridial.exe" gives
// "C:\Tools\Meridial.INI"); ".INI" added when the name has no extension.
std::string ProfilePathFor(std::string_view programPath);

// ProfilePathFor the running program.
std::string ProgramProfilePath();

// The settings file through the Windows profile functions: "[Sign] comport", the remembered
// port, read once at construction; "[Sign] codepage"; and "[Ports] COMn", the device behind a
// COM number (USB adapters often get numbers above 8). The file is opened only for each read
// or write.
class Win32Settings final : public PortNumberStore {
public:
    explicit Win32Settings(std::string path = ProgramProfilePath());

    const std::string& Path() const { return m_path; }

    // 1 when the file or the key is missing or not an integer; hexadecimal with "0x".
    int PortNumber() const override { return m_portNumber; }

    // Takes the number for this run, then writes it in decimal and reads it back: only a file
    // that then says that number counts as written. On failure "Unable to write to <path>".
    Status SetPortNumber(int portNumber) override;

    // The device for COM1..COM8 (out of range: COM1): "[Ports] COMn" when set, else "COMn". A
    // mapping to a COM name ("COM14") is opened as "\\.\COM14", the only form Windows takes
    // above COM9.
    std::string DeviceForPort(int portNumber) const;

    // "[Sign] codepage" as written, blanks trimmed; empty when not set.
    std::string CodePage() const;

private:
    std::string ReadValue(const char* section, const std::string& key) const;

    std::string m_path;
    int m_portNumber;
};

}  // namespace meridial
