#include "clock/PcZone.h"

#include <algorithm>

namespace meridial {

int YearOffsets::Smallest() const {
    int smallest = atYearStart;
    for (const OffsetChange& change : changes) smallest = std::min(smallest, change.offsetSeconds);
    return smallest;
}

YearOffsets OffsetsOfYear(const QTimeZone& zone, int year) {
    YearOffsets offsets;
    offsets.yearStartUtc = QDateTime(QDate(year, 1, 1), QTime(0, 0), Qt::UTC);
    offsets.yearEndUtc = QDateTime(QDate(year + 1, 1, 1), QTime(0, 0), Qt::UTC);
    offsets.atYearStart = zone.offsetFromUtc(offsets.yearStartUtc);
    int current = offsets.atYearStart;
    // transitions() includes both bounds; a change at the very start is already in atYearStart.
    for (const QTimeZone::OffsetData& t :
         zone.transitions(offsets.yearStartUtc.addSecs(1), offsets.yearEndUtc.addSecs(-1))) {
        if (t.offsetFromUtc == current) continue;
        current = t.offsetFromUtc;
        offsets.changes.push_back({t.atUtc.toUTC(), current});
    }
    return offsets;
}

PcZoneState ZoneStateAt(const QTimeZone& zone, const QDateTime& instant) {
    if (!zone.isValid()) return {};
    const int standard = OffsetsOfYear(zone, instant.toUTC().date().year()).Smallest();
    return {-standard / 60, zone.offsetFromUtc(instant) > standard};
}

PcZoneState PcZoneStateAt(const QDateTime& moment) {
    return ZoneStateAt(QTimeZone::systemTimeZone(), moment);
}

}  // namespace meridial
