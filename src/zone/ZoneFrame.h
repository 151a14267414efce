#pragma once

#include <optional>
#include <string>

#include "clock/DisplayFormats.h"
#include "link/SignFrame.h"

namespace meridial {

// One daylight-saving moment as the operator set it, in the chosen zone's local time.
struct DstTransition {
    std::string yearText;      // the year list's text
    int month = 0;             // month list index: 0 = empty item, 1..12
    std::optional<int> day{};  // day list index: 0 = empty item, k = day k; nullopt = no selection
    int hour = 0;              // 0..23

    bool IsEmpty() const { return month == 0 || (day && *day == 0); }
};

// What the operator entered for the time zone command: the zone row and the two DST rows.
struct ZoneEntry {
    int zoneRow = 0;
    DstTransition start;
    DstTransition end;
};

struct UtcMoment {
    int hour = 0;
    int day = 0;
    int month = 0;
    int year = 0;
};

inline constexpr const char* kInvalidDateMessage = "Invalid argument to date encode";

// The zone's local moment in UTC, by the zone's standard bias; minutes of the offset are dropped.
UtcMoment TransitionToUtc(int zoneRow, int year, int month, int day, int hour);

std::uint8_t DisplayFormatByte(const DisplayFormats& formats);

// "<IDnn><ST>" + 12 payload bytes + checksum + "<E>": 26 bytes, or the reason it cannot be built.
FrameResult BuildZoneFrame(int signId, int zoneRow, const DstTransition& start,
                           const DstTransition& end, const DisplayFormats& formats);

}  // namespace meridial
