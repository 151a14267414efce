// meridiald against meridial-sign instances on pseudo-terminals and behind ser2net: what reaches
// each sign when, over the service's own HTTP API.

#include <signal.h>
#include <time.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>

#include "support/DeviceServer.h"
#include "support/VirtualSign.h"

namespace meridial {
namespace {

using testing::DeviceServer;
using testing::VirtualSign;

struct Reply {
    int status = 0;
    QJsonObject json;
};

QString Bodies(const QVector<QJsonObject>& frames) {
    QStringList bodies;
    for (const QJsonObject& frame : frames)
        if (frame.value(u"kind").toString() == QStringLiteral("message"))
            bodies << frame.value(u"decoded").toObject().value(u"body").toString();
    return bodies.join(u'|');
}

void Write(const QString& path, const QByteArray& text) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}

// One meridiald process with its own state folder, lock folder and API port.
class Daemon {
public:
    Daemon(const QString& folder, int port) : m_folder(folder), m_port(port) {}
    ~Daemon() { Stop(); }

    bool Start() {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("STATE_DIRECTORY"), m_folder + QStringLiteral("/state"));
        env.insert(QStringLiteral("MERIDIAL_LOCK_DIR"), m_folder + QStringLiteral("/locks"));
        env.insert(QStringLiteral("MERIDIAL_SETTINGS"), QStringLiteral("/nonexistent/m.INI"));
        QDir().mkpath(m_folder + QStringLiteral("/locks"));
        m_process.setProcessEnvironment(env);
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        m_process.start(QStringLiteral(MERIDIAL_DAEMON_PATH),
                        {QStringLiteral("--signs"), m_folder + QStringLiteral("/signs.ini")});
        if (!WaitForLog(QStringLiteral("the API on http://"), 10000)) return false;
        QFile token(m_folder + QStringLiteral("/state/token"));
        if (!token.open(QIODevice::ReadOnly)) return false;
        m_token = token.readAll().trimmed();
        return true;
    }

    bool WaitForLog(const QString& text, int timeoutMs) {
        QElapsedTimer clock;
        clock.start();
        while (!m_log.contains(text.toUtf8()) && clock.elapsed() < timeoutMs) {
            m_process.waitForReadyRead(50);
            m_log += m_process.readAllStandardError();
            if (m_process.state() == QProcess::NotRunning) break;
        }
        m_log += m_process.readAllStandardError();
        return m_log.contains(text.toUtf8());
    }

    Reply Request(const QByteArray& method, const QString& path, const QJsonObject& body = {},
                  const QByteArray& token = {}) {
        QNetworkRequest request(QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path)));
        request.setRawHeader("Authorization", "Bearer " + (token.isEmpty() ? m_token : token));
        request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
        QNetworkReply* reply = m_network.sendCustomRequest(
            request, method, body.isEmpty() ? QByteArray() : QJsonDocument(body).toJson());
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        loop.exec();
        Reply result{reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
                     QJsonDocument::fromJson(reply->readAll()).object()};
        reply->deleteLater();
        return result;
    }

    void Signal(int number) { ::kill(static_cast<pid_t>(m_process.processId()), number); }

    int WaitExit(int timeoutMs) {
        m_process.waitForFinished(timeoutMs);
        m_log += m_process.readAllStandardError();
        return m_process.state() == QProcess::NotRunning ? m_process.exitCode() : -1;
    }

    void Stop() {
        if (m_process.state() == QProcess::NotRunning) return;
        Signal(SIGTERM);
        if (WaitExit(10000) < 0) m_process.kill();
        m_process.waitForFinished(2000);
    }

    const QByteArray& Log() const { return m_log; }
    QNetworkAccessManager& Network() { return m_network; }
    const QByteArray& Token() const { return m_token; }

private:
    QString m_folder;
    int m_port;
    QProcess m_process;
    QByteArray m_log;
    QByteArray m_token;
    QNetworkAccessManager m_network;
};

class Service : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    // Signs on the given devices, "name|device|groups|message" each; a schedule when given.
    void Files(const QStringList& signs, const QByteArray& schedule = {}) {
        QByteArray text;
        for (const QString& sign : signs) {
            const QStringList f = sign.split(u'|');
            text += "[" + f[0].toUtf8() + "]\nport=" + f[1].toUtf8() + "\nmessage=" +
                    f[3].toUtf8() + "\n";
            if (!f[2].isEmpty()) text += "group=" + f[2].toUtf8() + "\n";
        }
        Write(Path("signs.ini"), text);
        Write(Path("schedule.ini"), QByteArray("[service]\nlisten=127.0.0.1:") +
                                        QByteArray::number(m_port) + "\n" + schedule);
    }
    QString Path(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }

    QTemporaryDir m_dir;
    int m_port = testing::FreeLoopbackPort();
};

qint64 MonotonicMs() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<qint64>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

TEST_F(Service, SendsAtStartAndAtTheBoundaryButNothingAgainAfterARestart) {
    if (!DeviceServer::Available()) GTEST_SKIP() << "ser2net is not installed";
    VirtualSign a, b, c;
    DeviceServer server(c.Device(), DeviceServer::Mode::Raw);
    ASSERT_TRUE(a.ok() && b.ok() && c.ok() && server.ok());
    // The next whole local minute at least 8 s away: the window holds for one minute from it.
    QDateTime boundary = QDateTime::currentDateTime().addSecs(8);
    boundary = boundary.addSecs(60 - boundary.time().second()).addMSecs(-boundary.time().msec());
    const QString from = boundary.toString(QStringLiteral("HH:mm"));
    const QString to = boundary.addSecs(60).toString(QStringLiteral("HH:mm"));
    Files({"a|" + a.Device() + "|floor1|A own", "b|" + b.Device() + "|floor1|B own",
           "c|" + server.Target() + "||C own"},
          ("[lunch]\nsigns=group:floor1\nmessage=Lunch\nfrom=" + from + "\nto=" + to + "\n")
              .toUtf8());
    Daemon daemon(m_dir.path(), m_port);
    ASSERT_TRUE(daemon.Start()) << daemon.Log().constData();
    EXPECT_EQ(Bodies(a.Frames(3, 8000)), QStringLiteral("A own"));
    EXPECT_EQ(Bodies(b.Frames(3, 8000)), QStringLiteral("B own"));
    EXPECT_EQ(Bodies(c.Frames(3, 8000)), QStringLiteral("C own"));

    const qint64 untilBoundary = QDateTime::currentDateTime().msecsTo(boundary);
    EXPECT_EQ(Bodies(a.Frames(6, static_cast<int>(untilBoundary) + 6000)),
              QStringLiteral("A own|Lunch"));
    EXPECT_EQ(Bodies(b.Frames(6, 3000)), QStringLiteral("B own|Lunch"));
    const Reply shown = daemon.Request("GET", QStringLiteral("/api/signs/a"));
    EXPECT_EQ(shown.status, 200);
    const QJsonObject state = shown.json.value(u"state").toObject();
    EXPECT_EQ(state.value(u"shows").toObject().value(u"message").toString(), QStringLiteral("Lunch"));
    EXPECT_TRUE(state.value(u"acknowledged").toBool());
    EXPECT_EQ(state.value(u"nextChange").toObject().value(u"message").toString(),
              QStringLiteral("A own"));

    daemon.Stop();
    Daemon again(m_dir.path(), m_port);
    ASSERT_TRUE(again.Start()) << again.Log().constData();
    QThread::msleep(1500);
    EXPECT_EQ(a.Frames().size(), 6);
    EXPECT_EQ(c.Frames().size(), 3);
    EXPECT_FALSE(again.Log().contains("start \"")) << again.Log().constData();
}

TEST_F(Service, ANoticeReachesItsGroupAndRevertsWhileTheApiAnswers) {
    VirtualSign a, b, c;
    ASSERT_TRUE(a.ok() && b.ok() && c.ok());
    Files({"a|" + a.Device() + "|floor1|A own", "b|" + b.Device() + "|floor1|B own",
           "c|" + c.Device() + "|floor2|C own"});
    Daemon daemon(m_dir.path(), m_port);
    ASSERT_TRUE(daemon.Start()) << daemon.Log().constData();
    ASSERT_EQ(a.Frames(3, 8000).size(), 3);
    ASSERT_EQ(b.Frames(3, 8000).size(), 3);

    EXPECT_EQ(daemon.Request("POST", QStringLiteral("/api/notices"),
                             {{"signs", "a"}, {"message", QString(151, u'x')}, {"for", "1m"}})
                  .status,
              400);
    EXPECT_EQ(daemon.Request("GET", QStringLiteral("/api/signs"), {}, "wrong").status, 401);

    const qint64 posted = MonotonicMs();
    const Reply notice =
        daemon.Request("POST", QStringLiteral("/api/notices"),
                       {{"signs", "group:floor1"}, {"message", "Fire drill"}, {"for", "5s"}});
    ASSERT_EQ(notice.status, 201) << QJsonDocument(notice.json).toJson().constData();

    // Fifty clients at once while the notice goes out: every one answered.
    std::vector<QNetworkReply*> replies;
    for (int i = 0; i < 50; ++i) {
        QNetworkRequest request(QUrl(QStringLiteral("http://127.0.0.1:%1/api/signs").arg(m_port)));
        request.setRawHeader("Authorization", "Bearer " + daemon.Token());
        replies.push_back(daemon.Network().get(request));
    }
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 5000 &&
           std::any_of(replies.begin(), replies.end(), [](auto* r) { return !r->isFinished(); }))
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    const int answered = static_cast<int>(std::count_if(replies.begin(), replies.end(), [](auto* r) {
        return r->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() == 200;
    }));
    EXPECT_EQ(answered, 50);
    EXPECT_LT(clock.elapsed(), 2000);

    const auto framesA = a.Frames(6, 5000);
    ASSERT_GE(framesA.size(), 6);
    std::printf("notice POST to its first byte on the line: %lld ms\n",
                framesA[3].value(u"firstByteMs").toInteger() - posted);
    EXPECT_EQ(Bodies(b.Frames(6, 5000)), QStringLiteral("B own|Fire drill"));
    EXPECT_EQ(Bodies(a.Frames(9, 10000)), QStringLiteral("A own|Fire drill|A own"));
    EXPECT_EQ(Bodies(c.Frames()), QStringLiteral("C own"));
    EXPECT_TRUE(daemon.Request("GET", QStringLiteral("/api/notices"))
                    .json.value(u"notices").toArray().isEmpty());
}

TEST_F(Service, ASignKilledAndRestartedIsRetriedAndCatchesUp) {
    auto sign = std::make_unique<VirtualSign>();
    ASSERT_TRUE(sign->ok());
    const QString link = Path("line");
    QFile::link(sign->Device(), link);
    Files({"a|" + link + "||A own"});
    Daemon daemon(m_dir.path(), m_port);
    ASSERT_TRUE(daemon.Start()) << daemon.Log().constData();
    ASSERT_EQ(sign->Frames(3, 8000).size(), 3);

    sign.reset();
    ASSERT_EQ(daemon.Request("POST", QStringLiteral("/api/notices"),
                             {{"signs", "all"}, {"message", "Closed"}, {"for", "10m"}})
                  .status,
              201);
    ASSERT_TRUE(daemon.WaitForLog(QStringLiteral("next try in 10 s"), 8000)) << daemon.Log().constData();
    const QJsonObject failing =
        daemon.Request("GET", QStringLiteral("/api/signs/a")).json.value(u"state").toObject();
    EXPECT_FALSE(failing.value(u"acknowledged").toBool());
    EXPECT_FALSE(failing.value(u"failingSince").isNull());

    VirtualSign back;
    QFile::remove(link);
    QFile::link(back.Device(), link);
    EXPECT_EQ(Bodies(back.Frames(3, 15000)), QStringLiteral("Closed"));
    ASSERT_TRUE(daemon.WaitForLog(QStringLiteral("a: retry \"Closed\""), 3000));
    EXPECT_TRUE(daemon.Request("GET", QStringLiteral("/api/signs/a"))
                    .json.value(u"state").toObject().value(u"acknowledged").toBool());
}

TEST_F(Service, SighupWithABrokenFileKeepsThePlanAndAGoodOneReplacesIt) {
    VirtualSign a;
    ASSERT_TRUE(a.ok());
    Files({"a|" + a.Device() + "||A own"},
          "[weekend]\nsigns=a\nmessage=Closed\ndays=Sat,Sun\n");
    QDir(m_dir.path()).mkdir(QStringLiteral("state"));
    Write(Path("state/state.json"), "{\"signs\": ");  // cut short: kept aside, never lost
    Daemon daemon(m_dir.path(), m_port);
    ASSERT_TRUE(daemon.Start()) << daemon.Log().constData();
    const QStringList aside =
        QDir(Path("state")).entryList({QStringLiteral("state.json.unreadable-*")});
    ASSERT_EQ(aside.size(), 1);
    QFile kept(Path("state/") + aside[0]);
    EXPECT_TRUE(kept.open(QIODevice::ReadOnly) && kept.readAll() == "{\"signs\": ");
    auto planned = [&] {
        return QJsonDocument(daemon.Request("GET", QStringLiteral("/api/plan?hours=168")).json)
            .toJson();
    };
    const QByteArray before = planned();
    EXPECT_TRUE(before.contains("entry weekend")) << before.constData();
    Daemon second(m_dir.path(), m_port);  // the same state folder: refused before it sends
    EXPECT_FALSE(second.Start());
    EXPECT_EQ(second.WaitExit(5000), 1);
    EXPECT_TRUE(second.Log().contains("another meridiald")) << second.Log().constData();

    Write(Path("schedule.ini"), "[service]\nlisten=127.0.0.1:" + QByteArray::number(m_port) +
                                    "\n[weekend]\nsigns=nobody\nmessage=x\n");
    daemon.Signal(SIGHUP);
    EXPECT_TRUE(daemon.WaitForLog(QStringLiteral("schedule.ini:4 [weekend]"), 5000))
        << daemon.Log().constData();
    EXPECT_TRUE(daemon.Log().contains("reload refused"));
    EXPECT_TRUE(planned().contains("entry weekend"));

    Files({"a|" + a.Device() + "||A again"});
    daemon.Signal(SIGHUP);
    EXPECT_TRUE(daemon.WaitForLog(QStringLiteral("reloaded"), 5000));
    EXPECT_EQ(Bodies(a.Frames(6, 8000)), QStringLiteral("A own|A again"));
    EXPECT_FALSE(planned().contains("entry weekend"));
}

TEST_F(Service, ASignMovedToAnotherLineWhileItWaitsIsSentThereAtOnceAndOnce) {
    VirtualSign one, two;
    ASSERT_TRUE(one.ok() && two.ok());
    const QString a = "a|" + one.Device() + "||" + QString(40, u'A');
    Files({a, "b|" + one.Device() + "||B"});
    Daemon daemon(m_dir.path(), m_port);
    ASSERT_TRUE(daemon.Start()) << daemon.Log().constData();
    ASSERT_EQ(one.Frames(1, 5000).size(), 1);  // a is on its way; b waits behind it
    Files({a, "b|" + two.Device() + "||B"});
    daemon.Signal(SIGHUP);
    EXPECT_EQ(Bodies(two.Frames(3, 3000)), QStringLiteral("B")) << daemon.Log().constData();
    EXPECT_TRUE(daemon.WaitForLog(QStringLiteral("a: start"), 8000));  // a's line is free again
    EXPECT_EQ(two.Frames(4, 1000).size(), 3) << daemon.Log().constData();
    EXPECT_FALSE(Bodies(one.Frames(9, 0)).contains(u'B'));
}

TEST_F(Service, SigtermMidTransferFinishesItClosesThePortAndRemovesItsLock) {
    VirtualSign a;
    ASSERT_TRUE(a.ok());
    Files({"a|" + a.Device() + "||" + QString(150, u'm')});
    Daemon daemon(m_dir.path(), m_port);
    ASSERT_TRUE(daemon.Start()) << daemon.Log().constData();
    ASSERT_EQ(a.Frames(1, 5000).size(), 1);  // the clock frame: the message is on its way
    daemon.Signal(SIGTERM);
    EXPECT_EQ(daemon.WaitExit(10000), 0) << daemon.Log().constData();
    EXPECT_EQ(Bodies(a.Frames(3, 1000)), QString(150, u'm'));
    EXPECT_TRUE(daemon.Log().contains("a: start")) << daemon.Log().constData();
    EXPECT_TRUE(QDir(m_dir.filePath(QStringLiteral("locks"))).isEmpty());
}

}  // namespace
}  // namespace meridial
