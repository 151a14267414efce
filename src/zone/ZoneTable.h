#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace meridial {

struct Zone {
    std::string_view itemText;    // as the zone list shows it
    std::string_view offsetCode;  // "hhmm", without sign
    int bias;                     // minutes, UTC = local time + bias
};

inline constexpr int kZoneCount = 40;
inline constexpr int kUtcZoneRow = 15;  // rows after it lie east of UTC

const std::array<Zone, kZoneCount>& ZoneTable();

// The first row whose bias equals the argument; the UTC row when none does.
int ZoneForBias(int bias);

// 0x01 for the rows east of UTC, 0x00 for UTC and the rows west of it.
std::uint8_t ZoneSignByte(int row);

// The offset code's two halves as packed BCD: {hours, minutes}.
std::array<std::uint8_t, 2> ZoneOffsetBytes(int row);

// The DST year lists hold these years.
inline constexpr int kFirstDstYear = 2000;
inline constexpr int kLastDstYear = 2099;

// Month list index: 0 is the empty item, 1..12 the months.
inline constexpr int kNoMonth = 0;
inline constexpr int kNoDay = 0;

bool IsLeapYear(int year);

// Days in the day list for a month list index: February follows the year, the empty month gives 30.
int DayListLength(int monthIndex, int year);

struct DayListRefill {
    int dayCount = 31;                 // items "1".."dayCount" after the empty item
    std::optional<int> selectedIndex;  // nullopt: no item selected (not the same as the empty item)
};

// The day list after a month is picked: the previous selection is kept when it still exists.
DayListRefill RefillDayList(int monthIndex, int year, std::optional<int> previousSelection);

}  // namespace meridial
