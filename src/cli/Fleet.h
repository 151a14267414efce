#pragma once

#include <QString>
#include <QVector>
#include <functional>

#include "link/LinkFactory.h"
#include "message/TransferSequence.h"

namespace meridial::cli {

// One sign's Transfer in a run over many: where it goes and what it sends, all built before the
// run starts.
struct FleetJob {
    QString name;
    LinkTarget target;  // resolved; signs whose targets reach one line share it
    TransferRequest request;
};

struct FleetResult {
    QString name;
    LinkTarget target;
    TransferOutcome outcome;
};

// Sends every job: jobs on different targets at the same time, jobs sharing a target (a
// multi-drop line) one after another in the order given. `done` is called once per job as it
// ends, never from two threads at once; the results come back in job order.
QVector<FleetResult> RunFleet(const QVector<FleetJob>& jobs,
                              const std::function<void(const FleetResult&)>& done = {});

// Jobs grouped by the line their targets reach (two spellings of one device or one device
// server's port are one line), each group in job order; the groups in order of their first job.
QVector<QVector<int>> GroupByTarget(const QVector<FleetJob>& jobs);

}  // namespace meridial::cli
