#include "zone/DstRules.h"

#include <QFile>
#include <QStringList>

#include "clock/PcZone.h"

namespace meridial {
namespace {

std::chrono::sys_seconds ToSys(const QDateTime& utc) {
    return std::chrono::sys_seconds(std::chrono::seconds(utc.toSecsSinceEpoch()));
}

QDateTime ToQt(const std::optional<std::chrono::sys_seconds>& utc) {
    return utc ? QDateTime::fromSecsSinceEpoch(utc->time_since_epoch().count(), Qt::UTC)
               : QDateTime();
}

std::optional<std::chrono::sys_seconds> ToOptionalSys(const QDateTime& utc) {
    if (utc.isNull()) return std::nullopt;
    return ToSys(utc);
}

std::string ZoneName(const QTimeZone& zone) { return zone.id().toStdString(); }

DstRows ToQt(const ZoneDstRows& plain) {
    return {plain.zoneRow,      plain.start,
            plain.end,          ToQt(plain.startUtc),
            ToQt(plain.endUtc), plain.startOffset,
            plain.endOffset,    QString::fromStdString(plain.warning),
            plain.standIn};
}

ZoneDstRows ToPlain(const DstRows& rows) {
    return {rows.zoneRow,
            rows.start,
            rows.end,
            ToOptionalSys(rows.startUtc),
            ToOptionalSys(rows.endUtc),
            rows.startOffset,
            rows.endOffset,
            rows.warning.toStdString(),
            rows.standIn};
}

}  // namespace

ZoneYear ZoneYearOf(const QTimeZone& zone, int year) {
    const YearOffsets offsets = OffsetsOfYear(zone, year);
    ZoneYear plain{ZoneName(zone), year, offsets.Smallest(), {}};
    int before = offsets.atYearStart;
    for (const OffsetChange& change : offsets.changes) {
        plain.transitions.push_back({ToSys(change.atUtc), before, change.offsetSeconds});
        before = change.offsetSeconds;
    }
    return plain;
}

ZoneMoment ZoneMomentOf(const QTimeZone& zone, const QDateTime& moment) {
    return {ToSys(moment.toUTC()), zone.offsetFromUtc(moment)};
}

Result<DstRows, QString> DstRowsFor(const QTimeZone& zone, int year) {
    using Rows = Result<DstRows, QString>;
    if (!zone.isValid()) return Rows::Fail(QStringLiteral("not a time zone this system knows"));
    const auto rows = RoundDstRows(ZoneYearOf(zone, year));
    if (!rows) return Rows::Fail(QString::fromStdString(rows.error()));
    return ToQt(*rows);
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
    return ToQt(
        StandInDstRows(ZoneName(zone), year, ZoneMomentOf(zone, moment), reason.toStdString()));
}

QString DescribeDstRows(const QTimeZone& zone, const DstRows& rows) {
    return QString::fromStdString(DescribeDstRows(ZoneName(zone), ToPlain(rows)));
}

}  // namespace meridial
