#include "clock/TimeFieldModel.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace meridial {
namespace {

struct Row {
    const char* name;
    // Words: sHH:MM:SS seed; @N the caret, @N+L a selection; rTEXT/N a reshape; else letters:
    // keys (digits, < Backspace, > Delete, ! Escape) pressed and released, e entering, w the
    // window coming back, l leaving (the notice closed at once), t a tick, d/u mouse down/up.
    const char* events;
    const char* text;
    TimeFieldCaret caret;
    bool typed;
    int notices;
};

void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }

const std::map<char, void (TimeFieldModel::*)()> kCalls{
    {'<', &TimeFieldModel::Backspace}, {'>', &TimeFieldModel::Delete},
    {'!', &TimeFieldModel::Escape},    {'t', &TimeFieldModel::Tick},
    {'d', &TimeFieldModel::MouseDown}, {'u', &TimeFieldModel::MouseUp}};

class TimeFieldModelTest : public ::testing::TestWithParam<Row> {};

TEST_P(TimeFieldModelTest, EventsLeaveTheFieldAndClock) {
    TimeFieldModel f;
    int notices = 0;
    std::istringstream words(GetParam().events);
    for (std::string w; words >> w;) {
        const std::string rest = w.substr(1);
        if (w[0] == 's') {
            int h = 0, m = 0, sec = 0;
            std::sscanf(rest.c_str(), "%d:%d:%d", &h, &m, &sec);
            f.Seed(std::chrono::hh_mm_ss(std::chrono::seconds(h * 3600 + m * 60 + sec)));
        } else if (w[0] == '@') {
            std::size_t at = 0, length = 0;
            std::sscanf(rest.c_str(), "%zu+%zu", &at, &length);
            f.CaretMoved({at + length, at, length});
        } else if (w[0] == 'r') {
            const std::size_t slash = rest.find('/');
            f.Reshape(rest.substr(0, slash), std::stoul(rest.substr(slash + 1)));
        } else {
            for (const char c : w) {
                if (const auto call = kCalls.find(c); call != kCalls.end()) (f.*call->second)();
                if (std::isdigit(c)) f.Typed(static_cast<char32_t>(c));
                if (std::isdigit(c) || std::strchr("<>!", c)) f.KeyUp();
                if (c == 'e' || c == 'w') f.FocusIn(c == 'e');
                if (c != 'l') continue;
                if (const auto notice = f.Leave()) {
                    EXPECT_EQ(notice->icon, NoticeIcon::Error);
                    EXPECT_EQ(notice->buttons, std::vector{NoticeButton::Ok});
                    notices +=
                        notice->text == "Invalid input value.  Use escape key to abandon changes";
                    f.FocusIn(true);  // the field taking the focus back is no entry
                    f.Reported();
                }
            }
        }
    }
    EXPECT_EQ(f.Text(), GetParam().text);
    EXPECT_EQ(f.Caret(), GetParam().caret);
    EXPECT_EQ(f.TypedSinceEntry(), GetParam().typed);
    EXPECT_EQ(notices, GetParam().notices);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, TimeFieldModelTest,
    ::testing::Values(
        Row{"SeedingWritesThePcsTime", "s09:05:03", "09:05:03", {8, 8, 0}, false, 0},
        Row{"TypingStepsOverAColon", "s10:00:00 e @1 47", "14:50:00", {4, 4, 0}, true, 0},
        Row{"TypingAtTheSelectionsStart", "s10:00:00 @3+4 2", "10:20:00", {4, 4, 0}, true, 0},
        Row{"BackspaceOverAColon", "s12:34:08 @3 <", "1 :34:08", {1, 1, 0}, true, 0},
        Row{"DeleteOverAColon", "s12:34:08 @5 >", "12:34: 8", {6, 6, 0}, true, 0},
        Row{"EscapeAfterTyping", "s08:00:00 e @0 11 t w @4 !", "08:00:01", {4, 4, 0}, false, 0},
        Row{"EscapeUntyped", "s08:00:00 e @3+2 !", "08:00:00", {5, 3, 2}, false, 0},
        Row{"LeavingIncompleteTells", "s08:00:00 e @7 < @0 l l", "08:00: 0", {6, 6, 0}, true, 2},
        Row{"LeavingAsEnteredTellsNothing", "s08:00:00 @7 < e l", "08:00: 0", {6, 6, 0}, false, 0},
        Row{"TickKeepsALeadingBlankHour", "s08:00:59 @0 > t", " 8:01:00", {0, 0, 0}, true, 0},
        Row{"TickLeavesAnIncompleteField", "s12:34:08 e @4 < t", "12: 4:08", {3, 3, 0}, true, 0},
        Row{"TickRestoresTheClick", "s12:34:08 @3 d @3+2 u @7 t", "12:34:09", {5, 3, 2}, false, 0},
        Row{"ReshapeOfACut", "s23:45:30 r23::30/3", "23:  :30", {3, 3, 0}, true, 0}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace meridial
