#include "zone/DstRounding.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "zone/ZoneTable.h"

namespace meridial {
namespace {

namespace chrono = std::chrono;
using chrono::sys_seconds;

std::string OffsetText(int seconds) {
    if (seconds == 0) return "UTC";
    const int minutes = std::abs(seconds) / 60;
    char text[16];
    std::snprintf(text, sizeof text, "UTC%c%02d:%02d", seconds < 0 ? '-' : '+', minutes / 60,
                  minutes % 60);
    return text;
}

struct Wall {
    int year, month, day, hour, minute;
};

Wall WallOf(sys_seconds local) {
    const auto day = chrono::floor<chrono::days>(local);
    const chrono::year_month_day date{day};
    const chrono::hh_mm_ss time{local - day};
    return {static_cast<int>(date.year()), static_cast<int>(static_cast<unsigned>(date.month())),
            static_cast<int>(static_cast<unsigned>(date.day())),
            static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count())};
}

std::string WallClock(sys_seconds utc, int offsetSeconds) {
    const Wall w = WallOf(utc + chrono::seconds(offsetSeconds));
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", w.year, w.month, w.day, w.hour,
                  w.minute);
    return text;
}

// The sign switches on whole UTC hours: the one nearest the zone's moment, the earlier on a tie.
sys_seconds NearestWholeHour(sys_seconds utc) {
    const sys_seconds floor = chrono::floor<chrono::hours>(utc);
    return utc - floor > chrono::minutes(30) ? floor + chrono::hours(1) : floor;
}

// The row whose conversion (standard bias, the offset's minutes dropped) gives this UTC hour: the
// local standard time rounded up to the hour, so that dropping the minutes lands on it again.
DstTransition RowFor(sys_seconds utcHour, int standardOffset) {
    const Wall w = WallOf(chrono::ceil<chrono::hours>(utcHour + chrono::seconds(standardOffset)));
    return {std::to_string(w.year), w.month, w.day, w.hour};
}

std::string Timing(sys_seconds moment, int offsetBefore, const char* what) {
    const auto early = (moment - NearestWholeHour(moment)).count();
    return std::string("it ") + what + " " + std::to_string(std::abs(early) / 60) + " minutes " +
           (early > 0 ? "before" : "after") + " the zone (" + WallClock(moment, offsetBefore) +
           " local time)";
}

}  // namespace

Result<ZoneDstRows> RoundDstRows(const ZoneYear& zone) {
    using Rows = Result<ZoneDstRows>;
    const int year = zone.year;
    if (year < kFirstDstYear || year > kLastDstYear)
        return Rows::Fail("the daylight-saving rows hold the years " +
                          std::to_string(kFirstDstYear) + " to " + std::to_string(kLastDstYear) +
                          ", not " + std::to_string(year));

    const int standard = zone.standardOffset;
    const auto& table = ZoneTable();
    const auto zoneRow = std::find_if(table.begin(), table.end(),
                                      [&](const Zone& z) { return z.bias * -60 == standard; });
    if (zoneRow == table.end())
        return Rows::Fail("the zone's standard time in " + std::to_string(year) + ", " +
                          OffsetText(standard) + ", has no row in the sign's zone list");
    const auto& changes = zone.transitions;
    if (changes.size() > 2)
        return Rows::Fail("the zone changes its offset " + std::to_string(changes.size()) +
                          " times in " + std::to_string(year) +
                          "; the sign knows only one start and one end of daylight saving time");

    ZoneDstRows rows;
    rows.zoneRow = static_cast<int>(zoneRow - table.begin());
    const std::string yearText = std::to_string(year);
    rows.start = {yearText, kNoMonth, kNoDay, 0};
    rows.end = rows.start;
    if (changes.empty()) return rows;

    // A period that runs into the year's start or end is closed by the year's first moment: with
    // the end before the start, the sign keeps daylight time outside end..start.
    const DstTransition firstMoment{yearText, 1, 1, 0};
    rows.start = firstMoment;
    rows.end = firstMoment;
    std::vector<std::string> warnings;
    for (const OffsetTransition& change : changes) {
        const bool wasDaylight = change.offsetBefore > standard;
        const bool isDaylight = change.offsetAfter > standard;
        if (wasDaylight == isDaylight) continue;
        const sys_seconds hour = NearestWholeHour(change.at);
        (isDaylight ? rows.start : rows.end) = RowFor(hour, standard);
        (isDaylight ? rows.startUtc : rows.endUtc) = change.at;
        (isDaylight ? rows.startOffset : rows.endOffset) = change.offsetBefore;
        if (hour != change.at)
            warnings.push_back(Timing(change.at, change.offsetBefore,
                                      isDaylight ? "starts daylight time" : "ends daylight time"));
    }

    // The sign adds one whole hour while daylight time is in force.
    int daylight = changes.front().offsetBefore;
    for (const OffsetTransition& change : changes)
        daylight = std::max(daylight, change.offsetAfter);
    if (daylight - standard != 3600)
        warnings.push_back("its daylight time is " + OffsetText(daylight) +
                           ", but the sign adds one hour to " + OffsetText(standard));
    if (!warnings.empty()) {
        rows.warning = zone.name + ": the sign switches on whole UTC hours and adds whole hours";
        for (const std::string& w : warnings) rows.warning += "; " + w;
    }
    return rows;
}

ZoneDstRows StandInDstRows(const std::string& zoneName, int year, const ZoneMoment& moment,
                           const std::string& reason) {
    ZoneDstRows rows;
    rows.standIn = true;
    rows.start = {std::to_string(year), kNoMonth, kNoDay, 0};
    rows.end = rows.start;
    const int offset = moment.offset;
    const int row = ZoneForBias(-offset / 60);
    const bool fits = ZoneTable()[static_cast<std::size_t>(row)].bias * -60 == offset;
    rows.zoneRow = fits ? row : kUtcZoneRow;
    const std::string head = zoneName + ": " + reason + ". ";
    const std::string when = WallClock(moment.at, offset) + ", " + OffsetText(offset);
    if (fits)
        rows.warning = head + "The sign gets the offset in force at " + when +
                       ", without daylight saving time: its time is right until the zone next "
                       "changes its offset, and a nightly sync keeps it right.";
    else
        rows.warning = head + "The offset in force at " + when +
                       ", has no row either: the sign gets the UTC row without daylight saving "
                       "time and shows UTC, not the local time.";
    return rows;
}

std::string DescribeDstRows(const std::string& zoneName, const ZoneDstRows& rows) {
    if (rows.standIn) return rows.warning;
    std::string text;
    if (rows.start.IsEmpty()) {
        text = zoneName + ": no daylight saving time in " + rows.start.yearText;
    } else {
        const std::string start =
            rows.startUtc ? WallClock(*rows.startUtc, rows.startOffset) : "before the year begins";
        const std::string end =
            rows.endUtc ? WallClock(*rows.endUtc, rows.endOffset) : "after the year ends";
        text = zoneName + ": daylight saving time starts " + start + " and ends " + end +
               ", local time";
    }
    if (!rows.warning.empty()) text += "\n" + rows.warning;
    return text;
}

}  // namespace meridial
