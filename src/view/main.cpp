// meridial-sign-view: the virtual sign with a face. It serves on a pseudo-terminal like
// meridial-sign, draws the three lines as the sign's dots, lists the frames it receives and
// answers the way it is told to, which can be changed while it runs.

#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QSocketNotifier>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

#include "sign/Pty.h"
#include "sign/SignSession.h"
#include "view/SignViewWindow.h"

using namespace meridial;
using namespace meridial::sign;

namespace {

int g_signalPipe[2] = {-1, -1};

void OnSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(g_signalPipe[1], &byte, 1);
}

[[noreturn]] void Die(const QString& message) {
    std::fprintf(stderr, "meridial-sign-view: %s\n", qPrintable(message));
    std::exit(2);
}

int Number(const QString& text, int low, int high, const char* what) {
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || v < low || v > high) Die(QString::fromLatin1(what));
    return v;
}

const char* const kHelp = R"(Usage: meridial-sign-view [options] [Qt options]
A virtual sign in a window. It opens a pseudo-terminal and prints its path as the first line.
  --link PATH        also make a symbolic link PATH to the device
  --reply MODE       answer to a transfer: ack (default; "NACK" when a frame was faulty),
                     nak, silent, garbage, partial, split
  --reply-delay MS   wait this long before answering (0..60000, default 0)
  --id N             answer only transfers addressed to Sign ID N (default: any)
  -h, --help         this help
  --version          the program's version
Qt's own options (-platform NAME, ...) are passed to Qt.
)";

// Answered before QApplication exists: it aborts without a display, and help must not need one.
// The options are all known here, so "--reply --help" is still a reply mode; Qt's are not, and
// their parse errors wait for the full parse.
std::optional<int> AnswerWithoutWindow(int argc, char** argv,
                                       const QList<QCommandLineOption>& options,
                                       const QCommandLineOption& help,
                                       const QCommandLineOption& version) {
    QStringList args;
    for (int i = 0; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
    QCommandLineParser parser;
    // "-platformtheme" is one of Qt's options, not -p -l ... -h.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOptions(options);
    parser.addOptions({help, version});
    (void)parser.parse(args);
    if (parser.isSet(help)) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (parser.isSet(version)) {
        std::printf("meridial-sign-view %s\n", MERIDIAL_VERSION);
        return 0;
    }
    return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
    const QCommandLineOption link(QStringLiteral("link"),
                                  QStringLiteral("Also make a symbolic link PATH to the device."),
                                  QStringLiteral("PATH"));
    const QCommandLineOption reply(
        QStringLiteral("reply"),
        QStringLiteral(
            "Answer to a transfer: ack (default), nak, silent, garbage, partial, split."),
        QStringLiteral("MODE"));
    const QCommandLineOption delay(QStringLiteral("reply-delay"),
                                   QStringLiteral("Wait this long before answering (0..60000)."),
                                   QStringLiteral("MS"));
    const QCommandLineOption id(QStringLiteral("id"),
                                QStringLiteral("Answer only transfers addressed to Sign ID N."),
                                QStringLiteral("N"));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringLiteral("version"));
    if (const auto answered =
            AnswerWithoutWindow(argc, argv, {link, reply, delay, id}, help, version))
        return *answered;

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("meridial-sign-view"));
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOptions({link, reply, delay, id, help, version});
    // Qt took its own options out of the arguments; what is left must be ours.
    if (!parser.parse(QApplication::arguments()))
        Die(parser.errorText() + QStringLiteral(" (see --help)"));
    if (!parser.positionalArguments().isEmpty()) Die(QStringLiteral("takes no arguments"));

    SessionOptions options;
    if (parser.isSet(reply)) {
        const auto mode = ParseReplyMode(parser.value(reply).toStdString());
        if (!mode) Die(QStringLiteral("--reply: unknown mode '%1'").arg(parser.value(reply)));
        options.reply = *mode;
    }
    if (parser.isSet(delay))
        options.replyDelayMs =
            Number(parser.value(delay), 0, 60000, "--reply-delay: give milliseconds 0..60000");
    if (parser.isSet(id))
        options.onlyId = Number(parser.value(id), 0, 99, "--id: give a Sign ID 0..99");

    Result<PseudoTerminal> opened = OpenPseudoTerminal();
    if (!opened) Die(QString::fromStdString(opened.error()));
    PseudoTerminal pty = opened.value();
    FarSideWatch watch(pty);
    std::optional<QSocketNotifier> closes;
    if (watch.Fd() >= 0) {
        closes.emplace(watch.Fd(), QSocketNotifier::Read);
        QObject::connect(&*closes, &QSocketNotifier::activated, &app, [&watch] { watch.Check(); });
    }
    const std::string linkPath = parser.value(link).toStdString();
    if (!linkPath.empty()) {
        struct stat st {};
        if (::lstat(linkPath.c_str(), &st) == 0) {
            if (!S_ISLNK(st.st_mode))
                Die(parser.value(link) + " exists and is not a symbolic link");
            ::unlink(linkPath.c_str());
        }
        if (::symlink(pty.path.c_str(), linkPath.c_str()) != 0)
            Die(QStringLiteral("cannot link %1: %2").arg(parser.value(link), std::strerror(errno)));
    }
    std::printf("%s\n", pty.path.c_str());
    std::fflush(stdout);

    // Ended by a signal, the program still removes its link: the signal only wakes the loop.
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0) Die(QStringLiteral("socketpair"));
    QSocketNotifier stop(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&stop, &QSocketNotifier::activated, &app, &QApplication::quit);
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
    ::signal(SIGPIPE, SIG_IGN);

    int status = 0;
    {
        view::SignViewWindow window(pty.fd, QString::fromStdString(pty.path), options);
        window.show();
        status = app.exec();
    }
    if (!linkPath.empty()) ::unlink(linkPath.c_str());
    ClosePseudoTerminal(pty);
    return status;
}
