// Idle CPU of the graphical virtual sign: the window of meridial-sign-view on its pseudo-terminal,
// after a transfer has left a message scrolling, for the fastest speed and the initial one.
//
//   bench/bench-sign-view [seconds]     (QT_QPA_PLATFORM=offscreen without a display)

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "clock/ClockFrame.h"
#include "message/MessageFrame.h"
#include "sign/Pty.h"
#include "sign/SignFace.h"
#include "view/SignViewWindow.h"
#include "zone/ZoneFrame.h"

#include "BenchSupport.h"

using namespace meridial;

namespace {

using meridial::bench::CpuMs;

void Wait(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    std::printf("platform %s, %d s per speed, goal < 3 %% of one core\n",
                qPrintable(QApplication::platformName()), seconds);

    for (const int speed : {4, 2}) {
        Result<sign::PseudoTerminal> pty = sign::OpenPseudoTerminal();
        if (!pty) {
            std::fprintf(stderr, "%s\n", pty.error().c_str());
            return 1;
        }
        const int program = ::open(pty->path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        sign::MakeRaw(program);
        view::SignViewWindow window(pty->fd, QString::fromStdString(pty->path), {});
        window.show();
        const std::string transfer =
            BuildClockFrame(0, {2010, 6, 1}, "12:00:00", {0, false}).value() +
            BuildZoneFrame(0, 15, {"2010", 0, 0, 0}, {"2010", 0, 0, 0}, {}).value() +
            BuildMessageFrame(0, speed, "Welcome to Meridial - the sign scrolls right to left")
                .value();
        [[maybe_unused]] const auto written = ::write(program, transfer.data(), transfer.size());
        Wait(1000);  // decoded, answered, first paints done

        QElapsedTimer wall;
        wall.start();
        const double cpu0 = CpuMs();
        Wait(seconds * 1000);
        const double cpu = CpuMs() - cpu0;
        const double share = 100.0 * cpu / static_cast<double>(wall.elapsed());
        const char letter = SpeedLetter(speed);
        std::printf("speed %c (%2d columns/s): %.0f ms CPU in %.1f s = %.2f %% of one core %s\n",
                    letter, sign::ScrollRate(letter), cpu, wall.elapsed() / 1e3, share,
                    share < 3.0 ? "(ok)" : "(over the goal)");
        ::close(program);
        sign::ClosePseudoTerminal(pty.value());
    }
    return 0;
}
