#include <cctype>

#include <gtest/gtest.h>

#include "platform/ole_date.h"
#include "support/scratch_dir.h"

namespace tw::platform {
namespace {

TEST(OleDate, KnownValuesBothSidesOfTheEpoch) {
    EXPECT_DOUBLE_EQ(OleDate::FromCivil(1899, 12, 30).Days(), 0.0);
    EXPECT_DOUBLE_EQ(OleDate::FromCivil(1900, 1, 1, 12).Days(), 2.5);
    EXPECT_DOUBLE_EQ(OleDate::FromCivil(2000, 1, 1).Days(), 36526.0);
    // Negative values count the day backwards and the time forwards.
    EXPECT_DOUBLE_EQ(OleDate::FromCivil(1899, 12, 29, 6).Days(), -1.25);
    EXPECT_DOUBLE_EQ(OleDate::FromCivil(1800, 1, 1, 18).Days(), -36522.75);

    CivilTime civil;
    ASSERT_TRUE(OleDate::FromDays(-1.25).ToCivil(civil));
    EXPECT_EQ(civil.year, 1899);
    EXPECT_EQ(civil.month, 12);
    EXPECT_EQ(civil.day, 29);
    EXPECT_EQ(civil.hour, 6);
    EXPECT_EQ(civil.dayOfWeek, 6);  // a Friday
    ASSERT_TRUE(OleDate::FromCivil(2024, 12, 31, 23, 59, 59).ToCivil(civil));
    EXPECT_EQ(civil.dayOfYear, 366);
    EXPECT_EQ(civil.second, 59);
}

TEST(OleDate, RoundTripsEveryMinuteOfSampleDaysAndFormats) {
    for (int year : {100, 1601, 1899, 1900, 1970, 2000, 2026, 9999}) {
        for (int minute = 0; minute < 24 * 60; minute += 7) {
            const auto date = OleDate::FromCivil(year, 2, 28, minute / 60, minute % 60, 31);
            CivilTime civil;
            ASSERT_TRUE(date.ToCivil(civil)) << year;
            ASSERT_EQ(civil.year, year);
            ASSERT_EQ(civil.hour * 60 + civil.minute, minute);
            ASSERT_EQ(civil.second, 31);
        }
    }
    EXPECT_EQ(OleDate::FromCivil(1990, 1, 1).Format(), "01/01/1990 00:00:00");
    EXPECT_EQ(OleDate::FromCivil(1850, 7, 4, 13, 5, 9).Format(), "07/04/1850 13:05:09");
    EXPECT_EQ(OleDate::Invalid().Format(), "");
}

TEST(OleDate, ValidityRules) {
    EXPECT_FALSE(OleDate::FromCivil(2026, 2, 29).IsValid());
    EXPECT_TRUE(OleDate::FromCivil(2024, 2, 29).IsValid());
    EXPECT_FALSE(OleDate::FromCivil(2026, 13, 1).IsValid());
    EXPECT_FALSE(OleDate::FromCivil(2026, 1, 1, 24).IsValid());
    EXPECT_FALSE(OleDate::FromCivil(99, 1, 1).IsValid());
    EXPECT_FALSE(OleDate::FromDays(3e6).IsValid());
    EXPECT_TRUE(OleDate::Null().IsNull());
    EXPECT_FALSE(OleDate::Null().IsValid());
    CivilTime civil;
    EXPECT_FALSE(OleDate::Invalid().ToCivil(civil));
}

TEST(OleDate, ArithmeticOnTheContinuousScale) {
    const auto before = OleDate::FromCivil(1899, 12, 29, 23);  // -1.958333...
    const auto after = OleDate::FromCivil(1899, 12, 30, 1);    // 0.041666...
    EXPECT_NEAR(after.DaysSince(before), 2.0 / 24, 1e-9);
    EXPECT_EQ(before.AddDays(2.0 / 24).Format(), after.Format());
    EXPECT_EQ(after.AddDays(-3.0).Format(), "12/27/1899 01:00:00");
    const auto early = OleDate::FromDays(-1.25);
    EXPECT_EQ(OleDate::FromLinearDays(early.LinearDays()), early);

    const auto withSeconds = OleDate::FromCivil(2026, 12, 7, 10, 5, 42);
    EXPECT_EQ(withSeconds.TruncatedToMinute().Format(), "12/07/2026 10:05:00");
}

struct ZoneCase {
    const char* zone;
    std::time_t utc;       // a file time
    const char* expected;  // its local civil time
};

class OleDateFileTime : public ::testing::TestWithParam<ZoneCase> {};

TEST_P(OleDateFileTime, ConvertsUtcFileTimesToLocalAndBack) {
    test::ScopedTimeZone zone(GetParam().zone);
    const auto date = OleDate::FromFileTime(GetParam().utc);
    EXPECT_EQ(date.Format(), GetParam().expected);
    std::time_t back = 0;
    ASSERT_TRUE(date.ToFileTime(back));
    EXPECT_EQ(back, GetParam().utc);
}

// 2026-07-01 12:00:00 UTC = 1782907200; 2026-01-15 08:30:15 UTC = 1768465815.
INSTANTIATE_TEST_SUITE_P(
    Zones, OleDateFileTime,
    ::testing::Values(ZoneCase{"UTC0", 1782907200, "07/01/2026 12:00:00"},
                      ZoneCase{"America/Chicago", 1782907200, "07/01/2026 07:00:00"},
                      ZoneCase{"America/Chicago", 1768465815, "01/15/2026 02:30:15"},
                      ZoneCase{"Asia/Kolkata", 1768465815, "01/15/2026 14:00:15"},
                      ZoneCase{"Australia/Sydney", 1782907200, "07/01/2026 22:00:00"},
                      // 2026-03-08 is the US change day: 01:59:59 CST, then 03:00:00 CDT.
                      ZoneCase{"America/Chicago", 1772956799, "03/08/2026 01:59:59"},
                      ZoneCase{"America/Chicago", 1772956800, "03/08/2026 03:00:00"},
                      // 2026-03-29 in Berlin: 02:00 CET becomes 03:00 CEST.
                      ZoneCase{"Europe/Berlin", 1774746000, "03/29/2026 03:00:00"}),
    [](const ::testing::TestParamInfo<ZoneCase>& info) {
        std::string name = std::string(info.param.zone) + "_" + std::to_string(info.param.utc);
        for (char& c : name) {
            if (!std::isalnum(static_cast<unsigned char>(c)))
                c = '_';
        }
        return name;
    });

TEST(OleDateFileTimeDst, SkippedHourMovesForwardRepeatedHourTakesOneOccurrence) {
    test::ScopedTimeZone zone("America/Chicago");
    std::time_t t = 0;
    // 02:30 does not exist on 2026-03-08; mktime moves it into daylight time.
    ASSERT_TRUE(OleDate::FromCivil(2026, 3, 8, 2, 30).ToFileTime(t));
    EXPECT_EQ(OleDate::FromFileTime(t).Format(), "03/08/2026 03:30:00");
    // 01:30 happens twice on 2026-11-01; either occurrence maps back to 01:30 local.
    ASSERT_TRUE(OleDate::FromCivil(2026, 11, 1, 1, 30).ToFileTime(t));
    EXPECT_EQ(OleDate::FromFileTime(t).Format(), "11/01/2026 01:30:00");
}

}  // namespace
}  // namespace tw::platform
