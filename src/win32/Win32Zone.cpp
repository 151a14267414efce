#include "win32/Win32Zone.h"

#include <algorithm>
#include <chrono>
#include <optional>

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

namespace meridial {
namespace {

using namespace std::chrono;

// The moment of a rule's date in the year, on the wall clock the rule is written in. A date
// without a year is "the n-th weekday of the month at h:m", the 5th meaning the last.
std::optional<local_seconds> RuleMoment(const SYSTEMTIME& rule, int year) {
    if (rule.wMonth < 1 || rule.wMonth > 12) return std::nullopt;
    const auto y = std::chrono::year(year);
    const auto m = month(rule.wMonth);
    sys_days day;
    if (rule.wYear != 0) {
        day = sys_days(y / m / std::chrono::day(rule.wDay));
    } else {
        const weekday wd(rule.wDayOfWeek);
        const year_month_weekday nth = y / m / wd[std::clamp<unsigned>(rule.wDay, 1, 5)];
        day = nth.ok() ? sys_days(nth) : sys_days(y / m / wd[last]);
    }
    return local_seconds(day.time_since_epoch()) + hours(rule.wHour) + minutes(rule.wMinute) +
           seconds(rule.wSecond);
}

std::string KeyName() {
    DYNAMIC_TIME_ZONE_INFORMATION zone{};
    if (GetDynamicTimeZoneInformation(&zone) == TIME_ZONE_ID_INVALID) return "UTC";
    std::string name;
    for (const wchar_t* c = zone.TimeZoneKeyName; *c; ++c)
        name += *c < 0x80 ? static_cast<char>(*c) : '?';
    return name.empty() ? "the PC's zone" : name;
}

}  // namespace

ZoneYear ZoneYearFrom(const std::string& name, int year, const TIME_ZONE_INFORMATION& rules) {
    // Windows counts minutes west of UTC; the rounding takes seconds east.
    const int standard = -static_cast<int>(rules.Bias + rules.StandardBias) * 60;
    const int daylight = -static_cast<int>(rules.Bias + rules.DaylightBias) * 60;
    ZoneYear zone{name, year, std::min(standard, daylight), {}};
    const auto start = RuleMoment(rules.DaylightDate, year);
    const auto end = RuleMoment(rules.StandardDate, year);
    if (!start || !end || standard == daylight) {
        zone.standardOffset = standard;
        return zone;
    }
    // Daylight time starts on the standard wall clock and ends on the daylight one.
    const sys_seconds startUtc(start->time_since_epoch() - seconds(standard));
    const sys_seconds endUtc(end->time_since_epoch() - seconds(daylight));
    const OffsetTransition begins{startUtc, standard, daylight};
    const OffsetTransition ends{endUtc, daylight, standard};
    // South of the equator daylight time ends early in the year and starts again late.
    if (startUtc < endUtc)
        zone.transitions = {begins, ends};
    else
        zone.transitions = {ends, begins};
    return zone;
}

ZoneYear PcZoneYear(int year) {
    TIME_ZONE_INFORMATION rules{};
    if (year < 1601 || !GetTimeZoneInformationForYear(static_cast<USHORT>(year), nullptr, &rules))
        return ZoneYear{"UTC", year, 0, {}};
    return ZoneYearFrom(KeyName(), year, rules);
}

ZoneMoment PcZoneMomentNow() {
    TIME_ZONE_INFORMATION zone{};
    const DWORD id = GetTimeZoneInformation(&zone);
    LONG bias = zone.Bias;
    if (id == TIME_ZONE_ID_DAYLIGHT)
        bias += zone.DaylightBias;
    else if (id != TIME_ZONE_ID_INVALID)
        bias += zone.StandardBias;
    else
        bias = 0;
    return {time_point_cast<seconds>(system_clock::now()), -static_cast<int>(bias) * 60};
}

}  // namespace meridial
