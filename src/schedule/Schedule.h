#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/Result.h"

namespace meridial::schedule {

// What outranks what when several things could hold a sign at one moment.
enum class Rank { Own = 0, Weekday = 1, Yearly = 2, OneOff = 3, Notice = 4 };

// Days of the week as a mask: bit 0 is Monday, bit 6 Sunday.
inline constexpr std::uint8_t kEveryDay = 0x7F;

// A span of dates, both ends included. Yearly spans hold month and day only and may pass the
// year's end (12-30..01-02); a one-off span has its years.
struct DateSpan {
    int fromYear = 0;  // 0 in a yearly span
    int fromMonth = 1, fromDay = 1;
    int toYear = 0;
    int toMonth = 1, toDay = 1;
};

// A sign as the schedule sees it: its name and the groups the signs file puts it in.
struct SignInfo {
    std::string name;
    std::vector<std::string> groups;
};

// One section of a schedule file.
struct ScheduleEntry {
    std::string name;                // the section's name
    int line = 0;                    // of its header
    std::vector<std::string> signs;  // the names "signs=" resolves to, in signs-file order
    std::string message;             // UTF-8; a message-file already read
    std::optional<int> speed;
    std::uint8_t days = kEveryDay;
    std::optional<int> from;      // minutes after local midnight; both or neither
    std::optional<int> to;        // before "from" when the window passes midnight
    std::vector<DateSpan> dates;  // empty: every date
    Rank rank = Rank::Weekday;    // OneOff when any span has years, Yearly when dates are given
};

// The [service] section.
struct ServiceOptions {
    std::string listenHost = "127.0.0.1";
    int listenPort = 8266;
    int dailyMinute = 3 * 60;  // the daily clock send, minutes after local midnight
};

// The [mqtt] section's keys as written, for the bridge to check; empty when there is none.
struct Section {
    int line = 0;
    std::vector<std::pair<std::string, std::string>> values;
};

struct Schedule {
    std::vector<ScheduleEntry> entries;  // file order
    ServiceOptions service;
    std::optional<Section> mqtt;
};

// Reads a message file named by an entry (relative to the schedule file's folder), or says why
// it cannot.
using MessageFileReader = std::function<Result<std::string, std::string>(const std::string& path)>;

// Says why a message cannot go to the sign (too long once encoded, a character the code page
// lacks), or nothing when it can.
using MessageCheck = std::function<std::optional<std::string>(const std::string& message)>;

// A schedule file read and checked against the signs it schedules. Every line it cannot use is
// an error "FILE:LINE [SECTION] KEY: why", one a line: an unknown key or section kind, a bad
// day, time or date, a sign or group that does not exist, a message the sign cannot take, an
// entry without signs or message, two entries of one rank that can hold one sign at one moment
// (named with both lines).
Result<Schedule, std::string> ParseSchedule(std::string_view bytes, const std::string& path,
                                            const std::vector<SignInfo>& signs,
                                            const MessageFileReader& readMessageFile,
                                            const MessageCheck& checkMessage);

// "30m", "2h", "90s", "1h30m", "1d": a notice's duration; nothing for anything else or zero.
std::optional<std::chrono::seconds> ParseDuration(std::string_view text);

// "floor1,lobby", "group:floor1", "all": the signs a notice or an entry names, in signs-file
// order; an error names what does not exist.
Result<std::vector<std::string>, std::string> ResolveSigns(std::string_view named,
                                                           const std::vector<SignInfo>& signs);

}  // namespace meridial::schedule
