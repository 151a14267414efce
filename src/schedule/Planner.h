#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "schedule/Schedule.h"

namespace meridial::schedule {

using Instant = std::chrono::sys_seconds;  // UTC

// A zone's offsets from UTC and the moments they change, enough to place local wall times. Made
// from the tz database by the service; plain values here.
struct ZoneOffsets {
    int initialOffset = 0;  // seconds east of UTC before the first change (or always)
    std::vector<std::pair<Instant, int>> changes;  // from then on, that offset; sorted

    int OffsetAt(Instant at) const;
    // The first change strictly after the moment.
    std::optional<Instant> NextChangeAfter(Instant at) const;
};

// An urgent notice: holds its signs from `from` until `until` (excluded). Of two notices on one
// sign, the one added later (higher order) holds.
struct Notice {
    std::string id;
    std::vector<std::string> signs;
    std::string message;
    std::optional<int> speed;
    Instant from;
    Instant until;
    long long order = 0;
};

// One sign as the planner takes it.
struct SignPlanInput {
    std::string name;
    ZoneOffsets zone;
    std::string ownMessage;  // the signs file's message
    std::optional<int> ownSpeed;
    std::vector<const ScheduleEntry*> entries;  // those naming the sign; they outlive the input
};

// What holds a sign: the message, its speed, and what put it there.
struct Holding {
    std::string message;
    std::optional<int> speed;
    Rank rank = Rank::Own;
    std::string source;  // "own", "entry NAME", "notice ID"

    bool operator==(const Holding&) const = default;
};

Holding HoldingAt(const SignPlanInput& sign, const std::vector<Notice>& notices, Instant at);

struct Change {
    Instant at;
    Holding holding;
    bool operator==(const Change&) const = default;
};

// The first moment after `after` (excluded) and not later than `horizon` at which something else
// holds the sign, with what holds it then. Minute resolution: changes fall on whole local
// minutes, a notice's end on its own second.
std::optional<Change> NextChange(const SignPlanInput& sign, const std::vector<Notice>& notices,
                                 Instant after, Instant horizon);

// Every change in (from, to].
std::vector<Change> ChangesBetween(const SignPlanInput& sign, const std::vector<Notice>& notices,
                                   Instant from, Instant to);

// The next moment after `after` (excluded) the sign's clock is sent again on its own: one minute
// after each change of the zone's offset, and every day at dailyMinute local time.
Instant NextClockSend(const SignPlanInput& sign, int dailyMinute, Instant after);

// A Transfer the service makes to a sign: a Change when something else holds it, a Clock when
// its clock is sent again on its own (with what holds it then, as every Transfer sends the
// message too).
struct Event {
    Instant at;
    enum Kind { Change, Clock } kind = Change;
    Holding holding;
    bool operator==(const Event&) const = default;
};

// The Transfers of (from, to] in time order; a clock send at the moment of a change is that
// change's Transfer.
std::vector<Event> SimulateEvents(const SignPlanInput& sign, const std::vector<Notice>& notices,
                                  int dailyMinute, Instant from, Instant to);

// After a failed Transfer, the wait before the next try: 10 s, 1 min, 5 min, then 15 min.
// failures counts the failed tries so far (1 after the first).
std::chrono::seconds RetryDelay(int failures);

}  // namespace meridial::schedule
