#pragma once

#include <QJsonObject>
#include <QString>
#include <map>
#include <optional>
#include <vector>

#include "link/Result.h"
#include "schedule/Planner.h"

namespace meridial::daemon {

// What a sign was last sent and acknowledged.
struct Shown {
    QString message;
    int speed = 0;
    QString source;  // "own", "entry NAME", "notice ID"
    // The frames as sent, in hex, and the line they went to: what the sign holds is decoded
    // from them.
    QString clockFrame, zoneFrame, messageFrame;
    QString line;
    schedule::Instant sentAt;

    // Equal when the sign holds exactly what would be sent again, its clock aside.
    QString Content() const { return zoneFrame + u'|' + messageFrame + u'|' + line; }
};

struct Attempt {
    schedule::Instant at;
    QString kind;     // "start", "change", "clock", "retry", "sync", "notice", "reload"
    QString outcome;  // "acknowledged", "not acknowledged", "open failed", "build failed"
    QString reason;   // empty when acknowledged
};

// One sign's record: kept across restarts in the state file.
struct SignState {
    std::optional<Shown> shown;
    std::optional<Attempt> lastAttempt;
    std::optional<schedule::Instant> failingSince;
    int failures = 0;  // in a row; 0 once acknowledged
    long long failuresTotal = 0;
    std::optional<schedule::Instant> lastAcknowledged;
};

// The service's whole memory: each sign's record and the notices in force.
struct ServiceState {
    std::map<QString, SignState> signs;
    std::vector<schedule::Notice> notices;
    long long nextNotice = 1;
};

QJsonObject ToJson(const SignState& state);
QJsonObject ToJson(const schedule::Notice& notice);

// The state file: $STATE_DIRECTORY/state.json. A missing file is an empty state; a file that
// cannot be read as one is an error (the caller keeps it aside, as it may be all that is known).
Result<ServiceState, QString> ReadStateFile(const QString& path);

// Written to a new file and renamed over the old one, so a crash leaves the old or the new.
Result<bool, QString> WriteStateFile(const QString& path, const ServiceState& state);

}  // namespace meridial::daemon
