#include "cli/Fleet.h"

#include <QThread>
#include <memory>
#include <mutex>

namespace meridial::cli {

QVector<QVector<int>> GroupByTarget(const QVector<FleetJob>& jobs) {
    QVector<QVector<int>> groups;
    QVector<LinkTarget> targets;
    for (int i = 0; i < jobs.size(); ++i) {
        const qsizetype at = targets.indexOf(jobs[i].target);
        if (at < 0) {
            targets.push_back(jobs[i].target);
            groups.push_back({i});
        } else {
            groups[at].push_back(i);
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
            // Each job has a link of its own, made for its target in the thread of its line: no
            // event loop is needed, the link waits by blocking.
            const auto link = MakeSignLink(job.target, WaitMode::Blocking);
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
