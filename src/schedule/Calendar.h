#pragma once

// Day arithmetic the schedule file and the planner share: days counted from 1970-01-01 in the
// proleptic Gregorian calendar, and a month and day as a position in a leap year.

#include <bitset>
#include <chrono>
#include <cstdint>

#include "schedule/Schedule.h"

namespace meridial::schedule {

// The positions 01-01 .. 12-31 of a leap year, 02-29 included.
inline constexpr int kMonthDays = 366;
using MonthDaySet = std::bitset<kMonthDays>;

inline constexpr int kDaysInLeapMonth[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

inline int MonthDayIndex(int month, int day) {
    static constexpr int kBefore[12] = {0, 31, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335};
    return kBefore[month - 1] + day - 1;
}

inline long long DayNumber(int year, int month, int day) {
    using namespace std::chrono;
    return sys_days{std::chrono::year{year} / static_cast<unsigned>(month) /
                    static_cast<unsigned>(day)}
        .time_since_epoch()
        .count();
}

inline std::chrono::year_month_day CivilDate(long long dayNumber) {
    return std::chrono::year_month_day{
        std::chrono::sys_days{std::chrono::days{static_cast<int>(dayNumber)}}};
}

inline int MonthDayIndexOf(long long dayNumber) {
    const auto date = CivilDate(dayNumber);
    return MonthDayIndex(static_cast<int>(static_cast<unsigned>(date.month())),
                         static_cast<int>(static_cast<unsigned>(date.day())));
}

// 0 for Monday .. 6 for Sunday; 1970-01-01 was a Thursday.
inline int WeekdayOf(long long dayNumber) {
    return static_cast<int>(((dayNumber + 3) % 7 + 7) % 7);
}

inline bool MaskHas(std::uint8_t mask, int weekday) { return (mask >> weekday) & 1; }

// The days that follow the masked ones: Monday's bit becomes Tuesday's, Sunday's Monday's.
inline std::uint8_t NextDays(std::uint8_t mask) {
    return static_cast<std::uint8_t>(((mask << 1) | (mask >> 6)) & 0x7F);
}

inline long long FloorDiv(long long a, long long b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

inline constexpr int kDayMinutes = 24 * 60;

// An entry's window in minutes after the local midnight of the day it starts on, [begin, end);
// end passes kDayMinutes when the window passes midnight.
struct Window {
    int begin = 0;
    int end = kDayMinutes;
    int Spill() const { return end > kDayMinutes ? end - kDayMinutes : 0; }
};

inline Window WindowOf(const ScheduleEntry& entry) {
    if (!entry.from || !entry.to) return {};
    return {*entry.from, *entry.to <= *entry.from ? *entry.to + kDayMinutes : *entry.to};
}

}  // namespace meridial::schedule
