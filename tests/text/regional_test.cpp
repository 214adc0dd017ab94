#include "text/regional.h"

#include <gtest/gtest.h>
#include <locale.h>
#include <sys/wait.h>
#include <unistd.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "test_support.h"
#include "text/error.h"

namespace {

using testing_support::errorOf;
using text::Date;
using text::Regional;

Regional dotRegional() { return Regional{"M/d/yyyy", '.'}; }

bool localeInstalled(const char* name) {
  locale_t loc = newlocale(LC_ALL_MASK, name, static_cast<locale_t>(0));
  if (loc == static_cast<locale_t>(0)) return false;
  freelocale(loc);
  return true;
}

std::string describe(const Regional& r) {
  return r.shortDateFormat + " '" + std::string(1, r.decimalSeparator) + "'";
}

// Runs fn in a child process whose locale variables are exactly the given
// ones, and returns the text it produced: the environment of the test
// process itself stays as CTest set it.
std::string inChildWithEnvironment(const std::vector<std::pair<const char*, const char*>>& env,
                                   const std::function<std::string()>& fn) {
  int fds[2];
  if (pipe(fds) != 0) return "(pipe failed)";
  const pid_t pid = fork();
  if (pid < 0) return "(fork failed)";
  if (pid == 0) {
    close(fds[0]);
    for (const char* name : {"LC_ALL", "LC_TIME", "LC_NUMERIC", "LANG"}) unsetenv(name);
    for (const auto& [name, value] : env) setenv(name, value, 1);
    const std::string result = fn();
    ssize_t written = write(fds[1], result.data(), result.size());
    _exit(written == static_cast<ssize_t>(result.size()) ? 0 : 1);
  }
  close(fds[1]);
  std::string out;
  char buf[256];
  ssize_t n;
  while ((n = read(fds[0], buf, sizeof buf)) > 0) out.append(buf, static_cast<size_t>(n));
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return "(child failed)";
  return out;
}

struct NumberCase {
  double value;
  const char* text;
};

TEST(FormatNumber, GeneralFormUnderCzechSettings) {
  const NumberCase cases[] = {
      {0.0, "0"},
      {-0.0, "0"},
      {1234.5, "1234,5"},
      {12, "12"},
      {-350.5, "-350,5"},
      {0.1, "0,1"},
      {0.1 + 0.2, "0,3"},
      {1.0 / 3, "0,333333333333333"},
      {2.0 / 3, "0,666666666666667"},
      {100, "100"},
      {1e14, "100000000000000"},
      {999999999999999.0, "999999999999999"},
      {-999999999999999.0, "-999999999999999"},
      {123456789.123456789, "123456789,123457"},
      {0.0001, "0,0001"},
      {0.00012345, "0,00012345"},
      {-0.0001, "-0,0001"},
      {1e15, "1E15"},
      {1e20, "1E20"},
      {-1e20, "-1E20"},
      {999999999999999.9, "1E15"},  // rounds up into the exponent form
      {123456789012345678.0, "1,23456789012346E17"},
      {1e-5, "1E-5"},
      {1.5e-7, "1,5E-7"},
      {-2.5e-9, "-2,5E-9"},
      {0.00009999999999999999, "0,0001"},  // rounds up out of the exponent form
      {0.000099999, "9,9999E-5"},
      {1e-300, "1E-300"},
      {std::numeric_limits<double>::max(), "1,79769313486232E308"},
      {std::numeric_limits<double>::denorm_min(), "4,94065645841247E-324"},
      {1e100, "1E100"},
      {12345678901234.5, "12345678901234,5"},
      {0.5, "0,5"},
      {7.25, "7,25"},
  };
  for (const NumberCase& c : cases)
    EXPECT_EQ(text::formatNumber(c.value, Regional::czech()), c.text) << c.text;
}

TEST(FormatNumber, UsesTheRegionalSeparator) {
  const NumberCase cases[] = {
      {1234.5, "1234.5"}, {1.5e-7, "1.5E-7"}, {0.0001, "0.0001"}, {12, "12"}, {-0.25, "-0.25"},
  };
  for (const NumberCase& c : cases)
    EXPECT_EQ(text::formatNumber(c.value, dotRegional()), c.text) << c.text;
}

TEST(FormatNumber, NotANumberAndInfinities) {
  EXPECT_EQ(text::formatNumber(std::numeric_limits<double>::quiet_NaN(), Regional::czech()), "NAN");
  EXPECT_EQ(text::formatNumber(std::numeric_limits<double>::infinity(), Regional::czech()), "INF");
  EXPECT_EQ(text::formatNumber(-std::numeric_limits<double>::infinity(), Regional::czech()),
            "-INF");
}

TEST(ParseFloat, AcceptsTheNumbersUsersType) {
  const NumberCase cases[] = {
      {1234.5, "1234,5"}, {12, "12"},       {12, "  12  "},     {1.5, "+1,5"},
      {-0.5, "-0,5"},     {0.5, ",5"},      {5, "5,"},          {7, "007"},
      {1e20, "1E20"},     {1.5e-7, "1,5e-7"}, {1000, "1E+3"},   {-2.5e-9, "-2,5E-9"},
      {0, "0"},           {0, "-0"},        {0.1, "0,1"},       {999999999999999, "999999999999999"},
      {1e-5, " 1E-5"},
  };
  for (const NumberCase& c : cases) {
    EXPECT_EQ(text::parseFloat(c.text, Regional::czech()), c.value) << c.text;
    double out = -1;
    EXPECT_TRUE(text::tryParseFloat(c.text, Regional::czech(), out)) << c.text;
    EXPECT_EQ(out, c.value) << c.text;
  }
  EXPECT_EQ(text::parseFloat("1234.5", dotRegional()), 1234.5);
  EXPECT_EQ(text::parseFloat("-1.5E-7", dotRegional()), -1.5e-7);
}

TEST(ParseFloat, RefusesEverythingElseNamingTheText) {
  const char* const refused[] = {
      "",    " ",     "1.5",     "1,5x", "1 000", "1,2,3",  "e5",   "1E",   "1E+",
      "+",   "-",     ",",       "INF",  "NAN",   "0x10",   "1,5 E3", "--1", "+-1",
      "1e400", "12 Kč", "\t12", "1,5E3,5", "1'000",
  };
  for (const char* text : refused) {
    EXPECT_EQ(errorOf([&] { text::parseFloat(text, Regional::czech()); }),
              "'" + std::string(text) + "' is not a valid floating point value");
    double out = 42;
    EXPECT_FALSE(text::tryParseFloat(text, Regional::czech(), out)) << text;
    EXPECT_EQ(out, 42) << "a refused text leaves the result alone: " << text;
  }
  EXPECT_EQ(errorOf([] { text::parseFloat("1,5", dotRegional()); }),
            "'1,5' is not a valid floating point value");
}

TEST(ParseFloat, ReadsBackWhatFormatNumberWrote) {
  const double values[] = {0.1, 0.3, -350.5, 1234.5, 1e20, 1e-5, 1.5e-7, 123456.789,
                           999999999999999.0, 0.0001, 1e15, -2.5e-9, 42, 1e-300, 1e300,
                           // written rounded up past the largest double
                           std::numeric_limits<double>::max(), -std::numeric_limits<double>::max()};
  for (const Regional& regional : {Regional::czech(), dotRegional()})
    for (double v : values)
      EXPECT_EQ(text::parseFloat(text::formatNumber(v, regional), regional), v) << v;
  // Beyond what the writer can give, numbers stay refused.
  EXPECT_THROW(text::parseFloat("1,79769313486233E308", Regional::czech()), mincar::Error);
  EXPECT_THROW(text::parseFloat("1E309", Regional::czech()), mincar::Error);
}

// Any double comes back as itself rounded to 15 significant digits.
TEST(ParseFloat, RoundTripOfRandomDoublesKeepsFifteenDigits) {
  std::mt19937_64 random(20260105);
  for (const Regional& regional : {Regional::czech(), dotRegional()}) {
    for (int i = 0; i < 20000; ++i) {
      const std::uint64_t bits = random();
      double v;
      static_assert(sizeof v == sizeof bits);
      std::memcpy(&v, &bits, sizeof v);
      if (!std::isfinite(v)) continue;
      char rounded[40];
      auto r = std::to_chars(rounded, rounded + sizeof rounded, v, std::chars_format::scientific, 14);
      double expected = 0;
      std::from_chars(rounded, r.ptr, expected);
      if (std::isinf(expected)) continue;  // DBL_MAX rounded to 15 digits overflows
      const std::string written = text::formatNumber(v, regional);
      EXPECT_EQ(text::parseFloat(written, regional), expected) << written;
    }
  }
}

TEST(ParseInteger, AcceptsSignedDecimalNumbers) {
  struct Case {
    const char* text;
    int value;
  } cases[] = {
      {"0", 0},       {"12", 12},   {"  12", 12},          {"-5", -5},
      {"+5", 5},      {"007", 7},   {"2147483647", 2147483647},
      {"-2147483648", -2147483647 - 1},  {"   -0", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(text::parseInteger(c.text), c.value) << c.text;
}

TEST(ParseInteger, RefusesEverythingElse) {
  const char* const refused[] = {"",   " ",   "12 ", "1,5",  "1.0",        "2147483648",
                                 "-2147483649", "99999999999999999999", "+", "-", "0x1F",
                                 "1e3", "--1", "12a"};
  for (const char* text : refused)
    EXPECT_EQ(errorOf([&] { text::parseInteger(text); }),
              "'" + std::string(text) + "' is not a valid integer value");
}

TEST(FormatDate, FollowsThePatternLetters) {
  struct Case {
    const char* pattern;
    Date date;
    const char* text;
  } cases[] = {
      {"d.M.yyyy", {2004, 9, 12}, "12.9.2004"},
      {"d.M.yyyy", {2026, 1, 5}, "5.1.2026"},
      {"dd.MM.yyyy", {2026, 1, 5}, "05.01.2026"},
      {"M/d/yyyy", {2004, 9, 12}, "9/12/2004"},
      {"MM/dd/yy", {2004, 9, 2}, "09/02/04"},
      {"yyyy-MM-dd", {2004, 9, 12}, "2004-09-12"},
      {"dd/MM/yy", {1999, 12, 31}, "31/12/99"},
      {"d.M.yyyy", {304, 2, 1}, "1.2.0304"},
      {"d.M.yyyy", {7, 2, 1}, "1.2.0007"},
      {"yyyy. MM. dd.", {2004, 9, 12}, "2004. 09. 12."},
  };
  for (const Case& c : cases)
    EXPECT_EQ(text::formatDate(c.date, Regional{c.pattern, ','}), c.text) << c.pattern;
}

TEST(ParseDate, AcceptsDatesInThePatternsOrder) {
  struct Case {
    const char* pattern;
    const char* text;
    Date date;
  } cases[] = {
      {"d.M.yyyy", "12.9.2004", {2004, 9, 12}},
      {"d.M.yyyy", "05.01.2026", {2026, 1, 5}},
      {"d.M.yyyy", " 12.9.2004 ", {2004, 9, 12}},
      {"d.M.yyyy", "12. 9. 2004", {2004, 9, 12}},
      {"d.M.yyyy", "12.9.2004 10:30:00", {2004, 9, 12}},
      {"d.M.yyyy", "12.9.2004 0:00", {2004, 9, 12}},
      {"d.M.yyyy", "12.9.2004.", {2004, 9, 12}},
      {"d.M.yyyy", "29.2.2004", {2004, 2, 29}},
      {"d.M.yyyy", "1.1.04", {2004, 1, 1}},
      {"d.M.yyyy", "1.1.49", {2049, 1, 1}},
      {"d.M.yyyy", "1.1.50", {1950, 1, 1}},
      {"d.M.yyyy", "1.1.99", {1999, 1, 1}},
      {"d.M.yyyy", "1.1.0", {2000, 1, 1}},
      {"d.M.yyyy", "1.1.304", {304, 1, 1}},
      {"d.M.yyyy", "1.1.0099", {99, 1, 1}},
      {"dd.MM.yyyy", "1.2.2004", {2004, 2, 1}},
      {"M/d/yyyy", "9/12/2004", {2004, 9, 12}},
      {"M/d/yyyy", "12/31/1999 11:59:59", {1999, 12, 31}},
      {"MM/dd/yyyy", "02/29/2004", {2004, 2, 29}},
      {"yyyy-MM-dd", "2004-09-12", {2004, 9, 12}},
      {"yyyy-MM-dd", "2004-9-1", {2004, 9, 1}},
      {"yyyy-MM-dd", "04-09-12", {2004, 9, 12}},
      {"dd/MM/yy", "31/12/99", {1999, 12, 31}},
  };
  for (const Case& c : cases) {
    const Regional regional{c.pattern, ','};
    EXPECT_EQ(text::parseDate(c.text, regional), c.date) << c.pattern << " " << c.text;
    Date out;
    EXPECT_TRUE(text::tryParseDate(c.text, regional, out)) << c.text;
    EXPECT_EQ(out, c.date) << c.text;
  }
}

TEST(ParseDate, DayAndMonthAloneTakeTheCurrentYear) {
  const int year = Date::today().year;
  EXPECT_EQ(text::parseDate("12.9", Regional::czech()), (Date{year, 9, 12}));
  EXPECT_EQ(text::parseDate("9/12", Regional{"M/d/yyyy", '.'}), (Date{year, 9, 12}));
  EXPECT_EQ(text::parseDate("9-12", Regional{"yyyy-MM-dd", '.'}), (Date{year, 9, 12}));
}

TEST(ParseDate, RefusesEverythingElseNamingTheText) {
  struct Case {
    const char* pattern;
    const char* text;
  } cases[] = {
      {"d.M.yyyy", ""},
      {"d.M.yyyy", " "},
      {"d.M.yyyy", "12"},
      {"d.M.yyyy", "31.2.2004"},
      {"d.M.yyyy", "29.2.2003"},
      {"d.M.yyyy", "0.1.2004"},
      {"d.M.yyyy", "1.0.2004"},
      {"d.M.yyyy", "1.13.2004"},
      {"d.M.yyyy", "1.1.10000"},
      {"d.M.yyyy", "12/9/2004"},
      {"d.M.yyyy", "12-9-2004"},
      {"d.M.yyyy", "12.9.2004x"},
      {"d.M.yyyy", "12.9.2004.5"},
      {"d.M.yyyy", "12..2004"},
      {"d.M.yyyy", ".9.2004"},
      {"d.M.yyyy", "12.9.2004 25:00"},
      {"d.M.yyyy", "12.9.2004 10:60"},
      {"d.M.yyyy", "12.9.2004 10"},
      {"d.M.yyyy", "12.9.2004 10:30 x"},
      {"d.M.yyyy", "12.9.2004 2004"},
      {"d.M.yyyy", "12.9.2004 10:30:00:00"},
      {"d.M.yyyy", "12.9.2004a"},
      {"d.M.yyyy", "-12.9.2004"},
      {"d.M.yyyy", "+1.1.2004"},
      {"d.M.yyyy", "2004-09-12"},
      {"M/d/yyyy", "31/12/1999"},
      {"M/d/yyyy", "12.9.2004"},
      {"yyyy-MM-dd", "12.9.2004"},
      {"yyyy-MM-dd", "2004-02-30"},
  };
  for (const Case& c : cases) {
    const Regional regional{c.pattern, ','};
    EXPECT_EQ(errorOf([&] { text::parseDate(c.text, regional); }),
              "'" + std::string(c.text) + "' is not a valid date and time")
        << c.pattern;
    Date out{1, 2, 3};
    EXPECT_FALSE(text::tryParseDate(c.text, regional, out)) << c.text;
    EXPECT_EQ(out, (Date{1, 2, 3})) << "a refused text leaves the result alone: " << c.text;
  }
}

TEST(ParseDate, ReadsBackEveryDayThatFormatDateWrote) {
  const char* const patterns[] = {"d.M.yyyy", "dd.MM.yyyy", "M/d/yyyy", "MM/dd/yyyy",
                                  "yyyy-MM-dd"};
  for (const char* pattern : patterns) {
    const Regional regional{pattern, ','};
    for (int year : {1, 99, 1900, 1999, 2000, 2004, 2026, 9999})
      for (int month = 1; month <= 12; ++month)
        for (int day = 1; day <= text::daysInMonth(year, month); ++day) {
          const Date date{year, month, day};
          ASSERT_EQ(text::parseDate(text::formatDate(date, regional), regional), date)
              << pattern << " " << text::formatDate(date, regional);
        }
  }
}

TEST(Regional, CzechSettings) {
  EXPECT_EQ(Regional::czech().shortDateFormat, "d.M.yyyy");
  EXPECT_EQ(Regional::czech().decimalSeparator, ',');
}

TEST(Regional, PosixFormatsConvertToPatternLetters) {
  struct Case {
    const char* dateFormat;
    const char* radix;
    const char* pattern;
    char separator;
  } cases[] = {
      {"%-d.%-m.%Y", ",", "d.M.yyyy", ','},
      {"%d.%m.%Y", ",", "dd.MM.yyyy", ','},
      {"%m/%d/%Y", ".", "MM/dd/yyyy", '.'},
      {"%-m/%-d/%Y", ".", "M/d/yyyy", '.'},
      {"%d/%m/%y", ".", "dd/MM/yy", '.'},
      {"%Y-%m-%d", ",", "yyyy-MM-dd", ','},
      {"%F", ".", "yyyy-MM-dd", '.'},
      {"%D", ".", "MM/dd/yy", '.'},
      {"%e.%m.%Y", ",", "d.MM.yyyy", ','},
      {"%_d.%_m.%Y", ",", "d.M.yyyy", ','},
      {"%Y. %m. %d.", ",", "yyyy. MM. dd.", ','},
      // Formats the pattern letters cannot express fall back to the Czech date.
      {"%Y年%m月%d日", ".", "d.M.yyyy", '.'},
      {"%a %d %b %Y", ".", "d.M.yyyy", '.'},
      {"%d %m %Y", ",", "d.M.yyyy", ','},
      {"%d.%m", ",", "d.M.yyyy", ','},
      {"%d.%m.%Y.%d", ",", "d.M.yyyy", ','},
      {"%Ey", ",", "d.M.yyyy", ','},
      {"%d.%m.%Y%", ",", "d.M.yyyy", ','},
      {"", ".", "d.M.yyyy", '.'},
      // A separator that cannot stand in one byte, or none at all.
      {"%d.%m.%Y", "\xD9\xAB", "dd.MM.yyyy", ','},
      {"%d.%m.%Y", "", "dd.MM.yyyy", ','},
      {"%d.%m.%Y", "1", "dd.MM.yyyy", ','},
  };
  for (const Case& c : cases) {
    const Regional r = Regional::fromPosixFormats(c.dateFormat, c.radix);
    EXPECT_EQ(describe(r), describe(Regional{c.pattern, c.separator})) << c.dateFormat;
  }
}

TEST(Regional, LocalesThatNameNoCountryGiveCzechSettings) {
  for (const char* name : {"C", "POSIX", "C.UTF-8", "C.utf8", "", "xx_NOWHERE.UTF-8"})
    EXPECT_EQ(describe(Regional::fromLocaleName(name)), describe(Regional::czech())) << name;
}

TEST(Regional, InstalledLocales) {
  struct Case {
    const char* name;
    const char* pattern;
    char separator;
  } cases[] = {
      {"cs_CZ.UTF-8", "d.M.yyyy", ','},
      {"en_US.UTF-8", "MM/dd/yyyy", '.'},
      {"de_DE.UTF-8", "dd.MM.yyyy", ','},
  };
  int found = 0;
  for (const Case& c : cases) {
    if (!localeInstalled(c.name)) continue;
    ++found;
    EXPECT_EQ(describe(Regional::fromLocaleName(c.name)), describe(Regional{c.pattern, c.separator}))
        << c.name;
  }
  if (found == 0) GTEST_SKIP() << "none of cs_CZ, en_US, de_DE is installed";
}

TEST(Regional, EnvironmentWithoutACountryGivesCzechSettings) {
  const std::vector<std::vector<std::pair<const char*, const char*>>> environments = {
      {},
      {{"LC_ALL", "C"}},
      {{"LANG", "POSIX"}},
      {{"LANG", "C.UTF-8"}},
      {{"LC_ALL", "xx_NOWHERE.UTF-8"}},
  };
  for (const auto& env : environments)
    EXPECT_EQ(inChildWithEnvironment(env, [] { return describe(Regional::fromEnvironment()); }),
              describe(Regional::czech()));
}

TEST(Regional, EnvironmentTakesDatesFromTimeAndSeparatorFromNumeric) {
  if (!localeInstalled("en_US.UTF-8") || !localeInstalled("de_DE.UTF-8"))
    GTEST_SKIP() << "en_US.UTF-8 and de_DE.UTF-8 are needed";
  auto fromEnvironment = [] { return describe(Regional::fromEnvironment()); };
  EXPECT_EQ(inChildWithEnvironment({{"LANG", "en_US.UTF-8"}}, fromEnvironment), "MM/dd/yyyy '.'");
  EXPECT_EQ(inChildWithEnvironment({{"LANG", "en_US.UTF-8"}, {"LC_NUMERIC", "de_DE.UTF-8"}},
                                   fromEnvironment),
            "MM/dd/yyyy ','");
  EXPECT_EQ(inChildWithEnvironment({{"LANG", "en_US.UTF-8"}, {"LC_TIME", "de_DE.UTF-8"}},
                                   fromEnvironment),
            "dd.MM.yyyy '.'");
  // LC_ALL outranks both.
  EXPECT_EQ(inChildWithEnvironment(
                {{"LC_ALL", "de_DE.UTF-8"}, {"LC_TIME", "en_US.UTF-8"}, {"LANG", "en_US.UTF-8"}},
                fromEnvironment),
            "dd.MM.yyyy ','");
  // A part whose locale names no country keeps its Czech value.
  EXPECT_EQ(inChildWithEnvironment({{"LANG", "en_US.UTF-8"}, {"LC_NUMERIC", "C"}},
                                   fromEnvironment),
            "MM/dd/yyyy ','");
}

}  // namespace
