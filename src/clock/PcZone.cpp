#include "clock/PcZone.h"

#include <QTimeZone>

namespace meridial {

PcZoneState PcZoneStateAt(const QDateTime& moment) {
    const QTimeZone zone = QTimeZone::systemTimeZone();
    if (!zone.isValid()) return {};  // no zone information: treat the PC as UTC
    return {-zone.standardTimeOffset(moment) / 60, zone.isDaylightTime(moment)};
}

}  // namespace meridial
