#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace print {

// Money in hundredths of a crown: sums of any number of rows stay exact,
// where doubles would drift in the last digit.
using Hundredths = std::int64_t;

// An amount as the journal stores it (a column of two decimals) in
// hundredths, rounded to the nearest one; an empty amount reads as 0.
Hundredths ToHundredths(double amount);

// As Czech readers write money: "-1 234,50", the group separator between
// every three digits of the whole part, always two decimals.
std::string AmountText(Hundredths amount, char decimalSeparator, std::string_view groupSeparator);

// The whole crowns alone ("12 000"), for chart axes.
std::string WholeAmountText(Hundredths amount, std::string_view groupSeparator);

}  // namespace print
