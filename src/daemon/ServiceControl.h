#pragma once

#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <optional>

#include "link/Result.h"

namespace meridial::daemon {

// A notice as a client asks for it, before the service checks it against its signs.
struct NoticeRequest {
    QString signs;    // "lobby", "lobby,hall", "group:floor1", "all"
    QString message;  // UTF-8 text as typed
    std::optional<qint64> forSeconds;
    QDateTime until;  // valid when given instead of forSeconds
};

// A picture of a sign, ready to send.
struct Picture {
    QByteArray contentType;  // "image/svg+xml", "image/png"
    QByteArray bytes;
};

// What the HTTP API (and anything else that drives the service) may ask of it. Called on the
// service's own thread; every answer is ready at once.
class ServiceControl {
public:
    virtual ~ServiceControl() = default;

    // [{"name", "groups": [...], "port", "state": {...}}, ...] in signs-file order.
    virtual QJsonArray Signs() const = 0;
    virtual std::optional<QJsonObject> Sign(const QString& name) const = 0;
    // {"from", "to", "signs": [{"name", "changes": [{"at", "message", "source"}, ...]}, ...]}
    virtual QJsonObject Plan(int hours) const = 0;
    // The new notice's id, or why it cannot be (a sign that does not exist, a message the sign
    // cannot take, an end in the past); a refused notice changes nothing.
    virtual Result<QString, QString> AddNotice(const NoticeRequest& request) = 0;
    // [{"id", "signs": [...], "message", "from", "until"}, ...]
    virtual QJsonArray Notices() const = 0;
    // False when there is no notice of that id.
    virtual bool CancelNotice(const QString& id) = 0;
    // Queues a full Transfer to every sign; {"queued": N}.
    virtual QJsonObject SyncNow() = 0;
    // The Prometheus text for /metrics.
    virtual QString Metrics() const = 0;
    // What the sign shows now, drawn from the frames it last acknowledged; "svg" or "png".
    // Nothing when there is no sign of that name.
    virtual std::optional<Picture> SignPicture(const QString& name, const QString& format) const = 0;
    // Why no sign could take the message (empty, too long, a character the code page lacks),
    // or nothing when every sign can: the same check a notice gets.
    virtual std::optional<QString> CheckMessage(const QString& message) const = 0;
};

}  // namespace meridial::daemon
