#pragma once

#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "cli/Building.h"
#include "daemon/ServiceControl.h"
#include "daemon/SignState.h"
#include "link/Waiter.h"
#include "message/TransferSequence.h"

namespace meridial::daemon {

// What the service does: it keeps each sign holding what the plan says holds it now, sends each
// sign's clock again after every change of its zone's offset and once a day, retries what failed,
// and remembers what every sign was sent. All of it on the thread that made it; only the
// Transfers themselves run on threads of their own, one per line at a time.
class Service final : public QObject, public ServiceControl {
public:
    Service(std::shared_ptr<const Building> building, QString statePath, ServiceState state,
            QObject* parent = nullptr);
    ~Service() override;

    // Sends every sign whose record does not show it holding its planned message, then sleeps
    // until the next thing to do.
    void Start();

    // Puts a newly read building in force. Signs it plans differently for are sent at once.
    void Reload(std::shared_ptr<const Building> building);

    // Starts nothing more; `done` runs once the Transfers under way have ended (each is aborted
    // after graceMs) and the state is written.
    void Stop(int graceMs, std::function<void()> done);

    const Building& CurrentBuilding() const { return *m_building; }

    // ServiceControl
    QJsonArray Signs() const override;
    std::optional<QJsonObject> Sign(const QString& name) const override;
    QJsonObject Plan(int hours) const override;
    Result<QString, QString> AddNotice(const NoticeRequest& request) override;
    QJsonArray Notices() const override;
    bool CancelNotice(const QString& id) override;
    QJsonObject SyncNow() override;
    QString Metrics() const override;
    std::optional<Picture> SignPicture(const QString& name, const QString& format) const override;
    std::optional<QString> CheckMessage(const QString& message) const override;

    // Called with a sign's name whenever what the API tells of it may have changed: a Transfer
    // ended, a notice began or ended, the plan changed. Several may listen.
    void OnSignChanged(std::function<void(const QString& name)> listener);

private:
    struct Line;
    struct Planned;

    QDateTime Now() const;
    void Replan(int index);
    void ReplanAll();
    // The notices of these signs changed: each is planned again and sent what now holds it.
    void Replanned(const std::vector<std::string>& names, const QString& kind);
    void Enqueue(int index, const QString& kind);
    void Kick(Line& line);
    void Finished(Line* line, QString name, QString kind, schedule::Holding holding,
                  Shown shown, TransferOutcome outcome);
    void Record(const QString& name, const QString& kind, const schedule::Holding& holding,
                const Shown& shown, const TransferOutcome& outcome);
    void Tick();
    void Arm();
    void DropEndedNotices();
    void SendWhatIsNotThere(const QString& kind);
    void Save();
    void Changed(const QString& name);
    Line& LineFor(const LinkTarget& target);
    QJsonObject SignJson(int index) const;

    std::shared_ptr<const Building> m_building;
    QString m_statePath;
    ServiceState m_state;
    std::vector<Planned> m_planned;  // one per sign of the building
    std::vector<std::unique_ptr<Line>> m_lines;
    QTimer m_timer;
    bool m_stopping = false;
    std::function<void()> m_stopped;
    std::vector<std::function<void(const QString&)>> m_listeners;
};

}  // namespace meridial::daemon
