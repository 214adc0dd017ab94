#include "print/amount_words.h"

#include <array>
#include <cmath>
#include <string_view>

#include "text/cp1250.h"

namespace print {

namespace {

using WordList = std::array<std::string, 10>;

// The words are written here in UTF-8 and held in Windows-1250, like all
// text of the program. Every word is used as listed: "sednáct" for 17 and
// "dvěstě" as one word are the program's own forms.
WordList cp1250(std::array<std::string_view, 10> utf8) {
  WordList words;
  for (size_t i = 0; i < utf8.size(); ++i) words[i] = text::toCp1250(utf8[i]);
  return words;
}

struct Words {
  // By digit; index 0 of the units is no word (a units digit 0 says nothing).
  WordList units = cp1250({"", "jedna", "dvě", "tři", "čtyři", "pět", "šest", "sedm", "osm", "devět"});
  // By the units digit of 10 to 19.
  WordList teens = cp1250({"deset", "jedenáct", "dvanáct", "třináct", "čtrnáct", "patnáct",
                           "šestnáct", "sednáct", "osmnáct", "devatenáct"});
  // By the tens digit; 0 and 1 have none.
  WordList tens = cp1250({"", "", "dvacet", "třicet", "čtyřicet", "padesát", "šedesát", "sedmdesát",
                          "osmdesát", "devadesát"});
  WordList hundreds = cp1250({"", "sto", "dvěstě", "třista", "čtyřista", "pětset", "šestset",
                              "sedmset", "osmset", "devětset"});
  // The higher groups carry their count inside the word, by the group's
  // units digit; digit 0 gives the form that follows tens and hundreds.
  WordList thousands = cp1250({"tisíc", "jedentisíc", "dvatisíce", "třitisíce", "čtyřitisíce",
                               "pěttisíc", "šesttisíc", "sedmtisíc", "osmtisíc", "devěttisíc"});
  // As the thousands: "dvacet milionů", not "dvacet milion", so digit 0
  // takes the same case as "tisíc" does.
  WordList millions = cp1250({"milionů", "jedenmilion", "dvamiliony", "třimiliony", "čtyřimiliony",
                              "pětmilionů", "šestmilionů", "sedmmilionů", "osmmilionů",
                              "devětmilionů"});
  WordList milliards = cp1250({"miliard", "jednamiliarda", "dvěmiliardy", "třimiliardy",
                               "čtyřimiliardy", "pětmiliard", "šestmiliard", "sedmmiliard",
                               "osmmiliard", "devětmiliard"});
};

const Words& words() {
  static const Words lists;
  return lists;
}

// The digit text D, read from the right: position 1 is the units. A
// position in front of D is absent, and the minus sign is no digit; both
// give -1.
class DigitText {
 public:
  explicit DigitText(long long n) : text_(std::to_string(n)) {}
  int at(size_t position) const {
    if (position == 0 || position > text_.size()) return -1;
    const char c = text_[text_.size() - position];
    return c >= '0' && c <= '9' ? c - '0' : -1;
  }

 private:
  std::string text_;
};

// One group of three digits whose units digit stands at position base + 1.
// For the lowest group (no count word) a units digit 0 says nothing; for a
// higher group the count word stands for units digit 0 as well.
std::string spellGroup(const DigitText& d, size_t base, const WordList& countWords,
                       const std::string& teensSuffix) {
  const Words& w = words();
  const int units = d.at(base + 1);
  const int tens = d.at(base + 2);
  const int hundreds = d.at(base + 3);

  std::string part;
  if (units >= 0) part = countWords[static_cast<size_t>(units)];
  if (tens == 1) {
    // 10 to 19: the teens word alone, never a units word after "deset".
    part = w.teens[static_cast<size_t>(units)] + teensSuffix;
  } else if (tens >= 2) {
    part = w.tens[static_cast<size_t>(tens)] + part;
  }
  if (hundreds >= 1) part = w.hundreds[static_cast<size_t>(hundreds)] + part;
  return part;
}

bool groupIsZero(const DigitText& d, size_t base) {
  for (size_t p = base + 1; p <= base + 3; ++p) {
    if (d.at(p) > 0) return false;
  }
  return true;
}

}  // namespace

std::string AmountInWords(double amount) {
  if (!std::isfinite(amount)) return {};
  // 1. Toward zero: the decimal part is dropped, not rounded.
  const double whole = std::trunc(amount);
  if (std::fabs(whole) > kLargestSpelledAmount) return {};
  // 2. The "%d" text of the number; a minus sign selects no word.
  const DigitText d(static_cast<long long>(whole));
  const Words& w = words();

  // 3. The last three digits.
  std::string result = spellGroup(d, 0, w.units, "");
  // 4. The thousands and the groups above them, each only when it is not
  //    all zeros: below a million the thousands group is present exactly
  //    when the amount has four digits or more, and then it is not zero.
  //    Teens take the digit-0 form: desettisíc, jedenáctmilionů.
  if (!groupIsZero(d, 3)) result = spellGroup(d, 3, w.thousands, w.thousands[0]) + result;
  if (!groupIsZero(d, 6)) result = spellGroup(d, 6, w.millions, w.millions[0]) + result;
  if (!groupIsZero(d, 9)) result = spellGroup(d, 9, w.milliards, w.milliards[0]) + result;
  // 5. H followed by L.
  return result;
}

}  // namespace print
