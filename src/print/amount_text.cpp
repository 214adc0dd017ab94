#include "print/amount_text.h"

#include <cmath>
#include <cstdlib>

namespace print {

namespace {

// The digits of a non-negative whole number with a separator between groups
// of three.
std::string groupedDigits(std::uint64_t whole, std::string_view groupSeparator) {
  const std::string digits = std::to_string(whole);
  std::string text;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) text += groupSeparator;
    text += digits[i];
  }
  return text;
}

std::uint64_t magnitude(Hundredths amount) {
  // Also for the most negative value, whose negation overflows.
  return amount < 0 ? static_cast<std::uint64_t>(-(amount + 1)) + 1 : static_cast<std::uint64_t>(amount);
}

}  // namespace

Hundredths ToHundredths(double amount) {
  if (!std::isfinite(amount)) return 0;
  return static_cast<Hundredths>(std::llround(amount * 100.0));
}

std::string AmountText(Hundredths amount, char decimalSeparator, std::string_view groupSeparator) {
  const std::uint64_t all = magnitude(amount);
  std::string text = amount < 0 ? "-" : "";
  text += groupedDigits(all / 100, groupSeparator);
  text += decimalSeparator;
  const unsigned cents = static_cast<unsigned>(all % 100);
  text += static_cast<char>('0' + cents / 10);
  text += static_cast<char>('0' + cents % 10);
  return text;
}

std::string WholeAmountText(Hundredths amount, std::string_view groupSeparator) {
  const std::uint64_t whole = magnitude(amount) / 100;
  return (amount < 0 && whole > 0 ? "-" : "") + groupedDigits(whole, groupSeparator);
}

}  // namespace print
