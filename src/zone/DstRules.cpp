#include "zone/DstRules.h"

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
    return QStringLiteral("%1 %2 minutes %3 the zone (%4 local time)")
        .arg(QLatin1String(what))
        .arg(std::abs(early) / 60)
        .arg(early > 0 ? QStringLiteral("before") : QStringLiteral("after"))
        .arg(WallClock(moment, offsetBefore));
}

}  // namespace

Result<DstRows, QString> DstRowsFor(const QTimeZone& zone, int year) {
    using Rows = Result<DstRows, QString>;
    const QString name = QString::fromUtf8(zone.id());
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
        return Rows::Fail(QStringLiteral("%1: its standard time in %2, %3, has no row in the "
                                         "sign's zone list")
                              .arg(name)
                              .arg(year)
                              .arg(OffsetText(standard)));
    if (offsets.changes.size() > 2)
        return Rows::Fail(QStringLiteral("%1 changes its offset %2 times in %3; the sign knows "
                                         "only one start and one end of daylight saving time")
                              .arg(name)
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
            QStringLiteral("%1: the sign switches on whole UTC hours and adds whole hours; it %2")
                .arg(name, warnings.join(QStringLiteral("; it ")));
    return rows;
}

QString DescribeDstRows(const QTimeZone& zone, const DstRows& rows) {
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
