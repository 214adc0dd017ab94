#include "ledger/field_codec.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "ledger/errors.h"
#include "ledger/field_codec_testing.h"
#include "text/error.h"

namespace ledger::codec {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Powers of ten that a double holds exactly.
constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                   1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

// Numbers are right-aligned, so most of a number field is leading blanks:
// they are skipped eight at a time.
inline const char* skipBlanks(const char* p, const char* end) {
  constexpr std::uint64_t kBlanks = 0x2020202020202020ULL;
  while (end - p >= 8) {
    std::uint64_t word;
    std::memcpy(&word, p, 8);
    if (const std::uint64_t differs = word ^ kBlanks) {
      if constexpr (std::endian::native == std::endian::little) return p + (std::countr_zero(differs) >> 3);
      else return p + (std::countl_zero(differs) >> 3);
    }
    p += 8;
  }
  while (p < end && *p == ' ') ++p;
  return p;
}

// Texts are left-aligned, so most of a text field is trailing blanks: they
// are dropped eight at a time too (a writer that pads with NULs is served by
// the byte loop).
inline const char* dropTrailingPadding(const char* begin, const char* end) {
  constexpr std::uint64_t kBlanks = 0x2020202020202020ULL;
  while (end - begin >= 8) {
    std::uint64_t word;
    std::memcpy(&word, end - 8, 8);
    if (word != kBlanks) break;
    end -= 8;
  }
  while (end > begin && (end[-1] == ' ' || end[-1] == '\0')) --end;
  return end;
}

inline void trim(const char*& begin, const char*& end) {
  begin = skipBlanks(begin, end);
  end = dropTrailingPadding(begin, end);
}

// Days from 1899-12-30, the day count of date-time values.
double dateSerial(const text::Date& d) {
  // Howard Hinnant's days_from_civil.
  const int y = d.year - (d.month <= 2 ? 1 : 0);
  const int era = (y >= 0 ? y : y - 399) / 400;
  const int yoe = y - era * 400;
  const int doy = (153 * (d.month + (d.month > 2 ? -3 : 9)) + 2) / 5 + d.day - 1;
  const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  const long long daysFrom1970 = static_cast<long long>(era) * 146097 + doe - 719468;
  return static_cast<double>(daysFrom1970 + 25569);
}

void fillBlanks(char* out, int length) { std::memset(out, ' ', static_cast<std::size_t>(length)); }

// --- the binary types of level 7 ---

constexpr double kMillisecondsPerDay = 86400000.0;
// Day 1 of the timestamp count, 0001-01-01, is this many days before
// 1970-01-01; the date-time serial's day 0, 1899-12-30, 25569.
constexpr long long kTimestampDay1970 = 719163;
constexpr long long kSerialDay1970 = 25569;

long long daysFrom1970(const text::Date& d) { return static_cast<long long>(dateSerial(d)) - kSerialDay1970; }

// Howard Hinnant's civil_from_days.
text::Date dateFrom1970(long long z) {
  z += 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const long long doe = z - era * 146097;
  const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long long mp = (5 * doy + 2) / 153;
  const int day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  const long long year = yoe + era * 400 + (month <= 2 ? 1 : 0);
  return {static_cast<int>(year), month, day};
}

bool allZero(const char* bytes, int length) {
  for (int i = 0; i < length; ++i) {
    if (bytes[i] != 0) return false;
  }
  return true;
}

std::uint64_t bigEndian(const char* bytes, int length) {
  std::uint64_t v = 0;
  for (int i = 0; i < length; ++i) v = v << 8 | static_cast<unsigned char>(bytes[i]);
  return v;
}

void putBigEndian(std::uint64_t v, int length, char* out) {
  for (int i = length - 1; i >= 0; --i, v >>= 8) out[i] = static_cast<char>(v & 0xFF);
}

constexpr std::uint64_t kSign64 = 0x8000000000000000ULL;

bool decodeDouble(const char* bytes, double& out) {
  if (allZero(bytes, 8)) return false;
  std::uint64_t bits = bigEndian(bytes, 8);
  bits = (bits & kSign64) != 0 ? bits ^ kSign64 : ~bits;
  const double v = std::bit_cast<double>(bits);
  if (!std::isfinite(v)) return false;
  out = v;
  return true;
}

bool putDouble(double v, char* out) {
  if (!std::isfinite(v)) return false;
  if (v == 0) v = 0.0;  // -0 sorts and reads as 0
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(v);
  putBigEndian((bits & kSign64) != 0 ? ~bits : bits ^ kSign64, 8, out);
  return true;
}

bool wholeInt32(double v, std::int32_t& out) {
  // -2^31 would be stored as all zeros, which is empty.
  if (!(v >= -2147483647.0 && v <= 2147483647.0) || v != std::trunc(v)) return false;
  out = static_cast<std::int32_t>(v);
  return true;
}

struct Timestamp {
  text::Date date;
  long long millisecond = 0;  // of the day
};

bool decodeTimestamp(const char* bytes, Timestamp& out) {
  if (allZero(bytes, 8)) return false;
  const double ms = std::bit_cast<double>(bigEndian(bytes, 8));
  if (!std::isfinite(ms) || ms < kMillisecondsPerDay) return false;
  const double day = std::floor(ms / kMillisecondsPerDay);
  if (day > 3652059) return false;  // beyond 9999-12-31
  long long millisecond = std::llround(ms - day * kMillisecondsPerDay);
  long long days = static_cast<long long>(day);
  if (millisecond >= 86400000) {
    millisecond -= 86400000;
    ++days;
  }
  out.date = dateFrom1970(days - kTimestampDay1970);
  out.millisecond = millisecond;
  return out.date.valid();
}

bool putTimestamp(const text::Date& d, long long millisecond, char* out) {
  if (!d.valid() || millisecond < 0 || millisecond >= 86400000) return false;
  const double ms = static_cast<double>(daysFrom1970(d) + kTimestampDay1970) * kMillisecondsPerDay +
                    static_cast<double>(millisecond);
  putBigEndian(std::bit_cast<std::uint64_t>(ms), 8, out);
  return true;
}

// The date-time serial (days since 1899-12-30, the time as their fraction).
double timestampSerial(const Timestamp& t) {
  return dateSerial(t.date) + static_cast<double>(t.millisecond) / kMillisecondsPerDay;
}

bool timestampOfSerial(double serial, Timestamp& out) {
  if (!std::isfinite(serial) || std::fabs(serial) > 3e6) return false;
  const double day = std::floor(serial);
  long long millisecond = std::llround((serial - day) * kMillisecondsPerDay);
  long long days = static_cast<long long>(day);
  if (millisecond >= 86400000) {
    millisecond -= 86400000;
    ++days;
  }
  out.date = dateFrom1970(days - kSerialDay1970);
  out.millisecond = millisecond;
  return out.date.valid();
}

std::string timestampText(const Timestamp& t, const text::Regional& regional) {
  std::string out = text::formatDate(t.date, regional);
  if (t.millisecond != 0) {
    const long long seconds = t.millisecond / 1000;
    char time[32];
    std::snprintf(time, sizeof time, " %lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60, seconds % 60);
    out += time;
  }
  return out;
}

// "date", or "date H:mm" or "date H:mm:ss" with the time after a blank.
bool parseTimestamp(std::string_view text, const text::Regional& regional, Timestamp& out) {
  const std::size_t blank = text.find(' ');
  if (!text::tryParseDate(text.substr(0, blank), regional, out.date) || !out.date.valid()) return false;
  out.millisecond = 0;
  if (blank == std::string_view::npos) return true;
  std::string_view time = text.substr(blank + 1);
  while (!time.empty() && time.front() == ' ') time.remove_prefix(1);
  int parts[3] = {0, 0, 0};
  int count = 0;
  while (!time.empty() && count < 3) {
    const char* end = time.data() + time.size();
    auto [stop, error] = std::from_chars(time.data(), end, parts[count]);
    if (error != std::errc() || stop == time.data() || stop - time.data() > 2) return false;
    ++count;
    time.remove_prefix(static_cast<std::size_t>(stop - time.data()));
    if (time.empty()) break;
    if (time.front() != ':' || count == 3) return false;
    time.remove_prefix(1);
    if (time.empty()) return false;
  }
  if (count < 2 || parts[0] > 23 || parts[1] > 59 || parts[2] > 59) return false;
  out.millisecond = (parts[0] * 3600LL + parts[1] * 60LL + parts[2]) * 1000;
  return true;
}

// A binary field's value as a number (a timestamp as its serial); false
// when empty.
bool binaryNumber(const FieldDef& def, const char* bytes, double& out) {
  switch (def.type) {
    case FieldType::Integer:
    case FieldType::AutoIncrement: {
      std::int64_t v = 0;
      if (!decodeInteger(bytes, v)) return false;
      out = static_cast<double>(v);
      return true;
    }
    case FieldType::Double: return decodeDouble(bytes, out);
    case FieldType::Timestamp: {
      Timestamp t;
      if (!decodeTimestamp(bytes, t)) return false;
      out = timestampSerial(t);
      return true;
    }
    default: return false;
  }
}

// A value into a binary field; false when the field cannot take it.
bool putBinaryNumber(const FieldDef& def, double v, char* out) {
  switch (def.type) {
    case FieldType::Integer:
    case FieldType::AutoIncrement: {
      std::int32_t whole = 0;
      if (!wholeInt32(v, whole)) return false;
      encodeInteger(whole, out);
      return true;
    }
    case FieldType::Double: return putDouble(v, out);
    case FieldType::Timestamp: {
      Timestamp t;
      return timestampOfSerial(v, t) && putTimestamp(t.date, t.millisecond, out);
    }
    default: return false;
  }
}

void putText(std::string_view text, int length, char* out) {
  const std::size_t n = std::min(text.size(), static_cast<std::size_t>(length));
  if (n > 0) std::memcpy(out, text.data(), n);  // an empty view may hold no pointer
  std::memset(out + n, ' ', static_cast<std::size_t>(length) - n);
}

bool putDate(const text::Date& d, int length, char* out) {
  if (d == text::Date{}) {
    fillBlanks(out, length);
    return true;
  }
  if (!d.valid() || length < 8) return false;
  char digits[9];
  std::snprintf(digits, sizeof digits, "%04d%02d%02d", d.year, d.month, d.day);
  putText(std::string_view(digits, 8), length, out);
  return true;
}

// The logical meaning of a text: its first letter.
int logicalOfText(std::string_view text) {
  std::size_t at = text.find_first_not_of(' ');
  if (at == std::string_view::npos) return -1;
  switch (text[at]) {
    case 'T': case 't': case 'Y': case 'y': return 1;
    case 'F': case 'f': case 'N': case 'n': return 0;
    default: return -1;
  }
}

std::string_view trimmedText(std::string_view text) {
  std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  std::size_t last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

constexpr std::uint64_t kPowersOfTenWhole[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};

// The n (1..8) ASCII digits that end at `end`, eight bytes at a time; the
// caller makes sure that the 8 bytes before `end` are readable. False when
// one of the n bytes is no digit.
inline bool eightDigits(const char* end, int n, std::uint64_t& out) {
  constexpr std::uint64_t kZeros = 0x3030303030303030ULL;
  constexpr std::uint64_t kHighNibbles = 0xF0F0F0F0F0F0F0F0ULL;
  std::uint64_t word;
  std::memcpy(&word, end - 8, 8);
  // The bytes before the digits (lowest first on little-endian) become '0'.
  const std::uint64_t keep = ~0ULL << (8 * (8 - n));
  word = (word & keep) | (kZeros & ~keep);
  // Every byte 0x30..0x39: high nibble 3, and low nibble + 6 does not carry.
  if ((word & kHighNibbles) != kZeros) return false;
  if (((word + 0x0606060606060606ULL) & kHighNibbles) != kZeros) return false;
  word -= kZeros;
  word = word * 10 + (word >> 8);
  word = (((word & 0x000000FF000000FFULL) * (100 + (1000000ULL << 32))) +
          (((word >> 16) & 0x000000FF000000FFULL) * (1 + (10000ULL << 32)))) >>
         32;
  out = static_cast<std::uint32_t>(word);
  return true;
}

}  // namespace

namespace {

// Every form but the usual one: signs and points anywhere, exponents, long
// digit strings. `begin`..`end` is the trimmed text, `p` after its sign.
[[gnu::noinline]] bool decodeOtherNumber(const char* begin, const char* p, const char* end, bool negative,
                                         double& out) {
  // Still exact for up to 15 digits: they make a whole number below 2^53,
  // and dividing by an exact power of ten rounds correctly.
  std::uint64_t mantissa = 0;
  int digits = 0;
  int places = 0;
  while (p < end && isDigit(*p) && digits < 16) {
    mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
    ++digits;
    ++p;
  }
  if (p < end && *p == '.') {
    ++p;
    while (p < end && isDigit(*p) && digits < 16) {
      mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
      ++digits;
      ++places;
      ++p;
    }
  }
  if (p == end && digits > 0 && digits <= 15) {
    double v = static_cast<double>(mantissa);
    if (places > 0) v /= kPowersOfTen[places];
    out = negative && mantissa != 0 ? -v : v;
    return true;
  }

  // The rest goes to the library. from_chars takes no '+'.
  const char* from = begin;
  if (*from == '+') {
    ++from;
    if (from == end || *from == '-' || *from == '+') return false;
  }
  double v = 0;
  auto [stop, error] = std::from_chars(from, end, v, std::chars_format::general);
  if (error != std::errc() || stop != end || !std::isfinite(v)) return false;
  out = v == 0 ? 0.0 : v;
  return true;
}

}  // namespace

bool decodeNumber(const char* bytes, int length, double& out, int decimals) {
  const char* begin = bytes;
  const char* end = bytes + length;
  trim(begin, end);
  if (begin == end || *begin == '*') return false;  // empty, or GDAL's '*' fill (or garbage)

  const char* p = begin;
  const bool negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;

  // The usual form, as Mincar and most writers store it: up to 8 whole
  // digits and exactly the column's decimals, read eight digits at a time.
  if constexpr (std::endian::native == std::endian::little) {
    const char* wholeEnd = end;
    int fraction = 0;
    if (decimals > 0 && decimals <= 8 && end - p > decimals && end[-decimals - 1] == '.') {
      wholeEnd = end - decimals - 1;
      fraction = decimals;
    }
    const long whole = wholeEnd - p;
    const bool fits = whole <= 8 && whole + fraction >= 1 && whole + fraction <= 15;
    if (fits && wholeEnd - bytes >= 8 && end - bytes >= 8) {
      std::uint64_t wholeValue = 0;
      std::uint64_t fractionValue = 0;
      if ((whole == 0 || eightDigits(wholeEnd, static_cast<int>(whole), wholeValue)) &&
          (fraction == 0 || eightDigits(end, fraction, fractionValue))) {
        // Exact: below 10^15 < 2^53, divided by an exact power of ten.
        const std::uint64_t mantissa = wholeValue * kPowersOfTenWhole[fraction] + fractionValue;
        double v = static_cast<double>(mantissa);
        if (fraction > 0) v /= kPowersOfTen[fraction];
        out = negative && mantissa != 0 ? -v : v;
        return true;
      }
    }
  }
  return decodeOtherNumber(begin, p, end, negative, out);
}

bool decodeDate(const char* bytes, int length, text::Date& out) {
  const char* begin = bytes;
  const char* end = bytes + length;
  trim(begin, end);
  if (end - begin != 8) return false;
  int parts[8];
  for (int i = 0; i < 8; ++i) {
    if (!isDigit(begin[i])) return false;
    parts[i] = begin[i] - '0';
  }
  text::Date d{parts[0] * 1000 + parts[1] * 100 + parts[2] * 10 + parts[3], parts[4] * 10 + parts[5],
               parts[6] * 10 + parts[7]};
  if (!d.valid()) return false;  // zeros included
  out = d;
  return true;
}

int decodeLogical(const char* bytes, int length) {
  return logicalOfText(std::string_view(bytes, static_cast<std::size_t>(length)));
}

std::string_view decodeText(const char* bytes, int length) {
  const char* end = dropTrailingPadding(bytes, bytes + length);
  return std::string_view(bytes, static_cast<std::size_t>(end - bytes));
}

bool isNull(const FieldDef& def, const char* bytes) {
  switch (def.type) {
    case FieldType::Numeric:
    case FieldType::Float: {
      double ignored;
      return !decodeNumber(bytes, def.length, ignored, def.decimals);
    }
    case FieldType::Date: {
      text::Date ignored;
      return !decodeDate(bytes, def.length, ignored);
    }
    case FieldType::Logical: return decodeLogical(bytes, def.length) < 0;
    case FieldType::Integer:
    case FieldType::AutoIncrement:
    case FieldType::Double:
    case FieldType::Timestamp: {
      double ignored;
      return !binaryNumber(def, bytes, ignored);
    }
    case FieldType::Character: break;
  }
  return decodeText(bytes, def.length).empty();
}

Value decode(const FieldDef& def, const char* bytes) {
  switch (def.type) {
    case FieldType::Numeric:
    case FieldType::Float: {
      double v;
      if (decodeNumber(bytes, def.length, v, def.decimals)) return v;
      return {};
    }
    case FieldType::Date: {
      text::Date d;
      if (decodeDate(bytes, def.length, d)) return d;
      return {};
    }
    case FieldType::Logical: {
      int b = decodeLogical(bytes, def.length);
      if (b < 0) return {};
      return b == 1;
    }
    case FieldType::Timestamp: {
      // A day without a time of day is a date, as a date column holds it.
      Timestamp t;
      if (!decodeTimestamp(bytes, t)) return {};
      if (t.millisecond == 0) return t.date;
      return timestampSerial(t);
    }
    case FieldType::Integer:
    case FieldType::AutoIncrement:
    case FieldType::Double: {
      double v;
      if (binaryNumber(def, bytes, v)) return v;
      return {};
    }
    case FieldType::Character: break;
  }
  std::string_view text = decodeText(bytes, def.length);
  if (text.empty()) return {};
  return std::string(text);
}

double toFloat(const FieldDef& def, const char* bytes, const text::Regional& regional) {
  switch (def.type) {
    case FieldType::Numeric:
    case FieldType::Float: {
      double v = 0;
      return decodeNumber(bytes, def.length, v, def.decimals) ? v : 0.0;
    }
    case FieldType::Date: {
      text::Date d;
      return decodeDate(bytes, def.length, d) ? dateSerial(d) : 0.0;
    }
    case FieldType::Logical: return decodeLogical(bytes, def.length) == 1 ? 1.0 : 0.0;
    case FieldType::Integer:
    case FieldType::AutoIncrement:
    case FieldType::Double:
    case FieldType::Timestamp: {
      double v = 0;
      return binaryNumber(def, bytes, v) ? v : 0.0;
    }
    case FieldType::Character: break;
  }
  std::string_view text = trimmedText(decodeText(bytes, def.length));
  if (text.empty()) return 0.0;
  return text::parseFloat(text, regional);
}

std::string toText(const FieldDef& def, const char* bytes, const text::Regional& regional) {
  switch (def.type) {
    case FieldType::Numeric:
    case FieldType::Float: {
      double v;
      return decodeNumber(bytes, def.length, v, def.decimals) ? text::formatNumber(v, regional) : std::string();
    }
    case FieldType::Date: {
      text::Date d;
      return decodeDate(bytes, def.length, d) ? text::formatDate(d, regional) : std::string();
    }
    case FieldType::Logical: {
      int b = decodeLogical(bytes, def.length);
      return b < 0 ? std::string() : b == 1 ? std::string("True") : std::string("False");
    }
    case FieldType::Integer:
    case FieldType::AutoIncrement:
    case FieldType::Double: {
      double v;
      return binaryNumber(def, bytes, v) ? text::formatNumber(v, regional) : std::string();
    }
    case FieldType::Timestamp: {
      Timestamp t;
      return decodeTimestamp(bytes, t) ? timestampText(t, regional) : std::string();
    }
    case FieldType::Character: break;
  }
  return std::string(decodeText(bytes, def.length));
}

text::Date toDate(const FieldDef& def, const char* bytes, const text::Regional& regional) {
  text::Date d;
  switch (def.type) {
    case FieldType::Date: decodeDate(bytes, def.length, d); return d;
    case FieldType::Character: {
      std::string_view text = trimmedText(decodeText(bytes, def.length));
      if (!text.empty() && text::tryParseDate(text, regional, d)) return d;
      return {};
    }
    case FieldType::Timestamp: {
      Timestamp t;
      if (decodeTimestamp(bytes, t)) return t.date;
      return {};
    }
    case FieldType::Numeric:
    case FieldType::Float:
    case FieldType::Logical:
    case FieldType::Integer:
    case FieldType::AutoIncrement:
    case FieldType::Double: break;
  }
  return {};
}

namespace {

// A decimal number of up to 15 significant digits is the double nearest to
// it and back again; numbers are written with the column's decimals from the
// double, so a text of at most this many digits, counted at the column's
// decimals, comes out as its own digits.
constexpr std::size_t kExactDigits = 15;

// The general ways alone serve the tests that hold the short ones against
// them.
enum class Ways { WithShort, GeneralOnly };

bool isNumberType(FieldType type) { return type == FieldType::Numeric || type == FieldType::Float; }

bool rightAligned(const char* text, std::size_t length, int width, char* out) {
  if (length > static_cast<std::size_t>(width)) return false;
  const std::size_t pad = static_cast<std::size_t>(width) - length;
  std::memset(out, ' ', pad);
  std::memcpy(out + pad, text, length);
  return true;
}

bool fixedNumber(double value, int length, int decimals, char* out) {
  if (!std::isfinite(value) || length <= 0 || decimals < 0) return false;
  // The longest fixed text of a double: 309 digits, sign, point, decimals.
  char text[320 + 256];
  auto [end, error] = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
  if (error != std::errc()) return false;
  std::string_view s(text, static_cast<std::size_t>(end - text));
  // A negative amount that rounds to zero is stored as zero, not "-0.00".
  if (s.front() == '-' && s.find_first_not_of("-0.") == std::string_view::npos) s.remove_prefix(1);
  return rightAligned(s.data(), s.size(), length, out);
}

// A whole number below 10^15 is exact: its digits, then the decimals as
// zeros, as the fixed text of the double has them.
bool wholeNumber(double value, int length, int decimals, char* out) {
  const std::size_t places = static_cast<std::size_t>(decimals);
  if (decimals < 0 || places > kExactDigits || !(std::fabs(value) < 1e15) || value != std::trunc(value)) {
    return false;
  }
  char digits[2 * kExactDigits + 4];
  std::size_t n = 0;
  if (value < 0) digits[n++] = '-';
  const auto end =
      std::to_chars(digits + n, digits + sizeof digits, static_cast<std::uint64_t>(std::fabs(value))).ptr;
  n = static_cast<std::size_t>(end - digits);
  if (places > 0) {
    digits[n++] = '.';
    std::memset(digits + n, '0', places);
    n += places;
  }
  return rightAligned(digits, n, length, out);
}

bool putNumber(double value, int length, int decimals, Ways ways, char* out) {
  if (ways == Ways::WithShort && wholeNumber(value, length, decimals, out)) return true;
  return fixedNumber(value, length, decimals, out);
}

// "[+|-]digits[<separator>digits]" with no more decimals than the column's:
// the column's text is those digits with the column's decimals, as the
// parsed number is written.
bool plainNumber(std::string_view text, char separator, const FieldDef& def, char* out) {
  const std::size_t decimals = static_cast<std::size_t>(def.decimals);
  if (def.decimals < 0 || decimals > kExactDigits) return false;
  std::size_t i = 0;
  const std::size_t n = text.size();
  bool negative = false;
  if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::size_t wholeFrom = i;
  while (i < n && isDigit(text[i])) ++i;
  const std::size_t wholeTo = i;
  std::size_t fractionFrom = i, fractionTo = i;
  if (i < n && text[i] == separator) {
    fractionFrom = ++i;
    while (i < n && isDigit(text[i])) ++i;
    fractionTo = i;
    if (fractionTo == fractionFrom) return false;
  }
  if (i != n || (wholeTo == wholeFrom && fractionTo == fractionFrom)) return false;
  while (wholeFrom < wholeTo && text[wholeFrom] == '0') ++wholeFrom;
  const std::size_t whole = wholeTo - wholeFrom;
  const std::size_t fraction = fractionTo - fractionFrom;
  if (fraction > decimals || whole + decimals > kExactDigits) return false;

  char digits[2 * kExactDigits + 4];
  std::size_t length = 0;
  bool zero = whole == 0;
  for (std::size_t f = fractionFrom; f < fractionTo; ++f) zero = zero && text[f] == '0';
  // A negative number that is zero is stored as zero.
  if (negative && !zero) digits[length++] = '-';
  if (whole == 0) {
    digits[length++] = '0';
  } else {
    std::memcpy(digits + length, text.data() + wholeFrom, whole);
    length += whole;
  }
  if (decimals > 0) {
    digits[length++] = '.';
    std::memcpy(digits + length, text.data() + fractionFrom, fraction);
    length += fraction;
    std::memset(digits + length, '0', decimals - fraction);
    length += decimals - fraction;
  }
  return rightAligned(digits, length, def.length, out);
}

bool plainDate(std::string_view text, const text::Regional& regional, const FieldDef& def, char* out) {
  text::Date d;
  if (def.length < 8 || !text::tryParseDate(text, regional, d) || !d.valid()) return false;
  // YYYYMMDD, the year of a valid date has four digits.
  const int parts[3] = {d.year, d.month, d.day};
  char digits[8];
  digits[0] = static_cast<char>('0' + parts[0] / 1000);
  digits[1] = static_cast<char>('0' + parts[0] / 100 % 10);
  digits[2] = static_cast<char>('0' + parts[0] / 10 % 10);
  digits[3] = static_cast<char>('0' + parts[0] % 10);
  for (int p = 1; p < 3; ++p) {
    digits[2 + 2 * p] = static_cast<char>('0' + parts[p] / 10);
    digits[3 + 2 * p] = static_cast<char>('0' + parts[p] % 10);
  }
  std::memcpy(out, digits, 8);
  std::memset(out + 8, ' ', static_cast<std::size_t>(def.length) - 8);
  return true;
}

// The short ways of a text, straight into `out`; false, with nothing
// written, when the text goes the general way. None refuses.
bool shortText(const FieldDef& def, std::string_view text, const text::Regional& regional, char* out) {
  if (def.type == FieldType::Character) {
    putText(text, def.length, out);
    return true;
  }
  const std::string_view trimmed = trimmedText(text);
  if (trimmed.empty()) return false;
  if (isNumberType(def.type)) return plainNumber(trimmed, regional.decimalSeparator, def, out);
  if (def.type == FieldType::Date) return plainDate(trimmed, regional, def, out);
  return false;
}

// A text value into `field`, blank so far; false when the field refuses it.
bool putTextValue(const FieldDef& def, std::string_view text, const text::Regional& regional,
                  EmptyText emptyText, Ways ways, char* field) {
  if (def.type == FieldType::Character) {
    putText(text, def.length, field);
    return true;
  }
  const std::string_view trimmed = trimmedText(text);
  if (trimmed.empty()) return emptyText == EmptyText::Clears;
  if (isNumberType(def.type)) {
    double v = 0;
    return text::tryParseFloat(trimmed, regional, v) && putNumber(v, def.length, def.decimals, ways, field);
  }
  if (def.type == FieldType::Date) {
    text::Date d;
    return text::tryParseDate(trimmed, regional, d) && d.valid() && putDate(d, def.length, field);
  }
  if (def.type == FieldType::Timestamp) {
    Timestamp t;
    return parseTimestamp(trimmed, regional, t) && putTimestamp(t.date, t.millisecond, field);
  }
  if (isBinaryType(def.type)) {
    double v = 0;
    return text::tryParseFloat(trimmed, regional, v) && putBinaryNumber(def, v, field);
  }
  const int b = logicalOfText(trimmed);
  if (b < 0) return false;
  field[0] = b == 1 ? 'T' : 'F';
  return true;
}

// Any value into `field`, blank so far; false when the field refuses it.
bool putValue(const FieldDef& def, const Value& value, const text::Regional& regional, EmptyText emptyText,
              Ways ways, char* field) {
  if (std::holds_alternative<std::monostate>(value)) return true;  // blank is empty for every type
  if (auto* s = std::get_if<std::string>(&value)) return putTextValue(def, *s, regional, emptyText, ways, field);
  if (def.type == FieldType::Character) {
    if (auto* d = std::get_if<double>(&value)) {
      putText(text::formatNumber(*d, regional), def.length, field);
    } else if (auto* date = std::get_if<text::Date>(&value)) {
      if (*date != text::Date{}) {
        if (!date->valid()) return false;
        putText(text::formatDate(*date, regional), def.length, field);
      }
    } else if (auto* b = std::get_if<bool>(&value)) {
      putText(*b ? "T" : "F", def.length, field);
    }
    return true;
  }
  if (isBinaryType(def.type)) {
    if (auto* d = std::get_if<double>(&value)) return putBinaryNumber(def, *d, field);
    if (auto* date = std::get_if<text::Date>(&value)) {
      if (*date == text::Date{}) return true;
      return def.type == FieldType::Timestamp && putTimestamp(*date, 0, field);
    }
    return false;
  }
  if (auto* d = std::get_if<double>(&value)) {
    if (isNumberType(def.type)) return putNumber(*d, def.length, def.decimals, ways, field);
    if (def.type != FieldType::Logical || std::isnan(*d)) return false;
    field[0] = *d != 0 ? 'T' : 'F';
    return true;
  }
  if (auto* date = std::get_if<text::Date>(&value)) {
    return def.type == FieldType::Date && putDate(*date, def.length, field);
  }
  if (auto* b = std::get_if<bool>(&value)) {
    if (def.type != FieldType::Logical) return false;
    field[0] = *b ? 'T' : 'F';
  }
  return true;
}

// Encoded aside first, so that a refused value leaves the record as it was.
template <class Put>
void encodeAside(const FieldDef& def, char* out, Put put) {
  char small[256];
  std::string large;
  char* field = small;
  if (def.length > static_cast<int>(sizeof small)) {
    large.resize(static_cast<std::size_t>(def.length));
    field = large.data();
  }
  fillEmpty(def, field);
  if (!put(field)) throw mincar::Error(invalidValueMessage(def));
  std::memcpy(out, field, static_cast<std::size_t>(def.length));
}

}  // namespace

bool isBinaryType(FieldType type) {
  return type == FieldType::Integer || type == FieldType::AutoIncrement || type == FieldType::Double ||
         type == FieldType::Timestamp;
}

void fillEmpty(const FieldDef& def, char* out) {
  if (isBinaryType(def.type)) {
    std::memset(out, 0, static_cast<std::size_t>(def.length));
  } else {
    fillBlanks(out, def.length);
  }
}

std::string emptyRecord(const std::vector<FieldDef>& fields, const std::vector<int>& offsets, int recordLength) {
  std::string record(static_cast<std::size_t>(recordLength), ' ');
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (isBinaryType(fields[i].type)) fillEmpty(fields[i], record.data() + 1 + offsets[i]);
  }
  return record;
}

bool decodeInteger(const char* bytes, std::int64_t& out) {
  if (allZero(bytes, 4)) return false;
  const auto stored = static_cast<std::uint32_t>(bigEndian(bytes, 4));
  out = static_cast<std::int64_t>(static_cast<std::int32_t>(stored ^ 0x80000000U));
  return true;
}

void encodeInteger(std::int32_t value, char* out) {
  putBigEndian(static_cast<std::uint32_t>(value) ^ 0x80000000U, 4, out);
}

bool encodeNumber(double value, int length, int decimals, char* out) {
  return putNumber(value, length, decimals, Ways::WithShort, out);
}

std::string invalidValueMessage(const FieldDef& def) {
  return mincar::fill(messages::kInvalidValue, {def.name});
}

void encodeText(const FieldDef& def, std::string_view text, const text::Regional& regional, EmptyText emptyText,
                char* out) {
  if (shortText(def, text, regional, out)) return;
  encodeAside(def, out, [&](char* field) {
    return putTextValue(def, text, regional, emptyText, Ways::WithShort, field);
  });
}

void encode(const FieldDef& def, const Value& value, const text::Regional& regional, EmptyText emptyText,
            char* out) {
  if (auto* s = std::get_if<std::string>(&value)) {
    encodeText(def, *s, regional, emptyText, out);
    return;
  }
  if (auto* d = std::get_if<double>(&value); d != nullptr && isNumberType(def.type)) {
    // A refused number writes nothing, so it needs no aside.
    if (!encodeNumber(*d, def.length, def.decimals, out)) throw mincar::Error(invalidValueMessage(def));
    return;
  }
  encodeAside(def, out, [&](char* field) {
    return putValue(def, value, regional, emptyText, Ways::WithShort, field);
  });
}

void testing::encodeGenerally(const FieldDef& def, const Value& value, const text::Regional& regional,
                              EmptyText emptyText, char* out) {
  encodeAside(def, out, [&](char* field) {
    return putValue(def, value, regional, emptyText, Ways::GeneralOnly, field);
  });
}

}  // namespace ledger::codec
