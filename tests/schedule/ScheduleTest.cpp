#include "schedule/Schedule.h"

#include <gtest/gtest.h>

namespace meridial::schedule {
namespace {

const std::vector<SignInfo> kSigns{{"lobby", {"floor1"}}, {"hall", {"floor1"}}, {"roof", {}}};

Result<Schedule, std::string> Parse(std::string_view text) {
    auto read = [](const std::string& path) -> Result<std::string, std::string> {
        if (path == "/s/hours.txt") return std::string("From file\r\n");
        return Result<std::string, std::string>::Fail("cannot read " + path);
    };
    auto check = [](const std::string& message) -> std::optional<std::string> {
        if (message.find('~') != std::string::npos) return "'~' is not in the sign's code page";
        return std::nullopt;
    };
    return ParseSchedule(text, "/s/schedule.ini", kSigns, read, check);
}

struct ErrorRow {
    const char* name;
    const char* file;
    const char* error;  // empty: the file is good
};

void PrintTo(const ErrorRow& row, std::ostream* out) { *out << row.name; }

class ScheduleErrorTest : public ::testing::TestWithParam<ErrorRow> {};

TEST_P(ScheduleErrorTest, NamesEachBadLine) {
    const auto parsed = Parse(GetParam().file);
    EXPECT_EQ(parsed ? std::string() : parsed.error(), GetParam().error);
}

const ErrorRow kErrorRows[] = {
    {"BadLinesAndValues",
     "days=Mon\n[a]\nsigns=lobby,group:floor9,gate\nmessage=x\nfrom=8:00\nto=25:00\ncolour=red\n"
     "days=Mon\ndays=Tue\n[a]\n[b]\nsigns=roof\nmessage-file=nope.txt\ndates=02-30\n"
     "[c]\nsigns=roof\nmessage=~\nspeed=9\nfrom=10:00\n[d]\nsigns=hall\nmessage=x\n"
     "dates=12-24,2026-12-31\nfrom=10:00\nto=10:00\n[e]\nsigns=hall\nmessage=\"\"\ndays=Moon\n"
     "[f]\nsigns=hall\nmessage=x\n[g]\nmessage=x\ndays=Mon\n",
     "/s/schedule.ini:1 days: before any section\n"
     "/s/schedule.ini:3 [a] signs: no group 'floor9', no sign 'gate'\n"
     "/s/schedule.ini:6 [a] to: '25:00' is not a time HH:MM from 00:00 to 23:59 (or 24:00)\n"
     "/s/schedule.ini:7 [a] colour: unknown key (known: signs message message-file speed days "
     "from to dates)\n"
     "/s/schedule.ini:9 [a] days: given again (first on line 8)\n"
     "/s/schedule.ini:10 [a]: a second section of that name (the first is on line 2)\n"
     "/s/schedule.ini:13 [b] message-file: cannot read /s/nope.txt\n"
     "/s/schedule.ini:14 [b] dates: '02-30': no such date\n"
     "/s/schedule.ini:17 [c] message: '~' is not in the sign's code page\n"
     "/s/schedule.ini:18 [c] speed: '9' is not a whole number from 0 (slow) to 4 (fast)\n"
     "/s/schedule.ini:19 [c] from: given without to; give both or neither\n"
     "/s/schedule.ini:23 [d] dates: mixes yearly dates (MM-DD) with dates of one year "
     "(YYYY-MM-DD); give them in two entries\n"
     "/s/schedule.ini:25 [d] to: the window ends where it starts; leave out from and to for the "
     "whole day\n"
     "/s/schedule.ini:28 [e] message: the message is empty\n"
     "/s/schedule.ini:29 [e] days: 'Moon' is not a day (Mon Tue Wed Thu Fri Sat Sun) or a range "
     "Mon-Fri\n"
     "/s/schedule.ini:30 [f]: give days, from and to, or dates: when the entry holds\n"
     "/s/schedule.ini:33 [g] signs: missing: name the signs the entry holds"},
    {"WeekdayOverlapsAcrossMidnightAndSunday",
     "[late]\nsigns=roof,hall\nmessage=a\ndays=Fri\nfrom=22:00\nto=02:00\n"
     "[early]\nsigns=hall\nmessage=b\ndays=sat\nfrom=01:00\nto=03:00\n"
     "[sun]\nsigns=lobby\nmessage=c\ndays=Sun\nfrom=23:00\nto=01:00\n"
     "[mon]\nsigns=group:floor1\nmessage=d\ndays=Mon-Tue\nfrom=00:30\nto=24:00\n",
     "/s/schedule.ini:7 [early]: overlaps [late] (line 1) for sign hall at Sat 01:00\n"
     "/s/schedule.ini:19 [mon]: overlaps [sun] (line 13) for sign lobby at Mon 00:30"},
    {"YearlyOverlapsAcrossTheYearsEnd",
     "[x]\nsigns=roof\nmessage=a\ndates=12-30..01-02\n[y]\nsigns=roof\nmessage=b\ndates=01-02\n"
     "[eve]\nsigns=hall\nmessage=c\ndates=12-31\nfrom=22:00\nto=01:00\n"
     "[ny]\nsigns=hall\nmessage=d\ndates=01-01\ndays=Mon\nfrom=00:30\nto=02:00\n",
     "/s/schedule.ini:5 [y]: overlaps [x] (line 1) for sign roof at 01-02 00:00\n"
     "/s/schedule.ini:15 [ny]: overlaps [eve] (line 9) for sign hall at 01-01 00:30 on a Mon"},
    {"OneOffOverlapsOnRealDays",
     "[sat]\nsigns=roof\nmessage=a\ndates=2026-05-01..2026-05-03\ndays=Sat\n"
     "[fri]\nsigns=roof\nmessage=b\ndates=2026-05-01\n"
     "[late]\nsigns=roof\nmessage=c\ndates=2026-05-02\nfrom=10:00\nto=11:00\n"
     "[next]\nsigns=lobby\nmessage=e\ndates=2026-05-02\nfrom=00:59\nto=02:00\n"
     "[spill]\nsigns=lobby\nmessage=d\ndates=2026-05-01\nfrom=23:00\nto=01:00\n",
     "/s/schedule.ini:10 [late]: overlaps [sat] (line 1) for sign roof at 2026-05-02 10:00\n"
     "/s/schedule.ini:22 [spill]: overlaps [next] (line 16) for sign lobby at 2026-05-02 00:59"},
    {"NoOverlapBetweenRanksSignsOrTouchingWindows",
     "[am]\nsigns=lobby\nmessage=a\ndays=Mon-Fri\nfrom=08:00\nto=12:00\n"
     "[pm]\nsigns=lobby,roof\nmessage=b\ndays=Fri-Mon\nfrom=12:00\nto=08:00\n"
     "[xmas]\nsigns=all\nmessage=c\ndates=12-24..12-26\n"
     "[hall]\nsigns=hall\nmessage=d\ndays=Mon\n",
     ""},
};

INSTANTIATE_TEST_SUITE_P(Schedule, ScheduleErrorTest, ::testing::ValuesIn(kErrorRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ScheduleTest, ReadsEveryValue) {
    const auto parsed = Parse(
        "[a]\nsigns=roof,group:floor1,lobby\nmessage-file=hours.txt\nspeed=0\ndays=Fri-Mon\n"
        "from=22:15\nto=24:00\ndates=12-30..01-02,02-29\n[service]\nlisten=[::1]:9000\n"
        "daily=04:15\n[mqtt]\nhost=broker\nhost=again\n");
    ASSERT_TRUE(parsed) << parsed.error();
    ASSERT_EQ(parsed->entries.size(), 1u);
    const ScheduleEntry& a = parsed->entries[0];
    EXPECT_EQ(a.signs, (std::vector<std::string>{"lobby", "hall", "roof"}));
    EXPECT_EQ(a.message, "From file");
    EXPECT_EQ(a.speed, 0);
    EXPECT_EQ(a.days, 0b1110001);  // Fri Sat Sun Mon
    EXPECT_EQ(a.from, 22 * 60 + 15);
    EXPECT_EQ(a.to, 0);
    EXPECT_EQ(a.rank, Rank::Yearly);
    ASSERT_EQ(a.dates.size(), 2u);
    EXPECT_EQ(
        std::tie(a.dates[0].fromMonth, a.dates[0].fromDay, a.dates[0].toMonth, a.dates[0].toDay),
        std::tuple(12, 30, 1, 2));
    EXPECT_EQ(parsed->service.listenHost, "::1");
    EXPECT_EQ(parsed->service.listenPort, 9000);
    EXPECT_EQ(parsed->service.dailyMinute, 4 * 60 + 15);
    ASSERT_TRUE(parsed->mqtt);
    EXPECT_EQ(parsed->mqtt->values.size(), 2u);
}

TEST(ScheduleTest, DurationsAndSignLists) {
    using namespace std::chrono_literals;
    const std::pair<const char*, std::optional<std::chrono::seconds>> durations[] = {
        {"30m", 30min},          {"2h", 2h},          {"90s", 90s},
        {"1h30m", 90min},        {"1d", 24h},         {"0m", std::nullopt},
        {"30m1h", std::nullopt}, {"h", std::nullopt}, {"5", std::nullopt},
        {"400d", std::nullopt}};
    for (const auto& [text, expected] : durations) EXPECT_EQ(ParseDuration(text), expected) << text;

    EXPECT_EQ(*ResolveSigns("all", kSigns), (std::vector<std::string>{"lobby", "hall", "roof"}));
    EXPECT_EQ(*ResolveSigns(" hall , group:floor1", kSigns),
              (std::vector<std::string>{"lobby", "hall"}));
    EXPECT_EQ(ResolveSigns("hall,,Roof", kSigns).error(), "an empty item, no sign 'Roof'");
}

}  // namespace
}  // namespace meridial::schedule
