#pragma once

#include <windows.h>

#include "clock/ClockFrame.h"

namespace meridial {

// The zone state the sign's clock conversion expects (UTC = local + bias, one hour more while
// daylight time is in force) from what GetTimeZoneInformation reports: the standard bias, and
// whether it says daylight time is in force. A PC without zone information counts as UTC.
PcZoneState ZoneStateFrom(const TIME_ZONE_INFORMATION& zone, DWORD zoneId);

// The PC's zone state now.
PcZoneState PcZoneStateNow();

}  // namespace meridial
