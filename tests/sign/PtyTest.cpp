#include "sign/Pty.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace meridial::sign {
namespace {

// A client sets the exclusive flag on the sign's device, then is killed or keeps running.
struct ExclusiveRow {
    const char* name;
    bool clientKilled;
    bool flagLeft;
};

void PrintTo(const ExclusiveRow& row, std::ostream* os) { *os << row.name; }

class ExclusiveFlag : public ::testing::TestWithParam<ExclusiveRow> {};

TEST_P(ExclusiveFlag, OutlivesNoClient) {
    Result<PseudoTerminal> opened = OpenPseudoTerminal();
    ASSERT_TRUE(opened) << opened.error();
    PseudoTerminal pty = opened.value();
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t client = ::fork();
    if (client == 0) {
        const int fd = ::open(pty.path.c_str(), O_RDWR | O_NOCTTY);
        ::ioctl(fd, TIOCEXCL);
        [[maybe_unused]] const auto written = ::write(ready[1], "x", 1);
        ::pause();
        ::_exit(0);
    }
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    if (GetParam().clientKilled) {
        ::kill(client, SIGKILL);
        ::waitpid(client, nullptr, 0);
    }
    ReleaseAbandonedExclusive(pty);
    int exclusive = 0;
    ::ioctl(pty.slaveHold, TIOCGEXCL, &exclusive);
    EXPECT_EQ(exclusive != 0, GetParam().flagLeft);
    if (!GetParam().clientKilled) {
        ::kill(client, SIGKILL);
        ::waitpid(client, nullptr, 0);
    }
    ::close(ready[0]);
    ::close(ready[1]);
    ClosePseudoTerminal(pty);
}

INSTANTIATE_TEST_SUITE_P(Sign, ExclusiveFlag,
                         ::testing::Values(ExclusiveRow{"KilledClientsFlagIsCleared", true, false},
                                           ExclusiveRow{"LiveClientKeepsItsFlag", false, true}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace meridial::sign
