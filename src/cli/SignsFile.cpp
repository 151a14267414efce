#include "cli/SignsFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>

namespace meridial::cli {
namespace {

using Signs = Result<QVector<NamedSign>, QString>;

// Section names in the order the file gives them (QSettings sorts them).
QStringList SectionsInFileOrder(const QString& path) {
    QFile file(path);
    QStringList sections;
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return sections;
    static const QRegularExpression kSection(QStringLiteral("^\\s*\\[([^\\]]+)\\]\\s*$"));
    while (!file.atEnd()) {
        const auto match = kSection.match(QString::fromUtf8(file.readLine()).trimmed());
        if (match.hasMatch() && !sections.contains(match.captured(1).trimmed()))
            sections << match.captured(1).trimmed();
    }
    return sections;
}

QString Where(const QString& path, const QString& section, const QString& key = {}) {
    return key.isEmpty() ? QStringLiteral("%1 [%2]").arg(path, section)
                         : QStringLiteral("%1 [%2] %3").arg(path, section, key);
}

}  // namespace

const QStringList& SignKeys() {
    static const QStringList kKeys{
        QStringLiteral("port"),       QStringLiteral("id"),           QStringLiteral("tz"),
        QStringLiteral("message"),    QStringLiteral("message-file"), QStringLiteral("time-format"),
        QStringLiteral("date-style"), QStringLiteral("date-order"),   QStringLiteral("speed")};
    return kKeys;
}

QString DefaultSignsFile() {
    const QString user =
        QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
            .filePath(QStringLiteral("meridial/signs.ini"));
    for (const QString& path : {user, QStringLiteral("/etc/meridial/signs.ini")})
        if (QFileInfo::exists(path)) return path;
    return {};
}

Signs ReadSignsFile(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists()) return Signs::Fail(QStringLiteral("%1: no such file").arg(path));
    // A FIFO or a device would hang the read or never end.
    if (!info.isFile()) return Signs::Fail(QStringLiteral("%1: not a regular file").arg(path));
    if (!info.isReadable()) return Signs::Fail(QStringLiteral("%1: cannot be read").arg(path));
    QSettings settings(path, QSettings::IniFormat);
    if (settings.status() != QSettings::NoError)
        return Signs::Fail(QStringLiteral("%1: not a valid signs file").arg(path));
    QVector<NamedSign> signs;
    const QStringList groups = settings.childGroups();
    for (const QString& section : SectionsInFileOrder(path)) {
        if (!groups.contains(section)) continue;
        settings.beginGroup(section);
        NamedSign sign{section, path, {}, {}};
        const QStringList keys = settings.childKeys();
        for (const QString& key : keys) {
            if (!SignKeys().contains(key)) {
                settings.endGroup();
                return Signs::Fail(QStringLiteral("%1: unknown key (known: %2)")
                                       .arg(Where(path, section, key), SignKeys().join(u' ')));
            }
            const QVariant raw = settings.value(key);
            // A value with a comma comes back as a list; a message may well hold commas.
            const QString value = raw.typeId() == QMetaType::QStringList
                                      ? raw.toStringList().join(QStringLiteral(", "))
                                      : raw.toString();
            if (key == QStringLiteral("port")) sign.port = value.trimmed();
            // A message file is found beside the signs file when its path is relative.
            const QString argument =
                key == QStringLiteral("message-file") && value != QStringLiteral("-")
                    ? info.absoluteDir().absoluteFilePath(value)
                    : value;
            sign.arguments << QStringLiteral("--") + key << argument;
        }
        settings.endGroup();
        if (sign.port.isEmpty())
            return Signs::Fail(
                QStringLiteral("%1: no port").arg(Where(path, section, QStringLiteral("port"))));
        if (keys.contains(QStringLiteral("message")) &&
            keys.contains(QStringLiteral("message-file")))
            return Signs::Fail(QStringLiteral("%1: give message or message-file, not both")
                                   .arg(Where(path, section)));
        signs.push_back(sign);
    }
    return signs;
}

QString SignLocation(const NamedSign& sign) { return Where(sign.file, sign.name); }

Result<SignsFileContents, QString> LoadSignsFile(const QString& given) {
    using R = Result<SignsFileContents, QString>;
    const QString path = given.isEmpty() ? DefaultSignsFile() : given;
    if (path.isEmpty())
        return R::Fail(
            QStringLiteral("no signs file: give --signs FILE, or write "
                           "$XDG_CONFIG_HOME/meridial/signs.ini or /etc/meridial/signs.ini"));
    auto signs = ReadSignsFile(path);
    if (!signs) return R::Fail(signs.error());
    return SignsFileContents{path, *signs};
}

Result<NamedSign, QString> FindSign(const SignsFileContents& file, const QString& name) {
    QStringList names;
    for (const NamedSign& sign : file.signs) {
        if (sign.name == name) return sign;
        names << sign.name;
    }
    return Result<NamedSign, QString>::Fail(
        QStringLiteral("%1: no sign named '%2' (signs: %3)")
            .arg(file.path, name,
                 names.isEmpty() ? QStringLiteral("none") : names.join(QStringLiteral(", "))));
}

}  // namespace meridial::cli
