#include "backup/record_text.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <string_view>
#include <variant>

#include "text/regional.h"

namespace backup {

void ReplaceChar(std::string& text, const char pair[2]) {
  for (char& c : text) {
    if (c == '\0') break;
    if (c == pair[0]) c = pair[1];
  }
}

std::string RecordToText(const ledger::Dataset& table) {
  std::string line;
  AppendRecordText(table, line);
  return line;
}

namespace {

// ReplaceChar's walk over one value's text, from `start` to the end of the
// line or a zero byte. A line break that an older version stored in a row
// becomes a blank, so that every backup restores.
void replaceSeparators(std::string& line, std::size_t start) {
  for (std::size_t at = start; at < line.size(); ++at) {
    const char c = line[at];
    if (c == '\0') break;
    if (c == ';') line[at] = ':';
    else if (c == '\r' || c == '\n') line[at] = ' ';
  }
}

bool holds(std::string_view text, char c) { return text.find(c) != std::string_view::npos; }

constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8};
// Below this a whole number has at most 15 digits, all of which the
// general form shows.
constexpr double kFifteenDigits = 1e15;
// The general form writes smaller numbers with an exponent.
constexpr double kSmallestPlain = 1e-4;

void appendDigits(std::string& line, std::uint64_t value) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  line.append(digits, end);
}

}  // namespace

// formatNumber's text, the short way for the numbers a column's decimals
// give: a whole number of up to 15 digits is its digits, and a number that
// is exactly the double nearest to n / 10^k with n of up to 15 digits has
// exactly those digits as its 15 significant ones (the double is within a
// sixteenth of a unit in the fifteenth digit of n / 10^k), so it is n with
// the separator k places from the right, trailing zeros dropped. Any
// other number goes to formatNumber. The tests hold both against each
// other.

void AppendNumberText(std::string& line, double value, int decimals, const text::Regional& regional) {
  const double magnitude = std::fabs(value);
  if (!(magnitude < kFifteenDigits)) {
    line += text::formatNumber(value, regional);
    return;
  }
  if (value == std::trunc(value)) {
    if (value == 0) {
      line += '0';  // also -0
      return;
    }
    if (value < 0) line += '-';
    appendDigits(line, static_cast<std::uint64_t>(magnitude));
    return;
  }
  // Below 10^-4 the general form is the exponent form: no short way there.
  if (decimals >= 1 && decimals <= 8 && magnitude >= kSmallestPlain) {
    const double scale = kPowersOfTen[decimals];
    const double scaled = std::round(magnitude * scale);
    if (scaled < kFifteenDigits && scaled / scale == magnitude) {
      const std::uint64_t n = static_cast<std::uint64_t>(scaled);
      const std::uint64_t unit = static_cast<std::uint64_t>(scale);
      std::uint64_t fraction = n % unit;
      int places = decimals;
      while (fraction % 10 == 0) {  // never 0 here: the value is not whole
        fraction /= 10;
        --places;
      }
      if (value < 0) line += '-';
      appendDigits(line, n / unit);
      line += regional.decimalSeparator;
      char digits[24];
      const auto end = std::to_chars(digits, digits + sizeof digits, fraction).ptr;
      line.append(static_cast<std::size_t>(places - (end - digits)), '0');
      line.append(digits, end);
      return;
    }
  }
  line += text::formatNumber(value, regional);
}

std::string RecordToText(ledger::Dataset& table, std::int64_t record) {
  std::string line;
  for (int i = 0; i < table.fieldCount(); ++i) {
    const std::size_t start = line.size();
    line += table.recordText(record, i);
    replaceSeparators(line, start);
    if (line.size() == start) line += ' ';
    line += ';';
  }
  return line;
}

void AppendRecordText(const ledger::Dataset& table, std::string& line) {
  const text::Regional& regional = table.regional();
  // Numbers and dates hold a ";" only under settings that put one there.
  const bool numbersHoldSeparator = regional.decimalSeparator == ';';
  const bool datesHoldSeparator = holds(regional.shortDateFormat, ';');
  for (int i = 0; i < table.fieldCount(); ++i) {
    const ledger::Field& f = table.field(i);
    const std::size_t start = line.size();
    // Each type read the cheapest way that gives asString()'s text: a
    // number is decoded once for isNull() and asFloat() together, an empty
    // date reads as no date, an empty text as "".
    switch (f.type()) {
      case ledger::FieldType::Numeric:
      case ledger::FieldType::Float:
        if (f.isNull()) break;
        AppendNumberText(line, f.asFloat(), f.decimals(), regional);
        if (numbersHoldSeparator) replaceSeparators(line, start);
        break;
      case ledger::FieldType::Date: {
        const text::Date date = f.asDate();
        if (date == text::Date{}) break;
        line += text::formatDate(date, regional);
        if (datesHoldSeparator) replaceSeparators(line, start);
        break;
      }
      case ledger::FieldType::Character:
      case ledger::FieldType::Logical:
      case ledger::FieldType::Integer:
      case ledger::FieldType::AutoIncrement:
      case ledger::FieldType::Double:
      case ledger::FieldType::Timestamp:
        line += f.asString();
        replaceSeparators(line, start);
        break;
    }
    // An empty column: the one blank of the format.
    if (line.size() == start) line += ' ';
    line += ';';
  }
}

}  // namespace backup
