#include "cli/TransferOptions.h"

#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include "clock/PcZone.h"
#include "clock/TimeFieldRules.h"
#include "message/MessageFrame.h"
#include "zone/DstRules.h"
#include "zone/ZoneTable.h"

namespace meridial::cli {
namespace {

template <typename T>
Parsed<T> Fail(const QString& message) {
    return Parsed<T>::Fail(message);
}

Parsed<int> IntInRange(const QString& option, const QString& value, int low, int high) {
    bool ok = false;
    const int number = value.toInt(&ok);
    if (!ok || number < low || number > high)
        // One arg() for all: a "%1" in the value must stay text, not become a place to fill.
        return Fail<int>(QStringLiteral("%1: '%2' is not a whole number from %3 to %4")
                             .arg(option, value, QString::number(low), QString::number(high)));
    return number;
}

// "YYYY" is an empty row of that year; "YYYY-MM-DD:H" a moment in the chosen zone.
Parsed<DstTransition> ParseDst(const QString& option, const QString& value) {
    static const QRegularExpression kYearOnly(QStringLiteral("^(\\d{4})$"));
    static const QRegularExpression kMoment(
        QStringLiteral("^(\\d{4})-(\\d{1,2})-(\\d{1,2}):(\\d{1,2})$"));
    QRegularExpressionMatch match = kYearOnly.match(value);
    if (!match.hasMatch()) match = kMoment.match(value);
    if (!match.hasMatch())
        return Fail<DstTransition>(
            QStringLiteral("%1: '%2' is neither YYYY nor YYYY-MM-DD:H").arg(option, value));
    const int year = match.captured(1).toInt();
    if (year < kFirstDstYear || year > kLastDstYear)
        return Fail<DstTransition>(
            QStringLiteral("%1: the year must lie from %2 to %3")
                .arg(option, QString::number(kFirstDstYear), QString::number(kLastDstYear)));
    DstTransition row;
    row.yearText = match.captured(1).toStdString();
    if (match.lastCapturedIndex() == 1) {
        row.day = kNoDay;
        return row;
    }
    const auto month = IntInRange(option + QStringLiteral(" month"), match.captured(2), 1, 12);
    if (!month) return Fail<DstTransition>(month.error());
    const auto day = IntInRange(option + QStringLiteral(" day"), match.captured(3), 1, 31);
    if (!day) return Fail<DstTransition>(day.error());
    const auto hour = IntInRange(option + QStringLiteral(" hour"), match.captured(4), 0, 23);
    if (!hour) return Fail<DstTransition>(hour.error());
    row.month = *month;
    row.day = *day;
    row.hour = *hour;
    return row;
}

// Exactly what the window's time field can hold: a time it could never show is either a wrong
// time on the sign or a frame the sign refuses.
bool IsTimeFieldText(const QString& text) {
    return text.size() == static_cast<qsizetype>(kTimeFieldLength) &&
           FieldAllows(text.toStdString());
}

}  // namespace

Parsed<QString> ReadMessageFile(const QString& path) {
    const bool standardInput = path == QStringLiteral("-");
    const QString name = standardInput ? QStringLiteral("standard input")
                                       : QLatin1Char('\'') + path + QLatin1Char('\'');
    // A FIFO would wait for a writer for ever, and a device such as /dev/zero never ends.
    const QFileInfo info(path);
    if (!standardInput && info.exists() && !info.isFile())
        return Fail<QString>(QStringLiteral("--message-file: %1 is not a regular file").arg(name));
    QFile file;
    const bool opened = standardInput ? file.open(stdin, QIODevice::ReadOnly)
                                      : (file.setFileName(path), file.open(QIODevice::ReadOnly));
    if (!opened)
        return Fail<QString>(
            QStringLiteral("--message-file: cannot read %1: %2").arg(name, file.errorString()));
    // Standard input may be endless too: read no more than a message could ever need.
    QByteArray bytes;
    while (bytes.size() <= kMaxMessageFileBytes) {
        const QByteArray chunk = file.read(kMaxMessageFileBytes + 1 - bytes.size());
        if (chunk.isEmpty()) break;
        bytes += chunk;
    }
    if (bytes.size() > kMaxMessageFileBytes)
        return Fail<QString>(
            QStringLiteral("--message-file: %1 holds more than %2 bytes; a message is at most %3")
                .arg(name, QString::number(kMaxMessageFileBytes),
                     QString::number(kMaxMessageBodyBytes)));
    QString text = QString::fromUtf8(bytes);
    // A file's own final line break is not part of the message.
    if (text.endsWith(QStringLiteral("\r\n")))
        text.chop(2);
    else if (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    return text;
}

namespace {

// The position of the value among the names, compared without case.
template <std::size_t N>
std::optional<int> IndexOf(const std::array<std::string_view, N>& names, const QString& value) {
    for (std::size_t i = 0; i < N; ++i)
        if (value.compare(QLatin1String(names[i].data(), static_cast<qsizetype>(names[i].size())),
                          Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    return std::nullopt;
}

// Which of the rows --tz would fill were given on their own.
struct GivenRows {
    bool zone = false;
    bool start = false;
    bool end = false;
};

// The moment the clock frame carries, in the PC's zone. A time field with blanks for digits not
// typed reads as those digits at 0; one that is no time at all as noon, away from the night's
// changes of offset.
QDateTime TransferMoment(const TransferRequest& request, const QTimeZone& zone) {
    QTime time = QTime::fromString(
        QString::fromStdString(request.timeText).replace(QLatin1Char(' '), QLatin1Char('0')),
        QStringLiteral("HH:mm:ss"));
    if (!time.isValid()) time = QTime(12, 0);
    return QDateTime(QDate(request.date.year, request.date.month, request.date.day), time, zone);
}

// A name from outside may be anything, 4 KiB of letters included: show no more than a zone name.
QString ShownName(const QString& name) {
    constexpr qsizetype kShown = 64;
    return name.size() > kShown ? name.left(kShown) + QStringLiteral("...") : name;
}

// --tz: the zone row and both DST rows for the year of the date, where not given on their own.
// A name the tz database does not know is a usage error. A zone the sign cannot follow that year
// is recorded for the caller, but not the PC's own zone: a nightly transfer must not stop for a
// year the sign cannot follow, so it gets the offset in force now and a warning.
Parsed<Nothing> ApplyTimeZone(const QString& name, const GivenRows& given,
                              TransferOptions& options) {
    const bool local = name == QLatin1String(kLocalZone);
    std::optional<QTimeZone> zone = local ? QTimeZone::systemTimeZone() : TzDatabaseZone(name);
    if (local && !zone->isValid()) zone = QTimeZone::utc();  // as the clock frame takes it
    if (!zone)
        return Fail<Nothing>(QStringLiteral("--tz: unknown time zone '%1': give a name of the time "
                                            "zone database, such as Europe/Berlin, or '%2'")
                                 .arg(ShownName(name), QLatin1String(kLocalZone)));
    if (given.zone && given.start && given.end) return Nothing{};
    TransferRequest& request = options.request;
    const auto rows = DstRowsFor(*zone, request.date.year);
    if (!rows && !local) {
        options.zoneFailure = QStringLiteral("--tz %1: %2").arg(name, rows.error());
        return Nothing{};
    }
    const DstRows chosen =
        rows ? *rows
             : StandInRows(*zone, request.date.year, TransferMoment(request, *zone), rows.error());
    if (!given.zone) request.zoneRow = chosen.zoneRow;
    if (!given.start) request.dstStart = chosen.start;
    if (!given.end) request.dstEnd = chosen.end;
    if (!chosen.warning.isEmpty()) options.warnings << QStringLiteral("Warning: ") + chosen.warning;
    return Nothing{};
}

}  // namespace

static_assert(kMaxMessageBodyBytes == 4082, "the help of --message names the limit");

OptionInfo PortOption() {
    return {{QStringLiteral("port")},
            QStringLiteral("COMn|PATH|tcp://HOST:PORT|rfc2217://HOST:PORT"),
            QStringLiteral("default: the remembered port from the settings file")};
}

OptionInfo VerboseOption() {
    return {{QStringLiteral("verbose"), QStringLiteral("v")},
            {},
            QStringLiteral("on standard error, what goes out and comes back: one line per frame\n"
                           "and burst (which frame, offset, time, pause before it, hex, text);\n"
                           "twice (-vv): one line per byte")};
}

OptionInfo SignsFileOption() {
    return {{QStringLiteral("signs")},
            QStringLiteral("FILE"),
            QStringLiteral("the signs file; default: $XDG_CONFIG_HOME/meridial/signs.ini,\n"
                           "else /etc/meridial/signs.ini")};
}

OptionInfo QuietOption() {
    return {{QStringLiteral("quiet"), QStringLiteral("q")},
            {},
            QStringLiteral("print nothing but errors")};
}

const CommandInfo& TransferCommand() {
    auto value = [](const char* name, const char* valueName, const char* description) {
        return OptionInfo{
            {QLatin1String(name)}, QLatin1String(valueName), QLatin1String(description)};
    };
    static const CommandInfo kInfo{
        QStringLiteral("transfer"),
        {},
        QStringLiteral(
            "Sends the date and time, the time zone and the message to the sign and reads "
            "its acknowledgement."),
        {PortOption(),
         value("id", "N", "Sign ID 0..99, default 0"),
         value("speed", "N", "0 (slow) .. 4 (fast), default 2"),
         value("message", "TEXT",
               "the message, UTF-8, encoded like the editor's text; at most 4082 bytes\n"
               "once encoded, line breaks not counted (the longest the sign decodes)"),
         value("message-file", "FILE",
               "the message from a regular file of at most 64 KiB ('-': standard input);\n"
               "without either option the message is read from standard input when that\n"
               "is not a terminal"),
         value("date", "YYYY-MM-DD", "default: today"),
         value("time", "TEXT",
               "hh:mm:ss up to 23:59:59, or any 8-character text the time field can hold,\n"
               "a blank for a digit not typed, such as \" 5:30:15\"; default: now"),
         value("bias", "MINUTES", "PC zone bias (UTC = local + bias); default: the PC's"),
         {{QStringLiteral("dst")}, {}, QStringLiteral("daylight time is in force now")},
         {{QStringLiteral("no-dst")},
          {},
          QStringLiteral("daylight time is not in force now; default: the PC's")},
         value("tz", "ZONE",
               "a name of the time zone database, or 'local' (the default): sets the zone\n"
               "row and both DST rows for the year of --date; --zone, --dst-start, --dst-end\n"
               "still win. Where the sign cannot follow 'local' that year, the offset in\n"
               "force is sent without DST rows, with a warning"),
         value("zone", "ROW", "0..39; default: the zone of the bias (see 'zones')"),
         value("dst-start", "ROW",
               "YYYY (an empty row of that year) or YYYY-MM-DD:H (H 0..23);\n"
               "default: the row --tz gives"),
         value("dst-end", "ROW", "as --dst-start"),
         value("time-format", "24|12", "default 24"),
         value("date-style", "alphabet|number", "default alphabet"),
         value("date-order", "MM-DD-YY|YY-MM-DD|DD-MM-YY", "default MM-DD-YY"),
         {{QStringLiteral("dry-run")},
          {},
          QStringLiteral("print the three frames in sending order as hex; open no port")},
         value("sign", "NAME",
               "take the values of that sign in the signs file; options given here win"),
         SignsFileOption(),
         VerboseOption(),
         QuietOption()},
        QStringLiteral(
            "Exit codes: 0 acknowledged, 1 not acknowledged, 2 bad option or value or no "
            "message,\n3 the port could not be opened, 4 a frame could not be built or the sign "
            "cannot\n"
            "follow the --tz zone that year.\n")};
    return kInfo;
}

Parsed<PortChoice> ParsePort(const QString& value) {
    // Whatever follows "COM", it names a COM number, never a file in the current folder.
    if (IsPortName(value.toStdString())) {
        const auto number = ParsePortName(value.toStdString());
        if (!number || *number < kFirstPortNumber || *number > kLastPortNumber)
            return Fail<PortChoice>(QStringLiteral("--port: '%1' is not COM%2..COM%3")
                                        .arg(value)
                                        .arg(kFirstPortNumber)
                                        .arg(kLastPortNumber));
        return PortChoice{*number, {}};
    }
    if (value.trimmed().isEmpty())
        return Fail<PortChoice>(QStringLiteral("--port: give COM%1..COM%2 or a device path")
                                    .arg(kFirstPortNumber)
                                    .arg(kLastPortNumber));
    const Result<LinkTarget> target = ParseLinkTarget(value.toStdString());
    if (!target)
        return Fail<PortChoice>(QStringLiteral("--port: ") +
                                QString::fromStdString(target.error()));
    return PortChoice{std::nullopt, value};
}

Parsed<TransferOptions> ParseTransferOptions(const QStringList& args) {
    using Result = Parsed<TransferOptions>;
    const QDateTime now = QDateTime::currentDateTime();
    TransferOptions options;
    TransferRequest& request = options.request;
    request.date = {now.date().year(), now.date().month(), now.date().day()};
    request.timeText = now.time().toString(QStringLiteral("HH:mm:ss")).toStdString();
    request.pcZone = PcZoneStateAt(now);
    std::optional<int> zoneRow;
    const std::string thisYear = std::to_string(now.date().year());
    request.dstStart = {thisYear, kNoMonth, kNoDay, 0};
    request.dstEnd = request.dstStart;
    QString timeZone = QLatin1String(kLocalZone);
    GivenRows given;
    auto command = ParseCommand(TransferCommand(), args);
    if (!command) return Result::Fail(command.error());
    options.help = command->help;
    options.version = command->version;
    if (options.help || options.version) return options;
    if (!command->positional.isEmpty())
        return Result::Fail(QStringLiteral("transfer takes no arguments, only options: '%1'")
                                .arg(command->positional.first()));

    for (const auto& [name, v] : command->options) {
        const QString option = QStringLiteral("--") + name;
        if (option == QStringLiteral("--sign") || option == QStringLiteral("--signs")) {
            (option == QStringLiteral("--sign") ? options.signName : options.signsFile) = v;
            continue;
        }
        if (option == QStringLiteral("--dry-run")) {
            options.dryRun = true;
            continue;
        }
        if (option == QStringLiteral("--verbose")) {
            ++options.verbose;
            continue;
        }
        if (option == QStringLiteral("--quiet")) {
            options.quiet = true;
            continue;
        }
        if (option == QStringLiteral("--dst") || option == QStringLiteral("--no-dst")) {
            request.pcZone.daylight = option == QStringLiteral("--dst");
            continue;
        }
        if (option == QStringLiteral("--port")) {
            auto port = ParsePort(v);
            if (!port) return Result::Fail(port.error());
            options.port = *port;
        } else if (option == QStringLiteral("--id")) {
            const auto id = IntInRange(option, v, 0, 99);
            if (!id) return Result::Fail(id.error());
            request.signId = *id;
        } else if (option == QStringLiteral("--speed")) {
            const auto speed = IntInRange(option, v, kSlowestSpeed, kFastestSpeed);
            if (!speed) return Result::Fail(speed.error());
            request.speed = *speed;
        } else if (option == QStringLiteral("--message")) {
            options.message = v;
            options.messageGiven = true;
        } else if (option == QStringLiteral("--message-file")) {
            const auto text = ReadMessageFile(v);
            if (!text) return Result::Fail(text.error());
            options.message = *text;
            options.messageGiven = true;
        } else if (option == QStringLiteral("--date")) {
            const QDate date = QDate::fromString(v, QStringLiteral("yyyy-MM-dd"));
            if (!date.isValid())
                return Result::Fail(QStringLiteral("--date: '%1' is not a date YYYY-MM-DD").arg(v));
            request.date = {date.year(), date.month(), date.day()};
        } else if (option == QStringLiteral("--time")) {
            if (!IsTimeFieldText(v))
                return Result::Fail(
                    QStringLiteral("--time: '%1' is not a time of the field: hh:mm:ss up to "
                                   "23:59:59, blanks allowed for digits")
                        .arg(v));
            request.timeText = v.toStdString();
        } else if (option == QStringLiteral("--bias")) {
            const auto bias = IntInRange(option, v, -1439, 1439);
            if (!bias) return Result::Fail(bias.error());
            request.pcZone.bias = *bias;
        } else if (option == QStringLiteral("--zone")) {
            const auto row = IntInRange(option, v, 0, kZoneCount - 1);
            if (!row) return Result::Fail(row.error());
            zoneRow = *row;
            given.zone = true;
        } else if (option == QStringLiteral("--tz")) {
            timeZone = v;
        } else if (option == QStringLiteral("--dst-start") ||
                   option == QStringLiteral("--dst-end")) {
            const auto row = ParseDst(option, v);
            if (!row) return Result::Fail(row.error());
            const bool start = option == QStringLiteral("--dst-start");
            (start ? request.dstStart : request.dstEnd) = *row;
            (start ? given.start : given.end) = true;
        } else if (option == QStringLiteral("--time-format")) {
            if (v != QStringLiteral("24") && v != QStringLiteral("12"))
                return Result::Fail(
                    QStringLiteral("--time-format: '%1' is neither 24 nor 12").arg(v));
            request.formats.timeFormat =
                v == QStringLiteral("12") ? TimeFormat::Hour12 : TimeFormat::Hour24;
        } else if (option == QStringLiteral("--date-style")) {
            const auto style = IndexOf(kDateStyleNames, v);
            if (!style)
                return Result::Fail(
                    QStringLiteral("--date-style: '%1' is neither alphabet nor number").arg(v));
            request.formats.dateStyle = static_cast<DateStyle>(*style);
        } else if (option == QStringLiteral("--date-order")) {
            const auto order = IndexOf(kDateOrderNames, v);
            if (!order)
                return Result::Fail(
                    QStringLiteral("--date-order: '%1' is not one of MM-DD-YY|YY-MM-DD|DD-MM-YY")
                        .arg(v));
            request.formats.dateOrder = static_cast<DateOrder>(*order);
        }
    }
    if (options.verbose && options.quiet)
        return Result::Fail(QStringLiteral("--verbose and --quiet exclude each other"));
    request.zoneRow = zoneRow.value_or(ZoneForBias(request.pcZone.bias));
    const auto zoneApplied = ApplyTimeZone(timeZone, given, options);
    if (!zoneApplied) return Result::Fail(zoneApplied.error());
    return options;
}

}  // namespace meridial::cli
