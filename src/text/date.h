#pragma once
#include <compare>

namespace text {

// A calendar date without a time of day.
struct Date {
  int year = 0;
  int month = 0;
  int day = 0;

  auto operator<=>(const Date&) const = default;
  bool valid() const;           // a real day of the Gregorian calendar, year 1..9999
  static Date today();          // the local date of this machine
};

int daysInMonth(int year, int month);

}  // namespace text
