#include "link/PortSettings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <algorithm>

#include "link/IntegerText.h"
#include "link/SerialPlatform.h"

namespace meridial {
namespace {

const QString kSignSection = QStringLiteral("Sign");
const QString kPortKey = QStringLiteral("comport");
const QString kCodePageKey = QStringLiteral("codepage");
const QString kPortsSection = QStringLiteral("Ports");

constexpr qint64 kLongestFile = 1 << 20;

const ProfileSyntax kSyntax{.trailingComments = true};

// The first entry of that key in a section of that name, in file order. A second [Sign] goes on
// where the first left off, so the first "comport" of all counts.
const ProfileEntry* FindEntry(const ProfileFile& file, std::string_view section,
                              std::string_view key) {
    for (const ProfileSection& candidate : file.sections) {
        if (!candidate.usable || !SameName(candidate.name, section)) continue;
        for (const ProfileEntry& entry : candidate.entries)
            if (SameName(entry.key, key)) return &entry;
    }
    return nullptr;
}

// The file's bytes when it is a regular file that can be read. Opening a FIFO waits for a
// writer; a device may never end.
std::optional<QByteArray> ReadBytes(const QString& path) {
    if (!QFileInfo(path).isFile()) return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    return file.read(kLongestFile);
}

std::string_view View(const QByteArray& bytes) {
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

std::optional<QString> ReadFrom(const QString& path, const QString& section, const QString& key) {
    const auto bytes = ReadBytes(path);
    if (!bytes) return std::nullopt;
    const auto value = SettingsValue(View(*bytes), section.toStdString(), key.toStdString());
    if (!value) return std::nullopt;
    return QString::fromStdString(*value);
}

// Text with no "=" or "[" at all, or with NUL bytes, is not a profile of any program.
bool IsSettingsText(const QByteArray& content) {
    return !content.contains('\0') &&
           (content.trimmed().isEmpty() || content.contains('=') || content.contains('['));
}

}  // namespace

PortSettings::PortSettings(QString path, QStringList fallbackPaths)
    : m_path(QFileInfo(path).absoluteFilePath()), m_fallbackPaths(std::move(fallbackPaths)) {}

PortSettings::PortSettings(QString path)
    : PortSettings(path,
                   QFileInfo(path).absoluteFilePath() == QFileInfo(UserPath()).absoluteFilePath()
                       ? SystemPaths()
                       : QStringList()) {}

QString PortSettings::DefaultPath() {
    const QString fromEnvironment = qEnvironmentVariable("MERIDIAL_SETTINGS");
    if (!fromEnvironment.isEmpty()) return fromEnvironment;
    const QString besideProgram =
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("meridial.INI"));
    if (QFileInfo::exists(besideProgram)) return besideProgram;
    return UserPath();
}

QString PortSettings::UserPath() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .filePath(QStringLiteral("meridial/meridial.ini"));
}

QStringList PortSettings::SystemPaths() {
    const QString userFolder =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    QStringList paths;
    for (const QString& folder :
         QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation))
        if (folder != userFolder)
            paths << QDir(folder).filePath(QStringLiteral("meridial/meridial.ini"));
    return paths;
}

QString PortSettings::ReadValue(const QString& section, const QString& key) const {
    if (const auto value = ReadFrom(m_path, section, key)) return *value;
    for (const QString& fallback : m_fallbackPaths)
        if (const auto value = ReadFrom(fallback, section, key)) return *value;
    return {};
}

int PortSettings::ReadPortNumber() const {
    return ParseProfileInt(ReadValue(kSignSection, kPortKey).toStdString(), kDefaultPortNumber);
}

Status PortSettings::WritePortNumber(int portNumber) const {
    const Status failure = Status::Fail(QStringLiteral("Unable to write to %1")
                                            .arg(QDir::toNativeSeparators(m_path))
                                            .toStdString());
    if (!QDir().mkpath(QFileInfo(m_path).absolutePath())) return failure;
    QByteArray original;
    if (QFileInfo::exists(m_path)) {
        const auto bytes = ReadBytes(m_path);
        if (!bytes) return failure;
        original = *bytes;
    }
    // Written beside the file and renamed over it: a full disk or a crash leaves the old file.
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly)) return failure;
    const std::string updated = SettingsWithPortNumber(View(original), portNumber);
    if (file.write(updated.data(), static_cast<qint64>(updated.size())) !=
            static_cast<qint64>(updated.size()) ||
        !file.commit())
        return failure;
    // The dialog says the port is stored only when the file now says so to any reader.
    const auto stored = ReadBytes(m_path);
    const auto value =
        stored ? SettingsValue(View(*stored), kSignSection.toStdString(), kPortKey.toStdString())
               : std::nullopt;
    if (!stored || View(*stored) != updated || !value ||
        ParseProfileInt(*value, portNumber + 1) != portNumber)
        return failure;
    return Done();
}

QString PortSettings::DeviceForPort(int portNumber) const {
    const int number = ClampPortNumber(portNumber);
    const QString device = ReadValue(kPortsSection, QStringLiteral("COM%1").arg(number)).trimmed();
    return device.isEmpty() ? DefaultDeviceForPort(number) : device;
}

Result<LinkTarget> PortSettings::TargetForPort(int portNumber) const {
    return ParseLinkTarget(DeviceForPort(portNumber).toStdString());
}

QString PortSettings::Problem() const {
    const QFileInfo info(m_path);
    if (!info.exists()) return {};
    if (!info.isFile()) return QStringLiteral("is not a regular file");
    const auto content = ReadBytes(m_path);
    if (!content) return QStringLiteral("cannot be read");
    if (!IsSettingsText(*content)) return QStringLiteral("is not a settings file");
    if (const auto port =
            SettingsValue(View(*content), kSignSection.toStdString(), kPortKey.toStdString())) {
        // No default can tell "not a number" from a number equal to it; two can.
        if (ParseProfileInt(*port, 1) != ParseProfileInt(*port, 2))
            return QStringLiteral("says comport=%1, not a number")
                .arg(QString::fromStdString(*port));
    }
    return {};
}

QStringList PortSettings::LineProblems() const {
    const auto content = ReadBytes(m_path);
    if (!content || !IsSettingsText(*content)) return {};
    QStringList lines;
    for (const ProfileProblem& problem : SettingsProblems(View(*content)))
        lines << QStringLiteral("line %1: %2")
                     .arg(QString::number(problem.line), QString::fromStdString(problem.text));
    return lines;
}

QString PortSettings::CodePage() const { return ReadValue(kSignSection, kCodePageKey).trimmed(); }

std::optional<std::string> SettingsValue(std::string_view file, std::string_view section,
                                         std::string_view key) {
    const ProfileFile profile = ParseProfile(file, kSyntax);
    if (const ProfileEntry* entry = FindEntry(profile, section, key)) return entry->value;
    return std::nullopt;
}

std::vector<ProfileProblem> SettingsProblems(std::string_view file) {
    const ProfileFile profile = ParseProfile(file, kSyntax);
    std::vector<ProfileProblem> problems = profile.problems;
    for (const ProfileEntry& entry : profile.loose)
        problems.push_back(
            {entry.line, "'" + ProfileExcerpt(entry.key) + "' before any [section]; not used"});
    for (const ProfileSection& section : profile.sections) {
        if (!section.usable) {
            for (ProfileProblem& problem : problems)
                if (problem.line == section.line && !section.entries.empty())
                    problem.text += "; the entries under it are not used";
            continue;
        }
        for (const ProfileEntry& entry : section.entries)
            if (const ProfileEntry* first = FindEntry(profile, section.name, entry.key);
                first != &entry)
                problems.push_back({entry.line, "'" + ProfileExcerpt(entry.key) + "' again in [" +
                                                    ProfileExcerpt(section.name) + "]; line " +
                                                    std::to_string(first->line) + " counts"});
    }
    std::stable_sort(problems.begin(), problems.end(),
                     [](const auto& a, const auto& b) { return a.line < b.line; });
    return problems;
}

std::string SettingsWithPortNumber(std::string_view file, int portNumber) {
    const ProfileFile profile = ParseProfile(file, kSyntax);
    const std::string value = std::to_string(portNumber);
    std::string result(file);
    if (const ProfileEntry* entry =
            FindEntry(profile, kSignSection.toStdString(), kPortKey.toStdString())) {
        // "comport= ;note" holds an empty value right before the comment: "5;note" would read
        // as one value.
        const bool beforeComment = entry->valueBegin == entry->valueEnd &&
                                   entry->valueEnd < result.size() &&
                                   result[entry->valueEnd] == ';';
        result.replace(entry->valueBegin, entry->valueEnd - entry->valueBegin,
                       beforeComment ? value + ' ' : value);
        return result;
    }
    const std::string& eol = profile.lineEnd;
    const std::string line = "comport=" + value;
    for (const ProfileSection& section : profile.sections) {
        if (!section.usable || !SameName(section.name, kSignSection.toStdString())) continue;
        result.insert(section.next, section.headerEndsLine ? line + eol : eol + line);
        return result;
    }
    if (!result.empty() && result.back() != '\n' && result.back() != '\r') result += eol;
    return result + "[Sign]" + eol + line + eol;
}

}  // namespace meridial
