// Named signs and many signs in one run: meridial-cli signs, transfer --sign and sync against
// several virtual signs.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>
#include <QThread>

#include "support/VirtualSign.h"

namespace meridial {
namespace {

using testing::CliRun;
using testing::RunCli;
using testing::VirtualSign;

class SignsFile : public ::testing::Test {
protected:
    QString Write(const QString& content) {
        const QString path = dir.filePath(QStringLiteral("signs.ini"));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content.toUtf8());
        return path;
    }
    static QString Body(const QJsonObject& frame) {
        return frame[QStringLiteral("decoded")].toObject()[QStringLiteral("body")].toString();
    }
    QTemporaryDir dir;
};

// Signs on different ports go at once, signs sharing a port one after another in file order
// (however the port is spelled: a link to the device or the device itself);
// one sign that refuses makes the run fail without keeping the others from their time.
TEST_F(SignsFile, SyncSendsToEverySignInParallelAcrossPorts) {
    VirtualSign shared, second, refusing({QStringLiteral("--reply"), QStringLiteral("nak")});
    ASSERT_TRUE(shared.ok() && second.ok() && refusing.ok());
    const QString path =
        Write(QStringLiteral("[lobby]\nport=%1\nid=1\nmessage=first\n\n"
                             "[lobby-2]\nport=%4\nid=2\nmessage=second\n\n"
                             "[canteen]\nport=%2\nmessage=lunch\n\n"
                             "[garage]\nport=%3\nmessage=slowly\n")
                  .arg(shared.LinkPath(), second.LinkPath(), refusing.LinkPath(), shared.Device()));
    const CliRun run =
        RunCli({QStringLiteral("sync"), QStringLiteral("--all"), QStringLiteral("--signs"), path});
    EXPECT_EQ(run.exitCode, 1) << run.err.constData();
    for (const char* ok : {"lobby: Transmission OK.", "lobby-2: Transmission OK.",
                           "canteen: Transmission OK.", "3 of 4 signs acknowledged."})
        EXPECT_TRUE(run.out.contains(ok)) << ok << "\n" << run.out.constData();
    EXPECT_TRUE(run.err.contains("garage: Transmission Error: the sign answered NACK"))
        << run.err.constData();
    // Two transfers one after the other (about 1.25 s each) bound the run; in series the four
    // would take twice as long.
    EXPECT_LT(run.elapsedMs, 4600);

    const auto onShared = shared.Frames(6);
    ASSERT_EQ(onShared.size(), 6);
    EXPECT_EQ(Body(onShared[2]), QStringLiteral("first"));
    EXPECT_EQ(Body(onShared[5]), QStringLiteral("second"));
    EXPECT_GE(onShared[3][QStringLiteral("firstByteMs")].toDouble(),
              onShared[2][QStringLiteral("lastByteMs")].toDouble());
    // The other lines ran while the shared one did (the signs share the system's clock).
    const auto onSecond = second.Frames(3);
    ASSERT_EQ(onSecond.size(), 3);
    EXPECT_LT(onSecond[0][QStringLiteral("firstByteMs")].toDouble(),
              onShared[2][QStringLiteral("lastByteMs")].toDouble());
}

TEST_F(SignsFile, TransferTakesASignsValuesAndTheCommandLineWins) {
    VirtualSign sign;
    ASSERT_TRUE(sign.ok());
    const QString path =
        Write(QStringLiteral("[hall]\nport=%1\nid=4\nmessage=from the file\nspeed=0\n")
                  .arg(sign.LinkPath()));
    const CliRun listed = RunCli({QStringLiteral("signs"), QStringLiteral("--signs"), path});
    EXPECT_EQ(listed.exitCode, 0);
    EXPECT_TRUE(listed.out.startsWith("hall  " + sign.LinkPath().toUtf8()))
        << listed.out.constData();

    const CliRun run = RunCli({QStringLiteral("transfer"), QStringLiteral("--sign=hall"),
                               QStringLiteral("--signs"), path, QStringLiteral("--message"),
                               QStringLiteral("from the command line")});
    EXPECT_EQ(run.exitCode, 0) << run.err.constData();
    const auto frames = sign.Frames(3);
    ASSERT_EQ(frames.size(), 3);
    EXPECT_EQ(Body(frames[2]), QStringLiteral("from the command line"));
    EXPECT_EQ(frames[2][QStringLiteral("signId")].toInt(), 4);
    EXPECT_EQ(frames[2][QStringLiteral("decoded")].toObject()[QStringLiteral("speed")].toString(),
              QStringLiteral("E"));

    const CliRun dry =
        RunCli({QStringLiteral("sync"), QStringLiteral("--sign"), QStringLiteral("hall"),
                QStringLiteral("--signs"), path, QStringLiteral("--dry-run")});
    EXPECT_EQ(dry.exitCode, 0) << dry.err.constData();
    EXPECT_EQ(dry.out.split('\n').first(), QByteArray("hall:"));
    EXPECT_EQ(dry.out.trimmed().split('\n').size(), 4);
}

// The schedule's message files are found beside it, however the schedule is named.
TEST_F(SignsFile, OfflinePlanReadsTheSchedulesMessageFileBesideIt) {
    QDir(dir.path()).mkdir(QStringLiteral("conf"));
    const QString signs = Write(QStringLiteral("[lobby]\nport=/dev/null\nmessage=own\n"));
    for (const auto& [name, text] :
         {std::pair{"conf/schedule.ini",
                    "[every]\nsigns=all\nmessage-file=week.txt\ndays=Mon-Sun\n"},
          std::pair{"conf/week.txt", "Every day\n"}}) {
        QFile file(dir.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    const QString back = QDir::currentPath();
    QDir::setCurrent(dir.path());  // the CLI's own working folder too
    for (const QString& schedule :
         {dir.filePath(QStringLiteral("conf/schedule.ini")), QStringLiteral("conf/schedule.ini")}) {
        const CliRun run =
            RunCli({QStringLiteral("plan"), QStringLiteral("--offline"), QStringLiteral("--signs"),
                    signs, QStringLiteral("--schedule"), schedule});
        EXPECT_EQ(run.exitCode, 0) << schedule.toStdString() << "\n" << run.err.constData();
        EXPECT_TRUE(run.out.contains("\"Every day\" (entry every)")) << run.out.constData();
    }
    QDir::setCurrent(back);
}

// Bad input names the file, the section and the key, exits 2 and sends nothing to any sign,
// the good ones included.
TEST_F(SignsFile, BadInputSendsNothingToAnySign) {
    VirtualSign sign;
    ASSERT_TRUE(sign.ok());
    const QString good = QStringLiteral("[good]\nport=%1\nmessage=fine\n\n").arg(sign.LinkPath());
    struct Row {
        const char* name;
        QString content;  // null: the file does not exist
        QStringList select;
        const char* says;
    };
    const Row rows[] = {
        {"unknown sign",
         good,
         {QStringLiteral("--sign"), QStringLiteral("nope")},
         "no sign named 'nope'"},
        {"no port",
         good + QStringLiteral("[bad]\nmessage=x\n"),
         {QStringLiteral("--all")},
         "[bad] port: no port"},
        {"unreadable file", QString(), {QStringLiteral("--all")}, "no such file"},
        {"target without a port",
         good + QStringLiteral("[bad]\nport=tcp://host\nmessage=x\n"),
         {QStringLiteral("--all")},
         "[bad]: --port: 'tcp://host': give the port"},
        {"port out of range",
         good + QStringLiteral("[bad]\nport=tcp://host:99999\nmessage=x\n"),
         {QStringLiteral("--all")},
         "from 1 to 65535"},
        {"unknown key",
         good + QStringLiteral("[bad]\nport=/dev/null\ncolour=red\n"),
         {QStringLiteral("--all")},
         "[bad] colour: unknown key"},
        {"bad value",
         good + QStringLiteral("[bad]\nport=/dev/null\nid=100\nmessage=x\n"),
         {QStringLiteral("--all")},
         "[bad]: --id: '100'"},
        {"both messages",
         good + QStringLiteral("[bad]\nport=/dev/null\nmessage=a\nmessage-file=b\n"),
         {QStringLiteral("--all")},
         "not both"},
        {"neither --all nor a name", good, {}, "--sign NAME, or give --all"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const QString path =
            row.content.isNull() ? dir.filePath(QStringLiteral("missing.ini")) : Write(row.content);
        const CliRun run = RunCli(
            QStringList{QStringLiteral("sync"), QStringLiteral("--signs"), path} + row.select);
        EXPECT_EQ(run.exitCode, 2) << run.err.constData();
        EXPECT_TRUE(run.err.contains(row.says)) << run.err.constData();
    }
    QThread::msleep(200);
    EXPECT_TRUE(sign.Frames(0, 0).isEmpty());
}

}  // namespace
}  // namespace meridial
