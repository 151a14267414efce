#include "zone/ZoneRowsModel.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ostream>

namespace meridial {

void PrintTo(const DstRowState& r, std::ostream* os) {
    *os << r.yearIndex.value_or(-1) << "/" << r.monthIndex << "/" << r.dayItems << "/"
        << r.dayIndex.value_or(-1) << "/" << r.hour;
}

namespace {

using namespace std::chrono;

struct RecordingNotices final : Notices {
    void Tell(const Notice& n) override {
        const bool errorBox =
            n.icon == NoticeIcon::Error && n.buttons == std::vector{NoticeButton::Ok};
        told += (errorBox ? "error: " : "other: ") + n.text;
    }
    NoticeButton Ask(const Notice& n) override { return Tell(n), NoticeButton::Ok; }
    std::string told;
};

OffsetTransition Change(year_month_day day, int hour, int minute, int before, int after) {
    return {sys_days(day) + hours(hour) + minutes(minute), before, after};
}

// Year index, month, day items, day index, hour; -1 for no selection.
DstRowState R(int year, int month, int items, int day, int hour) {
    auto index = [](int i) { return i < 0 ? std::nullopt : std::optional(i); };
    return {index(year), month, items, index(day), hour};
}

std::vector<OffsetTransition> Changes(auto... changes) { return {changes...}; }

struct Case {
    const char* name;
    int year, bias;
    // z37: zone 37 picked; s/e + m4: month 4 picked in the start/end row, d15: day 15, y13:
    // year index 13 selected; p: From PC Zone with the zone below.
    const char* events;
    int zoneRow;
    DstRowState start, end;
    const char* told;    // the boxes shown
    const char* hints;   // in the zone hint, a line break, the From PC Zone hint
    const char* status;  // what From PC Zone gives the status panel
    int standard = 0;
    std::vector<OffsetTransition> changes = {};
    ZoneMoment now = {};
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class ZoneRows : public ::testing::TestWithParam<Case> {};

TEST_P(ZoneRows, EventsGiveState) {
    const Case& c = GetParam();
    RecordingNotices notices;
    ZoneRowsModel model(c.year, c.bias, notices);
    std::string status;
    DstRow row = DstRow::Start;
    for (const char* e = c.events; *e; ++e) {
        const int n = std::atoi(e + 1);
        if (*e == 's' || *e == 'e') row = *e == 's' ? DstRow::Start : DstRow::End;
        if (*e == 'z') model.ZonePicked(n);
        if (*e == 'm') model.MonthPicked(row, n);
        if (*e == 'd') model.DaySelected(row, n);
        if (*e == 'y') model.YearSelected(row, n);
        const auto zone = [&](int year) {
            return ZoneYear{"Test/Zone", year, c.standard, c.changes};
        };
        if (*e == 'p') status = model.FromPcZone(zone, c.now).value_or("(not filled)");
    }
    EXPECT_EQ(model.ZoneRow(), c.zoneRow);
    EXPECT_EQ(model.Row(DstRow::Start), c.start);
    EXPECT_EQ(model.Row(DstRow::End), c.end);
    EXPECT_EQ(notices.told, c.told);
    const std::string hints = model.ZoneHint() + "\n" + model.FromPcZoneHint();
    EXPECT_NE(hints.find(c.hints), std::string::npos) << hints;
    EXPECT_EQ(status.find(c.status), 0u) << status;
}

const DstRowState k2026 = R(26, 0, 32, 0, 0), k2012 = R(12, 0, 32, 0, 0),
                  kNone = R(-1, 0, 32, 0, 0);
constexpr int kCet = 3600, kSydney = 36000, kAdelaide = 34200, kDst = 3600;
const char* const kNoYear = "error: '' is not a valid integer value";

INSTANTIATE_TEST_SUITE_P(
    Events, ZoneRows,
    ::testing::Values(
        Case{"PreselectsTheBiasRow", 2026, -345, "", 24, k2026, k2026, "", "\nZone and", ""},
        Case{"ZoneHintIsTheItem", 2026, 0, "s m3 z37", 37, R(26, 3, 32, 0, 0), k2026, "",
             "(UTC+12:45)  Chatham Islands\n", ""},
        Case{"MonthKeepsTheDay", 2026, 0, "e d15 m4", 15, k2026, R(26, 4, 31, 15, 0), "", "", ""},
        Case{"MonthDropsAGoneDay", 2026, 0, "s d31 m4", 15, R(26, 4, 31, -1, 0), k2026, "", "", ""},
        Case{"LeapFebruary", 2012, 0, "s m2", 15, R(12, 2, 30, 0, 0), k2012, "", "", ""},
        Case{"YearAloneDoesNotRefill", 2012, 0, "s m2 d29 y13", 15, R(13, 2, 30, 29, 0), k2012, "",
             "", ""},
        Case{"NoYearEmptiesTheDays", 2150, 0, "s m5", 15, R(-1, 5, 0, -1, 0), kNone, kNoYear, "",
             ""},
        Case{"FromPcZoneWithoutAYear", 2150, 0, "p", 15, kNone, kNone, kNoYear, "\nZone and",
             "(not filled)"},
        Case{"FromPcZoneNorthern", 2026, 0, "p", 16, R(26, 3, 32, 29, 2), R(26, 10, 32, 25, 2), "",
             "Paris\nTest/Zone: daylight saving time starts 2026-03-29 02:00 and ends "
             "2026-10-25 03:00, local time",
             "", kCet,
             Changes(Change(2026y / 3 / 29, 1, 0, kCet, kCet + kDst),
                     Change(2026y / 10 / 25, 1, 0, kCet + kDst, kCet))},
        Case{"FromPcZoneSouthern", 2026, 0, "e y27 p", 32, R(26, 10, 32, 4, 2), R(26, 4, 31, 5, 2),
             "", "starts 2026-10-04 02:00 and ends 2026-04-05 03:00", "", kSydney,
             Changes(Change(2026y / 4 / 4, 16, 0, kSydney + kDst, kSydney),
                     Change(2026y / 10 / 3, 16, 0, kSydney, kSydney + kDst))},
        Case{"FromPcZoneHalfHour", 2026, 0, "p", 31, R(26, 10, 32, 4, 2), R(26, 4, 31, 5, 2), "",
             "30 minutes before the zone", "Test/Zone: the sign switches on whole UTC hours",
             kAdelaide,
             Changes(Change(2026y / 4 / 4, 16, 30, kAdelaide + kDst, kAdelaide),
                     Change(2026y / 10 / 3, 16, 30, kAdelaide, kAdelaide + kDst))},
        // Three changes: the offset in force at the moment, no DST.
        Case{"FromPcZoneStandIn", 2026, 0, "e m3 p", 16, R(26, 0, 31, 0, 0), R(26, 0, 31, 0, 0), "",
             "(UTC+1)",
             "Test/Zone: the zone changes its offset 3 times in 2026; the sign knows only one "
             "start and one end of daylight saving time. The sign gets the offset in force at "
             "2026-06-01 13:00, UTC+01:00",
             0,
             Changes(Change(2026y / 3 / 1, 2, 0, 0, kDst), Change(2026y / 4 / 1, 2, 0, kDst, 0),
                     Change(2026y / 5 / 1, 2, 0, 0, kDst)),
             ZoneMoment(sys_days(2026y / 6 / 1) + hours(12), kDst)}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace meridial
