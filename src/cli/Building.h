#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <QTimeZone>
#include <memory>
#include <optional>
#include <vector>

#include "cli/SignsFile.h"
#include "link/LinkTarget.h"
#include "link/PortSettings.h"
#include "link/Result.h"
#include "schedule/Planner.h"
#include "schedule/Schedule.h"

namespace meridial {

// One sign of the building as the service keeps it.
struct BuildingSign {
    cli::NamedSign sign;
    QTimeZone zone;  // its "tz", the PC's zone when it has none
    QString ownMessage;
    std::optional<int> ownSpeed;
    LinkTarget target;
};

// The signs file and the schedule read and checked together: everything the service plans and
// sends by, fixed until the files are read again.
struct Building {
    QString signsPath;
    QString schedulePath;  // empty when there is no schedule file
    std::vector<BuildingSign> signs;
    schedule::Schedule schedule;
    std::shared_ptr<const PortSettings> settings;  // its code page encodes every message

    int IndexOf(const QString& name) const;  // -1 when none
    std::vector<schedule::SignInfo> SignInfos() const;
};

// The schedule beside a signs file: schedule.ini in its folder.
QString DefaultSchedulePath(const QString& signsPath);

// --signs as given (else the usual places) and --schedule (else beside the signs file, where a
// missing file means no schedule). Every error of both files, one a line.
Result<std::shared_ptr<const Building>, QString> LoadBuilding(const QString& signsGiven,
                                                              const QString& scheduleGiven);

// Why the sign cannot take the message, or nothing: an empty message, a character the code page
// lacks, more than a message holds.
std::optional<QString> MessageRefusal(const PortSettings& settings, const QString& message);

// The zone's offsets from a day before `around` until 400 days after it.
schedule::ZoneOffsets OffsetsAround(const QTimeZone& zone, const QDateTime& around);

// The planner's view of one sign; it refers into the building, which must outlive it.
schedule::SignPlanInput PlanInputFor(const Building& building, int index,
                                     const QDateTime& around);

// What each sign shows from `from` on and each change over the hours after it:
// {"from", "to", "signs": [{"name", "changes": [{"at", "message", "source"}, ...]}, ...]}, the
// first change of each sign being what holds it at `from`. The service's plan and
// `meridial-cli plan --offline` alike.
QJsonObject PlanJson(const Building& building, const std::vector<schedule::Notice>& notices,
                     const QDateTime& from, int hours);

schedule::Instant ToInstant(const QDateTime& moment);
QDateTime FromInstant(schedule::Instant instant);
// "2026-12-09T07:00:00Z"
QString IsoText(schedule::Instant instant);

}  // namespace meridial
