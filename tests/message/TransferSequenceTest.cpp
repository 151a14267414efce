#include "message/TransferSequence.h"

#include <gtest/gtest.h>

#include "message/MessageFrame.h"
#include "support/FakeSignLink.h"

namespace meridial {
namespace {

using testing::FakeSignLink;

const std::string kClock = "<ID01><SS>0123456<E>";
const std::string kZone = "<ID01><ST>0123456789AB<E>";

struct Recorder {
    std::vector<std::pair<int, int>> progress;
    std::vector<std::string> built;
    std::string zoneError;

    TransferSteps Steps() {
        TransferSteps steps;
        steps.clockFrame = [this] {
            built.push_back("clock");
            return FrameResult{kClock, {}};
        };
        steps.zoneFrame = [this] {
            built.push_back("zone");
            return zoneError.empty() ? FrameResult{kZone, {}} : FrameResult::Fail(zoneError);
        };
        steps.messageFrame = [this](const std::string& text) {
            built.push_back("message");
            return FrameResult{BuildMessageFrame(1, 2, text), {}};
        };
        steps.progress = [this](int pos, int max) { progress.emplace_back(pos, max); };
        return steps;
    }
};

TEST(RunTransfer, SendsThreeFramesInOrderAndReadsTheAcknowledgementOnce) {
    FakeSignLink link;
    link.ReplyWith("ACK");
    Recorder r;
    const TransferOutcome outcome = RunTransfer(link, 4, "HELLO", r.Steps());
    EXPECT_EQ(outcome.status, TransferStatus::Ok);
    EXPECT_EQ(link.LastPortNumber(), 4);
    EXPECT_EQ(link.LastBaudRate(), 9600);
    EXPECT_EQ(link.WrittenBytes(), kClock + kZone + BuildMessageFrame(1, 2, "HELLO"));
    EXPECT_EQ(link.ReadCount(), 3);
    EXPECT_EQ(link.OpenCount(), 1);
    EXPECT_EQ(link.CloseCount(), 1);
    EXPECT_EQ(r.built, (std::vector<std::string>{"clock", "zone", "message"}));
}

TEST(RunTransfer, PacesFramesAndMessageBytesOnTheClock) {
    FakeSignLink link;
    link.ReplyWith("ACK");
    Recorder r;
    RunTransfer(link, 1, "HELLO", r.Steps());
    const auto& w = link.Writes();
    const std::size_t zoneStart = kClock.size();
    const std::size_t messageStart = zoneStart + kZone.size();
    // Clock frame: header at 0, payload after the 100 ms pause.
    EXPECT_EQ(w[9].timeMs, 0);
    EXPECT_EQ(w[10].timeMs, 100);
    // 300 ms between frames.
    EXPECT_EQ(w[zoneStart].timeMs - w[zoneStart - 1].timeMs, 300);
    EXPECT_EQ(w[zoneStart + 10].timeMs - w[zoneStart + 9].timeMs, 100);
    EXPECT_EQ(w[messageStart].timeMs - w[messageStart - 1].timeMs, 300 + kMessageByteIntervalMs);
    // Message bytes: one interval apart, the header pause added before byte 11.
    for (std::size_t i = messageStart + 1; i < w.size(); ++i) {
        const long long gap = w[i].timeMs - w[i - 1].timeMs;
        const long long expected =
            kMessageByteIntervalMs + (i - messageStart == 10 ? kHeaderPauseMs : 0);
        EXPECT_EQ(gap, expected) << "message byte " << i - messageStart + 1;
    }
}

TEST(RunTransfer, ProgressCountsEveryMessageByteAndEndsAtZero) {
    FakeSignLink link;
    link.ReplyWith("ACK");
    Recorder r;
    RunTransfer(link, 1, "HELLO", r.Steps());
    ASSERT_EQ(r.progress.size(), 21u);  // reset, 19 steps, final reset
    EXPECT_EQ(r.progress.front(), std::make_pair(0, 19));
    for (int j = 1; j <= 19; ++j) EXPECT_EQ(r.progress[j], std::make_pair(j, 19));
    EXPECT_EQ(r.progress.back(), std::make_pair(0, 19));
}

TEST(RunTransfer, EmptyMessageOpensNothing) {
    FakeSignLink link;
    Recorder r;
    EXPECT_EQ(RunTransfer(link, 1, "", r.Steps()).status, TransferStatus::EmptyMessage);
    EXPECT_EQ(link.OpenCount(), 0);
    EXPECT_TRUE(r.built.empty());
}

TEST(RunTransfer, OnlyLineBreaksIsStillAMessage) {
    FakeSignLink link;
    link.ReplyWith("ACK");
    Recorder r;
    EXPECT_EQ(RunTransfer(link, 1, "\r\n", r.Steps()).status, TransferStatus::Ok);
    EXPECT_TRUE(link.WrittenBytes().ends_with(std::string("<ID01><FC>") + '\0' + "<E>"));
}

TEST(RunTransfer, OpenFailureSendsNothingAndClosesNothing) {
    FakeSignLink link;
    link.FailOpenWith(OpenFailure::Busy);
    Recorder r;
    const TransferOutcome outcome = RunTransfer(link, 9, "HELLO", r.Steps());
    EXPECT_EQ(outcome.status, TransferStatus::OpenFailed);
    EXPECT_EQ(outcome.openFailure, OpenFailure::Busy);
    EXPECT_TRUE(link.Writes().empty());
    EXPECT_EQ(link.CloseCount(), 0);
    EXPECT_TRUE(r.built.empty());
}

TEST(RunTransfer, UnbuildableZoneFrameClosesThePortAndSendsNoMessage) {
    FakeSignLink link;
    Recorder r;
    r.zoneError = "Invalid argument to date encode";
    const TransferOutcome outcome = RunTransfer(link, 1, "HELLO", r.Steps());
    EXPECT_EQ(outcome.status, TransferStatus::BuildFailed);
    EXPECT_EQ(outcome.message, "Invalid argument to date encode");
    EXPECT_EQ(link.WrittenBytes(), kClock);
    EXPECT_FALSE(link.IsOpen());
    EXPECT_EQ(link.CloseCount(), 1);
    EXPECT_EQ(r.built, (std::vector<std::string>{"clock", "zone"}));
}

TEST(RunTransfer, SilenceIsNotAcknowledgedAfterThreeTimeOuts) {
    FakeSignLink link;
    Recorder r;
    const TransferOutcome outcome = RunTransfer(link, 1, "HELLO", r.Steps());
    EXPECT_EQ(outcome.status, TransferStatus::NotAcknowledged);
    EXPECT_FALSE(link.IsOpen());
    EXPECT_EQ(r.progress.back(), std::make_pair(0, 19));
}

TEST(RunTransfer, EarlyBytesFromTheSignCountAsTheReply) {
    // The reply judged is the first three bytes since the open, whenever they came.
    FakeSignLink link;
    link.ReplyWith("NAK!ACK");
    Recorder r;
    EXPECT_EQ(RunTransfer(link, 1, "HELLO", r.Steps()).status, TransferStatus::NotAcknowledged);
}

}  // namespace
}  // namespace meridial
