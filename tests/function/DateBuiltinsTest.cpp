// The date and time built-ins, pinned under TZ=UTC (and one zone east of it where local time
// matters).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <ctime>
#include <limits>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "BuiltinTestUtil.h"
#include "code/Code_Function.h"
#include "function/Function_Misc.h"
#include "testlib/TestHelpers.h"

namespace builtintest {
namespace {

using testsupport::EnvOverride;
using testsupport::ProcessExited;
using testsupport::ProcessExitTrap;

const double kNaN = std::numeric_limits<double>::quiet_NaN();

// The date value of a Unix second: its middle, counted in days from 1899-12-30.
double At(int64_t seconds) { return (static_cast<double>(seconds) + 0.5) / 86400.0 + 25569.0; }

// Unix seconds of a few moments (UTC).
constexpr int64_t k2000 = 946684800;            // 2000-01-01 00:00:00, a Saturday
constexpr int64_t kLeapDay = 951831930;         // 2000-02-29 13:45:30
constexpr int64_t kJan31_2001 = 980899200;      // 2001-01-31 00:00:00
constexpr int64_t kJan31_2004 = 1075507200;     // 2004-01-31 00:00:00
constexpr int64_t kDec31_2000 = 978220800;      // 2000-12-31 00:00:00
constexpr int64_t k1960 = -299592000;           // 1960-07-04 12:00:00
constexpr int64_t kDay = 86400;

class DateBuiltinsTest : public BuiltinTest {
 protected:
  void SetUp() override {
    BuiltinTest::SetUp();
    RegisterBuiltinTable(kDateBuiltins, kDateBuiltinCount);
    SetZone("UTC");
  }
  void TearDown() override {
    m_tz.reset();
    tzset();
    DateTimeZoneLocal = true;
    BuiltinTest::TearDown();
  }
  void SetZone(const char* zone) {
    m_tz.reset();
    m_tz.emplace("TZ", zone);
    tzset();
  }
  double Get(const char* name, double date) { return CallReal(name, {RealValue(date)}); }

  std::optional<EnvOverride> m_tz;
};

TEST_F(DateBuiltinsTest, MakingDatesFromCalendarFields) {
  struct Case {
    const char* name;
    std::vector<double> fields;
    double date;
  };
  const Case cases[] = {
      {"date_create_date", {2000, 1, 1}, 36526 + 0.5 / 86400},
      {"date_create_datetime", {2000, 1, 1, 0, 0, 0}, At(k2000)},
      {"date_create_datetime", {2000, 2, 29, 13, 45, 30}, At(kLeapDay)},
      {"date_create_datetime", {2000, 2, 29.9, 13.9, 45.9, 30.9}, At(kLeapDay)},  // truncated
      {"date_create_date", {2000.4, 1.5, 0.6}, At(k2000 + 31 * kDay)},  // rounded: 2000-02-01
      {"date_create_datetime", {2001, 1, 32, 0, 0, 0}, At(kJan31_2001 + kDay)},  // carries into February
      {"date_create_datetime", {2000, 13, 1, 0, 0, 0}, At(k2000 + 366 * kDay)},  // January of 2001
      {"date_create_datetime", {1999, 12, 31, 23, 59, 60}, At(k2000)},
      // Dates before 1970 are within reach.
      {"date_create_datetime", {1960, 7, 4, 12, 0, 0}, At(k1960)},
      {"date_create_date", {1800, 1, 1}, At(-5364662400)},
      // The full form takes a year before 1900 as 1900.
      {"date_create_datetime", {1800, 1, 1, 0, 0, 0}, At(-2208988800)},
  };
  for (const Case& c : cases) {
    std::vector<ScriptValue> args;
    for (double f : c.fields) args.push_back(RealValue(f));
    EXPECT_EQ(CallReal(c.name, args), c.date) << c.name << " " << ::testing::PrintToString(c.fields);
  }
}

TEST_F(DateBuiltinsTest, AMomentBeyondTheCalendarEndsTheGame) {
  ProcessExitTrap trap;
  for (double year : {1e12, kNaN}) {
    EXPECT_THROW(Call("date_create_date", {RealValue(year), RealValue(1), RealValue(1)}), ProcessExited) << year;
    EXPECT_THAT(TakeError(),
                ::testing::HasSubstr("invalid date conversion - dates earlier than 1 Jan 1970 will be incorrect"));
  }
}

// A time of day alone is the fraction of a day it makes.
TEST_F(DateBuiltinsTest, CreateTimeAnswersTheFractionOfADay) {
  struct Case {
    double h, m, s;
    double date;
  };
  const Case cases[] = {
      {0, 0, 0, 0.0},
      {12, 0, 0, 0.5},
      {23, 59, 59, 86399.0 / 86400},
      {6, 30, 15, (6 * 3600 + 30 * 60 + 15) / 86400.0},
      {1.5, 0.4, 2.5, (2 * 3600 + 0 + 2) / 86400.0},  // rounded, ties to even
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CallReal("date_create_time", {RealValue(c.h), RealValue(c.m), RealValue(c.s)}), c.date)
        << c.h << ":" << c.m << ":" << c.s;
  }
  EXPECT_EQ(TakeError(), "");
}

TEST_F(DateBuiltinsTest, ValidityTakesOnlyWholeRealsOfAValidDateAndTime) {
  struct Case {
    const char* name;
    std::vector<ScriptValue> args;
    double valid;
  };
  const Case cases[] = {
      {"date_valid_date", {RealValue(2000), RealValue(2), RealValue(29)}, 1},
      {"date_valid_date", {RealValue(1900), RealValue(2), RealValue(29)}, 0},  // before 1970, and not a leap year
      {"date_valid_date", {RealValue(1969), RealValue(1), RealValue(1)}, 0},
      {"date_valid_date", {RealValue(2001), RealValue(2), RealValue(29)}, 0},
      {"date_valid_date", {RealValue(2001), RealValue(2.5), RealValue(1)}, 0},
      {"date_valid_date", {RealValue(2001), RealValue(4), RealValue(31)}, 0},
      {"date_valid_date", {RealValue(2001), RealValue(13), RealValue(1)}, 0},
      {"date_valid_date", {RealValue(2001), RealValue(1), RealValue(0)}, 0},
      {"date_valid_date", {RealValue(2001), RealValue(1)}, 0},                              // too few
      {"date_valid_date", {RealValue(2001), RealValue(1), RealValue(1), RealValue(1)}, 0},  // too many
      {"date_valid_date", {RealValue(2001), Int32(1), RealValue(1)}, 0},                    // not a real
      {"date_valid_date", {RealValue(2001), Str("1"), RealValue(1)}, 0},
      {"date_valid_date", {RealValue(kNaN), RealValue(1), RealValue(1)}, 0},
      {"date_valid_time", {RealValue(24), RealValue(0), RealValue(0)}, 0},
      {"date_valid_time", {RealValue(23), RealValue(59), RealValue(59)}, 1},
      {"date_valid_time", {RealValue(0), RealValue(60), RealValue(0)}, 0},
      {"date_valid_time", {RealValue(0), RealValue(0), RealValue(-1)}, 0},
      {"date_valid_datetime",
       {RealValue(2000), RealValue(2), RealValue(29), RealValue(23), RealValue(59), RealValue(59)},
       1},
      {"date_valid_datetime",
       {RealValue(2000), RealValue(2), RealValue(29), RealValue(24), RealValue(0), RealValue(0)},
       0},
      {"date_valid_datetime",
       {RealValue(2000), RealValue(2), RealValue(30), RealValue(0), RealValue(0), RealValue(0)},
       0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CallReal(c.name, c.args), c.valid) << c.name << " case " << (&c - cases);
  }
}

TEST_F(DateBuiltinsTest, AddingWorksOnTheCalendarInUtc) {
  struct Case {
    const char* name;
    double date;
    double n;
    double expected;
  };
  const Case cases[] = {
      {"date_inc_month", At(kJan31_2001), 1, At(kJan31_2001 + 31 * kDay)},  // "31 February" is 3 March 2001
      {"date_inc_month", At(kJan31_2004), 1, At(kJan31_2004 + 31 * kDay)},  // and 2 March in a leap year
      {"date_inc_month", At(k2000), -1, At(k2000 - 31 * kDay)},
      {"date_inc_year", At(kLeapDay), 1, At(kLeapDay + 366 * kDay)},                     // 1 March 2001
      {"date_inc_year", At(k2000), 0.5, At(k2000)},                                       // rounds to 0
      {"date_inc_week", At(k2000), 1.5, At(k2000 + 14 * kDay)},                           // rounds to 2
      {"date_inc_day", At(k2000), 1.9, At(k2000 + kDay)},                                 // truncated
      {"date_inc_day", At(k2000), -1.9, At(k2000 - kDay)},
      {"date_inc_hour", At(k2000), 25, At(k2000 + 25 * 3600)},
      {"date_inc_minute", At(k2000), 2.5, At(k2000 + 2 * 60)},
      {"date_inc_second", At(k2000), 3.5, At(k2000 + 4)},
      {"date_inc_day", At(k1960), 3, At(k1960 + 3 * kDay)},
      // A date that cannot be taken apart is answered unchanged.
      {"date_inc_day", 1e300, 1, 1e300},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CallReal(c.name, {RealValue(c.date), RealValue(c.n)}), c.expected) << c.name << " by " << c.n;
  }
  EXPECT_TRUE(std::isnan(CallReal("date_inc_month", {RealValue(kNaN), RealValue(1)})));
  // Local time does not change the adding.
  SetZone("XST-3");
  EXPECT_EQ(CallReal("date_inc_month", {RealValue(At(kJan31_2001)), RealValue(1)}), At(kJan31_2001 + 31 * kDay));
}

TEST_F(DateBuiltinsTest, TakingDatesApart) {
  struct Case {
    const char* name;
    double date;
    double part;
  };
  const double leap = At(kLeapDay);  // Tuesday 2000-02-29 13:45:30
  const Case cases[] = {
      {"date_get_year", leap, 2000},
      {"date_get_month", leap, 2},
      {"date_get_day", leap, 29},
      {"date_get_hour", leap, 13},
      {"date_get_minute", leap, 45},
      {"date_get_second", leap, 30},
      {"date_get_weekday", leap, 2},
      {"date_get_weekday", At(k2000), 6},
      {"date_get_day_of_year", leap, 60},
      {"date_get_day_of_year", At(k2000), 1},
      {"date_get_day_of_year", At(kDec31_2000), 366},
      {"date_get_week", At(k2000 + 6 * kDay), 0},  // 7 January
      {"date_get_week", At(k2000 + 7 * kDay), 1},  // 8 January
      {"date_get_hour_of_year", At(k2000 + kDay + 5415), 25},  // 2 January 01:30:15
      {"date_get_minute_of_year", At(k2000 + kDay + 5415), 1530},
      {"date_get_second_of_year", At(k2000 + kDay + 5415), 91815},
      {"date_get_second_of_year", leap, (31 + 28) * 86400 + 13 * 3600 + 45 * 60 + 30},
      {"date_days_in_month", leap, 29},
      {"date_days_in_month", At(kJan31_2001 + kDay), 28},
      {"date_days_in_month", At(kJan31_2001), 31},
      {"date_days_in_year", leap, 366},
      {"date_days_in_year", At(kJan31_2001), 365},
      {"date_leap_year", leap, 1},
      {"date_leap_year", At(kJan31_2001), 0},
      // Before 1970: 1960 was a leap year; 1900 was not.
      {"date_get_year", At(k1960), 1960},
      {"date_get_weekday", At(k1960), 1},
      {"date_leap_year", At(k1960), 1},
      {"date_days_in_month", At(-2208988800 + 31 * kDay), 28},
      // A date that cannot be taken apart answers 0.
      {"date_get_year", kNaN, 0},
      {"date_get_day", 1e300, 0},
      {"date_days_in_year", -1e300, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(Get(c.name, c.date), c.part) << c.name << " of " << c.date;
}

TEST_F(DateBuiltinsTest, TimeZoneSettingChoosesLocalTimeOrUtc) {
  SetZone("XST-3");  // three hours east of UTC, without daylight saving
  EXPECT_EQ(CallReal("date_get_timezone", {}), 0.0);
  const double midnight = CallReal("date_create_date", {RealValue(2000), RealValue(1), RealValue(1)});
  EXPECT_EQ(midnight, At(k2000 - 3 * 3600));
  EXPECT_EQ(Get("date_get_hour", midnight), 0.0);
  Call("date_set_timezone", {RealValue(1)});
  EXPECT_EQ(CallReal("date_get_timezone", {}), 1.0);
  EXPECT_EQ(Get("date_get_hour", midnight), 21.0);
  EXPECT_EQ(Get("date_get_day", midnight), 31.0);
  EXPECT_EQ(CallReal("date_create_date", {RealValue(2000), RealValue(1), RealValue(1)}), At(k2000));
  Call("date_set_timezone", {RealValue(0.4)});  // rounds to 0: local
  EXPECT_EQ(CallReal("date_get_timezone", {}), 0.0);
  Call("date_set_timezone", {RealValue(-1)});
  EXPECT_EQ(CallReal("date_get_timezone", {}), 1.0);
}

TEST_F(DateBuiltinsTest, SpansAndComparisons) {
  const double a = At(k2000);
  const double b = a + 365.25;
  struct Case {
    const char* name;
    double x, y;
    double result;
  };
  const Case cases[] = {
      {"date_year_span", a, b, 365.25 * 0.0027378507871321013},
      {"date_month_span", b, a, 365.25 * 0.03285420944558522},
      {"date_week_span", a, a + 3.5, 3.5 * 0.14285714285714285},
      {"date_day_span", a, a + 1.25, 1.25},
      {"date_day_span", a + 1.25, a, 1.25},
      {"date_hour_span", 0.5, 0.25, 6},
      {"date_minute_span", 0.25, 0.5, 360},
      {"date_second_span", 1, 1.5, 43200},
      {"date_compare_datetime", a, a, 0},
      {"date_compare_datetime", a + 1e-9, a, 1},
      {"date_compare_datetime", a, a + 1e-9, -1},
      {"date_compare_datetime", kNaN, a, -1},
      {"date_compare_date", a + 0.9, a + 0.1, 0},
      {"date_compare_date", a + 1.1, a + 0.9, 1},
      {"date_compare_time", a + 0.25, a + 5.25, 0},
      {"date_compare_time", a + 0.75, a + 5.25, 1},
      {"date_compare_time", -0.25, 0.25, -1},  // the fraction keeps its sign
  };
  for (const Case& c : cases) {
    EXPECT_NEAR(CallReal(c.name, {RealValue(c.x), RealValue(c.y)}), c.result, 1e-9)
        << c.name << "(" << c.x << ", " << c.y << ")";
  }
  EXPECT_NEAR(CallReal("date_month_span", {RealValue(a), RealValue(b)}), 12.0, 1e-12);
  EXPECT_EQ(Get("date_date_of", 36526.75), 36526.0);
  EXPECT_EQ(Get("date_date_of", -1.5), -1.0);
  EXPECT_EQ(Get("date_time_of", 36526.75), 0.75);
  EXPECT_EQ(Get("date_time_of", -1.25), -0.25);

  // The day span reads numbers with the kind test.
  ProcessExitTrap trap;
  EXPECT_THROW(Call("date_day_span", {RealValue(1), Str("2")}), ProcessExited);
  EXPECT_THAT(TakeError(), ::testing::HasSubstr("date_day_span argument 2 incorrect type expecting a Number"));
}

// The texts use the thread's locale as the environment names it; here the "C" locale, read on a
// thread of its own so that no earlier use decides the locale.
TEST_F(DateBuiltinsTest, TextsInTheLocalesForm) {
  EnvOverride all("LC_ALL", "C");
  std::vector<std::string> texts;
  std::thread worker([&] {
    for (const char* name : {"date_datetime_string", "date_date_string", "date_time_string"}) {
      for (double date : {At(kLeapDay), At(k1960), kNaN}) texts.push_back(Call(name, {RealValue(date)}).text);
    }
  });
  worker.join();
  EXPECT_THAT(texts, ::testing::ElementsAre("Tue Feb 29 13:45:30 2000", "Mon Jul  4 12:00:00 1960", "invalid time",
                                            "02/29/00", "07/04/60", "invalid time",
                                            "13:45:30", "12:00:00", "invalid time"));
}

TEST_F(DateBuiltinsTest, TheCurrentTime) {
  // The three readers answer the same value within one second.
  for (int attempt = 0; attempt < 3; ++attempt) {
    const time_t before = time(nullptr);
    const double a = CallReal("date_current_datetime", {});
    const double b = CallReal("date_current_date", {});
    const double c = CallReal("date_current_time", {});
    if (time(nullptr) != before) continue;
    EXPECT_EQ(a, At(before));
    EXPECT_EQ(b, a);
    EXPECT_EQ(c, a);
    break;
  }
  EXPECT_EQ(Get("date_is_today", CallReal("date_current_datetime", {})), 1.0);
  EXPECT_EQ(Get("date_is_today", At(k2000)), 0.0);
  EXPECT_EQ(Get("date_is_today", kNaN), 0.0);
  struct tm now = {};
  ASSERT_TRUE(GetCurrentDateTime(&now));
  EXPECT_GE(now.tm_year + 1900, 2024);
}

}  // namespace
}  // namespace builtintest
