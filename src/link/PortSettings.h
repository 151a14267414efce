#pragma once

#include <QString>

#include "link/LinkTarget.h"
#include "link/Result.h"

namespace meridial {

// The settings file shared by the program and the command-line tool: section "Sign" with the
// remembered "comport" (and an optional "codepage"), and an optional section "Ports" naming the
// device behind each COM number. The file is opened only for each read or write.
class PortSettings {
public:
    explicit PortSettings(QString path);

    // MERIDIAL_SETTINGS when set; else "meridial.INI" beside the executable when that folder is
    // writable or the file already exists there; else $XDG_CONFIG_HOME/meridial/meridial.ini.
    static QString DefaultPath();

    const QString& Path() const { return m_path; }

    // The remembered port number; 1 when the file or the key is missing or not an integer.
    int ReadPortNumber() const;

    // Stores the number in decimal. On failure: "Unable to write to <full path>".
    Status WritePortNumber(int portNumber) const;

    // The device for COM1..COM8: "[Ports] COMn=" when set, else the platform's default.
    QString DeviceForPort(int portNumber) const;

    // The target behind COMn, resolved from DeviceForPort.
    Result<LinkTarget> TargetForPort(int portNumber) const;

    // "[Sign] codepage" as written, empty when not set.
    QString CodePage() const;

private:
    QString ReadValue(const QString& section, const QString& key) const;

    QString m_path;
};

}  // namespace meridial
