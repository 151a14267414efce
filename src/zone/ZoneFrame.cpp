#include "zone/ZoneFrame.h"

#include <chrono>

#include "link/IntegerText.h"
#include "zone/ZoneTable.h"

namespace meridial {
namespace {

using namespace std::chrono;

Result<std::string> TransitionBytes(int zoneRow, const DstTransition& row) {
    const std::optional<int> year = ParseDecimal(row.yearText);
    if (!year) return Result<std::string>::Fail(NotAnIntegerMessage(row.yearText));
    UtcMoment moment{0, 0, 0, *year};
    if (!row.IsEmpty()) {
        const bool validDay = row.day && row.month >= 1 && row.month <= 12 && *row.day >= 1 &&
                              *row.day <= DayListLength(row.month, *year);
        if (!validDay) return Result<std::string>::Fail(kInvalidDateMessage);
        moment = TransitionToUtc(zoneRow, *year, row.month, *row.day, row.hour);
    }
    return std::string{static_cast<char>(PackedBcd(moment.hour)),
                       static_cast<char>(PackedBcd(moment.day)),
                       static_cast<char>(PackedBcd(moment.month)),
                       static_cast<char>(PackedBcd(moment.year % 100))};
}

}  // namespace

UtcMoment TransitionToUtc(int zoneRow, int year, int month, int day, int hour) {
    const sys_days localDay{year_month_day{std::chrono::year{year},
                                           std::chrono::month{static_cast<unsigned>(month)},
                                           std::chrono::day{static_cast<unsigned>(day)}}};
    const auto utc = floor<hours>(localDay + hours{hour} + minutes{ZoneTable().at(zoneRow).bias});
    const auto utcDay = floor<days>(utc);
    const year_month_day date{utcDay};
    return {static_cast<int>((utc - utcDay).count()),
            static_cast<int>(static_cast<unsigned>(date.day())),
            static_cast<int>(static_cast<unsigned>(date.month())), static_cast<int>(date.year())};
}

std::uint8_t DisplayFormatByte(const DisplayFormats& formats) {
    const int orderBits = formats.dateOrder == DateOrder::MonthDayYear   ? 0x00
                          : formats.dateOrder == DateOrder::YearMonthDay ? 0x20
                                                                         : 0x40;
    const int styleBit = formats.dateStyle == DateStyle::Number ? 0x10 : 0x00;
    const int timeBit = formats.timeFormat == TimeFormat::Hour12 ? 0x01 : 0x00;
    return static_cast<std::uint8_t>(styleBit | orderBits | timeBit);
}

FrameResult BuildZoneFrame(int signId, int zoneRow, const DstTransition& start,
                           const DstTransition& end, const DisplayFormats& formats) {
    if (zoneRow < 0 || zoneRow >= kZoneCount)
        return FrameResult::Fail("Time zone row " + std::to_string(zoneRow) + " does not exist");
    const auto startBytes = TransitionBytes(zoneRow, start);
    if (!startBytes) return FrameResult::Fail(startBytes.error());
    const auto endBytes = TransitionBytes(zoneRow, end);
    if (!endBytes) return FrameResult::Fail(endBytes.error());

    const auto offset = ZoneOffsetBytes(zoneRow);
    std::string payload = *startBytes + *endBytes;
    payload += static_cast<char>(ZoneSignByte(zoneRow));
    payload += static_cast<char>(DisplayFormatByte(formats));
    payload += static_cast<char>(offset[0]);
    payload += static_cast<char>(offset[1]);
    return AddressedFrame(signId, "ST", payload);
}

}  // namespace meridial
