#include "text/date.h"

#include <gtest/gtest.h>

#include <ctime>

namespace {

TEST(Date, DaysInMonth) {
  struct Case {
    int year, month, days;
  } cases[] = {
      {2004, 1, 31},  {2004, 2, 29}, {2003, 2, 28}, {2000, 2, 29}, {1900, 2, 28},
      {2100, 2, 28},  {2400, 2, 29}, {2026, 4, 30}, {2026, 6, 30}, {2026, 9, 30},
      {2026, 11, 30}, {2026, 12, 31}, {2026, 7, 31}, {2026, 8, 31}, {2026, 0, 0},
      {2026, 13, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(text::daysInMonth(c.year, c.month), c.days) << c.year << "-" << c.month;
}

TEST(Date, Valid) {
  struct Case {
    text::Date date;
    bool valid;
  } cases[] = {
      {{2004, 9, 12}, true},  {{2004, 2, 29}, true},  {{2003, 2, 29}, false},
      {{2004, 2, 31}, false}, {{2004, 1, 0}, false},  {{2004, 0, 1}, false},
      {{2004, 13, 1}, false}, {{1, 1, 1}, true},      {{9999, 12, 31}, true},
      {{0, 1, 1}, false},     {{10000, 1, 1}, false}, {{}, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.date.valid(), c.valid) << c.date.year << "-" << c.date.month << "-" << c.date.day;
}

TEST(Date, OrdersByYearMonthDay) {
  EXPECT_LT((text::Date{2004, 9, 12}), (text::Date{2004, 9, 13}));
  EXPECT_LT((text::Date{2004, 9, 30}), (text::Date{2004, 10, 1}));
  EXPECT_LT((text::Date{2003, 12, 31}), (text::Date{2004, 1, 1}));
  EXPECT_EQ((text::Date{2004, 9, 12}), (text::Date{2004, 9, 12}));
}

TEST(Date, TodayIsTheLocalDate) {
  // Taken between two clock readings so that a midnight in between cannot
  // make the test fail.
  auto localDate = [] {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    return text::Date{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday};
  };
  const text::Date before = localDate();
  const text::Date today = text::Date::today();
  const text::Date after = localDate();
  EXPECT_TRUE(today.valid());
  EXPECT_TRUE(today == before || today == after);
}

}  // namespace
