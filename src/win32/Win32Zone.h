#pragma once

#include <windows.h>

#include <string>

#include "clock/ClockFrame.h"
#include "zone/DstRounding.h"

namespace meridial {

// The zone state the sign's clock conversion expects (UTC = local + bias, one hour more while
// daylight time is in force) from what GetTimeZoneInformation reports: the standard bias, and
// whether it says daylight time is in force. A PC without zone information counts as UTC.
PcZoneState ZoneStateFrom(const TIME_ZONE_INFORMATION& zone, DWORD zoneId);

// The PC's zone state now.
PcZoneState PcZoneStateNow();

// A zone's year as Windows' rules for that year give it (GetTimeZoneInformationForYear): no
// change when the rules have no daylight date, else the start and the end of daylight time.
ZoneYear ZoneYearFrom(const std::string& name, int year, const TIME_ZONE_INFORMATION& rules);

// The PC's zone through a year, and the offset in force now.
ZoneYear PcZoneYear(int year);
ZoneMoment PcZoneMomentNow();

}  // namespace meridial
