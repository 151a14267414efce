#include "link/Waiter.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace meridial {
namespace {

enum class Call { None, Wake, Abort, AbortThenReset };

struct WaitCase {
    const char* name;
    bool delay;      // Delay instead of WaitFor
    Call before;     // on the waiting thread, before the wait
    Call meanwhile;  // from another thread, 50 ms into the wait
    int waitMs;
    int atLeastMs, belowMs;
    bool aborted;  // afterwards
};

void Apply(Waiter& waiter, Call call) {
    if (call == Call::Wake) waiter.Wake();
    if (call == Call::Abort || call == Call::AbortThenReset) waiter.Abort();
    if (call == Call::AbortThenReset) waiter.Reset();
}

class BlockingWaits : public ::testing::TestWithParam<WaitCase> {};

TEST_P(BlockingWaits, EndWhenTheTimeIsUpOrAsCalled) {
    const WaitCase& c = GetParam();
    BlockingWaiter waiter;
    Apply(waiter, c.before);
    std::thread other([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        Apply(waiter, c.meanwhile);
    });
    const auto start = std::chrono::steady_clock::now();
    c.delay ? waiter.Delay(c.waitMs) : waiter.WaitFor(c.waitMs);
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::steady_clock::now() - start)
                          .count();
    other.join();
    EXPECT_GE(took, c.atLeastMs);
    EXPECT_LT(took, c.belowMs);
    EXPECT_EQ(waiter.Aborted(), c.aborted);
}

INSTANTIATE_TEST_SUITE_P(
    Waiter, BlockingWaits,
    ::testing::Values(
        WaitCase{"TimeUp", false, Call::None, Call::None, 150, 150, 1000, false},
        WaitCase{"WakeEndsAWait", false, Call::None, Call::Wake, 3000, 40, 1000, false},
        WaitCase{"WakeBeforeEndsTheNextWait", false, Call::Wake, Call::None, 3000, 0, 40, false},
        WaitCase{"AbortEndsAWait", false, Call::None, Call::Abort, 3000, 40, 1000, true},
        WaitCase{"AbortedEndsAtOnce", false, Call::Abort, Call::None, 3000, 0, 40, true},
        WaitCase{"ResetStartsUnaborted", false, Call::AbortThenReset, Call::None, 150, 150, 1000,
                 false},
        WaitCase{"WakeLeavesADelayWhole", true, Call::Wake, Call::Wake, 300, 300, 1000, false},
        WaitCase{"AbortEndsADelay", true, Call::None, Call::Abort, 3000, 40, 1000, true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace meridial
