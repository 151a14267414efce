#pragma once

#include "link/Waiter.h"

class QEventLoop;

namespace meridial {

// Runs a local Qt event loop while it waits: the windows keep painting, ticking and taking
// clicks, and the devices' notifications arrive. Wake and Abort come from the waiter's thread.
class EventLoopWaiter final : public Waiter {
public:
    void WaitFor(int milliseconds) override;
    void Wake() override;
    bool HandlesEvents() const override { return true; }

private:
    QEventLoop* m_currentLoop = nullptr;
};

}  // namespace meridial
