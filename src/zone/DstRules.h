#pragma once

#include <QDateTime>
#include <QString>
#include <QTimeZone>

#include "link/Result.h"
#include "zone/ZoneFrame.h"

namespace meridial {

// What a sign needs to follow a tz database zone through one year: the zone row of its standard
// (smallest) offset and the two daylight-saving rows, in the zone's local standard time.
struct DstRows {
    int zoneRow = 0;
    DstTransition start;  // both rows empty when the zone keeps one offset all year
    DstTransition end;
    QDateTime startUtc;   // the zone's own moments of change; null where a row stands for the
    QDateTime endUtc;     // first moment of the year (daylight time already or still in force)
    int startOffset = 0;  // seconds east of UTC in force just before each change, for showing
    int endOffset = 0;    // the moment on the wall clock
    QString warning;      // why the sign's time will differ from the zone's; empty when it won't
};

// The rows for the zone in a year the year lists hold, or why the sign cannot follow the zone.
Result<DstRows, QString> DstRowsFor(const QTimeZone& zone, int year);

// "Europe/Berlin: daylight saving time from 2026-03-29 02:00 to 2026-10-25 03:00 local time",
// followed by the warning on a line of its own.
QString DescribeDstRows(const QTimeZone& zone, const DstRows& rows);

}  // namespace meridial
