#include "message/TransferSequence.h"

#include <gtest/gtest.h>

#include <vector>

#include "link/SignFrame.h"
#include "message/MessageFrame.h"
#include "support/FakeSignLink.h"

namespace meridial {
namespace {

using testing::FakeSignLink;

TransferRequest Request(const std::string& message) {
    TransferRequest request;
    request.signId = 1;
    request.speed = 2;
    request.messageBytes = message;
    request.date = {2010, 3, 1};
    request.timeText = "05:30:15";
    request.pcZone = {-480, false};
    request.zoneRow = 16;
    request.dstStart = {"2010", 0, 0, 0};
    request.dstEnd = {"2010", 0, 0, 0};
    return request;
}

std::string Frame(const TransferRequest& request, TransferStep step) {
    return BuildTransferFrame(request, step).value();
}

// Reads the request as a window would, counting the reads: one before the open, then one at
// each frame's step.
struct Reader {
    TransferRequest request;
    int reads = 0;
    std::vector<std::pair<int, int>> progress;

    RequestReader Read() {
        return [this] {
            ++reads;
            return request;
        };
    }
    TransferProgress Progress() {
        return [this](int pos, int max) { progress.emplace_back(pos, max); };
    }
};

TEST(RunTransfer, SendsThreeFramesInOrderAndReadsTheAcknowledgementOnce) {
    FakeSignLink link;
    link.ReplyWith("ACK");
    Reader r{Request("HELLO"), 0, {}};
    const TransferOutcome outcome = RunTransfer(link, 4, r.Read());
    EXPECT_EQ(outcome.status, TransferStatus::Ok);
    EXPECT_EQ(link.LastPortNumber(), 4);
    EXPECT_EQ(link.LastBaudRate(), 9600);
    EXPECT_EQ(link.WrittenBytes(), Frame(r.request, TransferStep::Clock) +
                                       Frame(r.request, TransferStep::Zone) +
                                       BuildMessageFrame(1, 2, "HELLO").value());
    EXPECT_EQ(link.ReadCount(), 3);
    EXPECT_EQ(link.OpenCount(), 1);
    EXPECT_EQ(link.CloseCount(), 1);
    EXPECT_EQ(r.reads, 4);
}

TEST(RunTransfer, PacesFramesAndMessageBytesOnTheClock) {
    FakeSignLink link;
    link.ReplyWith("ACK");
    const TransferRequest request = Request("HELLO");
    RunTransfer(link, 1, request);
    const auto& w = link.Writes();
    const std::size_t zoneStart = Frame(request, TransferStep::Clock).size();
    const std::size_t messageStart = zoneStart + Frame(request, TransferStep::Zone).size();
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
    Reader r{Request("HELLO"), 0, {}};
    RunTransfer(link, 1, r.Read(), r.Progress());
    ASSERT_EQ(r.progress.size(), 21u);  // reset, 19 steps, final reset
    EXPECT_EQ(r.progress.front(), std::make_pair(0, 19));
    for (int j = 1; j <= 19; ++j) EXPECT_EQ(r.progress[j], std::make_pair(j, 19));
    EXPECT_EQ(r.progress.back(), std::make_pair(0, 19));
}

TEST(RunTransfer, EmptyMessageOpensNothing) {
    FakeSignLink link;
    Reader r{Request(""), 0, {}};
    EXPECT_EQ(RunTransfer(link, 1, r.Read()).status, TransferStatus::EmptyMessage);
    EXPECT_EQ(link.OpenCount(), 0);
    EXPECT_EQ(r.reads, 1);
}

TEST(RunTransfer, OnlyLineBreaksIsStillAMessage) {
    FakeSignLink link;
    link.ReplyWith("ACK");
    EXPECT_EQ(RunTransfer(link, 1, Request("\r\n")).status, TransferStatus::Ok);
    EXPECT_TRUE(link.WrittenBytes().ends_with(std::string("<ID01><FC>") + '\0' + "<E>"));
}

TEST(RunTransfer, OpenFailureSendsNothingAndClosesNothing) {
    FakeSignLink link;
    link.FailOpenWith(OpenFailure::Busy);
    Reader r{Request("HELLO"), 0, {}};
    const TransferOutcome outcome = RunTransfer(link, 9, r.Read());
    EXPECT_EQ(outcome.status, TransferStatus::OpenFailed);
    EXPECT_EQ(outcome.openError.failure, OpenFailure::Busy);
    EXPECT_TRUE(link.Writes().empty());
    EXPECT_EQ(link.CloseCount(), 0);
    EXPECT_EQ(r.reads, 1);
}

TEST(RunTransfer, UnbuildableZoneFrameClosesThePortAndSendsNoMessage) {
    FakeSignLink link;
    Reader r{Request("HELLO"), 0, {}};
    r.request.dstStart = {"2010", 2, 31, 0};  // 31 February
    const TransferOutcome outcome = RunTransfer(link, 1, r.Read());
    EXPECT_EQ(outcome.status, TransferStatus::BuildFailed);
    EXPECT_EQ(outcome.message, "Invalid argument to date encode");
    EXPECT_EQ(link.WrittenBytes(), Frame(r.request, TransferStep::Clock));
    EXPECT_FALSE(link.IsOpen());
    EXPECT_EQ(link.CloseCount(), 1);
    EXPECT_EQ(r.reads, 3);
}

TEST(RunTransfer, SilenceIsNotAcknowledgedAfterThreeTimeOuts) {
    FakeSignLink link;
    Reader r{Request("HELLO"), 0, {}};
    const TransferOutcome outcome = RunTransfer(link, 1, r.Read(), r.Progress());
    EXPECT_EQ(outcome.status, TransferStatus::NotAcknowledged);
    EXPECT_FALSE(link.IsOpen());
    EXPECT_EQ(r.progress.back(), std::make_pair(0, 19));
}

TEST(RunTransfer, EarlyBytesFromTheSignCountAsTheReply) {
    // The reply judged is the first three bytes since the open, whenever they came.
    FakeSignLink link;
    link.ReplyWith("NAK!ACK");
    const TransferOutcome outcome = RunTransfer(link, 1, Request("HELLO"));
    EXPECT_EQ(outcome.status, TransferStatus::NotAcknowledged);
    // What was judged travels with the outcome, for both front ends to explain.
    EXPECT_EQ(outcome.reply.kind, ReplyKind::Negative);
    EXPECT_EQ(outcome.reply.bytes, "NAK!");
}

TEST(FailureReason, OneLineForEveryOutcome) {
    struct Row {
        TransferStatus status;
        std::string message;
        std::string lineError;
        std::string reply;
        std::string reason;
    };
    const std::vector<Row> rows{
        {TransferStatus::Ok, {}, {}, "ACK", ""},
        {TransferStatus::EmptyMessage, {}, {}, {}, ""},
        {TransferStatus::OpenFailed,
         "/dev/ttyS0: no such device",
         {},
         {},
         "/dev/ttyS0: no such device"},
        {TransferStatus::BuildFailed,
         "Invalid argument to date encode",
         {},
         {},
         "Invalid argument to date encode"},
        {TransferStatus::NotAcknowledged,
         {},
         {},
         "AC",
         "the sign sent part of an answer (\"AC\") and then nothing for 1100 ms"},
        // A line that went away explains the empty reply better than the reply does.
        {TransferStatus::NotAcknowledged,
         {},
         "Input/output error",
         {},
         "the serial line failed: Input/output error"},
    };
    for (const Row& row : rows) {
        TransferOutcome outcome;
        outcome.status = row.status;
        outcome.message = row.message;
        outcome.lineError = row.lineError;
        outcome.reply = JudgeReply(row.reply, 3 - static_cast<int>(row.reply.size()));
        EXPECT_EQ(FailureReason(outcome), row.reason) << row.reason;
    }
}

// A line that dies in any frame ends the sequence at its first refused byte: no more pauses, no
// wait for an answer, the port closed once, the reason kept, or named when the link has none.
TEST(RunTransfer, DeadLineEndsTheSequenceAtOnce) {
    const TransferRequest request = Request(std::string(2000, 'x'));
    const std::size_t clock = Frame(request, TransferStep::Clock).size();
    const std::size_t zone = Frame(request, TransferStep::Zone).size();
    const std::string told = "Input/output error", untold = "the line did not take a byte";
    for (const auto& [writtenBeforeDeath, reason] :
         {std::pair{std::size_t{0}, told}, std::pair{std::size_t{5}, told},
          std::pair{clock + 12, told}, std::pair{clock + zone + 40, told},
          std::pair{std::size_t{0}, untold}, std::pair{clock + zone + 40, untold}}) {
        FakeSignLink link;
        link.ReplyWith("ACK");
        link.DieAfterBytes(writtenBeforeDeath, reason == told);
        const TransferOutcome outcome = RunTransfer(link, 1, request);
        SCOPED_TRACE(std::to_string(writtenBeforeDeath) + " " + reason);
        EXPECT_EQ(outcome.status, TransferStatus::NotAcknowledged);
        EXPECT_EQ(outcome.lineError, reason);
        EXPECT_EQ(link.Writes().size(), writtenBeforeDeath);
        EXPECT_EQ(link.ReadCount(), 0);
        EXPECT_EQ(link.CloseCount(), 1);
        // At most the pauses before the failed byte; a full 2000-byte message takes 32 s.
        EXPECT_LT(link.Now(), 2500);
    }
}

// Each step's frame carries the request's own fields: start and end rows differ, as do the Sign
// ID, the zone row and the speed. The bytes are the sign's layout, written out.
TEST(BuildTransferFrame, EachStepTakesItsFieldsFromTheRequest) {
    TransferRequest request = Request("HELLO");
    request.dstStart = {"2010", 3, 28, 2};
    request.dstEnd = {"2010", 10, 31, 3};
    request.formats.dateOrder = DateOrder::DayMonthYear;
    const std::pair<TransferStep, const char*> rows[] = {
        // "<ID01><SS>" s n h of 21:30:15 UTC, 28 Feb, weekday, 2010, checksum, "<E>"
        {TransferStep::Clock, "3C 49 44 30 31 3E 3C 53 53 3E 15 30 21 28 02 02 10 3C 3C 45 3E"},
        // "<ID01><ST>" start 01h 28.03.10, end 02h 31.10.10, east, DD-MM-YY, +01:00, checksum
        {TransferStep::Zone,
         "3C 49 44 30 31 3E 3C 53 54 3E 01 28 03 10 02 31 10 10 01 40 01 00 49 3C 45 3E"},
        // "<ID01><FC>HELLO", checksum, "<E>"
        {TransferStep::Message, "3C 49 44 30 31 3E 3C 46 43 3E 48 45 4C 4C 4F 42 3C 45 3E"},
    };
    for (const auto& [step, bytes] : rows)
        EXPECT_EQ(HexBytes(Frame(request, step)), bytes) << static_cast<int>(step);
}

}  // namespace
}  // namespace meridial
