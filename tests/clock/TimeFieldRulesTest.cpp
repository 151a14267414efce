#include "clock/TimeFieldRules.h"

#include <gtest/gtest.h>

#include <utility>

namespace meridial {
namespace {

struct TickCase {
    const char* name;
    const char* before;
    const char* after;  // nullptr: the field is left alone
};

class TickTimeFieldTest : public ::testing::TestWithParam<TickCase> {};

TEST_P(TickTimeFieldTest, AddsOneSecondKeepingUntouchedParts) {
    const TickCase& c = GetParam();
    const auto next = TickTimeField(c.before);
    if (c.after) {
        ASSERT_TRUE(next) << c.before;
        EXPECT_EQ(*next, c.after);
    } else {
        EXPECT_FALSE(next) << *next;
    }
}

INSTANTIATE_TEST_SUITE_P(Ticks, TickTimeFieldTest,
                         ::testing::Values(TickCase{"Midnight", "23:59:59", "00:00:00"},
                                           TickCase{"HourCarry", "12:59:59", "13:00:00"},
                                           TickCase{"MinuteCarry", "12:34:59", "12:35:00"},
                                           TickCase{"Second", "12:34:08", "12:34:09"},
                                           TickCase{"BlankHourKept", " 5:30:59", " 5:31:00"},
                                           TickCase{"BlankHourCarried", " 5:59:59", "06:00:00"},
                                           TickCase{"BlankMinuteDigit", "12: 4:08", nullptr},
                                           TickCase{"BlankSecondDigit", "12:34:0 ", nullptr},
                                           TickCase{"TrailingBlankHour", "5 :30:00", nullptr},
                                           TickCase{"AllBlank", "  :  :  ", nullptr},
                                           TickCase{"HourTooBig", "24:00:00", nullptr},
                                           TickCase{"MinuteTooBig", "12:60:00", nullptr},
                                           TickCase{"WrongLength", "12:00", nullptr}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ApplyEntryRules, KeepsTheTimeWithin235959) {
    EXPECT_EQ(ApplyEntryRules("9 :  :  "), "2 :  :  ");
    EXPECT_EQ(ApplyEntryRules("27:  :  "), "23:  :  ");
    EXPECT_EQ(ApplyEntryRules("12:8 :  "), "12:5 :  ");
    EXPECT_EQ(ApplyEntryRules("12:34:9 "), "12:34:5 ");
    EXPECT_EQ(ApplyEntryRules(" 9:59:59"), " 9:59:59");  // blanks are never changed
    EXPECT_EQ(ApplyEntryRules("99:99:99"), "23:59:59");
}

// What the command line's --time takes: exactly what the field can hold after its entry rules.
class FieldAllowsTest : public ::testing::TestWithParam<std::pair<const char*, bool>> {};

TEST_P(FieldAllowsTest, OnlyWhatTheEntryRulesKeep) {
    const auto [text, allowed] = GetParam();
    EXPECT_EQ(FieldAllows(text), allowed) << '"' << text << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Texts, FieldAllowsTest,
    ::testing::Values(
        std::pair{"05:30:15", true}, std::pair{"23:59:59", true}, std::pair{"00:00:00", true},
        std::pair{" 5:30:15", true}, std::pair{"  :  :  ", true}, std::pair{"12:  :00", true},
        std::pair{"2 :00:00", true}, std::pair{"29:00:00", false}, std::pair{"24:00:00", false},
        std::pair{"30:00:00", false}, std::pair{"12:75:00", false}, std::pair{"12:00:60", false},
        std::pair{"23:59:60", false}, std::pair{"99:99:99", false}, std::pair{"12:00:00\n", false},
        std::pair{"12:00:0\n", false}, std::pair{"5:30:15", false}, std::pair{"12-00-00", false},
        std::pair{"12:00:0x", false}, std::pair{"", false}));

TEST(FirstMissingDigit, SkipsTheOptionalFirstHourDigit) {
    EXPECT_FALSE(FirstMissingDigit(" 5:30:00"));
    EXPECT_EQ(FirstMissingDigit("1 :30:00"), 1u);
    EXPECT_EQ(FirstMissingDigit("12:30: 0"), 6u);
    EXPECT_EQ(TimeFieldText(9, 5, 3), "09:05:03");
}

}  // namespace
}  // namespace meridial
