#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace meridial {

// How a link passes the time while it waits for the clock or for a byte. Each front end passes
// the one that suits its thread: the command line blocks, a window keeps its own message loop
// running so it goes on painting, ticking and taking clicks (a native Windows window waits in
// MsgWaitForMultipleObjects on an event that Wake sets). A link is used from one thread;
// Abort and Wake come from that thread or, where the kind says so, from another one.
//
// A caught stop signal (StopSignals.h) aborts every waiter of the program at once.
class Waiter {
public:
    virtual ~Waiter() = default;

    // Waits at most the given milliseconds; a Wake or an Abort ends it sooner. It may end early
    // for no reason, and a Wake that came while no wait ran may end the next one at once:
    // callers keep their own clock and look at what they wait for again.
    virtual void WaitFor(int milliseconds) = 0;

    // Ends the wait that runs now: a device's notification (bytes arrived, the device closed)
    // calls it.
    virtual void Wake() = 0;

    // True when the thread's events are handled while it waits, so a device reports through its
    // notifications. False when nothing else runs meanwhile: a device is then waited on with its
    // own blocking calls, in slices no longer than kSliceMs so that an abort is seen.
    virtual bool HandlesEvents() const = 0;

    // The whole time unless aborted: a wake does not shorten it, the pauses between bytes are
    // part of the protocol.
    void Delay(int milliseconds);

    // Ends every wait at once; the waits that follow return at once until Reset.
    void Abort();
    bool Aborted() const;
    // A new sequence starts un-aborted, with no wake left over.
    virtual void Reset() { m_aborted = false; }

    // A blocked thread cannot be woken by a flag, so blocking waits look at the flags this often:
    // a stop signal ends a sequence within about this time.
    static constexpr int kSliceMs = 20;

private:
    std::atomic<bool> m_aborted{false};
};

// Sleeps the thread, for the command line and for links run on threads of their own. Wake and
// Abort may come from any thread.
class BlockingWaiter final : public Waiter {
public:
    void WaitFor(int milliseconds) override;
    void Wake() override;
    bool HandlesEvents() const override { return false; }
    void Reset() override;

private:
    std::mutex m_mutex;
    std::condition_variable m_woken;
    bool m_wakePending = false;
};

}  // namespace meridial
