#include "daemon/api/HttpApi.h"

#include <QHttpServer>
#include <QHttpServerRequest>
#include <QHttpServerResponse>
#include <QJsonDocument>
#include <QUrl>
#include <QUrlQuery>
#include <algorithm>

#include "daemon/api/RequestGuard.h"
#include "schedule/Schedule.h"

namespace meridial::daemon {

namespace {

using Method = QHttpServerRequest::Method;
using Status = QHttpServerResponse::StatusCode;

QHttpServerResponse Error(Status status, const QString& why) {
    return QHttpServerResponse(QJsonObject{{QStringLiteral("error"), why}}, status);
}

QHttpServerResponse NotFound() { return Error(Status::NotFound, QStringLiteral("no such path")); }

QHttpServerResponse NotAllowed(const char* allow) {
    QHttpServerResponse response = Error(
        Status::MethodNotAllowed, QStringLiteral("this path takes %1").arg(QLatin1String(allow)));
    response.addHeader(QByteArrayLiteral("Allow"), QByteArray(allow));
    return response;
}

// The path's segments, each percent-decoded on its own so that an encoded "/" stays inside a
// name. Empty when the path has an empty segment ("//", a trailing "/").
QStringList Segments(const QUrl& url) {
    const QByteArray path = url.path(QUrl::FullyEncoded).toUtf8();
    if (!path.startsWith('/')) return {};
    QStringList segments;
    for (const QByteArray& piece : path.mid(1).split('/')) {
        if (piece.isEmpty()) return {};
        segments << QUrl::fromPercentEncoding(piece);
    }
    return segments;
}

bool IsDigits(const QString& text) {
    return !text.isEmpty() &&
           std::all_of(text.begin(), text.end(), [](QChar c) { return c >= '0' && c <= '9'; });
}

}  // namespace

HttpApi::HttpApi(ServiceControl& control, QByteArray token, QObject* parent)
    : QObject(parent),
      m_control(control),
      m_gate(std::make_shared<TokenGate>(std::move(token))),
      m_server(new QHttpServer(this)) {
    // Every request is answered here: the paths are matched on their raw bytes, which lets a
    // name hold any character and tells a wrong method (405) from an unknown path (404).
    m_server->setMissingHandler(
        [this](const QHttpServerRequest& request, QHttpServerResponder&& responder) {
            Answer(request).write(std::move(responder));
        });
}

HttpApi::~HttpApi() = default;

Result<quint16, QString> HttpApi::Listen(const QHostAddress& address, quint16 port) {
    auto* guard = new RequestGuard(m_gate, this);
    if (!guard->listen(address, port)) {
        QString why;
        switch (guard->serverError()) {
            case QAbstractSocket::AddressInUseError:
                why = QStringLiteral("address in use");
                break;
            case QAbstractSocket::SocketAccessError:
                why = QStringLiteral("permission denied");
                break;
            case QAbstractSocket::SocketAddressNotAvailableError:
                why = QStringLiteral("no such address on this machine");
                break;
            default:
                why = guard->errorString();
        }
        delete guard;
        const QString host = address.protocol() == QAbstractSocket::IPv6Protocol
                                 ? QStringLiteral("[%1]").arg(address.toString())
                                 : address.toString();
        return Result<quint16, QString>::Fail(
            QStringLiteral("cannot listen on %1:%2: %3").arg(host).arg(port).arg(why));
    }
    m_server->bind(guard);
    return guard->serverPort();
}

QHttpServerResponse HttpApi::Answer(const QHttpServerRequest& request) {
    // The guard has checked the token already; this holds should a request ever reach the
    // server some other way.
    if (!m_gate->Accepts(request.value(QByteArrayLiteral("authorization")))) {
        QHttpServerResponse response =
            Error(Status::Unauthorized, QStringLiteral("a valid bearer token is needed"));
        response.addHeader(QByteArrayLiteral("WWW-Authenticate"), QByteArrayLiteral("Bearer"));
        return response;
    }
    const QStringList path = Segments(request.url());
    const Method method = request.method();
    if (path == QStringList{QStringLiteral("metrics")}) {
        if (method != Method::Get) return NotAllowed("GET");
        return QHttpServerResponse(QByteArrayLiteral("text/plain; version=0.0.4"),
                                   m_control.Metrics().toUtf8());
    }
    // /api/signs/NAME/picture.svg and .png: drawn anew on each request, so never cached.
    if (path.size() == 4 && path[0] == QLatin1String("api") && path[1] == QLatin1String("signs")) {
        const QString format = path[3] == QLatin1String("picture.svg")   ? QStringLiteral("svg")
                               : path[3] == QLatin1String("picture.png") ? QStringLiteral("png")
                                                                         : QString();
        if (format.isEmpty()) return NotFound();
        if (method != Method::Get) return NotAllowed("GET");
        const std::optional<Picture> picture = m_control.SignPicture(path[2], format);
        if (!picture)
            return Error(Status::NotFound, QStringLiteral("no sign named \"%1\"").arg(path[2]));
        QHttpServerResponse response(picture->contentType, picture->bytes);
        response.addHeader(QByteArrayLiteral("Cache-Control"), QByteArrayLiteral("no-store"));
        return response;
    }
    if (path.size() < 2 || path.size() > 3 || path[0] != QLatin1String("api")) return NotFound();
    const QString& what = path[1];
    const bool item = path.size() == 3;
    if (what == QLatin1String("signs")) {
        if (method != Method::Get) return NotAllowed("GET");
        if (!item) return QJsonObject{{QStringLiteral("signs"), m_control.Signs()}};
        const std::optional<QJsonObject> sign = m_control.Sign(path[2]);
        if (!sign)
            return Error(Status::NotFound, QStringLiteral("no sign named \"%1\"").arg(path[2]));
        return *sign;
    }
    if (what == QLatin1String("notices") && !item) {
        if (method == Method::Get)
            return QJsonObject{{QStringLiteral("notices"), m_control.Notices()}};
        if (method == Method::Post) return AddNotice(request);
        return NotAllowed("GET, POST");
    }
    if (what == QLatin1String("notices")) {
        if (method != Method::Delete) return NotAllowed("DELETE");
        if (!m_control.CancelNotice(path[2])) {
            return Error(Status::NotFound, QStringLiteral("no notice with id \"%1\"").arg(path[2]));
        }
        return QHttpServerResponse(Status::NoContent);
    }
    if (item) return NotFound();
    if (what == QLatin1String("plan")) {
        if (method != Method::Get) return NotAllowed("GET");
        return Plan(request);
    }
    if (what == QLatin1String("sync")) {
        if (method != Method::Post) return NotAllowed("POST");
        return QHttpServerResponse(m_control.SyncNow(), Status::Accepted);
    }
    return NotFound();
}

QHttpServerResponse HttpApi::Plan(const QHttpServerRequest& request) {
    const QStringList given =
        request.query().allQueryItemValues(QStringLiteral("hours"), QUrl::FullyDecoded);
    int hours = 24;
    if (given.size() > 1) return Error(Status::BadRequest, QStringLiteral("give hours once"));
    if (given.size() == 1) {
        hours = IsDigits(given[0]) && given[0].size() <= 3 ? given[0].toInt() : 0;
        if (hours < 1 || hours > 168) {
            return Error(Status::BadRequest,
                         QStringLiteral("hours must be a whole number from 1 to 168, not \"%1\"")
                             .arg(given[0]));
        }
    }
    return m_control.Plan(hours);
}

QHttpServerResponse HttpApi::AddNotice(const QHttpServerRequest& request) {
    const auto bad = [](const QString& why) { return Error(Status::BadRequest, why); };
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(request.body(), &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        return bad(QStringLiteral("the body is not JSON: %1").arg(parseError.errorString()));
    }
    if (!document.isObject()) return bad(QStringLiteral("the body must be a JSON object"));
    const QJsonObject body = document.object();
    const QStringList known = {QStringLiteral("signs"), QStringLiteral("message"),
                               QStringLiteral("for"), QStringLiteral("until")};
    for (const QString& key : body.keys()) {
        if (!known.contains(key)) return bad(QStringLiteral("unknown field \"%1\"").arg(key));
    }
    for (const QString& key : known) {
        if (body.contains(key) && !body[key].isString()) {
            return bad(QStringLiteral("\"%1\" must be a string").arg(key));
        }
    }
    for (const QString& key : {known[0], known[1]}) {
        if (!body.contains(key)) return bad(QStringLiteral("\"%1\" is missing").arg(key));
    }
    const bool hasFor = body.contains(known[2]);
    if (hasFor == body.contains(known[3])) {
        return bad(QStringLiteral("give one of \"for\" and \"until\""));
    }

    NoticeRequest notice;
    notice.signs = body[known[0]].toString();
    notice.message = body[known[1]].toString();
    if (hasFor) {
        const QString text = body[known[2]].toString();
        const auto duration = schedule::ParseDuration(text.toStdString());
        if (!duration) {
            return bad(
                QStringLiteral("\"for\" is not a duration like 30m or 2h: \"%1\"").arg(text));
        }
        notice.forSeconds = duration->count();
    } else {
        // A time without an offset is the service's local time, which is how Qt reads it.
        const QString text = body[known[3]].toString();
        notice.until = QDateTime::fromString(text, Qt::ISODate);
        if (!text.contains(QLatin1Char('T')) || !notice.until.isValid()) {
            return bad(
                QStringLiteral("\"until\" is not a time like 2026-12-24T17:00: \"%1\"").arg(text));
        }
    }
    const Result<QString, QString> added = m_control.AddNotice(notice);
    if (!added) return bad(added.error());
    QHttpServerResponse response(QJsonObject{{QStringLiteral("id"), added.value()}},
                                 Status::Created);
    response.addHeader(QByteArrayLiteral("Location"),
                       "/api/notices/" + QUrl::toPercentEncoding(added.value()));
    return response;
}

}  // namespace meridial::daemon
