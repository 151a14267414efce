// The HTTP API on loopback against a stub service; clients and server share one event loop.

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <fstream>

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
    std::optional<Picture> SignPicture(const QString&, const QString&) const override {
        return std::nullopt;
    }
    std::optional<QString> CheckMessage(const QString& message) const override {
        if (message.size() <= 150) return std::nullopt;
        return QString("the message is 151 characters");
    }
    NoticeRequest last;
};

void Spin() { QCoreApplication::processEvents(QEventLoop::AllEvents, 10); }
qint64 Now() { return QDateTime::currentMSecsSinceEpoch(); }

struct Reply {
    int status = 0;
    QByteArray head, body;
    qint64 ms = 0;
};

// Reads one answer: the status line, the headers and Content-Length bytes of body.
Reply Receive(QTcpSocket& socket, qint64 since = Now()) {
    QByteArray in;
    Reply reply;
    for (qsizetype end = -1; Now() - since < 10000; Spin(), in += socket.readAll()) {
        end = in.indexOf("\r\n\r\n");
        reply.head = in.left(end).replace("\r", "");
        reply.body = in.mid(end + 4);
        const auto length = QRegularExpression("Content-Length: (\\d+)").match(reply.head);
        if (end >= 0 && reply.body.size() >= length.captured(1).toInt()) break;
    }
    reply.ms = Now() - since;
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
    Reply Exchange(const QByteArray& request) { return Receive(*Send(request)); }

    StubControl m_control;
    HttpApi m_api{m_control, kToken};
    quint16 m_port = m_api.Listen(QHostAddress::LocalHost, 0).value();
};

TEST_F(HttpApiTest, EachRequestGetsItsStatusAndReason) {
    const auto hi = [](const char* rest) {
        return R"({"signs":"all","message":"Hi")" + QByteArray(rest) + "}";
    };
    const QByteArray bearer = "Bearer " + kToken, x151(151, 'x'),
                     pad = "X-Pad: ", bearerAsked = "WWW-Authenticate: Bearer";
    const struct {
        QByteArray line, body;
        int status;
        QString contains;  // in the body, or in the error for a failure
        QByteArray header = {}, extra = {}, auth = "Bearer " + kToken;
    } rows[] = {
        {"GET /api/signs", {}, 200, "lobby"},
        {"GET /api/signs/hall%2Feast", {}, 200, "hall/east"},
        {"GET /api/signs/nowhere", {}, 404, "nowhere"},
        {"GET /api/plan", {}, 200, "\"hours\":24"},
        {"GET /api/plan?hours=168", {}, 200, "\"hours\":168"},
        {"GET /api/plan?hours=0", {}, 400, "1 to 168"},
        {"POST /api/notices", hi(R"(,"for":"30m")"), 201, "n 1", "Location: /api/notices/n%201"},
        {"POST /api/notices", hi(R"(,"until":"2026-12-24T17:00")"), 201, "n 1"},
        {"POST /api/notices", "{\"signs\":", 400, "not JSON"},
        {"POST /api/notices", R"({"signs":"all","for":"30m"})", 400, "\"message\" is missing"},
        {"POST /api/notices", R"({"signs":"all","message":5,"for":"2h"})", 400, "must be a string"},
        {"POST /api/notices", hi(R"(,"for":"2h","colour":1)"), 400, "unknown field \"colour\""},
        {"POST /api/notices", hi(R"(,"for":"2h","until":"2026-12-24T17:00")"), 400, "one of"},
        {"POST /api/notices", hi(R"(,"for":"soon")"), 400, "duration"},
        {"POST /api/notices", hi(R"(,"until":"friday")"), 400, "until"},
        {"POST /api/notices", R"({"signs":"all","for":"2h","message":")" + x151 + "\"}", 400,
         "151"},
        {"GET /api/notices", {}, 200, "n1"},
        {"DELETE /api/notices/n1", {}, 204, ""},
        {"DELETE /api/notices/n9", {}, 404, "n9"},
        {"POST /api/sync", {}, 202, "\"queued\":2"},
        {"GET /metrics", {}, 200, "meridial_signs 2", "Type: text/plain; version=0.0.4"},
        {"PUT /api/signs", {}, 405, "GET", "Allow: GET"},
        {"PATCH /api/notices", {}, 405, "GET, POST", "Allow: GET, POST"},
        {"GET /api/nothing", {}, 404, "no such path"},
        {"GET /api/signs", {}, 401, "bearer token", bearerAsked, {}, ""},
        {"GET /api/signs", {}, 401, "bearer token", bearerAsked, {}, "Basic " + kToken},
        {"GET /api/signs", {}, 401, "bearer token", bearerAsked, {}, bearer + "x"},
        {"GET /api/signs", {}, 200, "lobby", {}, {}, "bearer " + kToken},
        {"POST /api/notices", QByteArray(65536, '{'), 400, "not JSON"},
        {"POST /api/notices", QByteArray(65537, '{'), 413, "64 KiB"},
        {"POST /api/notices", {}, 413, "chunked", {}, "Transfer-Encoding: chunked\r\n"},
        {"POST /api/notices", "{", 400, "Content-Length", {}, "Content-Length: 1\r\n"},
        {"GET /api/signs", {}, 431, "16 KiB", {}, pad + QByteArray(17000, 'p') + "\r\n"},
        // The page's files alone are open without a token, and only to GET.
        {"GET /", {}, 200, "<title>", "Content-Security-Policy: default-src 'self'", {}, ""},
        {"GET /app.js", {}, 200, "textContent", "Content-Type: text/javascript", {}, ""},
        {"GET /style.css", {}, 200, "{", "X-Content-Type-Options: nosniff", {}, "Bearer no"},
        {"GET /?a=1", {}, 401, "bearer token", {}, {}, ""},
        {"GET /index.html", {}, 401, "bearer token", {}, {}, ""},
        {"POST /", "{}", 401, "bearer token", {}, {}, ""},
        {"GET //app.js", {}, 401, "bearer token", {}, {}, ""},
        {"GET /style.css", {}, 413, "64 KiB", {}, "Content-Length: 65537\r\n", ""},
        {"POST /api/check", R"({"message":"Hi"})", 200, "{\"ok\":true}"},
        {"POST /api/check", R"({"message":")" + x151 + "\"}", 200, "is 151 characters"},
        {"POST /api/check", R"({"text":"Hi"})", 400, "\"message\""},
        {"GET /api/check", {}, 405, "POST", "Allow: POST"},
    };
    for (const auto& row : rows) {
        const Reply reply = Exchange(Request(row.line, row.body, row.auth, row.extra));
        EXPECT_EQ(reply.status, row.status)
            << row.line.constData() << " " << row.body.left(60).constData();
        EXPECT_TRUE(reply.head.contains(row.header)) << reply.head.constData();
        const QString error = QJsonDocument::fromJson(reply.body)["error"].toString();
        EXPECT_TRUE((row.status < 400 ? QString(reply.body) : error).contains(row.contains));
        EXPECT_TRUE(row.status < 400 || reply.head.contains("Content-Type: application/json"));
    }
}

TEST_F(HttpApiTest, ANoticeReachesTheServiceAsGiven) {
    const QByteArray notice = R"({"signs":"a","message":"M",)";
    Exchange(Request("POST /api/notices", notice + R"("for":"2h"})"));
    EXPECT_EQ(m_control.last.forSeconds, 7200);
    Exchange(Request("POST /api/notices", notice + R"("until":"2026-12-24T17:00"})"));
    EXPECT_EQ(m_control.last.until, QDateTime(QDate(2026, 12, 24), QTime(17, 0), Qt::LocalTime));
}

TEST_F(HttpApiTest, AWrongTokenWaitsWithoutHoldingUpOthers) {
    Exchange(Request("GET /api/signs", {}, "Bearer no"));
    const qint64 start = Now();
    const auto waiting = Send(Request("GET /api/signs", {}, "Bearer no"));  // waits 200 ms
    while (Now() - start < 50) Spin();
    EXPECT_LT(Exchange(Request("GET /api/signs")).ms, 120);
    EXPECT_GE(Receive(*waiting, start).ms, 190);
    // The good request started the count again: 100 ms, not 400.
    EXPECT_LT(Exchange(Request("GET /api/signs", {}, "Bearer no")).ms, 350);
}

TEST_F(HttpApiTest, EveryRequestOfAKeptConnectionIsChecked) {
    const auto socket = Send(Request("GET /api/signs"));
    EXPECT_EQ(Receive(*socket).status, 200);
    socket->write(Request("GET /api/signs", {}, {}));
    EXPECT_EQ(Receive(*socket).status, 401);
}

// AddressSanitizer keeps freed blocks in quarantine, so there resident memory says nothing of
// what the service keeps.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kMemoryTells = false;
#elif defined(__has_feature)
constexpr bool kMemoryTells = !__has_feature(address_sanitizer);
#else
constexpr bool kMemoryTells = true;
#endif

// Anonymous memory only: pages of libraries and files mapped in meanwhile are not what is kept.
qint64 ResidentKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string key; status >> key;) {
        qint64 kib = 0;
        if (key == "RssAnon:" && status >> kib) return kib;
    }
    return -1;
}

TEST_F(HttpApiTest, AHugeBodyIsRefusedAtOnceAndNotKeptWhileTheClientGoesOnSending) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    sockaddr_in to{AF_INET, htons(m_port), {htonl(INADDR_LOOPBACK)}, {}};
    ::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to);
    const QByteArray chunk(64 * 1024, 'x');
    QByteArray out = "POST /api/notices HTTP/1.1\r\nAuthorization: Bearer " + kToken +
                     "\r\nContent-Length: 104857600\r\n\r\n" + chunk;
    char answer[13] = {};
    const qint64 start = Now();
    qint64 sent = 0, before = 0;
    while (sent < (32 << 20) && Now() - start < 8000) {
        const ssize_t n = ::send(fd, out.constData(), size_t(out.size()), MSG_NOSIGNAL);
        sent += qMax<ssize_t>(n, 0);
        out = chunk;
        if (answer[0] == 0 && ::recv(fd, answer, 12, 0) == 12) before = ResidentKiB();
        if (answer[0] == 0 && Now() - start > 1000) break;  // not at once
        Spin();
    }
    EXPECT_STREQ(answer, "HTTP/1.1 413");
    EXPECT_GE(sent, 32 << 20);  // the service read it all, and dropped it
    if (kMemoryTells) {
        EXPECT_LT(ResidentKiB() - before, 12 * 1024);
    }
    ::close(fd);
}

TEST_F(HttpApiTest, FiftyConcurrentRequestsAreAllAnswered) {
    const qint64 start = Now();
    std::vector<std::unique_ptr<QTcpSocket>> sockets;
    for (int i = 0; i < 50; ++i) sockets.push_back(Send(Request("GET /api/notices")));
    for (auto& socket : sockets) EXPECT_EQ(Receive(*socket, start).status, 200);
    EXPECT_LT(Now() - start, 5000);
}

TEST(TokenFileTest, IsMadePrivateReusedAndRefusedWhenOpenOrShort) {
    QTemporaryDir temp;
    const QString dir = temp.path() + "/state/api";
    const auto made = LoadOrCreateToken(dir);
    ASSERT_TRUE(made.ok()) << made.error().toStdString();
    EXPECT_TRUE(QRegularExpression("^[0-9a-f]{64}$").match(QString(made.value())).hasMatch());
    EXPECT_EQ(int(QFile::permissions(dir + "/token")), 0x6600);  // 0600: read-write for its owner
    EXPECT_EQ(int(QFile::permissions(dir)), 0x7700);             // 0700
    EXPECT_EQ(LoadOrCreateToken(dir).value(), made.value());
    // clang-format off
    const std::tuple<QByteArray, mode_t, QString> rows[] = {
        {kToken + "\n", 0644, "chmod 600"}, {kToken, 0640, "chmod 600"},
        {kToken.left(31), 0600, "at least 32"}, {"", 0600, "at least 32"}, {kToken, 0600, kToken}};
    // clang-format on
    for (const auto& [content, mode, says] : rows) {
        QFile file(dir + "/token");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(content) >= 0 && file.flush());
        ::chmod(QFile::encodeName(file.fileName()), mode);
        const auto loaded = LoadOrCreateToken(dir);
        EXPECT_EQ(loaded.ok(), says == kToken) << content.constData();
        EXPECT_TRUE((loaded.ok() ? QString(loaded.value()) : loaded.error()).contains(says));
    }
}

}  // namespace
}  // namespace meridial::daemon
