#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "link/Result.h"
#include "zone/ZoneFrame.h"

namespace meridial {

// One change of a zone's offset (seconds east of UTC), however the platform reports it: the tz
// database, Windows' GetTimeZoneInformationForYear.
struct OffsetTransition {
    std::chrono::sys_seconds at;
    int offsetBefore = 0;
    int offsetAfter = 0;
};

// A zone through one calendar year, as plain values.
struct ZoneYear {
    std::string name;  // as the texts name the zone: "Europe/Berlin"
    int year = 0;
    int standardOffset = 0;  // seconds east of UTC; the smallest offset of the year
    std::vector<OffsetTransition> transitions;  // changes of offset inside the year, in order
};

// The offset in force at one moment.
struct ZoneMoment {
    std::chrono::sys_seconds at;
    int offset = 0;
};

// What a sign needs to follow a zone through one year: the zone row of its standard offset and
// the two daylight-saving rows, in the zone's local standard time.
struct ZoneDstRows {
    int zoneRow = 0;
    DstTransition start;  // both rows empty when the zone keeps one offset all year
    DstTransition end;
    // The zone's own moments of change; nothing where a row stands for the first moment of the
    // year (daylight time already or still in force).
    std::optional<std::chrono::sys_seconds> startUtc;
    std::optional<std::chrono::sys_seconds> endUtc;
    int startOffset = 0;   // in force just before each change, for showing the moment on the
    int endOffset = 0;     // wall clock
    std::string warning;   // why the sign's time will differ from the zone's; empty when it won't
    bool standIn = false;  // the zone's year could not be followed: one offset, no DST
};

// The rows for the zone's year, or why the sign cannot follow it. The sign switches on whole UTC
// hours and adds exactly one hour; where the zone does otherwise the rows carry a warning.
Result<ZoneDstRows> RoundDstRows(const ZoneYear& zone);

// For a zone whose year RoundDstRows refuses (the reason): the row of the offset in force at the
// moment, the UTC row where none has it, and empty rows of the year, with a warning that says
// how long the sign stays right.
ZoneDstRows StandInDstRows(const std::string& zoneName, int year, const ZoneMoment& moment,
                           const std::string& reason);

// "Europe/Berlin: daylight saving time starts 2026-03-29 02:00 and ends 2026-10-25 03:00, local
// time", followed by the warning on a line of its own.
std::string DescribeDstRows(const std::string& zoneName, const ZoneDstRows& rows);

}  // namespace meridial
