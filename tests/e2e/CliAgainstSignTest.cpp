// meridial-cli against meridial-sign over a real pseudo-terminal.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QProcess>
#include <QSerialPort>
#include <QThread>
#include <QTimer>
#include <cctype>
#include <string>
#include <tuple>

#include "support/VirtualSign.h"

namespace meridial {
namespace {

using testing::CliRun;
using testing::RunCli;
using testing::VirtualSign;

const QStringList kFixed{
    QStringLiteral("--id"),         QStringLiteral("7"),         QStringLiteral("--date"),
    QStringLiteral("2010-03-01"),   QStringLiteral("--time"),    QStringLiteral("05:30:15"),
    QStringLiteral("--bias"),       QStringLiteral("-480"),      QStringLiteral("--no-dst"),
    QStringLiteral("--zone"),       QStringLiteral("16"),        QStringLiteral("--dst-start"),
    QStringLiteral("2010-03-28:2"), QStringLiteral("--dst-end"), QStringLiteral("2010-10-31:3")};

QStringList Transfer(const QString& port, const QString& message = QStringLiteral("HELLO")) {
    return QStringList{QStringLiteral("transfer"), QStringLiteral("--port"), port,
                       QStringLiteral("--message"), message} +
           kFixed;
}

class CliAgainstSign : public ::testing::Test {
protected:
    static void RequireSign(const VirtualSign& sign) {
        ASSERT_TRUE(sign.ok()) << "meridial-sign did not start";
    }
    QString WriteSettings(const QByteArray& content) {
        const QString path = dir.filePath(QStringLiteral("m.ini"));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        return path;
    }
    QTemporaryDir dir;
};

TEST_F(CliAgainstSign, FramesArriveByteExactAndPaced) {
    VirtualSign sign;
    RequireSign(sign);
    const CliRun dry = RunCli(Transfer(QStringLiteral("COM1")) << QStringLiteral("--dry-run"));
    ASSERT_EQ(dry.exitCode, 0) << dry.err.constData();
    const QList<QByteArray> expected = dry.out.trimmed().split('\n');
    ASSERT_EQ(expected.size(), 3);

    const CliRun run = RunCli(Transfer(sign.LinkPath()));
    EXPECT_EQ(run.exitCode, 0) << run.err.constData();
    EXPECT_EQ(run.out.trimmed(), QByteArray("Transmission OK."));
    const auto frames = sign.Frames(3);
    ASSERT_EQ(frames.size(), 3);
    const char* kinds[] = {"clock", "zone", "message"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(frames[i][QStringLiteral("kind")].toString(), QLatin1String(kinds[i]));
        EXPECT_EQ(frames[i][QStringLiteral("hex")].toString().toLatin1(), expected[i]);
        EXPECT_TRUE(frames[i][QStringLiteral("faults")].toArray().isEmpty());
        // Lower bounds only, each with 10 ms for the reader being scheduled late.
        const double headerPause = frames[i][QStringLiteral("byte11Ms")].toDouble() -
                                   frames[i][QStringLiteral("firstByteMs")].toDouble();
        EXPECT_GE(headerPause, 90) << kinds[i];
    }
    for (int i = 1; i < 3; ++i) {
        const double gap = frames[i][QStringLiteral("firstByteMs")].toDouble() -
                           frames[i - 1][QStringLiteral("lastByteMs")].toDouble();
        EXPECT_GE(gap, 290) << "before " << kinds[i];
    }
    // The message's bytes are spaced: its span covers every interval and the header pause. (Single
    // gaps are not asserted: a late reader sees two bytes at once.)
    const double span = frames[2][QStringLiteral("lastByteMs")].toDouble() -
                        frames[2][QStringLiteral("firstByteMs")].toDouble();
    const int bytes = frames[2][QStringLiteral("hex")].toString().split(u' ').size();
    EXPECT_GE(span, (bytes - 1) * 16 + 100 - 10);
    EXPECT_EQ(frames[0][QStringLiteral("decoded")].toObject()[QStringLiteral("utc")].toString(),
              QStringLiteral("2010-02-28T21:30:15Z"));
}

struct ReplyCase {
    const char* mode;
    int exitCode;
    qint64 atLeastMs;  // the read time-outs a missing reply costs
};

class ReplyModes : public ::testing::TestWithParam<ReplyCase> {};

TEST_P(ReplyModes, OnlyAckSucceeds) {
    const ReplyCase& c = GetParam();
    VirtualSign sign({QStringLiteral("--reply"), QString::fromLatin1(c.mode)});
    ASSERT_TRUE(sign.ok());
    const CliRun run = RunCli(Transfer(sign.LinkPath()));
    EXPECT_EQ(run.exitCode, c.exitCode) << run.err.constData();
    EXPECT_GE(run.elapsedMs, c.atLeastMs);
    if (c.exitCode == 1) {
        EXPECT_TRUE(run.err.contains("Transmission Error.")) << run.err.constData();
    }
}

INSTANTIATE_TEST_SUITE_P(Sign, ReplyModes,
                         ::testing::Values(ReplyCase{"ack", 0, 0}, ReplyCase{"split", 0, 400},
                                           ReplyCase{"nak", 1, 0}, ReplyCase{"garbage", 1, 0},
                                           ReplyCase{"partial", 1, 1100},
                                           ReplyCase{"silent", 1, 3300}),
                         [](const auto& info) { return std::string(info.param.mode); });

TEST_F(CliAgainstSign, SignAnswersOnlyItsOwnId) {
    VirtualSign sign({QStringLiteral("--id"), QStringLiteral("3")});
    RequireSign(sign);
    EXPECT_EQ(RunCli(Transfer(sign.LinkPath())).exitCode, 1);  // addressed to 7
}

TEST_F(CliAgainstSign, PortHeldByAnotherProgramSendsNothing) {
    VirtualSign sign;
    RequireSign(sign);
    QSerialPort holder(sign.Device());
    ASSERT_TRUE(holder.open(QIODevice::ReadWrite));
    const CliRun run = RunCli(Transfer(sign.LinkPath()));
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_TRUE(run.err.contains("Open Com Error")) << run.err.constData();
    holder.close();
    QThread::msleep(200);
    EXPECT_TRUE(sign.Frames(0, 0).isEmpty());
}

// A log in a shared folder: meridial-sign refuses a name that is a symbolic link (it would append
// to whatever the link points at) or a FIFO (it would wait for a reader for ever).
class SignLogPath : public CliAgainstSign,
                    public ::testing::WithParamInterface<std::pair<const char*, bool>> {};

TEST_P(SignLogPath, RefusedUnlessARegularFile) {
    const auto [kind, fifo] = GetParam();
    const QString victim = dir.filePath(QStringLiteral("victim"));
    QFile(victim).open(QIODevice::WriteOnly);
    const QString log = dir.filePath(QLatin1String(kind));
    if (fifo)
        ASSERT_EQ(::mkfifo(log.toLocal8Bit().constData(), 0600), 0);
    else
        ASSERT_TRUE(QFile::link(victim, log));
    QProcess sign;
    sign.start(QStringLiteral(MERIDIAL_SIGN_PATH), {QStringLiteral("--log"), log});
    const bool ended = sign.waitForFinished(5000);
    if (!ended) sign.kill();
    EXPECT_TRUE(ended);
    EXPECT_EQ(sign.exitCode(), 2);
    EXPECT_TRUE(sign.readAllStandardError().contains("cannot open log"));
    EXPECT_EQ(QFileInfo(victim).size(), 0);
}

INSTANTIATE_TEST_SUITE_P(Sign, SignLogPath,
                         ::testing::Values(std::pair{"symlink", false}, std::pair{"fifo", true}),
                         [](const auto& info) { return std::string(info.param.first); });

TEST_F(CliAgainstSign, SignRemovesOnlyItsOwnLink) {
    const QString link = dir.filePath(QStringLiteral("sign"));
    QProcess sign;
    sign.start(QStringLiteral(MERIDIAL_SIGN_PATH), {QStringLiteral("--link"), link});
    ASSERT_TRUE(sign.waitForReadyRead(5000));
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    // Someone else takes the name while the sign runs.
    QFile::remove(link);
    QFile other(link);
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.close();
    sign.terminate();
    ASSERT_TRUE(sign.waitForFinished(5000));
    EXPECT_TRUE(QFileInfo::exists(link));
}

TEST_F(CliAgainstSign, MissingDeviceAndBadValues) {
    const CliRun missing = RunCli(Transfer(QStringLiteral("/dev/nonexistent-sign")));
    EXPECT_EQ(missing.exitCode, 3);
    EXPECT_TRUE(missing.err.contains("no such device")) << missing.err.constData();

    const CliRun badId =
        RunCli({QStringLiteral("transfer"), QStringLiteral("--id"), QStringLiteral("100")});
    EXPECT_EQ(badId.exitCode, 2);
    EXPECT_TRUE(badId.err.contains("--id")) << badId.err.constData();

    const CliRun badPort = RunCli(Transfer(QStringLiteral("COM9")));
    EXPECT_EQ(badPort.exitCode, 2);
}

TEST_F(CliAgainstSign, NothingIsSentForAnEmptyMessageOrABadRow) {
    VirtualSign sign;
    RequireSign(sign);
    const CliRun empty = RunCli(Transfer(sign.LinkPath(), QString()));
    EXPECT_EQ(empty.exitCode, 2);
    EXPECT_TRUE(empty.err.contains("No message to transfer!"));

    QStringList badRow = Transfer(sign.LinkPath());
    badRow << QStringLiteral("--dst-end") << QStringLiteral("2013-02-29:2");
    const CliRun bad = RunCli(badRow);
    EXPECT_EQ(bad.exitCode, 4);
    EXPECT_TRUE(bad.err.contains("Invalid argument to date encode")) << bad.err.constData();

    const CliRun unencodable =
        RunCli(Transfer(sign.LinkPath(), QStringLiteral("caf\u00e9 \u4f60")));
    EXPECT_EQ(unencodable.exitCode, 4);
    EXPECT_TRUE(unencodable.err.contains("U+4F60")) << unencodable.err.constData();

    QThread::msleep(200);
    EXPECT_TRUE(sign.Frames(0, 0).isEmpty());
}

TEST_F(CliAgainstSign, MessageFromStandardInputInTheConfiguredCodePage) {
    VirtualSign sign;
    RequireSign(sign);
    const QString ini = WriteSettings("[Sign]\ncodepage=936\n");
    QStringList args = Transfer(sign.LinkPath());
    args.removeAt(args.indexOf(QStringLiteral("--message")) + 1);
    args.removeAt(args.indexOf(QStringLiteral("--message")));
    args << QStringLiteral("--message-file") << QStringLiteral("-");
    const CliRun run = RunCli(args, QStringLiteral("\u4f60\u597d\n").toUtf8(),
                              {{QStringLiteral("MERIDIAL_SETTINGS"), ini}});
    EXPECT_EQ(run.exitCode, 0) << run.err.constData();
    const auto frames = sign.Frames(3);
    ASSERT_EQ(frames.size(), 3);
    EXPECT_TRUE(
        frames[2][QStringLiteral("hex")].toString().contains(QStringLiteral("3E C4 E3 BA C3")));
}

TEST_F(CliAgainstSign, ComNumberMapsThroughTheSettingsFile) {
    VirtualSign sign;
    RequireSign(sign);
    const QString ini = WriteSettings(
        QStringLiteral("[Sign]\ncomport=4\n[Ports]\nCOM4=%1\n").arg(sign.LinkPath()).toUtf8());
    QStringList args = Transfer(QString());
    args.removeAt(1);
    args.removeAt(1);  // no --port: the remembered COM4
    const CliRun run = RunCli(args, {}, {{QStringLiteral("MERIDIAL_SETTINGS"), ini}});
    EXPECT_EQ(run.exitCode, 0) << run.err.constData();
}

TEST_F(CliAgainstSign, ResetIdArrivesAsElevenBytes) {
    VirtualSign sign;
    RequireSign(sign);
    const CliRun run = RunCli({QStringLiteral("reset-id"), QStringLiteral("0A"),
                               QStringLiteral("--port"), sign.LinkPath()});
    EXPECT_EQ(run.exitCode, 0) << run.err.constData();
    const auto frames = sign.Frames(1);
    ASSERT_EQ(frames.size(), 1);
    EXPECT_EQ(frames[0][QStringLiteral("kind")].toString(), QStringLiteral("reset"));
    EXPECT_EQ(frames[0][QStringLiteral("hex")].toString(),
              QStringLiteral("3C 49 44 3E 3C 30 41 3E 3C 45 3E"));
}

TEST_F(CliAgainstSign, DeviceVanishingMidTransferEndsWithOneClearError) {
    auto sign = std::make_unique<VirtualSign>();
    RequireSign(*sign);
    QProcess cli;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("MERIDIAL_SETTINGS"), QStringLiteral("/nonexistent/meridial.INI"));
    cli.setProcessEnvironment(env);
    cli.start(QStringLiteral(MERIDIAL_CLI_PATH), Transfer(sign->Device()));
    ASSERT_TRUE(cli.waitForStarted());
    QThread::msleep(250);  // inside the first frames
    sign->Kill();
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(cli.waitForFinished(8000)) << "the CLI hung after the device went away";
    EXPECT_LT(clock.elapsed(), 6000);
    EXPECT_EQ(cli.exitCode(), 1);
    const QByteArray err = cli.readAllStandardError();
    EXPECT_TRUE(err.contains("serial line failed")) << err.constData();
    EXPECT_EQ(err.count("serial line failed"), 1);
}

struct LocalTimeCase {
    const char* tz;    // the PC's zone; the sign's zone and DST rows follow it by default
    const char* date;  // the PC's local date and time
    const char* time;
    bool daylight;  // in force at that moment (the CLI otherwise takes it for now)
};

class SignShowsLocalTime : public ::testing::TestWithParam<LocalTimeCase> {};

// The sign's own clock (UTC, zone offset, an hour between the DST rows) must read the zone's
// wall-clock time, on both sides of the year and just after each change.
TEST_P(SignShowsLocalTime, AllYear) {
    const LocalTimeCase& c = GetParam();
    VirtualSign sign;
    ASSERT_TRUE(sign.ok());
    const CliRun run =
        RunCli({QStringLiteral("transfer"), QStringLiteral("--port"), sign.LinkPath(),
                QStringLiteral("--message"), QStringLiteral("T"), QStringLiteral("--date"),
                QLatin1String(c.date), QStringLiteral("--time"), QLatin1String(c.time),
                c.daylight ? QStringLiteral("--dst") : QStringLiteral("--no-dst")},
               {}, {{QStringLiteral("TZ"), QLatin1String(c.tz)}});
    ASSERT_EQ(run.exitCode, 0) << run.err.constData();
    EXPECT_TRUE(run.err.isEmpty()) << run.err.constData();
    QByteArray shown;
    QElapsedTimer clock;
    clock.start();
    while (!shown.contains("display |") && clock.elapsed() < 3000) shown += sign.Output();
    const qsizetype at = shown.indexOf("display | ");
    ASSERT_GE(at, 0) << shown.constData();
    // The clock runs on while the message is sent: compare hours and minutes.
    EXPECT_EQ(shown.mid(at + 10, 5), QByteArray(c.time).left(5)) << shown.constData();
}

INSTANTIATE_TEST_SUITE_P(
    Zones, SignShowsLocalTime,
    ::testing::Values(LocalTimeCase{"Europe/Berlin", "2026-07-15", "12:00:00", true},
                      LocalTimeCase{"Europe/Berlin", "2026-01-15", "12:00:00", false},
                      LocalTimeCase{"Europe/Dublin", "2026-12-08", "12:00:00", false},
                      LocalTimeCase{"Europe/Dublin", "2026-07-15", "12:00:00", true},
                      LocalTimeCase{"Australia/Sydney", "2026-01-15", "12:00:00", true},
                      // 02:00 EST became 03:00 EDT; 02:00 EDT became 01:00 EST.
                      LocalTimeCase{"America/New_York", "2026-03-08", "03:20:00", true},
                      LocalTimeCase{"America/New_York", "2026-11-01", "01:20:00", false}),
    [](const auto& info) {
        std::string name = info.param.tz;
        for (char& ch : name)
            if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
        return name + "_" + std::string(info.param.date).substr(5, 2);
    });

TEST_F(CliAgainstSign, TimeZoneErrorsSendNothing) {
    VirtualSign sign;
    RequireSign(sign);
    for (auto [tz, date, exitCode, says] :
         {std::tuple{"Mars/Olympus", "2026-07-01", 2, "unknown time zone 'Mars/Olympus'"},
          std::tuple{"Africa/Casablanca", "2015-07-01", 4, "4 times in 2015"}}) {
        const CliRun run =
            RunCli({QStringLiteral("transfer"), QStringLiteral("--port"), sign.LinkPath(),
                    QStringLiteral("--message"), QStringLiteral("T"), QStringLiteral("--tz"),
                    QLatin1String(tz), QStringLiteral("--date"), QLatin1String(date)});
        EXPECT_EQ(run.exitCode, exitCode) << tz;
        EXPECT_TRUE(run.err.contains(says)) << run.err.constData();
    }
    // Half-hour changes: sent, with a warning.
    const CliRun adelaide = RunCli({QStringLiteral("transfer"), QStringLiteral("--dry-run"),
                                    QStringLiteral("--message"), QStringLiteral("T"),
                                    QStringLiteral("--tz"), QStringLiteral("Australia/Adelaide")});
    EXPECT_EQ(adelaide.exitCode, 0);
    EXPECT_TRUE(adelaide.err.contains("Warning: Australia/Adelaide")) << adelaide.err.constData();
    QThread::msleep(200);
    EXPECT_TRUE(sign.Frames(0, 0).isEmpty());
}

}  // namespace
}  // namespace meridial
