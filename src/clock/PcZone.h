#pragma once

#include <QDateTime>
#include <QTimeZone>
#include <vector>

#include "clock/ClockFrame.h"

namespace meridial {

// From this moment on the zone is this many seconds east of UTC.
struct OffsetChange {
    QDateTime atUtc;
    int offsetSeconds = 0;
};

// The offsets a zone uses in one calendar year (bounds taken in UTC): the one in force as the
// year begins, then every change of offset inside it. Changes of name or of the daylight flag
// alone are left out: the sign only cares about the offset.
struct YearOffsets {
    QDateTime yearStartUtc;
    QDateTime yearEndUtc;
    int atYearStart = 0;
    std::vector<OffsetChange> changes;

    int Smallest() const;
};

YearOffsets OffsetsOfYear(const QTimeZone& zone, int year);

// The zone state the sign's clock conversion expects (UTC = local + bias, one fixed hour more
// while daylight time is in force): the bias is the smallest offset of the instant's year and
// daylight time is in force whenever the offset is larger. The tz database's own "standard"
// offset is not used: Irish winter time and Morocco's Ramadan time are recorded as daylight time
// with a negative shift, which would make the standard offset the summer one.
PcZoneState ZoneStateAt(const QTimeZone& zone, const QDateTime& instant);

// The same for the PC's zone (follows TZ). A PC without zone information counts as UTC.
PcZoneState PcZoneStateAt(const QDateTime& moment = QDateTime::currentDateTime());

}  // namespace meridial
