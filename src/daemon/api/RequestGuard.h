#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QTcpServer>
#include <memory>

namespace meridial::daemon {

// The bearer token and the slowdown of a peer that keeps giving a wrong one. Shared by every
// listening socket of one API.
class TokenGate {
public:
    static constexpr int kFirstDelayMs = 100;
    static constexpr int kMaxDelayMs = 5000;
    // A peer quiet this long starts again from the first delay.
    static constexpr qint64 kForgetMs = 5 * 60 * 1000;

    explicit TokenGate(QByteArray token);

    // Whether an Authorization value carries the token. The comparison takes the same time
    // whatever the value, so it tells nothing of how much of the token a guess got right.
    bool Accepts(const QByteArray& authorization) const;
    // How long to hold back the answer to this peer's latest wrong token: doubles with each
    // failure in a row.
    int Failed(const QHostAddress& peer);
    void Succeeded(const QHostAddress& peer);

private:
    struct Failures {
        int count = 0;
        qint64 lastMs = 0;
    };

    QByteArray m_digest;  // of the token; empty when there is no token, so nothing matches
    QHash<QHostAddress, Failures> m_failures;
    QElapsedTimer m_clock;
};

// The TCP side of the API: every connection passes through here before Qt's HTTP server reads
// it. Qt 6.4 reads a whole request into memory before a handler sees it, so the limits are
// enforced on the raw bytes: a header block over 16 KiB gets 431, a body announced over 64 KiB
// or sent in chunks gets 413, both at once and before the body is read. A wrong token gets 401
// after the peer's delay, answered by a timer so the event loop keeps serving others.
// A refused connection is answered here and closed; Qt's server never sees its bytes.
class RequestGuard final : public QTcpServer {
public:
    static constexpr qint64 kMaxHeaderBytes = 16 * 1024;
    static constexpr qint64 kMaxBodyBytes = 64 * 1024;
    // After a refusal, what the client still sends is read and dropped for at most this long,
    // so that closing with unread data does not reset the connection before the client has
    // read the answer.
    static constexpr int kLingerMs = 5000;

    RequestGuard(std::shared_ptr<TokenGate> gate, QObject* parent = nullptr);

protected:
    void incomingConnection(qintptr socketDescriptor) override;

private:
    std::shared_ptr<TokenGate> m_gate;
};

}  // namespace meridial::daemon
