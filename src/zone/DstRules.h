#pragma once

#include <QDateTime>
#include <QString>
#include <QTimeZone>
#include <optional>

#include "link/Result.h"
#include "zone/DstRounding.h"
#include "zone/ZoneFrame.h"

namespace meridial {

// The rules live in zone/DstRounding over plain values; this is the QTimeZone side that feeds them.

// What a sign needs to follow a tz database zone through one year: the zone row of its standard
// (smallest) offset and the two daylight-saving rows, in the zone's local standard time.
struct DstRows {
    int zoneRow = 0;
    DstTransition start;  // both rows empty when the zone keeps one offset all year
    DstTransition end;
    QDateTime startUtc;    // the zone's own moments of change; null where a row stands for the
    QDateTime endUtc;      // first moment of the year (daylight time already or still in force)
    int startOffset = 0;   // seconds east of UTC in force just before each change, for showing
    int endOffset = 0;     // the moment on the wall clock
    QString warning;       // why the sign's time will differ from the zone's; empty when it won't
    bool standIn = false;  // the zone's year could not be followed: one offset, no DST
};

// The zone of that name in the tz database, or nothing. Qt takes any name it has no zone file for
// as a POSIX TZ rule, so "PST" or "CEST" would otherwise be a zone at UTC without a word.
std::optional<QTimeZone> TzDatabaseZone(const QString& name);

// The zone's year as the rounding takes it, and the offset in force at a moment.
ZoneYear ZoneYearOf(const QTimeZone& zone, int year);
ZoneMoment ZoneMomentOf(const QTimeZone& zone, const QDateTime& moment);

// The rows for the zone in a year the year lists hold, or why the sign cannot follow the zone.
Result<DstRows, QString> DstRowsFor(const QTimeZone& zone, int year);

// For a zone whose year DstRowsFor refuses (the reason): the row of the offset in force at the
// moment, the UTC row where none has it, and empty rows of the year, with a warning that says how
// long the sign stays right.
DstRows StandInRows(const QTimeZone& zone, int year, const QDateTime& moment,
                    const QString& reason);

// "Europe/Berlin: daylight saving time from 2026-03-29 02:00 to 2026-10-25 03:00 local time",
// followed by the warning on a line of its own.
QString DescribeDstRows(const QTimeZone& zone, const DstRows& rows);

}  // namespace meridial
