#include "clock/ClockFrame.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <string>

#include "link/IntegerText.h"
#include "link/SignFrame.h"

namespace meridial {
namespace {

using namespace std::chrono;

char CharAt(std::string_view text, std::size_t index) {
    return index < text.size() ? text[index] : ' ';
}

bool IsDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

// The seconds are sent as typed: two digits as packed BCD, anything else as 0.
std::uint8_t SecondByte(std::string_view second) {
    if (second.size() != 2 || !IsDigit(second[0]) || !IsDigit(second[1])) return 0;
    return static_cast<std::uint8_t>((second[0] - '0') << 4 | (second[1] - '0'));
}

}  // namespace

int ReadTimeFieldNumber(std::string_view timeText, int position, int fallback) {
    std::string part{CharAt(timeText, position - 1), CharAt(timeText, position)};
    // Leading blanks are skipped, trailing ones are not: " 5" is 5, "5 " is unreadable.
    const auto first = part.find_first_not_of(' ');
    if (first == std::string::npos) return fallback;
    const std::string digits = part.substr(first);
    for (char c : digits)
        if (!IsDigit(c)) return fallback;
    return ParseDecimal(digits).value_or(fallback);
}

SignClockTime ClockTimeToUtc(const CivilDate& picked, std::string_view timeText,
                             const PcZoneState& zone) {
    const year_month_day local{year{picked.year}, month{static_cast<unsigned>(picked.month)},
                               day{static_cast<unsigned>(picked.day)}};
    const int hour = ReadTimeFieldNumber(timeText, 1, kDefaultHour);
    const int minute = ReadTimeFieldNumber(timeText, 4, kDefaultMinute);
    // A fixed hour for daylight time, whatever the zone's own daylight bias: the sign expects it.
    const int shift =
        std::clamp(zone.bias, -kMaxBiasMinutes, kMaxBiasMinutes) - (zone.daylight ? 60 : 0);

    const sys_days localDay{local};
    const auto utcMinutes = localDay + minutes{hour * 60 + minute + shift};
    const auto utcDay = floor<days>(utcMinutes);
    const year_month_day utc{utcDay};
    const hh_mm_ss clock{utcMinutes - utcDay};

    SignClockTime t;
    t.year = static_cast<int>(utc.year());
    t.month = static_cast<int>(static_cast<unsigned>(utc.month()));
    t.day = static_cast<int>(static_cast<unsigned>(utc.day()));
    t.hour = static_cast<int>(clock.hours().count());
    t.minute = static_cast<int>(clock.minutes().count());
    t.second = std::string{CharAt(timeText, 6), CharAt(timeText, 7)};
    t.weekday = static_cast<int>(weekday{localDay}.c_encoding()) + 1;
    return t;
}

FrameResult BuildClockFrame(int signId, const CivilDate& picked, std::string_view timeText,
                            const PcZoneState& zone) {
    if (zone.bias < -kMaxBiasMinutes || zone.bias > kMaxBiasMinutes)
        return FrameResult::Fail("The zone bias of " + std::to_string(zone.bias) +
                                 " minutes lies beyond a day; no zone has it.");
    const SignClockTime t = ClockTimeToUtc(picked, timeText, zone);
    const std::string payload{
        static_cast<char>(SecondByte(t.second)),    static_cast<char>(PackedBcd(t.minute)),
        static_cast<char>(PackedBcd(t.hour)),       static_cast<char>(PackedBcd(t.day)),
        static_cast<char>(PackedBcd(t.month)),      static_cast<char>(t.weekday),
        static_cast<char>(PackedBcd(t.year % 100)),
    };
    return AddressedFrame(signId, "SS", payload);
}

}  // namespace meridial
