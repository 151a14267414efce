#include "cli/Fleet.h"

#include <QThread>
#include <algorithm>
#include <memory>
#include <mutex>

#include "link/LineIdentity.h"

namespace meridial::cli {

QVector<QVector<int>> GroupByTarget(const QVector<FleetJob>& jobs) {
    QVector<QVector<int>> groups;
    std::vector<LineIdentity> lines;  // one per group
    for (int i = 0; i < jobs.size(); ++i) {
        LineIdentity line(jobs[i].target);
        const auto at = std::find_if(lines.begin(), lines.end(), [&](const LineIdentity& known) {
            return known.SameLine(line);
        });
        if (at == lines.end()) {
            lines.push_back(std::move(line));
            groups.push_back({i});
        } else {
            groups[at - lines.begin()].push_back(i);
        }
    }
    return groups;
}

QVector<FleetResult> RunFleet(const QVector<FleetJob>& jobs,
                              const std::function<void(const FleetResult&)>& done) {
    QVector<FleetResult> results(jobs.size());
    std::mutex reporting;
    auto runGroup = [&](const QVector<int>& group) {
        for (int index : group) {
            const FleetJob& job = jobs[index];
            // Each job has a link and a waiter of its own, made for its target in the thread of
            // its line: no event loop is needed, the link waits by blocking.
            BlockingWaiter waiter;
            const auto link = MakeSignLink(job.target, waiter);
            FleetResult result{job.name, job.target,
                               RunTransfer(*link, kDefaultPortNumber, job.request)};
            std::lock_guard lock(reporting);
            results[index] = result;
            if (done) done(result);
        }
    };
    // Qt's threads: the serial port watches its device with notifiers that need one.
    std::vector<std::unique_ptr<QThread>> lines;
    for (const QVector<int>& group : GroupByTarget(jobs)) {
        lines.emplace_back(QThread::create(runGroup, group));
        lines.back()->start();
    }
    for (const auto& line : lines) line->wait();
    return results;
}

}  // namespace meridial::cli
