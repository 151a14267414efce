#include "schedule/Planner.h"

#include <gtest/gtest.h>

namespace meridial::schedule {
namespace {

using namespace std::chrono;

Instant At(int y, unsigned mo, unsigned d, int h, int mi = 0) {
    return sys_days{year{y} / mo / d} + hours{h} + minutes{mi};
}

// Europe/Berlin in 2026, written out by hand.
const ZoneOffsets kBerlin{3600, {{At(2026, 3, 29, 1), 7200}, {At(2026, 10, 25, 1), 3600}}};

const std::vector<SignInfo> kSigns{{"lobby", {"floor1"}}, {"hall", {"floor1"}}, {"roof", {}}};

Schedule Read(const std::string& text) {
    auto parsed = ParseSchedule(text, "s.ini", kSigns, {}, {});
    EXPECT_TRUE(parsed) << parsed.error();
    return parsed ? std::move(parsed).value() : Schedule{};
}

SignPlanInput Sign(const std::string& name, const Schedule& schedule, ZoneOffsets zone = {}) {
    SignPlanInput sign{name, std::move(zone), "own", 2, {}};
    for (const ScheduleEntry& e : schedule.entries)
        if (std::find(e.signs.begin(), e.signs.end(), name) != e.signs.end())
            sign.entries.push_back(&e);
    return sign;
}

// "01-05 07:00 source" per change (UTC), or per event with "clock" before clock sends.
std::string Text(Instant at, const Holding& holding, const char* kind = "") {
    const auto day = floor<days>(at);
    const year_month_day date{day};
    const hh_mm_ss time{at - day};
    char text[80];
    std::snprintf(text, sizeof text, "%02u-%02u %02ld:%02ld %s%s", unsigned(date.month()),
                  unsigned(date.day()), long(time.hours().count()), long(time.minutes().count()),
                  kind, holding.source.c_str());
    return text;
}

std::vector<std::string> Changes(const SignPlanInput& sign, const std::vector<Notice>& notices,
                                 Instant from, Instant to) {
    std::vector<std::string> out;
    for (const Change& c : ChangesBetween(sign, notices, from, to))
        out.push_back(Text(c.at, c.holding));
    return out;
}

TEST(PlannerTest, NoticeThenOneOffThenYearlyThenWeekdayThenOwn) {
    const Schedule s = Read(
        "[week]\nsigns=hall\nmessage=w\nfrom=08:00\nto=20:00\n[xmas]\nsigns=hall\nmessage=y\n"
        "dates=12-24..12-26\n[fair]\nsigns=hall\nmessage=o\ndates=2026-12-25\nfrom=10:00\n"
        "to=12:00\n");
    const std::vector<Notice> notices{
        {"n1", {"hall"}, "drill", 4, At(2026, 12, 25, 10, 30), At(2026, 12, 25, 11), 1},
        {"n2", {"hall"}, "later", {}, At(2026, 12, 25, 10, 45), At(2026, 12, 25, 10, 50), 2},
        {"n0", {"roof"}, "other", {}, At(2026, 12, 23, 0), At(2026, 12, 28, 0), 3}};
    EXPECT_EQ(Changes(Sign("hall", s), notices, At(2026, 12, 23, 0), At(2026, 12, 28, 0)),
              (std::vector<std::string>{
                  "12-23 08:00 entry week", "12-23 20:00 own", "12-24 00:00 entry xmas",
                  "12-25 10:00 entry fair", "12-25 10:30 notice n1", "12-25 10:45 notice n2",
                  "12-25 10:50 notice n1", "12-25 11:00 entry fair", "12-25 12:00 entry xmas",
                  "12-27 00:00 own", "12-27 08:00 entry week", "12-27 20:00 own"}));
    EXPECT_EQ(HoldingAt(Sign("hall", s), notices, At(2026, 12, 25, 10, 31)),
              (Holding{"drill", 4, Rank::Notice, "notice n1"}));
    EXPECT_EQ(HoldingAt(Sign("hall", s), notices, At(2026, 12, 25, 10, 46)).speed, 2);
}

struct ChangeRow {
    const char* name;
    const char* entry;  // the keys of one entry for the hall
    ZoneOffsets zone;
    Instant from, to;
    std::vector<std::string> changes;
};

void PrintTo(const ChangeRow& row, std::ostream* out) { *out << row.name; }

class PlannerChangeTest : public ::testing::TestWithParam<ChangeRow> {};

TEST_P(PlannerChangeTest, ChangesAtTheWallClocksMoments) {
    const ChangeRow& row = GetParam();
    const Schedule s = Read(std::string("[e]\nsigns=hall\nmessage=m\n") + row.entry);
    EXPECT_EQ(Changes(Sign("hall", s, row.zone), {}, row.from, row.to), row.changes);
}

const ChangeRow kChangeRows[] = {
    {"WindowPastMidnightBelongsToItsFirstDay",
     "days=Fri\nfrom=22:00\nto=02:00\n",
     {},
     At(2026, 1, 8, 0),
     At(2026, 1, 11, 0),
     {"01-09 22:00 entry e", "01-10 02:00 own"}},
    {"YearlyDatesAcrossTheYearsEnd",
     "dates=12-31..01-01\nfrom=23:00\nto=01:00\n",
     {},
     At(2026, 12, 30, 0),
     At(2027, 1, 3, 0),
     {"12-31 23:00 entry e", "01-01 01:00 own", "01-01 23:00 entry e", "01-02 01:00 own"}},
    {"SignFiveAndAHalfHoursEast",
     "days=Mon\nfrom=09:00\nto=17:00\n",
     {19800, {}},
     At(2026, 1, 4, 0),
     At(2026, 1, 6, 0),
     {"01-05 03:30 entry e", "01-05 11:30 own"}},
    {"ClockJumpsIntoTheWindow",
     "from=02:30\nto=04:00\n",
     kBerlin,
     At(2026, 3, 28, 12),
     At(2026, 3, 29, 12),
     {"03-29 01:00 entry e", "03-29 02:00 own"}},
    {"WindowInsideTheSkippedHour",
     "from=02:10\nto=02:50\n",
     kBerlin,
     At(2026, 3, 28, 12),
     At(2026, 3, 29, 12),
     {}},
    // Local 02:00-03:00 comes twice; the window holds whenever the wall clock is inside it.
    {"ClockGoesBackThroughTheWindow",
     "from=02:30\nto=04:00\n",
     kBerlin,
     At(2026, 10, 24, 12),
     At(2026, 10, 25, 12),
     {"10-25 00:30 entry e", "10-25 01:00 own", "10-25 01:30 entry e", "10-25 03:00 own"}},
};

INSTANTIATE_TEST_SUITE_P(Planner, PlannerChangeTest, ::testing::ValuesIn(kChangeRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PlannerTest, ClockSendsAndRetries) {
    const SignPlanInput berlin{"hall", kBerlin, "own", {}, {}};
    const std::pair<Instant, Instant> sends[] = {
        {At(2026, 3, 28, 3), At(2026, 3, 29, 1)},           // 03:00 comes with the jump
        {At(2026, 3, 29, 1) + 30s, At(2026, 3, 29, 1, 1)},  // a minute after the change
        {At(2026, 3, 29, 1, 1), At(2026, 3, 30, 1)},
        {At(2026, 10, 25, 0), At(2026, 10, 25, 1, 1)},  // 03:00 summer time never comes
        {At(2026, 10, 25, 1, 1), At(2026, 10, 25, 2)}};
    for (const auto& [after, next] : sends) EXPECT_EQ(NextClockSend(berlin, 180, after), next);
    EXPECT_EQ(
        (std::vector{RetryDelay(1), RetryDelay(2), RetryDelay(3), RetryDelay(4), RetryDelay(9)}),
        (std::vector<seconds>{10s, 60s, 300s, 900s, 900s}));
}

// A week of one building: every Transfer of each sign, written out by hand. Lobby and hall are
// in Berlin (UTC+1 in January), the roof in UTC; the clock goes out at 03:00 local.
TEST(PlannerTest, OneWeekOfABuilding) {
    const Schedule s = Read(
        "[open]\nsigns=group:floor1\nmessage=Open\ndays=Mon-Fri\nfrom=08:00\nto=18:00\n"
        "[night]\nsigns=roof\nmessage=Late\ndays=Fri\nfrom=22:00\nto=02:00\n"
        "[holiday]\nsigns=all\nmessage=Closed\ndates=01-06\n"
        "[stock]\nsigns=hall\nmessage=Inventory\ndates=2026-01-08\nfrom=12:00\nto=14:00\n");
    const std::vector<Notice> drill{
        {"n1", {"lobby", "roof"}, "Drill", {}, At(2026, 1, 9, 10), At(2026, 1, 9, 11), 1}};
    const std::pair<SignPlanInput, std::string> rows[] = {
        {Sign("lobby", s, kBerlin),
         "01-05 02:00 clock own|01-05 07:00 entry open|01-05 17:00 own|01-05 23:00 entry holiday|"
         "01-06 02:00 clock entry holiday|01-06 23:00 own|01-07 02:00 clock own|01-07 07:00 entry "
         "open|01-07 17:00 own|01-08 02:00 clock own|01-08 07:00 entry open|01-08 17:00 own|01-09 "
         "02:00 clock own|01-09 07:00 entry open|01-09 10:00 notice n1|01-09 11:00 entry open|"
         "01-09 17:00 own|01-10 02:00 clock own|01-11 02:00 clock own|"},
        {Sign("hall", s, kBerlin),
         "01-05 02:00 clock own|01-05 07:00 entry open|01-05 17:00 own|01-05 23:00 entry holiday|"
         "01-06 02:00 clock entry holiday|01-06 23:00 own|01-07 02:00 clock own|01-07 07:00 entry "
         "open|01-07 17:00 own|01-08 02:00 clock own|01-08 07:00 entry open|01-08 11:00 entry "
         "stock|01-08 13:00 entry open|01-08 17:00 own|01-09 02:00 clock own|01-09 07:00 entry "
         "open|01-09 17:00 own|01-10 02:00 clock own|01-11 02:00 clock own|"},
        {Sign("roof", s),
         "01-05 03:00 clock own|01-06 00:00 entry holiday|01-06 03:00 clock entry holiday|01-07 "
         "00:00 own|01-07 03:00 clock own|01-08 03:00 clock own|01-09 03:00 clock own|01-09 10:00 "
         "notice n1|01-09 11:00 own|01-09 22:00 entry night|01-10 02:00 own|01-10 03:00 clock "
         "own|01-11 03:00 clock own|"}};
    for (const auto& [sign, expected] : rows) {
        std::string events;
        for (const Event& e :
             SimulateEvents(sign, drill, 180, At(2026, 1, 5, 0), At(2026, 1, 12, 0)))
            events += Text(e.at, e.holding, e.kind == Event::Clock ? "clock " : "") + "|";
        EXPECT_EQ(events, expected) << sign.name;
    }
}

}  // namespace
}  // namespace meridial::schedule
