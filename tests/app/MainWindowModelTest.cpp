#include "app/MainWindowModel.h"

#include <gtest/gtest.h>

#include <sstream>

#include "support/FakeSignLink.h"
#include "support/RecordingNotices.h"

namespace meridial {
namespace {

struct PortThree final : PortNumberStore {
    int PortNumber() const override { return 3; }
    Status SetPortNumber(int) override { return Done(); }
};

// A notice leaves '!' in the log: the log shows it came after the Transfer was given back.
struct LoggedNotices final : Notices {
    void Tell(const Notice& n) override { recorded.Tell(n), log += '!'; }
    NoticeButton Ask(const Notice& n) override { return recorded.Ask(n); }
    std::string log;
    testing::RecordingNotices recorded;
};

// A code page of one byte a character, without '~'.
Result<std::string> Encode(std::string_view utf8) {
    if (utf8.find('~') != std::string_view::npos) return Result<std::string>::Fail("no ~");
    return std::string(utf8);
}

struct Row {
    const char* name;
    // =TEXT the editor's text, #N N letters, k a typed character, iN Sign ID, sN speed, a the
    // sign will answer ACK, T Transfer, C one with a close asked for at each step, c a close, p
    // the preview, S shown, W activated, O another window of the program activated.
    const char* events;
    // k: +/- taken or not; T, C: stay/close; c: yes/no; p: ok or the refusal; [ running, ] idle,
    // ^ close requested; ! a notice.
    const char* log;
    std::vector<std::string> notices;
    std::string count, status, sent;
    int seeds = 0;
};

class MainWindowModelTest : public ::testing::TestWithParam<Row> {};

TEST_P(MainWindowModelTest, EventsLeaveTheWindowsState) {
    const Row& row = GetParam();
    testing::FakeSignLink link;
    const PortThree port;
    LoggedNotices notices;
    std::string& log = notices.log;
    int seeds = 0;
    MainWindowModel* self = nullptr;
    bool closing = false;
    MainWindowModel::FrontEnd frontEnd;
    frontEnd.encoder = {Encode, [](std::string_view utf8) { return int(utf8.size()); }};
    frontEnd.entries = [&] {
        if (closing) log += self->RequestClose() ? "yes" : "no";
        const DstTransition none{"2026", 0, 0, 0};
        return StepEntries{{{2026, 3, 1}, "12:34:56", {}}, {kUtcZoneRow, none, none}, {}};
    };
    frontEnd.seedClock = [&] { ++seeds; };
    frontEnd.transferChanged = [&] { log += "][^"[int(self->State())]; };
    MainWindowModel model(link, port, notices, frontEnd);
    self = &model;
    std::istringstream words(row.events);
    for (std::string w; words >> w;) {
        const std::string rest = w.substr(1);
        if (w[0] == '=') model.TextChanged(rest);
        if (w[0] == '#') model.TextChanged(std::string(std::stoul(rest), 'x'));
        if (w == "k") log += model.TypedCharacter() ? '+' : '-';
        if (w[0] == 'i') model.SignIdPicked(std::stoi(rest));
        if (w[0] == 's') model.SpeedMoved(std::stoi(rest));
        if (w == "a") link.ReplyWith("ACK");
        closing = w == "C";
        if (w == "T" || w == "C")
            log += model.Transfer() == MainWindowModel::AfterTransfer::Close ? "close" : "stay";
        if (w == "c") log += model.RequestClose() ? "yes" : "no";
        if (w == "p") log += model.PreviewRequest() ? "ok" : model.PreviewRequest().error();
        if (w == "S") model.Shown();
        if (w == "W") model.Activated();
        if (w == "O") model.OwnWindowActivated();
    }
    EXPECT_EQ(log, row.log);
    EXPECT_EQ(notices.recorded.shown, row.notices);
    EXPECT_EQ(model.CountText(), row.count);
    EXPECT_EQ(model.StatusText(), row.status);
    // The message frame: "<ID", the Sign ID, "><F", the letter 'E' less the speed, ">", the text.
    EXPECT_NE(link.WrittenBytes().find(row.sent), std::string::npos) << row.sent;
    EXPECT_EQ(link.LastPortNumber(), row.sent.empty() ? 0 : 3);
    EXPECT_FALSE(link.IsOpen());
    EXPECT_EQ(model.TransferProgress().position, 0);
    EXPECT_EQ(seeds, row.seeds);
}

// Icons 0 Information, 1 Error; buttons 0 OK, 1 Yes.
const std::string kMax = "0| Max length is 150 chars ||1";
const std::string kSilent =
    "1|        Transmission Error.       |the sign stayed silent for 3 reads of 1100 ms: check "
    "the cable, the port and the Sign ID|1";

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Rows, MainWindowModelTest,
    ::testing::Values(
        Row{"TypingStopsAtTheLimit", "#149 k #150 k", "+!!-", {kMax, kMax}, "150", "", ""},
        Row{"AcknowledgedWithPickedIdAndSpeed", "i5 i100 s0 s5 =HELLO a T", "[]!stay",
            {"0|         Transmission OK.          ||1"}, "5", "", "<ID05><FE>HELLO"},
        Row{"UnansweredSetsTheStatus", "=HELLO T", "[]!stay", {kSilent}, "5",
            "Sending Date&Time Error", "<ID00><FC>HELLO"},
        Row{"EmptyOpensNothing", "T", "[]!stay", {"0| No message to transfer! ||1"}, "", "", ""},
        Row{"UnencodableOpensNothing", "=a~ T", "[]!stay", {"1|no ~||0"}, "2", "", ""},
        Row{"CloseWaitsForTheSequenceWithoutABox", "=HI C c", "[^nononono]closeyes", {}, "2", "",
            "<ID00><FC>HI"},
        Row{"PreviewRefusesAsATransferWould", "p =~ p =HI p", "No message to transfer!no ~ok", {},
            "2", "", ""},
        Row{"ClockSeededOnFirstActivationOnly", "W S W", "", {}, "", "", "", 1},
        Row{"ClockSeededAgainBackFromOwnWindow", "S S W O W W", "", {}, "", "", "", 2}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

}  // namespace
}  // namespace meridial
