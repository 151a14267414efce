#include "link/LinkWaiter.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QIODevice>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <thread>

#include "link/StopSignals.h"

namespace meridial {
namespace {

// A blocked thread cannot be woken by a flag, so blocking waits sleep in slices this long and look
// at it in between: a stop signal ends a sequence within about this time.
constexpr qint64 kSliceMs = 20;

}  // namespace

bool LinkWaiter::Aborted() const { return m_aborted || StopSignal() != 0; }

void LinkWaiter::Delay(int milliseconds) {
    if (milliseconds <= 0) return;
    QElapsedTimer clock;
    clock.start();
    if (m_mode == WaitMode::Blocking) {
        for (qint64 left = milliseconds; left > 0 && !Aborted();
             left = milliseconds - clock.elapsed())
            std::this_thread::sleep_for(std::chrono::milliseconds(std::min(left, kSliceMs)));
        return;
    }
    while (!Aborted()) {
        const qint64 remaining = milliseconds - clock.elapsed();
        if (remaining <= 0) break;
        QEventLoop loop;
        QTimer::singleShot(static_cast<int>(remaining), Qt::PreciseTimer, &loop, &QEventLoop::quit);
        RunLoop(loop);
    }
}

bool LinkWaiter::WaitReadable(QIODevice& device, int milliseconds) {
    if (m_mode == WaitMode::Blocking) {
        QElapsedTimer clock;
        clock.start();
        while (!Aborted() && device.isOpen()) {
            const qint64 left = milliseconds - clock.elapsed();
            if (left <= 0) return false;
            const qint64 slice = std::min(left, kSliceMs);
            const qint64 sliceStart = clock.elapsed();
            if (device.waitForReadyRead(static_cast<int>(slice))) return true;
            // Ended well before its time: not a time-out but a closed or failed device, which
            // would only fail again at once.
            if (clock.elapsed() - sliceStart < slice / 2) return false;
        }
        return false;
    }
    RunLoopFor(milliseconds, [&device](QEventLoop& loop) {
        QObject::connect(&device, &QIODevice::readyRead, &loop, &QEventLoop::quit);
        QObject::connect(&device, &QIODevice::aboutToClose, &loop, &QEventLoop::quit);
    });
    return device.isOpen() && device.bytesAvailable() > 0;
}

void LinkWaiter::RunLoopFor(int milliseconds, const std::function<void(QEventLoop&)>& connect) {
    if (Aborted()) return;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(loop);
    timer.start(milliseconds);
    RunLoop(loop);
}

void LinkWaiter::RunLoop(QEventLoop& loop) {
    QEventLoop* outer = m_currentLoop;
    m_currentLoop = &loop;
    loop.exec();
    m_currentLoop = outer;
}

void LinkWaiter::Abort() {
    m_aborted = true;
    if (m_currentLoop) m_currentLoop->quit();
}

}  // namespace meridial
