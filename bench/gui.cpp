// Figures of the desktop program: start to the first shown main window, resident memory after
// start, the longest stall of the window's event loop and the CPU share during a Transfer to the
// virtual sign (answering, and silent), and the idle CPU with the clock running.
//
//   bench/bench-gui [idle-seconds]     (QT_QPA_PLATFORM=offscreen without a display)

#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QThread>
#include <QTimer>
#include <QWindow>
#include <cstdio>

#include "qt/MenuBarStyle.h"
#include "qt/TForm1.h"
#include "link/EventLoopWaiter.h"
#include "link/LinkFactory.h"
#include "link/ProgramSettings.h"
#include "qt/TSetCom.h"
#include "qt/MessageBoxes.h"

#include "BenchSupport.h"

using namespace meridial;

namespace {

using meridial::bench::CpuMs;

long RssKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

// Records the outcome instead of waiting for someone to press "Yes".
class SilentBoxes final : public MessageBoxes {
public:
    QMessageBox::StandardButton Ask(QWidget*, Icon, const QString&,
                                    QMessageBox::StandardButtons) override {
        return QMessageBox::Yes;
    }
    void Tell(QWidget*, Icon, const QString& text, QMessageBox::StandardButton) override {
        last = text;
    }
    QString last;
};

struct Sign {
    QProcess process;
    QString device;
    explicit Sign(const QString& reply) {
        process.start(QStringLiteral(MERIDIAL_SIGN_PATH), {QStringLiteral("--reply"), reply});
        process.waitForReadyRead(5000);
        device = QString::fromLocal8Bit(process.readLine()).trimmed();
    }
    ~Sign() {
        process.terminate();
        process.waitForFinished(3000);
    }
};

void MeasureTransfer(TForm1& form, const QString& reply, SilentBoxes& boxes) {
    QElapsedTimer gap, wall;
    qint64 longest = 0;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout, [&] { longest = std::max(longest, gap.restart()); });
    probe.start(1);
    gap.start();
    wall.start();
    const double cpu0 = CpuMs();
    form.Button1Click();
    const double cpu = CpuMs() - cpu0;
    const qint64 ms = wall.elapsed();
    probe.stop();
    std::printf(
        "transfer to a %-6s sign: %6lld ms, longest event-loop stall %3lld ms (target < 30),"
        " cpu %.2f %% of wall (target < 5 %%) -> %s\n",
        reply.toLatin1().constData(), static_cast<long long>(ms), static_cast<long long>(longest),
        100.0 * cpu / static_cast<double>(ms), boxes.last.trimmed().toLatin1().constData());
}

}  // namespace

int main(int argc, char* argv[]) {
    QElapsedTimer sinceStart;
    sinceStart.start();
    const int idleSeconds = argc > 1 ? std::atoi(argv[1]) : 60;
    QApplication app(argc, argv);
    QApplication::setStyle(new MenuBarStyle);
    SilentBoxes boxes;
    MessageBoxes::Install(&boxes);

    QString device;
    EventLoopWaiter waiter;
    PortLink link([&device](int) { return ParseLinkTarget(device.toStdString()); }, waiter);
    QTemporaryDir dir;
    ProgramSettings settings{PortSettings(dir.filePath(QStringLiteral("m.ini")))};
    TForm1 form(link, settings);
    TSetCom setCom(settings, &form);
    form.SetWindows(&setCom, nullptr, nullptr);
    form.show();
    while (!form.windowHandle() || !form.windowHandle()->isExposed()) QApplication::processEvents();
    std::printf("platform %s\n", QGuiApplication::platformName().toLatin1().constData());
    std::printf("start to first shown main window: %lld ms (target < 300)\n",
                static_cast<long long>(sinceStart.elapsed()));
    std::printf("resident memory after start: %.1f MB (target < 60)\n", RssKb() / 1024.0);

    form.FormActivate();
    form.findChild<QTextEdit*>(QStringLiteral("RichEdit1"))->setPlainText(QStringLiteral("HELLO"));
    for (const QString& reply : {QStringLiteral("ack"), QStringLiteral("silent")}) {
        Sign sign(reply);
        device = sign.device;
        MeasureTransfer(form, reply, boxes);
    }

    const double cpu0 = CpuMs();
    QElapsedTimer idle;
    idle.start();
    QTimer::singleShot(idleSeconds * 1000, &app, &QApplication::quit);
    QApplication::exec();
    const double share = 100.0 * (CpuMs() - cpu0) / static_cast<double>(idle.elapsed());
    std::printf(
        "idle window with the clock running, %d s: cpu %.3f %% of one core (target < 0.5)\n",
        idleSeconds, share);
    MessageBoxes::Install(nullptr);
    return 0;
}
