#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <memory>

#include "daemon/ServiceControl.h"
#include "link/Result.h"

class QHttpServer;
class QHttpServerRequest;
class QHttpServerResponse;

namespace meridial::daemon {

class TokenGate;

// Whether a request line's method and target ask for one of the web page's files, which are
// served without a token: exactly GET of "/", "/app.js" or "/style.css", nothing else.
bool IsPublicPageRequest(const QByteArray& method, const QByteArray& target);

// The service's HTTP API: JSON over ServiceControl, every request with the bearer token.
// Lives on the service's thread; each answer is computed at once.
class HttpApi : public QObject {
    Q_OBJECT

public:
    HttpApi(ServiceControl& control, QByteArray token, QObject* parent = nullptr);
    ~HttpApi() override;

    // Port 0 takes any free port. Gives the port bound, or "cannot listen on HOST:PORT: why".
    // May be called again to listen on more addresses.
    Result<quint16, QString> Listen(const QHostAddress& address, quint16 port);

private:
    QHttpServerResponse Answer(const QHttpServerRequest& request);
    QHttpServerResponse Plan(const QHttpServerRequest& request);
    QHttpServerResponse AddNotice(const QHttpServerRequest& request);
    QHttpServerResponse Check(const QHttpServerRequest& request);

    ServiceControl& m_control;
    std::shared_ptr<TokenGate> m_gate;
    QHttpServer* m_server;
};

}  // namespace meridial::daemon
