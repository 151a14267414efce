#include "service/SignIdResetModel.h"

#include <gtest/gtest.h>

#include "support/FakeSignLink.h"
#include "support/RecordingNotices.h"

namespace meridial {
namespace {

struct PortFive final : PortNumberStore {
    int PortNumber() const override { return 5; }
    Status SetPortNumber(int) override { return Done(); }
};

// Icons 2 Question, 3 Plain; buttons 0 OK, 1 Yes, 2 No.
const std::string kAsk = "2|     Confirm to Reset ID ?     ||12";
const std::string kNoPort = "3|Open Com Error|scripted failure|0";
const std::string kBusy = "3|Open Com Error|A transfer is using the line.|0";

enum class Line { AnswerYes, AnswerNo, NoPort, TransferRunning };
// The port is the last one asked for: 0 for none, 1 the running transfer's.
using Row =
    std::tuple<const char*, std::vector<int>, Line, int, std::string, std::vector<std::string>>;
class SignIdReset : public ::testing::TestWithParam<Row> {};

TEST_P(SignIdReset, AsksThenWritesTheResetFrame) {
    const auto& [name, picks, line, port, written, shown] = GetParam();
    testing::FakeSignLink link;
    if (line == Line::NoPort) link.FailOpenWith(OpenFailure::Missing);
    if (line == Line::TransferRunning) (void)link.OpenPort(1, kBaudRate);
    testing::RecordingNotices notices;
    if (line == Line::AnswerNo) notices.answer = NoticeButton::No;
    const PortFive portFive;
    SignIdResetModel model(link, portFive, notices);
    for (int pick : picks) model.Select(pick);
    model.Ok();
    EXPECT_EQ(link.WrittenBytes(), written);
    EXPECT_EQ(notices.shown, shown);
    EXPECT_EQ(link.LastPortNumber(), port);
    EXPECT_EQ(link.IsOpen(), line == Line::TransferRunning);
}

// The frame: "<ID>", "<", the new id as two upper-case hex digits, ">", "<E>"; no checksum.
INSTANTIATE_TEST_SUITE_P(
    Rows, SignIdReset,
    ::testing::Values(
        Row{"FirstItemAtStart", {}, Line::AnswerYes, 5, "<ID><01><E>", {kAsk}},
        Row{"LastItem", {254}, Line::AnswerYes, 5, "<ID><FF><E>", {kAsk}},
        Row{"PickOutsideKeepsTheLast", {15, 255, -1}, Line::AnswerYes, 5, "<ID><10><E>", {kAsk}},
        Row{"NoSendsNothing", {}, Line::AnswerNo, 0, "", {kAsk}},
        Row{"OpenFailureSaysWhy", {}, Line::NoPort, 5, "", {kAsk, kNoPort}},
        Row{"RunningTransferIsNotAsked", {}, Line::TransferRunning, 1, "", {kBusy}}),
    [](const auto& info) { return std::string(std::get<0>(info.param)); });

}  // namespace
}  // namespace meridial
