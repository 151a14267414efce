#include "link/PortSettings.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>

#include "link/IntegerText.h"
#include "link/SerialPlatform.h"

namespace meridial {
namespace {

const QString kSignSection = QStringLiteral("Sign");
const QString kPortKey = QStringLiteral("comport");
const QString kCodePageKey = QStringLiteral("codepage");
const QString kPortsSection = QStringLiteral("Ports");

// Profile files are case-insensitive; QSettings is not on this platform, and hand-edited files
// say "SIGN" or "ComPort" as often as not.
QString FindName(const QStringList& names, const QString& wanted) {
    for (const QString& name : names)
        if (name.compare(wanted, Qt::CaseInsensitive) == 0) return name;
    return {};
}

std::optional<QString> ReadFrom(const QString& path, const QString& section, const QString& key) {
    // Opening a FIFO waits for a writer; a device may never end.
    if (!QFileInfo(path).isFile()) return std::nullopt;
    QSettings settings(path, QSettings::IniFormat);
    const QString group = FindName(settings.childGroups(), section);
    if (group.isEmpty()) return std::nullopt;
    settings.beginGroup(group);
    const QString name = FindName(settings.childKeys(), key);
    if (name.isEmpty()) return std::nullopt;
    const QVariant value = settings.value(name);
    // A value with a comma comes back as a list; it is not a number or a device name then.
    return value.typeId() == QMetaType::QStringList ? value.toStringList().join(u',')
                                                    : value.toString();
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The file as the user wrote it, with the value of every "comport" line under [Sign] replaced.
// Lines are compared the way the reader sees them (a leading BOM, blanks and case ignored) but
// copied byte for byte, so comments, order, other sections and CR LF line ends survive. A
// missing line goes right under the first [Sign]; a missing section goes at the end.
QByteArray WithPortNumber(const QByteArray& original, int portNumber) {
    const QByteArray eol =
        original.contains("\r\n") ? QByteArrayLiteral("\r\n") : QByteArrayLiteral("\n");
    const QByteArray value = QByteArray::number(portNumber);
    const QByteArray bom = QByteArrayLiteral("\xEF\xBB\xBF");

    QByteArray result = original;
    qsizetype firstSignHeaderEnd = -1;  // where the line after the first [Sign] starts
    bool headerHasEol = true;
    bool inSign = false;
    QList<std::pair<qsizetype, qsizetype>> valueRanges;
    for (qsizetype start = 0; start < original.size();) {
        qsizetype end = original.indexOf('\n', start);
        const bool hasEol = end >= 0;
        end = hasEol ? end : original.size();
        qsizetype contentEnd = end;
        if (hasEol && contentEnd > start && original[contentEnd - 1] == '\r') --contentEnd;
        qsizetype contentStart = start;
        if (start == 0 && original.startsWith(bom)) contentStart = bom.size();
        const QByteArray text = original.mid(contentStart, contentEnd - contentStart);
        const QByteArray trimmed = text.trimmed();
        const qsizetype next = hasEol ? end + 1 : end;

        if (trimmed.startsWith('[') && trimmed.contains(']')) {
            const QByteArray name = trimmed.mid(1, trimmed.indexOf(']') - 1).trimmed();
            inSign = QString::fromUtf8(name).compare(kSignSection, Qt::CaseInsensitive) == 0;
            if (inSign && firstSignHeaderEnd < 0) {
                firstSignHeaderEnd = next;
                headerHasEol = hasEol;
            }
        } else if (inSign && !trimmed.startsWith(';') && !trimmed.startsWith('#')) {
            const qsizetype equals = text.indexOf('=');
            if (equals > 0 && QString::fromUtf8(text.left(equals).trimmed())
                                      .compare(kPortKey, Qt::CaseInsensitive) == 0) {
                qsizetype valueStart = equals + 1;
                while (valueStart < text.size() && IsBlank(text[valueStart])) ++valueStart;
                // A "; note" after the value is a comment to the reader; keep it.
                qsizetype valueEnd = text.indexOf(';', valueStart);
                if (valueEnd < 0) valueEnd = text.size();
                while (valueEnd > valueStart && IsBlank(text[valueEnd - 1])) --valueEnd;
                valueRanges.append({contentStart + valueStart, contentStart + valueEnd});
            }
        }
        start = next;
    }
    // From the last so the earlier offsets stay valid.
    for (auto it = valueRanges.crbegin(); it != valueRanges.crend(); ++it)
        result.replace(it->first, it->second - it->first, value);
    if (!valueRanges.isEmpty()) return result;

    const QByteArray line = QByteArrayLiteral("comport=") + value;
    if (firstSignHeaderEnd >= 0) {
        result.insert(firstSignHeaderEnd, headerHasEol ? line + eol : eol + line);
        return result;
    }
    if (!result.isEmpty() && !result.endsWith('\n')) result += eol;
    result += QByteArrayLiteral("[Sign]") + eol + line + eol;
    return result;
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
    QDateTime lastModified;
    if (QFileInfo::exists(m_path)) {
        if (!QFileInfo(m_path).isFile()) return failure;
        QFile file(m_path);
        if (!file.open(QIODevice::ReadOnly)) return failure;
        original = file.readAll();
        lastModified = file.fileTime(QFileDevice::FileModificationTime);
    }
    // Written beside the file and renamed over it: a full disk or a crash leaves the old file.
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly)) return failure;
    const QByteArray updated = WithPortNumber(original, portNumber);
    // Flushed first: a buffered write would stamp the file again after setFileTime.
    if (file.write(updated) != updated.size() || !file.flush()) return failure;
    // QSettings keeps files it has read and parses one again only when its size or time (in
    // milliseconds) changed, and the kernel stamps files from a coarse clock: "comport=5" becoming
    // "comport=2" a moment later would still be read back as 5.
    QDateTime stamp = QDateTime::currentDateTime();
    if (lastModified.isValid() && stamp <= lastModified) stamp = lastModified.addMSecs(1);
    file.setFileTime(stamp, QFileDevice::FileModificationTime);
    if (!file.commit()) return failure;
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
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly)) return QStringLiteral("cannot be read");
    // Text with no "=" or "[" at all is not a profile, whatever QSettings makes of it.
    const QByteArray content = file.read(1 << 20);
    QSettings settings(m_path, QSettings::IniFormat);
    if (settings.status() != QSettings::NoError ||
        (!content.trimmed().isEmpty() && !content.contains('=') && !content.contains('[')) ||
        content.contains('\0'))
        return QStringLiteral("is not a settings file");
    if (const auto port = ReadFrom(m_path, kSignSection, kPortKey)) {
        const std::string text = port->toStdString();
        // No default can tell "not a number" from a number equal to it; two can.
        if (ParseProfileInt(text, 1) != ParseProfileInt(text, 2))
            return QStringLiteral("says comport=%1, not a number").arg(*port);
    }
    return {};
}

QString PortSettings::CodePage() const { return ReadValue(kSignSection, kCodePageKey).trimmed(); }

}  // namespace meridial
