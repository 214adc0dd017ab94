#include "text/regional.h"

#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>

#include "text/error.h"

#ifndef _WIN32
#include <langinfo.h>
#include <locale.h>
#endif

namespace text {

namespace {

constexpr const char* kCzechDateFormat = "d.M.yyyy";
constexpr char kCzechDecimalSeparator = ',';

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// C, POSIX and C.UTF-8 describe no country: they are what a process gets
// when nobody chose, so they must not turn a Czech ledger into US dates.
bool namesNoCountry(std::string_view name) {
  return name.empty() || name == "C" || name == "POSIX" || name.substr(0, 2) == "C.";
}

// The locale name that a category takes from the environment, by the POSIX
// precedence LC_ALL, then the category's own variable, then LANG.
std::string environmentLocaleName(const char* categoryVariable) {
  for (const char* variable : {"LC_ALL", categoryVariable, "LANG"}) {
    const char* value = std::getenv(variable);
    if (value && *value) return value;
  }
  return "C";
}

#ifndef _WIN32
// nl_langinfo items of a named locale, or nothing when the locale names no
// country or the system cannot load it.
template <size_t N>
std::optional<std::array<std::string, N>> localeItems(const std::string& name, int categoryMask,
                                                      const nl_item (&items)[N]) {
  if (namesNoCountry(name)) return std::nullopt;
  locale_t loc = newlocale(categoryMask, name.c_str(), static_cast<locale_t>(0));
  if (loc == static_cast<locale_t>(0)) return std::nullopt;
  std::array<std::string, N> values;
  for (size_t i = 0; i < N; ++i) values[i] = nl_langinfo_l(items[i], loc);
  freelocale(loc);
  return values;
}
#endif

// Converts a POSIX D_FMT into the pattern letters, or nothing for a format
// that uses conversions the pattern letters cannot express (%b, %a, %E...).
std::optional<std::string> patternFromPosix(std::string_view format) {
  std::string pattern;
  for (size_t i = 0; i < format.size(); ++i) {
    const char c = format[i];
    if (c != '%') {
      // Letters would read as pattern letters, digits as date numbers, and
      // bytes beyond ASCII are not Windows-1250 text we could trust.
      if (isAsciiLetter(c) || isDigit(c) || static_cast<unsigned char>(c) >= 0x80 || c < 0x20)
        return std::nullopt;
      pattern += c;
      continue;
    }
    if (++i >= format.size()) return std::nullopt;
    char flag = 0;
    if (format[i] == '-' || format[i] == '_' || format[i] == '0' || format[i] == '^' ||
        format[i] == '#') {
      flag = format[i];
      if (++i >= format.size()) return std::nullopt;
    }
    // "Unpadded" and "padded with blanks" both come out without a leading zero.
    const bool unpadded = flag == '-' || flag == '_';
    switch (format[i]) {
      case 'd': pattern += unpadded ? "d" : "dd"; break;
      case 'e': pattern += flag == '0' ? "dd" : "d"; break;
      case 'm': pattern += unpadded ? "M" : "MM"; break;
      case 'y': pattern += "yy"; break;
      case 'Y': pattern += "yyyy"; break;
      case 'F': pattern += "yyyy-MM-dd"; break;
      case 'D': pattern += "MM/dd/yy"; break;
      default: return std::nullopt;
    }
  }
  return pattern;
}

// A pattern is usable when it has each of day, month and year once and the
// dates it writes read back as themselves.
bool usableDatePattern(const std::string& pattern) {
  int days = 0, months = 0, years = 0;
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (i > 0 && pattern[i] == pattern[i - 1]) continue;
    days += pattern[i] == 'd';
    months += pattern[i] == 'M';
    years += pattern[i] == 'y';
  }
  if (days != 1 || months != 1 || years != 1) return false;
  Regional probe;
  probe.shortDateFormat = pattern;
  for (Date sample : {Date{2004, 9, 12}, Date{1999, 12, 31}, Date{2026, 1, 5}}) {
    Date back;
    if (!tryParseDate(formatDate(sample, probe), probe, back) || back != sample) return false;
  }
  return true;
}

std::string datePatternFromPosix(std::string_view dateFormat) {
  std::optional<std::string> pattern = patternFromPosix(dateFormat);
  if (!pattern || !usableDatePattern(*pattern)) return kCzechDateFormat;
  return *pattern;
}

char separatorFromPosix(std::string_view radixChar) {
  // A multi-byte separator (U+066B) cannot stand in one Windows-1250 byte.
  if (radixChar.size() != 1) return kCzechDecimalSeparator;
  const char c = radixChar[0];
  if (isDigit(c) || isAsciiLetter(c) || c == '+' || c == '-' || c == ' ' ||
      static_cast<unsigned char>(c) >= 0x80 || c < 0x20)
    return kCzechDecimalSeparator;
  return c;
}

void appendTwoDigits(std::string& out, int value) {
  out += static_cast<char>('0' + (value / 10) % 10);
  out += static_cast<char>('0' + value % 10);
}

void appendNumber(std::string& out, int value) {
  char buf[16];
  auto result = std::to_chars(buf, buf + sizeof buf, value);
  out.append(buf, result.ptr);
}

// The date separator is the first character of the pattern that is not a
// pattern letter; the field order is the order in which d, M and y appear.
struct DateLayout {
  char separator = '.';
  enum Field { Day, Month, Year };
  Field order[3] = {Day, Month, Year};
};

DateLayout layoutOf(std::string_view pattern) {
  DateLayout layout;
  for (char c : pattern)
    if (!isAsciiLetter(c)) {
      layout.separator = c;
      break;
    }
  const size_t day = pattern.find('d');
  const size_t month = pattern.find('M');
  const size_t year = pattern.find('y');
  if (day == std::string_view::npos || month == std::string_view::npos ||
      year == std::string_view::npos)
    return layout;
  struct Position {
    size_t at;
    DateLayout::Field field;
  } positions[3] = {{day, DateLayout::Day}, {month, DateLayout::Month}, {year, DateLayout::Year}};
  // Three elements: a hand-written sort is clearer than the algorithm header.
  for (int i = 0; i < 3; ++i)
    for (int j = i + 1; j < 3; ++j)
      if (positions[j].at < positions[i].at) std::swap(positions[i], positions[j]);
  for (int i = 0; i < 3; ++i) layout.order[i] = positions[i].field;
  return layout;
}

void skipBlanks(std::string_view text, size_t& i) {
  while (i < text.size() && text[i] == ' ') ++i;
}

// Reads 1 to maxDigits decimal digits; false when there are none or more.
bool readNumber(std::string_view text, size_t& i, int maxDigits, int& value, int& digits) {
  value = 0;
  digits = 0;
  while (i < text.size() && isDigit(text[i])) {
    if (++digits > maxDigits) return false;
    value = value * 10 + (text[i] - '0');
    ++i;
  }
  return digits > 0;
}

// A time of day "h:mm" or "h:mm:ss" after the date; it is checked and dropped.
bool readTimeOfDay(std::string_view text, size_t& i) {
  int value, digits;
  if (!readNumber(text, i, 2, value, digits) || value > 23) return false;
  for (int part = 0; part < 2; ++part) {
    if (i >= text.size() || text[i] != ':') return part > 0;
    ++i;
    if (!readNumber(text, i, 2, value, digits) || value > 59) return false;
  }
  return true;
}

// Two-digit years fall into 1950..2049.
int expandYear(int year, int digits) {
  if (digits > 2) return year;
  return year < 50 ? 2000 + year : 1900 + year;
}

bool parseDateText(std::string_view text, const Regional& regional, Date& out) {
  const DateLayout layout = layoutOf(regional.shortDateFormat);
  int numbers[3];
  int digitCounts[3];
  int count = 0;
  size_t i = 0;
  skipBlanks(text, i);
  while (count < 3) {
    if (!readNumber(text, i, 4, numbers[count], digitCounts[count])) return false;
    ++count;
    size_t next = i;
    skipBlanks(text, next);
    if (count == 3 || next >= text.size() || text[next] != layout.separator) break;
    i = next + 1;
    skipBlanks(text, i);
    // A separator after the last number ("12.9.2004.") ends the date.
    if (i >= text.size() || !isDigit(text[i])) break;
  }
  if (count < 2) return false;
  if (count == 3 && i < text.size() && text[i] == layout.separator) ++i;

  const size_t blanksFrom = i;
  skipBlanks(text, i);
  if (i < text.size()) {
    if (i == blanksFrom || !readTimeOfDay(text, i)) return false;
    skipBlanks(text, i);
    if (i < text.size()) return false;
  }

  Date date;
  int slot = 0;
  for (DateLayout::Field field : layout.order) {
    // With two numbers the year is the current one and the other two keep
    // their order.
    if (count == 2 && field == DateLayout::Year) continue;
    const int value = numbers[slot];
    const int digits = digitCounts[slot];
    ++slot;
    switch (field) {
      case DateLayout::Day: date.day = value; break;
      case DateLayout::Month: date.month = value; break;
      case DateLayout::Year: date.year = expandYear(value, digits); break;
    }
  }
  if (count == 2) date.year = Date::today().year;
  if (!date.valid()) return false;
  out = date;
  return true;
}

// Checks the number grammar and writes it with '.' for from_chars, which
// unlike strtod does not depend on the C locale.
bool parseFloatText(std::string_view text, char separator, double& out) {
  size_t i = 0;
  size_t end = text.size();
  while (i < end && text[i] == ' ') ++i;
  while (end > i && text[end - 1] == ' ') --end;

  std::string normalised;
  normalised.reserve(end - i + 2);
  if (i < end && (text[i] == '+' || text[i] == '-')) {
    if (text[i] == '-') normalised += '-';
    ++i;
  }
  normalised += '0';  // from_chars wants a digit before the point
  size_t mantissaDigits = 0;
  while (i < end && isDigit(text[i])) {
    normalised += text[i++];
    ++mantissaDigits;
  }
  if (i < end && text[i] == separator) {
    normalised += '.';
    ++i;
    while (i < end && isDigit(text[i])) {
      normalised += text[i++];
      ++mantissaDigits;
    }
  }
  if (mantissaDigits == 0) return false;
  if (i < end && (text[i] == 'e' || text[i] == 'E')) {
    normalised += 'e';
    ++i;
    if (i < end && (text[i] == '+' || text[i] == '-')) normalised += text[i++];
    size_t exponentDigits = 0;
    while (i < end && isDigit(text[i])) {
      normalised += text[i++];
      ++exponentDigits;
    }
    if (exponentDigits == 0) return false;
  }
  if (i != end) return false;

  double value = 0;
  const char* first = normalised.data();
  const char* last = first + normalised.size();
  auto result = std::from_chars(first, last, value, std::chars_format::general);
  if (result.ec == std::errc::result_out_of_range && result.ptr == last) {
    // The largest doubles are written rounded up to 15 digits,
    // 1,79769313486232E308, just past the largest double: that text reads
    // back as the largest double, so that every written number reads again.
    long double wide = 0;
    const auto widened = std::from_chars(first, last, wide, std::chars_format::general);
    constexpr long double kLargestWritten = 1.79769313486232e308L;
    if (widened.ec == std::errc() && std::fabs(wide) > 1 && std::fabs(wide) <= kLargestWritten) {
      out = std::copysign(std::numeric_limits<double>::max(), static_cast<double>(wide));
      return true;
    }
    return false;
  }
  if (result.ec != std::errc() || result.ptr != last) return false;
  out = value;
  return true;
}

}  // namespace

Regional Regional::czech() { return Regional{kCzechDateFormat, kCzechDecimalSeparator}; }

Regional Regional::fromPosixFormats(std::string_view dateFormat, std::string_view radixChar) {
  return Regional{datePatternFromPosix(dateFormat), separatorFromPosix(radixChar)};
}

Regional Regional::fromEnvironment() {
#ifdef _WIN32
  return czech();
#else
  // Dates follow LC_TIME and numbers LC_NUMERIC, as the user may have set
  // them apart; each part that names no country keeps its Czech value.
  Regional regional = czech();
  if (auto time = localeItems(environmentLocaleName("LC_TIME"), LC_TIME_MASK, {D_FMT}))
    regional.shortDateFormat = datePatternFromPosix((*time)[0]);
  if (auto numeric =
          localeItems(environmentLocaleName("LC_NUMERIC"), LC_NUMERIC_MASK, {RADIXCHAR}))
    regional.decimalSeparator = separatorFromPosix((*numeric)[0]);
  return regional;
#endif
}

Regional Regional::fromLocaleName(std::string_view name) {
#ifdef _WIN32
  (void)name;
  return czech();
#else
  auto items = localeItems(std::string(name), LC_ALL_MASK, {D_FMT, RADIXCHAR});
  if (!items) return czech();
  return fromPosixFormats((*items)[0], (*items)[1]);
#endif
}

std::string formatNumber(double value, const Regional& regional) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  if (value == 0) return "0";  // also -0

  // to_chars rounds to 15 significant digits exactly as printf's "%.14e"
  // would, and is the fastest locale-free way to get them:
  // [-]d.dddddddddddddde[+-]dd[d]
  char scientific[40];
  const auto converted =
      std::to_chars(scientific, scientific + sizeof scientific, value, std::chars_format::scientific, 14);
  const char* p = scientific;
  const char* const end = converted.ptr;
  const bool negative = *p == '-';
  if (negative) ++p;
  char digits[15];
  int digitCount = 0;
  digits[digitCount++] = *p++;
  ++p;  // the point
  while (p < end && *p != 'e' && digitCount < 15) digits[digitCount++] = *p++;
  while (p < end && *p != 'e') ++p;
  ++p;  // 'e'
  const bool exponentNegative = *p == '-';
  ++p;
  int exponent = 0;
  while (p < end) exponent = exponent * 10 + (*p++ - '0');
  if (exponentNegative) exponent = -exponent;
  while (digitCount > 1 && digits[digitCount - 1] == '0') --digitCount;

  const char separator = regional.decimalSeparator;
  char out[48];
  int length = 0;
  if (negative) out[length++] = '-';
  // The exponent is that of the rounded value, so 999999999999999.9 is 1E15
  // and 0.000099999999999999999 is 0,0001.
  if (exponent >= 15 || exponent < -4) {
    out[length++] = digits[0];
    if (digitCount > 1) {
      out[length++] = separator;
      for (int i = 1; i < digitCount; ++i) out[length++] = digits[i];
    }
    out[length++] = 'E';
    if (exponent < 0) {
      out[length++] = '-';
      exponent = -exponent;
    }
    length = static_cast<int>(std::to_chars(out + length, out + sizeof out, exponent).ptr - out);
  } else if (exponent >= 0) {
    for (int i = 0; i <= exponent; ++i) out[length++] = i < digitCount ? digits[i] : '0';
    if (digitCount > exponent + 1) {
      out[length++] = separator;
      for (int i = exponent + 1; i < digitCount; ++i) out[length++] = digits[i];
    }
  } else {
    out[length++] = '0';
    out[length++] = separator;
    for (int i = 0; i < -exponent - 1; ++i) out[length++] = '0';
    for (int i = 0; i < digitCount; ++i) out[length++] = digits[i];
  }
  return std::string(out, static_cast<size_t>(length));
}

bool tryParseFloat(std::string_view text, const Regional& regional, double& out) {
  return parseFloatText(text, regional.decimalSeparator, out);
}

double parseFloat(std::string_view text, const Regional& regional) {
  double value = 0;
  if (!parseFloatText(text, regional.decimalSeparator, value))
    throw mincar::Error(mincar::fill("'%s' is not a valid floating point value", {text}));
  return value;
}

int parseInteger(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  const size_t firstDigit = i;
  long long value = 0;
  constexpr long long kLimit = 2147483648LL;  // |INT32_MIN|
  while (i < text.size() && isDigit(text[i])) {
    value = value * 10 + (text[i] - '0');
    if (value > kLimit) break;
    ++i;
  }
  if (i == firstDigit || i != text.size() || value > (negative ? kLimit : kLimit - 1))
    throw mincar::Error(mincar::fill("'%s' is not a valid integer value", {text}));
  return static_cast<int>(negative ? -value : value);
}

std::string formatDate(const Date& date, const Regional& regional) {
  const std::string& pattern = regional.shortDateFormat;
  std::string out;
  out.reserve(pattern.size() + 2);
  for (size_t i = 0; i < pattern.size();) {
    const char c = pattern[i];
    if (c != 'd' && c != 'M' && c != 'y') {
      out += c;
      ++i;
      continue;
    }
    size_t run = 1;
    while (i + run < pattern.size() && pattern[i + run] == c) ++run;
    i += run;
    if (c == 'y') {
      if (run <= 2) {
        appendTwoDigits(out, date.year % 100);
      } else {
        if (date.year < 1000) out.append(date.year < 10 ? 3 : date.year < 100 ? 2 : 1, '0');
        appendNumber(out, date.year);
      }
      continue;
    }
    const int value = c == 'd' ? date.day : date.month;
    if (run == 1)
      appendNumber(out, value);
    else
      appendTwoDigits(out, value);
  }
  return out;
}

bool tryParseDate(std::string_view text, const Regional& regional, Date& out) {
  return parseDateText(text, regional, out);
}

Date parseDate(std::string_view text, const Regional& regional) {
  Date date;
  if (!parseDateText(text, regional, date))
    throw mincar::Error(mincar::fill("'%s' is not a valid date and time", {text}));
  return date;
}

}  // namespace text
