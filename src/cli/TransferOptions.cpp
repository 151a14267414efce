#include "cli/TransferOptions.h"

#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QRegularExpression>
#include <QTextStream>
#include <cstdio>

#include "clock/PcZone.h"
#include "message/MessageFrame.h"
#include "zone/ZoneTable.h"

namespace meridial::cli {
namespace {

std::optional<int> IntInRange(const QString& option, const QString& value, int low, int high,
                              QString& error) {
    bool ok = false;
    const int number = value.toInt(&ok);
    if (!ok || number < low || number > high) {
        error = QStringLiteral("%1: '%2' is not a whole number from %3 to %4")
                    .arg(option, value)
                    .arg(low)
                    .arg(high);
        return std::nullopt;
    }
    return number;
}

// "YYYY" is an empty row of that year; "YYYY-MM-DD:H" a moment in the chosen zone.
std::optional<DstTransition> ParseDst(const QString& option, const QString& value, QString& error) {
    static const QRegularExpression kYearOnly(QStringLiteral("^(\\d{4})$"));
    static const QRegularExpression kMoment(
        QStringLiteral("^(\\d{4})-(\\d{1,2})-(\\d{1,2}):(\\d{1,2})$"));
    DstTransition row;
    QRegularExpressionMatch match = kYearOnly.match(value);
    if (!match.hasMatch()) match = kMoment.match(value);
    if (!match.hasMatch()) {
        error = QStringLiteral("%1: '%2' is neither YYYY nor YYYY-MM-DD:H").arg(option, value);
        return std::nullopt;
    }
    const int year = match.captured(1).toInt();
    if (year < kFirstDstYear || year > kLastDstYear) {
        error = QStringLiteral("%1: the year must lie from %2 to %3")
                    .arg(option)
                    .arg(kFirstDstYear)
                    .arg(kLastDstYear);
        return std::nullopt;
    }
    row.yearText = match.captured(1).toStdString();
    if (match.lastCapturedIndex() == 1) {
        row.day = kNoDay;
        return row;
    }
    const auto month =
        IntInRange(option + QStringLiteral(" month"), match.captured(2), 1, 12, error);
    const auto day =
        month ? IntInRange(option + QStringLiteral(" day"), match.captured(3), 1, 31, error)
              : std::nullopt;
    const auto hour =
        day ? IntInRange(option + QStringLiteral(" hour"), match.captured(4), 0, 23, error)
            : std::nullopt;
    if (!hour) return std::nullopt;
    row.month = *month;
    row.day = *day;
    row.hour = *hour;
    return row;
}

// Any text the time field can hold: digits or blanks around two fixed colons.
bool IsTimeFieldText(const QString& text) {
    static const QRegularExpression kField(QStringLiteral("^[0-9 ]{2}:[0-9 ]{2}:[0-9 ]{2}$"));
    return kField.match(text).hasMatch();
}

std::optional<QString> ReadMessageFile(const QString& path, QString& error) {
    QFile file;
    const bool opened = path == QStringLiteral("-")
                            ? file.open(stdin, QIODevice::ReadOnly)
                            : (file.setFileName(path), file.open(QIODevice::ReadOnly));
    if (!opened) {
        error =
            QStringLiteral("--message-file: cannot read '%1': %2").arg(path, file.errorString());
        return std::nullopt;
    }
    QString text = QString::fromUtf8(file.readAll());
    // A file's own final line break is not part of the message.
    if (text.endsWith(QStringLiteral("\r\n")))
        text.chop(2);
    else if (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    return text;
}

}  // namespace

std::optional<PortChoice> ParsePort(const QString& value, QString& error) {
    static const QRegularExpression kCom(QStringLiteral("^COM(\\d+)$"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = kCom.match(value);
    if (match.hasMatch()) {
        const auto number = IntInRange(QStringLiteral("--port"), match.captured(1), 1, 8, error);
        if (!number) return std::nullopt;
        return PortChoice{*number, {}};
    }
    if (value.isEmpty()) {
        error = QStringLiteral("--port: give COM1..COM8 or a device path");
        return std::nullopt;
    }
    return PortChoice{std::nullopt, value};
}

std::optional<TransferOptions> ParseTransferOptions(const QStringList& args, QString& error) {
    const QDateTime now = QDateTime::currentDateTime();
    TransferOptions options;
    options.date = {now.date().year(), now.date().month(), now.date().day()};
    options.timeText = now.time().toString(QStringLiteral("HH:mm:ss"));
    options.zone = PcZoneStateAt(now);
    std::optional<int> zoneRow;
    const std::string thisYear = std::to_string(now.date().year());
    options.dstStart = {thisYear, kNoMonth, kNoDay, 0};
    options.dstEnd = options.dstStart;
    static const QStringList kValueOptions{
        QStringLiteral("--port"),         QStringLiteral("--id"),
        QStringLiteral("--speed"),        QStringLiteral("--message"),
        QStringLiteral("--message-file"), QStringLiteral("--date"),
        QStringLiteral("--time"),         QStringLiteral("--bias"),
        QStringLiteral("--zone"),         QStringLiteral("--dst-start"),
        QStringLiteral("--dst-end"),      QStringLiteral("--time-format"),
        QStringLiteral("--date-style"),   QStringLiteral("--date-order")};

    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& option = args[i];
        auto value = [&]() -> std::optional<QString> {
            if (i + 1 >= args.size()) {
                error = QStringLiteral("%1 needs a value").arg(option);
                return std::nullopt;
            }
            return args[++i];
        };
        std::optional<QString> v;
        if (option == QStringLiteral("--dry-run")) {
            options.dryRun = true;
        } else if (option == QStringLiteral("--dst")) {
            options.zone.daylight = true;
        } else if (option == QStringLiteral("--no-dst")) {
            options.zone.daylight = false;
        } else if (!kValueOptions.contains(option)) {
            error = QStringLiteral("unknown option '%1' for transfer").arg(option);
            return std::nullopt;
        } else if (!(v = value())) {
            return std::nullopt;
        } else if (option == QStringLiteral("--port")) {
            options.port = ParsePort(*v, error);
            if (!options.port) return std::nullopt;
        } else if (option == QStringLiteral("--id")) {
            const auto id = IntInRange(option, *v, 0, 99, error);
            if (!id) return std::nullopt;
            options.signId = *id;
        } else if (option == QStringLiteral("--speed")) {
            const auto speed = IntInRange(option, *v, kSlowestSpeed, kFastestSpeed, error);
            if (!speed) return std::nullopt;
            options.speed = *speed;
        } else if (option == QStringLiteral("--message")) {
            options.message = *v;
        } else if (option == QStringLiteral("--message-file")) {
            const auto text = ReadMessageFile(*v, error);
            if (!text) return std::nullopt;
            options.message = *text;
        } else if (option == QStringLiteral("--date")) {
            const QDate date = QDate::fromString(*v, QStringLiteral("yyyy-MM-dd"));
            if (!date.isValid()) {
                error = QStringLiteral("--date: '%1' is not a date YYYY-MM-DD").arg(*v);
                return std::nullopt;
            }
            options.date = {date.year(), date.month(), date.day()};
        } else if (option == QStringLiteral("--time")) {
            if (!IsTimeFieldText(*v)) {
                error = QStringLiteral("--time: '%1' is not hh:mm:ss (blanks allowed for digits)")
                            .arg(*v);
                return std::nullopt;
            }
            options.timeText = *v;
        } else if (option == QStringLiteral("--bias")) {
            const auto bias = IntInRange(option, *v, -1439, 1439, error);
            if (!bias) return std::nullopt;
            options.zone.bias = *bias;
        } else if (option == QStringLiteral("--zone")) {
            zoneRow = IntInRange(option, *v, 0, kZoneCount - 1, error);
            if (!zoneRow) return std::nullopt;
        } else if (option == QStringLiteral("--dst-start") ||
                   option == QStringLiteral("--dst-end")) {
            const auto row = ParseDst(option, *v, error);
            if (!row) return std::nullopt;
            (option == QStringLiteral("--dst-start") ? options.dstStart : options.dstEnd) = *row;
        } else if (option == QStringLiteral("--time-format")) {
            if (*v != QStringLiteral("24") && *v != QStringLiteral("12")) {
                error = QStringLiteral("--time-format: '%1' is neither 24 nor 12").arg(*v);
                return std::nullopt;
            }
            options.formats.timeFormat = *v == QStringLiteral("12") ? 1 : 0;
        } else if (option == QStringLiteral("--date-style")) {
            const QString style = v->toLower();
            if (style != QStringLiteral("alphabet") && style != QStringLiteral("number")) {
                error = QStringLiteral("--date-style: '%1' is neither alphabet nor number").arg(*v);
                return std::nullopt;
            }
            options.formats.dateStyle = style == QStringLiteral("number") ? 1 : 0;
        } else if (option == QStringLiteral("--date-order")) {
            const QStringList orders{QStringLiteral("MM-DD-YY"), QStringLiteral("YY-MM-DD"),
                                     QStringLiteral("DD-MM-YY")};
            const auto index = orders.indexOf(v->toUpper());
            if (index < 0) {
                error = QStringLiteral("--date-order: '%1' is not one of %2")
                            .arg(*v, orders.join(u'|'));
                return std::nullopt;
            }
            options.formats.dateOrder = static_cast<int>(index);
        }
    }
    options.zoneRow = zoneRow.value_or(ZoneForBias(options.zone.bias));
    return options;
}

}  // namespace meridial::cli
