#include "win32/Win32Zone.h"

namespace meridial {

PcZoneState ZoneStateFrom(const TIME_ZONE_INFORMATION& zone, DWORD zoneId) {
    if (zoneId == TIME_ZONE_ID_INVALID) return {};
    // StandardBias is zero in every zone Windows ships, but it belongs to the standard offset.
    return {static_cast<int>(zone.Bias + zone.StandardBias), zoneId == TIME_ZONE_ID_DAYLIGHT};
}

PcZoneState PcZoneStateNow() {
    TIME_ZONE_INFORMATION zone{};
    const DWORD zoneId = GetTimeZoneInformation(&zone);
    return ZoneStateFrom(zone, zoneId);
}

}  // namespace meridial
