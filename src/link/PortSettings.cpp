#include "link/PortSettings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
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

}  // namespace

PortSettings::PortSettings(QString path) : m_path(QFileInfo(path).absoluteFilePath()) {}

QString PortSettings::DefaultPath() {
    const QString fromEnvironment = qEnvironmentVariable("MERIDIAL_SETTINGS");
    if (!fromEnvironment.isEmpty()) return fromEnvironment;
    const QString folder = QCoreApplication::applicationDirPath();
    const QString besideProgram = QDir(folder).filePath(QStringLiteral("meridial.INI"));
    if (QFileInfo::exists(besideProgram) || QFileInfo(folder).isWritable()) return besideProgram;
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .filePath(QStringLiteral("meridial/meridial.ini"));
}

QString PortSettings::ReadValue(const QString& section, const QString& key) const {
    if (!QFileInfo::exists(m_path)) return {};
    QSettings settings(m_path, QSettings::IniFormat);
    const QString group = FindName(settings.childGroups(), section);
    if (group.isEmpty()) return {};
    settings.beginGroup(group);
    const QString name = FindName(settings.childKeys(), key);
    if (name.isEmpty()) return {};
    const QVariant value = settings.value(name);
    // A value with a comma comes back as a list; it is not a number or a device name then.
    return value.typeId() == QMetaType::QStringList ? value.toStringList().join(u',')
                                                    : value.toString();
}

int PortSettings::ReadPortNumber() const {
    return ParseProfileInt(ReadValue(kSignSection, kPortKey).toStdString(), kDefaultPortNumber);
}

Status PortSettings::WritePortNumber(int portNumber) const {
    const Status failure = Status::Fail(QStringLiteral("Unable to write to %1")
                                            .arg(QDir::toNativeSeparators(m_path))
                                            .toStdString());
    const QFileInfo info(m_path);
    if (!QDir().mkpath(info.absolutePath())) return failure;
    QSettings settings(m_path, QSettings::IniFormat);
    QString group = FindName(settings.childGroups(), kSignSection);
    if (group.isEmpty()) group = kSignSection;
    settings.beginGroup(group);
    QString key = FindName(settings.childKeys(), kPortKey);
    if (key.isEmpty()) key = kPortKey;
    settings.setValue(key, QString::number(portNumber));
    settings.endGroup();
    settings.sync();
    // value() would still return the unsaved number; only the status tells that the file was
    // not written.
    if (settings.status() == QSettings::AccessError) return failure;
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

QString PortSettings::CodePage() const { return ReadValue(kSignSection, kCodePageKey).trimmed(); }

}  // namespace meridial
