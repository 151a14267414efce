#include "link/Waiter.h"

#include <algorithm>
#include <chrono>

#include "link/StopSignals.h"

namespace meridial {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

void Waiter::Delay(int duration) {
    const Clock::time_point end = Clock::now() + milliseconds(duration);
    for (Clock::time_point now = Clock::now(); now < end && !Aborted(); now = Clock::now())
        WaitFor(static_cast<int>(std::chrono::ceil<milliseconds>(end - now).count()));
}

void Waiter::Abort() {
    m_aborted = true;
    Wake();
}

bool Waiter::Aborted() const { return m_aborted || StopSignal() != 0; }

void BlockingWaiter::WaitFor(int duration) {
    const Clock::time_point end = Clock::now() + milliseconds(duration);
    std::unique_lock lock(m_mutex);
    for (Clock::time_point now = Clock::now(); now < end && !Aborted(); now = Clock::now()) {
        // A stop signal's handler may not take the mutex, so the flag is looked at between
        // slices instead of waking the wait.
        const Clock::time_point sliceEnd = std::min(end, now + milliseconds(kSliceMs));
        if (m_woken.wait_until(lock, sliceEnd, [this] { return m_wakePending; })) break;
    }
    m_wakePending = false;
}

void BlockingWaiter::Reset() {
    Waiter::Reset();
    std::lock_guard lock(m_mutex);
    m_wakePending = false;
}

void BlockingWaiter::Wake() {
    {
        std::lock_guard lock(m_mutex);
        m_wakePending = true;
    }
    m_woken.notify_all();
}

}  // namespace meridial
