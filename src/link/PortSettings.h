#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/LinkTarget.h"
#include "link/ProfileFile.h"
#include "link/Result.h"

namespace meridial {

// The settings file's rules on its bytes alone, shared by the reader and the writer. Section
// and key names are compared without case; a " ; note" after a value is a comment; the first
// of two equal keys counts, as the Windows profile functions have it.
std::optional<std::string> SettingsValue(std::string_view file, std::string_view section,
                                         std::string_view key);

// The lines the reader cannot use, each with its number: a stray line, a header without "]"
// (with the entries under it), an entry before any section, a key given again.
std::vector<ProfileProblem> SettingsProblems(std::string_view file);

// The file with the first "comport" of [Sign] set to the number (the line added under the first
// [Sign], or the section at the end, when missing); every other byte kept, added lines ending
// as the file's own lines do.
std::string SettingsWithPortNumber(std::string_view file, int portNumber);

// The settings file shared by the program and the command-line tool: section "Sign" with the
// remembered "comport" (and an optional "codepage"), and an optional section "Ports" naming the
// device behind each COM number. The file is opened only for each read or write.
//
// Keys the file lacks are looked up in read-only fallback files, so an administrator can map
// [Ports] for every user; the file itself is the only one ever written.
class PortSettings {
public:
    // The user's own file ($XDG_CONFIG_HOME/meridial/meridial.ini) falls back on the
    // system-wide files; any other path stands alone.
    explicit PortSettings(QString path);
    PortSettings(QString path, QStringList fallbackPaths);

    // MERIDIAL_SETTINGS when set; else "meridial.INI" beside the executable when that file
    // already exists (a portable copy); else $XDG_CONFIG_HOME/meridial/meridial.ini. Never a new
    // file beside the program: installed, that is /usr/bin.
    static QString DefaultPath();

    // $XDG_CONFIG_HOME/meridial/meridial.ini.
    static QString UserPath();

    // meridial/meridial.ini in each folder of XDG_CONFIG_DIRS (default /etc/xdg), the first
    // folder winning.
    static QStringList SystemPaths();

    const QString& Path() const { return m_path; }
    const QStringList& FallbackPaths() const { return m_fallbackPaths; }

    // The remembered port number; 1 when the file or the key is missing or not an integer.
    int ReadPortNumber() const;

    // Stores the number in decimal through SettingsWithPortNumber. The file is replaced
    // atomically and read back: only a file that then says that number counts as written. On
    // failure: "Unable to write to <full path>".
    Status WritePortNumber(int portNumber) const;

    // The device for COM1..COM8: "[Ports] COMn=" when set, else the platform's default.
    QString DeviceForPort(int portNumber) const;

    // The target behind COMn, resolved from DeviceForPort.
    Result<LinkTarget> TargetForPort(int portNumber) const;

    // "[Sign] codepage" as written, empty when not set.
    QString CodePage() const;

    // Why the file's own settings go unused (a phrase after its name: "is not a regular file",
    // "cannot be read", "is not a settings file", "says comport=abc, not a number"); empty when
    // they are used, or when there is no file. Only regular files are read: a FIFO would hang
    // the start.
    QString Problem() const;

    // The lines of the file (not the fallback files) that are not used, as "line N: why"; the
    // rest of the file counts. Empty when Problem() says the file is not used at all.
    QStringList LineProblems() const;

private:
    QString ReadValue(const QString& section, const QString& key) const;

    QString m_path;
    QStringList m_fallbackPaths;
};

}  // namespace meridial
