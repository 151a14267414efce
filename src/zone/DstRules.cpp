#include "zone/DstRules.h"

#include <QFile>
#include <QStringList>
#include <algorithm>
#include <cstdlib>
#include <string>

#include "clock/PcZone.h"
#include "zone/ZoneTable.h"

namespace meridial {
namespace {

constexpr qint64 kHour = 3600;

qint64 FloorToHour(qint64 seconds) { return seconds - ((seconds % kHour) + kHour) % kHour; }

QString OffsetText(int seconds) {
    if (seconds == 0) return QStringLiteral("UTC");
    const int minutes = std::abs(seconds) / 60;
    return QStringLiteral("UTC%1%2:%3")
        .arg(seconds < 0 ? QLatin1Char('-') : QLatin1Char('+'))
        .arg(minutes / 60, 2, 10, QLatin1Char('0'))
        .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QString WallClock(const QDateTime& utc, int offsetSeconds) {
    return utc.toOffsetFromUtc(offsetSeconds).toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

// The sign switches on whole UTC hours: the one nearest the zone's moment, the earlier on a tie.
QDateTime NearestWholeHour(const QDateTime& utc) {
    const qint64 seconds = utc.toSecsSinceEpoch();
    const qint64 floor = FloorToHour(seconds);
    return QDateTime::fromSecsSinceEpoch(seconds - floor > kHour / 2 ? floor + kHour : floor,
                                         Qt::UTC);
}

// The row whose conversion (standard bias, the offset's minutes dropped) gives this UTC hour: the
// local standard time rounded up to the hour, so that dropping the minutes lands on it again.
DstTransition RowFor(const QDateTime& utcHour, int standardOffset) {
    const qint64 local = utcHour.toSecsSinceEpoch() + standardOffset;
    const qint64 up = FloorToHour(local) == local ? local : FloorToHour(local) + kHour;
    const QDateTime wall = QDateTime::fromSecsSinceEpoch(up, Qt::UTC);
    return {std::to_string(wall.date().year()), wall.date().month(), wall.date().day(),
            wall.time().hour()};
}

QString Timing(const QDateTime& moment, int offsetBefore, const char* what) {
    const qint64 early = moment.toSecsSinceEpoch() - NearestWholeHour(moment).toSecsSinceEpoch();
    return QStringLiteral("it %1 %2 minutes %3 the zone (%4 local time)")
        .arg(QLatin1String(what))
        .arg(std::abs(early) / 60)
        .arg(early > 0 ? QStringLiteral("before") : QStringLiteral("after"))
        .arg(WallClock(moment, offsetBefore));
}

}  // namespace

Result<DstRows, QString> DstRowsFor(const QTimeZone& zone, int year) {
    using Rows = Result<DstRows, QString>;
    if (!zone.isValid()) return Rows::Fail(QStringLiteral("not a time zone this system knows"));
    if (year < kFirstDstYear || year > kLastDstYear)
        return Rows::Fail(QStringLiteral("the daylight-saving rows hold the years %1 to %2, not %3")
                              .arg(kFirstDstYear)
                              .arg(kLastDstYear)
                              .arg(year));

    const YearOffsets offsets = OffsetsOfYear(zone, year);
    const int standard = offsets.Smallest();
    const auto& table = ZoneTable();
    const auto zoneRow = std::find_if(table.begin(), table.end(),
                                      [&](const Zone& z) { return z.bias * -60 == standard; });
    if (zoneRow == table.end())
        return Rows::Fail(QStringLiteral("the zone's standard time in %1, %2, has no row in the "
                                         "sign's zone list")
                              .arg(year)
                              .arg(OffsetText(standard)));
    if (offsets.changes.size() > 2)
        return Rows::Fail(QStringLiteral("the zone changes its offset %1 times in %2; the sign "
                                         "knows only one start and one end of daylight saving "
                                         "time")
                              .arg(offsets.changes.size())
                              .arg(year));

    DstRows rows;
    rows.zoneRow = static_cast<int>(zoneRow - table.begin());
    const std::string yearText = std::to_string(year);
    rows.start = {yearText, kNoMonth, kNoDay, 0};
    rows.end = rows.start;
    if (offsets.changes.empty()) return rows;

    // A period that runs into the year's start or end is closed by the year's first moment: with
    // the end before the start, the sign keeps daylight time outside end..start.
    const DstTransition firstMoment{yearText, 1, 1, 0};
    rows.start = firstMoment;
    rows.end = firstMoment;
    QStringList warnings;
    int previous = offsets.atYearStart;
    for (const OffsetChange& change : offsets.changes) {
        const bool wasDaylight = previous > standard;
        const bool isDaylight = change.offsetSeconds > standard;
        if (wasDaylight != isDaylight) {
            (isDaylight ? rows.start : rows.end) = RowFor(NearestWholeHour(change.atUtc), standard);
            (isDaylight ? rows.startUtc : rows.endUtc) = change.atUtc;
            (isDaylight ? rows.startOffset : rows.endOffset) = previous;
            if (NearestWholeHour(change.atUtc) != change.atUtc)
                warnings << Timing(change.atUtc, previous,
                                   isDaylight ? "starts daylight time" : "ends daylight time");
        }
        previous = change.offsetSeconds;
    }

    // The sign adds one whole hour while daylight time is in force.
    int daylight = offsets.atYearStart;
    for (const OffsetChange& change : offsets.changes)
        daylight = std::max(daylight, change.offsetSeconds);
    if (daylight - standard != kHour)
        warnings << QStringLiteral("its daylight time is %1, but the sign adds one hour to %2")
                        .arg(OffsetText(daylight), OffsetText(standard));
    if (!warnings.isEmpty())
        rows.warning =
            QStringLiteral("%1: the sign switches on whole UTC hours and adds whole hours; %2")
                .arg(QString::fromUtf8(zone.id()), warnings.join(QStringLiteral("; ")));
    return rows;
}

std::optional<QTimeZone> TzDatabaseZone(const QString& name) {
    // Longer than any file name; and no way out of the database's directory.
    if (name.isEmpty() || name.size() > 255 || name.startsWith(QLatin1Char('/'))) return {};
    for (const QString& part : name.split(QLatin1Char('/')))
        if (part.isEmpty() || part == QLatin1String(".") || part == QLatin1String("..")) return {};
    // Where Qt looks for the zone files, in its order.
    QStringList dirs;
    if (const QString tzdir = qEnvironmentVariable("TZDIR"); !tzdir.isEmpty()) dirs << tzdir;
    dirs << QStringLiteral("/usr/share/zoneinfo") << QStringLiteral("/usr/lib/zoneinfo")
         << QStringLiteral("/usr/share/lib/zoneinfo");
    for (const QString& dir : dirs) {
        QFile file(dir + QLatin1Char('/') + name);
        if (!file.open(QIODevice::ReadOnly)) continue;
        if (file.read(4) != "TZif") return {};  // zone.tab, tzdata.zi and the like
        const QTimeZone zone(name.toUtf8());
        return zone.isValid() ? std::optional(zone) : std::nullopt;
    }
    return {};
}

DstRows StandInRows(const QTimeZone& zone, int year, const QDateTime& moment,
                    const QString& reason) {
    DstRows rows;
    rows.standIn = true;
    rows.start = {std::to_string(year), kNoMonth, kNoDay, 0};
    rows.end = rows.start;
    const int offset = zone.offsetFromUtc(moment);
    const int row = ZoneForBias(-offset / 60);
    const bool fits = ZoneTable()[static_cast<std::size_t>(row)].bias * -60 == offset;
    rows.zoneRow = fits ? row : kUtcZoneRow;
    const QString head = QStringLiteral("%1: %2. ").arg(QString::fromUtf8(zone.id()), reason);
    const QString when = moment.toTimeZone(zone).toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    if (fits)
        rows.warning = head + QStringLiteral(
                                  "The sign gets the offset in force at %1, %2, "
                                  "without daylight saving time: its time is right "
                                  "until the zone next changes its offset, and a "
                                  "nightly sync keeps it right.")
                                  .arg(when, OffsetText(offset));
    else
        rows.warning = head + QStringLiteral(
                                  "The offset in force at %1, %2, has no row either: "
                                  "the sign gets the UTC row without daylight saving "
                                  "time and shows UTC, not the local time.")
                                  .arg(when, OffsetText(offset));
    return rows;
}

QString DescribeDstRows(const QTimeZone& zone, const DstRows& rows) {
    if (rows.standIn) return rows.warning;
    const QString name = QString::fromUtf8(zone.id());
    QString text;
    if (rows.start.IsEmpty()) {
        text = QStringLiteral("%1: no daylight saving time in %2")
                   .arg(name, QString::fromStdString(rows.start.yearText));
    } else {
        const QString start = rows.startUtc.isNull() ? QStringLiteral("before the year begins")
                                                     : WallClock(rows.startUtc, rows.startOffset);
        const QString end = rows.endUtc.isNull() ? QStringLiteral("after the year ends")
                                                 : WallClock(rows.endUtc, rows.endOffset);
        text = QStringLiteral("%1: daylight saving time starts %2 and ends %3, local time")
                   .arg(name, start, end);
    }
    if (!rows.warning.isEmpty()) text += QLatin1Char('\n') + rows.warning;
    return text;
}

}  // namespace meridial
