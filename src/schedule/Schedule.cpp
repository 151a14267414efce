#include "schedule/Schedule.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <map>
#include <unordered_set>

#include "link/ProfileFile.h"
#include "message/MessageFrame.h"
#include "schedule/Calendar.h"

namespace meridial::schedule {
namespace {

template <typename T>
using Parsed = Result<T, std::string>;

// A hostile file could name a million lines; the first few tell the user what to fix.
constexpr std::size_t kMostErrors = 20;
constexpr int kWeekMinutes = 7 * kDayMinutes;

constexpr std::array<std::string_view, 7> kDayNames{"Mon", "Tue", "Wed", "Thu",
                                                    "Fri", "Sat", "Sun"};
constexpr std::array<std::string_view, 8> kEntryKeys{"signs", "message", "message-file", "speed",
                                                     "days",  "from",    "to",           "dates"};
constexpr std::array<std::string_view, 2> kServiceKeys{"listen", "daily"};
constexpr std::string_view kServiceSection = "service";
constexpr std::string_view kMqttSection = "mqtt";

template <std::size_t N>
std::string Joined(const std::array<std::string_view, N>& words) {
    std::string out;
    for (std::string_view word : words) out += (out.empty() ? "" : " ") + std::string(word);
    return out;
}

template <std::size_t N>
bool Contains(const std::array<std::string_view, N>& words, std::string_view word) {
    return std::find(words.begin(), words.end(), word) != words.end();
}

std::string Quoted(std::string_view text) { return "'" + ProfileExcerpt(text) + "'"; }

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

std::vector<std::string_view> SplitItems(std::string_view text) {
    std::vector<std::string_view> items;
    for (;;) {
        const std::size_t comma = text.find(',');
        items.push_back(Trim(text.substr(0, comma)));
        if (comma == std::string_view::npos) return items;
        text.remove_prefix(comma + 1);
    }
}

bool AllDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Digits only, at most nine of them, so that the number fits an int.
std::optional<int> SmallNumber(std::string_view text) {
    if (!AllDigits(text) || text.size() > 9) return std::nullopt;
    int number = 0;
    for (char c : text) number = number * 10 + (c - '0');
    return number;
}

// The message goes to the sign converted from UTF-8; bytes that are not UTF-8 would arrive as
// something else.
bool IsUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        unsigned int point = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2, point = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3, point = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4, point = lead & 0x07;
        } else {
            return false;
        }
        if (i + length > text.size()) return false;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            point = (point << 6) | (next & 0x3F);
        }
        // Overlong forms, surrogates and points past U+10FFFF.
        if ((length == 3 && point < 0x800) || (length == 4 && point < 0x10000) ||
            (point >= 0xD800 && point <= 0xDFFF) || point > 0x10FFFF)
            return false;
        i += length;
    }
    return true;
}

// "9:05" or "09:05"; "24:00" too when it may end a window.
Parsed<int> ParseClock(std::string_view text, bool mayBeMidnightEnd) {
    const std::size_t colon = text.find(':');
    const auto hours = SmallNumber(text.substr(0, colon));
    const auto minutes = colon == std::string_view::npos || text.size() - colon != 3
                             ? std::nullopt
                             : SmallNumber(text.substr(colon + 1));
    if (hours && minutes && colon <= 2) {
        if (*hours < 24 && *minutes < 60) return *hours * 60 + *minutes;
        if (mayBeMidnightEnd && *hours == 24 && *minutes == 0) return 0;
    }
    return Parsed<int>::Fail(Quoted(text) + " is not a time HH:MM from 00:00 to 23:59" +
                             (mayBeMidnightEnd ? " (or 24:00)" : ""));
}

std::optional<int> DayIndex(std::string_view name) {
    for (std::size_t i = 0; i < kDayNames.size(); ++i)
        if (SameName(name, kDayNames[i])) return static_cast<int>(i);
    return std::nullopt;
}

// "Mon-Fri", "Sat,Sun", "Fri-Mon" (a range that passes Sunday goes on with Monday).
Parsed<std::uint8_t> ParseDays(std::string_view text) {
    std::uint8_t mask = 0;
    for (std::string_view item : SplitItems(text)) {
        const std::size_t dash = item.find('-');
        const auto first = DayIndex(Trim(item.substr(0, dash)));
        const auto last =
            dash == std::string_view::npos ? first : DayIndex(Trim(item.substr(dash + 1)));
        if (!first || !last)
            return Parsed<std::uint8_t>::Fail(
                Quoted(item) + " is not a day (Mon Tue Wed Thu Fri Sat Sun) or a range Mon-Fri");
        for (int day = *first;; day = (day + 1) % 7) {
            mask |= static_cast<std::uint8_t>(1 << day);
            if (day == *last) break;
        }
    }
    return mask;
}

struct DateItem {
    int year = 0;  // 0: every year
    int month = 0, day = 0;
};

// "MM-DD" or "YYYY-MM-DD", a date that exists (02-29 does, in some years).
Parsed<DateItem> ParseDate(std::string_view text) {
    auto bad = [&](const std::string& why) { return Parsed<DateItem>::Fail(Quoted(text) + why); };
    DateItem item;
    std::string_view monthDay = text;
    if (text.size() == 10 && text[4] == '-') {
        const auto year = SmallNumber(text.substr(0, 4));
        if (!year) return bad(" is not a date MM-DD or YYYY-MM-DD");
        if (*year < 1970) return bad(": a year from 1970 on");
        item.year = *year;
        monthDay = text.substr(5);
    }
    const auto month = monthDay.size() == 5 && monthDay[2] == '-'
                           ? SmallNumber(monthDay.substr(0, 2))
                           : std::nullopt;
    const auto day = month ? SmallNumber(monthDay.substr(3)) : std::nullopt;
    if (!month || !day) return bad(" is not a date MM-DD or YYYY-MM-DD");
    const bool exists =
        *month >= 1 && *month <= 12 && *day >= 1 &&
        (item.year == 0 ? *day <= kDaysInLeapMonth[*month - 1]
                        : std::chrono::year_month_day(std::chrono::year{item.year} /
                                                      static_cast<unsigned>(*month) /
                                                      static_cast<unsigned>(*day))
                              .ok());
    if (!exists) return bad(": no such date");
    item.month = *month;
    item.day = *day;
    return item;
}

// "12-24", "12-24..12-26", "12-30..01-02" (passes the year's end), "2026-05-01..2026-05-03".
Parsed<std::vector<DateSpan>> ParseDates(std::string_view text) {
    using R = Parsed<std::vector<DateSpan>>;
    std::vector<DateSpan> spans;
    for (std::string_view item : SplitItems(text)) {
        const std::size_t dots = item.find("..");
        const auto first = ParseDate(Trim(item.substr(0, dots)));
        if (!first) return R::Fail(first.error());
        const auto last =
            dots == std::string_view::npos ? first : ParseDate(Trim(item.substr(dots + 2)));
        if (!last) return R::Fail(last.error());
        if ((first->year == 0) != (last->year == 0))
            return R::Fail(Quoted(item) + ": both ends yearly (MM-DD) or both with their year");
        if (first->year != 0 && DayNumber(first->year, first->month, first->day) >
                                    DayNumber(last->year, last->month, last->day))
            return R::Fail(Quoted(item) + " ends before it starts");
        spans.push_back(
            {first->year, first->month, first->day, last->year, last->month, last->day});
    }
    const bool oneOff = spans.front().fromYear != 0;
    if (std::any_of(spans.begin(), spans.end(),
                    [&](const DateSpan& span) { return (span.fromYear != 0) != oneOff; }))
        return R::Fail(
            "mixes yearly dates (MM-DD) with dates of one year (YYYY-MM-DD); give them in two "
            "entries");
    return spans;
}

Parsed<int> ParseSpeed(std::string_view text) {
    const auto speed = SmallNumber(text);
    if (speed && *speed >= kSlowestSpeed && *speed <= kFastestSpeed) return *speed;
    return Parsed<int>::Fail(Quoted(text) + " is not a whole number from " +
                             std::to_string(kSlowestSpeed) + " (slow) to " +
                             std::to_string(kFastestSpeed) + " (fast)");
}

// "127.0.0.1:8266", "signs.example:80", "[::1]:8266".
Parsed<std::pair<std::string, int>> ParseListen(std::string_view text) {
    using R = Parsed<std::pair<std::string, int>>;
    const std::size_t colon = text.rfind(':');
    std::string_view host = colon == std::string_view::npos ? text : text.substr(0, colon);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    else if (host.find_first_of("[]:") != std::string_view::npos)
        host = {};  // an IPv6 address needs its brackets, or the port cannot be told apart
    const int port =
        colon == std::string_view::npos ? 0 : SmallNumber(text.substr(colon + 1)).value_or(0);
    const bool plainHost = !host.empty() && std::none_of(host.begin(), host.end(), [](char c) {
        return static_cast<unsigned char>(c) <= ' ' || c == 0x7F || c == '/';
    });
    if (!plainHost || port < 1 || port > 65535)
        return R::Fail(Quoted(text) + " is not HOST:PORT (127.0.0.1:8266, [::1]:8266)");
    return std::pair{std::string(host), port};
}

// One line the file cannot use, with the line it is on for sorting.
struct Problem {
    int line;
    std::string text;
};

class ScheduleReader {
public:
    ScheduleReader(const std::string& path, const std::vector<SignInfo>& signs,
                   const MessageFileReader& readMessageFile, const MessageCheck& checkMessage)
        : m_path(path), m_signs(signs), m_read(readMessageFile), m_check(checkMessage) {}

    Result<Schedule, std::string> Read(std::string_view bytes);

private:
    std::string Where(int line, std::string_view section = {}, std::string_view key = {}) const {
        std::string where = m_path + ":" + std::to_string(line);
        if (!section.empty()) where += " [" + std::string(section) + "]";
        if (!key.empty()) where += " " + ProfileExcerpt(key);
        return where;
    }
    void Fail(int line, std::string text) { m_problems.push_back({line, std::move(text)}); }

    void ReadService(const ProfileSection& section);
    std::optional<ScheduleEntry> ReadEntry(const ProfileSection& section);
    std::optional<std::string> ReadMessage(const ProfileSection& section, const ProfileEntry& entry,
                                           bool fromFile);
    void CheckOverlaps();

    const std::string& m_path;
    const std::vector<SignInfo>& m_signs;
    const MessageFileReader& m_read;
    const MessageCheck& m_check;
    std::vector<Problem> m_problems;
    Schedule m_schedule;
};

// The keys of a section that are known and given once; the others are errors.
template <std::size_t N, typename Fail>
std::map<std::string, const ProfileEntry*> KnownKeys(const ProfileSection& section,
                                                     const std::array<std::string_view, N>& keys,
                                                     const Fail& fail) {
    std::map<std::string, const ProfileEntry*> known;
    for (const ProfileEntry& entry : section.entries) {
        if (!Contains(keys, entry.key)) {
            fail(entry, "unknown key (known: " + Joined(keys) + ")");
        } else if (const auto first = known.find(entry.key); first != known.end()) {
            fail(entry, "given again (first on line " + std::to_string(first->second->line) + ")");
        } else {
            known.emplace(entry.key, &entry);
        }
    }
    return known;
}

void ScheduleReader::ReadService(const ProfileSection& section) {
    const auto keys = KnownKeys(section, kServiceKeys, [&](const ProfileEntry& e, std::string why) {
        Fail(e.line, Where(e.line, section.name, e.key) + ": " + why);
    });
    if (const auto listen = keys.find("listen"); listen != keys.end()) {
        const ProfileEntry& e = *listen->second;
        if (const auto parsed = ParseListen(e.value)) {
            m_schedule.service.listenHost = parsed->first;
            m_schedule.service.listenPort = parsed->second;
        } else {
            Fail(e.line, Where(e.line, section.name, e.key) + ": " + parsed.error());
        }
    }
    if (const auto daily = keys.find("daily"); daily != keys.end()) {
        const ProfileEntry& e = *daily->second;
        if (const auto parsed = ParseClock(e.value, false))
            m_schedule.service.dailyMinute = *parsed;
        else
            Fail(e.line, Where(e.line, section.name, e.key) + ": " + parsed.error());
    }
}

std::optional<std::string> ScheduleReader::ReadMessage(const ProfileSection& section,
                                                       const ProfileEntry& entry, bool fromFile) {
    const std::string where = Where(entry.line, section.name, entry.key) + ": ";
    std::string message = entry.value;
    if (fromFile) {
        if (entry.value.empty()) {
            Fail(entry.line, where + "names no file");
            return std::nullopt;
        }
        // Relative to the schedule file's folder, as the signs file finds its message files.
        const std::string file =
            (std::filesystem::path(m_path).parent_path() / entry.value).generic_string();
        auto read = m_read
                        ? m_read(file)
                        : Result<std::string, std::string>::Fail("message files are not read here");
        if (!read) {
            Fail(entry.line, where + read.error());
            return std::nullopt;
        }
        message = std::move(read).value();
        // A file's own final line break is not part of the message.
        if (message.ends_with("\r\n"))
            message.resize(message.size() - 2);
        else if (message.ends_with('\n'))
            message.pop_back();
    }
    std::optional<std::string> why;
    if (message.empty())
        why = "the message is empty";
    else if (!IsUtf8(message))
        why = "the message is not UTF-8 text";
    else if (m_check)
        why = m_check(message);
    if (why) {
        Fail(entry.line, where + *why);
        return std::nullopt;
    }
    return message;
}

std::optional<ScheduleEntry> ScheduleReader::ReadEntry(const ProfileSection& section) {
    bool good = true;
    auto fail = [&](int line, std::string_view key, const std::string& why) {
        Fail(line, Where(line, section.name, key) + ": " + why);
        good = false;
    };
    const auto keys = KnownKeys(section, kEntryKeys, [&](const ProfileEntry& e, std::string why) {
        fail(e.line, e.key, why);
    });
    auto given = [&](const char* key) -> const ProfileEntry* {
        const auto found = keys.find(key);
        return found == keys.end() ? nullptr : found->second;
    };

    ScheduleEntry entry;
    entry.name = section.name;
    entry.line = section.line;
    if (const ProfileEntry* e = given("signs")) {
        if (auto signs = ResolveSigns(e->value, m_signs))
            entry.signs = std::move(signs).value();
        else
            fail(e->line, e->key, signs.error());
    } else {
        fail(section.line, "signs", "missing: name the signs the entry holds");
    }

    const ProfileEntry* text = given("message");
    const ProfileEntry* file = given("message-file");
    if (text && file) {
        fail(section.line, {}, "give message or message-file, not both");
    } else if (!text && !file) {
        fail(section.line, "message", "missing: give message or message-file");
    } else if (auto message = ReadMessage(section, text ? *text : *file, file != nullptr)) {
        entry.message = std::move(*message);
    } else {
        good = false;
    }

    if (const ProfileEntry* e = given("speed")) {
        if (const auto speed = ParseSpeed(e->value))
            entry.speed = *speed;
        else
            fail(e->line, e->key, speed.error());
    }
    if (const ProfileEntry* e = given("days")) {
        if (const auto days = ParseDays(e->value))
            entry.days = *days;
        else
            fail(e->line, e->key, days.error());
    }
    const ProfileEntry* from = given("from");
    const ProfileEntry* to = given("to");
    if (from) {
        if (const auto minute = ParseClock(from->value, false))
            entry.from = *minute;
        else
            fail(from->line, from->key, minute.error());
    }
    if (to) {
        if (const auto minute = ParseClock(to->value, true))
            entry.to = *minute;
        else
            fail(to->line, to->key, minute.error());
    }
    if ((from != nullptr) != (to != nullptr)) {
        const ProfileEntry* alone = from ? from : to;
        fail(alone->line, alone->key,
             std::string("given without ") + (from ? "to" : "from") + "; give both or neither");
    } else if (entry.from && entry.to && *entry.from == *entry.to) {
        fail(to->line, to->key,
             "the window ends where it starts; leave out from and to for the "
             "whole day");
    }
    if (const ProfileEntry* e = given("dates")) {
        if (auto dates = ParseDates(e->value)) {
            entry.dates = std::move(dates).value();
            entry.rank = entry.dates.front().fromYear != 0 ? Rank::OneOff : Rank::Yearly;
        } else {
            fail(e->line, e->key, dates.error());
        }
    }
    // An entry that would hold every minute of every day hides the sign's own message for good.
    if (!given("days") && !from && !to && !given("dates"))
        fail(section.line, {}, "give days, from and to, or dates: when the entry holds");
    if (!good) return std::nullopt;
    return entry;
}

// ---- Overlaps: two entries of one rank that could hold one sign at one local minute.

std::string Clock(int minute) {
    char text[24];
    std::snprintf(text, sizeof text, "%02d:%02d", minute / 60 % 24, minute % 60);
    return text;
}

std::string CivilText(long long dayNumber) {
    const auto date = CivilDate(dayNumber);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
    return text;
}

std::string MonthDayText(int index) {
    int month = 0;
    while (index >= kDaysInLeapMonth[month]) index -= kDaysInLeapMonth[month++];
    char text[24];
    std::snprintf(text, sizeof text, "%02d-%02d", month + 1, index + 1);
    return text;
}

int FirstDay(std::uint8_t mask) {
    int day = 0;
    while (!MaskHas(mask, day)) ++day;
    return day;
}

// The minutes of the week (Monday 00:00 first) a weekday entry holds, its spill past Sunday
// midnight on Monday.
std::bitset<kWeekMinutes> WeekMinutes(const ScheduleEntry& entry) {
    std::bitset<kWeekMinutes> minutes;
    const Window window = WindowOf(entry);
    for (int day = 0; day < 7; ++day)
        if (MaskHas(entry.days, day))
            for (int m = window.begin; m < window.end; ++m)
                minutes.set((day * kDayMinutes + m) % kWeekMinutes);
    return minutes;
}

// The month-days a yearly entry starts on.
MonthDaySet YearlyDays(const ScheduleEntry& entry) {
    MonthDaySet days;
    for (const DateSpan& span : entry.dates) {
        const int last = MonthDayIndex(span.toMonth, span.toDay);
        for (int d = MonthDayIndex(span.fromMonth, span.fromDay);; d = (d + 1) % kMonthDays) {
            days.set(static_cast<std::size_t>(d));
            if (d == last) break;
        }
    }
    return days;
}

// The month-days that can follow the given ones: 02-28 is followed by 02-29 or by 03-01.
MonthDaySet FollowingDays(const MonthDaySet& days) {
    static const int kFeb28 = MonthDayIndex(2, 28), kMar1 = MonthDayIndex(3, 1);
    MonthDaySet next;
    for (int d = 0; d < kMonthDays; ++d)
        if (days[static_cast<std::size_t>(d)])
            next.set(static_cast<std::size_t>((d + 1) % kMonthDays));
    if (days[kFeb28]) next.set(kMar1);
    return next;
}

using DayRange = std::pair<long long, long long>;  // day numbers, both included

std::vector<DayRange> OneOffDays(const ScheduleEntry& entry) {
    std::vector<DayRange> ranges;
    for (const DateSpan& span : entry.dates)
        ranges.emplace_back(DayNumber(span.fromYear, span.fromMonth, span.fromDay),
                            DayNumber(span.toYear, span.toMonth, span.toDay));
    return ranges;
}

// The first day an entry of the first ranges starts, on a day of its mask, while one of the
// second starts `shift` days before on a day of its own mask.
std::optional<long long> FirstCommonDay(const std::vector<DayRange>& a, std::uint8_t maskA,
                                        const std::vector<DayRange>& b, std::uint8_t maskB,
                                        int shift) {
    std::optional<long long> first;
    for (const DayRange& x : a)
        for (const DayRange& y : b) {
            const long long low = std::max(x.first, y.first + shift);
            const long long high = std::min(x.second, y.second + shift);
            // A week holds every weekday, so a longer stretch need not be looked at.
            for (long long day = low; day <= std::min(high, low + 6); ++day)
                if (MaskHas(maskA, WeekdayOf(day)) && MaskHas(maskB, WeekdayOf(day - shift))) {
                    if (!first || day < *first) first = day;
                    break;
                }
        }
    return first;
}

// Where two entries of one rank both hold, as the error names it, or nothing when they never do.
// Either entry's window may start the day before the other's and run past midnight into it.
std::optional<std::string> OverlapMoment(const ScheduleEntry& a, const ScheduleEntry& b) {
    if (a.rank == Rank::Weekday) {
        const auto both = WeekMinutes(a) & WeekMinutes(b);
        if (both.none()) return std::nullopt;
        int m = 0;
        while (!both[static_cast<std::size_t>(m)]) ++m;
        return std::string(kDayNames[m / kDayMinutes]) + " " + Clock(m % kDayMinutes);
    }
    const Window wa = WindowOf(a), wb = WindowOf(b);
    // The three ways to meet on one day: both windows started that day, or one started the day
    // before and spills into the other's (both spilling implies both started the day before).
    struct Way {
        int shiftOfB;  // B started that many days before the day they meet
        bool meet;
        int minute;
    };
    const Way ways[] = {
        {0, std::max(wa.begin, wb.begin) < std::min(wa.end, wb.end), std::max(wa.begin, wb.begin)},
        {1, wa.begin < wb.Spill(), wa.begin},
        {-1, wb.begin < wa.Spill(), wb.begin},
    };
    for (const Way& way : ways) {
        if (!way.meet) continue;
        if (a.rank == Rank::Yearly) {
            // Day masks of the days the windows start, seen from the day they meet.
            const std::uint8_t maskA = way.shiftOfB < 0 ? NextDays(a.days) : a.days;
            const std::uint8_t maskB = way.shiftOfB > 0 ? NextDays(b.days) : b.days;
            // Over the years every month-day falls on every weekday, so days and weekdays meet
            // apart.
            MonthDaySet daysA = YearlyDays(a), daysB = YearlyDays(b);
            if (way.shiftOfB > 0) daysB = FollowingDays(daysB);
            if (way.shiftOfB < 0) daysA = FollowingDays(daysA);
            const MonthDaySet both = daysA & daysB;
            if (both.none() || (maskA & maskB) == 0) continue;
            int d = 0;
            while (!both[static_cast<std::size_t>(d)]) ++d;
            std::string when = MonthDayText(d) + " " + Clock(way.minute);
            if ((maskA & maskB) != kEveryDay)
                when += " on a " + std::string(kDayNames[FirstDay(maskA & maskB)]);
            return when;
        }
        // One-off: real days, and the weekday of the day each window starts on.
        const auto daysA = OneOffDays(a), daysB = OneOffDays(b);
        const auto day = way.shiftOfB >= 0
                             ? FirstCommonDay(daysA, a.days, daysB, b.days, way.shiftOfB)
                             : FirstCommonDay(daysB, b.days, daysA, a.days, 1);
        if (day) return CivilText(*day) + " " + Clock(way.minute);
    }
    return std::nullopt;
}

void ScheduleReader::CheckOverlaps() {
    const auto& entries = m_schedule.entries;
    std::vector<std::unordered_set<std::string>> signSets;
    for (const ScheduleEntry& entry : entries)
        signSets.emplace_back(entry.signs.begin(), entry.signs.end());
    for (std::size_t j = 1; j < entries.size(); ++j)
        for (std::size_t i = 0; i < j; ++i) {
            const ScheduleEntry& a = entries[i];
            const ScheduleEntry& b = entries[j];
            if (a.rank != b.rank) continue;
            const auto shared = std::find_if(b.signs.begin(), b.signs.end(), [&](const auto& s) {
                return signSets[i].count(s) != 0;
            });
            if (shared == b.signs.end()) continue;
            if (const auto when = OverlapMoment(a, b))
                Fail(b.line, Where(b.line, b.name) + ": overlaps [" + a.name + "] (line " +
                                 std::to_string(a.line) + ") for sign " + *shared + " at " + *when);
        }
}

Result<Schedule, std::string> ScheduleReader::Read(std::string_view bytes) {
    const ProfileFile profile = ParseProfile(bytes);
    for (const ProfileProblem& problem : profile.problems)
        Fail(problem.line, Where(problem.line) + ": " + problem.text);
    for (const ProfileEntry& entry : profile.loose)
        Fail(entry.line, Where(entry.line, {}, entry.key) + ": before any section");

    std::map<std::string, int> sectionLines;
    for (const ProfileSection& section : profile.sections) {
        if (!section.usable) continue;  // its header is an error already
        if (!IsUtf8(section.name)) {
            Fail(section.line, Where(section.line) + ": the section's name is not UTF-8 text");
            continue;
        }
        if (const auto first = sectionLines.find(section.name); first != sectionLines.end()) {
            Fail(section.line, Where(section.line, section.name) +
                                   ": a second section of that name (the first is on line " +
                                   std::to_string(first->second) + ")");
            continue;
        }
        sectionLines.emplace(section.name, section.line);
        if (section.name == kServiceSection) {
            ReadService(section);
        } else if (section.name == kMqttSection) {
            Section mqtt{section.line, {}};
            for (const ProfileEntry& entry : section.entries)
                mqtt.values.emplace_back(entry.key, entry.value);
            m_schedule.mqtt = std::move(mqtt);
        } else if (auto entry = ReadEntry(section)) {
            m_schedule.entries.push_back(std::move(*entry));
        }
    }
    CheckOverlaps();
    if (m_problems.empty()) return std::move(m_schedule);

    std::stable_sort(m_problems.begin(), m_problems.end(),
                     [](const Problem& a, const Problem& b) { return a.line < b.line; });
    std::string text;
    for (std::size_t i = 0; i < std::min(m_problems.size(), kMostErrors); ++i)
        text += (i ? "\n" : "") + m_problems[i].text;
    if (m_problems.size() > kMostErrors)
        text += "\n" + m_path + ": " + std::to_string(m_problems.size() - kMostErrors) +
                " more lines it cannot use";
    return Result<Schedule, std::string>::Fail(text);
}

}  // namespace

Result<Schedule, std::string> ParseSchedule(std::string_view bytes, const std::string& path,
                                            const std::vector<SignInfo>& signs,
                                            const MessageFileReader& readMessageFile,
                                            const MessageCheck& checkMessage) {
    return ScheduleReader(path, signs, readMessageFile, checkMessage).Read(bytes);
}

std::optional<std::chrono::seconds> ParseDuration(std::string_view text) {
    // A year at most: the service adds the duration to the present moment, and a notice that
    // outlasts that is a mistake more often than a plan.
    constexpr long long kLongest = 366LL * 24 * 3600;
    constexpr std::pair<char, long long> kUnits[] = {
        {'d', 86400}, {'h', 3600}, {'m', 60}, {'s', 1}};
    long long total = 0;
    std::size_t nextUnit = 0;  // units in this order, each once
    while (!text.empty()) {
        std::size_t digits = 0;
        while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
        const auto number = SmallNumber(text.substr(0, digits));
        if (!number || digits == text.size()) return std::nullopt;
        const char unit = static_cast<char>(text[digits] | 0x20);  // either case
        while (nextUnit < std::size(kUnits) && kUnits[nextUnit].first != unit) ++nextUnit;
        if (nextUnit == std::size(kUnits)) return std::nullopt;
        total += *number * kUnits[nextUnit++].second;
        if (total > kLongest) return std::nullopt;
        text.remove_prefix(digits + 1);
    }
    if (total == 0) return std::nullopt;
    return std::chrono::seconds(total);
}

Result<std::vector<std::string>, std::string> ResolveSigns(std::string_view named,
                                                           const std::vector<SignInfo>& signs) {
    using R = Result<std::vector<std::string>, std::string>;
    std::vector<bool> chosen(signs.size(), false);
    std::string unknown;
    auto problem = [&](const std::string& what) {
        unknown += (unknown.empty() ? "" : ", ") + what;
    };
    if (Trim(named).empty()) return R::Fail("names no sign");
    for (std::string_view item : SplitItems(named)) {
        bool found = false;
        if (item.empty()) {
            problem("an empty item");
            continue;
        }
        if (item == "all") {
            std::fill(chosen.begin(), chosen.end(), true);
            continue;
        }
        if (item.starts_with("group:")) {
            const std::string_view group = Trim(item.substr(6));
            for (std::size_t i = 0; i < signs.size(); ++i)
                if (std::find(signs[i].groups.begin(), signs[i].groups.end(), group) !=
                    signs[i].groups.end())
                    chosen[i] = found = true;
            if (!found) problem("no group " + Quoted(group));
            continue;
        }
        for (std::size_t i = 0; i < signs.size(); ++i)
            if (signs[i].name == item) chosen[i] = found = true;
        if (!found) problem("no sign " + Quoted(item));
    }
    if (!unknown.empty()) return R::Fail(unknown);
    std::vector<std::string> names;
    for (std::size_t i = 0; i < signs.size(); ++i)
        if (chosen[i]) names.push_back(signs[i].name);
    return names;
}

}  // namespace meridial::schedule
