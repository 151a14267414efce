#include "daemon/api/RequestGuard.h"

#include "daemon/api/HttpApi.h"

#include <QCryptographicHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>
#include <optional>

#ifdef Q_OS_UNIX
#include <sys/socket.h>
#endif

namespace meridial::daemon {

namespace {

QByteArray Digest(const QByteArray& bytes) {
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
}

// One connection's requests as they pass: where each header block ends and how much body
// follows it, so that every request of a kept-alive connection is checked, not only the first.
class ConnectionGuard final : public QObject {
public:
    ConnectionGuard(QTcpSocket* socket, std::shared_ptr<TokenGate> gate)
        : QObject(socket), m_socket(socket), m_gate(std::move(gate)) {}

    // Runs before Qt's server reads: peeks what has arrived since the last call (the server
    // reads everything on each readyRead) and refuses the request when it must.
    void Inspect() {
        if (m_refused) return;
        const QByteArray fresh = m_socket->peek(m_socket->bytesAvailable());
        qsizetype at = 0;
        while (at < fresh.size() && !m_refused) {
            if (m_bodyLeft > 0) {
                const qsizetype take = qMin<qint64>(m_bodyLeft, fresh.size() - at);
                m_bodyLeft -= take;
                at += take;
                continue;
            }
            at = TakeHead(fresh, at);
        }
    }

private:
    // Adds bytes of a header block; returns where the block ended in `fresh`, or its end when
    // the block is not complete yet.
    qsizetype TakeHead(const QByteArray& fresh, qsizetype at) {
        // Blank lines between requests are allowed and belong to no request.
        while (m_head.isEmpty() && at < fresh.size() && (fresh[at] == '\r' || fresh[at] == '\n'))
            ++at;
        const qsizetype searchFrom = qMax<qsizetype>(0, m_head.size() - 2);
        const qsizetype room = kHeadCap - m_head.size();
        const qsizetype taken = qMin<qsizetype>(room, fresh.size() - at);
        m_head.append(fresh.constData() + at, taken);
        const qsizetype end = HeadEnd(searchFrom);
        if (end < 0) {
            if (m_head.size() > RequestGuard::kMaxHeaderBytes) {
                Refuse(431, "the request's headers are larger than 16 KiB");
            }
            return at + taken;
        }
        const qsizetype used = end - (m_head.size() - taken);
        m_head.truncate(end);
        if (m_head.size() > RequestGuard::kMaxHeaderBytes) {
            Refuse(431, "the request's headers are larger than 16 KiB");
        } else {
            Check(m_head);
        }
        m_head.clear();
        return at + used;
    }

    // The index just past the empty line that ends the header block (LF LF or LF CR LF), or -1.
    qsizetype HeadEnd(qsizetype from) const {
        for (qsizetype i = from; i < m_head.size(); ++i) {
            if (m_head[i] != '\n') continue;
            if (i + 1 < m_head.size() && m_head[i + 1] == '\n') return i + 2;
            if (i + 2 < m_head.size() && m_head[i + 1] == '\r' && m_head[i + 2] == '\n')
                return i + 3;
        }
        return -1;
    }

    void Check(const QByteArray& head) {
        const QList<QByteArray> lines = head.split('\n');
        std::optional<qint64> length;
        QByteArray authorization;
        int authorizations = 0;
        // The first line is the request line; the block ends with one or two empty pieces.
        for (qsizetype i = 1; i < lines.size(); ++i) {
            QByteArray line = lines[i];
            if (line.endsWith('\r')) line.chop(1);
            if (line.isEmpty()) continue;
            // Folded or malformed lines could be read differently by Qt's parser, which would
            // let a request slip past these checks; they are refused instead.
            const qsizetype colon = line.indexOf(':');
            if (line[0] == ' ' || line[0] == '\t' || colon <= 0 || line.left(colon).contains(' ') ||
                line.left(colon).contains('\t')) {
                return Refuse(400, "a header line is malformed");
            }
            const QByteArray name = line.left(colon).toLower();
            const QByteArray value = line.mid(colon + 1).trimmed();
            if (name == "transfer-encoding") {
                return Refuse(413, "a request body must come with its Content-Length, not chunked");
            }
            if (name == "content-length") {
                bool ok = false;
                const qint64 n = value.toLongLong(&ok);
                const bool digits = !value.isEmpty() && value.size() <= 18 &&
                                    std::all_of(value.begin(), value.end(),
                                                [](char c) { return c >= '0' && c <= '9'; });
                if (length || !ok || !digits) return Refuse(400, "the Content-Length is not valid");
                length = n;
            }
            if (name == "authorization") {
                authorization = value;
                ++authorizations;
            }
        }
        if (length.value_or(0) > RequestGuard::kMaxBodyBytes) {
            return Refuse(413, "the request body is larger than 64 KiB");
        }
        m_bodyLeft = length.value_or(0);
        // The page's own files are fetched by a browser that has no token yet; they hold
        // nothing secret and change nothing.
        const QList<QByteArray> request = lines[0].trimmed().split(' ');
        if (request.size() == 3 && IsPublicPageRequest(request[0], request[1])) return;
        const QHostAddress peer = m_socket->peerAddress();
        if (authorizations != 1 || !m_gate->Accepts(authorization)) {
            return Refuse(401, "a valid bearer token is needed", m_gate->Failed(peer));
        }
        m_gate->Succeeded(peer);
    }

    // Takes the connection from Qt's server and answers it here, after `delayMs`.
    void Refuse(int status, const char* why, int delayMs = 0) {
        m_refused = true;
        QObject::disconnect(m_socket, &QTcpSocket::readyRead, nullptr, nullptr);
        // What Qt's server holds of a half-read request is dropped, and so is the rest.
        // Qt reads all the kernel holds on each notification unless its buffer is bounded;
        // bounded, a client that goes on sending costs a few small reads, never a big buffer.
        if (m_socket->isTransactionStarted()) m_socket->commitTransaction();
        m_socket->setReadBufferSize(kDrainBytes);
        Drain();
        connect(m_socket, &QTcpSocket::readyRead, this, [this] { Drain(); });
        QByteArray response = "HTTP/1.1 " + QByteArray::number(status) + ' ' + Reason(status);
        response += "\r\nContent-Type: application/json\r\nConnection: close\r\n";
        if (status == 401) response += "WWW-Authenticate: Bearer\r\n";
        const QByteArray body =
            QJsonDocument(QJsonObject{{QStringLiteral("error"), QString::fromUtf8(why)}})
                .toJson(QJsonDocument::Compact);
        response += "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
        QTimer::singleShot(delayMs, this, [this, response] {
            connect(m_socket, &QTcpSocket::bytesWritten, this, [this] { EndIfWritten(); });
            m_socket->write(response);
            QTimer::singleShot(RequestGuard::kLingerMs, m_socket, &QTcpSocket::abort);
        });
    }

    // Drops what has arrived, a bounded amount at a time, so the event loop stays free.
    void Drain() {
        for (int i = 0; i < 16 && m_socket->skip(kDrainBytes) > 0; ++i) {
        }
    }

    // Once the answer is out, says so to the client (half-close) and waits for it to close.
    void EndIfWritten() {
        if (m_socket->bytesToWrite() > 0 || m_halfClosed) return;
        m_halfClosed = true;
#ifdef Q_OS_UNIX
        ::shutdown(int(m_socket->socketDescriptor()), SHUT_WR);
#else
        m_socket->disconnectFromHost();
#endif
    }

    static QByteArray Reason(int status) {
        switch (status) {
            case 400:
                return "Bad Request";
            case 401:
                return "Unauthorized";
            case 413:
                return "Payload Too Large";
            default:
                return "Request Header Fields Too Large";
        }
    }

    // A header block is collected up to one byte past the limit: enough to know it is over.
    static constexpr qsizetype kHeadCap = RequestGuard::kMaxHeaderBytes + 1;
    static constexpr qint64 kDrainBytes = 64 * 1024;

    QTcpSocket* m_socket;
    std::shared_ptr<TokenGate> m_gate;
    QByteArray m_head;  // the header block so far
    qint64 m_bodyLeft = 0;
    bool m_refused = false;
    bool m_halfClosed = false;
};

}  // namespace

TokenGate::TokenGate(QByteArray token) : m_digest(token.isEmpty() ? QByteArray() : Digest(token)) {
    m_clock.start();
}

bool TokenGate::Accepts(const QByteArray& authorization) const {
    const qsizetype space = authorization.indexOf(' ');
    if (m_digest.isEmpty() || space < 0) return false;
    const bool bearer = authorization.left(space).compare("Bearer", Qt::CaseInsensitive) == 0;
    // Both sides are digests of one length, so the loop runs the same whatever the guess.
    const QByteArray given = Digest(authorization.mid(space + 1).trimmed());
    unsigned char differ = 0;
    for (qsizetype i = 0; i < m_digest.size(); ++i) differ |= m_digest[i] ^ given[i];
    return bearer && differ == 0;
}

int TokenGate::Failed(const QHostAddress& peer) {
    const qint64 now = m_clock.elapsed();
    // Many peers failing is bounded: the long-quiet ones are forgotten first.
    if (m_failures.size() > 4096) {
        m_failures.removeIf([now](const auto& it) { return now - it.value().lastMs > kForgetMs; });
        if (m_failures.size() > 4096) m_failures.clear();
    }
    Failures& failures = m_failures[peer];
    if (now - failures.lastMs > kForgetMs) failures.count = 0;
    failures.count = qMin(failures.count + 1, 16);
    failures.lastMs = now;
    return qMin<qint64>(qint64(kFirstDelayMs) << (failures.count - 1), kMaxDelayMs);
}

void TokenGate::Succeeded(const QHostAddress& peer) { m_failures.remove(peer); }

RequestGuard::RequestGuard(std::shared_ptr<TokenGate> gate, QObject* parent)
    : QTcpServer(parent), m_gate(std::move(gate)) {}

void RequestGuard::incomingConnection(qintptr socketDescriptor) {
    auto* socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(socketDescriptor)) {
        delete socket;
        return;
    }
    // Connected before the HTTP server takes the socket, so it runs first on every readyRead.
    auto* guard = new ConnectionGuard(socket, m_gate);
    connect(socket, &QTcpSocket::readyRead, guard, &ConnectionGuard::Inspect);
    addPendingConnection(socket);
}

}  // namespace meridial::daemon
