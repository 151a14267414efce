// The HTTP API on a loopback port against a stub service; clients and server share the event
// loop, so every wait below runs it.

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <memory>

#include "daemon/api/HttpApi.h"
#include "daemon/api/TokenFile.h"

namespace meridial::daemon {
namespace {

const QByteArray kToken = "0123456789abcdef0123456789abcdef";

class StubControl : public ServiceControl {
public:
    QJsonArray Signs() const override { return {QJsonObject{{"name", "lobby"}}}; }
    std::optional<QJsonObject> Sign(const QString& name) const override {
        return name == "hall/east" ? std::optional(QJsonObject{{"name", name}}) : std::nullopt;
    }
    QJsonObject Plan(int hours) const override { return {{"hours", hours}}; }
    Result<QString, QString> AddNotice(const NoticeRequest& request) override {
        last = request;  // the service refuses a message too long for the sign like this
        if (request.message.size() <= 150) return QString("n 1");
        return Result<QString, QString>::Fail("the message has 151 characters; at most 150");
    }
    QJsonArray Notices() const override { return {QJsonObject{{"id", "n1"}}}; }
    bool CancelNotice(const QString& id) override { return id == "n1"; }
    QJsonObject SyncNow() override { return {{"queued", 2}}; }
    QString Metrics() const override { return "meridial_signs 2\n"; }
    NoticeRequest last;
};

void Spin() { QCoreApplication::processEvents(QEventLoop::AllEvents, 10); }

struct Reply {
    int status = 0;
    QByteArray head, body;
    qint64 ms = 0;
    QByteArray Header(const QByteArray& name) const {
        for (const QByteArray& line : head.split('\n')) {
            if (line.toLower().startsWith(name.toLower() + ": ")) return line.mid(name.size() + 2);
        }
        return {};
    }
};

// Reads one answer: the status line, the headers and Content-Length bytes of body.
Reply Receive(QTcpSocket& socket, QElapsedTimer clock) {
    QByteArray in;
    Reply reply;
    for (qsizetype end = -1; clock.elapsed() < 10000; Spin(), in += socket.readAll()) {
        end = in.indexOf("\r\n\r\n");
        reply.head = in.left(end).replace("\r", "");
        reply.body = in.mid(end + 4);
        if (end >= 0 && reply.body.size() >= reply.Header("Content-Length").toInt()) break;
    }
    reply.ms = clock.elapsed();
    reply.status = in.mid(9, 3).toInt();
    return reply;
}

QByteArray Request(const QByteArray& line, const QByteArray& body = {},
                   const QByteArray& auth = "Bearer " + kToken, const QByteArray& extra = {}) {
    QByteArray request = line + " HTTP/1.1\r\nHost: sign\r\n" + extra;
    if (!auth.isEmpty()) request += "Authorization: " + auth + "\r\n";
    if (!body.isEmpty()) request += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    return request + "\r\n" + body;
}

class HttpApiTest : public ::testing::Test {
protected:
    std::unique_ptr<QTcpSocket> Send(const QByteArray& request) {
        auto socket = std::make_unique<QTcpSocket>();
        socket->connectToHost(QHostAddress::LocalHost, m_port);
        socket->write(request);
        return socket;
    }
    Reply Exchange(const QByteArray& request) {
        QElapsedTimer clock;
        clock.start();
        return Receive(*Send(request), clock);
    }

    StubControl m_control;
    HttpApi m_api{m_control, kToken};
    quint16 m_port = m_api.Listen(QHostAddress::LocalHost, 0).value();
};

TEST_F(HttpApiTest, EachRequestGetsItsStatusAndReason) {
    const auto hi = [](const char* rest) {
        return R"({"signs":"all","message":"Hi")" + QByteArray(rest) + "}";
    };
    const QByteArray bearer = "Bearer " + kToken, x151(151, 'x'), pad = "X-Pad: ";
    const struct {
        QByteArray line, body;
        int status;
        QString contains;  // in the body, or in the error for a failure
        QByteArray allow = {}, extra = {}, auth = "Bearer " + kToken;
    } rows[] = {
        {"GET /api/signs", {}, 200, "lobby"},
        {"GET /api/signs/hall%2Feast", {}, 200, "hall/east"},
        {"GET /api/signs/nowhere", {}, 404, "nowhere"},
        {"GET /api/plan", {}, 200, "\"hours\":24"},
        {"GET /api/plan?hours=168", {}, 200, "\"hours\":168"},
        {"GET /api/plan?hours=0", {}, 400, "1 to 168"},
        {"GET /api/plan?hours=169", {}, 400, "1 to 168"},
        {"POST /api/notices", hi(R"(,"for":"30m")"), 201, "n 1"},
        {"POST /api/notices", hi(R"(,"until":"2026-12-24T17:00")"), 201, "n 1"},
        {"POST /api/notices", "{\"signs\":", 400, "not JSON"},
        {"POST /api/notices", "[1]", 400, "JSON object"},
        {"POST /api/notices", R"({"signs":"all","for":"30m"})", 400, "\"message\" is missing"},
        {"POST /api/notices", R"({"signs":"all","message":5,"for":"2h"})", 400, "must be a string"},
        {"POST /api/notices", hi(R"(,"for":"2h","colour":1)"), 400, "unknown field \"colour\""},
        {"POST /api/notices", hi(R"(,"for":"2h","until":"2026-12-24T17:00")"), 400, "one of"},
        {"POST /api/notices", hi(""), 400, "one of"},
        {"POST /api/notices", hi(R"(,"for":"soon")"), 400, "duration"},
        {"POST /api/notices", hi(R"(,"until":"friday")"), 400, "until"},
        {"POST /api/notices", R"({"signs":"all","for":"2h","message":")" + x151 + "\"}", 400,
         "151"},
        {"GET /api/notices", {}, 200, "n1"},
        {"DELETE /api/notices/n1", {}, 204, ""},
        {"DELETE /api/notices/n9", {}, 404, "n9"},
        {"POST /api/sync", {}, 202, "\"queued\":2"},
        {"GET /metrics", {}, 200, "meridial_signs 2"},
        {"PUT /api/signs", {}, 405, "GET", "GET"},
        {"GET /api/sync", {}, 405, "POST", "POST"},
        {"PATCH /api/notices", {}, 405, "GET, POST", "GET, POST"},
        {"GET /api/notices/n1", {}, 405, "DELETE", "DELETE"},
        {"GET /api/nothing", {}, 404, "no such path"},
        // The token: each failure here waits longer, and the next good row starts again.
        {"GET /api/signs", {}, 401, "bearer token", {}, {}, ""},
        {"GET /api/signs", {}, 401, "bearer token", {}, {}, "Basic " + kToken},
        {"GET /api/signs", {}, 401, "bearer token", {}, {}, bearer + "x"},
        {"GET /api/signs", {}, 200, "lobby", {}, {}, "bearer " + kToken},
        // The limits, checked on the raw request before Qt's server reads its body.
        {"POST /api/notices", QByteArray(65536, '{'), 400, "not JSON"},
        {"POST /api/notices", QByteArray(65537, '{'), 413, "64 KiB"},
        {"POST /api/notices", {}, 413, "chunked", {}, "Transfer-Encoding: chunked\r\n"},
        {"POST /api/notices", "{", 400, "Content-Length", {}, "Content-Length: 1\r\n"},
        {"GET /api/signs", {}, 200, "lobby", {}, pad + QByteArray(15000, 'p') + "\r\n"},
        {"GET /api/signs", {}, 431, "16 KiB", {}, pad + QByteArray(17000, 'p') + "\r\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE((row.line + " " + row.body.left(60) + row.auth).toStdString());
        const Reply reply = Exchange(Request(row.line, row.body, row.auth, row.extra));
        EXPECT_EQ(reply.status, row.status) << reply.body.constData();
        EXPECT_EQ(reply.Header("Allow"), row.allow);
        EXPECT_EQ(reply.Header("WWW-Authenticate"), row.status == 401 ? "Bearer" : "");
        const QString error = QJsonDocument::fromJson(reply.body)["error"].toString();
        EXPECT_TRUE((row.status < 400 ? QString(reply.body) : error).contains(row.contains));
        EXPECT_TRUE(row.status < 400 || reply.Header("Content-Type") == "application/json");
    }
}

TEST_F(HttpApiTest, ANoticeReachesTheServiceAsGivenAndIsLocated) {
    const QByteArray notice = R"({"signs":"a","message":"M",)";
    const Reply reply = Exchange(Request("POST /api/notices", notice + R"("for":"2h"})"));
    EXPECT_EQ(reply.Header("Location"), "/api/notices/n%201");
    EXPECT_EQ(m_control.last.forSeconds, 7200);
    Exchange(Request("POST /api/notices", notice + R"("until":"2026-12-24T17:00"})"));
    EXPECT_EQ(m_control.last.until, QDateTime(QDate(2026, 12, 24), QTime(17, 0), Qt::LocalTime));
    EXPECT_FALSE(m_control.last.forSeconds.has_value());
    const Reply metrics = Exchange(Request("GET /metrics"));
    EXPECT_EQ(metrics.Header("Content-Type"), "text/plain; version=0.0.4");
}

TEST_F(HttpApiTest, EachWrongTokenInARowWaitsLongerWithoutHoldingUpOthers) {
    const qint64 first = Exchange(Request("GET /api/signs", {}, "Bearer no")).ms;
    const qint64 second = Exchange(Request("GET /api/signs", {}, "Bearer no")).ms;
    EXPECT_GE(first, 90);
    EXPECT_GE(second, first + 50);
    // The third waits 400 ms; meanwhile another client is served, which resets the count.
    QElapsedTimer clock;
    clock.start();
    const auto waiting = Send(Request("GET /api/signs", {}, "Bearer no"));
    while (clock.elapsed() < 150) Spin();  // it is seen before the good one
    const Reply good = Exchange(Request("GET /api/signs"));
    EXPECT_EQ(good.status, 200);
    EXPECT_LT(good.ms, 200);
    EXPECT_GE(Receive(*waiting, clock).ms, 380);
    EXPECT_LT(Exchange(Request("GET /api/signs", {}, "Bearer no")).ms, 350);
}

TEST_F(HttpApiTest, EveryRequestOfAKeptConnectionIsChecked) {
    QElapsedTimer clock;
    clock.start();
    const auto socket = Send(Request("GET /api/signs"));
    EXPECT_EQ(Receive(*socket, clock).status, 200);
    socket->write(Request("GET /api/signs", {}, {}));
    EXPECT_EQ(Receive(*socket, clock).status, 401);
}

qint64 ResidentKiB() {
    QFile status("/proc/self/status");
    status.open(QIODevice::ReadOnly);
    const auto m = QRegularExpression("VmRSS:\\s+(\\d+)").match(QString(status.readAll()));
    return m.captured(1).toLongLong();
}

TEST_F(HttpApiTest, AHugeBodyIsRefusedAtOnceAndNotKept) {
    // A plain socket, which goes on sending after the answer as a careless client would.
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    sockaddr_in to{AF_INET, htons(m_port), {htonl(INADDR_LOOPBACK)}, {}};
    ::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to);
    const QByteArray chunk(64 * 1024, 'x');
    QByteArray out = "POST /api/notices HTTP/1.1\r\nAuthorization: Bearer " + kToken +
                     "\r\nContent-Length: 104857600\r\n\r\n" + chunk;
    char answer[13] = {};
    QElapsedTimer clock;
    clock.start();
    qint64 sent = 0, before = 0;
    while (sent < (32 << 20) && clock.elapsed() < 8000) {
        const ssize_t n = ::send(fd, out.constData(), size_t(out.size()), MSG_NOSIGNAL);
        sent += qMax<ssize_t>(n, 0);
        out = chunk;
        if (answer[0] == 0 && ::recv(fd, answer, 12, 0) == 12) before = ResidentKiB();
        if (answer[0] == 0 && clock.elapsed() > 1000) break;  // not at once
        Spin();
    }
    EXPECT_STREQ(answer, "HTTP/1.1 413");
    EXPECT_GE(sent, 32 << 20);  // the service read it all, and dropped it
    EXPECT_LT(ResidentKiB() - before, 12 * 1024);
    ::close(fd);
}

TEST_F(HttpApiTest, FiftyConcurrentRequestsAreAllAnswered) {
    QElapsedTimer clock;
    clock.start();
    std::vector<std::unique_ptr<QTcpSocket>> sockets;
    for (int i = 0; i < 50; ++i) sockets.push_back(Send(Request("GET /api/notices")));
    for (auto& socket : sockets) EXPECT_EQ(Receive(*socket, clock).status, 200);
    EXPECT_LT(clock.elapsed(), 5000);
}

TEST_F(HttpApiTest, ListeningOnATakenPortSaysWhy) {
    const auto taken = HttpApi(m_control, kToken).Listen(QHostAddress::LocalHost, m_port);
    ASSERT_FALSE(taken.ok());
    EXPECT_EQ(taken.error(), QString("cannot listen on 127.0.0.1:%1: address in use").arg(m_port));
}

TEST(TokenFileTest, IsMadePrivateReusedAndRefusedWhenOpenOrShort) {
    QTemporaryDir temp;
    const QString dir = temp.path() + "/state/api";
    const auto made = LoadOrCreateToken(dir);
    ASSERT_TRUE(made.ok()) << made.error().toStdString();
    EXPECT_TRUE(QRegularExpression("^[0-9a-f]{64}$").match(QString(made.value())).hasMatch());
    struct stat token {
    }, folder{};
    ::stat(QFile::encodeName(dir + "/token"), &token);
    ::stat(QFile::encodeName(dir), &folder);
    EXPECT_EQ(token.st_mode & 0777, 0600u);
    EXPECT_EQ(folder.st_mode & 0777, 0700u);
    EXPECT_EQ(LoadOrCreateToken(dir).value(), made.value());
    const struct {
        QByteArray content;
        int mode;
        QString says;  // the error, or the token
    } rows[] = {{kToken + "\n", 0644, "chmod 600"},
                {kToken, 0640, "chmod 600"},
                {kToken.left(31), 0600, "at least 32"},
                {"", 0600, "at least 32"},
                {kToken + "\n", 0600, kToken}};
    for (const auto& row : rows) {
        QFile file(dir + "/token");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(row.content);
        file.close();
        ::chmod(QFile::encodeName(file.fileName()), mode_t(row.mode));
        const auto loaded = LoadOrCreateToken(dir);
        EXPECT_EQ(loaded.ok(), row.says == kToken) << row.content.constData();
        EXPECT_TRUE((loaded.ok() ? QString(loaded.value()) : loaded.error()).contains(row.says));
    }
}

}  // namespace
}  // namespace meridial::daemon
