#include "print/overview.h"

#include <climits>
#include <cmath>
#include <cstddef>
#include <map>
#include <set>
#include <unordered_map>

#include "ledger/ledger_tables.h"
#include "print/browser.h"
#include "print/czech_html.h"
#include "print/page_file.h"
#include "print/page_footer.h"
#include "print/svg_chart.h"
#include "text/cp1250.h"
#include "text/error.h"
#include "text/regional.h"

namespace print {

namespace fs = std::filesystem;
namespace col = ledger::journal;
using ledger::Dataset;

namespace {

// A month as one number, year * 12 + month - 1; rows without a date come
// before every month, as the filter takes an empty date as the earliest.
constexpr int kNoDate = -1;

int monthKey(const text::Date& date) { return date.year == 0 ? kNoDate : date.year * 12 + date.month - 1; }

// A number of a list or a row's column, and a month.
struct NumberInMonth {
  std::int64_t id;
  int month;
  bool operator==(const NumberInMonth&) const = default;
};
struct NumberInMonthHash {
  std::size_t operator()(const NumberInMonth& key) const {
    return std::hash<std::int64_t>()(key.id * 1000003 + key.month);
  }
};

struct IncomeExpense {
  Hundredths income = 0;
  Hundredths expense = 0;
};

std::string nameOf(const std::map<std::int64_t, std::string>& names, std::int64_t id, std::string_view kind) {
  if (auto it = names.find(id); it != names.end()) return it->second;
  return text::toCp1250(mincar::fill("%s %s (není v číselníku)", {kind, std::to_string(id)}));
}

// What one walk of the journal gathers.
struct Walked {
  std::unordered_map<NumberInMonth, IncomeExpense, NumberInMonthHash> kinds;  // shown rows by IDM and month
  std::unordered_map<NumberInMonth, Hundredths, NumberInMonthHash> books;     // every row by IDK and month
  std::set<std::int64_t> shownBooks;
  int firstMonth = INT_MAX;
  int lastMonth = INT_MIN;
  bool undatedShown = false;
  std::int64_t shownRows = 0;
  std::string firstShownDate;
  std::string lastShownDate;
};

void walkJournal(BookSearch& search, Walked& walked) {
  Dataset& journal = search.ledger().journal();
  const ledger::Field& idk = journal.field(col::IDK);
  const ledger::Field& idm = journal.field(col::IDM);
  const ledger::Field& datum = journal.field(col::DATUM);
  const ledger::Field& plus = journal.field(col::PLUS);
  const ledger::Field& minus = journal.field(col::MINUS);
  for (journal.first(); !journal.eof(); journal.next()) {
    const text::Date date = datum.asDate();
    const int month = monthKey(date);
    const Hundredths in = ToHundredths(plus.asFloat());
    const Hundredths out = ToHundredths(minus.asFloat());
    const std::int64_t book = idk.asInteger();
    // Every row counts in its book's balance.
    if (in != out) walked.books[{book, month}] += in - out;
    if (!search.Table1FilterRecord(journal)) continue;
    ++walked.shownRows;
    IncomeExpense& sums = walked.kinds[{idm.asInteger(), month}];
    sums.income += in;
    sums.expense += out;
    walked.shownBooks.insert(book);
    if (month == kNoDate) {
      walked.undatedShown = true;
    } else {
      walked.firstMonth = std::min(walked.firstMonth, month);
      walked.lastMonth = std::max(walked.lastMonth, month);
    }
    if (walked.shownRows == 1) walked.firstShownDate = datum.asString();
    walked.lastShownDate = datum.asString();
  }
}

// The period a month falls in, as the columns go.
struct Periods {
  bool undated = false;
  bool years = false;
  int first = 0;  // the first month's (or year's) key
  int count = 0;  // dated periods

  int key(int month) const { return years ? month / 12 : month; }
  // The column of a month; -1 outside.
  int column(int month) const {
    if (month == kNoDate) return undated ? 0 : -1;
    const int index = key(month) - first;
    if (index < 0 || index >= count) return -1;
    return index + (undated ? 1 : 0);
  }
  std::size_t columns() const { return static_cast<std::size_t>(count + (undated ? 1 : 0)); }
};

Periods periodsOf(const Walked& walked) {
  Periods periods;
  periods.undated = walked.undatedShown;
  if (walked.firstMonth > walked.lastMonth) return periods;  // no dated row shown
  periods.years = walked.lastMonth - walked.firstMonth + 1 > kMostOverviewMonths;
  periods.first = periods.key(walked.firstMonth);
  periods.count = periods.key(walked.lastMonth) - periods.first + 1;
  if (periods.years && periods.count > kMostOverviewYears) {
    throw mincar::Error(mincar::fill(
        "The shown rows span the years %s to %s; an overview covers at most %s years: narrow the rows with the dates",
        {std::to_string(walked.firstMonth / 12), std::to_string(walked.lastMonth / 12),
         std::to_string(kMostOverviewYears)}));
  }
  return periods;
}

// One line per number with any value that `take` gives, in the order of
// the numbers.
template <class Take>
std::vector<OverviewLine> kindLines(const Walked& walked, const Periods& periods,
                                    const std::map<std::int64_t, std::string>& names, Take take) {
  std::map<std::int64_t, OverviewLine> lines;
  for (const auto& [key, sums] : walked.kinds) {
    const Hundredths value = take(sums);
    if (value == 0) continue;
    OverviewLine& line = lines[key.id];
    if (line.values.empty()) line.values.assign(periods.columns(), 0);
    line.values[static_cast<std::size_t>(periods.column(key.month))] += value;
    line.total += value;
  }
  std::vector<OverviewLine> result;
  for (auto& [id, line] : lines) {
    line.id = id;
    line.name = nameOf(names, id, "Pohyb");
    result.push_back(std::move(line));
  }
  return result;
}

std::vector<OverviewLine> balanceLines(const Walked& walked, const Periods& periods,
                                       const std::set<std::int64_t>& books,
                                       const std::map<std::int64_t, std::string>& names) {
  std::vector<OverviewLine> result;
  if (periods.count == 0) return result;
  // Each book's changes by dated column; what lies before the first column
  // (the rows without a date among it) opens the balance, what lies after
  // the last one is left out.
  struct Changes {
    Hundredths opening = 0;
    std::vector<Hundredths> byColumn;
  };
  std::map<std::int64_t, Changes> changes;
  for (std::int64_t book : books) changes[book].byColumn.assign(periods.columns(), 0);
  for (const auto& [key, change] : walked.books) {
    auto it = changes.find(key.id);
    if (it == changes.end()) continue;
    if (key.month == kNoDate || periods.key(key.month) < periods.first) {
      it->second.opening += change;
    } else if (const int column = periods.column(key.month); column >= 0) {
      it->second.byColumn[static_cast<std::size_t>(column)] += change;
    }
  }
  const std::size_t firstDated = periods.undated ? 1 : 0;
  for (const auto& [book, bookChanges] : changes) {
    OverviewLine line;
    line.id = book;
    line.name = nameOf(names, book, "Kniha");
    line.values.assign(periods.columns(), 0);
    Hundredths balance = bookChanges.opening;
    for (std::size_t column = firstDated; column < bookChanges.byColumn.size(); ++column) {
      balance += bookChanges.byColumn[column];
      line.values[column] = balance;
    }
    line.total = balance;
    result.push_back(std::move(line));
  }
  return result;
}

}  // namespace

std::map<std::int64_t, std::string> ListNames(Dataset& list) {
  std::map<std::int64_t, std::string> names;
  const std::int64_t rows = list.recordCount();
  for (std::int64_t row = 0; row < rows; ++row) {
    const ledger::Value id = list.valueAt(row, ledger::books::ID);  // the lists share their first two columns
    const std::int64_t number =
        std::holds_alternative<double>(id) ? static_cast<std::int64_t>(std::llround(std::get<double>(id))) : 0;
    names.try_emplace(number, list.textAt(row, ledger::books::TEXT));
  }
  return names;
}

Overview SumOverview(BookSearch& search) {
  app::Ledger& ledger = search.ledger();
  Dataset& journal = ledger.journal();
  const SearchCriteria& criteria = search.criteria();
  const text::Regional& regional = ledger.regional();

  Overview overview;
  overview.bookName = criteria.bookOn ? ledger.books().field(ledger::books::TEXT).asString() : std::string();
  overview.moveName = criteria.moveOn ? ledger.moves().field(ledger::moves::TEXT).asString() : std::string();
  overview.filterText = criteria.text;
  const auto moveNames = ListNames(ledger.moves());
  const auto bookNames = ListNames(ledger.books());

  // One walk over every row: each row's amounts go to its book's balance,
  // and the rows that the search's own filter event passes are summed. The
  // grid hears one change at the end.
  Walked walked;
  {
    ledger::DataSource::Quiet quiet(journal.dataSource());
    const bool filtered = journal.filtered();
    journal.setFiltered(false);
    try {
      walkJournal(search, walked);
    } catch (...) {
      try {
        journal.setFiltered(filtered);
      } catch (...) {
        // The walk's error is the one to show.
      }
      throw;
    }
    journal.setFiltered(filtered);
  }
  overview.shownRows = walked.shownRows;
  overview.fromDate = criteria.fromDateOn ? text::formatDate(criteria.fromDate, regional) : walked.firstShownDate;
  overview.toDate = criteria.toDateOn ? text::formatDate(criteria.toDate, regional) : walked.lastShownDate;

  const Periods periods = periodsOf(walked);
  if (periods.undated) overview.periods.push_back({0, 0});
  for (int i = 0; i < periods.count; ++i) {
    const int key = periods.first + i;
    overview.periods.push_back(periods.years ? OverviewPeriod{key, 0} : OverviewPeriod{key / 12, key % 12 + 1});
  }

  overview.income = kindLines(walked, periods, moveNames, [](const IncomeExpense& s) { return s.income; });
  overview.expense = kindLines(walked, periods, moveNames, [](const IncomeExpense& s) { return s.expense; });
  overview.incomeByPeriod.assign(periods.columns(), 0);
  overview.expenseByPeriod.assign(periods.columns(), 0);
  for (const auto& [key, sums] : walked.kinds) {
    const auto column = static_cast<std::size_t>(periods.column(key.month));
    overview.incomeByPeriod[column] += sums.income;
    overview.expenseByPeriod[column] += sums.expense;
    overview.incomeTotal += sums.income;
    overview.expenseTotal += sums.expense;
  }

  std::set<std::int64_t> books = walked.shownBooks;
  if (criteria.bookOn) books.insert(ledger.books().field(ledger::books::ID).asInteger());
  overview.balances = balanceLines(walked, periods, books, bookNames);
  return overview;
}

// ---------------------------------------------------------------- the page

namespace {

// The page's fixed texts are written here in UTF-8.
std::string cz(std::string_view utf8) { return text::toCp1250(utf8); }

constexpr std::string_view kNbsp = "&#160;";

constexpr std::string_view kStyle = R"css(<style>
body { font-family: "DejaVu Sans", Arial, sans-serif; font-size: 10pt; margin: 12px; color: #222; }
h1 { font-size: 15pt; margin: 0 0 4px 0; }
h2 { font-size: 12pt; margin: 18px 0 4px 0; }
p.criteria { margin: 0 0 8px 0; }
table { border-collapse: collapse; margin: 0 0 6px 0; font-size: 8pt; }
th, td { border: 1px solid #999; padding: 1px 5px; }
th { background: #eee; font-weight: normal; }
td.n { text-align: right; white-space: nowrap; }
tr.sum td { font-weight: bold; background: #f4f4f4; }
div.chart { break-inside: avoid; page-break-inside: avoid; margin: 4px 0 10px 0; }
p.footer { font-size: 8pt; margin-top: 16px; text-align: center; }
@page { size: A4 landscape; margin: 10mm; }
</style>
)css";

struct PageWriter {
  const Overview& overview;
  const text::Regional& regional;
  std::string page;

  std::string amount(Hundredths value) const { return AmountText(value, regional.decimalSeparator, kNbsp); }

  std::string periodLabel(const OverviewPeriod& period) const {
    if (period.year == 0) return cz("bez data");
    if (period.month == 0) return std::to_string(period.year);
    return std::to_string(period.month) + "/" + std::to_string(period.year);
  }

  void headerRow(std::string_view first, std::string_view last) {
    page += "<tr><th>" + std::string(first) + "</th>";
    for (const OverviewPeriod& period : overview.periods) page += "<th>" + periodLabel(period) + "</th>";
    page += "<th>" + std::string(last) + "</th></tr>\n";
  }

  void amountsRow(std::string_view cssClass, const std::string& name, const std::vector<Hundredths>& values,
                  Hundredths total, bool skipUndated = false) {
    page += cssClass.empty() ? "<tr>" : "<tr class=\"" + std::string(cssClass) + "\">";
    page += "<td>" + name + "</td>";
    for (std::size_t i = 0; i < values.size(); ++i) {
      const bool empty = skipUndated && overview.periods[i].year == 0;
      page += "<td class=\"n\">" + (empty ? std::string() : amount(values[i])) + "</td>";
    }
    page += "<td class=\"n\">" + amount(total) + "</td></tr>\n";
  }

  void kindTable(std::string_view heading, const std::vector<OverviewLine>& lines,
                 const std::vector<Hundredths>& byPeriod, Hundredths total, std::string_view sumName) {
    page += "<h2>" + cz(heading) + "</h2>\n";
    page += "<table>\n";
    headerRow(cz("Pohyb"), cz("Celkem"));
    for (const OverviewLine& line : lines) amountsRow("", HtmlEscape(line.name), line.values, line.total);
    amountsRow("sum", cz(sumName), byPeriod, total);
    page += "</table>\n";
  }

  void summaryTable() {
    page += "<h2>" + cz("Souhrn") + "</h2>\n<table>\n";
    headerRow("", cz("Celkem"));
    std::vector<Hundredths> difference(overview.periods.size());
    for (std::size_t i = 0; i < difference.size(); ++i) {
      difference[i] = overview.incomeByPeriod[i] - overview.expenseByPeriod[i];
    }
    amountsRow("", cz("Příjmy"), overview.incomeByPeriod, overview.incomeTotal);
    amountsRow("", cz("Výdaje"), overview.expenseByPeriod, overview.expenseTotal);
    amountsRow("sum", cz("Rozdíl"), difference, overview.incomeTotal - overview.expenseTotal);
    page += "</table>\n";
  }

  bool years() const { return !overview.periods.empty() && overview.periods.back().month == 0; }

  void balanceTable() {
    if (overview.balances.empty()) return;
    page += "<h2>" + cz(years() ? "Zůstatky knih ke konci roku" : "Zůstatky knih ke konci měsíce") + "</h2>\n";
    page += "<table>\n";
    headerRow(cz("Kniha"), cz("Konečný stav"));
    for (const OverviewLine& line : overview.balances) {
      amountsRow("", HtmlEscape(line.name), line.values, line.total, true);
    }
    page += "</table>\n";
  }

  void charts() {
    const ChartNumbers numbers{regional.decimalSeparator, kNbsp};
    // The dated periods alone: a chart over time has no place for the rows
    // without a date.
    std::vector<std::string> labels;
    std::vector<std::size_t> dated;
    for (std::size_t i = 0; i < overview.periods.size(); ++i) {
      if (overview.periods[i].year == 0) continue;
      labels.push_back(periodLabel(overview.periods[i]));
      dated.push_back(i);
    }
    const auto datedValues = [&](const std::vector<Hundredths>& values) {
      std::vector<Hundredths> picked;
      for (std::size_t i : dated) picked.push_back(values[i]);
      return picked;
    };
    page += "<h2>" + cz("Grafy") + "</h2>\n";
    if (!labels.empty()) {
      page += "<div class=\"chart\"><h3>" + cz(years() ? "Příjmy a výdaje po letech" : "Příjmy a výdaje po měsících") +
              "</h3>\n";
      page += GroupedBarsSvg(labels,
                             {{cz("Příjmy"), "#2e7d32", datedValues(overview.incomeByPeriod)},
                              {cz("Výdaje"), "#c62828", datedValues(overview.expenseByPeriod)}},
                             numbers);
      page += "</div>\n";
    }
    page += "<div class=\"chart\"><h3>" + cz("Podíl pohybů na výdajích") + "</h3>\n";
    std::vector<ChartShare> shares;
    for (const OverviewLine& line : overview.expense) shares.push_back({line.name, line.total});
    page += SharesPieSvg(shares, numbers);
    page += "</div>\n";
    if (!labels.empty() && !overview.balances.empty()) {
      page += "<div class=\"chart\"><h3>" + cz("Zůstatky knih") + "</h3>\n";
      std::vector<ChartSeries> lines;
      for (std::size_t b = 0; b < overview.balances.size(); ++b) {
        lines.push_back({overview.balances[b].name, PaletteColour(b), datedValues(overview.balances[b].values)});
      }
      page += LinesSvg(labels, lines, numbers);
      page += "</div>\n";
    }
  }

  void criteriaLine() {
    std::vector<std::string> parts;
    if (!overview.bookName.empty()) parts.push_back(cz("Kniha: ") + HtmlEscape(overview.bookName));
    if (!overview.moveName.empty()) parts.push_back(cz("Pohyb: ") + HtmlEscape(overview.moveName));
    if (!overview.filterText.empty()) {
      parts.push_back(cz("Text: „") + HtmlEscape(overview.filterText) + cz("“"));
    }
    // No period without a date to begin or end it (no row shown, no date
    // ticked).
    if (!overview.fromDate.empty() || !overview.toDate.empty()) {
      parts.push_back(cz("Období: ") + HtmlEscape(overview.fromDate) + cz(" – ") + HtmlEscape(overview.toDate));
    }
    parts.push_back(cz("Řádků: ") + WholeAmountText(overview.shownRows * 100, kNbsp));
    page += "<p class=\"criteria\">";
    for (std::size_t i = 0; i < parts.size(); ++i) page += (i > 0 ? cz(" · ") : std::string()) + parts[i];
    page += "</p>\n";
  }

  std::string build() {
    page += cz("<!DOCTYPE html>\n<html lang=\"cs\">\n<head>\n<meta charset=\"windows-1250\">\n"
               "<title>Mincar | Přehled podle pohybů a měsíců</title>\n");
    page += kStyle;
    page += "</head>\n<body>\n";
    page += "<h1>" + cz("Přehled podle pohybů a měsíců") + "</h1>\n";
    criteriaLine();
    if (overview.shownRows == 0) {
      page += "<p>" + cz("Vyhledávání neukazuje žádný řádek deníku.") + "</p>\n";
    } else {
      kindTable("Příjmy podle pohybů", overview.income, overview.incomeByPeriod, overview.incomeTotal,
                "Příjmy celkem");
      kindTable("Výdaje podle pohybů", overview.expense, overview.expenseByPeriod, overview.expenseTotal,
                "Výdaje celkem");
      summaryTable();
      balanceTable();
      charts();
    }
    page += "<p class=\"footer\">" + std::string(PageFooter) + "</p>\n</body>\n</html>\n";
    return CzechToHtml(page);
  }
};

}  // namespace

std::string OverviewPage(const Overview& overview, const text::Regional& regional) {
  return PageWriter{overview, regional, {}}.build();
}

void WriteOverview(BookSearch& search, const fs::path& file) {
  const Overview overview = SumOverview(search);
  WritePageFile(file, OverviewPage(overview, search.ledger().regional()));
}

void PrintOverview(BookSearch& search, const fs::path& folder, const fs::path& fileName, const BrowserCall& browser) {
  const std::string name = text::toCp1250(fileName.string());
  WriteOverview(search, folder / fileName);
  OpenInBrowser(browser.command, browser.fileSpec, folder, name, browser.status, browser.launcher);
}

}  // namespace print
