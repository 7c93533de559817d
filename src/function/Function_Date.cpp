// The date and time built-ins. Number arguments are read as reals without a kind test, except
// where a built-in says otherwise; every result is a real unless it is a text.
#include <locale.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdint>
#include <ctime>

#include "base/ErrorSink.h"
#include "function/Function_Args.h"
#include "function/Function_Misc.h"
#include "platform/Numeric.h"
#include "variable/ScriptValue.h"

bool DateTimeZoneLocal = true;

namespace {

constexpr double kUnixEpochDate = 25569.0;
constexpr double kSecondsPerDay = 86400.0;

const int32_t kDaysInMonth[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

bool IsLeapYear(int64_t year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int32_t DaysInMonth(int64_t year, int32_t month /* 1-12 */) {
  return month == 2 && IsLeapYear(year) ? 29 : kDaysInMonth[month - 1];
}

bool IsValidDate(int64_t day, int64_t month, int64_t year) {
  if (year < 1970 || month < 1 || month > 12) return false;
  return day >= 1 && day <= DaysInMonth(year, static_cast<int32_t>(month));
}

// The seconds from the start of the year to the given moment (month 1-12).
int64_t SecondsOfYear(int64_t year, int32_t month, int64_t day, int64_t hour, int64_t minute, int64_t second) {
  int64_t days = day - 1;
  for (int32_t m = 1; m < month; ++m) days += DaysInMonth(year, m);
  return second + 60 * (minute + 60 * (hour + 24 * days));
}

// A calendar field as the C library's record holds it; false when it does not fit.
bool FitField(int64_t value, int* field) {
  if (value < INT_MIN || value > INT_MAX) return false;
  *field = static_cast<int>(value);
  return true;
}

// The Unix second of a calendar record, in local time or UTC; fields beyond their range carry
// into the next. False when the moment cannot be expressed.
bool SecondsFromRecord(struct tm* r, bool local, int64_t* out) {
  errno = 0;
  const time_t t = local ? mktime(r) : timegm(r);
  if (t == static_cast<time_t>(-1) && errno != 0) return false;
  *out = static_cast<int64_t>(t);
  return true;
}

bool BreakDown(int64_t seconds, bool local, struct tm* out) {
  const time_t t = static_cast<time_t>(seconds);
  return (local ? localtime_r(&t, out) : gmtime_r(&t, out)) != nullptr;
}

double Arg(int32_t argc, const ScriptValue* args, int32_t index) { return ArgReal(argc, args, index); }
int64_t Rounded(int32_t argc, const ScriptValue* args, int32_t index) { return num::RoundInt32(Arg(argc, args, index)); }
int64_t Truncated(int32_t argc, const ScriptValue* args, int32_t index) { return num::TruncInt32(Arg(argc, args, index)); }

// ---- Current time ----

void CurrentDateTime(ScriptValue* result, CInstance*, CInstance*, int32_t, ScriptValue*) {
  SetReal(result, DateFromSeconds(static_cast<int64_t>(time(nullptr))));
}

// ---- Making ----

// Converts the record; a moment the platform cannot express is the fatal conversion error.
void CreateFromRecord(ScriptValue* result, struct tm* r, bool fieldsFit) {
  int64_t seconds = 0;
  if (!fieldsFit || !SecondsFromRecord(r, DateTimeZoneLocal, &seconds)) {
    FatalError("invalid date conversion - dates earlier than 1 Jan 1970 will be incorrect");
    return;
  }
  SetReal(result, DateFromSeconds(seconds));
}

void CreateDateTime(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  struct tm r = {};
  r.tm_isdst = -1;
  int64_t year = Rounded(argc, args, 0) - 1900;
  if (year < 0) year = 0;
  const bool fit = FitField(year, &r.tm_year) && FitField(Truncated(argc, args, 1) - 1, &r.tm_mon) &&
                   FitField(Truncated(argc, args, 2), &r.tm_mday) && FitField(Truncated(argc, args, 3), &r.tm_hour) &&
                   FitField(Truncated(argc, args, 4), &r.tm_min) && FitField(Truncated(argc, args, 5), &r.tm_sec);
  CreateFromRecord(result, &r, fit);
}

void CreateDate(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  struct tm r = {};
  r.tm_isdst = -1;
  const bool fit = FitField(Rounded(argc, args, 0) - 1900, &r.tm_year) &&
                   FitField(Rounded(argc, args, 1) - 1, &r.tm_mon) && FitField(Rounded(argc, args, 2), &r.tm_mday);
  CreateFromRecord(result, &r, fit);
}

// A time of day alone is that fraction of a day.
void CreateTime(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  const double hour = num::RoundHalfEven(Arg(argc, args, 0));
  const double minute = num::RoundHalfEven(Arg(argc, args, 1));
  const double second = num::RoundHalfEven(Arg(argc, args, 2));
  SetReal(result, (hour * 3600.0 + minute * 60.0 + second) / kSecondsPerDay);
}

// ---- Validity ----

// The `count` arguments as whole numbers: exactly that many, each a real equal to its 32-bit
// truncation.
bool WholeArguments(int32_t argc, const ScriptValue* args, int32_t count, int64_t* out) {
  if (argc != count) return false;
  for (int32_t i = 0; i < count; ++i) {
    if (args[i].kind != VALUE_REAL) return false;
    const int32_t whole = num::TruncInt32(args[i].real);
    if (static_cast<double>(whole) != args[i].real) return false;
    out[i] = whole;
  }
  return true;
}

bool IsValidTime(int64_t hour, int64_t minute, int64_t second) {
  return hour >= 0 && hour <= 23 && minute >= 0 && minute <= 59 && second >= 0 && second <= 59;
}

void ValidDateTime(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  int64_t f[6];
  const bool valid = WholeArguments(argc, args, 6, f) && IsValidDate(f[2], f[1], f[0]) && IsValidTime(f[3], f[4], f[5]);
  SetReal(result, valid ? 1.0 : 0.0);
}

void ValidDate(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  int64_t f[3];
  SetReal(result, WholeArguments(argc, args, 3, f) && IsValidDate(f[2], f[1], f[0]) ? 1.0 : 0.0);
}

void ValidTime(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  int64_t f[3];
  SetReal(result, WholeArguments(argc, args, 3, f) && IsValidTime(f[0], f[1], f[2]) ? 1.0 : 0.0);
}

// ---- Adding ----

// The record field an adding built-in moves, and how far per unit.
enum class DateField { Year, Month, Week, Day, Hour, Minute, Second };

// Adds in UTC, whatever the zone setting; the record carries overflowing fields (31 January plus
// one month is 3 March). A date that cannot be taken apart, or a sum beyond the calendar's
// reach, answers the date unchanged.
template <DateField Field>
void IncDate(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  const double date = Arg(argc, args, 0);
  SetReal(result, date);
  struct tm r = {};
  if (!BreakDown(SecondsFromDate(date), false, &r)) return;
  const double n = Arg(argc, args, 1);
  const int64_t amount = Field == DateField::Day ? num::TruncInt32(n) : num::RoundInt32(n);
  int* field = nullptr;
  int64_t step = 1;
  switch (Field) {
    case DateField::Year: field = &r.tm_year; break;
    case DateField::Month: field = &r.tm_mon; break;
    case DateField::Week: field = &r.tm_mday; step = 7; break;
    case DateField::Day: field = &r.tm_mday; break;
    case DateField::Hour: field = &r.tm_hour; break;
    case DateField::Minute: field = &r.tm_min; break;
    case DateField::Second: field = &r.tm_sec; break;
  }
  int64_t seconds = 0;
  if (!FitField(*field + amount * step, field) || !SecondsFromRecord(&r, false, &seconds)) return;
  SetReal(result, DateFromSeconds(seconds));
}

// ---- Taking apart ----

enum class DatePart {
  Year, Month, Week, Day, Hour, Minute, Second, Weekday, DayOfYear, HourOfYear, MinuteOfYear, SecondOfYear,
  DaysInMonth, DaysInYear, LeapYear
};

double PartOf(const struct tm& r, DatePart part) {
  const int64_t year = static_cast<int64_t>(r.tm_year) + 1900;
  const int32_t month = r.tm_mon + 1;
  switch (part) {
    case DatePart::Year: return static_cast<double>(year);
    case DatePart::Month: return month;
    case DatePart::Week: return r.tm_yday / 7;
    case DatePart::Day: return r.tm_mday;
    case DatePart::Hour: return r.tm_hour;
    case DatePart::Minute: return r.tm_min;
    case DatePart::Second: return r.tm_sec;
    case DatePart::Weekday: return r.tm_wday;
    case DatePart::DayOfYear:
      return static_cast<double>(SecondsOfYear(year, month, r.tm_mday + 1, r.tm_hour, r.tm_min, r.tm_sec) / 86400);
    case DatePart::HourOfYear:
      return static_cast<double>(SecondsOfYear(year, month, r.tm_mday, r.tm_hour, r.tm_min, r.tm_sec) / 3600);
    case DatePart::MinuteOfYear:
      return static_cast<double>(SecondsOfYear(year, month, r.tm_mday, r.tm_hour, r.tm_min, r.tm_sec) / 60);
    case DatePart::SecondOfYear:
      return static_cast<double>(SecondsOfYear(year, month, r.tm_mday, r.tm_hour, r.tm_min, r.tm_sec));
    case DatePart::DaysInMonth: return DaysInMonth(year, month);
    case DatePart::DaysInYear: return IsLeapYear(year) ? 366 : 365;
    case DatePart::LeapYear: return IsLeapYear(year) ? 1 : 0;
  }
  return 0.0;
}

// A date that cannot be taken apart answers 0.
template <DatePart Part>
void GetPart(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  struct tm r = {};
  if (DateBreakDown(SecondsFromDate(Arg(argc, args, 0)), &r)) SetReal(result, PartOf(r, Part));
}

// ---- Spans ----

constexpr double kPerYear = 0.0027378507871321013;   // 1 / 365.25
constexpr double kPerMonth = 0.03285420944558522;    // 12 / 365.25
constexpr double kPerWeek = 0.14285714285714285;     // 1 / 7

template <const double& Factor>
void Span(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  SetReal(result, std::fabs((Arg(argc, args, 0) - Arg(argc, args, 1)) * Factor));
}

constexpr double kPerHour = 24.0;
constexpr double kPerMinute = 1440.0;
constexpr double kPerSecond = 86400.0;

// The day span reads its arguments as numbers with the kind test.
void DaySpan(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  if (argc < 2) return;
  const double a = GetArgumentNumber(args, 0);
  const double b = GetArgumentNumber(args, 1);
  SetReal(result, a > b ? a - b : b - a);
}

// ---- Comparing ----

double Compare(double a, double b) { return a == b ? 0.0 : (a > b ? 1.0 : -1.0); }
double TimeOfDay(double date) { return date - std::trunc(date); }

void CompareDateTime(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  SetReal(result, Compare(Arg(argc, args, 0), Arg(argc, args, 1)));
}

void CompareDate(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  SetReal(result, Compare(num::TruncInt32(Arg(argc, args, 0)), num::TruncInt32(Arg(argc, args, 1))));
}

void CompareTime(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  SetReal(result, Compare(TimeOfDay(Arg(argc, args, 0)), TimeOfDay(Arg(argc, args, 1))));
}

void DateOf(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  SetReal(result, num::TruncInt32(Arg(argc, args, 0)));
}

void TimeOf(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  SetReal(result, TimeOfDay(Arg(argc, args, 0)));
}

// ---- Texts ----

// The locale of date formatting, one per thread: the user's default, else "C". The process
// locale is never changed.
locale_t DateLocale() {
  struct Holder {
    locale_t locale = newlocale(LC_TIME_MASK, "", static_cast<locale_t>(0));
    Holder() {
      if (locale == static_cast<locale_t>(0)) locale = newlocale(LC_TIME_MASK, "C", static_cast<locale_t>(0));
    }
    ~Holder() {
      if (locale != static_cast<locale_t>(0)) freelocale(locale);
    }
  };
  thread_local Holder holder;
  return holder.locale;
}

template <char Conversion>
void DateText(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  struct tm r = {};
  if (!DateBreakDown(SecondsFromDate(Arg(argc, args, 0)), &r)) {
    SetString(result, "invalid time");
    return;
  }
  const char format[3] = {'%', Conversion, '\0'};
  char text[1024];
  const locale_t locale = DateLocale();
  const size_t length = locale != static_cast<locale_t>(0) ? strftime_l(text, sizeof(text), format, &r, locale)
                                                           : strftime(text, sizeof(text), format, &r);
  text[length < sizeof(text) ? length : 0] = '\0';
  SetString(result, text);
}

// ---- The rest ----

void IsToday(ScriptValue* result, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  struct tm date = {};
  struct tm now = {};
  if (!DateBreakDown(SecondsFromDate(Arg(argc, args, 0)), &date) || !GetCurrentDateTime(&now)) return;
  const bool today = date.tm_year == now.tm_year && date.tm_mon == now.tm_mon && date.tm_yday == now.tm_yday;
  SetReal(result, today ? 1.0 : 0.0);
}

void SetTimeZone(ScriptValue*, CInstance*, CInstance*, int32_t argc, ScriptValue* args) {
  DateTimeZoneLocal = Rounded(argc, args, 0) == 0;
}

void GetTimeZone(ScriptValue* result, CInstance*, CInstance*, int32_t, ScriptValue*) {
  SetReal(result, DateTimeZoneLocal ? 0.0 : 1.0);
}

}  // namespace

double DateFromSeconds(int64_t seconds) {
  return (static_cast<double>(seconds) + 0.5) / kSecondsPerDay + kUnixEpochDate;
}

int64_t SecondsFromDate(double date) {
  // Rounding down keeps the second of dates before 1970 (whose seconds are negative) as
  // DateFromSeconds made it; for later dates it is the truncation.
  return num::TruncInt64(std::floor((date - kUnixEpochDate) * kSecondsPerDay));
}

bool DateBreakDown(int64_t seconds, struct tm* out) { return BreakDown(seconds, DateTimeZoneLocal, out); }

bool GetCurrentDateTime(struct tm* out) { return DateBreakDown(static_cast<int64_t>(time(nullptr)), out); }

const BuiltinSpec kDateBuiltins[] = {
    {"date_current_datetime", CurrentDateTime, 0},
    {"date_current_date", CurrentDateTime, 0},
    {"date_current_time", CurrentDateTime, 0},
    {"date_create_datetime", CreateDateTime, 6},
    {"date_create_date", CreateDate, 3},
    {"date_create_time", CreateTime, 3},
    {"date_valid_datetime", ValidDateTime, 6},
    {"date_valid_date", ValidDate, 3},
    {"date_valid_time", ValidTime, 3},
    {"date_inc_year", IncDate<DateField::Year>, 2},
    {"date_inc_month", IncDate<DateField::Month>, 2},
    {"date_inc_week", IncDate<DateField::Week>, 2},
    {"date_inc_day", IncDate<DateField::Day>, 2},
    {"date_inc_hour", IncDate<DateField::Hour>, 2},
    {"date_inc_minute", IncDate<DateField::Minute>, 2},
    {"date_inc_second", IncDate<DateField::Second>, 2},
    {"date_get_year", GetPart<DatePart::Year>, 1},
    {"date_get_month", GetPart<DatePart::Month>, 1},
    {"date_get_week", GetPart<DatePart::Week>, 1},
    {"date_get_day", GetPart<DatePart::Day>, 1},
    {"date_get_hour", GetPart<DatePart::Hour>, 1},
    {"date_get_minute", GetPart<DatePart::Minute>, 1},
    {"date_get_second", GetPart<DatePart::Second>, 1},
    {"date_get_weekday", GetPart<DatePart::Weekday>, 1},
    {"date_get_day_of_year", GetPart<DatePart::DayOfYear>, 1},
    {"date_get_hour_of_year", GetPart<DatePart::HourOfYear>, 1},
    {"date_get_minute_of_year", GetPart<DatePart::MinuteOfYear>, 1},
    {"date_get_second_of_year", GetPart<DatePart::SecondOfYear>, 1},
    {"date_year_span", Span<kPerYear>, 2},
    {"date_month_span", Span<kPerMonth>, 2},
    {"date_week_span", Span<kPerWeek>, 2},
    {"date_day_span", DaySpan, 2},
    {"date_hour_span", Span<kPerHour>, 2},
    {"date_minute_span", Span<kPerMinute>, 2},
    {"date_second_span", Span<kPerSecond>, 2},
    {"date_compare_datetime", CompareDateTime, 2},
    {"date_compare_date", CompareDate, 2},
    {"date_compare_time", CompareTime, 2},
    {"date_date_of", DateOf, 1},
    {"date_time_of", TimeOf, 1},
    {"date_datetime_string", DateText<'c'>, 1},
    {"date_date_string", DateText<'x'>, 1},
    {"date_time_string", DateText<'X'>, 1},
    {"date_days_in_month", GetPart<DatePart::DaysInMonth>, 1},
    {"date_days_in_year", GetPart<DatePart::DaysInYear>, 1},
    {"date_leap_year", GetPart<DatePart::LeapYear>, 1},
    {"date_is_today", IsToday, 1},
    {"date_set_timezone", SetTimeZone, 1},
    {"date_get_timezone", GetTimeZone, 0},
};
const int32_t kDateBuiltinCount = static_cast<int32_t>(sizeof(kDateBuiltins) / sizeof(kDateBuiltins[0]));
