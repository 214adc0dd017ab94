#pragma once
#include <string>

namespace print {

// The largest whole amount that is spelled: the largest the journal's
// amount columns hold.
inline constexpr double kLargestSpelledAmount = 999999999999.0;

// The whole part of an amount in Czech words, written together without
// blanks ("dvatisícepětset" for 2 500), in Windows-1250. The decimal part is
// cut off, not rounded; a negative amount gives the words of its absolute
// value; below one crown the text is empty. Millions and milliards are
// spelled like the thousands ("jedenmilion", "pětmilionů",
// "dvěmiliardy"). Beyond kLargestSpelledAmount, and for NaN and the
// infinities, the text is empty, as for an amount under one crown.
std::string AmountInWords(double amount);

}  // namespace print
