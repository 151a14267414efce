#include "link/EventLoopWaiter.h"

#include <QEventLoop>
#include <QTimer>

namespace meridial {

void EventLoopWaiter::WaitFor(int milliseconds) {
    if (Aborted()) return;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(milliseconds);
    QEventLoop* outer = m_currentLoop;
    m_currentLoop = &loop;
    loop.exec();
    m_currentLoop = outer;
}

void EventLoopWaiter::Wake() {
    if (m_currentLoop) m_currentLoop->quit();
}

}  // namespace meridial
