#include "zone/ZoneTable.h"

#include <gtest/gtest.h>

#include <set>

namespace meridial {
namespace {

TEST(ZoneTable, RowsAreConsistent) {
    const auto& table = ZoneTable();
    std::set<int> biases;
    for (int row = 0; row < kZoneCount; ++row) {
        const Zone& z = table[row];
        const int hh = (z.offsetCode[0] - '0') * 10 + (z.offsetCode[1] - '0');
        const int mm = (z.offsetCode[2] - '0') * 10 + (z.offsetCode[3] - '0');
        const int magnitude = hh * 60 + mm;
        EXPECT_EQ(z.bias, row > kUtcZoneRow ? -magnitude : magnitude) << row;
        EXPECT_EQ(ZoneSignByte(row), row > kUtcZoneRow ? 1 : 0) << row;
        const auto offset = ZoneOffsetBytes(row);
        EXPECT_EQ(offset[0], (hh / 10) << 4 | hh % 10) << row;
        EXPECT_EQ(offset[1], (mm / 10) << 4 | mm % 10) << row;
        biases.insert(z.bias);
    }
    EXPECT_EQ(biases.size(), static_cast<std::size_t>(kZoneCount));
    EXPECT_EQ(table[15].itemText, "(UTC)  Dublin, London, Lisbon");
    EXPECT_EQ(table[8].itemText, "(UTC-5)  Eastern Time, Indiana(East)  ,Bogota, Lima");
    EXPECT_EQ(table[38].itemText, "(UTC+13)  Nuku'alofa");
}

TEST(ZoneTable, RowsWithMinutesCarryThem) {
    std::set<int> withMinutes;
    for (int row = 0; row < kZoneCount; ++row)
        if (ZoneOffsetBytes(row)[1] != 0) withMinutes.insert(row);
    EXPECT_EQ(withMinutes, (std::set<int>{3, 9, 11, 19, 21, 23, 24, 26, 29, 31, 33, 35, 37}));
    EXPECT_EQ(ZoneOffsetBytes(24)[1], 0x45);
}

TEST(ZoneForBias, FindsTheRowOrFallsBackToUtc) {
    EXPECT_EQ(ZoneForBias(-345), 24);
    EXPECT_EQ(ZoneForBias(-480), 28);
    EXPECT_EQ(ZoneForBias(720), 0);
    EXPECT_EQ(ZoneForBias(-840), 39);
    EXPECT_EQ(ZoneForBias(0), 15);
    EXPECT_EQ(ZoneForBias(150), 15);
}

struct RefillCase {
    const char* name;
    int month;
    int year;
    std::optional<int> before;
    int dayCount;
    std::optional<int> after;
};

class RefillDayListTest : public ::testing::TestWithParam<RefillCase> {};

TEST_P(RefillDayListTest, KeepsTheListInStepWithTheMonth) {
    const RefillCase& c = GetParam();
    const DayListRefill r = RefillDayList(c.month, c.year, c.before);
    EXPECT_EQ(r.dayCount, c.dayCount);
    EXPECT_EQ(r.selectedIndex, c.after);
}

INSTANTIATE_TEST_SUITE_P(
    Months, RefillDayListTest,
    ::testing::Values(RefillCase{"FebruaryLeap", 2, 2012, 0, 29, 0},
                      RefillCase{"FebruaryCommon", 2, 2013, 0, 28, 0},
                      RefillCase{"February2000", 2, 2000, 0, 29, 0},
                      RefillCase{"February2100", 2, 2100, 0, 28, 0},
                      RefillCase{"EmptyMonth", 0, 2012, 0, 30, 0},
                      RefillCase{"Day31ThenApril", 4, 2012, 31, 30, std::nullopt},
                      RefillCase{"Day15Kept", 11, 2012, 15, 30, 15},
                      RefillCase{"NoSelectionStays", 1, 2012, std::nullopt, 31, std::nullopt},
                      RefillCase{"Day29IntoCommonFebruary", 2, 2013, 29, 28, std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace meridial
