#pragma once

#include <functional>

class QEventLoop;
class QIODevice;

namespace meridial {

// How a link passes the time while it waits for the clock or for a byte.
enum class WaitMode {
    Blocking,   // sleep the thread: command-line use
    EventLoop,  // run a local event loop: windows keep painting, ticking and taking clicks
};

// The waiting every kind of link shares: the pacing delay and the wait for incoming bytes, in
// either mode, and an abort that ends every wait at once. A caught stop signal (StopSignals.h)
// aborts every waiter of the program, from whatever thread it runs on.
class LinkWaiter {
public:
    explicit LinkWaiter(WaitMode mode) : m_mode(mode) {}

    WaitMode Mode() const { return m_mode; }

    void Delay(int milliseconds);

    // Waits until the device has bytes to read, closes, or the time is up; true when bytes wait.
    bool WaitReadable(QIODevice& device, int milliseconds);

    // Event-loop mode: runs a local loop for at most the time; `connect` ties the signals that
    // end the wait early to the loop's quit.
    void RunLoopFor(int milliseconds, const std::function<void(QEventLoop&)>& connect);

    void Abort();
    bool Aborted() const;
    // A new sequence starts un-aborted.
    void Reset() { m_aborted = false; }

private:
    void RunLoop(QEventLoop& loop);

    WaitMode m_mode;
    bool m_aborted = false;
    QEventLoop* m_currentLoop = nullptr;
};

}  // namespace meridial
