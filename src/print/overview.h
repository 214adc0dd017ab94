#pragma once
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "app/ledger.h"
#include "print/amount_text.h"
#include "print/book_search.h"
#include "print/voucher.h"
#include "text/date.h"

namespace print {

// A column of the overview: a month, a whole year (month 0) when the shown
// rows span too many months, or the rows without a date (year 0).
struct OverviewPeriod {
  int year = 0;
  int month = 0;
  auto operator<=>(const OverviewPeriod&) const = default;
};

// A line of the overview: a movement kind's or a book's number and name
// (Windows-1250) and one amount per period, with their total.
struct OverviewLine {
  std::int64_t id = 0;
  std::string name;
  std::vector<Hundredths> values;
  Hundredths total = 0;
};

// The shown rows summed by movement kind and period, income (PLUS) and
// expense (MINUS) apart, and each book's balance at every period's end.
struct Overview {
  std::vector<OverviewPeriod> periods;
  // The movement kinds with any income (expense) among the shown rows, in
  // the order of their numbers; each value that kind's sum in that period.
  std::vector<OverviewLine> income;
  std::vector<OverviewLine> expense;
  std::vector<Hundredths> incomeByPeriod;
  std::vector<Hundredths> expenseByPeriod;
  Hundredths incomeTotal = 0;
  Hundredths expenseTotal = 0;
  // Each book with shown rows (and the chosen book): its balance at each
  // period's end, from all of its rows dated up to then, the rows without a
  // date included, whatever the text and movement criteria; no value for
  // the period of the rows without a date. total is the last balance.
  std::vector<OverviewLine> balances;
  std::int64_t shownRows = 0;
  // What the heading names: the chosen book's and movement's names (empty
  // when their boxes are clear), the filter text, and the dates the report
  // would print (the ticked pickers', else the first and last shown date).
  std::string bookName;
  std::string moveName;
  std::string filterText;
  std::string fromDate;
  std::string toDate;
};

// Above this many months the columns are years.
inline constexpr int kMostOverviewMonths = 36;
// Above this many years the overview is refused.
inline constexpr int kMostOverviewYears = 100;

// A list's names (books or movement kinds) by number, in the list's order;
// the first row of a number names it. Read without moving the list's
// cursor, whose row the filter compares with.
std::map<std::int64_t, std::string> ListNames(ledger::Dataset& list);

// Sums the rows the journal shows under the search's criteria: one walk of
// the journal that tests each row with the search's own filter event, so
// that what is summed is exactly what the grid and the report show. The
// journal's filter setting is restored and the journal stands at its first
// shown row again; the lists' current rows stay. Throws when the shown
// dates span more than kMostOverviewYears years.
Overview SumOverview(BookSearch& search);

// The page: Windows-1250 with the letters of CzechToHtml as references,
// the tables and three charts as inline SVG, amounts as "1 234,50" with a
// non-breaking space between the groups and the regional decimal separator.
std::string OverviewPage(const Overview& overview, const text::Regional& regional);

// The sums written as the page to file (safely: all or nothing).
void WriteOverview(BookSearch& search, const std::filesystem::path& file);

// The page written to folder/fileName and the browser started on it; on a
// failure no browser starts.
void PrintOverview(BookSearch& search, const std::filesystem::path& folder, const std::filesystem::path& fileName,
                   const BrowserCall& browser);

}  // namespace print
