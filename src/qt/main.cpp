// meridial: the desktop program. Of its own it takes only --help and --version; everything else
// is left to Qt (-platform, -style, ...).

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <QSocketNotifier>
#include <cstdio>
#include <memory>
#include <optional>

#include "qt/MenuBarStyle.h"
#include "qt/TAboutBox.h"
#include "qt/TForm1.h"
#include "link/EventLoopWaiter.h"
#include "link/LinkFactory.h"
#include "link/ProgramSettings.h"
#include "link/StopSignals.h"
#include "qt/TSetCom.h"
#include "qt/TSetID.h"
#include "qt/MessageBoxes.h"

using namespace meridial;

namespace {

const char* const kHelp = R"(Usage: meridial [Qt options]
Programs an LED clock-and-message sign: message, date and time, time zone, Sign ID.
  -h, --help   this help
  --version    the program's version
Qt's own options (-platform NAME, -style NAME, ...) are passed to Qt.
For scripts, see meridial-cli(1).
)";

// Answered before QApplication exists: it aborts without a display, and help must not need one.
std::optional<int> AnswerWithoutWindow(int argc, char* argv[]) {
    QStringList args;
    for (int i = 0; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
    QCommandLineParser parser;
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringLiteral("version"));
    parser.addOption(help);
    parser.addOption(version);
    // Qt's own options are single-dash words: "-platformtheme" is not "-h" and more.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    // Qt's options are unknown here; the parse error is Qt's business, not ours.
    parser.parse(args);
    if (parser.isSet(help)) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (parser.isSet(version)) {
        std::printf("meridial %s\n", MERIDIAL_VERSION);
        return 0;
    }
    return std::nullopt;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (const auto answered = AnswerWithoutWindow(argc, argv)) return *answered;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("meridial"));
    // No display name: the platform would append it to every caption ("SetCom — Meridial").
    // Docks and task bars find the installed desktop entry, and through it the icon, by this.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.meridial.Meridial"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/meridial.png")));
    QApplication::setStyle(new MenuBarStyle);

    ProgramSettings settings{PortSettings(PortSettings::DefaultPath())};
    // One line, shared by every window that sends: it refuses a second open while one sequence
    // holds it.
    EventLoopWaiter waiter;
    PortLink link(settings.Resolver(), waiter);
    ScreenMessageBoxes boxes([&link] { return link.IsOpen(); });
    MessageBoxes::Install(&boxes);

    TForm1 form1(link, settings);
    TSetCom setCom(settings, &form1);
    TAboutBox about(&form1);
    TSetID setId(link, settings, &form1);
    form1.SetWindows(&setCom, &about, &setId);
    // SIGINT, SIGTERM, SIGHUP (a logout, a service manager): as if the window were closed, so a
    // running Transfer ends through its abort and closes the port, lock file and all.
    CatchStopSignals();
    std::unique_ptr<QSocketNotifier> stopNotifier;
    if (StopSignalFd() >= 0) {
        stopNotifier = std::make_unique<QSocketNotifier>(StopSignalFd(), QSocketNotifier::Read);
        QObject::connect(stopNotifier.get(), &QSocketNotifier::activated, &form1, [&link, &form1] {
            DrainStopSignalFd();
            link.Abort();
            form1.close();
        });
    }
    form1.show();
    const int status = QApplication::exec();
    MessageBoxes::Install(nullptr);
    return StopSignal() != 0 ? StopExitCode() : status;
}
