#include "zone/ZoneRowsModel.h"

#include <algorithm>

#include "link/IntegerText.h"

namespace meridial {
namespace {

Notice ErrorNotice(std::string text) {
    return {NoticeIcon::Error, std::move(text), {}, {NoticeButton::Ok}};
}

std::string YearText(const DstRowState& row) {
    return row.yearIndex ? std::to_string(kFirstDstYear + *row.yearIndex) : std::string();
}

}  // namespace

ZoneRowsModel::ZoneRowsModel(int currentYear, int pcBias, Notices& notices)
    : m_notices(notices),
      m_zoneRow(ZoneForBias(pcBias)),
      m_fromPcZoneHint("Zone and daylight-saving rows of this PC's time zone for the start year") {
    if (currentYear >= kFirstDstYear && currentYear <= kLastDstYear)
        m_start.yearIndex = currentYear - kFirstDstYear;
    m_end = m_start;
}

std::vector<std::string> ZoneRowsModel::ZoneItems() {
    std::vector<std::string> items;
    for (const Zone& zone : ZoneTable()) items.emplace_back(zone.itemText);
    return items;
}

std::vector<std::string> ZoneRowsModel::YearItems() {
    std::vector<std::string> items;
    for (int year = kFirstDstYear; year <= kLastDstYear; ++year)
        items.push_back(std::to_string(year));
    return items;
}

const std::vector<std::string>& ZoneRowsModel::MonthItems() {
    static const std::vector<std::string> kItems{"",     "Jan.", "Feb.", "Mar.", "Apr.",
                                                 "May",  "Jun.", "Jul.", "Aug.", "Sept.",
                                                 "Oct.", "Nov.", "Dec"};
    return kItems;
}

std::string ZoneRowsModel::DayItem(int index) {
    return index == kNoDay ? std::string() : std::to_string(index);
}

void ZoneRowsModel::ZonePicked(int row) {
    ZoneSelected(row);
    m_zoneHint = ZoneItems()[static_cast<std::size_t>(m_zoneRow)];
}

void ZoneRowsModel::MonthPicked(DstRow row, int monthIndex) {
    MonthSelected(row, monthIndex);
    RefillDayList(Mutable(row));
}

void ZoneRowsModel::RefillDayList(DstRowState& row) {
    const std::optional<int> selected = row.dayIndex;
    row.dayItems = 0;
    row.dayIndex.reset();
    const std::string yearText = YearText(row);
    const auto year = ParseDecimal(yearText);
    // The list stays empty, without even its empty item, until a year is picked and the month
    // again.
    if (!year) return m_notices.Tell(ErrorNotice(NotAnIntegerMessage(yearText)));
    const DayListRefill refill = meridial::RefillDayList(row.monthIndex, *year, selected);
    row.dayItems = refill.dayCount + 1;
    row.dayIndex = refill.selectedIndex;
}

std::optional<std::string> ZoneRowsModel::FromPcZone(
    const std::function<ZoneYear(int year)>& pcZoneYear, const ZoneMoment& now) {
    const std::string yearText = YearText(m_start);
    const auto year = ParseDecimal(yearText);
    if (!year) {
        m_notices.Tell(ErrorNotice(NotAnIntegerMessage(yearText)));
        return std::nullopt;
    }
    const ZoneYear zone = pcZoneYear(*year);
    // The PC's own zone is never refused: a year it cannot be followed through gets the offset in
    // force now, which Transfer then sends.
    const auto rows = RoundDstRows(zone);
    const ZoneDstRows chosen = rows ? *rows : StandInDstRows(zone.name, *year, now, rows.error());
    ZonePicked(chosen.zoneRow);
    Fill(m_start, chosen.start);
    Fill(m_end, chosen.end);
    m_fromPcZoneHint = DescribeDstRows(zone.name, chosen);
    return chosen.warning;
}

void ZoneRowsModel::Fill(DstRowState& row, const DstTransition& transition) {
    const auto year = ParseDecimal(transition.yearText);
    if (year && *year >= kFirstDstYear && *year <= kLastDstYear)
        row.yearIndex = *year - kFirstDstYear;
    else
        row.yearIndex.reset();
    row.monthIndex = transition.month;
    RefillDayList(row);
    row.dayIndex = transition.day;
    row.hour = transition.hour;
}

void ZoneRowsModel::ZoneSelected(int row) { m_zoneRow = std::clamp(row, 0, kZoneCount - 1); }

void ZoneRowsModel::YearSelected(DstRow row, std::optional<int> yearIndex) {
    Mutable(row).yearIndex = yearIndex;
}

void ZoneRowsModel::MonthSelected(DstRow row, int monthIndex) {
    Mutable(row).monthIndex = monthIndex;
}

void ZoneRowsModel::DaySelected(DstRow row, std::optional<int> dayIndex) {
    Mutable(row).dayIndex = dayIndex;
}

void ZoneRowsModel::HourSet(DstRow row, int hour) {
    Mutable(row).hour = std::clamp(hour, 0, kMaxDstHour);
}

ZoneEntry ZoneRowsModel::Entry() const {
    auto read = [](const DstRowState& row) {
        return DstTransition{YearText(row), row.monthIndex, row.dayIndex, row.hour};
    };
    return {m_zoneRow, read(m_start), read(m_end)};
}

bool IsSettledHour(std::string_view typed) {
    const auto value = ParseDecimal(typed);
    return value && *value >= 0 && *value <= kMaxDstHour;
}

int SettleHour(std::string_view typed) {
    const auto value = ParseDecimal(typed);
    return value ? std::clamp(*value, 0, kMaxDstHour) : 0;
}

}  // namespace meridial
