#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/Notices.h"
#include "zone/DstRounding.h"
#include "zone/ZoneFrame.h"
#include "zone/ZoneTable.h"

namespace meridial {

enum class DstRow { Start, End };

// One DST row as its four fields stand.
struct DstRowState {
    std::optional<int> yearIndex;          // into YearItems(); nothing: no year selected
    int monthIndex = kNoMonth;             // into MonthItems()
    int dayItems = 32;                     // "" and "1".."31"; 0: emptied, not even ""
    std::optional<int> dayIndex = kNoDay;  // nothing: no item selected, which is not ""
    int hour = 0;

    bool operator==(const DstRowState&) const = default;
};

// The group "Set Time Zone and Daylight Saving Time": the zone list and the two DST rows, with
// the rules that keep them in step, for any front end to draw.
class ZoneRowsModel {
public:
    // The year lists select the current year when it is one of theirs; the zone list the row of
    // the PC's bias.
    ZoneRowsModel(int currentYear, int pcBias, Notices& notices);

    static std::vector<std::string> ZoneItems();
    static std::vector<std::string> YearItems();
    static const std::vector<std::string>& MonthItems();
    static std::string DayItem(int index);  // "" for the empty item

    // The operator picked a zone: its hint becomes the item's full text.
    void ZonePicked(int row);
    // The operator picked a month: the row's day list is refilled for it and the row's year.
    void MonthPicked(DstRow row, int monthIndex);
    // "From PC Zone": the zone row and both DST rows of the PC's zone for the start row's year.
    // pcZoneYear gives the zone through a year; now is the moment a stand-in takes its offset
    // from. Returns the warning for the status panel (empty when the sign follows the zone), or
    // nothing when the start year is not a number (told as an error).
    std::optional<std::string> FromPcZone(const std::function<ZoneYear(int year)>& pcZoneYear,
                                          const ZoneMoment& now);

    // A field changed without its handler running (set by the program, or a list the operator
    // picks from without a rule: the years, the days, the hours).
    void ZoneSelected(int row);
    void YearSelected(DstRow row, std::optional<int> yearIndex);
    void MonthSelected(DstRow row, int monthIndex);
    void DaySelected(DstRow row, std::optional<int> dayIndex);
    void HourSet(DstRow row, int hour);

    int ZoneRow() const { return m_zoneRow; }
    const std::string& ZoneHint() const { return m_zoneHint; }  // empty until a zone is picked
    const DstRowState& Row(DstRow row) const { return row == DstRow::Start ? m_start : m_end; }
    const std::string& FromPcZoneHint() const { return m_fromPcZoneHint; }
    // What the time zone command reads.
    ZoneEntry Entry() const;

private:
    DstRowState& Mutable(DstRow row) { return row == DstRow::Start ? m_start : m_end; }
    void RefillDayList(DstRowState& row);
    void Fill(DstRowState& row, const DstTransition& transition);

    Notices& m_notices;
    int m_zoneRow;
    std::string m_zoneHint;
    DstRowState m_start;
    DstRowState m_end;
    std::string m_fromPcZoneHint;
};

// The hour fields take what is typed and settle it on leaving, as the operator expects of a
// numeric field: a number 0..23 stands as typed; another number goes to the nearer bound,
// anything that is not a number to 0.
bool IsSettledHour(std::string_view typed);
int SettleHour(std::string_view typed);

inline constexpr int kMaxDstHour = 23;

}  // namespace meridial
