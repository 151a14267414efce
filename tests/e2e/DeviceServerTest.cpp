// meridial-cli against meridial-sign behind Debian's ser2net: raw TCP and RFC 2217.

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QProcess>
#include <QTcpServer>
#include <QThread>
#include <optional>

#include "support/DeviceServer.h"
#include "support/PseudoTerminal.h"
#include "support/VirtualSign.h"

namespace meridial {
namespace {

using testing::CliRun;
using testing::DeviceServer;
using testing::PseudoTerminal;
using testing::RunCli;
using testing::VirtualSign;

QStringList Transfer(const QString& port) {
    return {
        QStringLiteral("transfer"),  QStringLiteral("--port"),       port,
        QStringLiteral("--message"), QStringLiteral("HELLO \u00ff"), QStringLiteral("--id"),
        QStringLiteral("7"),         QStringLiteral("--date"),       QStringLiteral("2010-03-01"),
        QStringLiteral("--time"),    QStringLiteral("05:30:15"),     QStringLiteral("--bias"),
        QStringLiteral("-480"),      QStringLiteral("--no-dst")};
}

const char* ModeName(DeviceServer::Mode mode) {
    return mode == DeviceServer::Mode::Raw ? "raw" : "rfc2217";
}

class BehindDeviceServer : public ::testing::TestWithParam<DeviceServer::Mode> {
protected:
    void SetUp() override {
        if (!DeviceServer::Available()) GTEST_SKIP() << "ser2net is not installed";
    }
};

TEST_P(BehindDeviceServer, FramesArriveByteExactAndPacedAtTheSign) {
    VirtualSign sign;
    ASSERT_TRUE(sign.ok());
    DeviceServer server(sign.Device(), GetParam());
    ASSERT_TRUE(server.ok()) << "ser2net did not start";
    const CliRun dry = RunCli(Transfer(server.Target()) << QStringLiteral("--dry-run"));
    ASSERT_EQ(dry.exitCode, 0) << dry.err.constData();
    const QList<QByteArray> expected = dry.out.trimmed().split('\n');
    ASSERT_EQ(expected.size(), 3);
    // The checksum and the last character are 0xFF, which Telnet must escape.
    ASSERT_TRUE(expected[2].contains("FF")) << expected[2].constData();

    const CliRun run = RunCli(Transfer(server.Target()));
    EXPECT_EQ(run.exitCode, 0) << run.err.constData();
    const auto frames = sign.Frames(3);
    ASSERT_EQ(frames.size(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(frames[i][QStringLiteral("hex")].toString().toLatin1(), expected[i]);
        EXPECT_TRUE(frames[i][QStringLiteral("faults")].toArray().isEmpty());
        // Measured at the sign, after the server's serial side: lower bounds with 10 ms slack.
        EXPECT_GE(frames[i][QStringLiteral("byte11Ms")].toDouble() -
                      frames[i][QStringLiteral("firstByteMs")].toDouble(),
                  90);
    }
    for (int i = 1; i < 3; ++i)
        EXPECT_GE(frames[i][QStringLiteral("firstByteMs")].toDouble() -
                      frames[i - 1][QStringLiteral("lastByteMs")].toDouble(),
                  290);
    const double span = frames[2][QStringLiteral("lastByteMs")].toDouble() -
                        frames[2][QStringLiteral("firstByteMs")].toDouble();
    const int bytes = frames[2][QStringLiteral("hex")].toString().split(u' ').size();
    EXPECT_GE(span, (bytes - 1) * 16 + 100 - 10);
}

TEST_P(BehindDeviceServer, ServerStoppedMidTransferEndsLikeAFailedLine) {
    VirtualSign sign;
    ASSERT_TRUE(sign.ok());
    DeviceServer server(sign.Device(), GetParam());
    ASSERT_TRUE(server.ok());
    QProcess cli;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("MERIDIAL_SETTINGS"), QStringLiteral("/nonexistent/meridial.INI"));
    cli.setProcessEnvironment(env);
    cli.start(QStringLiteral(MERIDIAL_CLI_PATH), Transfer(server.Target()));
    ASSERT_TRUE(cli.waitForStarted());
    QThread::msleep(250);  // inside the first frames
    server.Stop();
    ASSERT_TRUE(cli.waitForFinished(8000)) << "the CLI hung after the server went away";
    EXPECT_EQ(cli.exitCode(), 1);
    const QByteArray err = cli.readAllStandardError();
    EXPECT_EQ(err.count("line failed"), 1) << err.constData();
}

INSTANTIATE_TEST_SUITE_P(Modes, BehindDeviceServer,
                         ::testing::Values(DeviceServer::Mode::Raw, DeviceServer::Mode::Rfc2217),
                         [](const auto& info) { return std::string(ModeName(info.param)); });

struct ServerReplyCase {
    DeviceServer::Mode mode;
    const char* reply;  // the sign's answer; "stale": none, but an "ACK" waits at the server
    int exitCode;
};

class DeviceServerReplies : public ::testing::TestWithParam<ServerReplyCase> {};

TEST_P(DeviceServerReplies, OnlyAckSucceeds) {
    if (!DeviceServer::Available()) GTEST_SKIP() << "ser2net is not installed";
    const ServerReplyCase& c = GetParam();
    const bool stale = QByteArray(c.reply) == "stale";
    PseudoTerminal line;  // stale: a far side that never answers
    std::optional<VirtualSign> sign;
    if (!stale) sign.emplace(QStringList{QStringLiteral("--reply"), QString::fromLatin1(c.reply)});
    ASSERT_TRUE(stale ? line.ok() : sign->ok());
    DeviceServer server(stale ? line.Path() : sign->Device(), c.mode);
    ASSERT_TRUE(server.ok());
    if (stale) QThread::msleep(200);  // the server's start-up probe has come and gone
    if (stale) line.Write("ACK");
    const CliRun run = RunCli(Transfer(server.Target()));
    EXPECT_EQ(run.exitCode, c.exitCode) << run.err.constData();
}

INSTANTIATE_TEST_SUITE_P(
    Replies, DeviceServerReplies,
    ::testing::Values(ServerReplyCase{DeviceServer::Mode::Raw, "ack", 0},
                      ServerReplyCase{DeviceServer::Mode::Raw, "split", 0},
                      ServerReplyCase{DeviceServer::Mode::Raw, "nak", 1},
                      ServerReplyCase{DeviceServer::Mode::Raw, "garbage", 1},
                      ServerReplyCase{DeviceServer::Mode::Raw, "partial", 1},
                      ServerReplyCase{DeviceServer::Mode::Raw, "silent", 1},
                      ServerReplyCase{DeviceServer::Mode::Raw, "stale", 1},
                      ServerReplyCase{DeviceServer::Mode::Rfc2217, "ack", 0},
                      ServerReplyCase{DeviceServer::Mode::Rfc2217, "split", 0},
                      ServerReplyCase{DeviceServer::Mode::Rfc2217, "nak", 1},
                      ServerReplyCase{DeviceServer::Mode::Rfc2217, "garbage", 1},
                      ServerReplyCase{DeviceServer::Mode::Rfc2217, "partial", 1},
                      ServerReplyCase{DeviceServer::Mode::Rfc2217, "silent", 1},
                      ServerReplyCase{DeviceServer::Mode::Rfc2217, "stale", 1}),
    [](const auto& info) {
        return std::string(ModeName(info.param.mode)) + "_" + info.param.reply;
    });

// Servers that are not there, or that take the connection and never pass anything on.
TEST(NetworkTarget, RefusedIsAnOpenFailureAndSilenceIsNotAcknowledged) {
    const CliRun refused =
        RunCli(Transfer(QStringLiteral("tcp://127.0.0.1:%1").arg(testing::FreeLoopbackPort())));
    EXPECT_EQ(refused.exitCode, 3);
    EXPECT_TRUE(refused.err.contains("refused")) << refused.err.constData();

    QTcpServer mute;  // the system accepts on its behalf; nothing is ever read or answered
    ASSERT_TRUE(mute.listen(QHostAddress::LocalHost, 0));
    for (const char* scheme : {"tcp", "rfc2217"}) {
        const CliRun silent = RunCli(Transfer(
            QStringLiteral("%1://127.0.0.1:%2").arg(QLatin1String(scheme)).arg(mute.serverPort())));
        EXPECT_EQ(silent.exitCode, 1) << scheme << silent.err.constData();
        EXPECT_GE(silent.elapsedMs, 3 * 1100) << scheme;
    }
}

}  // namespace
}  // namespace meridial
