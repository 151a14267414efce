// meridial-cli against meridial-sign over a real pseudo-terminal.

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QSerialPort>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>
#include <cctype>
#include <string>
#include <tuple>

#include "message/MessageFrame.h"
#include "support/PseudoTerminal.h"
#include "support/VirtualSign.h"

namespace meridial {
namespace {

using testing::CliRun;
using testing::PseudoTerminal;
using testing::RunCli;
using testing::RunProgram;
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

QStringList Words(const char* text) { return QString::fromUtf8(text).split(u' '); }

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
    qint64 atLeastMs;    // the read time-outs a missing reply costs
    const char* reason;  // the line that says why, after the program's name
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
        EXPECT_TRUE(run.err.contains(QByteArray("\nmeridial-cli: ") + c.reason))
            << run.err.constData();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sign, ReplyModes,
    ::testing::Values(ReplyCase{"ack", 0, 0, ""}, ReplyCase{"split", 0, 400, ""},
                      ReplyCase{"nak", 1, 0, "the sign answered NACK (\"NACK\")"},
                      ReplyCase{"garbage", 1, 0, "the sign answered \"XYZ\", not \"ACK\""},
                      ReplyCase{"partial", 1, 1100, "the sign sent part of an answer (\"AC\")"},
                      ReplyCase{"silent", 1, 3300,
                                "the sign stayed silent for 3 reads of 1100 ms"}),
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
    // The holder's lock file names it: this test program.
    const QByteArray heldBy = QStringLiteral("held by %1 (process %2)")
                                  .arg(QCoreApplication::applicationName().left(15))
                                  .arg(QCoreApplication::applicationPid())
                                  .toUtf8();
    EXPECT_TRUE(run.err.contains(heldBy)) << run.err.constData();
    holder.close();
    QThread::msleep(200);
    EXPECT_TRUE(sign.Frames(0, 0).isEmpty());
}

TEST_F(CliAgainstSign, KilledClientsExclusiveFlagIsCleared) {
    VirtualSign sign;
    RequireSign(sign);
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t client = ::fork();
    if (client == 0) {
        ::ioctl(::open(QFile::encodeName(sign.Device()).constData(), O_RDWR | O_NOCTTY), TIOCEXCL);
        [[maybe_unused]] const auto written = ::write(ready[1], "x", 1);
        ::pause();
        ::_exit(0);
    }
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ::kill(client, SIGKILL);
    ::waitpid(client, nullptr, 0);
    // The sign clears the flag once it sees the client gone; a loaded machine may take a while.
    const QByteArray device = QFile::encodeName(sign.Device());
    for (int waited = 0; waited < 5000; waited += 20) {
        const int fd = ::open(device.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        int exclusive = 1;
        if (fd >= 0) ::ioctl(fd, TIOCGEXCL, &exclusive);
        if (fd >= 0) ::close(fd);
        if (exclusive == 0) break;
        QThread::msleep(20);
    }
    const CliRun run = RunCli(Transfer(sign.LinkPath()));
    EXPECT_EQ(run.exitCode, 0) << run.err.constData();
    ::close(ready[0]);
    ::close(ready[1]);
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
    EXPECT_EQ(RunCli(Transfer(QStringLiteral("COM99999999999"))).exitCode, 2);
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

// Input the sign cannot use is refused before the port opens, nothing sent; input it can use
// but may misread is sent with a warning. In the arguments, {fifo} is a FIFO no one writes,
// {over} one byte more than the sign decodes and {longest} exactly that much.
struct InputCase {
    const char* name;
    QStringList args;      // after "transfer --port <the sign>"
    const char* settings;  // the settings file: nullptr none, "{fifo}", or its content
    QByteArray input;      // standard input
    int exitCode;
    const char* err;  // in standard error
};

class InputChecks : public CliAgainstSign, public ::testing::WithParamInterface<InputCase> {};

TEST_P(InputChecks, RefusedBeforeOpeningOrSentWithAWarning) {
    const InputCase& c = GetParam();
    VirtualSign sign;
    RequireSign(sign);
    const QString fifo = dir.filePath(QStringLiteral("fifo"));
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    QStringList args{QStringLiteral("transfer"), QStringLiteral("--port"), sign.LinkPath()};
    for (QString arg : c.args) {
        arg.replace(QStringLiteral("{fifo}"), fifo);
        arg.replace(QStringLiteral("{over}"), QString(kMaxMessageBodyBytes + 1, u'x'));
        arg.replace(QStringLiteral("{longest}"), QString(kMaxMessageBodyBytes, u'x'));
        args << arg;
    }
    QMap<QString, QString> env;
    if (c.settings)
        env.insert(QStringLiteral("MERIDIAL_SETTINGS"),
                   QByteArray(c.settings) == "{fifo}" ? fifo : WriteSettings(c.settings));
    const CliRun run = RunCli(args, c.input, env);
    EXPECT_EQ(run.exitCode, c.exitCode) << run.err.constData();
    EXPECT_TRUE(run.err.contains(c.err)) << run.err.constData();
    EXPECT_LT(run.elapsedMs, 20000);
    if (c.exitCode == 0) return;
    QThread::msleep(200);
    EXPECT_TRUE(sign.Frames(0, 0).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Cli, InputChecks,
    ::testing::Values(
        InputCase{"TimeHourPast23",
                  Words("--message HI --time 29:00:00"),
                  nullptr,
                  {},
                  2,
                  "--time: '29:00:00' is not a time of the field"},
        InputCase{"TimeMinutePast59",
                  Words("--message HI --time 12:75:00"),
                  nullptr,
                  {},
                  2,
                  "--time: '12:75:00'"},
        InputCase{"TimeAllNines",
                  Words("--message HI --time 99:99:99"),
                  nullptr,
                  {},
                  2,
                  "--time: '99:99:99'"},
        InputCase{"TimeSecond60",
                  Words("--message HI --time 23:59:60"),
                  nullptr,
                  {},
                  2,
                  "--time: '23:59:60'"},
        InputCase{"TimeWithTrailingNewline",
                  {QStringLiteral("--message"), QStringLiteral("HI"), QStringLiteral("--time"),
                   QStringLiteral("12:00:00\n")},
                  nullptr,
                  {},
                  2,
                  "--time: '12:00:00\n'"},
        InputCase{"TimeWithBlankHourDigit",
                  {QStringLiteral("--message"), QStringLiteral("HI"), QStringLiteral("--time"),
                   QStringLiteral(" 5:30:15")},
                  nullptr,
                  {},
                  0,
                  ""},
        InputCase{"IdWithPlaceholder",
                  Words("--message HI --id %1"),
                  nullptr,
                  {},
                  2,
                  "--id: '%1' is not a whole number from 0 to 99\n"},
        InputCase{"SpeedWithPlaceholders",
                  Words("--message HI --speed %2%1"),
                  nullptr,
                  {},
                  2,
                  "--speed: '%2%1' is not a whole number from 0 to 4\n"},
        InputCase{"MessageLongerThanTheSignDecodes",
                  Words("--message {over}"),
                  nullptr,
                  {},
                  4,
                  "the message is 4083 bytes once encoded; the sign takes at most 4082"},
        InputCase{"LongestMessage", Words("--dry-run --message {longest}"), nullptr, {}, 0, ""},
        InputCase{"MessageFileNotRegular",
                  Words("--message-file /dev/zero"),
                  nullptr,
                  {},
                  2,
                  "--message-file: '/dev/zero' is not a regular file"},
        InputCase{"MessageFileFifo",
                  Words("--message-file {fifo}"),
                  nullptr,
                  {},
                  2,
                  "is not a regular file"},
        InputCase{"EndlessStandardInput", Words("--message-file -"), nullptr,
                  QByteArray(70000, 'x'), 2, "standard input holds more than 65536 bytes"},
        InputCase{"EndMarkerInMessage",
                  Words("--message A<E>B"),
                  nullptr,
                  {},
                  0,
                  "Warning: the message holds \"<E>\"; a sign may cut it there"},
        InputCase{"AddressInMessage",
                  Words("--message A<ID03>B"),
                  nullptr,
                  {},
                  0,
                  "Warning: the message holds \"<ID\""},
        InputCase{"SettingsFifo",
                  Words("--message HI"),
                  "{fifo}",
                  {},
                  0,
                  "' is not a regular file; using the defaults (COM1)"},
        InputCase{"SettingsGarbage",
                  Words("--message HI"),
                  "\x01\x02garbage\xff\xfe",
                  {},
                  0,
                  "' is not a settings file; using the defaults (COM1)"},
        InputCase{"SettingsPortNotANumber",
                  Words("--message HI"),
                  "[Sign]\ncomport=abc\n",
                  {},
                  0,
                  "' says comport=abc, not a number; using the defaults (COM1)"},
        InputCase{"SettingsStrayQuote",
                  Words("--message HI"),
                  "\"legacy\n[Sign]\ncomport=1\n",
                  {},
                  0,
                  "' line 1: '\"legacy' is neither key=value, [section] nor a comment\n"}),
    [](const auto& info) { return std::string(info.param.name); });

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

// Ended by a signal while it holds the port: the CLI closes it (so no lock file stays behind to
// refuse the next user) and exits as a shell reports the signal; the window closes as if asked.
struct StopCase {
    const char* name;
    bool window;
    int signal;
    int exitCode;
};

class StopSignals : public CliAgainstSign, public ::testing::WithParamInterface<StopCase> {};

TEST_P(StopSignals, ClosePortAndLeaveNoLockFile) {
    const StopCase& c = GetParam();
#ifndef MERIDIAL_APP_PATH
    if (c.window) GTEST_SKIP() << "the desktop program is not built";
#endif
    VirtualSign sign;
    ASSERT_TRUE(sign.ok());
    QString lockName = sign.Device();
    lockName.remove(QStringLiteral("/dev/")).replace(u'/', u'_');
    const QStringList lockFiles{QStringLiteral("/run/lock/LCK..") + lockName,
                                QStringLiteral("/var/lock/LCK..") + lockName};
    QProcess program;
    if (c.window) {
#ifdef MERIDIAL_APP_PATH
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("MERIDIAL_SETTINGS"), dir.filePath(QStringLiteral("m.ini")));
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(MERIDIAL_APP_PATH), {});
#endif
    } else {
        program.start(QStringLiteral(MERIDIAL_CLI_PATH), Transfer(sign.LinkPath())
                                                             << QStringLiteral("--verbose"));
    }
    ASSERT_TRUE(program.waitForStarted());
    // The CLI: in the wait after the clock frame, the port held. The window: up and idle.
    QThread::msleep(c.window ? 1500 : 250);
    ASSERT_EQ(program.state(), QProcess::Running);
    const bool outputClosed = c.signal == SIGPIPE;  // the trace's reader goes away
    if (outputClosed) program.closeReadChannel(QProcess::StandardError);
    ASSERT_EQ(::kill(static_cast<pid_t>(program.processId()), c.signal), 0);
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(program.waitForFinished(5000));
    const qint64 endedMs = clock.elapsed();
    EXPECT_TRUE(outputClosed || endedMs < 500) << "did not end promptly";
    RecordProperty("endedMs", static_cast<int>(endedMs));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), c.exitCode);
    if (c.window) return;
    // A closed output lets the transfer end whole, no frame cut short.
    EXPECT_TRUE(outputClosed ? sign.Frames(3).size() == 3
                             : program.readAllStandardError().contains("the port is closed"));
    for (const QString& lock : lockFiles)
        EXPECT_FALSE(QFileInfo::exists(lock)) << lock.toStdString();
    // The next transfer goes ahead at once.
    const CliRun next = RunCli(Transfer(sign.LinkPath()));
    EXPECT_EQ(next.exitCode, 0) << next.err.constData();
}

INSTANTIATE_TEST_SUITE_P(Programs, StopSignals,
                         ::testing::Values(StopCase{"CliInterrupt", false, SIGINT, 130},
                                           StopCase{"CliTerminate", false, SIGTERM, 143},
                                           StopCase{"CliHangUp", false, SIGHUP, 129},
                                           StopCase{"CliOutputClosed", false, SIGPIPE, 0},
                                           StopCase{"WindowTerminate", true, SIGTERM, 143},
                                           StopCase{"WindowHangUp", true, SIGHUP, 129}),
                         [](const auto& info) { return std::string(info.param.name); });

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
    // Abbreviations and POSIX rules Qt would take for zones, a typo, 4 KiB of letters.
    for (const QString& tz :
         Words("PST CEST IST AEST XYZ Europe/Berln") + QStringList{QString(4096, u'A')}) {
        const CliRun run = RunCli(Words("transfer --dry-run --message T --tz") << tz);
        EXPECT_EQ(run.exitCode, 2) << run.err.left(80).constData();
    }
    for (auto [tz, date, exitCode, says] :
         {std::tuple{"Mars/Olympus", "2026-07-01", 2, "unknown time zone 'Mars/Olympus'"},
          std::tuple{"Africa/Casablanca", "2015-07-01", 4, "Casablanca: the zone changes"}}) {
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

// A nightly transfer on the PC's zone goes ahead whatever the year: the offset in force, no DST.
TEST_F(CliAgainstSign, LocalZoneTheSignCannotFollowStillSends) {
    VirtualSign sign;
    RequireSign(sign);
    int sent = 0;
    for (auto [tz, date, offset] : {std::tuple{"Africa/Casablanca", "2029-07-01", "+01:00"},
                                    {"XXX+2:30", "2026-07-01", "+00:00"},
                                    {"Europe/Berlin", "2100-07-01", "+02:00"}}) {
        const CliRun run =
            RunCli(Words("transfer --message T --date")
                       << QLatin1String(date) << QStringLiteral("--port") << sign.LinkPath(),
                   {}, {{QStringLiteral("TZ"), QLatin1String(tz)}});
        EXPECT_EQ(run.exitCode, 0) << tz << run.err.constData();
        EXPECT_TRUE(run.err.contains("without daylight saving time")) << run.err.constData();
        const auto frames = sign.Frames(sent += 3);
        ASSERT_EQ(frames.size(), sent) << tz;
        const QJsonObject zone = frames[sent - 2][QStringLiteral("decoded")].toObject();
        EXPECT_EQ(zone[QStringLiteral("offset")].toString(), QLatin1String(offset)) << tz;
        EXPECT_TRUE(zone[QStringLiteral("dstStart")].toString().startsWith(QLatin1String("none")));
    }
}

// Every option form gives the same frames as its spelled-out twin.
struct FormCase {
    const char* name;
    QStringList args;
    QStringList twin;
};

class OptionForms : public ::testing::TestWithParam<FormCase> {};

TEST_P(OptionForms, SameFramesEitherWay) {
    const FormCase& c = GetParam();
    const QStringList base{QStringLiteral("transfer"), QStringLiteral("--dry-run"),
                           QStringLiteral("--date"),   QStringLiteral("2010-03-01"),
                           QStringLiteral("--time"),   QStringLiteral("05:30:15")};
    const CliRun run = RunCli(base + c.args);
    const CliRun twin = RunCli(base + c.twin);
    EXPECT_EQ(run.exitCode, 0) << run.err.constData();
    EXPECT_EQ(twin.exitCode, 0) << twin.err.constData();
    EXPECT_EQ(run.out, twin.out);
}

INSTANTIATE_TEST_SUITE_P(
    Cli, OptionForms,
    ::testing::Values(
        FormCase{"IdEquals", Words("--id=3 --message HI"), Words("--id 3 --message HI")},
        FormCase{"MessageEquals", Words("--message=HI"), Words("--message HI")},
        FormCase{"NegativeBiasEquals", Words("--bias=-480 --message HI"),
                 Words("--bias -480 --message HI")},
        FormCase{"DstRowEquals", Words("--dst-start=2010-03-28:2 --message HI"),
                 Words("--dst-start 2010-03-28:2 --message HI")},
        FormCase{"PortEquals", Words("--port=COM2 --message HI"),
                 Words("--port COM2 --message HI")},
        FormCase{"LastValueWins", Words("--speed 1 --speed=4 --message HI"),
                 Words("--speed 4 --message HI")},
        FormCase{"LastOfDstAndNoDstWins", Words("--dst --no-dst --bias 0 --message HI"),
                 Words("--no-dst --bias 0 --message HI")},
        FormCase{"ValueThatLooksLikeAnOption", Words("--message=-v"), Words("--message -v")}),
    [](const auto& info) { return std::string(info.param.name); });

// Help and version wherever a user would look for them; exit codes for the rest.
struct HelpCase {
    const char* name;
    const char* program;  // "cli", "sign", "app" or "view"
    QStringList args;
    int exitCode;
    const char* out;  // in standard output
    const char* err;  // in standard error
};

QString ProgramPath(const char* program) {
    if (QByteArray(program) == "sign") return QStringLiteral(MERIDIAL_SIGN_PATH);
#ifdef MERIDIAL_APP_PATH
    if (QByteArray(program) == "app") return QStringLiteral(MERIDIAL_APP_PATH);
    if (QByteArray(program) == "view") return QStringLiteral(MERIDIAL_SIGN_VIEW_PATH);
#endif
    return QByteArray(program) == "cli" ? QStringLiteral(MERIDIAL_CLI_PATH) : QString();
}

class HelpAndVersion : public ::testing::TestWithParam<HelpCase> {};

TEST_P(HelpAndVersion, AnswersAndExits) {
    const HelpCase& c = GetParam();
    const QString program = ProgramPath(c.program);
    if (program.isEmpty()) GTEST_SKIP() << "the desktop program is not built";
    // No display at all: help must not need one.
    const CliRun run = RunProgram(program, c.args, {},
                                  {{QStringLiteral("DISPLAY"), {}},
                                   {QStringLiteral("WAYLAND_DISPLAY"), {}},
                                   {QStringLiteral("QT_QPA_PLATFORM"), {}}});
    EXPECT_EQ(run.exitCode, c.exitCode) << run.err.constData();
    EXPECT_TRUE(run.out.contains(c.out)) << run.out.constData();
    EXPECT_TRUE(run.err.contains(c.err)) << run.err.constData();
}

INSTANTIATE_TEST_SUITE_P(
    Programs, HelpAndVersion,
    ::testing::Values(
        HelpCase{"CliHelp", "cli", Words("--help"), 0, "help [COMMAND]", ""},
        HelpCase{"CliShortHelp", "cli", Words("-h"), 0, "Commands:", ""},
        HelpCase{"CliHelpCommand", "cli", Words("help"), 0, "Commands:", ""},
        HelpCase{"CliHelpTransfer", "cli", Words("help transfer"), 0, "--message-file FILE", ""},
        HelpCase{"TransferHelp", "cli", Words("transfer --help"), 0, "--date-order", ""},
        HelpCase{"TransferShortHelpAfterABadValue", "cli", Words("transfer --id 100 -h"), 0,
                 "Usage: meridial-cli transfer", ""},
        HelpCase{"ResetIdHelp", "cli", Words("reset-id --help"), 0, "reset-id [options] XX", ""},
        HelpCase{"ZonesHelp", "cli", Words("zones -h"), 0, "--json", ""},
        HelpCase{"PortsHelp", "cli", Words("help ports"), 0, "--json", ""},
        HelpCase{"CliVersion", "cli", Words("--version"), 0, "meridial-cli ", ""},
        HelpCase{"TransferVersion", "cli", Words("transfer --version"), 0, "meridial-cli ", ""},
        HelpCase{"HelpForNoSuchCommand", "cli", Words("help frobnicate"), 2, "",
                 "meridial-cli: help: no command 'frobnicate'"},
        HelpCase{"UnknownCommand", "cli", Words("frobnicate"), 2, "",
                 "meridial-cli: unknown command 'frobnicate'"},
        HelpCase{"UnknownOption", "cli", Words("transfer --frobnicate"), 2, "",
                 "meridial-cli: Unknown option 'frobnicate'."},
        HelpCase{"MissingValue", "cli", Words("transfer --id"), 2, "",
                 "meridial-cli: Missing value after '--id'."},
        HelpCase{"ValueOnASwitch", "cli", Words("transfer --dry-run=yes"), 2, "", "meridial-cli: "},
        HelpCase{"ZonesTakeNoArguments", "cli", Words("zones extra"), 2, "",
                 "meridial-cli: zones: unexpected 'extra'"},
        HelpCase{"VerboseAndQuiet", "cli", Words("reset-id 0A -v -q"), 2, "",
                 "meridial-cli: --verbose and --quiet exclude each other"},
        HelpCase{"SignHelp", "sign", Words("--help"), 0, "--reply-delay", ""},
        HelpCase{"SignShortHelp", "sign", Words("-h"), 0, "--reply-delay", ""},
        HelpCase{"SignVersion", "sign", Words("--version"), 0, "meridial-sign ", ""},
        HelpCase{"SignUnknownOption", "sign", Words("--frobnicate"), 2, "",
                 "meridial-sign: unknown option '--frobnicate'"},
        HelpCase{"SignBadValueEquals", "sign", Words("--reply=loud"), 2, "",
                 "meridial-sign: --reply: unknown mode 'loud'"},
        HelpCase{"SignMissingValue", "sign", Words("--id"), 2, "",
                 "meridial-sign: --id needs a value"},
        HelpCase{"AppHelpWithoutDisplay", "app", Words("--help"), 0, "meridial-cli(1)", ""},
        HelpCase{"AppShortHelpWithoutDisplay", "app", Words("-h"), 0, "--version", ""},
        HelpCase{"AppVersionWithoutDisplay", "app", Words("--version"), 0, "meridial ", ""},
        HelpCase{"ViewHelpWithoutDisplay", "view", Words("--help"), 0, "--reply-delay", ""},
        HelpCase{"ViewVersionWithoutDisplay", "view", Words("--version"), 0, "meridial-sign-view ",
                 ""}),
    [](const auto& info) { return std::string(info.param.name); });

// `echo Hi | meridial-cli transfer`: standard input is the message unless an option gives one.
struct StdinCase {
    const char* name;
    QByteArray input;
    QStringList args;
    int exitCode;
    const char* messageHex;  // in the message frame, after "<FC>"
};

class MessageFromStandardInput : public ::testing::TestWithParam<StdinCase> {};

TEST_P(MessageFromStandardInput, TakesThePipeWhenNoOptionGivesAMessage) {
    const StdinCase& c = GetParam();
    const CliRun run = RunCli(
        QStringList{QStringLiteral("transfer"), QStringLiteral("--dry-run")} + c.args, c.input);
    EXPECT_EQ(run.exitCode, c.exitCode) << run.err.constData();
    if (c.exitCode != 0) {
        EXPECT_TRUE(run.err.contains("meridial-cli: No message to transfer!"))
            << run.err.constData();
        return;
    }
    const QList<QByteArray> frames = run.out.trimmed().split('\n');
    ASSERT_EQ(frames.size(), 3);
    EXPECT_TRUE(frames[2].contains(QByteArray("3C 46 43 3E ") + c.messageHex))
        << frames[2].constData();
}

INSTANTIATE_TEST_SUITE_P(
    Cli, MessageFromStandardInput,
    ::testing::Values(StdinCase{"PipedLine", "Hi\n", {}, 0, "48 69 "},
                      StdinCase{"PipedWithoutLineBreak", "Hi", {}, 0, "48 69 "},
                      StdinCase{"BlanksKept", " Hi \n", {}, 0, "20 48 69 20 "},
                      StdinCase{"MessageOptionWins", "Hi\n", Words("--message Yo"), 0, "59 6F "},
                      StdinCase{
                          "EmptyOptionStillWins", "Hi\n", {QStringLiteral("--message"), {}}, 2, ""},
                      StdinCase{"EmptyPipe", "", {}, 2, ""}),
    [](const auto& info) { return std::string(info.param.name); });

// What each program prints on a good run, and the byte trace.
struct OutputCase {
    const char* name;
    QStringList args;  // after the port
    QByteArray out;    // how standard output starts; empty: nothing at all
    QStringList errHas;
    bool errEmpty;
};

class OutputLevels : public ::testing::TestWithParam<OutputCase> {};

TEST_P(OutputLevels, PrintAsAsked) {
    const OutputCase& c = GetParam();
    VirtualSign sign;
    ASSERT_TRUE(sign.ok());
    QStringList args = c.args;
    const bool reset = args.first() == QStringLiteral("reset-id");
    args = reset ? args << QStringLiteral("--port") << sign.LinkPath()
                 : Transfer(sign.LinkPath()) + args.mid(1);
    const CliRun run = RunCli(args);
    EXPECT_EQ(run.exitCode, 0) << run.err.constData();
    if (c.out.isEmpty()) {
        EXPECT_TRUE(run.out.isEmpty()) << run.out.constData();
    } else {
        EXPECT_TRUE(run.out.startsWith(c.out)) << run.out.constData();
    }
    if (c.errEmpty) {
        EXPECT_TRUE(run.err.isEmpty()) << run.err.constData();
    }
    for (const QString& part : c.errHas)
        EXPECT_TRUE(run.err.contains(part.toUtf8())) << part.toStdString() << "\n"
                                                     << run.err.constData();
}

INSTANTIATE_TEST_SUITE_P(
    Cli, OutputLevels,
    ::testing::Values(
        OutputCase{"TransferDefault", Words("transfer"), "Transmission OK.\n", {}, true},
        OutputCase{"TransferQuiet", Words("transfer --quiet"), "", {}, true},
        OutputCase{"TransferShortQuiet", Words("transfer -q"), "", {}, true},
        OutputCase{"TransferVerbose",
                   Words("transfer --verbose"),
                   "Transmission OK.\n",
                   {QStringLiteral("] > clock   @0    after "),
                    QStringLiteral("] > message @10   after  1"),
                    QStringLiteral("  48 45 4C 4C 4F 42 3C 45 3E  \"HELLOB<E>\"\n"),
                    QStringLiteral("  41 43 4B  \"ACK\"\n")},
                   false},
        OutputCase{"TransferByteByByte",
                   Words("transfer -vv"),
                   "Transmission OK.\n",
                   {QStringLiteral("] open at 9600 baud\n"), QStringLiteral("] > 3C \"<\"\n"),
                    QStringLiteral("] < 41 \"A\"\n"), QStringLiteral("] < 4B \"K\"\n"),
                    QStringLiteral("] closed\n")},
                   false},
        OutputCase{"ResetIdQuiet", Words("reset-id 0A -q"), "", {}, true},
        OutputCase{"ResetIdVerbose",
                   Words("reset-id 0A -v"),
                   "Sent <ID><0A><E> to ",
                   {QStringLiteral("] > reset   @0    after "),
                    QStringLiteral("  3C 49 44 3E 3C 30 41 3E 3C 45 3E  \"<ID><0A><E>\"\n")},
                   false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(OutputLevelsQuiet, FailuresStillSpeak) {
    VirtualSign sign({QStringLiteral("--reply"), QStringLiteral("nak")});
    ASSERT_TRUE(sign.ok());
    const CliRun run = RunCli(Transfer(sign.LinkPath()) << QStringLiteral("-q"));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_TRUE(run.err.contains("meridial-cli: the sign answered NACK")) << run.err.constData();
}

// The progress line is drawn with carriage returns: only on a terminal that understands them.
struct ProgressCase {
    const char* name;
    bool terminal;
    const char* term;  // empty: unset
    bool progress;
};

class ProgressLine : public ::testing::TestWithParam<ProgressCase> {};

TEST_P(ProgressLine, OnlyOnACapableTerminal) {
    const ProgressCase& c = GetParam();
    VirtualSign sign;
    ASSERT_TRUE(sign.ok());
    PseudoTerminal terminal;
    ASSERT_TRUE(terminal.ok());
    QProcess cli;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("MERIDIAL_SETTINGS"), QStringLiteral("/nonexistent/meridial.INI"));
    if (*c.term)
        env.insert(QStringLiteral("TERM"), QString::fromLatin1(c.term));
    else
        env.remove(QStringLiteral("TERM"));
    cli.setProcessEnvironment(env);
    if (c.terminal) cli.setStandardErrorFile(terminal.Path());
    cli.start(QStringLiteral(MERIDIAL_CLI_PATH), Transfer(sign.LinkPath()));
    ASSERT_TRUE(cli.waitForFinished(20000));
    EXPECT_EQ(cli.exitCode(), 0);
    const QByteArray err = c.terminal ? terminal.Read(1 << 16, 300) : cli.readAllStandardError();
    EXPECT_EQ(err.contains("\rSending message"), c.progress) << err.constData();
    EXPECT_EQ(err.contains("\033[K"), c.progress);
}

INSTANTIATE_TEST_SUITE_P(Cli, ProgressLine,
                         ::testing::Values(ProgressCase{"Xterm", true, "xterm", true},
                                           ProgressCase{"Dumb", true, "dumb", false},
                                           ProgressCase{"NoTerm", true, "", false},
                                           ProgressCase{"Pipe", false, "xterm", false}),
                         [](const auto& info) { return std::string(info.param.name); });

// The JSON of zones and ports: every key of the documented schema, with its type.
struct SchemaCase {
    const char* key;
    QJsonValue::Type type;  // for a present, free port
};

QJsonObject JsonOf(const CliRun& run) {
    EXPECT_EQ(run.exitCode, 0) << run.err.constData();
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(run.out, &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << run.out.constData();
    return doc.object();
}

class PortsJson : public CliAgainstSign, public ::testing::WithParamInterface<SchemaCase> {};

TEST_P(PortsJson, KeyHasItsType) {
    const SchemaCase& c = GetParam();
    VirtualSign sign;
    RequireSign(sign);
    const QString ini =
        WriteSettings(QStringLiteral("[Ports]\nCOM2=%1\n").arg(sign.LinkPath()).toUtf8());
    const QJsonObject json = JsonOf(RunCli({QStringLiteral("ports"), QStringLiteral("--json")}, {},
                                           {{QStringLiteral("MERIDIAL_SETTINGS"), ini}}));
    EXPECT_EQ(json[QStringLiteral("settingsFile")].toString(), ini);
    EXPECT_TRUE(json[QStringLiteral("otherDevices")].isArray());
    const QJsonArray ports = json[QStringLiteral("ports")].toArray();
    ASSERT_EQ(ports.size(), 8);
    const QJsonObject com2 = ports[1].toObject();
    EXPECT_EQ(com2[QStringLiteral("com")].toString(), QStringLiteral("COM2"));
    EXPECT_EQ(com2[QStringLiteral("path")].toString(), sign.Device());
    ASSERT_TRUE(com2.contains(QLatin1String(c.key))) << c.key;
    EXPECT_EQ(com2[QLatin1String(c.key)].type(), c.type) << c.key;
}

INSTANTIATE_TEST_SUITE_P(
    Cli, PortsJson,
    ::testing::Values(
        SchemaCase{"com", QJsonValue::String}, SchemaCase{"device", QJsonValue::String},
        SchemaCase{"path", QJsonValue::String}, SchemaCase{"exists", QJsonValue::Bool},
        SchemaCase{"byId", QJsonValue::Null}, SchemaCase{"description", QJsonValue::String},
        SchemaCase{"manufacturer", QJsonValue::String},
        SchemaCase{"serialNumber", QJsonValue::String}, SchemaCase{"vidPid", QJsonValue::Null},
        SchemaCase{"busy", QJsonValue::Bool}, SchemaCase{"holderPid", QJsonValue::Null},
        SchemaCase{"holderProgram", QJsonValue::Null}, SchemaCase{"mayOpen", QJsonValue::Bool},
        SchemaCase{"group", QJsonValue::String}, SchemaCase{"kind", QJsonValue::String},
        SchemaCase{"busyReason", QJsonValue::Null}, SchemaCase{"lockFile", QJsonValue::Null}),
    [](const auto& info) { return std::string(info.param.key); });

TEST_F(CliAgainstSign, PortsNameTheHolderOfABusyPort) {
    VirtualSign sign;
    RequireSign(sign);
    const QString ini =
        WriteSettings(QStringLiteral("[Ports]\nCOM2=%1\nCOM3=rfc2217://127.0.0.1:1\n")
                          .arg(sign.LinkPath())
                          .toUtf8());
    const QMap<QString, QString> env{{QStringLiteral("MERIDIAL_SETTINGS"), ini}};
    QSerialPort holder(sign.Device());
    ASSERT_TRUE(holder.open(QIODevice::ReadWrite));
    const QJsonObject com2 = JsonOf(RunCli({QStringLiteral("ports"), QStringLiteral("--json")}, {},
                                           env))[QStringLiteral("ports")]
                                 .toArray()[1]
                                 .toObject();
    EXPECT_TRUE(com2[QStringLiteral("busy")].toBool());
    EXPECT_EQ(com2[QStringLiteral("holderPid")].toInt(), QCoreApplication::applicationPid());
    const CliRun text = RunCli({QStringLiteral("ports")}, {}, env);
    EXPECT_TRUE(text.out.contains(
        QStringLiteral("COM2  %1  present  busy (").arg(sign.LinkPath()).toUtf8()))
        << text.out.constData();
    EXPECT_TRUE(text.out.contains("\nCOM3  rfc2217://127.0.0.1:1  network target (not probed)\n"));
}

// Every way another program holds the device, judged alike by transfer and ports, the holder
// named (this test program); its lock file stays and its name reaches the terminal escaped.
struct HoldCase {
    const char* name;
    int how;  // 0 flock, 1 exclusive mode, 2 a lock file of ten ASCII digits, 3 Qt under a bad name
};

class HeldPort : public CliAgainstSign, public ::testing::WithParamInterface<HoldCase> {};

TEST_P(HeldPort, BusyForBothAndNamed) {
    VirtualSign sign;
    RequireSign(sign);
    const QMap<QString, QString> env{
        {QStringLiteral("MERIDIAL_SETTINGS"),
         WriteSettings(QStringLiteral("[Ports]\nCOM2=%1\n").arg(sign.LinkPath()).toUtf8())},
        {QStringLiteral("MERIDIAL_LOCK_DIR"), dir.path()}};
    QFile lock(dir.filePath(QStringLiteral("LCK..") + sign.Device().mid(5).replace(u'/', u'_')));
    const int fd = ::open(QFile::encodeName(sign.Device()).constData(), O_RDWR | O_NOCTTY);
    QSerialPort port(sign.Device());
    char name[16] = {};
    const int how = GetParam().how;
    const QByteArray pid = QByteArray::number(::getpid());
    ASSERT_TRUE(how == 0   ? ::flock(fd, LOCK_EX) == 0
                : how == 1 ? ::ioctl(fd, TIOCEXCL) == 0
                : how == 2
                    ? lock.open(QIODevice::WriteOnly) && lock.write(pid.rightJustified(10) + '\n')
                    : ::prctl(PR_GET_NAME, name) == 0 &&
                          ::prctl(PR_SET_NAME, "a\x1b]2;b\x07") == 0 &&
                          port.open(QIODevice::ReadWrite));
    lock.close();
    const CliRun run = RunCli(Transfer(QStringLiteral("COM2")), {}, env);
    const QByteArray listed = RunCli({QStringLiteral("ports")}, {}, env).out;
    if (how == 3) ::prctl(PR_SET_NAME, name);
    ::ioctl(fd, TIOCNXCL);  // the sign keeps the tty open, and the mode with it
    ::close(fd);
    EXPECT_EQ(run.exitCode, 3) << run.err.constData();
    EXPECT_TRUE(
        run.err.contains((how == 3 ? "a\\x1B]2;b\\x07 (process " : "(process ") + pid + ")"))
        << run.err.constData();
    EXPECT_TRUE(listed.contains(" " + pid + ")\n")) << listed.data();
    EXPECT_EQ(lock.exists(), how == 2);
}

INSTANTIATE_TEST_SUITE_P(Cli, HeldPort,
                         ::testing::Values(HoldCase{"Flock", 0}, HoldCase{"Exclusive", 1},
                                           HoldCase{"TenDigitLockFile", 2},
                                           HoldCase{"NameWithEscapes", 3}),
                         [](const auto& info) { return std::string(info.param.name); });

// A device this user may not open: the hint names what would help. Needs root to hand the
// device to another group and to run the CLI as an ordinary user.
struct RefusalCase {
    const char* name;
    const char* group;
    unsigned mode;
    const char* hint;
};

class OpenRefused : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(OpenRefused, HintNamesTheGroup) {
    const RefusalCase& c = GetParam();
    if (::geteuid() != 0 || QStandardPaths::findExecutable(QStringLiteral("runuser")).isEmpty())
        GTEST_SKIP() << "needs root and runuser";
    VirtualSign sign;
    ASSERT_TRUE(sign.ok());
    const QByteArray device = QFile::encodeName(sign.Device());
    const group* g = ::getgrnam(c.group);
    if (!g) GTEST_SKIP() << "no group " << c.group;
    ASSERT_EQ(::chown(device.constData(), 0, g->gr_gid), 0);
    ASSERT_EQ(::chmod(device.constData(), c.mode), 0);
    const CliRun run =
        RunProgram(QStringLiteral("runuser"),
                   QStringList{QStringLiteral("-u"), QStringLiteral("nobody"), QStringLiteral("--"),
                               QStringLiteral(MERIDIAL_CLI_PATH)} +
                       Transfer(sign.Device()));
    EXPECT_EQ(run.exitCode, 3) << run.err.constData();
    EXPECT_TRUE(run.err.contains(QByteArray("meridial-cli: ") + c.hint)) << run.err.constData();
}

INSTANTIATE_TEST_SUITE_P(
    Cli, OpenRefused,
    ::testing::Values(RefusalCase{"GroupMayOpen", "dialout", 0660,
                                  "the device belongs to the group 'dialout'; add yourself with "
                                  "'sudo usermod -aG dialout $USER'"},
                      RefusalCase{"OtherGroup", "uucp", 0660,
                                  "the device belongs to the group 'uucp'; add yourself with "
                                  "'sudo usermod -aG uucp $USER'"},
                      RefusalCase{"OwnerOnly", "root", 0600, "no group may open the device"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ZonesJson, FortyRowsWithTheDocumentedKeys) {
    const QJsonObject json = JsonOf(RunCli({QStringLiteral("zones"), QStringLiteral("--json")}));
    const QJsonArray zones = json[QStringLiteral("zones")].toArray();
    ASSERT_EQ(zones.size(), 40);
    for (int row = 0; row < zones.size(); ++row) {
        const QJsonObject zone = zones[row].toObject();
        EXPECT_EQ(zone[QStringLiteral("row")].toInt(-1), row);
        EXPECT_TRUE(zone[QStringLiteral("offsetCode")].isString());
        EXPECT_TRUE(zone[QStringLiteral("bias")].isDouble());
        EXPECT_TRUE(zone[QStringLiteral("text")].toString().startsWith(u'(')) << row;
    }
    // The text listing carries the same rows.
    EXPECT_EQ(RunCli({QStringLiteral("zones")}).out.count('\n'), 40);
}

}  // namespace
}  // namespace meridial
