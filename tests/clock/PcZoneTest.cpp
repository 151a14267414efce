#include "clock/PcZone.h"

#include <gtest/gtest.h>

#include <QTimeZone>
#include <cctype>
#include <ctime>
#include <string>

namespace meridial {
namespace {

// Qt reads TZ when it asks for the system zone.
class ScopedTz {
public:
    explicit ScopedTz(const char* tz)
        : m_old(qgetenv("TZ")), m_had(qEnvironmentVariableIsSet("TZ")) {
        qputenv("TZ", tz);
        ::tzset();
    }
    ~ScopedTz() {
        if (m_had)
            qputenv("TZ", m_old);
        else
            qunsetenv("TZ");
        ::tzset();
    }

private:
    QByteArray m_old;
    bool m_had;
};

TEST(PcZoneStateAt, BiasIsTheStandardOffsetWithWestPositive) {
    const QDateTime winter(QDate(2024, 1, 15), QTime(12, 0), Qt::UTC);
    const QDateTime summer(QDate(2024, 7, 15), QTime(12, 0), Qt::UTC);
    {
        ScopedTz tz("Asia/Kathmandu");
        EXPECT_EQ(PcZoneStateAt(winter).bias, -345);
    }
    {
        ScopedTz tz("America/New_York");
        EXPECT_EQ(PcZoneStateAt(winter).bias, 300);
        EXPECT_FALSE(PcZoneStateAt(winter).daylight);
        EXPECT_EQ(PcZoneStateAt(summer).bias, 300);  // standard offset, not the daylight one
        EXPECT_TRUE(PcZoneStateAt(summer).daylight);
    }
    {
        ScopedTz tz("UTC");
        EXPECT_EQ(PcZoneStateAt(summer).bias, 0);
    }
    {
        ScopedTz tz("Europe/Dublin");  // the tz database's "standard" Irish time is the summer one
        EXPECT_EQ(PcZoneStateAt(winter).bias, 0);
        EXPECT_FALSE(PcZoneStateAt(winter).daylight);
    }
}

struct ZoneStateCase {
    const char* zone;
    int month;  // the 15th of this month of 2026, noon UTC
    int bias;
    bool daylight;
};

class ZoneState : public ::testing::TestWithParam<ZoneStateCase> {};

// The bias is the year's smallest offset, and daylight time means any larger offset, whatever
// the tz database calls standard.
TEST_P(ZoneState, BiasIsTheSmallestOffsetOfTheYear) {
    const ZoneStateCase& c = GetParam();
    const QTimeZone zone(c.zone);
    ASSERT_TRUE(zone.isValid()) << c.zone;
    const QDateTime instant(QDate(2026, c.month, 15), QTime(12, 0), Qt::UTC);
    const PcZoneState state = ZoneStateAt(zone, instant);
    EXPECT_EQ(state.bias, c.bias) << c.zone << " month " << c.month;
    EXPECT_EQ(state.daylight, c.daylight) << c.zone << " month " << c.month;
}

INSTANTIATE_TEST_SUITE_P(
    Zones, ZoneState,
    ::testing::Values(
        ZoneStateCase{"Europe/Dublin", 12, 0, false}, ZoneStateCase{"Europe/Dublin", 7, 0, true},
        ZoneStateCase{"Europe/London", 1, 0, false}, ZoneStateCase{"Europe/London", 7, 0, true},
        ZoneStateCase{"Europe/Berlin", 1, -60, false}, ZoneStateCase{"Europe/Berlin", 7, -60, true},
        ZoneStateCase{"Africa/Casablanca", 3, 0, false},  // Ramadan: UTC+0
        ZoneStateCase{"Africa/Casablanca", 7, 0, true},
        ZoneStateCase{"America/New_York", 1, 300, false},
        ZoneStateCase{"America/New_York", 7, 300, true},
        ZoneStateCase{"America/St_Johns", 1, 210, false},
        ZoneStateCase{"America/St_Johns", 7, 210, true},
        ZoneStateCase{"Asia/Kathmandu", 7, -345, false},
        ZoneStateCase{"Australia/Lord_Howe", 1, -630, true},  // half-hour shift
        ZoneStateCase{"Australia/Lord_Howe", 7, -630, false},
        ZoneStateCase{"Australia/Sydney", 1, -600, true},
        ZoneStateCase{"Australia/Sydney", 7, -600, false},
        ZoneStateCase{"Pacific/Chatham", 1, -765, true},
        ZoneStateCase{"Pacific/Chatham", 7, -765, false}, ZoneStateCase{"UTC", 7, 0, false},
        ZoneStateCase{"CET-1CEST,M3.5.0,M10.5.0/3", 7, -60, true},
        ZoneStateCase{"CET-1CEST,M3.5.0,M10.5.0/3", 12, -60, false}),
    [](const auto& info) {
        std::string name = info.param.zone;
        for (char& ch : name)
            if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
        return name + "_" + std::to_string(info.param.month);
    });

}  // namespace
}  // namespace meridial
