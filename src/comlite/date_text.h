#pragma once
// Dates as text in the en-US form, both ways; not part of the public API.
//
// Reading follows what the automation runtime accepts for en-US:
// - a date of two or three parts, numbers or an English month name (full or three letters),
//   separated by blanks, ",", "/" or "-": "1/2/1970", "1-2-1970", "1 2 1970", "2 Jan 1970",
//   "2 January, 1970", "January 2". Numbers are taken month-day-year first, then year-month-day,
//   then day-month-year, the first order that gives a real date wins ("13-1-1970" is 13 January,
//   "1970-1-13" too). Two parts are month and day of the current year, else month and year (day
//   1). A weekday name is ignored.
// - a time of up to three numbers separated by ":" or "." ("3:5", "2.5" is 2:05, "1.5.2"), or a
//   single hour followed by AM/PM ("3 am"). It comes first or last, never between date parts.
//   AM/PM (also "A"/"P") is applied only to hours up to 12 ("12:59 AM" is 0:59, "00:00 PM" is
//   noon, "13:00 AM" stays 13:00).
// - a lone number, a fraction of a second, or any other character is not a date.
// - two-digit years: 00-29 are 2000-2029 and 30-99 are 1930-1999, the default "2029" window of
//   Windows' regional settings. The window is fixed; the user's setting is not read.
// - "T" between a date and a time is accepted too (ISO 8601 date-times), an extension.
//
// Writing: "M/D/YYYY h:mm:ss AM", the date alone at midnight, the time alone on day 0; with
// `alwaysTime` (VARIANT_USE_NLS) midnight is written as well.

#include <string>
#include <string_view>

#include "comlite/types.h"

namespace comlite::detail {

// DISP_E_TYPEMISMATCH when the text is not a date; `currentYear` fills dates given without one.
HRESULT ParseDateText(std::u16string_view text, int currentYear, double& days);
// DISP_E_OVERFLOW outside 1 January 100 .. 31 December 9999.
HRESULT FormatDateText(double days, bool alwaysTime, std::u16string& out);

}  // namespace comlite::detail
