#include "zone/ZoneFrame.h"

#include <gtest/gtest.h>

#include "support/Formats.h"

#include "link/SignFrame.h"

namespace meridial {
namespace {

DstTransition Row(const char* year, int month, std::optional<int> day, int hour) {
    return {year, month, day, hour};
}
DstTransition EmptyRow(const char* year) { return {year, 0, 0, 0}; }

struct ZoneCase {
    const char* name;
    int signId;
    int zoneRow;
    DstTransition start;
    DstTransition end;
    DisplayFormats formats;
    const char* payloadAndChecksum;
};

class BuildZoneFrameTest : public ::testing::TestWithParam<ZoneCase> {};

TEST_P(BuildZoneFrameTest, MatchesTheSignBytes) {
    const ZoneCase& c = GetParam();
    const FrameResult r = BuildZoneFrame(c.signId, c.zoneRow, c.start, c.end, c.formats);
    ASSERT_TRUE(r.ok()) << r.error();
    ASSERT_EQ(r.value().size(), 26u);
    EXPECT_EQ(r.value().substr(0, 10), AddressTag(c.signId) + "<ST>");
    EXPECT_EQ(HexBytes(r.value().substr(10, 13)), c.payloadAndChecksum);
    EXPECT_EQ(r.value().substr(23), "<E>");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BuildZoneFrameTest,
    ::testing::Values(
        ZoneCase{"EmptyRows", 0, 28, EmptyRow("2010"), EmptyRow("2010"), testing::Formats(0, 0, 0),
                 "00 00 00 10 00 00 00 10 01 00 08 00 09"},
        ZoneCase{"CentralEurope", 1, 16, Row("2010", 3, 28, 2), Row("2010", 10, 31, 3),
                 testing::Formats(0, 0, 2), "01 28 03 10 02 31 10 10 01 40 01 00 49"},
        ZoneCase{"EasternUs", 2, 8, Row("2010", 3, 14, 2), Row("2010", 11, 7, 2),
                 testing::Formats(1, 1, 0), "07 14 03 10 07 07 11 10 00 11 05 00 15"},
        ZoneCase{"NewZealandAcrossYears", 3, 36, Row("2010", 9, 26, 2), Row("2011", 4, 3, 3),
                 testing::Formats(0, 0, 1), "14 25 09 10 15 02 04 11 01 20 12 00 19"},
        ZoneCase{"IndiaBackIntoPreviousYear", 4, 23, Row("2011", 1, 1, 0), EmptyRow("2011"),
                 testing::Formats(0, 0, 0), "18 31 12 10 00 00 00 11 01 00 05 30 0E"},
        ZoneCase{"MarquesasIntoNextYear", 5, 3, Row("2010", 12, 31, 20), Row("2011", 3, 1, 0),
                 testing::Formats(0, 0, 0), "05 01 01 11 09 01 03 11 00 00 09 30 37"},
        ZoneCase{"UtcLeapDay", 6, 15, Row("2012", 2, 29, 1), Row("2012", 10, 28, 1),
                 testing::Formats(0, 0, 0), "01 29 02 12 01 28 10 12 00 00 00 00 13"},
        ZoneCase{"BackIntoLeapDay", 7, 16, Row("2012", 3, 1, 0), Row("2012", 3, 1, 23),
                 testing::Formats(0, 0, 0), "23 29 02 12 22 01 03 12 01 00 01 00 28"},
        ZoneCase{"EmptyDayMakesAnEmptyRow", 99, 39, Row("2099", 12, 31, 23), Row("2099", 1, 0, 5),
                 testing::Formats(1, 1, 2), "09 31 12 99 00 00 00 99 01 51 14 00 6E"},
        ZoneCase{"IntoTheNextCentury", 0, 0, Row("2000", 1, 1, 0), Row("2099", 12, 31, 23),
                 testing::Formats(0, 0, 0), "12 01 01 00 11 01 01 00 00 00 12 00 11"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BuildZoneFrame, NeighboursOfUtcShareTheOffsetAndDifferInSign) {
    const auto west = BuildZoneFrame(0, 14, EmptyRow("2010"), EmptyRow("2010"), {});
    const auto east = BuildZoneFrame(0, 16, EmptyRow("2010"), EmptyRow("2010"), {});
    EXPECT_EQ(west.value().substr(18, 4), std::string("\x00\x00\x01\x00", 4));
    EXPECT_EQ(east.value().substr(18, 4), std::string("\x01\x00\x01\x00", 4));
}

struct FailureCase {
    const char* name;
    DstTransition start;
    const char* message;
};

class BuildZoneFrameFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(BuildZoneFrameFailure, ReportsAndBuildsNothing) {
    const FailureCase& c = GetParam();
    // The failure may be in either row.
    for (bool inEnd : {false, true}) {
        const DstTransition& start = inEnd ? EmptyRow("2013") : c.start;
        const DstTransition& end = inEnd ? c.start : EmptyRow("2013");
        const FrameResult r = BuildZoneFrame(0, 16, start, end, {});
        EXPECT_FALSE(r.ok());
        EXPECT_EQ(r.error(), c.message);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, BuildZoneFrameFailure,
    ::testing::Values(
        FailureCase{"DayListWithoutSelection", Row("2012", 4, std::nullopt, 2),
                    "Invalid argument to date encode"},
        FailureCase{"LeapDayKeptInCommonYear", Row("2013", 2, 29, 2),
                    "Invalid argument to date encode"},
        FailureCase{"April31", Row("2013", 4, 31, 2), "Invalid argument to date encode"},
        FailureCase{"NoYearSelected", Row("", 3, 1, 2), "'' is not a valid integer value"},
        FailureCase{"NoYearOnAnEmptyRow", Row("", 0, 0, 0), "'' is not a valid integer value"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BuildZoneFrame, EmptyDayItemIsAnEmptyRowNotAFailure) {
    const auto r = BuildZoneFrame(0, 16, Row("2012", 4, 0, 7), EmptyRow("2012"), {});
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.value().substr(10, 4), std::string("\x00\x00\x00\x12", 4));
}

TEST(TransitionToUtc, DropsTheOffsetsMinutes) {
    const UtcMoment m = TransitionToUtc(23, 2011, 3, 10, 2);  // 02:00 in India is 20:30 UTC
    EXPECT_EQ(m.hour, 20);
    EXPECT_EQ(m.day, 9);
}

}  // namespace
}  // namespace meridial
