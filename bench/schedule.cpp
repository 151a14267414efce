// The planner on a 200-sign building for a year: ten groups of twenty signs, weekday windows,
// yearly holidays and a one-off fair, in a zone that changes its offset twice. Prints the time
// ChangesBetween takes over 365 days for every sign, and the time to read and check the file.
//
//   bench/bench-schedule

#include <chrono>
#include <cstdio>
#include <string>

#include "schedule/Planner.h"

using namespace meridial::schedule;
using namespace std::chrono;

namespace {

Instant At(int y, unsigned m, unsigned d, int h = 0) {
    return sys_days{year{y} / m / d} + hours{h};
}

double MsSince(steady_clock::time_point start) {
    return duration<double, std::milli>(steady_clock::now() - start).count();
}

}  // namespace

int main() {
    std::vector<SignInfo> signs;
    for (int i = 0; i < 200; ++i)
        signs.push_back({"s" + std::to_string(i), {"g" + std::to_string(i / 20)}});
    std::string file;
    auto entry = [&](const std::string& name, const std::string& keys) {
        file += "[" + name + "]\nmessage=" + name + "\n" + keys;
    };
    for (int g = 0; g < 10; ++g) {
        const std::string group = "signs=group:g" + std::to_string(g) + "\n";
        entry("open" + std::to_string(g), group + "days=Mon-Fri\nfrom=08:00\nto=18:00\n");
        if (g % 2 == 0)
            entry("evening" + std::to_string(g), group + "days=Mon-Fri\nfrom=18:00\nto=22:30\n");
    }
    entry("weekend", "signs=all\ndays=Sat,Sun\nfrom=10:00\nto=16:00\n");
    entry("newyear", "signs=all\ndates=12-31..01-01\nfrom=20:00\nto=02:00\n");
    entry("xmas", "signs=all\ndates=12-24..12-26\n");
    entry("may", "signs=all\ndates=05-01\n");
    entry("national", "signs=all\ndates=10-03\n");
    entry("fair", "signs=group:g0,group:g1\ndates=2026-06-10..2026-06-12\nfrom=09:00\nto=17:00\n");

    auto start = steady_clock::now();
    const auto schedule = ParseSchedule(file, "bench.ini", signs, {}, {});
    const double parseMs = MsSince(start);
    if (!schedule) {
        std::fprintf(stderr, "%s\n", schedule.error().c_str());
        return 1;
    }
    const ZoneOffsets berlin{3600, {{At(2026, 3, 29, 1), 7200}, {At(2026, 10, 25, 1), 3600}}};
    std::vector<SignPlanInput> inputs;
    for (const SignInfo& sign : signs) {
        SignPlanInput input{sign.name, berlin, "own", {}, {}};
        for (const ScheduleEntry& e : schedule->entries)
            for (const std::string& name : e.signs)
                if (name == sign.name) input.entries.push_back(&e);
        inputs.push_back(std::move(input));
    }
    const std::vector<Notice> notices{
        {"n1", {"s0", "s1", "s2"}, "drill", {}, At(2026, 9, 15, 10), At(2026, 9, 15, 11), 1}};

    std::size_t changes = 0;
    start = steady_clock::now();
    for (const SignPlanInput& input : inputs)
        changes += ChangesBetween(input, notices, At(2026, 1, 1), At(2027, 1, 1)).size();
    const double planMs = MsSince(start);
    std::printf("%zu entries, %zu signs: file read and checked in %.2f ms\n",
                schedule->entries.size(), inputs.size(), parseMs);
    std::printf("365 days planned in %.1f ms in all, %.3f ms per sign, %zu changes\n", planMs,
                planMs / static_cast<double>(inputs.size()), changes);
    return 0;
}
