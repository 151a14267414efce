#include "cli/ServiceClient.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

namespace meridial::cli {
namespace {

// The address a schedule file leads to, or the whole error.
struct ListenRow {
    const char* name;
    QByteArray file;
    QString url;
    QString error;
};

class ListenTableTest : public ::testing::TestWithParam<ListenRow> {};

TEST_P(ListenTableTest, FindsTheServiceOrNamesTheLine) {
    const ListenRow& row = GetParam();
    const auto url = ListenUrl(row.file, QStringLiteral("/s/schedule.ini"));
    if (!row.error.isEmpty()) {
        ASSERT_FALSE(url.ok());
        EXPECT_EQ(url.error().message, row.error);
        EXPECT_EQ(url.error().exitCode, 2);
        return;
    }
    ASSERT_TRUE(url.ok()) << url.error().message.toStdString();
    EXPECT_EQ(url->toString(), row.url);
}

const ListenRow kListenRows[] = {
    {"NoServiceSection", "[lobby]\nsigns=all\nlisten=10.0.0.1:1\n", "http://127.0.0.1:8266", {}},
    {"HostAndPort", "[service]\nlisten = 10.0.0.5:9000 \n", "http://10.0.0.5:9000", {}},
    {"Ipv6InBrackets", "\xEF\xBB\xBF[service]\r\nlisten=[::1]:8300\r\n", "http://[::1]:8300", {}},
    {"AnyAddressMeansLoopback", "[service]\nlisten=0.0.0.0:8266\n", "http://127.0.0.1:8266", {}},
    {"AnyIpv6MeansLoopback", "[service]\nlisten=[::]:8266\n", "http://[::1]:8266", {}},
    {"CommentsSkippedLastWins",
     "[service]\n;listen=1.1.1.1:1\nlisten=a.example:1\nlisten=b.example:80\n[x]\nlisten=c:2\n",
     "http://b.example:80",
     {}},
    {"NoPort",
     "[service]\nlisten=localhost\n",
     {},
     "/s/schedule.ini:2: listen=localhost: not HOST:PORT"},
    {"PortOutOfRange",
     "[service]\n\nlisten=h:70000\n",
     {},
     "/s/schedule.ini:3: listen=h:70000: no port 1..65535"},
};
INSTANTIATE_TEST_SUITE_P(Rules, ListenTableTest, ::testing::ValuesIn(kListenRows),
                         [](const auto& info) { return std::string(info.param.name); });

void Write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

TEST(ServiceLocationTest, UrlThenScheduleThenBesideTheSignsFile) {
    QTemporaryDir dir;
    const QString signs = dir.filePath(QStringLiteral("signs.ini"));
    const QString other = dir.filePath(QStringLiteral("other.ini"));
    Write(dir.filePath(QStringLiteral("schedule.ini")), "[service]\nlisten=10.0.0.2:1\n");
    Write(other, "[service]\nlisten=10.0.0.3:2\n");
    const auto url = [](const ServiceLocation& location) {
        const auto found = FindServiceUrl(location);
        return found ? found->toString() : found.error().message;
    };
    EXPECT_EQ(url({QStringLiteral("http://h:3/"), other, signs, {}}), "http://h:3");
    EXPECT_EQ(url({{}, other, signs, {}}), "http://10.0.0.3:2");
    EXPECT_EQ(url({{}, {}, signs, {}}), "http://10.0.0.2:1");
    EXPECT_EQ(url({{}, {}, dir.filePath(QStringLiteral("none/signs.ini")), {}}),
              "http://127.0.0.1:8266");
    EXPECT_EQ(url({{}, dir.filePath(QStringLiteral("gone.ini")), signs, {}}),
              QStringLiteral("cannot read the schedule file %1 for the service's address: no "
                             "such file; give --url")
                  .arg(dir.filePath(QStringLiteral("gone.ini"))));
    EXPECT_EQ(url({QStringLiteral("ftp://h:3"), {}, {}, {}}),
              "--url ftp://h:3: not an address http://HOST:PORT");
}

TEST(ServiceLocationTest, TokenFileGivenThenStateDirectoryThenDefault) {
    qputenv("STATE_DIRECTORY", "/run/a:/run/b");
    EXPECT_EQ(TokenFilePath({{}, {}, {}, QStringLiteral("/t")}), "/t");
    EXPECT_EQ(TokenFilePath({}), "/run/a/token");
    qunsetenv("STATE_DIRECTORY");
    EXPECT_EQ(TokenFilePath({}), "/var/lib/meridial/token");
}

TEST(ServiceLocationTest, TokenFileThatCannotServe) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("token"));
    const QString prefix = QStringLiteral("cannot read the service's token %1: ").arg(path);
    const auto why = [&] {
        const auto token = ReadToken(path);
        return token ? QString::fromLatin1(*token) : token.error().message.mid(prefix.size());
    };
    EXPECT_EQ(why(), "no such file; meridiald writes it when it starts, or give --token-file");
    Write(path, "  s3cr3t\n");
    EXPECT_EQ(why(), "s3cr3t");
    Write(path, "two\r\nlines\n");
    EXPECT_EQ(why(), "not a token (not one word)");
    Write(path, "\n");
    EXPECT_EQ(why(), "the file is empty");
    if (::geteuid() == 0) GTEST_SKIP() << "root reads every file";
    QFile::setPermissions(path, QFileDevice::WriteOwner);
    EXPECT_EQ(why(),
              "permission denied; run as the meridial user or with sudo, or give --token-file");
}

// One canned answer per connection, and the request it answered.
class StubService : public QTcpServer {
public:
    explicit StubService(QByteArray answer) : m_answer(std::move(answer)) {
        listen(QHostAddress::LocalHost);
        connect(this, &QTcpServer::newConnection, this, [this] {
            QTcpSocket* socket = nextPendingConnection();
            connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                request += socket->readAll();
                if (!request.contains("\r\n\r\n") || m_answer.isEmpty()) return;
                socket->write(m_answer);
                socket->disconnectFromHost();
            });
        });
    }
    QUrl Url() const { return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(serverPort())); }
    QByteArray request;

private:
    QByteArray m_answer;
};

QByteArray Answer(const char* status, const QByteArray& body) {
    return QByteArray("HTTP/1.1 ") + status + "\r\nContent-Type: application/json\r\n" +
           "Content-Length: " + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" +
           body;
}

// An answer (empty: none ever) and what the client makes of it; %1 is the stub's address.
struct CallRow {
    const char* name;
    QByteArray answer;
    int exitCode;
    QString message;  // empty: success
};

class CallTableTest : public ::testing::TestWithParam<CallRow> {};

TEST_P(CallTableTest, SaysWhatWentWrong) {
    const CallRow& row = GetParam();
    StubService stub(row.answer);
    const auto reply = CallService(stub.Url(), "tok", "GET", QStringLiteral("/api/signs"), {},
                                   QStringLiteral("/t"), std::chrono::milliseconds(300));
    EXPECT_TRUE(stub.request.startsWith("GET /api/signs HTTP/1.1\r\n"));
    EXPECT_TRUE(stub.request.contains("\r\nAuthorization: Bearer tok\r\n"));
    if (row.message.isEmpty()) {
        ASSERT_TRUE(reply.ok()) << reply.error().message.toStdString();
        EXPECT_EQ(reply->body.object().value(QStringLiteral("signs")).toArray().size(), 1);
        return;
    }
    ASSERT_FALSE(reply.ok());
    const QString url = stub.Url().toString();
    EXPECT_EQ(reply.error().message,
              row.message.contains(u'%') ? row.message.arg(url) : row.message);
    EXPECT_EQ(reply.error().exitCode, row.exitCode);
}

const CallRow kCallRows[] = {
    {"Answered", Answer("200 OK", R"({"signs": [{"name": "lobby"}]})"), 0, {}},
    {"WrongToken", Answer("401 Unauthorized", R"({"error": "bad token"})"), 5,
     "meridiald at %1 refused the token from /t (bad token)"},
    {"RefusedValue", Answer("404 Not Found", R"({"error": "no sign 'x'"})"), 2,
     "meridiald: no sign 'x'"},
    {"ServiceFault", Answer("500 Internal Server Error", "{}"), 5,
     "meridiald at %1 failed: HTTP 500"},
    {"NotJson", Answer("200 OK", "<html>"), 5, "meridiald at %1 sent an answer that is not JSON"},
    {"Redirected", "HTTP/1.1 302 Found\r\nLocation: http://elsewhere/\r\nContent-Length: 0\r\n\r\n",
     5, "meridiald at %1 failed: HTTP 302"},
    {"Silent", {}, 5, "meridiald is not reachable at %1 (no answer within 0.3 s)"},
};
INSTANTIATE_TEST_SUITE_P(Rules, CallTableTest, ::testing::ValuesIn(kCallRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CallServiceTest, NothingListening) {
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const QUrl url(QStringLiteral("http://127.0.0.1:%1").arg(closed.serverPort()));
    closed.close();
    const auto reply = CallService(url, "tok", "GET", QStringLiteral("/api/signs"));
    ASSERT_FALSE(reply.ok());
    EXPECT_EQ(reply.error().message,
              QStringLiteral("meridiald is not reachable at %1 (connection refused)")
                  .arg(url.toString()));
    EXPECT_EQ(reply.error().exitCode, 5);
}

}  // namespace
}  // namespace meridial::cli
