#include "clock/ClockFrame.h"

#include <gtest/gtest.h>

#include <climits>
#include <stdexcept>

#include "link/SignFrame.h"

namespace meridial {
namespace {

struct ClockCase {
    const char* name;
    int signId;
    CivilDate date;
    const char* timeText;
    PcZoneState zone;
    const char* payloadAndChecksum;  // bytes 11 to 18 of the frame
};

class BuildClockFrameTest : public ::testing::TestWithParam<ClockCase> {};

TEST_P(BuildClockFrameTest, MatchesTheSignBytes) {
    const ClockCase& c = GetParam();
    const std::string frame = BuildClockFrame(c.signId, c.date, c.timeText, c.zone).value();
    ASSERT_EQ(frame.size(), 21u);
    EXPECT_EQ(frame.substr(0, 10), AddressTag(c.signId) + "<SS>");
    EXPECT_EQ(HexBytes(frame.substr(10, 8)), c.payloadAndChecksum);
    EXPECT_EQ(frame.substr(18), "<E>");
}

INSTANTIATE_TEST_SUITE_P(
    Conversions, BuildClockFrameTest,
    ::testing::Values(
        ClockCase{"EastBorrowsIntoFebruary",
                  1,
                  {2010, 3, 1},
                  "05:30:15",
                  {-480, false},
                  "15 30 21 28 02 02 10 3C"},
        ClockCase{"WestCarriesIntoNewYear",
                  0,
                  {2010, 12, 31},
                  "22:00:00",
                  {300, false},
                  "00 00 03 01 01 06 11 14"},
        ClockCase{"DaylightSubtractsAnHour",
                  5,
                  {2010, 7, 1},
                  "00:30:00",
                  {0, true},
                  "00 30 23 30 06 05 10 30"},
        ClockCase{"WholeHoursGiveMinuteZero",
                  12,
                  {2010, 5, 10},
                  "05:00:45",
                  {-60, false},
                  "45 00 04 10 05 02 10 46"},
        ClockCase{"LeapDay", 0, {2012, 3, 1}, "01:00:00", {-120, false}, "00 00 23 29 02 05 12 1F"},
        ClockCase{"PreviousDaySameMonth",
                  3,
                  {2010, 3, 15},
                  "02:00:00",
                  {-480, false},
                  "00 00 18 14 03 02 10 1D"},
        ClockCase{
            "PreviousYear", 3, {2010, 1, 1}, "02:00:00", {-480, false}, "00 00 18 31 12 06 09 34"},
        ClockCase{
            "MidJanuary", 3, {2010, 1, 15}, "02:00:00", {-480, false}, "00 00 18 14 01 06 10 1B"},
        ClockCase{"BlankFieldUsesDefaults",
                  0,
                  {2010, 6, 1},
                  "  :  :  ",
                  {0, false},
                  "00 30 12 01 06 03 10 36"},
        ClockCase{"CommonYearFebruary",
                  0,
                  {2013, 3, 1},
                  "01:00:00",
                  {-120, false},
                  "00 00 23 28 02 06 13 1C"},
        ClockCase{"HalfHourZone",
                  0,
                  {2010, 5, 10},
                  "00:10:00",
                  {-345, false},
                  "00 25 18 09 05 02 10 23"}),
    [](const auto& info) { return std::string(info.param.name); });

// Biases beyond a day either way are refused before any arithmetic (INT_MIN less the daylight
// hour used to overflow); the edges of the range still convert.
class ClockBiasRangeTest : public ::testing::TestWithParam<std::pair<PcZoneState, bool>> {};

TEST_P(ClockBiasRangeTest, RefusesBiasesBeyondADay) {
    const auto [zone, accepted] = GetParam();
    auto build = [&] { return BuildClockFrame(0, {2010, 3, 1}, "05:30:15", zone); };
    const FrameResult frame = build();
    ASSERT_EQ(frame.ok(), accepted);
    if (accepted)
        EXPECT_EQ(frame->size(), 21u);
    else
        EXPECT_NE(frame.error().find("beyond a day"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Biases, ClockBiasRangeTest,
                         ::testing::Values(std::pair{PcZoneState{INT_MIN, true}, false},
                                           std::pair{PcZoneState{INT_MIN, false}, false},
                                           std::pair{PcZoneState{INT_MAX, false}, false},
                                           std::pair{PcZoneState{INT_MAX - 30, true}, false},
                                           std::pair{PcZoneState{-1440, false}, false},
                                           std::pair{PcZoneState{1440, true}, false},
                                           std::pair{PcZoneState{-1439, true}, true},
                                           std::pair{PcZoneState{1439, false}, true}));

TEST(ReadTimeFieldNumber, LeadingBlanksOnly) {
    EXPECT_EQ(ReadTimeFieldNumber(" 5:30:15", 1, 12), 5);
    EXPECT_EQ(ReadTimeFieldNumber("5 :30:15", 1, 12), 12);
    EXPECT_EQ(ReadTimeFieldNumber("  :30:15", 1, 12), 12);
    EXPECT_EQ(ReadTimeFieldNumber("05: 7:15", 4, 30), 7);
    EXPECT_EQ(ReadTimeFieldNumber("05:7 :15", 4, 30), 30);
}

TEST(ClockTimeToUtc, SecondsWithABlankAreSentAsZero) {
    const std::string frame = BuildClockFrame(0, {2010, 6, 1}, "10:00: 5", {0, false}).value();
    EXPECT_EQ(frame[10], '\0');
    EXPECT_EQ(ClockTimeToUtc({2010, 6, 1}, "10:00: 5", {0, false}).second, " 5");
}

TEST(ClockTimeToUtc, WeekdayIsThePickedLocalDate) {
    // Friday 31 December 2010 in UTC-5 is Saturday in UTC; the sign still gets Friday.
    const SignClockTime t = ClockTimeToUtc({2010, 12, 31}, "22:00:00", {300, false});
    EXPECT_EQ(t.day, 1);
    EXPECT_EQ(t.weekday, 6);
}

}  // namespace
}  // namespace meridial
