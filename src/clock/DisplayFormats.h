#pragma once

#include <array>
#include <string_view>

namespace meridial {

// The sign's clock and date formats. The values are the items' positions in the window's lists
// and the codes the zone frame carries.
enum class TimeFormat { Hour24 = 0, Hour12 = 1 };
enum class DateStyle { Alphabet = 0, Number = 1 };
enum class DateOrder { MonthDayYear = 0, YearMonthDay = 1, DayMonthYear = 2 };

struct DisplayFormats {
    TimeFormat timeFormat = TimeFormat::Hour24;
    DateStyle dateStyle = DateStyle::Alphabet;
    DateOrder dateOrder = DateOrder::MonthDayYear;
};

// As the lists show them, in list order.
inline constexpr std::array<std::string_view, 2> kTimeFormatNames{"24 Hour", "12 Hour"};
inline constexpr std::array<std::string_view, 2> kDateStyleNames{"ALPHABET", "NUMBER"};
inline constexpr std::array<std::string_view, 3> kDateOrderNames{"MM-DD-YY", "YY-MM-DD",
                                                                 "DD-MM-YY"};

}  // namespace meridial
