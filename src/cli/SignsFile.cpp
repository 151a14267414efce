#include "cli/SignsFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStandardPaths>
#include <algorithm>
#include <optional>

#include "cli/TransferOptions.h"
#include "link/ProfileFile.h"

namespace meridial::cli {
namespace {

using Signs = Result<QVector<NamedSign>, QString>;

constexpr qint64 kLongestFile = 1 << 20;
// A hostile file could name a million lines; the first few tell the user what to fix.
constexpr qsizetype kMostErrors = 20;

QString Where(const QString& path, int line, const QString& section, const QString& key = {}) {
    QString where = QStringLiteral("%1:%2").arg(path, QString::number(line));
    if (!section.isNull()) where += QStringLiteral(" [%1]").arg(section);
    if (!key.isEmpty()) where += u' ' + key;
    return where;
}

// The text when the bytes are UTF-8; the message goes to the sign converted from it, and a
// replacement character would change it.
std::optional<QString> Utf8(const std::string& bytes) {
    QString text = QString::fromStdString(bytes);
    if (text.toStdString() != bytes) return std::nullopt;
    return text;
}

// "floor1, lobbies": names a schedule or a notice reaches the sign by as "group:NAME".
Result<QStringList, QString> GroupNames(const QString& value) {
    QStringList groups;
    for (const QString& item : value.split(u',')) {
        const QString name = item.trimmed();
        const bool printable = std::all_of(name.cbegin(), name.cend(), [](QChar c) {
            return c.isPrint() && c != u':' && !c.isSpace();
        });
        if (name.isEmpty() || !printable)
            return Result<QStringList, QString>::Fail(
                QStringLiteral("'%1' is not a group name (letters, digits and signs but ':', "
                               "',' and blanks)")
                    .arg(name.left(40)));
        if (!groups.contains(name)) groups << name;
    }
    return groups;
}

}  // namespace

const QStringList& SignKeys() {
    static const QStringList kKeys{
        QStringLiteral("port"),       QStringLiteral("id"),           QStringLiteral("tz"),
        QStringLiteral("message"),    QStringLiteral("message-file"), QStringLiteral("time-format"),
        QStringLiteral("date-style"), QStringLiteral("date-order"),   QStringLiteral("speed"),
        QStringLiteral("group")};
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
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Signs::Fail(QStringLiteral("%1: cannot be read").arg(path));
    const QByteArray bytes = file.read(kLongestFile + 1);
    if (bytes.size() > kLongestFile)
        return Signs::Fail(QStringLiteral("%1: larger than 1 MiB, not a signs file").arg(path));
    return ReadSignsText(bytes, path);
}

Signs ReadSignsText(const QByteArray& bytes, const QString& path) {
    const ProfileFile profile =
        ParseProfile(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    QList<std::pair<int, QString>> errors;  // by line
    auto fail = [&](int line, const QString& text) { errors.append({line, text}); };
    for (const ProfileProblem& problem : profile.problems)
        fail(problem.line, Where(path, problem.line, {}) + QStringLiteral(": ") +
                               QString::fromStdString(problem.text));
    for (const ProfileEntry& entry : profile.loose)
        fail(entry.line,
             Where(path, entry.line, {}, QString::fromStdString(ProfileExcerpt(entry.key))) +
                 QStringLiteral(": before any [sign] section"));

    const QDir folder = QFileInfo(path).absoluteDir();
    QVector<NamedSign> signs;
    QHash<QString, int> sectionLines;
    for (const ProfileSection& section : profile.sections) {
        if (!section.usable) continue;  // its header is an error already
        const auto name = Utf8(section.name);
        if (!name) {
            fail(section.line, Where(path, section.line, {}) +
                                   QStringLiteral(": the section's name is not UTF-8 text"));
            continue;
        }
        if (const auto first = sectionLines.constFind(*name); first != sectionLines.cend()) {
            fail(section.line, Where(path, section.line, *name) +
                                   QStringLiteral(": a second section of that name (the first is "
                                                  "on line %1)")
                                       .arg(*first));
            continue;
        }
        sectionLines.insert(*name, section.line);
        NamedSign sign{*name, path, section.line, {}, {}, {}};
        QHash<QString, int> keyLines;
        for (const ProfileEntry& entry : section.entries) {
            const QString key = QString::fromStdString(entry.key);
            const QString where =
                Where(path, entry.line, *name, QString::fromStdString(ProfileExcerpt(entry.key)));
            if (!SignKeys().contains(key)) {
                fail(
                    entry.line,
                    where + QStringLiteral(": unknown key (known: %1)").arg(SignKeys().join(u' ')));
                continue;
            }
            if (const auto first = keyLines.constFind(key); first != keyLines.cend()) {
                fail(entry.line,
                     where + QStringLiteral(": given again (first on line %1)").arg(*first));
                continue;
            }
            keyLines.insert(key, entry.line);
            const auto value = Utf8(entry.value);
            if (!value) {
                fail(entry.line, where + QStringLiteral(": the value is not UTF-8 text"));
                continue;
            }
            if (key == QStringLiteral("group")) {
                if (const auto groups = GroupNames(*value); !groups)
                    fail(entry.line, where + QStringLiteral(": ") + groups.error());
                else
                    sign.groups = *groups;
                continue;
            }
            const QString option = QStringLiteral("--") + key;
            // Checked here as the option checks it, so the error can name the line; a message
            // is any text, and a message file is read only when the sign is used.
            if (key != QStringLiteral("message") && key != QStringLiteral("message-file"))
                if (const auto checked = ParseTransferOptions({option, *value}); !checked)
                    fail(entry.line,
                         Where(path, entry.line, *name) + QStringLiteral(": ") + checked.error());
            if (key == QStringLiteral("port")) sign.port = value->trimmed();
            // A message file is found beside the signs file when its path is relative.
            const QString argument =
                key == QStringLiteral("message-file") && *value != QStringLiteral("-")
                    ? folder.absoluteFilePath(*value)
                    : *value;
            sign.arguments << option << argument;
        }
        if (sign.port.isEmpty())
            fail(section.line, Where(path, section.line, *name, QStringLiteral("port")) +
                                   QStringLiteral(": no port"));
        if (keyLines.contains(QStringLiteral("message")) &&
            keyLines.contains(QStringLiteral("message-file")))
            fail(section.line, Where(path, section.line, *name) +
                                   QStringLiteral(": give message or message-file, not both"));
        signs.push_back(sign);
    }
    if (errors.isEmpty()) return signs;
    std::stable_sort(errors.begin(), errors.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    QStringList lines;
    for (qsizetype i = 0; i < std::min(errors.size(), kMostErrors); ++i) lines << errors[i].second;
    if (errors.size() > kMostErrors)
        lines << QStringLiteral("%1: %2 more lines it cannot use")
                     .arg(path, QString::number(errors.size() - kMostErrors));
    return Signs::Fail(lines.join(u'\n'));
}

QString SignLocation(const NamedSign& sign) { return Where(sign.file, sign.line, sign.name); }

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
