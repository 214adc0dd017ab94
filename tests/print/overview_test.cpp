// The overview of the shown rows: its amounts' text, its sums against the
// journal's filtered walk, the report's cells, the books' recomputed
// balances and the CSV export read back by Python (and LibreOffice where it
// is installed), its page, and the page in a real browser.

#include "print/overview.h"

#include <gtest/gtest.h>

#include <climits>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "app/ledger.h"
#include "ledger/dataset.h"
#include "ledger/ledger_tables.h"
#include "print/amount_text.h"
#include "print/book_report.h"
#include "print/book_search.h"
#include "print/browser.h"
#include "print/csv_export.h"
#include "print/czech_html.h"
#include "print_fixtures.h"
#include "print_test_support.h"
#include "test_support.h"
#include "text/cp1250.h"
#include "text/regional.h"

namespace {

namespace fs = std::filesystem;
namespace J = ledger::journal;
using print::Hundredths;
using print::SearchCriteria;
using testing_support::JournalRow;
using testing_support::ListRow;
using testing_support::readFile;
using testing_support::run;
using testing_support::TempDir;
using text::Date;

const fs::path kPython = "/usr/bin/python3";
using print_testing::kSoffice;

// --- amounts ---------------------------------------------------------------

TEST(AmountText, WritesMoneyAsCzechReadersDo) {
  struct Case {
    Hundredths amount;
    const char* expected;
  };
  const Case cases[] = {
      {0, "0,00"},
      {5, "0,05"},
      {99, "0,99"},
      {100, "1,00"},
      {123450, "1 234,50"},
      {-123450, "-1 234,50"},
      {-5, "-0,05"},
      {99999, "999,99"},
      {100000, "1 000,00"},
      {100000000, "1 000 000,00"},
      {99999999999999, "999 999 999 999,99"},
      {LLONG_MIN, "-92 233 720 368 547 758,08"},
  };
  for (const Case& c : cases) EXPECT_EQ(print::AmountText(c.amount, ',', " "), c.expected) << c.amount;
  EXPECT_EQ(print::AmountText(123450, '.', "&#160;"), "1&#160;234.50");
  EXPECT_EQ(print::WholeAmountText(1234599, " "), "12 345");
  EXPECT_EQ(print::WholeAmountText(-50, " "), "0");
  EXPECT_EQ(print::WholeAmountText(-150000, " "), "-1 500");
}

TEST(ToHundredths, RoundsEachAmountOnceSoThatSumsStayExact) {
  EXPECT_EQ(print::ToHundredths(1250.5), 125050);
  EXPECT_EQ(print::ToHundredths(0.1) + print::ToHundredths(0.2), 30);
  EXPECT_EQ(print::ToHundredths(-0.07), -7);
  EXPECT_EQ(print::ToHundredths(999999999999.99), 99999999999999);
  EXPECT_EQ(print::ToHundredths(0), 0);
  // A sum of doubles drifts where the sum of hundredths does not.
  Hundredths exact = 0;
  double drifting = 0;
  for (int i = 0; i < 1000; ++i) {
    exact += print::ToHundredths(0.1);
    drifting += 0.1;
  }
  EXPECT_EQ(exact, 10000);
  EXPECT_NE(drifting, 100.0);
}

// --- a small ledger, summed by hand -----------------------------------------

const std::vector<ListRow> kBooks = {{1, "Hotovost"}, {2, "Účet v bance"}};
const std::vector<ListRow> kMoves = {{1, "Výplata"}, {2, "Nákup potravin"}, {3, "Pohonné hmoty"}};

// Rows from 2025 (before the year looked at), 2026 and one without a date;
// movement 9 is in no list.
const std::vector<JournalRow> kSmall = {
    {.id = 1, .idk = 1, .idm = 1, .datum = Date{2025, 12, 20}, .text = "Loňská výplata", .plus = 1000},
    {.id = 2, .idk = 1, .idm = 1, .datum = Date{2026, 1, 15}, .text = "Výplata", .plus = 30000},
    {.id = 3, .idk = 1, .idm = 2, .datum = Date{2026, 1, 20}, .text = "Nákup", .minus = 1234.5},
    {.id = 4, .idk = 2, .idm = 2, .datum = Date{2026, 1, 31}, .text = "Nákup kartou", .minus = 0.1},
    {.id = 5, .idk = 2, .idm = 3, .datum = Date{2026, 3, 2}, .text = "Benzín", .minus = 0.2},
    {.id = 6, .idk = 1, .idm = 9, .text = "Bez data", .plus = 12.5, .minus = 0.25},
    {.id = 7, .idk = 2, .idm = 1, .datum = Date{2026, 3, 31}, .text = "Výplata", .plus = 500, .minus = 100},
};

class OverviewTest : public testing_support::LedgerFolderTest {
 protected:
  void open(const std::vector<JournalRow>& journal, const std::vector<ListRow>& books = kBooks,
            const std::vector<ListRow>& moves = kMoves) {
    testing_support::seedLedger(dir_.path(), journal, books, moves);
    openLedger();
    search_ = std::make_unique<print::BookSearch>(*ledger_);
  }
  void filter(const SearchCriteria& criteria) {
    search_->setCriteria(criteria);
    search_->ApplyFilter();
  }
  // The lists stand on the rows with these numbers.
  void standOn(ledger::Dataset& list, double id) {
    for (list.first(); !list.eof(); list.next()) {
      if (list.field(0).asFloat() == id) return;
    }
    FAIL() << "no row " << id;
  }
};

SearchCriteria year2026() {
  SearchCriteria criteria;
  criteria.fromDate = {2026, 1, 1};
  criteria.fromDateOn = true;
  criteria.toDate = {2026, 12, 31};
  criteria.toDateOn = true;
  return criteria;
}

std::vector<Hundredths> h(std::initializer_list<Hundredths> values) { return values; }

TEST_F(OverviewTest, SumsTheShownRowsByMovementKindAndMonthWithTotalsAndBalances) {
  open(kSmall);
  filter(year2026());
  const print::Overview overview = print::SumOverview(*search_);

  EXPECT_EQ(overview.shownRows, 5);
  ASSERT_EQ(overview.periods.size(), 3u);  // January to March, February empty
  EXPECT_EQ(overview.periods[0], (print::OverviewPeriod{2026, 1}));
  EXPECT_EQ(overview.periods[2], (print::OverviewPeriod{2026, 3}));

  ASSERT_EQ(overview.income.size(), 1u);
  EXPECT_EQ(overview.income[0].name, text::toCp1250("Výplata"));
  EXPECT_EQ(overview.income[0].values, h({3000000, 0, 50000}));
  EXPECT_EQ(overview.income[0].total, 3050000);

  ASSERT_EQ(overview.expense.size(), 3u);
  EXPECT_EQ(overview.expense[0].name, text::toCp1250("Výplata"));
  EXPECT_EQ(overview.expense[0].values, h({0, 0, 10000}));
  EXPECT_EQ(overview.expense[1].name, text::toCp1250("Nákup potravin"));
  EXPECT_EQ(overview.expense[1].values, h({123460, 0, 0}));
  EXPECT_EQ(overview.expense[2].values, h({0, 0, 20}));
  EXPECT_EQ(overview.incomeByPeriod, h({3000000, 0, 50000}));
  EXPECT_EQ(overview.expenseByPeriod, h({123460, 0, 10020}));
  EXPECT_EQ(overview.incomeTotal, 3050000);
  EXPECT_EQ(overview.expenseTotal, 133480);

  // Balances from every row of the book up to each month's end: 2025's row
  // and the row without a date open book 1's.
  ASSERT_EQ(overview.balances.size(), 2u);
  EXPECT_EQ(overview.balances[0].name, text::toCp1250("Hotovost"));
  EXPECT_EQ(overview.balances[0].values, h({100000 + 1225 + 3000000 - 123450, 2977775, 2977775}));
  EXPECT_EQ(overview.balances[1].name, text::toCp1250("Účet v bance"));
  EXPECT_EQ(overview.balances[1].values, h({-10, -10, -10 - 20 + 50000 - 10000}));
  EXPECT_EQ(overview.balances[1].total, 39970);

  EXPECT_EQ(overview.fromDate, "1.1.2026");
  EXPECT_EQ(overview.toDate, "31.12.2026");
}

TEST_F(OverviewTest, RowsWithoutADateHaveAColumnOfTheirOwnAndUnknownKindsAreNamedByNumber) {
  open(kSmall);
  filter({});
  const print::Overview overview = print::SumOverview(*search_);
  EXPECT_EQ(overview.shownRows, 7);
  ASSERT_EQ(overview.periods.size(), 5u);  // without a date, then 12/2025 to 3/2026
  EXPECT_EQ(overview.periods[0], (print::OverviewPeriod{0, 0}));
  EXPECT_EQ(overview.periods[1], (print::OverviewPeriod{2025, 12}));
  ASSERT_EQ(overview.income.size(), 2u);
  EXPECT_EQ(overview.income[1].id, 9);
  EXPECT_EQ(overview.income[1].name, text::toCp1250("Pohyb 9 (není v číselníku)"));
  EXPECT_EQ(overview.income[1].values, h({1250, 0, 0, 0, 0}));
  // The first and last shown rows' dates, as the report prints them.
  EXPECT_EQ(overview.fromDate, "20.12.2025");
  EXPECT_EQ(overview.toDate, "31.3.2026");
}

TEST_F(OverviewTest, LeavesTheJournalsFilterAndTheListsCurrentRowsAsTheyWere) {
  open(kSmall);
  standOn(ledger_->books(), 2);
  SearchCriteria criteria;
  criteria.bookOn = true;
  filter(criteria);
  const std::int64_t shown = ledger_->journal().recordCount();
  const print::Overview overview = print::SumOverview(*search_);
  EXPECT_EQ(overview.shownRows, 3);
  EXPECT_EQ(overview.bookName, text::toCp1250("Účet v bance"));
  EXPECT_TRUE(ledger_->journal().filtered());
  EXPECT_EQ(ledger_->journal().recordCount(), shown);
  EXPECT_EQ(ledger_->books().field(0).asInteger(), 2);
  ledger_->journal().first();
  EXPECT_EQ(ledger_->journal().field(J::ID).asInteger(), 4);
  // Only the chosen book has a balance line.
  ASSERT_EQ(overview.balances.size(), 1u);
  EXPECT_EQ(overview.balances[0].id, 2);
}

TEST_F(OverviewTest, ShowsYearsWhenTheRowsSpanMoreThanThreeYearsAndRefusesACentury) {
  std::vector<JournalRow> rows = {
      {.id = 1, .idk = 1, .idm = 1, .datum = Date{2020, 5, 1}, .plus = 10},
      {.id = 2, .idk = 1, .idm = 2, .datum = Date{2026, 2, 1}, .minus = 4},
  };
  open(rows);
  const print::Overview overview = print::SumOverview(*search_);
  ASSERT_EQ(overview.periods.size(), 7u);
  EXPECT_EQ(overview.periods.front(), (print::OverviewPeriod{2020, 0}));
  EXPECT_EQ(overview.periods.back(), (print::OverviewPeriod{2026, 0}));
  EXPECT_EQ(overview.balances[0].values.back(), 600);
  const std::string page = print::OverviewPage(overview, text::Regional::czech());
  EXPECT_NE(page.find("<th>2020</th>"), std::string::npos);
  EXPECT_NE(page.find("ke konci roku"), std::string::npos);
}

TEST_F(OverviewTest, AMistypedCenturyIsRefusedAndWritesNoPage) {
  open({{.id = 1, .idk = 1, .idm = 1, .datum = Date{1026, 5, 1}, .plus = 10},
        {.id = 2, .idk = 1, .idm = 2, .datum = Date{2026, 2, 1}, .minus = 4}});
  const fs::path page = dir_ / "overview.htm";
  EXPECT_EQ(testing_support::errorOf([&] { print::WriteOverview(*search_, page); }),
            "The shown rows span the years 1026 to 2026; an overview covers at most 100 years: narrow the rows "
            "with the dates");
  EXPECT_FALSE(fs::exists(page));
  EXPECT_TRUE(ledger_->journal().filtered());
}

TEST_F(OverviewTest, APageThatCannotBeCreatedIsReportedAndStartsNoBrowser) {
  open(kSmall);
  print_testing::RecordingLauncher launcher;
  const fs::path missing = dir_ / "no such folder";
  EXPECT_EQ(testing_support::errorOf([&] {
              print::PrintOverview(*search_, missing, "out.htm", {"xdg-open ", "File://", status_, launcher});
            }),
            "Cannot create file " + (missing / "out.htm").string());
  EXPECT_TRUE(launcher.commandLines.empty());
}

TEST_F(OverviewTest, ThePageIsWindows1250WithItsLettersAsReferencesTablesAndThreeCharts) {
  open(kSmall);
  filter(year2026());
  print_testing::RecordingLauncher launcher;
  print::PrintOverview(*search_, dir_.path(), "out.htm", {"xdg-open ", "File://", status_, launcher});
  ASSERT_EQ(launcher.commandLines.size(), 1u);
  EXPECT_EQ(launcher.commandLines[0], print::BrowserCommandLine("xdg-open ", "File://", dir_.path(), "out.htm"));
  const std::string page = readFile(dir_ / "out.htm");
  // The pieces as they stand in the page: Windows-1250 with the 22 letters
  // as references.
  for (const char* piece :
       {"<meta charset=\"windows-1250\">", "<title>Mincar | Přehled podle pohybů a měsíců</title>",
        "<th>1/2026</th><th>2/2026</th><th>3/2026</th>", "30&#160;000,00", "30&#160;500,00", "1&#160;234,60",
        "Příjmy celkem", "Výdaje celkem", "Zůstatky knih ke konci měsíce", "Období: 1.1.2026 – 31.12.2026",
        "Řádků: 5", "Účet v bance"}) {
    EXPECT_NE(page.find(print::CzechToHtml(text::toCp1250(piece))), std::string::npos) << piece;
  }
  std::size_t charts = 0;
  for (std::size_t at = page.find("<svg"); at != std::string::npos; at = page.find("<svg", at + 1)) ++charts;
  EXPECT_EQ(charts, 3u);
  // Nothing runs and nothing is fetched.
  for (const char* never : {"<script", "src=", "href=\"http://", "@import", "url("}) {
    EXPECT_EQ(page.find(never), std::string::npos) << never;
  }
  // No UTF-8 slipped in: its lead bytes for the Czech letters would be Ă,
  // Ä and Ĺ here, which no text of this ledger holds.
  for (const char lead : {'\xC3', '\xC4', '\xC5'}) EXPECT_EQ(page.find(lead), std::string::npos) << int(lead);
  // None of the 22 letters is left raw.
  for (unsigned char letter : {0xE8, 0xC8, 0xEF, 0xEC, 0xF8, 0xD8, 0x9A, 0x8A, 0x9D, 0xF9, 0x9E, 0x8E}) {
    EXPECT_EQ(page.find(static_cast<char>(letter)), std::string::npos) << int(letter);
  }
}

// The whole page byte for byte: the rows without a date, a kind the list
// lacks, both books, the charts. MINCAR_UPDATE_GOLDEN=1 writes it anew.
TEST_F(OverviewTest, TheWholePageMatchesItsGoldenFile) {
  open(kSmall);
  filter({});
  testing_support::expectGolden("overview_page.htm",
                                print::OverviewPage(print::SumOverview(*search_), text::Regional::czech()));
}

TEST_F(OverviewTest, NamesAndTextsFromTheDataPrintAsTypedNeverAsMarkup) {
  open(kSmall, {{1, "<b>Kasa</b> & spol."}, {2, "Banka"}}, {{1, "<script>x()</script>"}, {2, "A"}, {3, "B"}});
  filter({});
  std::string page = print::OverviewPage(print::SumOverview(*search_), text::Regional::czech());
  EXPECT_EQ(page.find("<script>"), std::string::npos);
  EXPECT_EQ(page.find("<b>"), std::string::npos);
  EXPECT_NE(page.find("&lt;b&gt;Kasa&lt;/b&gt; &amp; spol."), std::string::npos);
  EXPECT_NE(page.find("&lt;script&gt;x()&lt;/script&gt;"), std::string::npos);

  filter(testing_support::withText("<i>"));
  page = print::OverviewPage(print::SumOverview(*search_), text::Regional::czech());
  EXPECT_EQ(page.find("<i>"), std::string::npos);
  EXPECT_NE(page.find("Text: \x84&lt;i&gt;\x93"), std::string::npos);
  EXPECT_NE(page.find("Vyhled\xE1v\xE1n\xED neukazuje"), std::string::npos);
  EXPECT_EQ(page.find("Obdob\xED"), std::string::npos);
}

// --- a generated journal: the overview against the journal, the report
//     and the export -------------------------------------------------------

constexpr const char* kTexts[] = {"Nákup potravin", "NÁKUP drogerie", "Benzín", "Výplata", "Nájem; záloha",
                                  "Elektřina \"ČEZ\"", "Dárek\npro babičku", "Oprava kola", "Kapesné", "Úroky"};

// Rows in entry order over three years, five books, eight kinds (kind 8 is
// in no list), a few without a date, amounts in hundredths with both sides
// on some rows.
std::vector<JournalRow> generatedJournal(int rows, unsigned seed) {
  std::mt19937 random(seed);
  auto pick = [&](int from, int to) { return std::uniform_int_distribution<int>(from, to)(random); };
  std::vector<JournalRow> journal;
  for (int i = 0; i < rows; ++i) {
    JournalRow row{.id = static_cast<double>(i + 1),
                   .idk = static_cast<double>(pick(1, 5)),
                   .idm = static_cast<double>(pick(1, 8)),
                   .text = kTexts[pick(0, 9)]};
    if (pick(0, 49) != 0) row.datum = Date{pick(2024, 2026), pick(1, 12), pick(1, 28)};
    const int side = pick(0, 9);
    if (side < 3 || side == 9) row.plus = pick(1, 5000000) / 100.0;
    if (side >= 3) row.minus = pick(1, 300000) / 100.0;
    journal.push_back(row);
  }
  return journal;
}

const std::vector<ListRow> kGeneratedBooks = {
    {1, "Hotovost"}, {2, "Banka"}, {3, "Spořicí účet"}, {4, "Kasa spolku"}, {5, "Dětská pokladnička"}};
const std::vector<ListRow> kGeneratedMoves = {{1, "Výplata"}, {2, "Potraviny"}, {3, "Pohonné hmoty"},
                                              {4, "Bydlení"},  {5, "Energie"},   {6, "Dárky"},
                                              {7, "Ostatní"}};

// A decimal as the report prints it ("1250,5&nbsp;", "&nbsp;") in
// hundredths, read as digits, not as a double.
Hundredths decimalCell(std::string cell) {
  if (const std::size_t at = cell.find("&nbsp;"); at != std::string::npos) cell.erase(at);
  if (cell.empty()) return 0;
  bool negative = cell[0] == '-';
  if (negative) cell.erase(0, 1);
  const std::size_t comma = cell.find(',');
  const std::string whole = cell.substr(0, comma);
  std::string fraction = comma == std::string::npos ? "" : cell.substr(comma + 1);
  EXPECT_LE(fraction.size(), 2u) << cell;
  fraction.resize(2, '0');
  const Hundredths value = std::stoll(whole) * 100 + std::stoll(fraction);
  return negative ? -value : value;
}

struct PlusMinus {
  Hundredths plus = 0;
  Hundredths minus = 0;
  std::int64_t rows = 0;
};

// The report's Plus and Minus cells summed.
PlusMinus reportSums(const std::string& page) {
  PlusMinus sums;
  const std::string opening = "   <tr>\n    <td align=\"center\">";
  for (std::size_t at = page.find(opening); at != std::string::npos; at = page.find(opening, at + 1)) {
    if (page.compare(at + opening.size(), 2, "&#") == 0) continue;  // the heading row
    std::size_t cell = at;
    std::string right[2];
    for (std::string& value : right) {
      cell = page.find("<td align=\"right\">", cell + 1) + 18;
      value = page.substr(cell, page.find("</td>", cell) - cell);
    }
    sums.plus += decimalCell(right[0]);
    sums.minus += decimalCell(right[1]);
    ++sums.rows;
  }
  return sums;
}

// The CSV read back by Python's csv module: rows, sums and sums by kind
// name, in hundredths, one "name;plus;minus" line each after the first.
std::string pythonSums(const fs::path& csv) {
  const char* script = R"py(
import csv, sys
from decimal import Decimal
def cents(text):
    return int(Decimal(text.replace(',', '.')) * 100) if text else 0
with open(sys.argv[1], newline='', encoding='utf-8-sig') as f:
    rows = list(csv.reader(f, delimiter=';'))
header, body = rows[0], rows[1:]
assert header == ['Číslo', 'Datum', 'Kniha', 'Název knihy', 'Pohyb', 'Název pohybu', 'Text', 'Plus', 'Minus', 'Zůstatek'], header
assert all(len(r) == 10 for r in body)
kinds = {}
for r in body:
    k = kinds.setdefault(r[5] if r[5] else 'Pohyb ' + r[4], [0, 0])
    k[0] += cents(r[7]); k[1] += cents(r[8])
print(len(body), sum(cents(r[7]) for r in body), sum(cents(r[8]) for r in body))
for name in sorted(kinds):
    print('%s;%d;%d' % (name, kinds[name][0], kinds[name][1]))
)py";
  const fs::path file = csv.parent_path() / "sums.py";
  testing_support::writeFile(file, script);
  const testing_support::RunResult result = run(kPython, {file.string(), csv.string()});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  return result.out;
}

// What the overview says in the same form.
std::string overviewSums(const print::Overview& overview) {
  std::map<std::string, PlusMinus> kinds;
  for (const print::OverviewLine& line : overview.income) {
    kinds[text::toUtf8(line.name.substr(0, line.name.find(" (")))].plus = line.total;
  }
  for (const print::OverviewLine& line : overview.expense) {
    kinds[text::toUtf8(line.name.substr(0, line.name.find(" (")))].minus = line.total;
  }
  std::string text = std::to_string(overview.shownRows) + " " + std::to_string(overview.incomeTotal) + " " +
                     std::to_string(overview.expenseTotal) + "\n";
  for (const auto& [name, sums] : kinds) {
    text += name + ";" + std::to_string(sums.plus) + ";" + std::to_string(sums.minus) + "\n";
  }
  return text;
}

class GeneratedOverview : public OverviewTest {
 protected:
  void SetUp() override {
    const std::vector<JournalRow> rows = generatedJournal(2000, 20261208);
    testing_support::seedLedger(dir_.path(), {}, kGeneratedBooks, kGeneratedMoves);
    {
      ledger::Dataset journal("seed", ledger::tablePath(dir_.path(), ledger::LedgerTable::Journal),
                              text::Regional::czech());
      journal.open();
      journal.beginSyncBatch();
      for (const JournalRow& row : rows) {
        journal.append();
        journal.field(J::ID).setAsFloat(row.id);
        journal.field(J::IDK).setAsFloat(*row.idk);
        journal.field(J::IDM).setAsFloat(*row.idm);
        if (row.datum) journal.field(J::DATUM).setValue(*row.datum);
        journal.field(J::TEXT).setAsString(text::toCp1250(row.text));
        if (row.plus) journal.field(J::PLUS).setAsFloat(*row.plus);
        if (row.minus) journal.field(J::MINUS).setAsFloat(*row.minus);
        journal.post();
      }
      journal.endSyncBatch();
    }
    openLedger();
    search_ = std::make_unique<print::BookSearch>(*ledger_);
  }
};

// The journal grid's rows: the engine's filtered walk, summed by kind and
// month as the overview's columns go.
std::map<std::pair<std::int64_t, print::OverviewPeriod>, PlusMinus> gridSums(ledger::Dataset& journal, bool years) {
  std::map<std::pair<std::int64_t, print::OverviewPeriod>, PlusMinus> sums;
  for (journal.first(); !journal.eof(); journal.next()) {
    const Date date = journal.field(J::DATUM).asDate();
    const print::OverviewPeriod period{date.year, years ? 0 : date.month};
    PlusMinus& cell = sums[{journal.field(J::IDM).asInteger(), period}];
    cell.plus += print::ToHundredths(journal.field(J::PLUS).asFloat());
    cell.minus += print::ToHundredths(journal.field(J::MINUS).asFloat());
    ++cell.rows;
  }
  return sums;
}

struct CriteriaCase {
  const char* why;
  SearchCriteria criteria;
  double book = 0;  // the books list's row when bookOn
  double move = 0;
};

std::vector<CriteriaCase> criteriaCases() {
  SearchCriteria book;
  book.bookOn = true;
  SearchCriteria move = year2026();
  move.moveOn = true;
  SearchCriteria text = testing_support::withText("nák");
  SearchCriteria quarter;
  quarter.fromDate = {2025, 4, 1};
  quarter.fromDateOn = true;
  quarter.toDate = {2025, 6, 30};
  quarter.toDateOn = true;
  SearchCriteria upTo;
  upTo.toDate = {2025, 3, 15};
  upTo.toDateOn = true;
  SearchCriteria nothing = testing_support::withText("xyz");
  return {{"no criterion (years)", {}},  {"a year", year2026()},   {"a book", book, 3},
          {"a kind in a year", move, 0, 2}, {"a text", text},        {"a quarter", quarter},
          {"up to a date, undated rows too", upTo}, {"no row shown", nothing}};
}

TEST_F(GeneratedOverview, ItsSumsEqualTheGridsTheReportsAndTheExportsExactly) {
  for (const CriteriaCase& c : criteriaCases()) {
    SCOPED_TRACE(c.why);
    if (c.criteria.bookOn) standOn(ledger_->books(), c.book);
    if (c.criteria.moveOn) standOn(ledger_->moves(), c.move);
    filter(c.criteria);
    const print::Overview overview = print::SumOverview(*search_);
    const bool years = !overview.periods.empty() && overview.periods.back().month == 0;

    // Every cell against the grid's rows.
    const auto grid = gridSums(ledger_->journal(), years);
    std::int64_t gridRows = 0;
    PlusMinus gridTotal;
    for (const auto& [key, sums] : grid) {
      gridRows += sums.rows;
      gridTotal.plus += sums.plus;
      gridTotal.minus += sums.minus;
    }
    std::map<std::pair<std::int64_t, print::OverviewPeriod>, PlusMinus> fromOverview;
    for (const auto* lines : {&overview.income, &overview.expense}) {
      for (const print::OverviewLine& line : *lines) {
        Hundredths total = 0;
        for (std::size_t i = 0; i < line.values.size(); ++i) {
          total += line.values[i];
          if (line.values[i] == 0) continue;
          PlusMinus& cell = fromOverview[{line.id, overview.periods[i]}];
          (lines == &overview.income ? cell.plus : cell.minus) = line.values[i];
        }
        EXPECT_EQ(total, line.total) << text::toUtf8(line.name);
      }
    }
    std::size_t compared = 0;
    for (const auto& [key, sums] : grid) {
      if (sums.plus == 0 && sums.minus == 0) continue;
      const PlusMinus& cell = fromOverview[key];
      EXPECT_EQ(cell.plus, sums.plus) << key.first << " " << key.second.year << "/" << key.second.month;
      EXPECT_EQ(cell.minus, sums.minus) << key.first << " " << key.second.year << "/" << key.second.month;
      ++compared;
    }
    EXPECT_EQ(compared, fromOverview.size());
    EXPECT_EQ(overview.shownRows, gridRows);
    EXPECT_EQ(overview.incomeTotal, gridTotal.plus);
    EXPECT_EQ(overview.expenseTotal, gridTotal.minus);
    Hundredths byPeriod = 0;
    for (std::size_t i = 0; i < overview.periods.size(); ++i) {
      byPeriod += overview.incomeByPeriod[i] - overview.expenseByPeriod[i];
    }
    EXPECT_EQ(byPeriod, overview.incomeTotal - overview.expenseTotal);

    // The report of the same criteria, its cells read as decimals.
    print::ReportTexts texts;
    print::WriteReport(texts, *ledger_, c.criteria, "0", dir_ / "report.htm");
    const PlusMinus report = reportSums(readFile(dir_ / "report.htm"));
    EXPECT_EQ(report.rows, overview.shownRows);
    EXPECT_EQ(report.plus, overview.incomeTotal);
    EXPECT_EQ(report.minus, overview.expenseTotal);

    // The export, read back by Python.
    filter(c.criteria);
    EXPECT_EQ(print::WriteCsvExport(*ledger_, dir_ / "export.csv"), overview.shownRows);
    EXPECT_EQ(pythonSums(dir_ / "export.csv"), overviewSums(overview));

    // And once as LibreOffice reads it, saved again with a decimal point.
    if (c.criteria.fromDateOn && c.criteria.toDateOn && fs::exists(kSoffice)) {
      const testing_support::RunResult converted =
          print_testing::resaveWithLibreOffice(dir_ / "export.csv", dir_ / "lo");
      ASSERT_TRUE(fs::exists(dir_ / "lo" / "export.csv")) << converted.err;
      const std::string read = readFile(dir_ / "lo" / "export.csv");
      EXPECT_EQ(read.find(",5\""), std::string::npos) << "a number stayed text";
      EXPECT_EQ(pythonSums(dir_ / "lo" / "export.csv"), overviewSums(overview));
      fs::remove_all(dir_ / "lo");
    }
  }
}

TEST_F(GeneratedOverview, TheLastBalancesEqualTheBooksRecomputedBalances) {
  ledger_->RecomputeBalances();
  const print::Overview overview = print::SumOverview(*search_);
  ASSERT_EQ(overview.balances.size(), 5u);
  for (const print::OverviewLine& line : overview.balances) {
    standOn(ledger_->books(), static_cast<double>(line.id));
    EXPECT_EQ(line.total, print::ToHundredths(ledger_->books().field(ledger::books::BALANCE).asFloat()))
        << text::toUtf8(line.name);
  }
}

// --- the page in a real browser -------------------------------------------

TEST_F(GeneratedOverview, ShowsItsTotalsAndChartsInARealBrowser) {
  if (const std::string why = testing_support::missingBrowserProgram(); !why.empty()) {
    if (print_testing::runningInCi()) FAIL() << why;
    GTEST_SKIP() << why;
  }
  filter(year2026());
  const print::Overview overview = print::SumOverview(*search_);
  print::WriteOverview(*search_, dir_ / "out.htm");
  const std::string url = "File://" + (dir_ / "out.htm").string();
  std::string shown;  // UTF-8
  ASSERT_NO_FATAL_FAILURE(testing_support::textInBrowser(url, dir_ / "overview.pdf", shown));
  // Non-breaking spaces come back as they are or as blanks.
  for (std::size_t at; (at = shown.find("\xC2\xA0")) != std::string::npos;) shown.replace(at, 2, " ");
  const auto amount = [](Hundredths value) { return print::AmountText(value, ',', " "); };
  std::vector<std::string> expected = {"Přehled podle pohybů a měsíců", "Příjmy podle pohybů", "Výdaje podle pohybů",
                                       "Příjmy celkem", "Výdaje celkem", "Zůstatky knih ke konci měsíce",
                                       "Podíl pohybů na výdajích", "1/2026", "12/2026",
                                       amount(overview.incomeTotal), amount(overview.expenseTotal),
                                       amount(overview.incomeTotal - overview.expenseTotal),
                                       "Spořicí účet", "Dětská pokladnička", "Zpracováno systémem"};
  for (const print::OverviewLine& line : overview.balances) expected.push_back(amount(line.total));
  for (const std::string& piece : expected) {
    EXPECT_NE(shown.find(piece), std::string::npos) << piece << "\n--- shown:\n" << shown;
  }

  // And as a picture: the charts are drawn (the page is not blank).
  TempDir profile;
  const fs::path png = dir_ / "overview.png";
  const testing_support::RunResult shot =
      run("/usr/bin/chromium", {"--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
                                "--disable-component-update", "--disable-sync", "--no-first-run",
                                "--user-data-dir=" + profile.path().string(), "--hide-scrollbars",
                                "--window-size=1100,2400", "--screenshot=" + png.string(), url});
  ASSERT_TRUE(fs::exists(png)) << shot.err;
  const std::string bytes = readFile(png);
  EXPECT_EQ(bytes.substr(0, 8), "\x89PNG\r\n\x1A\n");
  EXPECT_GT(bytes.size(), 50000u);
}

}  // namespace
