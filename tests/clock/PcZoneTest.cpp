#include "clock/PcZone.h"

#include <gtest/gtest.h>

#include <QTimeZone>
#include <ctime>

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
}

}  // namespace
}  // namespace meridial
