#include "schedule/Planner.h"

#include <algorithm>

#include "schedule/Calendar.h"

namespace meridial::schedule {

int ZoneOffsets::OffsetAt(Instant at) const {
    const auto after =
        std::upper_bound(changes.begin(), changes.end(), at,
                         [](Instant t, const auto& change) { return t < change.first; });
    return after == changes.begin() ? initialOffset : std::prev(after)->second;
}

std::optional<Instant> ZoneOffsets::NextChangeAfter(Instant at) const {
    const auto after =
        std::upper_bound(changes.begin(), changes.end(), at,
                         [](Instant t, const auto& change) { return t < change.first; });
    if (after == changes.end()) return std::nullopt;
    return after->first;
}

namespace {

constexpr long long kDaySeconds = 86400;

// The first instant after `after` (excluded; included when `orAt`) at which the wall clock shows
// one of the times of day (seconds after local midnight, sorted, not empty), or at which the
// offset changes when `offsetChanges` is set. Each stretch of constant offset is walked on its
// own: a wall time the clock skips does not happen at all, and one it shows twice after going
// back happens twice.
Instant NextWallTime(const ZoneOffsets& zone, Instant after, const std::vector<long long>& times,
                     bool offsetChanges, bool orAt = false) {
    for (;;) {
        const long long offset = zone.OffsetAt(after);
        const auto end = zone.NextChangeAfter(after);
        const long long local = after.time_since_epoch().count() + offset;
        const long long day = FloorDiv(local, kDaySeconds);
        const long long second = local - day * kDaySeconds;
        const auto next = orAt ? std::lower_bound(times.begin(), times.end(), second)
                               : std::upper_bound(times.begin(), times.end(), second);
        const long long wall = next == times.end() ? (day + 1) * kDaySeconds + times.front()
                                                   : day * kDaySeconds + *next;
        const Instant at{std::chrono::seconds(wall - offset)};
        if (!end || at < *end) return at;
        if (offsetChanges) return *end;
        after = *end;
        orAt = true;
    }
}

// A sign's entries and notices made ready to be asked many times.
struct Plan {
    struct Entry {
        const ScheduleEntry* entry;
        Window window;
        std::vector<std::pair<long long, long long>> days;  // one-off, day numbers
        MonthDaySet monthDays;                              // yearly
    };
    const SignPlanInput& sign;
    std::vector<Entry> entries;          // highest rank first, file order within a rank
    std::vector<const Notice*> notices;  // those naming the sign
    std::vector<Instant> noticeBounds;   // their from and until, sorted
    std::vector<long long> times;        // seconds after local midnight a window may turn
};

Plan MakePlan(const SignPlanInput& sign, const std::vector<Notice>& notices) {
    Plan plan{sign, {}, {}, {}, {0}};
    for (const ScheduleEntry* entry : sign.entries) {
        Plan::Entry e{entry, WindowOf(*entry), {}, {}};
        for (const DateSpan& span : entry->dates) {
            if (entry->rank == Rank::OneOff) {
                e.days.emplace_back(DayNumber(span.fromYear, span.fromMonth, span.fromDay),
                                    DayNumber(span.toYear, span.toMonth, span.toDay));
                continue;
            }
            const int last = MonthDayIndex(span.toMonth, span.toDay);
            for (int d = MonthDayIndex(span.fromMonth, span.fromDay);; d = (d + 1) % kMonthDays) {
                e.monthDays.set(static_cast<std::size_t>(d));
                if (d == last) break;
            }
        }
        plan.times.push_back(e.window.begin * 60LL);
        plan.times.push_back(e.window.end % kDayMinutes * 60LL);
        plan.entries.push_back(std::move(e));
    }
    std::stable_sort(plan.entries.begin(), plan.entries.end(),
                     [](const auto& a, const auto& b) { return a.entry->rank > b.entry->rank; });
    std::sort(plan.times.begin(), plan.times.end());
    plan.times.erase(std::unique(plan.times.begin(), plan.times.end()), plan.times.end());
    for (const Notice& notice : notices) {
        if (std::find(notice.signs.begin(), notice.signs.end(), sign.name) == notice.signs.end())
            continue;
        plan.notices.push_back(&notice);
        plan.noticeBounds.push_back(notice.from);
        plan.noticeBounds.push_back(notice.until);
    }
    std::sort(plan.noticeBounds.begin(), plan.noticeBounds.end());
    return plan;
}

// What holds, told apart cheaply: a notice, an entry, or nothing (the sign's own message).
struct Holder {
    const Notice* notice = nullptr;
    const ScheduleEntry* entry = nullptr;
    bool operator==(const Holder&) const = default;
};

// The month-days of the last two local days asked for: a walk asks for the same few days over
// and over, and the calendar conversion is the dearest part of a look.
class MonthDays {
public:
    int Of(long long day) {
        for (const auto& [known, index] : m_known)
            if (known == day) return index;
        m_known[m_next] = {day, MonthDayIndexOf(day)};
        m_next ^= 1;
        return m_known[m_next ^ 1].second;
    }

private:
    std::pair<long long, int> m_known[2] = {{-1LL << 40, 0}, {-1LL << 40, 0}};
    int m_next = 0;
};

// Whether an entry's window may start on that day: its weekday and its dates.
bool StartsOn(const Plan::Entry& e, long long day, MonthDays& monthDays) {
    if (!MaskHas(e.entry->days, WeekdayOf(day))) return false;
    switch (e.entry->rank) {
        case Rank::OneOff:
            return std::any_of(e.days.begin(), e.days.end(),
                               [&](const auto& r) { return day >= r.first && day <= r.second; });
        case Rank::Yearly:
            return e.monthDays[static_cast<std::size_t>(monthDays.Of(day))];
        default:
            return true;
    }
}

Holder HolderAt(const Plan& plan, Instant at, MonthDays& monthDays) {
    Holder holder;
    for (const Notice* notice : plan.notices)
        if (notice->from <= at && at < notice->until &&
            (!holder.notice || notice->order >= holder.notice->order))
            holder.notice = notice;
    if (holder.notice) return holder;

    const long long local = at.time_since_epoch().count() + plan.sign.zone.OffsetAt(at);
    const long long day = FloorDiv(local, kDaySeconds);
    const int minute = static_cast<int>((local - day * kDaySeconds) / 60);
    for (const Plan::Entry& e : plan.entries) {
        // The part before midnight belongs to today's window, the part after to yesterday's.
        const bool holds =
            (minute >= e.window.begin && minute < e.window.end && StartsOn(e, day, monthDays)) ||
            (minute < e.window.Spill() && StartsOn(e, day - 1, monthDays));
        if (holds) {
            holder.entry = e.entry;
            break;
        }
    }
    return holder;
}

Holding HoldingOf(const Plan& plan, const Holder& holder) {
    const SignPlanInput& sign = plan.sign;
    // Without a speed of its own, a message scrolls at the sign's.
    if (holder.notice)
        return {holder.notice->message, holder.notice->speed ? holder.notice->speed : sign.ownSpeed,
                Rank::Notice, "notice " + holder.notice->id};
    if (holder.entry)
        return {holder.entry->message, holder.entry->speed ? holder.entry->speed : sign.ownSpeed,
                holder.entry->rank, "entry " + holder.entry->name};
    return {sign.ownMessage, sign.ownSpeed, Rank::Own, "own"};
}

// Calls onChange(change) for each change in (from, to] until it returns false. Only the moments
// at which something could turn are looked at: local midnights, the entries' window ends, the
// offset changes and the notices' ends.
template <typename OnChange>
void WalkChanges(const Plan& plan, Instant from, Instant to, OnChange&& onChange) {
    MonthDays monthDays;
    Holder holder = HolderAt(plan, from, monthDays);
    Holding holding = HoldingOf(plan, holder);
    for (Instant t = from; t < to;) {
        Instant next = NextWallTime(plan.sign.zone, t, plan.times, true);
        const auto bound = std::upper_bound(plan.noticeBounds.begin(), plan.noticeBounds.end(), t);
        if (bound != plan.noticeBounds.end()) next = std::min(next, *bound);
        if (next > to) return;
        if (const Holder now = HolderAt(plan, next, monthDays); !(now == holder)) {
            holder = now;
            // Two holders may still show the same: two notices of one id and text.
            if (Holding after = HoldingOf(plan, now); !(after == holding)) {
                holding = std::move(after);
                if (!onChange(Change{next, holding})) return;
            }
        }
        t = next;
    }
}

}  // namespace

Holding HoldingAt(const SignPlanInput& sign, const std::vector<Notice>& notices, Instant at) {
    const Plan plan = MakePlan(sign, notices);
    MonthDays monthDays;
    return HoldingOf(plan, HolderAt(plan, at, monthDays));
}

std::optional<Change> NextChange(const SignPlanInput& sign, const std::vector<Notice>& notices,
                                 Instant after, Instant horizon) {
    std::optional<Change> found;
    WalkChanges(MakePlan(sign, notices), after, horizon, [&](Change change) {
        found = std::move(change);
        return false;
    });
    return found;
}

std::vector<Change> ChangesBetween(const SignPlanInput& sign, const std::vector<Notice>& notices,
                                   Instant from, Instant to) {
    std::vector<Change> changes;
    WalkChanges(MakePlan(sign, notices), from, to, [&](Change change) {
        changes.push_back(std::move(change));
        return true;
    });
    return changes;
}

Instant NextClockSend(const SignPlanInput& sign, int dailyMinute, Instant after) {
    using std::chrono::minutes;
    const std::vector<long long> daily{((dailyMinute % kDayMinutes + kDayMinutes) % kDayMinutes) *
                                       60LL};
    Instant next = NextWallTime(sign.zone, after, daily, false);
    // A change of offset that came less than a minute before still has its send to come.
    if (const auto change = sign.zone.NextChangeAfter(after - minutes(1)))
        next = std::min(next, *change + minutes(1));
    return next;
}

std::vector<Event> SimulateEvents(const SignPlanInput& sign, const std::vector<Notice>& notices,
                                  int dailyMinute, Instant from, Instant to) {
    const Plan plan = MakePlan(sign, notices);
    std::vector<Event> events;
    WalkChanges(plan, from, to, [&](Change change) {
        events.push_back({change.at, Event::Change, std::move(change.holding)});
        return true;
    });
    std::vector<Event> clocks;
    MonthDays monthDays;
    for (Instant t = NextClockSend(sign, dailyMinute, from); t <= to;
         t = NextClockSend(sign, dailyMinute, t))
        clocks.push_back({t, Event::Clock, HoldingOf(plan, HolderAt(plan, t, monthDays))});
    std::vector<Event> merged;
    std::merge(events.begin(), events.end(), clocks.begin(), clocks.end(),
               std::back_inserter(merged),
               [](const Event& a, const Event& b) { return a.at < b.at; });
    // A change sent at the moment of a clock send carries the clock with it.
    merged.erase(std::unique(merged.begin(), merged.end(),
                             [](const Event& a, const Event& b) { return a.at == b.at; }),
                 merged.end());
    return merged;
}

std::chrono::seconds RetryDelay(int failures) {
    using namespace std::chrono_literals;
    if (failures <= 1) return 10s;
    if (failures == 2) return 60s;
    if (failures == 3) return 300s;
    return 900s;
}

}  // namespace meridial::schedule
