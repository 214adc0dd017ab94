#pragma once
#include <string>
#include <string_view>

#include "text/date.h"

// The user's regional settings and the texts of numbers and dates in them.
namespace text {

struct Regional {
  // Short date format in the pattern letters d, dd, M, MM, yy, yyyy; every
  // other character is literal (the first one of them is the date separator).
  std::string shortDateFormat = "d.M.yyyy";
  char decimalSeparator = ',';

  // Czech settings: d.M.yyyy and a decimal comma.
  static Regional czech();
  // From the OS locale of the process environment (LC_ALL, LC_TIME /
  // LC_NUMERIC, LANG); Czech settings when it names none (C, POSIX, C.UTF-8)
  // or cannot be loaded.
  static Regional fromEnvironment();
  // From a named locale such as "en_US.UTF-8"; Czech settings for C, POSIX,
  // C.UTF-8 and for names the system cannot load.
  static Regional fromLocaleName(std::string_view name);
  // From a POSIX locale's D_FMT ("%-d.%-m.%Y", "%m/%d/%Y") and RADIXCHAR;
  // each part that does not convert to a usable value takes its Czech value.
  static Regional fromPosixFormats(std::string_view dateFormat, std::string_view radixChar);
};

// General number text: up to 15 significant digits, shortest form, no
// grouping, the given decimal separator; "0" for zero; exponent form
// ("1E20", "1E-5", "1,5E-7") for magnitudes of 1E15 and more and non-zero
// magnitudes below 0.0001. NaN and infinities give "NAN", "INF", "-INF".
std::string formatNumber(double value, const Regional& regional);

// Parses a number as the user types it: optional blanks around, optional
// sign, digits with the decimal separator, optional exponent. Refuses
// anything else with "'%s' is not a valid floating point value".
double parseFloat(std::string_view text, const Regional& regional);
bool tryParseFloat(std::string_view text, const Regional& regional, double& out);

// A decimal whole number with optional sign (32 bits). Refuses anything else
// with "'%s' is not a valid integer value".
int parseInteger(std::string_view text);

// Date text in the short date format.
std::string formatDate(const Date& date, const Regional& regional);

// Parses a date in the short date format's order of day, month and year;
// a time of day after it is accepted and dropped. Refuses anything else with
// "'%s' is not a valid date and time".
Date parseDate(std::string_view text, const Regional& regional);
bool tryParseDate(std::string_view text, const Regional& regional, Date& out);

}  // namespace text
