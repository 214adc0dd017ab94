// Arbitrary text through the number and date parsers under Czech settings
// and under '.' with M/d/yyyy; every number that parses must come back from
// its general text as the same number.
#include <cmath>
#include <cstring>

#include "fuzz_support.h"
#include "text/error.h"
#include "text/regional.h"

namespace {

void check(std::string_view input, const text::Regional& regional) {
  double number = 0;
  if (text::tryParseFloat(input, regional, number)) {
    if (text::parseFloat(input, regional) != number && !std::isnan(number)) __builtin_trap();
    if (std::isfinite(number)) {
      // The general text keeps 15 significant digits: what it shows parses
      // back, and formatting that again gives the same text.
      const std::string shown = text::formatNumber(number, regional);
      const double again = text::parseFloat(shown, regional);
      if (text::formatNumber(again, regional) != shown) __builtin_trap();
    }
  } else {
    try {
      text::parseFloat(input, regional);
      __builtin_trap();  // tryParseFloat refused what parseFloat takes
    } catch (const mincar::Error&) {
    }
  }
  try {
    text::parseInteger(input);
  } catch (const mincar::Error&) {
  }
  text::Date date;
  if (text::tryParseDate(input, regional, date)) {
    if (!date.valid()) __builtin_trap();
    if (text::parseDate(text::formatDate(date, regional), regional) != date) __builtin_trap();
  } else {
    try {
      text::parseDate(input, regional);
      __builtin_trap();
    } catch (const mincar::Error&) {
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input = fuzzing::bytesOf(data, size);
  static const text::Regional czech = text::Regional::czech();
  static const text::Regional us = text::Regional::fromPosixFormats("%m/%d/%Y", ".");
  check(input, czech);
  check(input, us);
  // Any double the input spells as its eight bytes formats and parses back.
  if (size >= 8) {
    double value;
    std::memcpy(&value, data, sizeof value);
    if (std::isfinite(value)) {
      for (const text::Regional* regional : {&czech, &us}) {
        const std::string shown = text::formatNumber(value, *regional);
        const double back = text::parseFloat(shown, *regional);
        if (text::formatNumber(back, *regional) != shown) __builtin_trap();
      }
    }
  }
  return 0;
}
