#include "link/LinkWaiter.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QIODevice>
#include <QTimer>
#include <chrono>
#include <thread>

namespace meridial {

void LinkWaiter::Delay(int milliseconds) {
    if (milliseconds <= 0) return;
    if (m_mode == WaitMode::Blocking) {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
        return;
    }
    QElapsedTimer clock;
    clock.start();
    while (!m_aborted) {
        const qint64 remaining = milliseconds - clock.elapsed();
        if (remaining <= 0) break;
        QEventLoop loop;
        QTimer::singleShot(static_cast<int>(remaining), Qt::PreciseTimer, &loop, &QEventLoop::quit);
        RunLoop(loop);
    }
}

bool LinkWaiter::WaitReadable(QIODevice& device, int milliseconds) {
    if (m_mode == WaitMode::Blocking) return device.waitForReadyRead(milliseconds);
    RunLoopFor(milliseconds, [&device](QEventLoop& loop) {
        QObject::connect(&device, &QIODevice::readyRead, &loop, &QEventLoop::quit);
        QObject::connect(&device, &QIODevice::aboutToClose, &loop, &QEventLoop::quit);
    });
    return device.isOpen() && device.bytesAvailable() > 0;
}

void LinkWaiter::RunLoopFor(int milliseconds, const std::function<void(QEventLoop&)>& connect) {
    if (m_aborted) return;
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
