#include "link/SerialSignLink.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTimer>

#include "link/EventLoopWaiter.h"
#include "link/LinkFactory.h"
#include "link/SerialPlatform.h"
#include "link/SignFrame.h"
#include "message/TransferSequence.h"
#include "support/PseudoTerminal.h"

namespace meridial {
namespace {

using testing::PseudoTerminal;

struct WaiterKind {
    const char* name;
    std::unique_ptr<Waiter> (*make)();
};

class SerialSignLinkTest : public ::testing::TestWithParam<WaiterKind> {
protected:
    void SetUp() override {
        if (!pty.ok()) GTEST_SKIP() << "no pseudo-terminals on this machine";
        waiter = GetParam().make();
    }
    SerialSignLink MakeLink() { return SerialSignLink(pty.Path(), *waiter); }
    PseudoTerminal pty;
    std::unique_ptr<Waiter> waiter;
};

TEST_P(SerialSignLinkTest, EveryByteValuePassesUnchanged) {
    SerialSignLink link = MakeLink();
    ASSERT_TRUE(link.OpenPort(1, kBaudRate).ok());
    QByteArray all;
    for (int v = 0; v < 256; ++v) {
        all.append(static_cast<char>(v));
        EXPECT_TRUE(link.WriteByte(static_cast<std::uint8_t>(v)));
    }
    EXPECT_EQ(pty.Read(256, 3000), all);
    link.ClosePort();
}

TEST_P(SerialSignLinkTest, ReadsTheReplyAndOnlyBytesSentAfterTheOpen) {
    pty.Write("stale");
    SerialSignLink link = MakeLink();
    ASSERT_TRUE(link.OpenPort(1, kBaudRate).ok());
    pty.Write("ACK");
    EXPECT_TRUE(WaitForAck(link).Acknowledged());
    link.ClosePort();
}

TEST_P(SerialSignLinkTest, ReadTimesOutAfterAboutElevenHundredMilliseconds) {
    SerialSignLink link = MakeLink();
    ASSERT_TRUE(link.OpenPort(1, kBaudRate).ok());
    std::uint8_t destination = 0x5A;
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(link.ReadByte(destination), 0);
    EXPECT_GE(clock.elapsed(), 1090);
    EXPECT_LT(clock.elapsed(), 2500);
    EXPECT_EQ(destination, 0x5A);
    link.ClosePort();
}

TEST_P(SerialSignLinkTest, SecondOpenIsRefusedAndTheFirstKeepsWorking) {
    SerialSignLink link = MakeLink();
    ASSERT_TRUE(link.OpenPort(1, kBaudRate).ok());
    const OpenResult second = link.OpenPort(1, kBaudRate);
    EXPECT_EQ(second.error().failure, OpenFailure::Busy);
    link.WriteByte('x');
    EXPECT_EQ(pty.Read(1, 2000), QByteArray("x"));
    link.ClosePort();
}

// Whatever way another program holds the device, the link refuses it as busy, sends nothing,
// and leaves the holder's exclusivity as it was (as root an exclusive device opens all the same,
// and closing it would clear the holder's mode).
TEST_P(SerialSignLinkTest, PortHeldByAnotherOwnerIsBusy) {
    const QByteArray path = QFile::encodeName(pty.Path());
    struct Holder {
        const char* how;
        std::function<int()> hold;  // returns a descriptor to close, or -1
        const char* reason;
        bool namesHolder;  // this very process
    };
    SerialSignLink link = MakeLink();
    const Holder holders[] = {
        {"another link", [&] { return link.OpenPort(1, kBaudRate).ok() ? -1 : -2; }, "held by",
         true},
        {"flock",
         [&] {
             const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY);
             return ::flock(fd, LOCK_EX) == 0 ? fd : -2;
         },
         "held by", true},
        {"exclusive mode",
         [&] {
             const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY);
             return ::ioctl(fd, TIOCEXCL) == 0 ? fd : -2;
         },
         "held by", true},
    };
    for (const Holder& holder : holders) {
        SCOPED_TRACE(holder.how);
        const int fd = holder.hold();
        ASSERT_NE(fd, -2);
        SerialSignLink other = MakeLink();
        const OpenResult result = other.OpenPort(1, kBaudRate);
        ASSERT_FALSE(result.ok());
        EXPECT_EQ(result.error().failure, OpenFailure::Busy) << result.error().detail;
        EXPECT_NE(result.error().detail.find(holder.reason), std::string::npos)
            << result.error().detail;
        EXPECT_EQ(result.error().holderPid,
                  holder.namesHolder ? QCoreApplication::applicationPid() : 0)
            << result.error().detail;
        if (fd >= 0) {
            int exclusive = 0;
            ::ioctl(fd, TIOCGEXCL, &exclusive);
            EXPECT_EQ(exclusive != 0, std::string(holder.how) == "exclusive mode");
            ::ioctl(fd, TIOCNXCL);  // the mode outlives the descriptor while the tty stays open
            ::close(fd);
        } else {
            link.ClosePort();
        }
        EXPECT_TRUE(other.OpenPort(1, kBaudRate).ok());
        other.ClosePort();
    }
}

TEST_P(SerialSignLinkTest, FarSideClosingEndsTheSequenceQuicklyWithOneError) {
    SerialSignLink link = MakeLink();
    TransferRequest request;
    request.messageBytes = "HELLO!";
    request.timeText = "12:00:00";
    request.dstStart = request.dstEnd = {"2010", 0, 0, 0};
    int reads = 0;
    auto read = [&] {
        if (++reads == 3) pty.CloseFarSide();  // as the zone frame's step begins
        return request;
    };
    rusage before{};
    ::getrusage(RUSAGE_SELF, &before);
    QElapsedTimer clock;
    clock.start();
    const TransferOutcome outcome = RunTransfer(link, 1, read);
    EXPECT_EQ(outcome.status, TransferStatus::NotAcknowledged);
    EXPECT_FALSE(outcome.lineError.empty());
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_FALSE(link.IsOpen());
    rusage after{};
    ::getrusage(RUSAGE_SELF, &after);
    const double cpuMs = (after.ru_utime.tv_sec - before.ru_utime.tv_sec) * 1e3 +
                         (after.ru_utime.tv_usec - before.ru_utime.tv_usec) / 1e3;
    EXPECT_LT(cpuMs, 0.5 * clock.elapsed()) << "the link spun instead of giving up";
}

template <typename Kind>
std::unique_ptr<Waiter> Make() {
    return std::make_unique<Kind>();
}

INSTANTIATE_TEST_SUITE_P(Modes, SerialSignLinkTest,
                         ::testing::Values(WaiterKind{"Blocking", Make<BlockingWaiter>},
                                           WaiterKind{"EventLoop", Make<EventLoopWaiter>}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PortLink, PortNumbersOutsideOneToEightOpenComOne) {
    std::vector<int> asked;
    BlockingWaiter waiter;
    PortLink link(
        [&](int n) {
            asked.push_back(n);
            return ParseLinkTarget("/nonexistent/ttyX");
        },
        waiter);
    for (int n : {0, -3, 9, 100, 8, 4})
        EXPECT_EQ(link.OpenPort(n, kBaudRate).error().failure, OpenFailure::Missing);
    EXPECT_EQ(asked, (std::vector<int>{1, 1, 1, 1, 8, 4}));
    EXPECT_EQ(DefaultDeviceForPort(8), QStringLiteral("/dev/ttyS7"));
}

TEST(SerialSignLink, EventLoopDelayKeepsEventsFlowing) {
    EventLoopWaiter waiter;
    SerialSignLink link(QString(), waiter);
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(20);
    QElapsedTimer clock;
    clock.start();
    link.Delay(300);
    EXPECT_GE(clock.elapsed(), 300);
    EXPECT_GE(ticks, 5);
    clock.restart();
    link.Delay(0);
    EXPECT_LT(clock.elapsed(), 5);
}

TEST(SerialSignLink, AbortEndsAWaitAtOnce) {
    EventLoopWaiter waiter;
    SerialSignLink link(QString(), waiter);
    QTimer::singleShot(50, [&] { link.Abort(); });
    QElapsedTimer clock;
    clock.start();
    link.Delay(2000);
    EXPECT_LT(clock.elapsed(), 1000);
}

// Lock files as other programs leave them, in a folder of the test's own, judged before an open:
// each format with a running holder (this process), an ended one, and one that cannot be judged.
struct LockCase {
    const char* name;
    QByteArray content;  // %p/%e a running/ended PID as text, %P/%E in binary, %h this host
    bool othersFile;     // owned by another user
    HoldKind kind;
    const char* detail;  // in the detail; "%f" is the lock file
};

class LockFiles : public ::testing::TestWithParam<LockCase> {};

TEST_P(LockFiles, JudgedAndRemovedOnlyWhenStaleAndOurs) {
    const LockCase& c = GetParam();
    QTemporaryDir dir;
    qputenv("MERIDIAL_LOCK_DIR", QFile::encodeName(dir.path()));
    const QString path = dir.filePath(QStringLiteral("LCK..ttyMeridial") + QLatin1String(c.name));
    const qint32 running = QCoreApplication::applicationPid(), ended = 999999999;
    const auto binary = [](const qint32& pid) {
        return QByteArray(reinterpret_cast<const char*>(&pid), 4);
    };
    QByteArray content = c.content;
    content.replace("%p", QByteArray::number(running)).replace("%e", QByteArray::number(ended));
    content.replace("%P", binary(running)).replace("%E", binary(ended));
    QFile lock(path);
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
    lock.write(content.replace("%h", QSysInfo::machineHostName().toUtf8()));
    lock.close();
    if (c.othersFile && ::chown(QFile::encodeName(path).constData(), 65534, 65534) != 0)
        GTEST_SKIP() << "cannot hand a file to another user here";
    const QString device = QStringLiteral("/dev/ttyMeridial") + QLatin1String(c.name);
    const PortHold listed = JudgeHold(device, StaleLocks::Keep);
    const PortHold opening = JudgeHold(device, StaleLocks::RemoveOurs);
    qunsetenv("MERIDIAL_LOCK_DIR");
    EXPECT_EQ(listed.kind, c.kind);
    EXPECT_EQ(opening.kind, c.kind);
    EXPECT_TRUE(opening.detail.contains(QString::fromLatin1(c.detail).replace("%f", path)))
        << opening.detail.toStdString();
    EXPECT_EQ(QFile::exists(path), c.kind != HoldKind::Free);
    EXPECT_EQ(opening.holder ? opening.holder->program : QString(),
              c.kind == HoldKind::LockFile ? QCoreApplication::applicationName().left(15) : "");
}

INSTANTIATE_TEST_SUITE_P(
    Posix, LockFiles,
    ::testing::Values(
        LockCase{"TenDigitsRunning", "     %p\n", false, HoldKind::LockFile, "held by"},
        LockCase{"TenDigitsEnded", " %e\n", false, HoldKind::Free, ""},
        LockCase{"Empty", "", false, HoldKind::UnjudgedLock,
                 "locked by %f, which names no process"},
        LockCase{"BinaryRunning", "%P", false, HoldKind::LockFile, "held by"},
        LockCase{"BinaryEnded", "%E", false, HoldKind::Free, ""},
        LockCase{"BinaryZero", QByteArray(4, '\0'), false, HoldKind::UnjudgedLock,
                 "names no process"},
        LockCase{"QtRunning", "%p\nminicom\n%h\n", false, HoldKind::LockFile, "held by"},
        LockCase{"QtEnded", "%e\nminicom\n%h\n", false, HoldKind::Free, ""},
        LockCase{"QtOtherHost", "%p\nminicom\nelsewhere.invalid\n", false, HoldKind::UnjudgedLock,
                 "written on host elsewhere.invalid"},
        LockCase{"EndedOthersFile", " %e\n", true, HoldKind::StaleLock,
                 "stale lock file %f (process 999999999 has ended): remove it with "}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DeviceGroup, NamesTheOwningGroupOrItsNumber) {
    EXPECT_EQ(DeviceGroup(QStringLiteral("/dev/null")), QStringLiteral("root"));
    EXPECT_TRUE(DeviceGroup(QStringLiteral("/nonexistent/tty")).isEmpty());
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("tty"));
    QFile(file).open(QIODevice::WriteOnly);
    // A group with no name in the group database shows as its number.
    if (::chown(QFile::encodeName(file).constData(), static_cast<uid_t>(-1), 54321) != 0)
        GTEST_SKIP() << "cannot change a file's group here";
    EXPECT_EQ(DeviceGroup(file), QStringLiteral("54321"));
}

}  // namespace
}  // namespace meridial
