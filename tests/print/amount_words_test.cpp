#include "print/amount_words.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <set>
#include <string>

#include "text/cp1250.h"

namespace {

std::string words(double amount) { return text::toUtf8(print::AmountInWords(amount)); }

struct WordsCase {
  double amount;
  const char* expected;  // UTF-8
};

TEST(AmountInWords, SpellsEveryWorkedExample) {
  const WordsCase cases[] = {
      {0, ""},
      {1, "jedna"},
      {2, "dvě"},
      {10, "deset"},
      {17, "sednáct"},
      {21, "dvacetjedna"},
      {99, "devadesátdevět"},
      {101, "stojedna"},
      {117, "stosednáct"},
      {200, "dvěstě"},
      {1000, "jedentisíc"},
      {1002, "jedentisícdvě"},
      {2500, "dvatisícepětset"},
      {4999, "čtyřitisícedevětsetdevadesátdevět"},
      {5000, "pěttisíc"},
      {10000, "desettisíc"},
      {17017, "sednácttisícsednáct"},
      {21000, "dvacetjedentisíc"},
      {22222, "dvacetdvatisícedvěstědvacetdvě"},
      {100000, "stotisíc"},
      {101000, "stojedentisíc"},
      {110011, "stodesettisícjedenáct"},
      {234567, "dvěstětřicetčtyřitisícepětsetšedesátsedm"},
      {999999, "devětsetdevadesátdevěttisícdevětsetdevadesátdevět"},
      {1234.99, "jedentisícdvěstětřicetčtyři"},
      {-45, "čtyřicetpět"},
  };
  for (const WordsCase& c : cases) EXPECT_EQ(words(c.amount), c.expected) << c.amount;
}

TEST(AmountInWords, FollowsTheRulesOfTeensTensAndThousands) {
  const WordsCase cases[] = {
      // Teens never take a units word.
      {11, "jedenáct"}, {12, "dvanáct"}, {13, "třináct"}, {14, "čtrnáct"}, {15, "patnáct"},
      {16, "šestnáct"}, {18, "osmnáct"}, {19, "devatenáct"},
      {3, "tři"}, {4, "čtyři"}, {5, "pět"}, {6, "šest"}, {7, "sedm"}, {8, "osm"}, {9, "devět"},
      {20, "dvacet"}, {30, "třicet"}, {40, "čtyřicet"}, {50, "padesát"}, {60, "šedesát"},
      {70, "sedmdesát"}, {80, "osmdesát"}, {90, "devadesát"},
      {300, "třista"}, {400, "čtyřista"}, {500, "pětset"}, {600, "šestset"}, {700, "sedmset"},
      {800, "osmset"}, {900, "devětset"},
      {110, "stodeset"}, {1010, "jedentisícdeset"}, {1100, "jedentisícsto"},
      {3000, "třitisíce"}, {4000, "čtyřitisíce"}, {6000, "šesttisíc"}, {7000, "sedmtisíc"},
      {8000, "osmtisíc"}, {9000, "devěttisíc"},
      {11000, "jedenácttisíc"}, {17000, "sednácttisíc"},
      // A thousands digit 0 still says "tisíc" behind the higher digits.
      {20000, "dvacettisíc"}, {300000, "třistatisíc"}, {105000, "stopěttisíc"},
      {22000, "dvacetdvatisíce"},
      // Cut, not rounded.
      {99.9, "devadesátdevět"}, {0.99, ""}, {-0.99, ""}, {1.999999, "jedna"},
      {-1234.99, "jedentisícdvěstětřicetčtyři"}, {-1000, "jedentisíc"}, {-999999,
       "devětsetdevadesátdevěttisícdevětsetdevadesátdevět"},
      {-0.0, ""},
  };
  for (const WordsCase& c : cases) EXPECT_EQ(words(c.amount), c.expected) << c.amount;
}

TEST(AmountInWords, SpellsMillionsAndMilliardsLikeTheThousands) {
  const WordsCase cases[] = {
      {1000000, "jedenmilion"},
      {2000000, "dvamiliony"},
      {3000000, "třimiliony"},
      {4000000, "čtyřimiliony"},
      {5000000, "pětmilionů"},
      {6000000, "šestmilionů"},
      {7000000, "sedmmilionů"},
      {8000000, "osmmilionů"},
      {9000000, "devětmilionů"},
      {1000001, "jedenmilionjedna"},
      {1001000, "jedenmilionjedentisíc"},
      {1234567, "jedenmiliondvěstětřicetčtyřitisícepětsetšedesátsedm"},
      {10000000, "desetmilionů"},
      {17000000, "sednáctmilionů"},
      {20000000, "dvacetmilionů"},
      {21000000, "dvacetjedenmilion"},
      {25000000, "dvacetpětmilionů"},
      {100000000, "stomilionů"},
      {999999999, "devětsetdevadesátdevětmilionůdevětsetdevadesátdevěttisícdevětsetdevadesátdevět"},
      {1000000000, "jednamiliarda"},
      {2000000000, "dvěmiliardy"},
      {5000000000, "pětmiliard"},
      {2147483647,
       "dvěmiliardystočtyřicetsedmmilionůčtyřistaosmdesáttřitisícešestsetčtyřicetsedm"},
      {-2147483648.0,
       "dvěmiliardystočtyřicetsedmmilionůčtyřistaosmdesáttřitisícešestsetčtyřicetosm"},
      {12000000000, "dvanáctmiliard"},
      {1000000000001, ""},
      {999999999999.99,
       "devětsetdevadesátdevětmiliarddevětsetdevadesátdevětmilionů"
       "devětsetdevadesátdevěttisícdevětsetdevadesátdevět"},
      {-5000000.5, "pětmilionů"},
  };
  for (const WordsCase& c : cases) EXPECT_EQ(words(c.amount), c.expected) << c.amount;
}

TEST(AmountInWords, GivesTheEmptyTextBeyondTheSpelledRange) {
  const double beyond[] = {
      1e12, -1e12, 1e15, 4294967296.0 * 1000, 1e300, -1e300,
      std::numeric_limits<double>::max(), std::numeric_limits<double>::lowest(),
      std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
      std::numeric_limits<double>::quiet_NaN(), -std::numeric_limits<double>::quiet_NaN(),
      std::numeric_limits<double>::signaling_NaN(),
      std::numeric_limits<double>::denorm_min(), std::numeric_limits<double>::min(),
  };
  for (double amount : beyond) EXPECT_EQ(words(amount), "") << amount;
}

// Every text is made of the program's words alone, whatever bits the
// double holds: no digits, signs or other bytes can leak into a page.
TEST(AmountInWords, GivesOnlyWordLettersForAnyDouble) {
  const std::string letters = text::toCp1250("abcdefghijklmnopqrstuvwxyzáéíúůýčďěňřšťž");
  const std::set<char> allowed(letters.begin(), letters.end());
  std::mt19937_64 random(20261207);
  for (int i = 0; i < 200000; ++i) {
    double amount;
    if (i % 2 == 0) {
      const std::uint64_t bits = random();
      std::memcpy(&amount, &bits, sizeof amount);
    } else {
      amount = std::uniform_real_distribution<double>(-2e12, 2e12)(random);
    }
    const std::string spelled = print::AmountInWords(amount);
    for (char c : spelled) {
      ASSERT_TRUE(allowed.count(c)) << "amount " << amount << " gives " << text::toUtf8(spelled);
    }
    if (std::isfinite(amount)) {
      ASSERT_EQ(spelled, print::AmountInWords(-amount)) << amount;
      ASSERT_EQ(spelled, print::AmountInWords(std::trunc(amount))) << amount;
    }
  }
}

}  // namespace
