#include "backup/field_text.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "ledger/field_codec.h"
#include "text/date.h"

namespace backup {

namespace {

using ledger::FieldType;

// A decimal number of up to 15 significant digits is the double nearest to
// it and back again; the engine writes numbers with the column's decimals
// from the double, so a text of at most this many digits, counted at the
// column's decimals, comes out as its own digits.
constexpr std::size_t kExactDigits = 15;

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isNumber(FieldType type) { return type == FieldType::Numeric || type == FieldType::Float; }

// As the engine trims a text that a number or date column parses.
std::string_view withoutBlanks(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

void viaEngine(const ledger::FieldDef& def, const ledger::Value& value, const text::Regional& regional, char* out) {
  ledger::codec::encode(def, value, regional, ledger::codec::EmptyText::Refused, out);
}

bool rightAligned(const char* text, std::size_t length, int width, char* out) {
  if (length > static_cast<std::size_t>(width)) return false;
  const std::size_t pad = static_cast<std::size_t>(width) - length;
  std::memset(out, ' ', pad);
  std::memcpy(out + pad, text, length);
  return true;
}

// "[+|-]digits[<separator>digits]" with no more decimals than the column's:
// the column's text is those digits with the column's decimals, as the
// engine writes the parsed number.
bool plainNumber(std::string_view text, char separator, const ledger::FieldDef& def, char* out) {
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

bool plainDate(std::string_view text, const text::Regional& regional, const ledger::FieldDef& def, char* out) {
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

}  // namespace

void assignText(const ledger::FieldDef& def, std::string_view text, const text::Regional& regional, char* out) {
  if (def.type == FieldType::Character) {
    // Cut to the column, blank padded.
    const std::size_t width = static_cast<std::size_t>(def.length);
    const std::size_t n = text.size() < width ? text.size() : width;
    if (n > 0) std::memcpy(out, text.data(), n);  // an empty view may hold no pointer
    std::memset(out + n, ' ', width - n);
    return;
  }
  const std::string_view trimmed = withoutBlanks(text);
  if (!trimmed.empty()) {
    if (isNumber(def.type) && plainNumber(trimmed, regional.decimalSeparator, def, out)) return;
    if (def.type == FieldType::Date && plainDate(trimmed, regional, def, out)) return;
  }
  viaEngine(def, ledger::Value{std::string(text)}, regional, out);
}

void assignNumber(const ledger::FieldDef& def, double value, const text::Regional& regional, char* out) {
  // A whole number below 10^15 is exact: its digits, then the decimals as
  // zeros, as a fixed-point text of the double has them.
  const std::size_t decimals = static_cast<std::size_t>(def.decimals);
  if (isNumber(def.type) && def.decimals >= 0 && decimals <= kExactDigits && std::fabs(value) < 1e15 &&
      value == std::trunc(value)) {
    char digits[2 * kExactDigits + 4];
    std::size_t length = 0;
    if (value < 0) digits[length++] = '-';
    const auto end = std::to_chars(digits + length, digits + sizeof digits,
                                   static_cast<std::uint64_t>(std::fabs(value)))
                         .ptr;
    length = static_cast<std::size_t>(end - digits);
    if (decimals > 0) {
      digits[length++] = '.';
      std::memset(digits + length, '0', decimals);
      length += decimals;
    }
    if (rightAligned(digits, length, def.length, out)) return;
  }
  viaEngine(def, ledger::Value{value}, regional, out);
}

}  // namespace backup
