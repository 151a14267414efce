// The HTTP API on a loopback port, served from its own thread, against a stub service.

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
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
        if (name != "hall/east") return std::nullopt;
        return QJsonObject{{"name", name}};
    }
    QJsonObject Plan(int hours) const override { return {{"hours", hours}}; }
    Result<QString, QString> AddNotice(const NoticeRequest& request) override {
        last = request;
        if (request.message.size() > 150) {
            return Result<QString, QString>::Fail("the message has 151 characters; at most 150");
        }
        return QString("n 1");
    }
    QJsonArray Notices() const override { return {QJsonObject{{"id", "n1"}}}; }
    bool CancelNotice(const QString& id) override { return id == "n1"; }
    QJsonObject SyncNow() override { return {{"queued", 2}}; }
    QString Metrics() const override { return "meridial_signs 2\n"; }
    NoticeRequest last;
};

struct Reply {
    int status = 0;
    QByteArray head, body;
    qint64 ms = 0;
    QByteArray Header(const char* name) const {
        const auto m = QRegularExpression(QString("\r\n%1: ([^\r]*)").arg(name),
                                          QRegularExpression::CaseInsensitiveOption)
                           .match(QString::fromLatin1(head));
        return m.captured(1).toLatin1();
    }
};

// Reads one answer: the status line, the headers and Content-Length bytes of body.
Reply Receive(QTcpSocket& socket, QElapsedTimer clock = {}) {
    if (!clock.isValid()) clock.start();
    QByteArray in;
    Reply reply;
    while (clock.elapsed() < 10000) {
        const qsizetype end = in.indexOf("\r\n\r\n");
        if (end >= 0) reply.head = in.left(end);
        if (end >= 0 && in.size() >= end + 4 + reply.Header("Content-Length").toInt()) break;
        if (!socket.waitForReadyRead(100) && socket.state() != QTcpSocket::ConnectedState) break;
        in += socket.readAll();
    }
    reply.ms = clock.elapsed();
    const qsizetype end = in.indexOf("\r\n\r\n");
    reply.head = in.left(end);
    reply.body = in.mid(end + 4);
    reply.status = in.mid(9, 3).toInt();
    return reply;
}

QByteArray Request(const QByteArray& line, const QByteArray& body = {},
                   const QByteArray& auth = "Bearer " + kToken) {
    QByteArray request = line + " HTTP/1.1\r\nHost: sign\r\n";
    if (!auth.isEmpty()) request += "Authorization: " + auth + "\r\n";
    if (!body.isEmpty()) request += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    return request + "\r\n" + body;
}

class HttpApiTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_thread.start();
        m_home.moveToThread(&m_thread);
        QMetaObject::invokeMethod(
            &m_home,
            [this] {
                m_api = std::make_unique<HttpApi>(m_control, kToken);
                m_port = m_api->Listen(QHostAddress::LocalHost, 0).value();
            },
            Qt::BlockingQueuedConnection);
    }
    void TearDown() override {
        QMetaObject::invokeMethod(
            &m_home, [this] { m_api.reset(); }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }
    std::unique_ptr<QTcpSocket> Open() {
        auto socket = std::make_unique<QTcpSocket>();
        socket->connectToHost(QHostAddress::LocalHost, m_port);
        EXPECT_TRUE(socket->waitForConnected(2000));
        return socket;
    }
    Reply Exchange(const QByteArray& request) {
        auto socket = Open();
        QElapsedTimer clock;
        clock.start();
        socket->write(request);
        return Receive(*socket, clock);
    }

    StubControl m_control;
    QThread m_thread;
    QObject m_home;
    std::unique_ptr<HttpApi> m_api;
    quint16 m_port = 0;
};

TEST_F(HttpApiTest, EachRouteAnswersWithItsStatusAndReason) {
    const QByteArray longText(151, 'x');
    const struct {
        QByteArray line, body;
        int status;
        QString contains;  // in the body, or in the error for a failure
        QByteArray allow = {};
    } rows[] = {
        {"GET /api/signs", {}, 200, "lobby"},
        {"GET /api/signs/hall%2Feast", {}, 200, "hall/east"},
        {"GET /api/signs/nowhere", {}, 404, "nowhere"},
        {"GET /api/plan", {}, 200, "\"hours\":24"},
        {"GET /api/plan?hours=168", {}, 200, "\"hours\":168"},
        {"GET /api/plan?hours=0", {}, 400, "1 to 168"},
        {"GET /api/plan?hours=169", {}, 400, "1 to 168"},
        {"GET /api/plan?hours=2x", {}, 400, "1 to 168"},
        {"POST /api/notices", R"({"signs":"all","message":"Hi","for":"30m"})", 201, "n 1"},
        {"POST /api/notices", R"({"signs":"all","message":"Hi","until":"2026-12-24T17:00"})", 201,
         "n 1"},
        {"POST /api/notices", "{\"signs\":", 400, "not JSON"},
        {"POST /api/notices", "[1]", 400, "JSON object"},
        {"POST /api/notices", R"({"signs":"all","for":"30m"})", 400, "\"message\" is missing"},
        {"POST /api/notices", R"({"signs":"all","message":5,"for":"2h"})", 400, "must be a string"},
        {"POST /api/notices", R"({"signs":"all","message":"Hi","for":"2h","colour":1})", 400,
         "unknown field \"colour\""},
        {"POST /api/notices",
         R"({"signs":"all","message":"Hi","for":"2h","until":"2026-12-24T17:00"})", 400, "one of"},
        {"POST /api/notices", R"({"signs":"all","message":"Hi"})", 400, "one of"},
        {"POST /api/notices", R"({"signs":"all","message":"Hi","for":"soon"})", 400, "duration"},
        {"POST /api/notices", R"({"signs":"all","message":"Hi","until":"friday"})", 400, "until"},
        {"POST /api/notices", R"({"signs":"all","for":"2h","message":")" + longText + "\"}", 400,
         "151 characters"},
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
        {"GET /api/signs/", {}, 404, "no such path"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE((row.line + " " + row.body.left(60)).toStdString());
        const Reply reply = Exchange(Request(row.line, row.body));
        EXPECT_EQ(reply.status, row.status) << reply.body.constData();
        EXPECT_EQ(reply.Header("Allow"), row.allow);
        const QString error = QJsonDocument::fromJson(reply.body)["error"].toString();
        EXPECT_TRUE(
            (row.status >= 400 ? error : QString::fromUtf8(reply.body)).contains(row.contains))
            << reply.body.constData();
        if (row.status >= 400) {
            EXPECT_EQ(reply.Header("Content-Type"), "application/json");
        }
    }
}

TEST_F(HttpApiTest, ANoticeReachesTheServiceAsGivenAndIsLocated) {
    Reply reply =
        Exchange(Request("POST /api/notices", R"({"signs":"a","message":"M","for":"2h"})"));
    EXPECT_EQ(reply.Header("Location"), "/api/notices/n%201");
    EXPECT_EQ(m_control.last.forSeconds, 7200);
    EXPECT_FALSE(m_control.last.until.isValid());
    Exchange(
        Request("POST /api/notices", R"({"signs":"a","message":"M","until":"2026-12-24T17:00"})"));
    EXPECT_EQ(m_control.last.until, QDateTime(QDate(2026, 12, 24), QTime(17, 0), Qt::LocalTime));
    EXPECT_FALSE(m_control.last.forSeconds.has_value());
    reply = Exchange(Request("GET /metrics"));
    EXPECT_EQ(reply.Header("Content-Type"), "text/plain; version=0.0.4");
}

TEST_F(HttpApiTest, TheTokenIsNeededAndEachFailureInARowWaitsLonger) {
    const struct {
        QByteArray auth;
        int status;
    } rows[] = {{"", 401},
                {"Bearer wrong", 401},
                {"Basic " + kToken, 401},
                {"Bearer " + kToken + "x", 401},
                {"bearer " + kToken, 200}};
    for (const auto& row : rows) {
        const Reply reply = Exchange(Request("GET /api/signs", {}, row.auth));
        EXPECT_EQ(reply.status, row.status) << row.auth.constData();
        EXPECT_EQ(reply.Header("WWW-Authenticate"), row.status == 401 ? "Bearer" : "");
    }
    // The good row reset the count: 100 ms, then 200 ms.
    const qint64 first = Exchange(Request("GET /api/signs", {}, "Bearer no")).ms;
    const qint64 second = Exchange(Request("GET /api/signs", {}, "Bearer no")).ms;
    EXPECT_GE(first, 90);
    EXPECT_GE(second, first + 50);
    // The third waits 400 ms; meanwhile another client is served, which resets the count.
    auto waiting = Open();
    QElapsedTimer clock;
    clock.start();
    waiting->write(Request("GET /api/signs", {}, "Bearer no"));
    EXPECT_FALSE(waiting->waitForReadyRead(150));  // it is seen before the good one
    const Reply good = Exchange(Request("GET /api/signs"));
    EXPECT_EQ(good.status, 200);
    EXPECT_LT(good.ms, 300);
    const Reply third = Receive(*waiting, clock);
    EXPECT_EQ(third.status, 401);
    EXPECT_GE(third.ms, 380);
    EXPECT_LT(Exchange(Request("GET /api/signs", {}, "Bearer no")).ms, 350);
}

TEST_F(HttpApiTest, EveryRequestOfAKeptConnectionIsChecked) {
    auto socket = Open();
    socket->write(Request("GET /api/signs"));
    EXPECT_EQ(Receive(*socket).status, 200);
    socket->write(Request("GET /api/signs", {}, {}));
    EXPECT_EQ(Receive(*socket).status, 401);
}

TEST_F(HttpApiTest, LimitsAreEnforcedOnTheRawRequest) {
    const QByteArray post = "POST /api/notices HTTP/1.1\r\nAuthorization: Bearer " + kToken;
    const struct {
        QByteArray request;
        int status;
    } rows[] = {
        {post + "\r\nContent-Length: 65536\r\n\r\n" + QByteArray(65536, '{'), 400},
        {post + "\r\nContent-Length: 65537\r\n\r\n", 413},
        {post + "\r\nTransfer-Encoding: chunked\r\n\r\n", 413},
        {post + "\r\nContent-Length: 1\r\nContent-Length: 1\r\n\r\n{", 400},
        {Request("GET /api/signs").replace("Host", "X-Pad: " + QByteArray(15000, 'p') + "\r\nHost"),
         200},
        {Request("GET /api/signs").replace("Host", "X-Pad: " + QByteArray(17000, 'p') + "\r\nHost"),
         431},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(Exchange(row.request).status, row.status) << row.request.left(120).constData();
    }
}

qint64 ResidentKiB() {
    QFile status("/proc/self/status");
    status.open(QIODevice::ReadOnly);
    const auto m = QRegularExpression("VmRSS:\\s+(\\d+)").match(QString(status.readAll()));
    return m.captured(1).toLongLong();
}

TEST_F(HttpApiTest, AHugeBodyIsRefusedAtOnceAndNotKept) {
    // A plain socket, which goes on sending after the answer as a careless client would.
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in to{AF_INET, htons(m_port), {htonl(INADDR_LOOPBACK)}, {}};
    ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to), 0);
    const timeval second{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &second, sizeof second);
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &second, sizeof second);
    const QByteArray head = "POST /api/notices HTTP/1.1\r\nAuthorization: Bearer " + kToken +
                            "\r\nContent-Length: 104857600\r\n\r\n";
    const QByteArray chunk(64 * 1024, 'x');
    ASSERT_EQ(::send(fd, head.constData(), size_t(head.size()), MSG_NOSIGNAL), head.size());
    ::send(fd, chunk.constData(), size_t(chunk.size()), MSG_NOSIGNAL);
    char answer[13] = {};
    EXPECT_EQ(::recv(fd, answer, 12, 0), 12);
    EXPECT_STREQ(answer, "HTTP/1.1 413");
    const qint64 before = ResidentKiB();
    qint64 sent = 0;
    for (ssize_t n = 0; sent < 32 << 20 && n >= 0; sent += n) {
        n = ::send(fd, chunk.constData(), size_t(chunk.size()), MSG_NOSIGNAL);
    }
    EXPECT_GE(sent, 32 << 20);  // the service read it all, and dropped it
    EXPECT_LT(ResidentKiB() - before, 12 * 1024);
    ::close(fd);
}

TEST_F(HttpApiTest, FiftyConcurrentRequestsAreAllAnswered) {
    std::vector<std::unique_ptr<QTcpSocket>> sockets;
    for (int i = 0; i < 50; ++i) sockets.push_back(Open());
    QElapsedTimer clock;
    clock.start();
    for (auto& socket : sockets) socket->write(Request("GET /api/notices"));
    for (auto& socket : sockets) EXPECT_EQ(Receive(*socket).status, 200);
    EXPECT_LT(clock.elapsed(), 5000);
}

TEST_F(HttpApiTest, ListeningOnATakenPortSaysWhy) {
    HttpApi other(m_control, kToken);
    const auto taken = other.Listen(QHostAddress::LocalHost, m_port);
    ASSERT_FALSE(taken.ok());
    EXPECT_EQ(taken.error(), QString("cannot listen on 127.0.0.1:%1: address in use").arg(m_port));
}

TEST(TokenFileTest, IsMadePrivateReusedAndRefusedWhenOpenOrShort) {
    QTemporaryDir temp;
    const QString dir = temp.path() + "/state/api";
    const auto made = LoadOrCreateToken(dir);
    ASSERT_TRUE(made.ok()) << made.error().toStdString();
    EXPECT_TRUE(QRegularExpression("^[0-9a-f]{64}$").match(QString(made.value())).hasMatch());
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(dir + "/token"), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat(QFile::encodeName(dir), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_EQ(LoadOrCreateToken(dir).value(), made.value());

    const struct {
        QByteArray content;
        int mode;
        const char* error;
    } rows[] = {{kToken + "\n", 0644, "chmod 600"},
                {kToken, 0640, "chmod 600"},
                {kToken.left(31), 0600, "at least 32"},
                {"", 0600, "at least 32"},
                {kToken, 0600, nullptr}};
    for (const auto& row : rows) {
        QFile file(dir + "/token");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(row.content);
        file.close();
        ::chmod(QFile::encodeName(file.fileName()), mode_t(row.mode));
        const auto token = LoadOrCreateToken(dir);
        EXPECT_EQ(token.ok(), row.error == nullptr) << row.content.constData();
        const QString got = token.ok() ? QString(token.value()) : token.error();
        EXPECT_TRUE(got.contains(row.error ? QString(row.error) : QString(kToken)))
            << got.toStdString();
    }
}

}  // namespace
}  // namespace meridial::daemon
