#include "zone/DstRules.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTimeZone>
#include <iostream>
#include <map>
#include <string>

#include "zone/ZoneTable.h"

namespace meridial {
namespace {

std::string RowText(const DstTransition& row) {
    if (row.IsEmpty()) return row.yearText;
    return row.yearText + "-" + std::to_string(row.month) + "-" +
           std::to_string(row.day.value_or(-1)) + ":" + std::to_string(row.hour);
}

struct DstCase {
    const char* zone;
    int year;
    int zoneRow;
    const char* start;  // local standard time, "YYYY" for an empty row
    const char* end;
    bool warns;
};

class DstRowsTable : public ::testing::TestWithParam<DstCase> {};

TEST_P(DstRowsTable, RowsInLocalStandardTime) {
    const DstCase& c = GetParam();
    const auto rows = DstRowsFor(QTimeZone(c.zone), c.year);
    ASSERT_TRUE(rows.ok()) << rows.error().toStdString();
    EXPECT_EQ(rows->zoneRow, c.zoneRow);
    EXPECT_EQ(RowText(rows->start), c.start);
    EXPECT_EQ(RowText(rows->end), c.end);
    EXPECT_EQ(!rows->warning.isEmpty(), c.warns) << rows->warning.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Zones, DstRowsTable,
    ::testing::Values(
        DstCase{"Europe/Berlin", 2026, 16, "2026-3-29:2", "2026-10-25:2", false},
        DstCase{"America/New_York", 2026, 8, "2026-3-8:2", "2026-11-1:1", false},
        // Southern: the end comes first in the year.
        DstCase{"Australia/Sydney", 2026, 32, "2026-10-4:2", "2026-4-5:2", false},
        // Irish summer time is the daylight time, whatever the tz database calls it.
        DstCase{"Europe/Dublin", 2026, 15, "2026-3-29:1", "2026-10-25:1", false},
        DstCase{"Asia/Tokyo", 2026, 30, "2026", "2026", false},
        DstCase{"UTC", 2099, 15, "2099", "2099", false},
        // Half-hour zones change on a half UTC hour: the earlier whole hour, with a warning.
        DstCase{"Australia/Adelaide", 2026, 31, "2026-10-4:2", "2026-4-5:2", true},
        DstCase{"America/St_Johns", 2026, 11, "2026-3-8:2", "2026-11-1:1", true},
        // Chatham's changes fall on whole UTC hours (02:45 local is 14:00 UTC).
        DstCase{"Pacific/Chatham", 2026, 37, "2026-9-27:3", "2026-4-5:3", false},
        // A half-hour daylight shift.
        DstCase{"Australia/Lord_Howe", 2026, 33, "2026-10-4:2", "2026-4-5:2", true},
        DstCase{"America/New_York", 2006, 8, "2006-4-2:2", "2006-10-29:1", false}),
    [](const auto& info) {
        std::string name = info.param.zone;
        for (char& ch : name)
            if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
        return name + "_" + std::to_string(info.param.year);
    });

TEST(DstRows, RefusedWhereNoRowsCanBeBuilt) {
    // More than two changes (summer time paused for Ramadan), an offset without a row, a year
    // outside the lists.
    for (auto [zone, year, reason] : {std::tuple{"Africa/Casablanca", 2015, "4 times in 2015"},
                                      std::tuple{"Africa/Casablanca", 2029, "3 times in 2029"},
                                      std::tuple{"Africa/El_Aaiun", 2033, "3 times in 2033"},
                                      std::tuple{"UTC-13:00", 2026, "UTC-13:00, has no row"},
                                      std::tuple{"Europe/Berlin", 2100, "2000 to 2099, not 2100"},
                                      std::tuple{"Nowhere/Atlantis", 2026, "not a time zone"}}) {
        const auto rows = DstRowsFor(QTimeZone(zone), year);
        ASSERT_FALSE(rows.ok()) << zone;
        EXPECT_TRUE(rows.error().contains(QLatin1String(reason))) << rows.error().toStdString();
        EXPECT_FALSE(rows.error().startsWith(QLatin1String(zone))) << rows.error().toStdString();
    }
    EXPECT_TRUE(DstRowsFor(QTimeZone("Australia/Lord_Howe"), 2026)
                    ->warning.contains(QLatin1String("; its daylight time is UTC+11:00")));
}

int FromBcd(char byte) {
    const auto b = static_cast<unsigned char>(byte);
    return (b >> 4) * 10 + (b & 0x0F);
}

// Hour, day, month, year as the zone frame carries them, back to a UTC instant.
QDateTime FrameMoment(const std::string& payload, std::size_t at, int aroundYear) {
    int year = 2000 + FromBcd(payload[at + 3]);
    if (year < aroundYear - 50) year += 100;
    return QDateTime(QDate(year, FromBcd(payload[at + 2]), FromBcd(payload[at + 1])),
                     QTime(FromBcd(payload[at]), 0), Qt::UTC);
}

// Every zone the system knows, in years under the table's rules and under the rules the tz
// database extends into the future: the frame built from the rows must put the sign's changes
// on the zone's own moments, to the whole UTC hour where the rows carry a warning.
TEST(DstRows, EveryZoneSwitchesWhereItsOwnChangesAre) {
    QElapsedTimer clock;
    clock.start();
    const QList<QByteArray> ids = QTimeZone::availableTimeZoneIds();
    const int years[] = {2000, 2010, 2020, 2026, 2040, 2099};
    std::map<int, std::vector<std::string>> warned;
    std::map<int, std::vector<std::string>> refused;
    for (const QByteArray& id : ids) {
        const QTimeZone zone(id);
        for (const int year : years) {
            const auto rows = DstRowsFor(zone, year);
            if (!rows) {
                refused[year].push_back(id.toStdString());
                continue;
            }
            if (!rows->warning.isEmpty()) warned[year].push_back(id.toStdString());
            const auto frame = BuildZoneFrame(0, rows->zoneRow, rows->start, rows->end, {});
            ASSERT_TRUE(frame.ok()) << id.constData() << " " << year << ": " << frame.error();
            const std::string payload = frame->substr(10, 12);

            const QDateTime from(QDate(year, 1, 1), QTime(0, 0), Qt::UTC);
            const QDateTime to(QDate(year + 1, 1, 1), QTime(0, 0), Qt::UTC);
            const int atStart = zone.offsetFromUtc(from);
            std::vector<std::pair<QDateTime, int>> changes;  // moment, offset from then on
            for (const auto& t : zone.transitions(from.addSecs(1), to.addSecs(-1)))
                if (t.offsetFromUtc != (changes.empty() ? atStart : changes.back().second))
                    changes.emplace_back(t.atUtc, t.offsetFromUtc);
            int smallest = atStart;
            for (const auto& change : changes) smallest = std::min(smallest, change.second);
            EXPECT_EQ(ZoneTable()[rows->zoneRow].bias * -60, smallest) << id.constData();
            if (changes.empty()) {
                EXPECT_EQ(payload[2], '\0') << id.constData() << " " << year;
                EXPECT_EQ(payload[6], '\0') << id.constData() << " " << year;
            }
            int previous = atStart;
            for (const auto& [at, offset] : changes) {
                const bool wasDaylight = previous > smallest;
                const bool isDaylight = offset > smallest;
                previous = offset;
                if (wasDaylight == isDaylight) {  // a second daylight offset: the sign has one
                    EXPECT_FALSE(rows->warning.isEmpty()) << id.constData() << " " << year;
                    continue;
                }
                const QDateTime sent = FrameMoment(payload, isDaylight ? 0 : 4, year);
                const qint64 off = std::abs(sent.secsTo(at));
                const bool wholeHour = at.toSecsSinceEpoch() % 3600 == 0;
                EXPECT_LE(off, wholeHour ? 0 : 1800)
                    << id.constData() << " " << year << ": "
                    << at.toString(Qt::ISODate).toStdString() << " sent as "
                    << sent.toString(Qt::ISODate).toStdString();
                if (!wholeHour) {
                    EXPECT_FALSE(rows->warning.isEmpty()) << id.constData();
                }
            }
        }
    }
    const qint64 elapsed = clock.elapsed();
    std::cout << ids.size() << " zones, " << std::size(years) << " years each, " << elapsed
              << " ms\n";
    for (const auto& [what, byYear] : {std::pair{"with a warning", &warned}, {"refused", &refused}})
        for (const auto& [year, zones] : *byYear) {
            std::cout << "  " << year << " " << what << " (" << zones.size() << "):";
            for (const std::string& zone : zones) std::cout << " " << zone;
            std::cout << "\n";
        }
    EXPECT_GT(ids.size(), 400);
    EXPECT_LT(elapsed, 5000);
}

}  // namespace
}  // namespace meridial
