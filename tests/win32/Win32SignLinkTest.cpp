#include "win32/Win32SignLink.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>

#include "link/SignFrame.h"

namespace meridial {
namespace {

long long ProcessCpuMs() {
    FILETIME unused, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &unused, &unused, &kernel, &user);
    const auto ms = [](FILETIME t) {
        return (static_cast<long long>(t.dwHighDateTime) << 32 | t.dwLowDateTime) / 10000;
    };
    return ms(kernel) + ms(user);
}

// tools/test-windows.sh maps COM1 to a pseudo-terminal whose other end sends every byte back.
TEST(Win32SignLinkTest, WholeFrameByteExactSecondOpenRefusedReadTimesOut) {
    if (!std::getenv("MERIDIAL_LOOPBACK_COM1")) GTEST_SKIP() << "COM1 is no loopback here";
    Win32SignLink link;
    ASSERT_TRUE(link.OpenPort(9, kBaudRate)) << "9 is out of range and opens COM1";
    EXPECT_EQ(link.DeviceName(), "COM1");
    // The bytes a line discipline or software flow control would take: NUL, XON, XOFF, CR, LF.
    const std::string payload("A\0\x11\x13\r\n\xff", 7);
    ASSERT_TRUE(SendFramePaced(link, AddressedFrame(3, "F", payload)));
    const std::string expected = "<ID03><F>" + payload + "\xbb<E>";

    Win32SignLink other;
    const OpenResult second = other.OpenPort(1, kBaudRate);
    ASSERT_FALSE(second);
    EXPECT_EQ(second.error().failure, OpenFailure::Busy) << second.error().detail;
    EXPECT_FALSE(link.OpenPort(1, kBaudRate)) << "the link is already open";

    std::string echoed;
    std::uint8_t byte = 0;
    while (echoed.size() < expected.size() && link.ReadByte(byte) == 1)
        echoed += static_cast<char>(byte);
    EXPECT_EQ(HexBytes(echoed), HexBytes(expected));

    byte = 0x5a;
    const DWORD start = GetTickCount();
    EXPECT_EQ(link.ReadByte(byte), 0);
    EXPECT_GE(GetTickCount() - start, kReadTimeoutMs - 16u);  // Windows' tick is 15.6 ms
    EXPECT_EQ(byte, 0x5a);
    link.ClosePort();
    // The last open of the run: tools/test-windows.sh checks the line it leaves, 19200 8N1.
    EXPECT_TRUE(other.OpenPort(1, 19200)) << "closed, the port is free again";
}

TEST(Win32SignLinkTest, MissingDeviceIsRefusedAsMissing) {
    Win32SignLink link([](int) { return std::string("\\\\.\\COM199"); });
    const OpenResult opened = link.OpenPort(3, kBaudRate);
    ASSERT_FALSE(opened);
    EXPECT_EQ(opened.error().failure, OpenFailure::Missing);
    EXPECT_TRUE(opened.error().detail.starts_with("\\\\.\\COM199: ")) << opened.error().detail;
}

TEST(Win32SignLinkTest, DelayDispatchesMessagesWithoutSpinningUntilTheTickCountSaysSo) {
    static int ticks = 0;
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, [](HWND, UINT, UINT_PTR, DWORD) { ++ticks; });
    Win32SignLink link({}, PumpWindowMessages);
    const long long cpuBefore = ProcessCpuMs();
    const DWORD start = GetTickCount();
    link.Delay(300);
    EXPECT_GE(GetTickCount() - start, 300u);
    EXPECT_GE(ticks, 5) << "the timer's messages were not dispatched";
    EXPECT_LT(ProcessCpuMs() - cpuBefore, 100) << "Delay spins";
    KillTimer(nullptr, timer);

    int pumped = 0;
    Win32SignLink aborting({}, [&](unsigned long) {
        if (++pumped == 3) aborting.Abort();
    });
    aborting.Delay(60000);
    EXPECT_EQ(pumped, 3) << "Abort ends the wait";
}

}  // namespace
}  // namespace meridial
