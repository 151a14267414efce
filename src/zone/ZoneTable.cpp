#include "zone/ZoneTable.h"

#include <chrono>

namespace meridial {

const std::array<Zone, kZoneCount>& ZoneTable() {
    static constexpr std::array<Zone, kZoneCount> kTable{{
        {"(UTC-12)  Baker, Howland Island, Kwajalein, Eniwetok", "1200", 720},
        {"(UTC-11)  Samoa, Midway Atoll", "1100", 660},
        {"(UTC-10)  Hawaii", "1000", 600},
        {"(UTC-9:30)  Marquesas Islands", "0930", 570},
        {"(UTC-9)  Alaska, Gambier Islands", "0900", 540},
        {"(UTC-8)  Pacific Time,", "0800", 480},
        {"(UTC-7)  Arizona, Mountain Time", "0700", 420},
        {"(UTC-6)  Central Time, Mexico, Saskatchewan", "0600", 360},
        {"(UTC-5)  Eastern Time, Indiana(East)  ,Bogota, Lima", "0500", 300},
        {"(UTC-4:30)  Venezuela", "0430", 270},
        {"(UTC-4)  Atlantic Time, Santiago, Caracas", "0400", 240},
        {"(UTC-3:30)  Newfoundland, Labrador", "0330", 210},
        {"(UTC-3)  Greenland, Brasilia, Georgetown", "0300", 180},
        {"(UTC-2)  Mid-Atlantic", "0200", 120},
        {"(UTC-1)  Azores, Cape Verde Is.", "0100", 60},
        {"(UTC)  Dublin, London, Lisbon", "0000", 0},
        {"(UTC+1)  Amsterdam, Berlin, Bern, Rome, Paris", "0100", -60},
        {"(UTC+2)  Athens, Beirut, Istanbul, Minsk", "0200", -120},
        {"(UTC+3)  Kuwait, Baghdad, Moscow, Nairobi", "0300", -180},
        {"(UTC+3:30)  Iran", "0330", -210},
        {"(UTC+4)  Abu Dhabi, Muscat, Baku", "0400", -240},
        {"(UTC+4:30)  Afghanistan", "0430", -270},
        {"(UTC+5)  Ekaterinburg, Islamabad, Karachi", "0500", -300},
        {"(UTC+5:30)  India, Sri Lanka", "0530", -330},
        {"(UTC+5:45)  Nepal", "0545", -345},
        {"(UTC+6)  Almaty, Astana, Dhaka", "0600", -360},
        {"(UTC+6:30)  Cocos Islands, Myanmar", "0630", -390},
        {"(UTC+7)  Bangkok, Hanoi, Jakarta", "0700", -420},
        {"(UTC+8)  BeiJing, HongKong, Urumqi, Singapore", "0800", -480},
        {"(UTC+8:45)  Western Australia", "0845", -525},
        {"(UTC+9)  Tokyo, Osaka, Seoul, Yakutsk", "0900", -540},
        {"(UTC+9:30)  New South Wales", "0930", -570},
        {"(UTC+10)  Brisbane, Canberra, Sydney, Guam", "1000", -600},
        {"(UTC+10:30)  Lord Howe Island", "1030", -630},
        {"(UTC+11)  Magadan, Solomon Is., New Caledonia", "1100", -660},
        {"(UTC+11:30)  Norfolk Island", "1130", -690},
        {"(UTC+12)  Auckland, Wellington, Fiji, Kamchatka", "1200", -720},
        {"(UTC+12:45)  Chatham Islands", "1245", -765},
        {"(UTC+13)  Nuku'alofa", "1300", -780},
        {"(UTC+14)  Line Islands", "1400", -840},
    }};
    return kTable;
}

int ZoneForBias(int bias) {
    const auto& table = ZoneTable();
    for (int row = 0; row < kZoneCount; ++row)
        if (table[row].bias == bias) return row;
    return kUtcZoneRow;
}

std::uint8_t ZoneSignByte(int row) { return row > kUtcZoneRow ? 0x01 : 0x00; }

std::array<std::uint8_t, 2> ZoneOffsetBytes(int row) {
    const std::string_view code = ZoneTable().at(row).offsetCode;
    auto pair = [&](std::size_t at) {
        return static_cast<std::uint8_t>((code[at] - '0') << 4 | (code[at + 1] - '0'));
    };
    return {pair(0), pair(2)};
}

bool IsLeapYear(int year) { return std::chrono::year{year}.is_leap(); }

int DayListLength(int monthIndex, int year) {
    switch (monthIndex) {
        case 2:
            return IsLeapYear(year) ? 29 : 28;
        case 4:
        case 6:
        case 9:
        case 11:
        case kNoMonth:
            return 30;
        default:
            return 31;
    }
}

DayListRefill RefillDayList(int monthIndex, int year, std::optional<int> previousSelection) {
    DayListRefill refill;
    refill.dayCount = DayListLength(monthIndex, year);
    if (previousSelection && *previousSelection >= 0 && *previousSelection <= refill.dayCount)
        refill.selectedIndex = previousSelection;
    return refill;
}

}  // namespace meridial
