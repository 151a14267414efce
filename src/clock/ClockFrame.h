#pragma once

#include <string>
#include <string_view>

#include "link/SignFrame.h"

namespace meridial {

inline constexpr int kDefaultHour = 12;    // an unreadable hour in the time field
inline constexpr int kDefaultMinute = 30;  // an unreadable minute

// The PC's zone state at the moment of sending: UTC = local time + bias (minutes), and whether
// daylight time is in force now.
struct PcZoneState {
    int bias = 0;
    bool daylight = false;
};

struct CivilDate {
    int year = 2000;
    int month = 1;
    int day = 1;
};

struct SignClockTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    std::string second;  // two characters of the time field, unconverted
    int weekday = 1;     // of the picked local date, 1 = Sunday .. 7 = Saturday
};

// Positions 1-2 / 4-5 of the 8-character "hh:nn:ss" field read as a whole number, leading blanks
// allowed; anything else gives the fallback.
int ReadTimeFieldNumber(std::string_view timeText, int position, int fallback);

// Zones lie within a day of UTC; BuildClockFrame refuses a bias beyond, so no arithmetic on it
// can overflow (the conversion alone holds such a bias to the range).
inline constexpr int kMaxBiasMinutes = 1439;

// The picked date and the typed time, moved to UTC with the PC's bias (and a fixed hour more when
// daylight time is in force).
SignClockTime ClockTimeToUtc(const CivilDate& picked, std::string_view timeText,
                             const PcZoneState& zone);

// "<IDnn><SS>" + second, minute, hour, day, month, weekday, year + checksum + "<E>": 21 bytes.
FrameResult BuildClockFrame(int signId, const CivilDate& picked, std::string_view timeText,
                            const PcZoneState& zone);

}  // namespace meridial
