#include "app/DescribeOutcome.h"

#include <gtest/gtest.h>

#include "support/RecordingNotices.h"

namespace meridial {
namespace {

// The notice as "icon|text|details|buttons" (icons 0 Information, 1 Error; buttons 0 OK, 1 Yes);
// the command line's lines joined by '/'.
struct Row {
    const char* name;
    TransferOutcome outcome;
    std::string notice, panel, lines;
    int exit;
};

TransferOutcome Outcome(TransferStatus status, std::string reply = {}, std::string line = {},
                        int holder = 0) {
    TransferOutcome outcome;
    outcome.status = status;
    outcome.message = "Invalid argument";
    outcome.openError = {holder ? OpenFailure::Busy : OpenFailure::Missing, "/dev/ttyS0: gone"};
    outcome.openError.holderPid = holder;
    outcome.reply = JudgeReply(std::move(reply), 3);
    outcome.lineError = std::move(line);
    return outcome;
}

class DescribeOutcomeTest : public ::testing::TestWithParam<Row> {};

TEST_P(DescribeOutcomeTest, WordsForTheWindowAndTheCommandLine) {
    const Row& row = GetParam();
    const OutcomeDescription d = DescribeOutcome(row.outcome, "/dev/ttyS0");
    std::string lines;
    for (const std::string& line : d.lines) lines += (lines.empty() ? "" : "/") + line;
    EXPECT_EQ(testing::RecordingNotices::Line(d.notice), row.notice);
    EXPECT_EQ(d.statusPanel, row.panel);
    EXPECT_EQ(lines, row.lines);
    EXPECT_EQ(d.exitCode, row.exit);
}

const std::string kError = "1|        Transmission Error.       |";
const std::string kNack =
    "the sign answered NACK (\"NACK\"): it heard the transfer but refused a frame";
const std::string kLine = "the serial line failed: I/O error";
const std::string kAdvice = "close the program (process 42) and retry";

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Rows, DescribeOutcomeTest,
    ::testing::Values(
        Row{"Acknowledged", Outcome(TransferStatus::Ok, "ACK"),
            "0|         Transmission OK.          ||1", "", "Transmission OK.", 0},
        Row{"NoMessage", Outcome(TransferStatus::EmptyMessage), "0| No message to transfer! ||1",
            "", "No message to transfer!", 2},
        Row{"PortMissing", Outcome(TransferStatus::OpenFailed),
            "1|Open Com Error|/dev/ttyS0: gone|1", "", "Open Com Error: /dev/ttyS0: gone", 3},
        Row{"AdviceInTheBoxToo", Outcome(TransferStatus::OpenFailed, "", "", 42),
            "1|Open Com Error|/dev/ttyS0: gone\n" + kAdvice + "|1", "",
            "Open Com Error: /dev/ttyS0: gone/" + kAdvice, 3},
        Row{"FrameNotBuilt", Outcome(TransferStatus::BuildFailed), "1|Invalid argument||0", "",
            "Invalid argument", 4},
        Row{"Refused", Outcome(TransferStatus::NotAcknowledged, "NACK"), kError + kNack + "|1",
            "Sending Date&Time Error", "Transmission Error./" + kNack, 1},
        Row{"LineFailureNamesTheLine", Outcome(TransferStatus::NotAcknowledged, "", "I/O error"),
            kError + kLine + "|1", "Sending Date&Time Error",
            "Transmission Error./" + kLine + " (/dev/ttyS0)", 1}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

}  // namespace
}  // namespace meridial
